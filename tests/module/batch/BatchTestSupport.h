#pragma once
// A register of its own for each test (a database made from sql/vxr.sql on the test server), the
// ezdxf floor plans in the test's folder, the server preferences that name them, and kelmobatch run on
// them as a user runs it.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/PreferencesOstrel.h"
#include "database/StoredProcedure.h"
#include "support/AdoServer.h"

inline void PrintTo(const CString& text, std::ostream* out) {
    *out << '"' << text.ToUtf8() << '"';
}

namespace batchtest {

namespace fs = std::filesystem;
using kelmo::test::pgQuery;
using kelmo::test::pgServer;

struct Outcome {
    int status = -1;
    std::string out, err;
};

inline std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What happens to the names in one folder while the batch runs (inotify, the events given).
class FolderWatch {
public:
    FolderWatch(const fs::path& folder, uint32_t events) : watch_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(watch_, 0);
        EXPECT_GE(::inotify_add_watch(watch_, folder.c_str(), events), 0) << folder;
    }
    ~FolderWatch() { ::close(watch_); }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // The events seen since the last call, each with the name it concerns.
    std::vector<std::pair<std::string, uint32_t>> events() {
        std::vector<std::pair<std::string, uint32_t>> seen;
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t got; (got = ::read(watch_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < got;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
                if (e->len > 0) seen.emplace_back(e->name, e->mask);
            }
        }
        return seen;
    }

private:
    int watch_;
};

// This machine's name as a batch run marks its temporary folder with it ("batch", process id, "@").
inline std::string machineName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    std::string kept;
    for (const char* c = name; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)) || *c == '-' || *c == '.' || *c == '_') kept += *c;
    return kept.empty() ? "unknown" : kept;
}

// The Windows form of a native path, as the register holds it.
inline std::string windowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

inline std::string sqlText(const std::optional<std::string>& text) {
    if (!text) return "NULL";
    std::string escaped;
    for (char c : *text) {
        escaped += c;
        if (c == '\'') escaped += '\'';
    }
    return "'" + escaped + "'";
}

// One row of the register's graphic_report table; unset texts are NULL.
struct Report {
    std::string title = "Report";
    std::optional<std::string> drawingPath, drawingFilename = "plan_mm.dxf";
    int plotType = 1;
    std::optional<std::string> plotLayout, outputPath, outputFilename = "report", saveCopyTo, xmlOutputTo;
    int status = 1;
};

class BatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        plans = fs::temp_directory_path() / ("kelmo-batch-plans-" + std::to_string(::getpid()));
        fs::create_directories(plans);
        const fs::path generator = fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "commands" / "make_plans.py";
        ezdxf = std::system(("/usr/bin/python3 '" + generator.string() + "' '" + plans.string() + "'").c_str()) == 0;
    }
    static void TearDownTestSuite() { fs::remove_all(plans); }

    void SetUp() override {
        if (!pgServer()) GTEST_SKIP() << "KELMO_PG* not set: no database";
        if (!fs::exists(program)) GTEST_SKIP() << "kelmobatch is not built";
        if (!ezdxf) GTEST_SKIP() << "python3-ezdxf cannot write the plans";
        static int serial = 0;
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir = fs::temp_directory_path() / ("kelmo-batch-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir);
        for (const char* folder : {"c", "plans", "out", "copies", "xml"}) fs::create_directories(dir / folder);
        fs::copy_file(plans / "plan_mm.dxf", dir / "plans" / "plan_mm.dxf");
        database = "kbatch_" + std::to_string(::getpid()) + "_" + std::to_string(++serial);
        pgQuery("postgres", "CREATE DATABASE " + database);
        pgQuery(database, slurp(fs::path(KELMO_SOURCE_DIR) / "sql" / "vxr.sql"));
        writePrefs(dir / "prefs.xml", windowsPath(dir / "out"));
    }
    void TearDown() override {
        if (!database.empty()) pgQuery("postgres", "DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
        if (!dir.empty()) fs::remove_all(dir);
    }

    // The error log is the test's errors.xml unless given.
    void writePrefs(const fs::path& file, const std::string& reportFolder, std::string errorLog = "") const {
        if (errorLog.empty()) errorLog = windowsPath(dir / "errors.xml");
        const auto server = pgServer();
        std::ofstream(file) << "<?xml version=\"1.0\"?>\n<ostrelPreferences>\n  <server>\n"
                            << "    <dbDatasource>" << server->host << "</dbDatasource>\n"
                            << "    <dbUserID>" << server->user << "</dbUserID>\n"
                            << "    <dbPassword>" << server->password << "</dbPassword>\n"
                            << "    <dbTimeout>30</dbTimeout>\n"
                            << "    <graphRepOutPath>" << reportFolder << "</graphRepOutPath>\n"
                            << "    <acadErrorLogFilePath>" << errorLog << "</acadErrorLogFilePath>\n"
                            << "  </server>\n</ostrelPreferences>\n";
    }

    // Adds the report; the drawing and output folders are the test's own unless given.
    int add(Report r) const {
        if (!r.drawingPath) r.drawingPath = windowsPath(dir / "plans");
        if (!r.outputPath) r.outputPath = windowsPath(dir / "out");
        const auto rows =
            pgQuery(database,
                    "INSERT INTO graphic_report (status_id, title, drawing_path, drawing_filename, plot_layout, "
                    "plot_type_id, plot_area_type_id, plot_media_size_id, plot_scale_type_id, plot_centred, "
                    "output_path, output_filename, save_copy_to, xml_output_to) VALUES (" +
                        std::to_string(r.status) + ", " + sqlText(r.title) + ", " + sqlText(r.drawingPath) + ", " +
                        sqlText(r.drawingFilename) + ", " + sqlText(r.plotLayout) + ", " + std::to_string(r.plotType) +
                        ", 0, 0, 0, 1, " + sqlText(r.outputPath) + ", " + sqlText(r.outputFilename) + ", " +
                        sqlText(r.saveCopyTo) + ", " + sqlText(r.xmlOutputTo) + ") RETURNING id");
        return std::stoi(rows.at(0).at(0));
    }

    // The claim locks on a report in this test's own register: advisory locks are the whole server's,
    // and other tests' registers number their reports from 1 too.
    static std::string claimLocks(const std::string& what, const std::string& id) {
        return "SELECT " + what +
               " FROM pg_locks WHERE locktype = 'advisory' AND classid = gr_claim_key()::oid AND database = "
               "(SELECT oid FROM pg_database WHERE datname = current_database()) AND objid = " +
               id;
    }

    int statusOf(int id) const {
        return std::stoi(
            pgQuery(database, "SELECT status_id FROM graphic_report WHERE id = " + std::to_string(id)).at(0).at(0));
    }

    std::string commandLine(const std::string& extra = "") const {
        return "cd '" + dir.string() + "' && '" + program.string() + "' --server-prefs prefs.xml --database " +
               database + " --c-drive '" + (dir / "c").string() + "'" + extra;
    }

    Outcome run(const std::string& extra = "", const std::string& tag = "") const {
        const std::string out = "out" + tag + ".txt", err = "err" + tag + ".txt";
        const int raw = std::system((commandLine(extra) + " >" + out + " 2>" + err).c_str());
        Outcome r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = slurp(dir / out);
        r.err = slurp(dir / err);
        return r;
    }

    static inline fs::path plans;
    static inline bool ezdxf = false;
    fs::path dir;
    std::string database;
    fs::path program = fs::path(KELMO_BINARY_DIR) / "tools" / "kelmobatch" / "kelmobatch";
};

// The module's batch classes run in this process on the test's register.
class InProcess : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        if (IsSkipped()) return;
        const auto server = pgServer();
        procedure =
            std::make_unique<CStoredProcedure>(CString(server->host.c_str()), CString(database.c_str()),
                                               CString(server->user.c_str()), CString(server->password.c_str()), 10);
        prefs.deSerialize(CString(windowsPath(dir / "prefs.xml").c_str()));
        ASSERT_EQ(prefs.getCount(), 1);
    }
    void TearDown() override {
        procedure.reset(); // the connection goes before its database
        BatchTest::TearDown();
    }
    std::string sql(const std::string& statement) const { return pgQuery(database, statement).at(0).at(0); }

    std::unique_ptr<CStoredProcedure> procedure;
    CPreferencesOstrel prefs;
};

} // namespace batchtest
