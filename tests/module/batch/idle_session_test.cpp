// A run whose role has an idle session time-out shorter than one report, as a server's settings may
// give it: the run keeps its session, and with it its claims, while it opens, applies and plots; and a
// session the run loses all the same is followed at once by its claim taken again.
#include <optional>

#include "RunControlSupport.h"
#include "reports/GraphicReport.h"
#include "reports/GraphicReports.h"

namespace batchtest {
namespace {

TEST_F(BatchTest, ARunKeepsItsClaimsThoughItsRolesIdleSessionsEndAndARunBesideItTakesNoneOver) {
    BatchRole role("SUPERUSER", "SET idle_session_timeout = '50ms'");
    role.named(dir / "prefs.xml");
    std::vector<int> ids;
    for (int i = 0; i < 10; ++i) {
        Report report;
        report.outputFilename = "report" + std::to_string(i);
        ids.push_back(add(report));
    }
    const std::string batch = "cd '" + dir.string() + "' && exec '" + program.string() +
                              "' --server-prefs prefs.xml --database " + database + " --c-drive '" +
                              (dir / "c").string() + "'";
    const Background live = start(dir, batch, "live");
    // The live run is held between its claim of a report and the report's status, as a drawing that
    // takes long to open and plot holds it, for many times its role's idle time-out; a `--status 2` run
    // comes meanwhile.
    const std::string inPreparation = "SELECT id FROM graphic_report WHERE status_id = 2";
    std::optional<Outcome> beside;
    int held = 0;
    for (siginfo_t ended{};
         !beside && ::waitid(P_PID, live.pid, &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == 0;) {
        if (pgQuery(database, inPreparation).empty()) continue;
        ::kill(live.pid, SIGSTOP);
        const auto rows = pgQuery(database, inPreparation);
        if (!rows.empty()) {
            held = std::stoi(rows[0][0]);
            const std::string lock = claimLocks("count(*)", rows[0][0]);
            for (int wait = 0; wait < 20 && pgQuery(database, lock)[0][0] != "0"; ++wait)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            beside = run(" --status 2", "beside");
        }
        ::kill(live.pid, SIGCONT);
    }
    const Outcome r = finish(live);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    ASSERT_TRUE(beside) << "the live run was never held part-way through a report";
    EXPECT_EQ(beside->status, 0) << beside->out << beside->err;
    EXPECT_NE(beside->out.find("Graphic report " + std::to_string(held) + " is taken by another batch run - skipped\n"),
              std::string::npos)
        << beside->out;
    EXPECT_EQ(beside->out.find("taken over"), std::string::npos) << beside->out;
    EXPECT_EQ(beside->out.find(": status "), std::string::npos) << beside->out;
    // Each report prepared once, by the live run.
    for (const int id : ids) {
        EXPECT_EQ(statusOf(id), 3);
        EXPECT_NE(r.out.find("Graphic report " + std::to_string(id) + ": status 3\n"), std::string::npos) << r.out;
    }
}

using LostSession = InProcess;

TEST_F(LostSession, ARunWhoseSessionEndedTakesItsClaimAgainAtOnceAndLeavesAReportAnotherRunTookMeanwhile) {
    procedure->setReconnectTries(5);
    procedure->keepSessionsOpen();
    for (const bool takenMeanwhile : {false, true}) {
        SCOPED_TRACE(takenMeanwhile);
        Report row;
        row.outputFilename = takenMeanwhile ? "taken" : "kept";
        CGraphicReport report;
        report.setID(add(row));
        report.setListedStatus(1);
        const std::string id = std::to_string(report.getID());
        ASSERT_TRUE(report.claimGraphicReport(procedure.get(), 10));
        EXPECT_TRUE(report.claimHeld(procedure.get(), 10));
        kelmo_reports::ClaimHold hold(report, procedure.get(), 10);
        const std::string first = sql(claimLocks("pid", id));
        // The server ends the run's session; another run may list the report meanwhile.
        pgQuery(database, "SELECT pg_terminate_backend(" + first + ")");
        for (int wait = 0; wait < 500 && !pgQuery(database, claimLocks("pid", id)).empty(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(pgQuery(database, claimLocks("pid", id)).empty()) << "the ended session's lock stays";
        if (takenMeanwhile) {
            const Outcome other = run(" --status 2", id);
            EXPECT_NE(
                other.out.find("Graphic report " + id + " was left at 2 by a batch run that is gone - taken over"),
                std::string::npos)
                << other.out;
        }
        try {
            report.setGraphicReportLayout(procedure.get(), 10, L"Mine");
            EXPECT_FALSE(takenMeanwhile);
            // The claim's lock is the new session's, before the call ran again.
            const auto holder = pgQuery(database, claimLocks("pid", id));
            ASSERT_EQ(holder.size(), 1u);
            EXPECT_NE(holder[0][0], first);
            EXPECT_TRUE(report.claimHeld(procedure.get(), 10));
            EXPECT_EQ(sql("SELECT plot_layout FROM graphic_report WHERE id = " + id), "Mine");
        } catch (CEXKelmo* failure) {
            EXPECT_TRUE(takenMeanwhile);
            EXPECT_TRUE(kelmo_reports::claimTakenOver(failure));
            failure->deleteException();
            // What the other run recorded stands: the layout it plotted, its status.
            EXPECT_EQ(statusOf(report.getID()), 3);
            EXPECT_EQ(sql("SELECT plot_layout FROM graphic_report WHERE id = " + id), "Model");
        }
    }
}

} // namespace
} // namespace batchtest
