// "mus" followed by "mcsv" on a floor plan of 10,000 rooms and 50,000 assets (five desks a room),
// against the time to load the drawing from its DXF file (counter "per_load": the pair should stay
// within 3).
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

void BM_UpdateSpacesThenCsv(benchmark::State& state) {
    const double load = g_plan.loadSeconds();
    if (acDocManager->appContextOpenDocument(g_plan.path().c_str()) != Acad::eOk) {
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
