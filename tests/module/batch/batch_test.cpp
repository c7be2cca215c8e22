// kelmobatch against the test server: reports prepared from their register, each failure recorded as
// its own status while the others go on, copies and XML never written over the drawing, and two runs
// sharing one register.
#include <sys/stat.h>

#include <thread>

#include "BatchTestSupport.h"

namespace batchtest {
namespace {

bool startsWith(const std::string& text, const std::string& start) {
    return text.compare(0, start.size(), start) == 0;
}

TEST_F(BatchTest, ABatchPlotsCopiesAndWritesEachReportAndRecordsEveryStatus) {
    const std::string original = slurp(dir / "plans" / "plan_mm.dxf");
    fs::copy_file(dir / "plans" / "plan_mm.dxf", dir / "plans" / "broken.dxf");
    std::ofstream(dir / "plans" / "broken.dxf", std::ios::trunc) << "this is no drawing\n";

    Report pdf;
    pdf.title = "Offices by department";
    pdf.outputFilename = "offices";
    pdf.saveCopyTo = windowsPath(dir / "copies"); // a folder: the copy keeps the drawing's name
    const int pdfId = add(pdf);
    Report png;
    png.plotType = 3;
    png.outputFilename = "spaces.png";
    png.saveCopyTo = windowsPath(dir / "copies" / "renamed.dxf"); // a folder and a file name
    png.xmlOutputTo = windowsPath(dir / "xml");                   // a folder: the drawing's name as XML
    const int pngId = add(png);
    Report missing;
    missing.drawingFilename = "nowhere.dxf";
    const int missingId = add(missing);
    Report badName;
    badName.outputFilename = "what?.pdf";
    const int badNameId = add(badName);
    Report emptyName;
    emptyName.outputFilename = "";
    const int emptyNameId = add(emptyName);
    Report noFolder;
    noFolder.outputPath = windowsPath(dir / "no such folder");
    const int noFolderId = add(noFolder);
    Report dwf; // the host cannot plot DWF: nothing is written
    dwf.plotType = 0;
    dwf.outputFilename = "drawing";
    const int dwfId = add(dwf);
    Report unreadable;
    unreadable.drawingFilename = "broken.dxf";
    const int unreadableId = add(unreadable);
    Report last; // after every failure, the batch still prepares this one
    last.outputFilename = "last";
    last.saveCopyTo = "plan_copy.dxf"; // a file name: beside the drawing
    const int lastId = add(last);
    Report other; // another status is not this batch's
    other.status = 7;
    const int otherId = add(other);

    Outcome r = run();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_TRUE(startsWith(r.out, "9 graphic report(s) of status 1 to prepare\n")) << r.out;

    const std::map<int, int> expected = {{pdfId, 3},        {pngId, 3},       {missingId, 4}, {badNameId, 11},
                                         {emptyNameId, 11}, {noFolderId, 10}, {dwfId, 9},     {unreadableId, 14},
                                         {lastId, 3},       {otherId, 7}};
    for (const auto& [id, status] : expected) EXPECT_EQ(statusOf(id), status) << "report " << id;

    EXPECT_TRUE(startsWith(slurp(dir / "out" / "offices.pdf"), "%PDF-"));
    EXPECT_TRUE(startsWith(slurp(dir / "out" / "spaces.png"), "\x89PNG"));
    EXPECT_TRUE(startsWith(slurp(dir / "out" / "last.pdf"), "%PDF-"));
    EXPECT_FALSE(fs::exists(dir / "out" / "drawing.dwf"));
    EXPECT_FALSE(fs::exists(dir / "out" / "report.pdf"));

    // The copies are drawings; the XML is the report's.
    for (const fs::path& copy :
         {dir / "copies" / "plan_mm.dxf", dir / "copies" / "renamed.dxf", dir / "plans" / "plan_copy.dxf"})
        EXPECT_NE(slurp(copy).find("ENTITIES"), std::string::npos) << copy;
    const std::string beside = slurp(dir / "out" / "offices.xml");
    EXPECT_NE(beside.find("<grID>" + std::to_string(pdfId) + "</grID>"), std::string::npos) << beside;
    EXPECT_NE(beside.find("<grTitle>Offices by department</grTitle>"), std::string::npos) << beside;
    EXPECT_NE(slurp(dir / "xml" / "plan_mm.xml").find("<grID>" + std::to_string(pngId) + "</grID>"), std::string::npos);
    EXPECT_NE(slurp(dir / "out" / "last.xml").find("<grSaveCopyTo>plan_copy.dxf</grSaveCopyTo>"), std::string::npos);
    // The empty layout plotted the current one, whose name is recorded.
    EXPECT_EQ(pgQuery(database, "SELECT plot_layout FROM graphic_report WHERE id = " + std::to_string(pdfId))[0][0],
              "Model");

    // The drawing the reports were prepared on is left as it was.
    EXPECT_EQ(slurp(dir / "plans" / "plan_mm.dxf"), original);
    // The unreadable drawing's error went to the server's error log.
    EXPECT_NE(slurp(dir / "errors.xml").find("CGraphicReport::prepareReport"), std::string::npos);

    // The module registered itself and runs.
    const auto module = pgQuery("ostrel", "SELECT version, running FROM module WHERE name = 'KRP'");
    ASSERT_EQ(module.size(), 1u);
    EXPECT_EQ(module[0][0], "64.04.00.01");
    EXPECT_EQ(module[0][1], "t");
}

TEST_F(BatchTest, ACopyOrXmlTargetThatWouldReplaceTheDrawingOrThePlotOrCannotBeWrittenIsRefused) {
    const std::string original = slurp(dir / "plans" / "plan_mm.dxf");
    fs::create_directories(dir / "plans" / "sub");
    struct Case {
        const char* what;
        std::optional<std::string> saveCopyTo, xmlOutputTo, outputPath;
        int status;
    };
    const std::string plansFolder = windowsPath(dir / "plans");
    const std::vector<Case> cases = {
        {"a file name in other letter case", "PLAN_MM.DXF", std::nullopt, std::nullopt, 12},
        {"the drawing's folder", plansFolder, std::nullopt, std::nullopt, 12},
        {"the drawing's folder written with a trailing backslash", plansFolder + "\\", std::nullopt, std::nullopt, 12},
        {"a folder and file through ..", plansFolder + "\\sub\\..\\plan_mm.dxf", std::nullopt, std::nullopt, 12},
        {"a folder and file in capitals", plansFolder + "\\PLAN_MM.dxf", std::nullopt, std::nullopt, 12},
        {"an XML file name beside the drawing", std::nullopt, "Plan_MM.dxf", plansFolder, 13},
        {"an XML folder and file through ..", std::nullopt, plansFolder + "\\sub\\..\\plan_mm.dxf", std::nullopt, 13},
        {"a copy over the plot", windowsPath(dir / "out" / "R7.PDF"), std::nullopt, std::nullopt, 12},
        {"an XML over the plot", std::nullopt, "r8.pdf", std::nullopt, 13},
        {"a copy into a folder that does not exist", windowsPath(dir / "gone" / "copy.dxf"), std::nullopt, std::nullopt,
         12},
        {"an XML into a folder that does not exist", std::nullopt, windowsPath(dir / "gone" / "r.xml"), std::nullopt,
         13},
        {"a copy and an XML elsewhere", windowsPath(dir / "copies" / "kept.dxf"), windowsPath(dir / "xml" / "kept.xml"),
         std::nullopt, 3},
    };
    std::vector<int> ids;
    for (const Case& c : cases) {
        Report report;
        report.title = c.what;
        report.outputFilename = "r" + std::to_string(ids.size());
        report.saveCopyTo = c.saveCopyTo;
        report.xmlOutputTo = c.xmlOutputTo;
        report.outputPath = c.outputPath;
        ids.push_back(add(report));
    }
    Outcome r = run();
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(statusOf(ids[i]), cases[i].status) << cases[i].what;
        // A refused copy writes no XML either.
        if (cases[i].status == 12) {
            EXPECT_FALSE(fs::exists(dir / "out" / ("r" + std::to_string(i) + ".xml"))) << cases[i].what;
        }
    }
    EXPECT_EQ(slurp(dir / "plans" / "plan_mm.dxf"), original);
    EXPECT_TRUE(startsWith(slurp(dir / "out" / "r7.pdf"), "%PDF-"));
    EXPECT_TRUE(startsWith(slurp(dir / "out" / "r8.pdf"), "%PDF-"));
}

TEST_F(BatchTest, TwoRunsSharingOneRegisterPrepareEachOfTwentyReportsOnce) {
    // Every change of status with the server session that made it.
    pgQuery(database, R"sql(
        CREATE TABLE status_log (report integer, status integer, session integer);
        CREATE FUNCTION log_status() RETURNS trigger LANGUAGE plpgsql AS $$
        BEGIN
            INSERT INTO status_log VALUES (NEW.id, NEW.status_id, pg_backend_pid());
            RETURN NEW;
        END $$;
        CREATE TRIGGER status_logged AFTER UPDATE OF status_id ON graphic_report
            FOR EACH ROW EXECUTE FUNCTION log_status();)sql");
    std::vector<int> ids;
    for (int i = 0; i < 20; ++i) {
        Report report;
        report.title = "Report " + std::to_string(i);
        report.outputFilename = "r" + std::to_string(i);
        report.plotType = i % 2 == 0 ? 1 : 3;
        report.saveCopyTo = windowsPath(dir / "copies" / ("c" + std::to_string(i) + ".dxf"));
        ids.push_back(add(report));
    }
    Outcome first, second;
    std::thread a([&] { first = run("", "a"); });
    std::thread b([&] { second = run("", "b"); });
    a.join();
    b.join();
    ASSERT_EQ(first.status, 0) << first.out << first.err;
    ASSERT_EQ(second.status, 0) << second.out << second.err;

    for (int id : ids) {
        const std::string report = std::to_string(id);
        EXPECT_EQ(statusOf(id), 3) << "report " << id;
        // Claimed once, finished once, both by the same run.
        const auto claims = pgQuery(database, "SELECT session FROM status_log WHERE status = 2 AND report = " + report);
        const auto ends = pgQuery(database, "SELECT session FROM status_log WHERE status = 3 AND report = " + report);
        ASSERT_EQ(claims.size(), 1u) << "report " << id;
        ASSERT_EQ(ends.size(), 1u) << "report " << id;
        EXPECT_EQ(claims[0][0], ends[0][0]) << "report " << id;
    }
    // A run that lost a report to the other says so, and each report is lost by one run at most.
    int listed = 0, skipped = 0;
    for (const Outcome* run : {&first, &second}) {
        listed += std::stoi(run->out);
        for (size_t at = run->out.find("is taken by another batch run - skipped\n"); at != std::string::npos;
             at = run->out.find("is taken by another batch run - skipped\n", at + 1))
            ++skipped;
    }
    EXPECT_EQ(listed - skipped, 20) << first.out << second.out;
    for (int i = 0; i < 20; ++i) {
        const fs::path plot = dir / "out" / ("r" + std::to_string(i) + (i % 2 == 0 ? ".pdf" : ".png"));
        EXPECT_GT(fs::file_size(plot), 0u) << plot;
        EXPECT_TRUE(fs::exists(dir / "copies" / ("c" + std::to_string(i) + ".dxf"))) << i;
    }
    // Each run's temporary folder went with it.
    EXPECT_TRUE(fs::is_empty(dir / "c" / "CadHost" / "kelmo" / "temp"));
}

TEST_F(BatchTest, AWrongCommandLineOrUnusablePreferencesStopBeforeAnyReport) {
    const int id = add(Report{});
    struct Case {
        std::string arguments;
        int status;
        std::string message;           // on standard error
        bool onStandardOutput = false; // the message is there instead
    };
    writePrefs(dir / "unreachable.xml", windowsPath(dir / "out"));
    {
        std::string text = slurp(dir / "unreachable.xml");
        const std::string host = pgServer()->host;
        text.replace(text.find(host), host.size(), (dir / "no-server").string());
        std::ofstream(dir / "unreachable.xml", std::ios::trunc) << text;
    }
    std::ofstream(dir / "empty.xml") << "<?xml version=\"1.0\"?>\n<ostrelPreferences/>\n";
    ASSERT_EQ(::mkfifo((dir / "pipe.xml").c_str(), 0644), 0);
    const std::vector<Case> cases = {
        {" --status 256", 2, "the status must be a whole number from 0 to 255, not 256"},
        {" --status", 2, "option --status needs a value"},
        {" --colour red", 2, "unknown option --colour"},
        {" --server-prefs empty.xml", 3, "no server in the server preferences empty.xml"},
        {" --server-prefs unreachable.xml", 1, "the batch stopped:\nCModuleDetails::setModDetails"},
        {" --server-prefs missing.xml", 3, "kelmobatch: the server preferences file missing.xml is missing\n"},
        {" --server-prefs .", 3, "kelmobatch: the server preferences file . cannot be read: it is a folder\n"},
        // A named pipe held the run for ever.
        {" --server-prefs pipe.xml", 3,
         "kelmobatch: the server preferences file pipe.xml cannot be read: it is a named pipe, not a file\n"},
        {" --database --c-drive elsewhere", 2, "kelmobatch: option --database needs a value\n"},
        {" --help", 0, "usage: kelmobatch --server-prefs FILE", true},
        // The help names what the run records and how it ends, and how to ask for it.
        {" -h", 0, "  13  writing the XML was refused or failed\n", true},
        {" --help", 0, "Exit statuses:\n  0    every report", true},
        {" --help", 0, "kelmobatch --help | -h\n", true},
    };
    for (const Case& c : cases) {
        Outcome r = run(c.arguments);
        EXPECT_EQ(r.status, c.status) << c.arguments << "\n" << r.err;
        EXPECT_NE((c.onStandardOutput ? r.out : r.err).find(c.message), std::string::npos) << c.arguments << "\n"
                                                                                           << r.out << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "elsewhere"));
    EXPECT_EQ(statusOf(id), 1);
}

