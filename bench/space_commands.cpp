// "mus" followed by "mcsv" on a floor plan of 10,000 rooms and 50,000 assets (five desks a room),
// against the time to load the drawing from its DXF file (counter "per_load": the pair should stay
// within 3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "BenchPlans.h"
#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "cad/editor/EdPrintf.h"
#include "commands/Brenvik.h"
#include "core/Globals.h"
#include "win/Paths.h"

namespace {

constexpr int kRooms = 10000;
constexpr int kDesksPerRoom = 5;
constexpr double kRoomSize = 5000.0;

std::filesystem::path folder() {
    static const std::filesystem::path path = std::filesystem::temp_directory_path() / "kelmo_space_commands_bench";
    return path;
}

std::wstring planPath() {
    static const std::wstring path = win::nativeToWindows((folder() / "plan.dxf").string());
    return path;
}

// Writes the plan once per process, with labels that show the stored values, so "mus" rewrites them.
void writePlan() {
    static bool written = false;
    if (written) return;
    written = true;
    std::filesystem::create_directories(folder() / "c");
    win::setCDrive((folder() / "c").string());
    g_hostDirectory = L"C:\\CadHost";
    bench_plans::writeRoomPlan(planPath(),
                               {kRooms, kDesksPerRoom, kRoomSize, kRoomSize - 100, L"25.00sq.m.", L"20.00m."});
}

double loadSeconds() {
    static double seconds = 0.0;
    if (seconds == 0.0) {
        writePlan();
        seconds = bench_plans::secondsToLoad(planPath());
    }
    return seconds;
}

void BM_LoadPlan(benchmark::State& state) {
    writePlan();
    bench_plans::loadPlan(state, planPath());
}

void BM_UpdateSpacesThenCsv(benchmark::State& state) {
    const double load = loadSeconds();
    if (acDocManager->appContextOpenDocument(planPath().c_str()) != Acad::eOk) {
        state.SkipWithError("plan not opened");
        return;
    }
    AcApDocument* document = acDocManager->curDocument();
    double total = 0.0;
    for (auto _ : state) {
        ed::commandLine().clear();
        const auto start = std::chrono::steady_clock::now();
        updateSpaces();
        createRoomAreaCSV();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (ed::commandLine().text().find(L"successfully saved") == std::wstring::npos)
            state.SkipWithError("no csv written");
    }
    state.counters["per_load"] = total / static_cast<double>(state.iterations()) / load;
    acDocManager->closeDocument(document);
}

} // namespace

BENCHMARK(BM_LoadPlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateSpacesThenCsv)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
