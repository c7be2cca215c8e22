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
            // The runs are at work at once: no report's final status is recorded before both runs have
            // marked their sessions, whatever else the machine is doing.
            pgQuery(database,
                    "CREATE FUNCTION both_runs() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN FOR i IN 1..400 LOOP "
                    "EXIT WHEN (SELECT count(DISTINCT objid) FROM pg_locks WHERE locktype = 'advisory' AND classid = "
                    "gr_run_key()::oid AND database = (SELECT oid FROM pg_database WHERE datname = "
                    "current_database())) >= 2; PERFORM pg_sleep(0.05); END LOOP; RETURN NEW; END $$; CREATE TRIGGER "
                    "both_runs BEFORE UPDATE OF status_id ON graphic_report FOR EACH ROW WHEN (NEW.status_id <> 2) "
                    "EXECUTE FUNCTION both_runs()");
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

// A register that adds a report a week under one output name: last week's report, finished or failed,
// leaves the file to this week's; one still waiting or in preparation keeps it.
TEST_F(SharedTargets, AFileAFinishedOrFailedReportNamedIsWrittenByTheNextReportAndAWaitingOneKeepsIt) {
    struct Earlier {
        const char* what;
        int status;
        bool keeps; // the earlier report still writes the file: the later one is refused (11)
    };
    const std::vector<Earlier> earlier = {
        {"plotted", 3, false},
        {"its drawing missing", 4, false},
        {"its plot failed", 9, false},
        {"its copy refused", 12, false},
        {"its preparation failed", 14, false},
        {"in preparation", 2, true},
        {"waiting at another status", 5, true},
    };
    std::vector<std::pair<int, int>> ids;
    for (const Earlier& e : earlier) {
        const std::string name = std::string("weekly ") + std::to_string(e.status);
        std::ofstream(dir / "out" / (name + ".pdf")) << "last week's plot";
        Report last;
        last.outputFilename = name;
        last.status = e.status;
        Report next = last;
        next.status = 1;
        const int lastID = add(last);
        ids.emplace_back(lastID, add(next));
    }
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (size_t i = 0; i < earlier.size(); ++i) {
        SCOPED_TRACE(earlier[i].what);
        const auto [lastID, nextID] = ids[i];
        const fs::path plot = dir / "out" / ("weekly " + std::to_string(earlier[i].status) + ".pdf");
        EXPECT_EQ(statusOf(lastID), earlier[i].status);
        EXPECT_EQ(statusOf(nextID), earlier[i].keeps ? 11 : 3) << r.out;
        EXPECT_EQ(slurp(plot) == "last week's plot", earlier[i].keeps);
        const std::string refused = "Graphic report " + std::to_string(nextID) + ": " + windowsPath(plot) +
                                    " is graphic report " + std::to_string(lastID) +
                                    "'s to write, the first in the register to name it - not written\n";
        EXPECT_EQ(r.out.find(refused) != std::string::npos, earlier[i].keeps) << r.out;
    }
}

} // namespace
} // namespace batchtest
