// The server preferences' numbers as an operator writes them: the register's time-out read whole and
// within what the server takes, or the batch refuses to start naming it; the other numbers read whole or
// their default said with the file, key and value. The status asked for is read alike, blanks or not.
#include "RunControlSupport.h"

namespace batchtest {
namespace {

const std::string kNotStarted = " - the batch does not start\n";

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST_F(BatchTest, ARegisterTimeOutIsReadWholeWithinWhatTheServerTakesOrTheBatchDoesNotStartNamingIt) {
    const int id = add(Report{});
    for (const char* value : {"2s", "1,500", "-1", "2147484", "99999999999", "0x10", ""}) {
        SCOPED_TRACE(std::string("dbTimeout \"") + value + "\"");
        setSetting(dir / "prefs.xml", "dbTimeout", value);
        const Outcome r = run();
        EXPECT_EQ(r.status, 3) << r.out << r.err;
        EXPECT_EQ(r.err, "kelmobatch: the server preferences file prefs.xml: dbTimeout \"" + std::string(value) +
                             "\" is not a whole number of seconds from 0 (no time-out) to 2147483" + kNotStarted);
        EXPECT_EQ(statusOf(id), 1) << "nothing is claimed";
    }
    // Padded, with an exponent or at the server's largest, the time-out is the one written.
    for (const char* value : {" 30", "30 ", "3e1", "2147483", "0"}) {
        SCOPED_TRACE(std::string("dbTimeout \"") + value + "\"");
        pgQuery(database, "UPDATE graphic_report SET status_id = 1 WHERE id = " + std::to_string(id));
        setSetting(dir / "prefs.xml", "dbTimeout", value);
        const Outcome r = run();
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(statusOf(id), 3) << r.out << r.err;
    }
}

// " 1" was read as no time-out: a register that stops answering held the batch for ever.
TEST_F(BatchTest, APaddedTimeOutStillGivesUpARegisterThatStopsAnswering) {
    const int id = add(Report{});
    const fs::path folder = fs::temp_directory_path() / ("kelmo-proxy-padded-" + std::to_string(::getpid()));
    fs::remove_all(folder);
    Outcome r;
    {
        SilencingProxy proxy(folder, pgServer()->host, "__gr_setGraphicReportStatus");
        std::string prefs = slurp(dir / "prefs.xml");
        const std::string server = "<dbDatasource>" + pgServer()->host + "</dbDatasource>";
        prefs.replace(prefs.find(server), server.size(), "<dbDatasource>" + folder.string() + "</dbDatasource>");
        std::ofstream(dir / "prefs.xml") << prefs;
        setSetting(dir / "prefs.xml", "dbTimeout", " 1");
        const std::string guarded = "cd '" + dir.string() + "' && exec timeout -s KILL 30 '" + program.string() +
                                    "' --server-prefs prefs.xml --database " + database + " --c-drive '" +
                                    (dir / "c").string() + "'";
        r = finish(start(dir, guarded));
    }
    fs::remove_all(folder);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3) << r.out << r.err;
}

TEST_F(BatchTest, TheOtherServerNumbersAreReadWholeOrTheirDefaultIsSaidWithTheFileKeyAndValue) {
    const int id = add(Report{});
    const std::string file = windowsPath(dir / "prefs.xml");
    const struct {
        const char* key;
        const char* value;
        const char* said; // null: read as written, nothing said
    } rows[] = {
        {"RegistersBatchSize", "2s", "a whole number from 1 to 2147483647 - 25 is used."},
        {"RegistersBatchSize", "0", "a whole number from 1 to 2147483647 - 25 is used."},
        {"RegistersBatchSize", "1,500", "a whole number from 1 to 2147483647 - 25 is used."},
        {"RegistersBatchSize", " 30", nullptr},
        {"PlotsWaitPeriodSecs", "-1", "a whole number from 0 to 2147483647 - 10 is used."},
        {"PlotsWaitPeriodSecs", "1e3", nullptr},
        {"deletePeriodSecs", "2.5", "a whole number from 0 to 2147483647 - 0 is used."},
        {"acadCheckPeriod", "99999999999", "a whole number from 0 to 2147483647 - 0 is used."},
        {"acadMaxSessionSecs", "0x10", "a whole number from 0 to 2147483647 - 0 is used."},
        {"cachePlotMediaNameID", "1e999", "a whole number from 0 to 2147483647 - 0 is used."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.key) + " \"" + row.value + "\"");
        writePrefs(dir / "prefs.xml", windowsPath(dir / "out"));
        setSetting(dir / "prefs.xml", row.key, row.value);
        pgQuery(database, "UPDATE graphic_report SET status_id = 1 WHERE id = " + std::to_string(id));
        const Outcome r = run();
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(statusOf(id), 3) << r.out << r.err;
        const std::string line = "The server preferences file " + file + ": " + row.key + " \"" + row.value + "\"";
        EXPECT_EQ(count(r.out, line), row.said ? 1u : 0u) << r.out;
        if (row.said) {
            EXPECT_EQ(count(r.out, line + " is not " + row.said + "\n"), 1u) << r.out;
        }
    }
}

TEST_F(BatchTest, TheStatusAskedForIsReadWithBlanksOnEitherSideAlike) {
    for (const char* status : {" 7", "7 ", " 7 ", "7"}) {
        SCOPED_TRACE(std::string("--status \"") + status + "\"");
        const Outcome r = run(std::string(" --status '") + status + "'");
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(count(r.out, "0 graphic report(s) of status 7 to prepare\n"), 1u) << r.out << r.err;
    }
    for (const char* status : {"7x", "0x7", "", " ", "256", "-1", "7 7"}) {
        SCOPED_TRACE(std::string("--status \"") + status + "\"");
        const Outcome r = run(std::string(" --status '") + status + "'");
        EXPECT_EQ(r.status, 2) << r.out << r.err;
    }
}

} // namespace
} // namespace batchtest
