// "mus" followed by "mcsv" on a floor plan of 10,000 rooms and 50,000 assets (five desks a room),
// each against the time to load the drawing from its DXF file (counters "per_load_mus" and
// "per_load_mcsv": each should stay below 1). KELMO_BENCH_ROOMS sets another number of rooms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "BenchPlans.h"
#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "cad/editor/EdPrintf.h"
#include "commands/Brenvik.h"

namespace {

bench_plans::HostedPlan g_plan("kelmo_space_commands_bench");

void BM_LoadPlan(benchmark::State& state) {
    bench_plans::loadPlan(state, g_plan.path());
}

// Each run is set against a load of the same file just before it, so that a busy machine slows both.
void BM_UpdateSpacesThenCsv(benchmark::State& state) {
    if (acDocManager->appContextOpenDocument(g_plan.path().c_str()) != Acad::eOk) {
        state.SkipWithError("plan not opened");
        return;
    }
    AcApDocument* document = acDocManager->curDocument();
    double load = 0.0;
    double mus = 0.0;
    double mcsv = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        load += bench_plans::secondsToLoad(g_plan.path());
        state.ResumeTiming();
        ed::commandLine().clear();
        const auto start = std::chrono::steady_clock::now();
        updateSpaces();
        const auto updated = std::chrono::steady_clock::now();
        createRoomAreaCSV();
        const auto end = std::chrono::steady_clock::now();
        mus += std::chrono::duration<double>(updated - start).count();
        mcsv += std::chrono::duration<double>(end - updated).count();
        if (ed::commandLine().text().find(L"successfully saved") == std::wstring::npos)
            state.SkipWithError("no csv written");
    }
    state.counters["per_load_mus"] = mus / load;
    state.counters["per_load_mcsv"] = mcsv / load;
    acDocManager->closeDocument(document);
}

} // namespace

BENCHMARK(BM_LoadPlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateSpacesThenCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
