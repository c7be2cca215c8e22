// kelmobatch under a job control's hand: its standard output closed early, asked to stop with SIGTERM,
// SIGINT or any other signal that ends a process part-way, or run under a file size limit. No report is
// left "preparation started", and no temporary file is left behind.
#include "RunControlSupport.h"

namespace batchtest {
namespace {

class Signalled : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        if (IsSkipped()) return;
        for (int i = 0; i < 4; ++i) {
            Report report;
            report.outputFilename = "r" + std::to_string(i);
            ids.push_back(add(report));
        }
    }

    std::string batch() const {
        return "'" + program.string() + "' --server-prefs prefs.xml --database " + database + " --c-drive '" +
               (dir / "c").string() + "'";
    }

    std::vector<int> ids;
};

TEST_F(Signalled, AStandardOutputClosedEarlyEndsNoReportAndTheRunExitsZero) {
    std::ofstream(dir / "head.sh") << "cd '" << dir.string() << "' && " << batch()
                                   << " 2>err.txt | head -1 >/dev/null; echo ${PIPESTATUS[0]} >status.txt\n";
    ASSERT_EQ(std::system(("/bin/bash '" + (dir / "head.sh").string() + "'").c_str()), 0);
    EXPECT_EQ(slurp(dir / "status.txt"), "0\n") << slurp(dir / "err.txt");
    for (int id : ids) EXPECT_EQ(statusOf(id), 3) << "report " << id;
    EXPECT_EQ(slurp(dir / "err.txt"), "");
}

TEST_F(Signalled, EverySignalThatEndsAProcessFinishesTheReportInProgressThenStopsWithTheShellsSignalStatus) {
    // The second report's status takes a second to record, the first time: the signal comes meanwhile.
    pgQuery(database,
            "CREATE SEQUENCE stall; CREATE FUNCTION stall_once() RETURNS trigger LANGUAGE plpgsql AS $$"
            " BEGIN IF NEW.status_id = 3 AND NEW.id = " +
                std::to_string(ids[1]) +
                " AND nextval('stall') = 1 THEN PERFORM pg_sleep(1); END IF; RETURN NEW; END $$;"
                " CREATE TRIGGER stalled BEFORE UPDATE OF status_id ON graphic_report"
                " FOR EACH ROW EXECUTE FUNCTION stall_once();");
    struct Case {
        int signal;
        const char* name;
        int exit;
    };
    // SIGHUP (a terminal closed) and SIGQUIT once ended the run at once, the report's temporaries left.
    for (const Case& c : {Case{SIGTERM, "SIGTERM", 143}, Case{SIGINT, "SIGINT", 130}, Case{SIGHUP, "SIGHUP", 129},
                          Case{SIGQUIT, "SIGQUIT", 131}}) {
        pgQuery(database, "SELECT setval('stall', 1, false); UPDATE graphic_report SET status_id = 1");
        const Background running = start(dir, "cd '" + dir.string() + "' && exec " + batch(), c.name);
        const std::string sleeping =
            "SELECT count(*) FROM pg_stat_activity WHERE datname = '" + database + "' AND wait_event = 'PgSleep'";
        bool asleep = false;
        for (int i = 0; i < 1200 && !asleep; ++i) {
            asleep = pgQuery("postgres", sleeping).at(0).at(0) != "0";
            if (!asleep) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        EXPECT_TRUE(asleep) << "the run never reached the second report";
        ::kill(running.pid, c.signal);
        const Outcome r = finish(running);
        EXPECT_EQ(r.status, c.exit) << c.name << "\n" << r.out << r.err;
        EXPECT_EQ(r.err, std::string("kelmobatch: stopped by ") + c.name +
                             ": the report in progress was finished, the reports after it keep their status\n");
        EXPECT_EQ(statusOf(ids[0]), 3) << c.name;
        EXPECT_EQ(statusOf(ids[1]), 3) << c.name;
        EXPECT_NE(r.out.find("Graphic report " + std::to_string(ids[1]) + ": status 3\n"), std::string::npos) << r.out;
        for (size_t i = 2; i < ids.size(); ++i) EXPECT_EQ(statusOf(ids[i]), 1) << c.name << " report " << ids[i];
        EXPECT_TRUE(fs::is_empty(dir / "c" / "CadHost" / "kelmo" / "temp")) << c.name;
    }
}

TEST_F(Signalled, UnderAFileSizeLimitEachReportEndsWithTheReasonItsCopyFailed) {
    // A copy past the limit once ended the run by SIGXFSZ: the report left at 2, the later ones never
    // prepared, a half-written temporary left in the run's folder.
    pgQuery(database, "UPDATE graphic_report SET save_copy_to = " + sqlText(windowsPath(dir / "copies")));
    // Room for the plot, the XML and the logs, not for a copy of the drawing (512-byte blocks, as sh counts).
    const auto drawing = fs::file_size(dir / "plans" / "plan_mm.dxf");
    const std::string limited = "ulimit -f " + std::to_string(drawing / 2 / 512) + "; " + commandLine();
    const int raw = std::system((limited + " >out.txt 2>err.txt").c_str());
    ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw) << "\n" << slurp(dir / "out.txt");
    EXPECT_EQ(WEXITSTATUS(raw), 0) << slurp(dir / "err.txt");
    const std::string out = slurp(dir / "out.txt");
    for (int id : ids) {
        EXPECT_EQ(statusOf(id), 12) << "report " << id << "\n" << out;
        EXPECT_NE(out.find("Graphic report " + std::to_string(id) + ": status 12"), std::string::npos) << out;
    }
    EXPECT_NE(out.find("the copy of the drawing failed: unable to save drawing to temp location"), std::string::npos)
        << out;
    EXPECT_NE(out.find("the file would grow past the largest size allowed"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(dir / "c" / "CadHost" / "kelmo" / "temp"));
    for (const auto& entry : fs::directory_iterator(dir / "copies"))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".~")) << entry.path();
}

} // namespace
} // namespace batchtest
