// Every real-world drawing loads or is refused cleanly; what we save opens in ezdxf unchanged.
#include "DxfTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> sampleFiles() {
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(fs::path(KELMO_DXF_DATA_DIR))) {
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (ext == ".dxf") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

class DxfSampleFiles : public ::testing::TestWithParam<fs::path> {};

} // namespace

TEST_P(DxfSampleFiles, LoadsOrIsRefusedAndSavesWhatEzdxfAccepts) {
    const fs::path in = GetParam();
    const fs::path out = dxftest::scratchDir() / in.filename();
    dxftest::RoundTrip rt = dxftest::roundTripFile(in, out);
    if (rt.refused) {
        // Only the binary file may be refused, and the message must name it.
        EXPECT_EQ(in.filename(), "bin_dxf_r13.dxf");
        EXPECT_NE(rt.message.find(in.filename().string()), std::string::npos) << rt.message;
        return;
    }
    ASSERT_TRUE(rt.saved) << rt.message;
    std::string check = dxftest::ezdxfCheck(in, out, rt.renumbered);
    EXPECT_EQ(check, "") << in.filename();
}

INSTANTIATE_TEST_SUITE_P(All, DxfSampleFiles, ::testing::ValuesIn(sampleFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                             std::string n = info.param.stem().string();
                             for (char& c : n)
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });
