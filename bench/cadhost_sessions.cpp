// Whole cadhost sessions as a user runs them, each a process on a plan written by ezdxf: open and QUIT;
// open, one command and SAVE; a script of many lines that change nothing; PLOT. Two sizes, the second
// twice the first (KELMO_BENCH_ROOMS, 2,500 by default), in processor seconds of the cadhost process.
// KELMO_BENCH_CADHOST and KELMO_BENCH_MODULE run another build's cadhost and module on the same plans.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string setting(const char* name, const std::string& otherwise) {
    const char* set = std::getenv(name);
    return set && *set ? set : otherwise;
}

int baseRooms() {
    const int asked = std::atoi(setting("KELMO_BENCH_ROOMS", "0").c_str());
    return asked > 0 ? asked : 2500;
}

const fs::path kProgram = setting("KELMO_BENCH_CADHOST", KELMO_BINARY_DIR "/host/cadhost");
const fs::path kModule = setting("KELMO_BENCH_MODULE", KELMO_BINARY_DIR "/module/libkelmo.so");

// Runs cadhost in the folder on the drawing with the script; the processor seconds it took, or -1 when it
// failed.
double session(const fs::path& dir, const std::string& drawing, const std::string& script) {
    std::ofstream(dir / "session.scr") << script;
    const std::string cDrive = (dir / "c").string();
    const pid_t child = ::fork();
    if (child == 0) {
        if (::chdir(dir.c_str()) != 0) ::_exit(127);
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) ::_exit(127);
        ::execl(kProgram.c_str(), "cadhost", "--batch", "--c-drive", cDrive.c_str(), "--module", kModule.c_str(),
                "--script", "session.scr", drawing.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) return -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A folder per size: the C: drive with the default preferences, the plan as ezdxf wrote it, and the plan
// once its spaces were updated and saved (commands on it then change nothing).
struct Plans {
    fs::path dir;
    std::string why;

    explicit Plans(int rooms) {
        dir =
            fs::temp_directory_path() / ("kelmo-sessions-" + std::to_string(::getpid()) + "-" + std::to_string(rooms));
        fs::create_directories(dir / "c/CadHost/kelmo/prefs");
        std::ofstream(dir / "c/CadHost/kelmo/prefs/prefs.cfg", std::ios::binary)
            << "//\tKelmo 2001\r\n//\r\n//\tConfiguration file for Ostrel\r\n//\r\n"
               "units\r\n0\r\nprecison\r\n2\r\ntextSize\r\n250.00\r\ntextScale\r\n1.00\r\ntextRotation\r\n0.00\r\n"
               "csvOpener\r\nNONE\r\nzoomBorder\r\n1000\r\ninc\r\n1\r\n";
        const std::string writer = std::string(KELMO_SOURCE_DIR) + "/bench/ezdxf_room_plan.py";
        const std::string command = "/usr/bin/python3 '" + writer + "' " + std::to_string(rooms) + " '" +
                                    (dir / "plan.dxf").string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0) {
            why = "python3-ezdxf cannot write the plan";
            return;
        }
        fs::copy_file(dir / "plan.dxf", dir / "updated.dxf");
        if (session(dir, "updated.dxf", "mus\nSAVE\n") < 0) why = "cadhost cannot update the plan";
    }
    ~Plans() { fs::remove_all(dir); }
};

Plans& plansOf(int rooms) {
    static std::map<int, std::unique_ptr<Plans>> made;
    std::unique_ptr<Plans>& p = made[rooms];
    if (!p) p = std::make_unique<Plans>(rooms);
    return *p;
}

enum Kind { kOpen, kCommandSave, kUnchangedLines, kPlot };

void BM_Session(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const int rooms = baseRooms() * static_cast<int>(state.range(1));
    Plans& plans = plansOf(rooms);
    if (!plans.why.empty()) {
        state.SkipWithError(plans.why.c_str());
        return;
    }
    std::string unchanged;
    for (int i = 0; i < 20; ++i) unchanged += "mus\n";
    for (auto _ : state) {
        double seconds = -1;
        switch (kind) {
            case kOpen:
                seconds = session(plans.dir, "plan.dxf", "QUIT\n");
                break;
            case kCommandSave:
                state.PauseTiming();
                fs::copy_file(plans.dir / "plan.dxf", plans.dir / "work.dxf", fs::copy_options::overwrite_existing);
                state.ResumeTiming();
                seconds = session(plans.dir, "work.dxf", "mus\nSAVE\n");
                break;
            case kUnchangedLines:
                seconds = session(plans.dir, "updated.dxf", unchanged + "QUIT\n");
                break;
            case kPlot:
                seconds = session(plans.dir, "plan.dxf", "PLOT plan.png\n");
                break;
        }
        if (seconds < 0) {
            state.SkipWithError("cadhost failed");
            return;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["rooms"] = rooms;
}

} // namespace

// Arguments: the session (open and QUIT; "mus" and SAVE; 20 "mus" on an up-to-date plan; PLOT), and the
// size as a multiple of KELMO_BENCH_ROOMS.
BENCHMARK(BM_Session)
    ->ArgNames({"session", "size"})
    ->ArgsProduct({{kOpen, kCommandSave, kUnchangedLines, kPlot}, {1, 2}})
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
