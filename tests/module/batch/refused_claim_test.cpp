// A claim the register refuses (its update running past the statement timeout, as behind a row
// another session holds): it is tried again, and one that stays refused is named with its reason and
// fails the run, where the report was left unprepared and the run exited 0.
#include "RunControlSupport.h"

namespace batchtest {
namespace {

TEST_F(BatchTest, AClaimTheRegisterRefusesIsTriedAgainAndOneThatStaysRefusedIsNamedAndTheRunExitsFour) {
    setTimeout(dir / "prefs.xml", 1);
    Report report;
    report.outputFilename = "slow";
    const int slow = add(report);
    report.outputFilename = "fine";
    const int fine = add(report);
    const std::string id = std::to_string(slow);
    // Setting status 2 on the slow report takes longer than the time-out, the first `times` times.
    const RefusedUpdates slowClaims(database, "slow_claim", "status_id", "NEW.id = " + id + " AND NEW.status_id = 2",
                                    "PERFORM pg_sleep(3)");
    struct Case {
        int times;
        int exit, slowStatus;
        std::string out, err; // the slow report's line; standard error whole
    };
    const Case cases[] = {
        {1, 0, 3, "Graphic report " + id + ": status 3\n", ""},
        {1000, 4, 1,
         "Graphic report " + id +
             " could not be claimed in the register: canceling statement due to statement timeout - skipped\n",
         "kelmobatch: graphic report(s) " + id +
             " could not be claimed in the register and were not prepared (standard output gives the reason)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.times);
        slowClaims.refuse(c.times, "UPDATE graphic_report SET status_id = 1");
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        const Outcome r = run();
        EXPECT_EQ(r.status, c.exit) << r.out << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(statusOf(slow), c.slowStatus);
        EXPECT_EQ(fs::exists(dir / "out" / "slow.pdf"), c.slowStatus == 3);
        // The batch went on with the next report.
        EXPECT_EQ(statusOf(fine), 3);
    }
}

} // namespace
} // namespace batchtest
