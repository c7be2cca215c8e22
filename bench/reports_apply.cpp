// Applying a graphic report (three categories of rooms by handle, one of every room by "*", a layer
// list) to a floor plan of 10,000 rooms and 50,000 desks, against the time to load the drawing from
// its DXF file (counter "per_load": it should stay within 3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>

#include "BenchPlans.h"
#include "cad/app/ApDocument.h"
#include "cad/db/AcDbDatabase.h"
#include "drawing/AcadDrawing.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "reports/Categories.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"

namespace {

bench_plans::HostedPlan g_plan("kelmo_reports_bench");

CCategory* category(const wchar_t* title, const wchar_t* pattern, int red) {
    auto* made = new CCategory();
    made->setTitle(title);
    auto* hatch = new CHatch();
    hatch->setPattern(pattern);
    hatch->setScale(10);
    AcCmColor colour;
    colour.setColorMethod(AcCm::kByColor);
    colour.setRGB(static_cast<Adesk::UInt8>(red), 100, 100);
    hatch->setColour(colour);
    hatch->setLayer((std::wstring(L"HATCH-") + title).c_str());
    made->setHatch(hatch);
    made->setBlocks(new CBlocks());
    return made;
}

void addBlock(CCategory* into, const CString& handle) {
    auto* block = new CBlockDWG();
    block->setHandle(handle);
    into->getBlocks()->addBlock(block);
}

// Three categories of a hundred rooms each by handle, and every room by "*".
std::unique_ptr<CGraphicReport> report(AcDbDatabase* db) {
    auto made = std::make_unique<CGraphicReport>();
    made->setTitle(L"Bench");
    made->setTotalChildAreas(bench_plans::HostedPlan::rooms() * 25.0);
    made->setCategories(new CCategories());
    CCategory* listed[3] = {category(L"Offices", L"ANSI31", 200), category(L"Stores", L"SOLID", 100),
                            category(L"Labs", L"ANSI37", 50)};
    AcDbBlockTableRecord* modelSpace = nullptr;
    acdbOpenObject(modelSpace, db->modelSpaceId(), AcDb::kForRead);
    int room = 0;
    for (const AcDbObjectId& id : modelSpace->entityIds()) {
        AcDbBlockReference* reference = nullptr;
        if (acdbOpenObject(reference, id, AcDb::kForRead) != Acad::eOk) continue;
        if (!reference->attributeIds().empty() && room < 300)
            addBlock(listed[room++ / 100], reference->handle().text().c_str());
        reference->close();
    }
    modelSpace->close();
    for (CCategory* each : listed) made->getCategories()->add(each);
    CCategory* every = category(L"Everything", L"SOLID", 0);
    addBlock(every, L"*");
    made->getCategories()->add(every);
    made->setLayersOn(new CLayers());
    auto* layer = new CLayer();
    layer->setName(L"0");
    made->getLayersOn()->add(layer);
    return made;
}

void BM_LoadPlan(benchmark::State& state) {
    bench_plans::loadPlan(state, g_plan.path());
}

void BM_ApplyReport(benchmark::State& state) {
    const double load = g_plan.loadSeconds();
    double total = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        if (acDocManager->appContextOpenDocument(g_plan.path().c_str()) != Acad::eOk) {
            state.SkipWithError("plan not opened");
            return;
        }
        AcApDocument* document = acDocManager->curDocument();
        std::unique_ptr<CGraphicReport> made = report(document->database());
        CAcadDrawing drawing;
        drawing.setDocument(document);
        drawing.setDrawingOpen(1);
        drawing.setLeaveOpen(1);
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        made->applyToDrawing(&drawing);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        if (made->getCategories()->getAt(3)->getBlocks()->getCount() != bench_plans::HostedPlan::rooms())
            state.SkipWithError("not every room was formatted");
        acDocManager->closeDocument(document);
        state.ResumeTiming();
    }
    state.counters["per_load"] = total / static_cast<double>(state.iterations()) / load;
}

} // namespace

BENCHMARK(BM_LoadPlan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyReport)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
