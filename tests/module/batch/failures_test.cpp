// kelmobatch when things around it fail: an error log that cannot be written, reports that cannot be
// loaded, the register going away part-way, and reports left claimed by a run that is gone.
#include <sys/stat.h>

#include <chrono>
#include <future>
#include <thread>

#include "BatchTestSupport.h"
#include "reports/GraphicReport.h"

namespace batchtest {
namespace {

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(BatchTest, AnErrorLogThatCannotBeWrittenIsNamedOnceAndEveryReportIsStillPrepared) {
    const std::string log = windowsPath(dir / "unmounted" / "errors.xml");
    writePrefs(dir / "prefs.xml", windowsPath(dir / "out"), log);
    std::ofstream(dir / "plans" / "broken.dxf") << "this is no drawing\n";
    std::vector<int> broken, good;
    for (int i = 0; i < 3; ++i) {
        Report failing;
        failing.drawingFilename = "broken.dxf";
        failing.outputFilename = "broken" + std::to_string(i);
        broken.push_back(add(failing));
        Report fine;
        fine.outputFilename = "fine" + std::to_string(i);
        good.push_back(add(fine));
    }
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(count(r.err, "The error log " + log + " cannot be written: its folder does not exist - the entry for " +
                               "graphic report " + std::to_string(broken[0]) + " is lost\n"),
              1u)
        << r.err;
    EXPECT_EQ(count(r.err, "The error log "), 1u) << r.err;
    for (int id : broken) EXPECT_EQ(statusOf(id), 14) << "report " << id;
    for (int id : good) EXPECT_EQ(statusOf(id), 3) << "report " << id;
    for (int i = 0; i < 3; ++i) EXPECT_GT(fs::file_size(dir / "out" / ("fine" + std::to_string(i) + ".pdf")), 0u);
    EXPECT_FALSE(fs::exists(dir / "unmounted"));
    EXPECT_TRUE(fs::is_empty(dir / "c" / "CadHost" / "kelmo" / "temp"));
}

TEST_F(BatchTest, AnErrorLogThatIsANamedPipeIsNamedAndEveryReportIsStillPrepared) {
    // Its lock waited for a writer on the pipe for ever, with the first failed report claimed.
    ASSERT_EQ(::mkfifo((dir / "errors-pipe.xml").c_str(), 0644), 0);
    const std::string log = windowsPath(dir / "errors-pipe.xml");
    writePrefs(dir / "prefs.xml", windowsPath(dir / "out"), log);
    std::ofstream(dir / "plans" / "broken.dxf") << "this is no drawing\n";
    Report failing;
    failing.drawingFilename = "broken.dxf";
    failing.outputFilename = "broken";
    const int broken = add(failing);
    const int good = add(Report{});
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.err.find("The error log " + log + " cannot be written: "), std::string::npos) << r.err;
    EXPECT_EQ(statusOf(broken), 14);
    EXPECT_EQ(statusOf(good), 3);
    EXPECT_TRUE(fs::is_fifo(dir / "errors-pipe.xml"));
}

TEST_F(BatchTest, AReportThatCannotBeLoadedIsClaimedAndRecordedAsFailedNamingItAndItsDrawing) {
    std::ofstream(dir / "plans" / "other.dxf") << slurp(dir / "plans" / "plan_mm.dxf");
    std::vector<int> unloadable;
    for (const char* colour : {"red", "#1", ""}) {
        Report report;
        report.drawingFilename = "other.dxf";
        report.outputFilename = std::string("colour ") + colour;
        const int id = add(report);
        pgQuery(database, "INSERT INTO report_category (report_id, title, hatch_pattern, hatch_colour) VALUES (" +
                              std::to_string(id) + ", 'Offices', 'SOLID', " + sqlText(colour) + ")");
        unloadable.push_back(id);
    }
    Report fine;
    fine.outputFilename = "fine";
    const int fineId = add(fine);

    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("1 graphic report(s) of status 1 to prepare\n"), std::string::npos) << r.out;
    const std::string drawing = windowsPath(dir / "plans" / "other.dxf");
    const std::string log = slurp(dir / "errors.xml");
    for (int id : unloadable) {
        EXPECT_EQ(statusOf(id), 14) << "report " << id;
        const std::string named =
            "Graphic report " + std::to_string(id) + " (drawing " + drawing + ") could not be loaded";
        EXPECT_NE(r.out.find(named + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Graphic report " + std::to_string(id) + ": status 14\n"), std::string::npos) << r.out;
        EXPECT_NE(log.find(named), std::string::npos) << log;
    }
    EXPECT_EQ(statusOf(fineId), 3);
    EXPECT_FALSE(fs::exists(dir / "out" / "colour red.pdf"));

    // Nothing waits at status 1 for the next run.
    Outcome again = run("", "2");
    EXPECT_EQ(again.out, "0 graphic report(s) of status 1 to prepare\n");
}

// Reports whose run can be cut off from its register part-way: the first time the second report is
// recorded as prepared, the server session that records it sleeps until the test ends it.
class RegisterCut : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        if (IsSkipped()) return;
        for (int i = 0; i < 6; ++i) {
            Report report;
            report.outputFilename = "r" + std::to_string(i);
            ids.push_back(add(report));
        }
        pgQuery(database, R"sql(
            CREATE SEQUENCE stall;
            CREATE FUNCTION stall_once() RETURNS trigger LANGUAGE plpgsql AS $$
            BEGIN
                IF NEW.status_id = 3 AND NEW.id = )sql" +
                              std::to_string(ids[1]) + R"sql( AND nextval('stall') = 1 THEN
                    PERFORM pg_sleep(60);
                END IF;
                RETURN NEW;
            END $$;
            CREATE TRIGGER stalled BEFORE UPDATE OF status_id ON graphic_report
                FOR EACH ROW EXECUTE FUNCTION stall_once();)sql");
    }

    // Runs the batch; `cut` runs once the run's session sleeps in the middle of recording a status.
    Outcome runAndCut(const std::function<void()>& cut) {
        auto running = std::async(std::launch::async, [&] { return run(); });
        const std::string sleeping =
            "SELECT count(*) FROM pg_stat_activity WHERE datname = '" + database + "' AND wait_event = 'PgSleep'";
        bool asleep = false;
        for (int i = 0; i < 1200 && !asleep; ++i) {
            asleep = pgQuery("postgres", sleeping).at(0).at(0) != "0";
            if (!asleep) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_TRUE(asleep) << "the run never reached the second report";
        cut();
        return running.get();
    }
    void endSessions() const {
        pgQuery("postgres", "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + database +
                                "' AND pid <> pg_backend_pid()");
    }

    std::vector<int> ids;
};

