// The plot's fuzz target inside the suite: the inputs it once failed on and its seeds go through its own entry
// point; each loads and plots, none may crash, hang or leak.
#include "cad/plot/PlotFuzzEntry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(PlotFuzzReplay, InputsThatOnceFailedThePlotLoadAndPlot) {
#if defined(__SANITIZE_ADDRESS__)
    // scripts/fuzz replays these under the sanitizers in a process of their own; here the font search's
    // threads may still hold fonts as the caches are released at the test's exit.
    GTEST_SKIP() << "replayed under the sanitizers by scripts/fuzz plot replay";
#endif
    int replayed = 0;
    for (const auto& e : fs::directory_iterator(fs::path(KELMO_SOURCE_DIR) / "tests/platform/cad/plot/data")) {
        const std::string bytes = bytesOf(e.path());
        EXPECT_TRUE(plotFuzzOne(bytes.data(), bytes.size())) << e.path();
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

TEST(PlotFuzzReplay, SeedsOfEveryKindOfEntityPlot) {
#if defined(__SANITIZE_ADDRESS__)
    // scripts/fuzz replays these under the sanitizers in a process of their own; here the font search's
    // threads may still hold fonts as the caches are released at the test's exit.
    GTEST_SKIP() << "replayed under the sanitizers by scripts/fuzz plot replay";
#endif
    int loaded = 0, seeds = 0;
    for (const auto& e : fs::directory_iterator(fs::path(KELMO_SOURCE_DIR) / "fuzz/plot-corpus")) {
        const std::string bytes = bytesOf(e.path());
        loaded += plotFuzzOne(bytes.data(), bytes.size());
        ++seeds;
    }
    EXPECT_GT(seeds, 10);
    EXPECT_GT(loaded, 10);
}

} // namespace
