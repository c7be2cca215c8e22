#pragma once
// Drawings built in the tests, and the module's exception chains read back.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "cad/AcDb.h"
#include "classlib/Afx.h"
#include "core/KelmoExceptions.h"
#include "drawing/AcadDrawing.h"
#include "drawing/AcadUtilities.h"
#include "support/HostFixture.h"

inline void PrintTo(const CString& text, std::ostream* out) {
    *out << '"' << text.ToUtf8() << '"';
}

namespace drawingtest {

// The innermost exception of a chain the call threw (the chain is deleted), or an empty text.
template <class F>
CString innermostDescription(F&& call, bool* thrown = nullptr) {
    if (thrown) *thrown = false;
    try {
        call();
    } catch (CEXKelmo* chain) {
        if (thrown) *thrown = true;
        CEXKelmo* inner = chain;
        while (inner->getInnerException()) inner = inner->getInnerException();
        CString description = inner->getDescription();
        chain->deleteException();
        return description;
    }
    return CString();
}

// Appends the entity to the block (model space by default) and closes it.
inline AcDbObjectId append(AcDbDatabase& db, AcDbEntity* entity, const wchar_t* block = ACDB_MODEL_SPACE) {
    AcDbBlockTable* table = nullptr;
    db.getBlockTable(table, AcDb::kForRead);
    AcDbBlockTableRecord* record = nullptr;
    table->getAt(block, record, AcDb::kForWrite);
    table->close();
    AcDbObjectId id;
    record->appendAcDbEntity(id, entity);
    record->close();
    entity->close();
    return id;
}

// A new block definition of that name.
inline AcDbObjectId defineBlock(AcDbDatabase& db, const wchar_t* name) {
    AcDbBlockTable* table = nullptr;
    db.getBlockTable(table, AcDb::kForWrite);
    auto* record = new AcDbBlockTableRecord();
    record->setName(name);
    AcDbObjectId id;
    table->add(id, record);
    record->close();
    table->close();
    return id;
}

// A closed polyline through the points (x, y, bulge of the segment that starts there).
struct Vertex {
    double x;
    double y;
    double bulge;
};
inline AcDbPolyline* polyline(const std::vector<Vertex>& vertices, bool closed = true) {
    auto* line = new AcDbPolyline();
    unsigned int i = 0;
    for (const Vertex& v : vertices) line->addVertexAt(i++, AcGePoint2d(v.x, v.y), v.bulge);
    line->setClosed(closed);
    return line;
}

// A boundary, and whether it counts as crossing itself.
struct CrossingCase {
    const char* shape;
    std::vector<Vertex> vertices;
    bool crossing;
};
// Each row's boundary crosses itself or not as the row says; a failing row names its shape.
inline void expectCrossings(const std::vector<CrossingCase>& cases) {
    CAcadUtilities utilities;
    for (const CrossingCase& c : cases) {
        AcDbPolyline* boundary = polyline(c.vertices);
        EXPECT_EQ(utilities.crossesItself(boundary) != FALSE, c.crossing) << c.shape;
        delete boundary;
    }
}

// The host's document wrapped as an open working drawing that is left open.
class WorkingDrawingFixture : public kelmo_test::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        drawing = new CAcadDrawing();
        drawing->setDocument(doc());
        drawing->setDrawingOpen(1);
        drawing->setLeaveOpen(1);
    }
    void TearDown() override {
        delete drawing;
        HostFixture::TearDown();
    }

    CAcadDrawing* drawing = nullptr;
};

// A drawing database of the test's own, made the working one while the test runs.
class DrawingDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        previous = acdbWorkingDatabase();
        acdbSetWorkingDatabase(&db);
    }
    void TearDown() override { acdbSetWorkingDatabase(previous); }

    AcDbDatabase db;
    AcDbDatabase* previous = nullptr;
};

} // namespace drawingtest