TEST_F(RegisterCut, ARegisterThatComesBackAfterADropIsReconnectedAndEveryReportIsPrepared) {
    Outcome r = runAndCut([&] { endSessions(); });
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (int id : ids) EXPECT_EQ(statusOf(id), 3) << "report " << id << "\n" << r.out << r.err;
    EXPECT_EQ(r.err, "");
}

TEST_F(RegisterCut, ARegisterThatStaysGoneStopsTheBatchAtOnceWithExitStatusOne) {
    Outcome r = runAndCut([&] {
        pgQuery("postgres", "ALTER DATABASE " + database + " ALLOW_CONNECTIONS false");
        endSessions();
    });
    pgQuery("postgres", "ALTER DATABASE " + database + " ALLOW_CONNECTIONS true");
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("kelmobatch: the register " + database + " on " + pgServer()->host + " cannot be reached\n"),
              std::string::npos)
        << r.err;
    // The first report is done; the second was plotted but its status never reached the register, so
    // it stays claimed; the others were never started.
    EXPECT_EQ(statusOf(ids[0]), 3);
    EXPECT_EQ(statusOf(ids[1]), 2);
    for (size_t i = 2; i < ids.size(); ++i) {
        EXPECT_EQ(statusOf(ids[i]), 1) << "report " << ids[i];
        EXPECT_FALSE(fs::exists(dir / "out" / ("r" + std::to_string(i) + ".pdf"))) << i;
    }
    EXPECT_EQ(r.out.find("Graphic report " + std::to_string(ids[2])), std::string::npos) << r.out;
}

class Takeover : public InProcess {};

TEST_F(Takeover, AReportLeftClaimedByARunThatIsGoneIsTakenOverAndPreparedButALiveRunsClaimIsNot) {
    Report row;
    row.outputFilename = "abandoned";
    const int abandoned = add(row);
    row.outputFilename = "held";
    const int held = add(row);
    const auto server = pgServer();
    {
        // A run that claimed the report and was killed: its server session ends with it.
        CStoredProcedure gone(CString(server->host.c_str()), CString(database.c_str()), CString(server->user.c_str()),
                              CString(server->password.c_str()), 10);
        CGraphicReport report;
        report.setID(abandoned);
        report.setListedStatus(1);
        ASSERT_TRUE(report.claimGraphicReport(&gone, 10));
    }
    CGraphicReport live; // this test's own session is a run still preparing it
    live.setID(held);
    live.setListedStatus(1);
    ASSERT_TRUE(live.claimGraphicReport(procedure.get(), 10));
    const std::string lockOfAbandoned = claimLocks("count(*)", std::to_string(abandoned));
    for (int i = 0; i < 200 && sql(lockOfAbandoned) != "0"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));

    Outcome r = run(" --status 2");
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const std::string a = std::to_string(abandoned), h = std::to_string(held);
    EXPECT_NE(r.out.find("Graphic report " + a + " was left at 2 by a batch run that is gone - taken over\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Graphic report " + a + ": status 3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Graphic report " + h + " is taken by another batch run - skipped\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(statusOf(abandoned), 3);
    EXPECT_EQ(statusOf(held), 2);
    EXPECT_GT(fs::file_size(dir / "out" / "abandoned.pdf"), 0u);
    EXPECT_FALSE(fs::exists(dir / "out" / "held.pdf"));

    // The live run ends its own report, and its claim with it: a later run has nothing to take over.
    live.setGraphicReportStatus(procedure.get(), 10, 3);
    EXPECT_EQ(run(" --status 2", "2").out, "0 graphic report(s) of status 2 to prepare\n");
}

} // namespace
} // namespace batchtest
