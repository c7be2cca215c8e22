// Gathering the space blocks of a floor plan of 10,000 rooms and 50,000 assets (five desks a room),
// with and without their assets, and recalculating every area; each against the time to load the
// drawing from its DXF file (counter "per_load": gathering with assets should stay within 3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchPlans.h"
#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "drawing/AcadDrawing.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "win/Paths.h"

namespace {

constexpr int kRooms = 10000;
constexpr int kDesksPerRoom = 5;
constexpr double kRoomSize = 5000.0;

std::wstring planPath() {
    static const std::wstring path =
        win::nativeToWindows((std::filesystem::temp_directory_path() / "kelmo_space_blocks_bench.dxf").string());
    return path;
}

// Writes the plan once per process.
void writePlan() {
    static bool written = false;
    if (written) return;
    written = true;
    bench_plans::writeRoomPlan(planPath(), {kRooms, kDesksPerRoom, kRoomSize, kRoomSize, L"25.00 sq.m.", L""});
}

double g_loadSeconds = 0.0;

void BM_LoadPlan(benchmark::State& state) {
    writePlan();
    bench_plans::loadPlan(state, planPath());
}

// The plan loaded as the current document, gathered as the commands gather it.
struct Plan {
    Plan() {
        writePlan();
        auto* db = new AcDbDatabase(false, true);
        db->readDxfFile(planPath().c_str());
        document = acDocManager->addDocument(db, L"plan.dxf");
        drawing.setDocument(document);
        drawing.setDrawingOpen(1);
        drawing.setLeaveOpen(1);
    }
    ~Plan() { acDocManager->closeDocument(document); }
    AcApDocument* document = nullptr;
    CAcadDrawing drawing;
};

void gather(benchmark::State& state, int loadAssets) {
    if (g_loadSeconds == 0.0) {
        // The load time the gathering is set against, measured here once.
        writePlan();
        g_loadSeconds = bench_plans::secondsToLoad(planPath());
    }
    Plan plan;
    double total = 0.0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        CBlocks blocks;
        blocks.getKelmoDWGBlocks_SS(&plan.drawing, nullptr, loadAssets, L"f");
        if (blocks.getCount() != kRooms) state.SkipWithError("rooms missing");
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["per_load"] = total / static_cast<double>(state.iterations()) / g_loadSeconds;
}

void BM_GatherWithAssets(benchmark::State& state) {
    gather(state, 1);
}

void BM_GatherWithoutAssets(benchmark::State& state) {
    gather(state, 0);
}

void BM_RecalculateAreas(benchmark::State& state) {
    Plan plan;
    CBlocks blocks;
    blocks.getKelmoDWGBlocks_SS(&plan.drawing, nullptr, 0, L"f");
    for (auto _ : state) {
        for (int i = 0; i < blocks.getCount(); ++i) {
            auto* block = static_cast<CBlockDWG*>(blocks.getAt(i));
            block->recalculateArea(plan.document);
            block->recalculatePerimeter(plan.document);
        }
    }
}

} // namespace

BENCHMARK(BM_LoadPlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GatherWithAssets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GatherWithoutAssets)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RecalculateAreas)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
