// A short fuzz run inside the suite: the seed drawings and damaged variants of them go through
// the fuzz target's own entry point; none may crash, hang or throw.
#include "cad/dxf/DxfFuzzEntry.h"

#include "DxfTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace fs = std::filesystem;

TEST(DxfFuzzReplay, SeedsAndTheirMutantsNeverCrash) {
    std::mt19937 rng(20261206);
    int loaded = 0, runs = 0;
    for (const auto& e : fs::directory_iterator(fs::path(KELMO_DXF_DATA_DIR))) {
        std::string bytes = dxftest::readBytes(e.path());
        if (bytes.size() < 64) continue;
        loaded += dxfFuzzOne(bytes.data(), bytes.size());
        ++runs;
        for (int m = 0; m < 6; ++m) {
            std::string mutant = bytes;
            std::uniform_int_distribution<std::size_t> at(0, mutant.size() - 1);
            switch (m % 3) {
                case 0:
                    mutant.resize(at(rng));
                    break; // cut short
                case 1:    // lines swapped about
                    for (int k = 0; k < 20; ++k) std::swap(mutant[at(rng)], mutant[at(rng)]);
                    break;
                case 2:
                    mutant.insert(at(rng), "\n  0\nSECTION\n  2\n");
                    break; // structure where it does not belong
            }
            dxfFuzzOne(mutant.data(), mutant.size());
            ++runs;
        }
    }
    EXPECT_GT(runs, 100);
    EXPECT_GT(loaded, 20);
}

TEST(DxfFuzzReplay, InputsThatOnceCrashedLoad) {
    for (const auto& e :
         fs::directory_iterator(fs::path(KELMO_SOURCE_DIR) / "tests" / "platform" / "cad" / "dxf" / "data")) {
        std::string bytes = dxftest::readBytes(e.path());
        EXPECT_TRUE(dxfFuzzOne(bytes.data(), bytes.size())) << e.path();
    }
}
