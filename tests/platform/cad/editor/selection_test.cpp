#include "cad/db/AcDbDatabase.h"
#include "cad/editor/EdSelection.h"
#include "cad/editor/EdInput.h"
#include "cad/editor/EdPrintf.h"
#include "support/HostFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using kelmo_test::HostFixture;

namespace {

AcDbPolyline* square(double x0, double y0, double size) {
    auto* p = new AcDbPolyline();
    p->addVertexAt(0, AcGePoint2d(x0, y0));
    p->addVertexAt(1, AcGePoint2d(x0 + size, y0));
    p->addVertexAt(2, AcGePoint2d(x0 + size, y0 + size));
    p->addVertexAt(3, AcGePoint2d(x0, y0 + size));
    p->setClosed(true);
    return p;
}

resbuf* points(std::initializer_list<std::pair<double, double>> pts) {
    resbuf* head = nullptr;
    resbuf** tail = &head;
    for (auto [x, y] : pts) {
        resbuf* rb = acutNewRb(RT3DPOINT);
        rb->resval.rpoint[0] = x;
        rb->resval.rpoint[1] = y;
        rb->resval.rpoint[2] = 0;
        *tail = rb;
        tail = &rb->rbnext;
    }
    return head;
}

class Selection : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        // A room block 10 x 10 from its origin, a desk block drawn away from its origin.
        host->defineBlock(L"ROOM-A", {square(0, 0, 10)});
        host->defineBlock(L"DESK", {square(50, 0, 10)});
    }
    // The handles of the set, sorted, and the set freed.
    std::set<std::wstring> select(const wchar_t* mode, resbuf* pts, const resbuf* filter = nullptr, int* rc = nullptr) {
        ads_name ss;
        int r = acedSSGet(mode, pts, nullptr, filter, ss);
        acutRelRb(pts);
        if (rc) *rc = r;
        std::set<std::wstring> out;
        if (r != RTNORM) return out;
        Adesk::Int32 n = 0;
        EXPECT_EQ(acedSSLength(ss, &n), RTNORM);
        for (Adesk::Int32 i = 0; i < n; ++i) {
            ads_name e;
            EXPECT_EQ(acedSSName(ss, i, e), RTNORM);
            AcDbObjectId id;
            acdbGetObjectId(id, e);
            out.insert(host->handleOf(id));
        }
        EXPECT_EQ(acedSSFree(ss), RTNORM);
        return out;
    }
    std::wstring h(AcDbObjectId id) { return host->handleOf(id); }
};

TEST_F(Selection, CrossingAndWindowPolygonsOnInsertsInsideCrossingAndOutside) {
    AcDbObjectId inside = host->insertBlock(L"ROOM-A", AcGePoint3d(20, 20, 0));
    AcDbObjectId crossing = host->insertBlock(L"ROOM-A", AcGePoint3d(40, 20, 0));
    AcDbObjectId outside = host->insertBlock(L"ROOM-A", AcGePoint3d(100, 100, 0));
    // The desk's insertion point lies outside, its drawing inside: the definition decides.
    AcDbObjectId desk = host->insertBlock(L"DESK", AcGePoint3d(-30, 20, 0));
    // Scaled three times, a room at the origin reaches over the polygon's corner.
    AcDbObjectId big = host->insertBlock(L"ROOM-A", AcGePoint3d(-10, -10, 0), 3.0);
    std::set<std::wstring> cp = select(L"CP", points({{15, 15}, {45, 15}, {45, 45}, {15, 45}}));
    EXPECT_EQ(cp, (std::set<std::wstring>{h(inside), h(crossing), h(desk), h(big)}));
    std::set<std::wstring> wp = select(L"WP", points({{15, 15}, {45, 15}, {45, 45}, {15, 45}}));
    EXPECT_EQ(wp, (std::set<std::wstring>{h(inside), h(desk)}));
    (void)outside;
}

