// A batch run of 200 reports (each plotted, copied and written as XML into one output folder) while
// that folder already holds 0, 20,000 or 100,000 other files: what a report costs should not depend
// on how full the folder is. Counters: "per_report" (processor seconds of the kelmobatch process per
// report) and "per_empty" (that against the empty folder's). Needs the test server: run under
// scripts/pg-cluster's environment, with kelmobatch built.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kReports = 200;

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

std::string windowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

bool run(const std::string& database, const std::string& sql) {
    const std::string conninfo = std::string("host='") + env("KELMO_PGHOST") + "' user='" + env("KELMO_PGUSER") +
                                 "' password='" + env("KELMO_PGPASSWORD") + "' dbname='" + database + "'";
    PGconn* connection = PQconnectdb(conninfo.c_str());
    bool ok = PQstatus(connection) == CONNECTION_OK;
    if (ok) {
        PGresult* result = PQexec(connection, sql.c_str());
        ok = PQresultStatus(result) == PGRES_COMMAND_OK || PQresultStatus(result) == PGRES_TUPLES_OK;
        PQclear(result);
    }
    PQfinish(connection);
    return ok;
}

// The register, the drawing and the folders, made once for all sizes.
struct Run {
    fs::path dir = fs::temp_directory_path() / ("kelmo-bench-batch-" + std::to_string(::getpid()));
    std::string database = "kbench_" + std::to_string(::getpid());
    int fillers = 0;
    bool ready = false;
    std::string why;

    Run() {
        if (!env("KELMO_PGHOST") || !env("KELMO_PGUSER") || !env("KELMO_PGPASSWORD")) {
            why = "KELMO_PGHOST, KELMO_PGUSER and KELMO_PGPASSWORD are not set";
            return;
        }
        fs::remove_all(dir);
        for (const char* folder : {"c", "plans", "out"}) fs::create_directories(dir / folder);
        const fs::path generator = fs::path(KELMO_SOURCE_DIR) / "tests" / "data" / "commands" / "make_plans.py";
        if (std::system(("/usr/bin/python3 '" + generator.string() + "' '" + (dir / "plans").string() + "'").c_str())) {
            why = "python3-ezdxf cannot write the plan";
            return;
        }
        std::ifstream schema(fs::path(KELMO_SOURCE_DIR) / "sql" / "vxr.sql");
        std::stringstream text;
        text << schema.rdbuf();
        if (!run("postgres", "CREATE DATABASE " + database) || !run(database, text.str())) {
            why = "the register cannot be made";
            return;
        }
        std::string insert;
        for (int i = 0; i < kReports; ++i) {
            const std::string out = windowsPath(dir / "out");
            insert +=
                "INSERT INTO graphic_report (status_id, title, drawing_path, drawing_filename, plot_type_id, "
                "plot_area_type_id, plot_media_size_id, plot_scale_type_id, plot_centred, output_path, "
                "output_filename, save_copy_to, xml_output_to) VALUES (1, 'Report " +
                std::to_string(i) + "', '" + windowsPath(dir / "plans") + "', 'plan_mm.dxf', 1, 0, 0, 0, 1, '" + out +
                "', 'report" + std::to_string(i) + "', '" + out + "\\copy" + std::to_string(i) + ".dxf', '" + out +
                "\\report" + std::to_string(i) + ".xml');";
        }
        ready = run(database, insert);
        if (!ready) why = "the reports cannot be added";
        const auto server = env("KELMO_PGHOST");
        std::ofstream(dir / "prefs.xml") << "<?xml version=\"1.0\"?>\n<ostrelPreferences>\n  <server>\n"
                                         << "    <dbDatasource>" << server << "</dbDatasource>\n"
                                         << "    <dbUserID>" << env("KELMO_PGUSER") << "</dbUserID>\n"
                                         << "    <dbPassword>" << env("KELMO_PGPASSWORD") << "</dbPassword>\n"
                                         << "    <dbTimeout>30</dbTimeout>\n"
                                         << "    <graphRepOutPath>" << windowsPath(dir / "out")
                                         << "</graphRepOutPath>\n"
                                         << "    <acadErrorLogFilePath>" << windowsPath(dir / "errors.xml")
                                         << "</acadErrorLogFilePath>\n"
                                         << "  </server>\n</ostrelPreferences>\n";
    }
    ~Run() {
        if (!why.empty() && why != "the reports cannot be added") return;
        run("postgres", "DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
        fs::remove_all(dir);
    }

    // Other files in the output folder, as a shared plot folder collects them over the years.
    void fillTo(int count) {
        for (; fillers < count; ++fillers)
            std::ofstream(dir / "out" / ("Earlier plot " + std::to_string(fillers) + ".pdf")) << "%PDF";
    }

    // Every report back at status 1 and its outputs gone; then one kelmobatch run. Processor seconds.
    double prepareAll() {
        for (int i = 0; i < kReports; ++i)
            for (const std::string& name : {"report" + std::to_string(i) + ".pdf",
                                            "report" + std::to_string(i) + ".xml", "copy" + std::to_string(i) + ".dxf"})
                fs::remove(dir / "out" / name);
        run(database, "UPDATE graphic_report SET status_id = 1");
        const fs::path program = fs::path(KELMO_BINARY_DIR) / "tools" / "kelmobatch" / "kelmobatch";
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(dir.c_str()) != 0) ::_exit(127);
            const std::string c = (dir / "c").string();
            std::freopen("/dev/null", "w", stdout);
            ::execl(program.c_str(), "kelmobatch", "--server-prefs", "prefs.xml", "--database", database.c_str(),
                    "--c-drive", c.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
        return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    }
};

Run& theRun() {
    static Run made;
    return made;
}

std::map<int, double> g_perReport;

void BM_BatchIntoFolder(benchmark::State& state) {
    Run& r = theRun();
    if (!r.ready) {
        state.SkipWithError(r.why.c_str());
        return;
    }
    const int files = static_cast<int>(state.range(0));
    r.fillTo(files);
    r.prepareAll(); // untimed: the drawing, the server and the folder's pages are warm for each size
    double total = 0;
    for (auto _ : state) {
        const double seconds = r.prepareAll();
        if (seconds < 0) {
            state.SkipWithError("kelmobatch failed");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const double perReport = total / static_cast<double>(state.iterations()) / kReports;
    g_perReport[files] = perReport;
    state.counters["per_report"] = perReport;
    if (g_perReport.count(0)) state.counters["per_empty"] = perReport / g_perReport[0];
}

} // namespace

// Sizes in rising order: the folder only grows, and each is compared with the empty one.
BENCHMARK(BM_BatchIntoFolder)
    ->Arg(0)
    ->Arg(20000)
    ->Arg(100000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
