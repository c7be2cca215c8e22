#pragma once
// The floor plan the space benchmarks run on: a grid of rooms, each its own block definition with
// AREA, NAME and AUX labels and the stored space data, and a row of desks in every room.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cad/db/AcDbDatabase.h"
#include "cad/app/ApDocument.h"
#include "core/Globals.h"
#include "win/Paths.h"

namespace bench_plans {

inline void appendTo(AcDbBlockTableRecord* record, AcDbEntity* entity) {
    if (record->appendAcDbEntity(entity) == Acad::eOk)
        entity->close();
    else
        delete entity;
}

inline AcDbPolyline* square(double x, double y, double size) {
    auto* polyline = new AcDbPolyline(4);
    polyline->addVertexAt(0, AcGePoint2d(x, y));
    polyline->addVertexAt(1, AcGePoint2d(x + size, y));
    polyline->addVertexAt(2, AcGePoint2d(x + size, y + size));
    polyline->addVertexAt(3, AcGePoint2d(x, y + size));
    polyline->setClosed(true);
    return polyline;
}

struct RoomPlan {
    int rooms;
    int desksPerRoom;
    double roomSize;     // the grid pitch, a hundred rooms a row
    double boundarySize; // the side of each room's boundary
    const wchar_t* areaLabel;
    const wchar_t* auxLabel;
};

// Writes the plan to path as a DXF file, one definition per room, as the creation dialog makes them.
inline void writeRoomPlan(const std::wstring& path, const RoomPlan& plan) {
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
    for (int i = 0; i < plan.rooms; ++i) {
        const double x = (i % 100) * plan.roomSize;
        const double y = (i / 100) * plan.roomSize;
        auto* definition = new AcDbBlockTableRecord();
        definition->setName((L"ROOM-" + std::to_wstring(i)).c_str());
        AcDbObjectId definitionId;
        table->add(definitionId, definition);
        appendTo(definition, square(0, 0, plan.boundarySize));
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
        const wchar_t* values[] = {plan.areaLabel, name.c_str(), plan.auxLabel};
        for (int t = 0; t < 3; ++t) {
            auto* attribute = new AcDbAttribute(AcGePoint3d(x + 100, y + 1000 - 375.0 * t, 0), values[t], tags[t]);
            attribute->setHeight(250);
            if (reference->appendAttribute(attribute) == Acad::eOk)
                attribute->close();
            else
                delete attribute;
        }
        resbuf* data =
            acutBuildList(1001, L"ADE", 1002, L"{", 1000, L"AREA=25.00sq.m.", 1000, L"PERIMETER=20.00m.", 1000,
                          (L"NAME=" + name).c_str(), 1000, L"TAGTYPE=<Not Set>", 1000, L"AREA_TYPE=Office", 1000,
                          L"HANDLESTOMINUS=", 1000, L"HANDLESTOADD=", 1002, L"}", 0);
        reference->setXData(data);
        acutRelRb(data);
        reference->close();
        for (int d = 0; d < plan.desksPerRoom; ++d)
            appendTo(modelSpace, new AcDbBlockReference(AcGePoint3d(x + 800 + d * 800, y + 2500, 0), deskId));
    }
    modelSpace->close();
    table->close();
    db->saveAs(path.c_str());
    acDocManager->unlockDocument(document);
    acDocManager->closeDocument(document);
}

// The time to read the plan from its DXF file once, which the benchmarks are set against.
inline double secondsToLoad(const std::wstring& path) {
    const auto start = std::chrono::steady_clock::now();
    auto* db = new AcDbDatabase(false, true);
    db->readDxfFile(path.c_str());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    delete db;
    return seconds;
}

// Reads the plan from its DXF file, again and again.
inline void loadPlan(benchmark::State& state, const std::wstring& path) {
    for (auto _ : state) {
        auto* db = new AcDbDatabase(false, true);
        if (db->readDxfFile(path.c_str()) != Acad::eOk) state.SkipWithError("plan not read");
        delete db;
    }
}

// A plan of 10,000 rooms (or KELMO_BENCH_ROOMS) with five desks each, labelled with the stored values,
// written once per process into its own temporary folder beside the C: drive the host's files go to.
class HostedPlan {
public:
    static int rooms() {
        static const int count = [] {
            const char* set = std::getenv("KELMO_BENCH_ROOMS");
            const int asked = set ? std::atoi(set) : 0;
            return asked > 0 ? asked : 10000;
        }();
        return count;
    }

    explicit HostedPlan(const char* folderName) : m_folderName(folderName) {}

    // The plan's file, written on first use.
    const std::wstring& path() {
        if (m_path.empty()) {
            const std::filesystem::path folder = std::filesystem::temp_directory_path() / m_folderName;
            m_path = win::nativeToWindows((folder / "plan.dxf").string());
            std::filesystem::create_directories(folder / "c");
            win::setCDrive((folder / "c").string());
            g_hostDirectory = L"C:\\CadHost";
            writeRoomPlan(m_path, {rooms(), 5, 5000.0, 5000.0 - 100, L"25.00sq.m.", L"20.00m."});
        }
        return m_path;
    }

    // The time to load the plan once, measured on first use.
    double loadSeconds() {
        if (m_loadSeconds == 0.0) m_loadSeconds = secondsToLoad(path());
        return m_loadSeconds;
    }

private:
    const char* m_folderName;
    std::wstring m_path;
    double m_loadSeconds = 0.0;
};

} // namespace bench_plans