TEST_F(Selection, PolygonPointsAreInTheCurrentUcs) {
    // UCS turned a quarter to the left with its origin at (100, 0): UCS (u, v) is world (100 - v, u).
    acDocManager->lockDocument(doc());
    ASSERT_EQ(db()->setUcs(AcGePoint3d(100, 0, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0)), Acad::eOk);
    acDocManager->unlockDocument(doc());
    AcDbObjectId inside = host->insertBlock(L"ROOM-A", AcGePoint3d(120, 20, 0));
    AcDbObjectId crossing = host->insertBlock(L"ROOM-A", AcGePoint3d(140, 20, 0));
    host->insertBlock(L"ROOM-A", AcGePoint3d(20, 20, 0)); // inside the same numbers taken as world points
    auto ucsSquare = [] { return points({{15, -45}, {45, -45}, {45, -15}, {15, -15}}); };
    EXPECT_EQ(select(L"CP", ucsSquare()), (std::set<std::wstring>{h(inside), h(crossing)}));
    EXPECT_EQ(select(L"WP", ucsSquare()), (std::set<std::wstring>{h(inside)}));
    // acedTrans agrees: UCS (15, -45) is world (145, 15).
    ads_point p = {15, -45, 0}, w;
    resbuf from, to;
    from.restype = to.restype = RTSHORT;
    from.resval.rint = 1;
    to.resval.rint = 0;
    ASSERT_EQ(acedTrans(p, &from, &to, 0, w), RTNORM);
    EXPECT_NEAR(w[0], 145, 1e-9);
    EXPECT_NEAR(w[1], 15, 1e-9);
}

TEST_F(Selection, AttributesCountForTheInsert) {
    auto* def = new AcDbAttributeDefinition(AcGePoint3d(0, -40, 0), L"", L"NAME", L"Name");
    def->setHeight(2);
    host->defineBlock(L"ROOM-B", {square(0, 0, 10), def});
    // The boundary lies far above the polygon; only the attribute text reaches into it.
    AcDbObjectId ref = host->insertBlock(L"ROOM-B", AcGePoint3d(20, 60, 0), 1.0, 0.0, {{L"NAME", L"Office 12"}});
    EXPECT_EQ(select(L"CP", points({{15, 15}, {45, 15}, {45, 45}, {15, 45}})), (std::set<std::wstring>{h(ref)}));
}

TEST_F(Selection, FiltersOnTypeBlockNameAndLayerWithWildcards) {
    host->addLayer(L"A-FURN");
    AcDbObjectId room = host->insertBlock(L"ROOM-A", AcGePoint3d(20, 20, 0));
    AcDbObjectId desk = host->insertBlock(L"DESK", AcGePoint3d(-30, 20, 0));
    AcDbObjectId rect = host->addRectangle(20, 20, 25, 25, L"A-FURN");
    resbuf* notRooms = acutBuildList(RTDXF0, L"INSERT", 2, L"~ROOM-*", 0);
    EXPECT_EQ(select(L"CP", points({{15, 15}, {45, 15}, {45, 45}, {15, 45}}), notRooms),
              (std::set<std::wstring>{h(desk)}));
    resbuf* rooms = acutBuildList(RTDXF0, L"INSERT", 2, L"room-*", 0);
    EXPECT_EQ(select(L"X", nullptr, rooms), (std::set<std::wstring>{h(room)}));
    resbuf* onLayer = acutBuildList(8, L"A-F*", 0);
    EXPECT_EQ(select(L"X", nullptr, onLayer), (std::set<std::wstring>{h(rect)}));
    resbuf* polylines = acutBuildList(RTDXF0, L"LWPOLYLINE,LINE", 0);
    EXPECT_EQ(select(L"_X", nullptr, polylines), (std::set<std::wstring>{h(rect)}));
    int rc = 0;
    resbuf* none = acutBuildList(2, L"MARKER-LEGEND", 0);
    EXPECT_TRUE(select(L"X", nullptr, none, &rc).empty());
    EXPECT_EQ(rc, RTERROR);
    resbuf* colour = acutBuildList(62, 1, 0);
    select(L"X", nullptr, colour, &rc);
    EXPECT_EQ(rc, RTERROR); // a filter this host does not know selects nothing rather than everything
    acutRelRb(notRooms);
    acutRelRb(rooms);
    acutRelRb(onLayer);
    acutRelRb(polylines);
    acutRelRb(none);
    acutRelRb(colour);
    EXPECT_EQ(ed::openSelectionSets(), 0);
}

