// "mus" followed by "mcsv" on a floor plan of 10,000 rooms and 50,000 assets (five desks a room),
// against the time to load the drawing from its DXF file (counter "per_load": the pair should stay
// within 3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "cad/AcDbDatabase.h"
#include "cad/ApDocument.h"
#include "cad/EdPrintf.h"
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

// Writes the plan once per process, with labels that show the stored values, so "mus" rewrites them.
void writePlan() {
    static bool written = false;
    if (written) return;
    written = true;
    std::filesystem::create_directories(folder() / "c");
    win::setCDrive((folder() / "c").string());
    g_hostDirectory = L"C:\\CadHost";
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
    const AcDbObjectId deskId = db->blockId(L"DESK");
    for (int i = 0; i < kRooms; ++i) {
        const double x = (i % 100) * kRoomSize;
        const double y = (i / 100) * kRoomSize;
        auto* definition = new AcDbBlockTableRecord();
        definition->setName((L"ROOM-" + std::to_wstring(i)).c_str());
        AcDbObjectId definitionId;
        table->add(definitionId, definition);
        appendTo(definition, square(0, 0, kRoomSize - 100));
        const wchar_t* tags[] = {L"AREA", L"NAME", L"AUX"};
        for (int t = 0; t < 3; ++t) {
            auto* attribute = new AcDbAttributeDefinition(AcGePoint3d(100, 1000 - 375.0 * t, 0), L"", tags[t], tags[t]);
            attribute->setHeight(250);
            appendTo(definition, attribute);
        }
        definition->close();
        auto* reference = new AcDbBlockReference(AcGePoint3d(x, y, 0), definitionId);
        modelSpace->appendAcDbEntity(reference);
        const std::wstring name = L"R" + std::to_wstring(i);
        const wchar_t* values[] = {L"25.00sq.m.", name.c_str(), L"20.00m."};
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
        for (int d = 0; d < kDesksPerRoom; ++d)
            appendTo(modelSpace, new AcDbBlockReference(AcGePoint3d(x + 800 + d * 800, y + 2500, 0), deskId));
    }
    modelSpace->close();
    table->close();
    db->saveAs(planPath().c_str());
    acDocManager->unlockDocument(document);
    acDocManager->closeDocument(document);
}

double loadSeconds() {
    static double seconds = 0.0;
    if (seconds == 0.0) {
        writePlan();
        const auto start = std::chrono::steady_clock::now();
        auto* db = new AcDbDatabase(false, true);
        db->readDxfFile(planPath().c_str());
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        delete db;
    }
    return seconds;
}

void BM_LoadPlan(benchmark::State& state) {
    writePlan();
    for (auto _ : state) {
        auto* db = new AcDbDatabase(false, true);
        if (db->readDxfFile(planPath().c_str()) != Acad::eOk) state.SkipWithError("plan not read");
        delete db;
    }
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
