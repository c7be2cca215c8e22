// Gathering the space blocks of a floor plan of 10,000 rooms and 50,000 assets (five desks a room),
// with and without their assets, and recalculating every area; each against the time to load the
// drawing from its DXF file (counter "per_load": gathering with assets should stay within 3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "cad/AcDbDatabase.h"
#include "cad/ApDocument.h"
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

void appendTo(AcDbBlockTableRecord* record, AcDbEntity* entity) {
    if (record->appendAcDbEntity(entity) == Acad::eOk) entity->close();
    else delete entity;
}

AcDbPolyline* square(double x, double y, double size) {
    auto* polyline = new AcDbPolyline(4);
    polyline->addVertexAt(0, AcGePoint2d(x, y));
    polyline->addVertexAt(1, AcGePoint2d(x + size, y));
    polyline->addVertexAt(2, AcGePoint2d(x + size, y + size));
    polyline->addVertexAt(3, AcGePoint2d(x, y + size));
    polyline->setClosed(true);
    return polyline;
}

// Writes the plan once per process: one definition per room, as the creation dialog makes them.
void writePlan() {
    static bool written = false;
    if (written) return;
    written = true;
    auto* db = new AcDbDatabase(true, true);
    AcApDocument* document = acDocManager->addDocument(db, L"");
    acDocManager->lockDocument(document);
    acdbRegApp(L"ADE");
    AcDbBlockTable* table = nullptr;
    db->getBlockTable(table, AcDb::kForWrite);
    auto* desk = new AcDbBlockTableRecord();
    desk->setName(L"DESK");
    table->add(desk);
    appendTo(desk, square(-400, -300, 600));
    desk->close();
    AcDbBlockTableRecord* modelSpace = nullptr;
    table->getAt(ACDB_MODEL_SPACE, modelSpace, AcDb::kForWrite);
    for (int i = 0; i < kRooms; ++i) {
        double x = (i % 100) * kRoomSize;
        double y = (i / 100) * kRoomSize;
        auto* definition = new AcDbBlockTableRecord();
        definition->setName((L"ROOM-" + std::to_wstring(i)).c_str());
        AcDbObjectId definitionId;
        table->add(definitionId, definition);
        appendTo(definition, square(0, 0, kRoomSize));
        const wchar_t* tags[] = {L"AREA", L"NAME", L"AUX"};
        for (int t = 0; t < 3; ++t) {
            auto* attribute = new AcDbAttributeDefinition(AcGePoint3d(100, 1000 - 375.0 * t, 0), L"", tags[t], tags[t]);
            attribute->setHeight(250);
            appendTo(definition, attribute);
        }
        definition->close();
        auto* reference = new AcDbBlockReference(AcGePoint3d(x, y, 0), definitionId);
        AcDbObjectId referenceId;
        modelSpace->appendAcDbEntity(referenceId, reference);
        const wchar_t* values[] = {L"25.00 sq.m.", nullptr, L""};
        std::wstring name = L"R" + std::to_wstring(i);
        values[1] = name.c_str();
        for (int t = 0; t < 3; ++t) {
            auto* attribute = new AcDbAttribute(AcGePoint3d(x + 100, y + 1000 - 375.0 * t, 0), values[t], tags[t]);
            attribute->setHeight(250);
            if (reference->appendAttribute(attribute) == Acad::eOk) attribute->close();
            else delete attribute;
        }
        resbuf* data = acutBuildList(1001, L"ADE", 1002, L"{", 1000, L"AREA=25.00sq.m.", 1000, L"PERIMETER=20.00m.",
                                     1000, (L"NAME=" + name).c_str(), 1000, L"TAGTYPE=<Not Set>", 1000,
                                     L"AREA_TYPE=Office", 1000, L"HANDLESTOMINUS=", 1000, L"HANDLESTOADD=", 1002, L"}",
                                     0);
        reference->setXData(data);
        acutRelRb(data);
        reference->close();
        AcDbObjectId deskId = db->blockId(L"DESK");
        for (int d = 0; d < kDesksPerRoom; ++d)
            appendTo(modelSpace, new AcDbBlockReference(AcGePoint3d(x + 800 + d * 800, y + 2500, 0), deskId));
    }
    modelSpace->close();
    table->close();
    db->saveAs(planPath().c_str());
    acDocManager->unlockDocument(document);
    acDocManager->closeDocument(document);
}

double g_loadSeconds = 0.0;

void BM_LoadPlan(benchmark::State& state) {
    writePlan();
    for (auto _ : state) {
        auto* db = new AcDbDatabase(false, true);
        if (db->readDxfFile(planPath().c_str()) != Acad::eOk) state.SkipWithError("plan not read");
        delete db;
    }
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
        auto start = std::chrono::steady_clock::now();
        auto* db = new AcDbDatabase(false, true);
        db->readDxfFile(planPath().c_str());
        g_loadSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        delete db;
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
