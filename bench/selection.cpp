// Crossing-polygon selection over a drawing of many inserts: the cost per polygon should
// hardly grow with the drawing, so doubling both the drawing and the polygons should not
// much more than double the time.
#include <benchmark/benchmark.h>

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbEntity.h"
#include "cad/app/ApDocument.h"
#include "cad/editor/EdSelection.h"

#include <cmath>

namespace {

struct Drawing {
    AcApDocument* doc = nullptr;
    AcDbDatabase* db = nullptr;
    int side = 0; // inserts per row
};

AcDbPolyline* square(double size) {
    auto* p = new AcDbPolyline();
    p->addVertexAt(0, AcGePoint2d(0, 0));
    p->addVertexAt(1, AcGePoint2d(size, 0));
    p->addVertexAt(2, AcGePoint2d(size, size));
    p->addVertexAt(3, AcGePoint2d(0, size));
    p->setClosed(true);
    return p;
}

// Inserts of a 10 x 10 desk on a grid with a pitch of 20.
Drawing makeDrawing(int inserts) {
    Drawing d;
    d.db = new AcDbDatabase(true, true);
    d.doc = acDocManager->addDocument(d.db, L"");
    acDocManager->lockDocument(d.doc);
    AcDbBlockTable* table = nullptr;
    d.db->getBlockTable(table, AcDb::kForWrite);
    auto* desk = new AcDbBlockTableRecord();
    desk->setName(L"DESK");
    AcDbObjectId deskId;
    table->add(deskId, desk);
    AcDbPolyline* outline = square(10);
    desk->appendAcDbEntity(outline);
    outline->close();
    desk->close();
    table->close();
    AcDbBlockTableRecord* ms = nullptr;
    acdbOpenObject(ms, d.db->modelSpaceId(), AcDb::kForWrite);
    d.side = int(std::ceil(std::sqrt(double(inserts))));
    for (int i = 0; i < inserts; ++i) {
        auto* ref = new AcDbBlockReference(AcGePoint3d((i % d.side) * 20.0, (i / d.side) * 20.0, 0), deskId);
        ms->appendAcDbEntity(ref);
        ref->close();
    }
    ms->close();
    acDocManager->unlockDocument(d.doc);
    return d;
}

void BM_CrossingPolygons(benchmark::State& state) {
    int inserts = int(state.range(0)), polygons = int(state.range(1));
    Drawing d = makeDrawing(inserts);
    resbuf* filter = acutBuildList(RTDXF0, L"INSERT", 2, L"~ROOM-*", 0);
    long selected = 0;
    for (auto _ : state) {
        ed::invalidateSelectionIndex(d.db); // the index is built within the timing
        for (int k = 0; k < polygons; ++k) {
            // A room-sized quadrilateral somewhere over the grid, crossing a few desks.
            double x = (k * 7919 % d.side) * 20.0 + 5, y = (k * 104729 % d.side) * 20.0 + 5;
            ads_point corners[4] = {{x, y, 0}, {x + 45, y + 3, 0}, {x + 42, y + 38, 0}, {x - 2, y + 35, 0}};
            resbuf* pts =
                acutBuildList(RTPOINT, corners[0], RTPOINT, corners[1], RTPOINT, corners[2], RTPOINT, corners[3], 0);
            ads_name ss;
            if (acedSSGet(L"CP", pts, nullptr, filter, ss) == RTNORM) {
                Adesk::Int32 n = 0;
                acedSSLength(ss, &n);
                selected += n;
                acedSSFree(ss);
            }
            acutRelRb(pts);
        }
    }
    state.counters["selected_per_polygon"] = double(selected) / double(polygons) / double(state.iterations());
    acutRelRb(filter);
    acDocManager->closeDocument(d.doc);
}

} // namespace

BENCHMARK(BM_CrossingPolygons)
    ->Args({50000, 10000})
    ->Args({100000, 20000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_MAIN();
