// A final status the register refuses (an update running past the statement timeout): it is tried
// again, and one that stays refused is named with its reason and fails the run.
#include "RunControlSupport.h"

namespace batchtest {
namespace {

class RefusedStatus : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        if (IsSkipped()) return;
        setTimeout(dir / "prefs.xml", 1);
        Report report;
        report.outputFilename = "slow";
        slow = add(report);
        report.outputFilename = "fine";
        fine = add(report);
    }

    // Every final status of the slow report takes longer than the time-out, or only the first `times`.
    void slowUpdates(int times) const {
        pgQuery(database,
                "CREATE SEQUENCE slow; CREATE FUNCTION slow_update() RETURNS trigger LANGUAGE plpgsql AS $$"
                " BEGIN IF NEW.id = " +
                    std::to_string(slow) + " AND NEW.status_id <> 2 AND nextval('slow') <= " + std::to_string(times) +
                    " THEN PERFORM pg_sleep(3); END IF; RETURN NEW; END $$;"
                    " CREATE TRIGGER slow BEFORE UPDATE OF status_id ON graphic_report"
                    " FOR EACH ROW EXECUTE FUNCTION slow_update();");
    }

    int slow = 0, fine = 0;
};

TEST_F(RefusedStatus, AStatusRefusedOnceIsRecordedOnTheNextTry) {
    slowUpdates(1);
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(slow), 3);
    EXPECT_EQ(statusOf(fine), 3);
    EXPECT_NE(r.out.find("Graphic report " + std::to_string(slow) + ": status 3\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(RefusedStatus, AStatusThatStaysRefusedIsNamedWithItsReasonAndTheRunExitsFour) {
    slowUpdates(1000);
    Outcome r = run();
    EXPECT_EQ(r.status, 4) << r.out << r.err;
    const std::string id = std::to_string(slow);
    // The plot was made; the failed status it fell back to was refused as well.
    for (const char* status : {"3", "14"})
        EXPECT_NE(r.out.find("Graphic report " + id + ": status " + status +
                             " could not be recorded in the register: canceling statement due to statement timeout\n"),
                  std::string::npos)
            << r.out;
    EXPECT_EQ(r.err, "kelmobatch: the final status of graphic report(s) " + id +
                         " could not be recorded in the register (standard output gives the reason)\n");
    EXPECT_EQ(statusOf(slow), 2);
    EXPECT_GT(fs::file_size(dir / "out" / "slow.pdf"), 0u);
    // The batch went on with the next report.
    EXPECT_EQ(statusOf(fine), 3);
    EXPECT_NE(slurp(dir / "errors.xml").find("Graphic report " + id + ": status 3 could not be recorded"),
              std::string::npos);
}

} // namespace
} // namespace batchtest
