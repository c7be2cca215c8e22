// A claim the register committed but whose answer was lost with its connection: the call made again
// on a new session finds the run's own claim, not "another batch run".
#include <chrono>
#include <thread>

#include "BatchTestSupport.h"
#include "reports/GraphicReport.h"

namespace batchtest {
namespace {

using OwnClaim = InProcess;

TEST_F(OwnClaim, AClaimMadeAgainOnANewSessionIsKnownAsTheRunsOwnWhetherTheOldSessionLivesOrNot) {
    const auto server = pgServer();
    auto session = [&] {
        auto made =
            std::make_unique<CStoredProcedure>(CString(server->host.c_str()), CString(database.c_str()),
                                               CString(server->user.c_str()), CString(server->password.c_str()), 10);
        made->setReconnectTries(5);
        return made;
    };
    const std::string backends = "SELECT count(*) FROM pg_stat_activity WHERE datname = '" + database + "'";
    for (const bool oldSessionLives : {true, false}) {
        Report row;
        CGraphicReport report;
        report.setID(add(row));
        report.setListedStatus(1);
        auto first = session();
        ASSERT_TRUE(report.claimGraphicReport(first.get(), 10));
        if (!oldSessionLives) {
            // The server has seen the connection go: the claim's lock went with it.
            const std::string others = sql(backends);
            first.reset();
            for (int i = 0; i < 200 && sql(backends) == others; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        auto again = session();
        EXPECT_TRUE(report.claimGraphicReport(again.get(), 10)) << "old session lives: " << oldSessionLives;
        EXPECT_EQ(statusOf(report.getID()), 2);

        // Another run still finds it taken, and this run records its status as ever.
        Outcome r = run(" --status 2", oldSessionLives ? "live" : "gone");
        EXPECT_NE(r.out.find("Graphic report " + std::to_string(report.getID()) +
                             " is taken by another batch run - skipped\n"),
                  std::string::npos)
            << r.out;
        report.setGraphicReportStatus(again.get(), 10, 3);
        EXPECT_EQ(statusOf(report.getID()), 3);
    }
}

} // namespace
} // namespace batchtest