TEST_F(BatchTest, ARunShortOfFileDescriptorsStopsBeforeItClaimsAnyReportSayingSo) {
    const int id = add(Report{});
    for (const int limit : {5, 6, 7, 12}) {
        SCOPED_TRACE(limit);
#if defined(__SANITIZE_ADDRESS__)
        // The sanitizer's own checks need descriptors of their own before the batch starts.
        if (limit < 7) continue;
#endif
        // The outputs are opened before the limit is lowered, so the shell needs no descriptor after it.
        std::string line = commandLine();
        line.insert(line.find("&& ") + 3,
                    "exec >limited.txt 2>limited-err.txt && ulimit -n " + std::to_string(limit) + " && exec ");
        const int raw = std::system(line.c_str());
        ASSERT_TRUE(WIFEXITED(raw));
        EXPECT_EQ(WEXITSTATUS(raw), 1);
        const std::string err = slurp(dir / "limited-err.txt");
        EXPECT_TRUE(startsWith(err, "kelmobatch: too many open files: only ")) << err;
        EXPECT_NE(err.find(" - no report was prepared\n"), std::string::npos) << err;
        EXPECT_EQ(statusOf(id), 1);
        EXPECT_FALSE(fs::exists(dir / "out" / "report.pdf"));
    }
}

TEST_F(BatchTest, TheTemporaryFolderOfAKilledRunIsRemovedByTheNextRunButALiveRunsIsKept) {
    // A process that has ended stands for a killed run.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const fs::path temp = dir / "c" / "CadHost" / "kelmo" / "temp";
    const fs::path killed = temp / ("batch" + std::to_string(ended) + "@" + machineName());
    const fs::path live = temp / ("batch" + std::to_string(::getpid()) + "@" + machineName());
    const fs::path other = temp / "batch-notes";
    for (const fs::path& folder : {killed, live, other}) {
        fs::create_directories(folder);
        std::ofstream(folder / "plan_mm.krp") << "a copy on its way\n";
    }
    const int id = add(Report{});
    Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3);
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_TRUE(fs::exists(live / "plan_mm.krp"));
    EXPECT_TRUE(fs::exists(other / "plan_mm.krp"));
}

} // namespace
} // namespace batchtest
