// Reports that name one plot, copy or XML, prepared by one run or by two runs at once that share the
// register, each with its own server preferences and C: drive: the lowest-numbered report writes the
// file however the register is split, and the others are refused naming it.
#include <thread>

#include "BatchTestSupport.h"

namespace batchtest {
namespace {

struct Pair {
    const char* what;
    Report owner, other; // the owner is added first: its number is the lower
    int otherStatus;     // the owner's is 3
    std::string shared;  // the file both name
};

class SharedTargets : public BatchTest {
protected:
    // The pairs, the first of each listed under `ownerAt` and the second under `otherAt` (alternating
    // from pair to pair when two runs split the register).
    std::vector<Pair> pairs(bool split) const {
        Report plotOwner;
        plotOwner.outputFilename = "shared";
        Report plotOther = plotOwner;
        Report copyOwner;
        copyOwner.outputFilename = "copy owner";
        copyOwner.saveCopyTo = windowsPath(dir / "copies" / "shared.dxf");
        Report copyOther = copyOwner;
        copyOther.outputFilename = "copy other";
        Report xmlOwner;
        xmlOwner.outputFilename = "xml owner";
        xmlOwner.xmlOutputTo = windowsPath(dir / "xml" / "shared.xml");
        Report xmlOther = xmlOwner;
        xmlOther.outputFilename = "xml other";
        std::vector<Pair> made = {
            {"a plot both name", plotOwner, plotOther, 11, windowsPath(dir / "out" / "shared.pdf")},
            {"a copy both name", copyOwner, copyOther, 12, windowsPath(dir / "copies" / "shared.dxf")},
            {"an XML both name", xmlOwner, xmlOther, 13, windowsPath(dir / "xml" / "shared.xml")},
        };
        for (size_t i = 0; split && i < made.size(); ++i) {
            // The owner is the second run's in one pair, the first run's in the next.
            (i % 2 == 0 ? made[i].owner : made[i].other).status = 5;
        }
        return made;
    }

    // Adds the pairs, runs the batch (once, or as two runs at once split by status) and checks that
    // each owner wrote the shared file and the other was refused naming it.
    void prepareAll(bool split) {
        std::vector<Pair> made = pairs(split);
        std::vector<std::pair<int, int>> ids;
        for (Pair& p : made) {
            p.owner.title = std::string(p.what) + " - owner";
            p.other.title = std::string(p.what) + " - other";
            const int owner = add(p.owner);
            ids.emplace_back(owner, add(p.other));
        }
        Outcome first, second;
        if (split) {
            fs::create_directories(dir / "c2");
            writePrefs(dir / "prefs2.xml", windowsPath(dir / "out"));
            const std::string own = " --status 5 --server-prefs prefs2.xml --c-drive '" + (dir / "c2").string() + "'";
            std::thread a([&] { first = run("", "a"); });
            std::thread b([&] { second = run(own, "b"); });
            a.join();
            b.join();
        } else {
            first = run();
        }
        ASSERT_EQ(first.status, 0) << first.out << first.err;
        ASSERT_EQ(second.status, split ? 0 : -1) << second.out << second.err;
        const std::string out = first.out + second.out;
        for (size_t i = 0; i < made.size(); ++i) {
            SCOPED_TRACE(made[i].what);
            const auto [owner, other] = ids[i];
            EXPECT_EQ(statusOf(owner), 3) << out;
            EXPECT_EQ(statusOf(other), made[i].otherStatus) << out;
            const std::string refused = "Graphic report " + std::to_string(other) + ": " + made[i].shared + " ";
            const size_t at = out.find(refused);
            ASSERT_NE(at, std::string::npos) << out;
            const std::string line = out.substr(at, out.find('\n', at) - at);
            EXPECT_NE(line.find("graphic report " + std::to_string(owner)), std::string::npos) << line;
        }
        // The files are the owners': each XML holds its owner's title.
        EXPECT_NE(slurp(dir / "out" / "shared.xml").find("<grTitle>a plot both name - owner</grTitle>"),
                  std::string::npos);
        EXPECT_NE(slurp(dir / "xml" / "shared.xml").find("<grTitle>an XML both name - owner</grTitle>"),
                  std::string::npos);
        EXPECT_NE(slurp(dir / "copies" / "shared.dxf").find("ENTITIES"), std::string::npos);
        EXPECT_FALSE(fs::exists(dir / "out" / "copy other.xml"));
        EXPECT_FALSE(fs::exists(dir / "out" / "xml other.xml"));
    }
};

TEST_F(SharedTargets, InOneRunAFileTwoReportsNameIsWrittenByTheLowestNumberedAndTheOtherIsRefusedNamingIt) {
    prepareAll(false);
}

TEST_F(SharedTargets, TwoRunsAtOnceSplittingTheRegisterLeaveAFileTwoReportsNameToTheSameReportAsOneRun) {
    prepareAll(true);
}

TEST_F(SharedTargets, AFileAReportPreparedBeforeNamesStaysItsAndALaterReportNamingItIsRefused) {
    std::ofstream(dir / "out" / "weekly.pdf") << "last week's plot";
    Report done;
    done.outputFilename = "weekly";
    done.status = 3;
    const int doneID = add(done);
    Report again = done;
    again.status = 1;
    const int againID = add(again);
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(doneID), 3);
    EXPECT_EQ(statusOf(againID), 11);
    EXPECT_EQ(slurp(dir / "out" / "weekly.pdf"), "last week's plot");
    EXPECT_NE(r.out.find("Graphic report " + std::to_string(againID) + ": " + windowsPath(dir / "out" / "weekly.pdf") +
                         " is graphic report " + std::to_string(doneID) +
                         "'s to write, the first in the register to name it - not written\n"),
              std::string::npos)
        << r.out;
}

} // namespace
} // namespace batchtest
