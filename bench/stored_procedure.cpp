// 10,000 calls of a small register procedure through CStoredProcedure, against the same calls made
// directly with libpq. Needs the test server: run under scripts/pg-cluster's environment.
#include "database/ParameterInt.h"
#include "database/Parameters.h"
#include "database/StoredProcedure.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr int kCalls = 10000;
double g_secondsPerCall[2] = {0, 0}; // through the module, direct

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

bool haveServer() {
    return env("KELMO_PGHOST") && env("KELMO_PGUSER") && env("KELMO_PGPASSWORD");
}

void BM_CStoredProcedure(benchmark::State& state) {
    if (!haveServer()) {
        state.SkipWithError("KELMO_PGHOST, KELMO_PGUSER and KELMO_PGPASSWORD are not set");
        return;
    }
    CStoredProcedure procedure(CString(env("KELMO_PGHOST")), L"vxr", CString(env("KELMO_PGUSER")),
                               CString(env("KELMO_PGPASSWORD")), 30);
    long rows = 0;
    int reportId = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        CParameters list;
        auto* id = new CParameterInt();
        id->setName(L"@graphicReportID");
        id->setDirection(adParamInput);
        id->setValue(++reportId % 50);
        list.add(id);
        procedure.setTimeout(30);
        procedure.setName(L"__gr_getReportLayersOn");
        procedure.setParameters(&list);
        _RecordsetPtr rs = procedure.execSPReturnParas();
        for (; rs->GetEOF() == VARIANT_FALSE; rs->MoveNext()) ++rows;
        rs->Close();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    g_secondsPerCall[0] = elapsed.count() / static_cast<double>(state.iterations());
    benchmark::DoNotOptimize(rows);
    state.counters["calls/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Libpq(benchmark::State& state) {
    if (!haveServer()) {
        state.SkipWithError("KELMO_PGHOST, KELMO_PGUSER and KELMO_PGPASSWORD are not set");
        return;
    }
    const char* keys[] = {"host", "user", "password", "dbname", nullptr};
    const char* values[] = {env("KELMO_PGHOST"), env("KELMO_PGUSER"), env("KELMO_PGPASSWORD"), "vxr", nullptr};
    std::unique_ptr<PGconn, decltype(&PQfinish)> conn(PQconnectdbParams(keys, values, 0), PQfinish);
    if (PQstatus(conn.get()) != CONNECTION_OK) {
        state.SkipWithError(PQerrorMessage(conn.get()));
        return;
    }
    long rows = 0;
    int reportId = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const std::string id = std::to_string(++reportId % 50);
        const char* params[] = {id.c_str()};
        PGresult* res = PQexecParams(conn.get(), "SELECT * FROM \"__gr_getReportLayersOn\"(\"graphicReportID\" => $1)",
                                     1, nullptr, params, nullptr, nullptr, 0);
        if (PQresultStatus(res) != PGRES_TUPLES_OK) state.SkipWithError(PQresultErrorMessage(res));
        for (int r = 0; r < PQntuples(res); ++r) {
            benchmark::DoNotOptimize(PQgetvalue(res, r, 0));
            ++rows;
        }
        PQclear(res);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    g_secondsPerCall[1] = elapsed.count() / static_cast<double>(state.iterations());
    benchmark::DoNotOptimize(rows);
    state.counters["calls/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_CStoredProcedure)->Iterations(kCalls)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Libpq)->Iterations(kCalls)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (g_secondsPerCall[0] > 0 && g_secondsPerCall[1] > 0) {
        std::printf("CStoredProcedure: %.0f calls/s; libpq: %.0f calls/s; ratio %.2f (target within 1.50)\n",
                    1.0 / g_secondsPerCall[0], 1.0 / g_secondsPerCall[1], g_secondsPerCall[0] / g_secondsPerCall[1]);
    }
    return 0;
}