TEST_F(Selection, AFilterOnALayoutNameSearchesThatLayoutAndWithoutOneModelSpace) {
    // A desk on the paper layout and one of model space at the same coordinates.
    auto* onSheet = new AcDbBlockReference(AcGePoint3d(-30, 20, 0), db()->blockId(L"DESK"));
    AcDbObjectId paperDesk;
    acDocManager->lockDocument(doc());
    AcDbBlockTableRecord* paper = nullptr;
    ASSERT_EQ(acdbOpenObject(paper, db()->paperSpaceId(), AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(paper->appendAcDbEntity(paperDesk, onSheet), Acad::eOk);
    onSheet->close();
    paper->close();
    acDocManager->unlockDocument(doc());
    AcDbObjectId modelDesk = host->insertBlock(L"DESK", AcGePoint3d(-30, 20, 0));
    const struct Case {
        const wchar_t* mode;
        const wchar_t* layout; // the filter's layout name, none when null
        std::set<std::wstring> chosen;
    } cases[] = {
        {L"CP", nullptr, {h(modelDesk)}},  {L"CP", L"Layout1", {h(paperDesk)}},
        {L"CP", L"model", {h(modelDesk)}}, {L"CP", L"Model,Layout1", {h(modelDesk), h(paperDesk)}},
        {L"CP", L"Layout9", {}},           {L"X", L"Layout1", {h(paperDesk)}},
    };
    for (const Case& c : cases) {
        resbuf* filter =
            c.layout ? acutBuildList(RTDXF0, L"INSERT", 410, c.layout, 0) : acutBuildList(RTDXF0, L"INSERT", 0);
        resbuf* polygon = std::wstring(c.mode) == L"X" ? nullptr : points({{15, 15}, {45, 15}, {45, 45}, {15, 45}});
        EXPECT_EQ(select(c.mode, polygon, filter), c.chosen) << c.layout;
        acutRelRb(filter);
    }
}

TEST_F(Selection, ALayoutAddedAfterASelectionIsSearchedByTheNext) {
    auto onLayout2 = [] { return acutBuildList(RTDXF0, L"INSERT", 410, L"Layout2", 0); };
    auto square = [] { return points({{15, 15}, {45, 15}, {45, 45}, {15, 45}}); };
    resbuf* filter = onLayout2();
    EXPECT_TRUE(select(L"CP", square(), filter).empty());
    acutRelRb(filter);
    // A second paper space with a desk, and its layout.
    acDocManager->lockDocument(doc());
    AcDbBlockTable* table = nullptr;
    ASSERT_EQ(db()->getBlockTable(table, AcDb::kForWrite), Acad::eOk);
    auto* sheet = new AcDbBlockTableRecord();
    sheet->setName(L"*Paper_Space0");
    AcDbObjectId sheetId;
    ASSERT_EQ(table->add(sheetId, sheet), Acad::eOk);
    table->close();
    auto* desk = new AcDbBlockReference(AcGePoint3d(-30, 20, 0), db()->blockId(L"DESK"));
    AcDbObjectId deskId;
    ASSERT_EQ(sheet->appendAcDbEntity(deskId, desk), Acad::eOk);
    desk->close();
    AcDbDictionary* layouts = nullptr;
    ASSERT_EQ(db()->getLayoutDictionary(layouts, AcDb::kForWrite), Acad::eOk);
    auto* layout = new AcDbLayout();
    layout->setLayoutName(L"Layout2");
    layout->setBlockTableRecordId(sheetId);
    AcDbObjectId layoutId;
    ASSERT_EQ(layouts->setAt(L"Layout2", layout, layoutId), Acad::eOk);
    layouts->close();
    sheet->setLayoutId(layoutId);
    sheet->close();
    acDocManager->unlockDocument(doc());
    filter = onLayout2();
    EXPECT_EQ(select(L"CP", square(), filter), (std::set<std::wstring>{h(deskId)}));
    acutRelRb(filter);
}

TEST_F(Selection, RectanglesBadPolygonsAndHiddenLayers) {
    AcDbObjectId a = host->addRectangle(1, 1, 2, 2);
    AcDbObjectId b = host->addRectangle(4, 1, 8, 2);
    ads_point p1 = {0, 0, 0}, p2 = {5, 5, 0};
    ads_name ss;
    ASSERT_EQ(acedSSGet(L"W", p1, p2, nullptr, ss), RTNORM);
    Adesk::Int32 n = 0;
    acedSSLength(ss, &n);
    EXPECT_EQ(n, 1);
    acedSSFree(ss);
    ASSERT_EQ(acedSSGet(L"C", p2, p1, nullptr, ss), RTNORM); // corners in any order
    acedSSLength(ss, &n);
    EXPECT_EQ(n, 2);
    acedSSFree(ss);
    EXPECT_EQ(acedSSFree(ss), RTERROR); // freed once only
    int rc = 0;
    select(L"CP", points({{0, 0}, {5, 5}}), nullptr, &rc);
    EXPECT_EQ(rc, RTERROR);
    select(L"CP", points({{0, 0}, {5, 5}, {5, 0}, {0, 5}}), nullptr, &rc); // edges cross
    EXPECT_EQ(rc, RTERROR);
    select(L"Q", nullptr, nullptr, &rc);
    EXPECT_EQ(rc, RTERROR);
    // Entities on a layer that is off cannot be picked by a window, but "X" finds them.
    host->addLayer(L"HIDDEN");
    AcDbObjectId c = host->addRectangle(1, 3, 2, 4, L"HIDDEN");
    acDocManager->lockDocument(doc());
    AcDbLayerTableRecord* layer = nullptr;
    ASSERT_EQ(acdbOpenObject(layer, db()->layerId(L"HIDDEN"), AcDb::kForWrite), Acad::eOk);
    layer->setIsOff(true);
    layer->close();
    acDocManager->unlockDocument(doc());
    EXPECT_EQ(select(L"WP", points({{0, 0}, {9, 0}, {9, 9}, {0, 9}})), (std::set<std::wstring>{h(a), h(b)}));
    resbuf* lw = acutBuildList(RTDXF0, L"LWPOLYLINE", 0);
    EXPECT_EQ(select(L"X", nullptr, lw), (std::set<std::wstring>{h(a), h(b), h(c)}));
    acutRelRb(lw);
}

TEST_F(Selection, NewEntitiesAreSeenByTheNextSelection) {
    auto window = [] { return points({{0, 0}, {10, 0}, {10, 10}, {0, 10}}); };
    AcDbObjectId a = host->addRectangle(1, 1, 2, 2);
    EXPECT_EQ(select(L"WP", window()).size(), 1u);
    AcDbObjectId b = host->addRectangle(3, 3, 4, 4);
    EXPECT_EQ(select(L"WP", window()), (std::set<std::wstring>{h(a), h(b)}));
    acDocManager->lockDocument(doc());
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenObject(e, a, AcDb::kForWrite), Acad::eOk);
    e->erase();
    e->close();
    ASSERT_EQ(acdbOpenObject(e, b, AcDb::kForWrite), Acad::eOk);
    e->transformBy(AcGeMatrix3d::translation(AcGeVector3d(100, 0, 0)));
    e->close();
    acDocManager->unlockDocument(doc());
    int rc = 0;
    EXPECT_TRUE(select(L"WP", window(), nullptr, &rc).empty());
    EXPECT_EQ(rc, RTERROR);
}

TEST_F(Selection, SelectionWithoutModeReadsHandlesAndPicksReadHandlesOrPoints) {
    AcDbObjectId a = host->addRectangle(0, 0, 10, 10);
    AcDbObjectId b = host->addEntity(new AcDbLine(AcGePoint3d(20, 0, 0), AcGePoint3d(30, 0, 0)));
    host->answer(L"#" + h(a) + L" " + h(b) + L" FFFFF");
    EXPECT_EQ(select(nullptr, nullptr), (std::set<std::wstring>{h(a), h(b)}));
    EXPECT_NE(host->commandLine().find(L"FFFFF not found."), std::wstring::npos);
    host->answer(L"*Cancel*");
    int rc = 0;
    select(nullptr, nullptr, nullptr, &rc);
    EXPECT_EQ(rc, RTCAN);

    ads_name e;
    ads_point pt;
    AcDbObjectId id;
    host->answer(L"#" + h(b));
    ASSERT_EQ(acedEntSel(L"\nPick: ", e, pt), RTNORM);
    acdbGetObjectId(id, e);
    EXPECT_EQ(id, b);
    host->answer(L"25,0"); // on the line
    ASSERT_EQ(acedEntSel(L"\nPick: ", e, pt), RTNORM);
    acdbGetObjectId(id, e);
    EXPECT_EQ(id, b);
    EXPECT_DOUBLE_EQ(pt[0], 25);
    host->answer(L"10,5"); // on the rectangle's edge
    ASSERT_EQ(acedEntSel(L"\nPick: ", e, pt), RTNORM);
    acdbGetObjectId(id, e);
    EXPECT_EQ(id, a);
    host->answers({L"5,5", L"#ZZZZ", L"", L"*Cancel*"});
    EXPECT_EQ(acedEntSel(L"\nPick: ", e, pt), RTERROR); // inside the rectangle, on nothing
    EXPECT_EQ(acedEntSel(L"\nPick: ", e, pt), RTERROR);
    EXPECT_EQ(acedEntSel(L"\nPick: ", e, pt), RTERROR);
    EXPECT_EQ(acedEntSel(L"\nPick: ", e, pt), RTCAN);
    EXPECT_EQ(acedEntSel(L"\nPick: ", e, pt), RTCAN); // end of input
}

TEST_F(Selection, PointsAskAgainUntilAPointOrCancel) {
    ads_point base = {10, 10, 0}, p;
    host->answers({L"abc", L"1,2,3,4", L"1.5, 2"});
    ASSERT_EQ(acedGetPoint(nullptr, L"\nPoint: ", p), RTNORM);
    EXPECT_DOUBLE_EQ(p[0], 1.5);
    EXPECT_DOUBLE_EQ(p[1], 2);
    EXPECT_DOUBLE_EQ(p[2], 0);
    EXPECT_EQ(host->commandLine(), L"\nPoint: \nInvalid point.\nPoint: \nInvalid point.\nPoint: ");
    host->answers({L"@1,-1", L"", L"*Cancel*"});
    ASSERT_EQ(acedGetPoint(base, L"", p), RTNORM);
    EXPECT_DOUBLE_EQ(p[0], 11);
    EXPECT_DOUBLE_EQ(p[1], 9);
    EXPECT_EQ(acedGetPoint(base, L"", p), RTNONE);
    EXPECT_EQ(acedGetPoint(base, L"", p), RTCAN);
    EXPECT_EQ(acedGetPoint(base, L"", p), RTCAN);
}

} // namespace
