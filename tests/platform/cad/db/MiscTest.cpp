#include <gtest/gtest.h>

#include <cmath>

#include "cad/AcDb.h"
#include "support/CadDrawing.h"

namespace {

AcDbObjectId appendTo(AcDbDatabase& db, AcDbEntity* ent) {
    AcDbBlockTableRecord* ms = nullptr;
    EXPECT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(ms->appendAcDbEntity(id, ent), Acad::eOk);
    ent->close();
    ms->close();
    return id;
}

TEST(Lifetime, DeletingAResidentObjectDetachesItInsteadOfFreeingItTwice) {
    auto db = std::make_unique<AcDbDatabase>();
    AcDbObjectId id = appendTo(*db, new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 1, 0)));
    size_t before = db->objectCount();
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    delete e; // a mistake the real host would crash on
    EXPECT_EQ(db->openObjectCount(), 0);
    EXPECT_EQ(db->objectCount(), before - 1);
    EXPECT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eUnknownHandle);
    db.reset(); // must not touch the deleted object again (checked under the address sanitizer)
}

TEST(Lifetime, XrecordReferencesFollowADeepClone) {
    AcDbDatabase db;
    AcDbObjectId a = appendTo(db, new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 0, 0)));
    AcDbObjectId b = appendTo(db, new AcDbLine(AcGePoint3d(), AcGePoint3d(0, 1, 0)));
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, a, AcDb::kForWrite), Acad::eOk);
    e->createExtensionDictionary();
    AcDbDictionary* d = nullptr;
    ASSERT_EQ(acdbOpenObject(d, e->extensionDictionary(), AcDb::kForWrite), Acad::eOk);
    e->close();
    auto* xr = new AcDbXrecord;
    ads_name other;
    acdbGetAdsName(other, b);
    resbuf* rb = acutBuildList(340, other, 0);
    xr->setFromRbChain(*rb);
    acutRelRb(rb);
    AcDbObjectId xrId;
    d->setAt(L"LINK", xr, xrId);
    xr->close();
    d->close();

    // Cloning both lines: the link in the clone's data points at the clone of b.
    AcDbIdMapping map;
    AcDbObjectIdArray ids;
    ids.append(a);
    ids.append(b);
    ASSERT_EQ(db.deepCloneObjects(ids, db.modelSpaceId(), map), Acad::eOk);
    AcDbIdPair pa(a, AcDbObjectId(), false), pb(b, AcDbObjectId(), false);
    ASSERT_TRUE(map.compute(pa));
    ASSERT_TRUE(map.compute(pb));
    ASSERT_EQ(acdbOpenAcDbEntity(e, pa.value(), AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenObject(d, e->extensionDictionary(), AcDb::kForRead), Acad::eOk);
    e->close();
    AcDbDictionary* wrong = nullptr;
    EXPECT_EQ(d->getAt(L"LINK", wrong, AcDb::kForRead), Acad::eNotThatKindOfClass);
    AcDbXrecord* cx = nullptr;
    ASSERT_EQ(d->getAt(L"LINK", cx, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(cx->objectId().objectClass(), AcDbXrecord::desc());
    d->close();
    ASSERT_EQ(cx->values().size(), 1u);
    EXPECT_EQ(cx->values()[0].id, pb.value());
    cx->close();
}

TEST(Iterators, AttributeIteratorBothWays) {
    AcDbDatabase db;
    auto* ref = new AcDbBlockReference(AcGePoint3d(), db.modelSpaceId());
    AcDbObjectId refId = appendTo(db, ref);
    AcDbBlockReference* r = nullptr;
    ASSERT_EQ(acdbOpenObject(r, refId, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId ids[3];
    for (int i = 0; i < 3; ++i) {
        auto* a = new AcDbAttribute(AcGePoint3d(), L"v", i == 0 ? L"A" : i == 1 ? L"B" : L"C");
        r->appendAttribute(ids[i], a);
        a->close();
    }
    AcDbAttribute* mid = nullptr;
    ASSERT_EQ(r->openAttribute(mid, ids[1], AcDb::kForWrite), Acad::eOk);
    mid->erase();
    mid->close();
    AcDbObjectIterator* it = r->attributeIterator();
    std::vector<AcDbObjectId> seen;
    for (it->start(true); !it->done(); it->step(true)) seen.push_back(it->objectId());
    EXPECT_EQ(seen, (std::vector<AcDbObjectId>{ids[2], ids[0]}));
    EXPECT_TRUE(it->seek(ids[0]));
    EXPECT_STREQ(AcDbAttribute::cast(it->entity())->tagConst(), L"A");
    delete it;
    r->close();
}

TEST(Text, MTextFormattingAndTableRows) {
    AcDbMText m;
    m.setContents(L"\\A1;{\\H2.5x;Big}\\~text \\Lunder\\l \\{braces\\}");
    EXPECT_EQ(m.text(), L"Big text under {braces}");
    ACHAR* raw = m.contents();
    EXPECT_STREQ(raw, L"\\A1;{\\H2.5x;Big}\\~text \\Lunder\\l \\{braces\\}");
    acutDelString(raw);
    EXPECT_EQ(raw, nullptr);

    AcDbTable t;
    t.setSize(4, 2);
    t.suppressTitleRow(true);
    EXPECT_EQ(t.rowType(0), AcDb::kHeaderRow);
    EXPECT_EQ(t.rowType(1), AcDb::kDataRow);
    t.suppressHeaderRow(true);
    EXPECT_EQ(t.rowType(0), AcDb::kDataRow);
    EXPECT_EQ(t.deleteRows(0, 4), Acad::eInvalidInput); // a table keeps one row
    EXPECT_EQ(t.deleteRows(1, 2), Acad::eOk);
    EXPECT_EQ(t.numRows(), 2u);
    EXPECT_EQ(t.cellText(7, 7), L"");
}

TEST(Hyperlinks, DisplayStringAndCollectionEdges) {
    AcDbHyperlink h(L"http://x", L"", L"Sheet2");
    EXPECT_EQ(h.getDisplayString(), L"http://x#Sheet2");
    h.setDescription(L"Plans");
    EXPECT_EQ(h.getDisplayString(), L"Plans");
    AcDbHyperlinkCollection c;
    c.removeHead();
    c.removeTail();
    c.removeAt(3);
    c.addAt(5, L"b", L"");
    c.addAt(0, L"a", L"");
    EXPECT_STREQ(c.item(0)->name(), L"a");
    EXPECT_STREQ(c.item(1)->name(), L"b");
    EXPECT_EQ(c.item(-1), nullptr);
}

TEST(Curves, ArcAsAPlanePathAcrossZero) {
    AcDbArc arc(AcGePoint3d(1, 1, 0), 2, 3 * M_PI / 2, M_PI / 2); // right half, through angle 0
    cadgeom::BulgePath p;
    AcGeVector3d n;
    double elev = 0;
    ASSERT_TRUE(arc.getPlanePath(p, n, elev));
    ASSERT_EQ(p.vertices.size(), 2u);
    EXPECT_TRUE(p.vertices[0].pt.isEqualTo(AcGePoint2d(1, -1), AcGeTol()));
    EXPECT_TRUE(p.vertices[1].pt.isEqualTo(AcGePoint2d(1, 3), AcGeTol()));
    AcGePoint2d mn, mx;
    cadgeom::pathExtents(p, mn, mx);
    EXPECT_NEAR(mx.x, 3, 1e-9);
    EXPECT_NEAR(cadgeom::pathLength(p), 2 * M_PI, 1e-9);
}

} // namespace

namespace {

TEST(Defaults, CompletingADrawingLinksLayoutsAlreadyThere) {
    // A drawing read from a file: paper space with a layout called "Sheet A", no link on the block yet.
    AcDbDatabase db(false);
    db.setLoading(true);
    db.completeDefaults();
    AcDbDictionary* layouts = nullptr;
    ASSERT_EQ(db.getLayoutDictionary(layouts, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId layout1;
    ASSERT_EQ(layouts->getAt(L"Layout1", layout1), Acad::eOk);
    ASSERT_TRUE(layouts->setName(L"Layout1", L"Sheet A"));
    layouts->close();
    AcDbBlockTableRecord* ps = nullptr;
    ASSERT_EQ(acdbOpenObject(ps, db.paperSpaceId(), AcDb::kForWrite), Acad::eOk);
    ps->setLayoutId(AcDbObjectId());
    ps->close();
    db.completeDefaults();
    db.setLoading(false);

    ASSERT_EQ(db.getLayoutDictionary(layouts, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(layouts->numEntries(), 2u); // Model and Sheet A: no second paper layout
    layouts->close();
    ASSERT_EQ(acdbOpenObject(ps, db.paperSpaceId(), AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(ps->getLayoutId(), layout1);
    ps->close();
}

} // namespace

namespace {

TEST(Defaults, RecordsListedBeforeTheyAreReadAreFoundByName) {
    AcDbDatabase db(false);
    db.setLoading(true);
    auto* table = new AcDbLayerTable;
    AcDbObjectId tableId, recId;
    ASSERT_EQ(db.addAcDbObject(tableId, table), Acad::eOk);
    db.setLayerTableId(tableId);
    ASSERT_EQ(db.getAcDbObjectId(recId, true, AcDbHandle(0x40)), Acad::eOk);
    table->appendRecordId(recId);
    EXPECT_FALSE(table->has(L"WALLS")); // the record is not read yet
    auto* rec = new AcDbLayerTableRecord;
    rec->setName(L"WALLS");
    AcDbObjectId got;
    ASSERT_EQ(db.addAcDbObject(got, rec, AcDbHandle(0x40)), Acad::eOk);
    rec->setOwnerId(tableId);
    EXPECT_TRUE(table->has(L"walls"));
    EXPECT_EQ(db.layerId(L"WALLS"), recId);
    db.setLoading(false);
}

} // namespace

namespace {

TEST(TestDrawings, SpaceBlockWithAttributesAndData) {
    namespace cad = kelmo_test::cad;
    AcDbDatabase db;
    AcDbObjectId def = cad::defineBlock(&db, L"ROOM-101");
    cad::addRectangle(&db, 0, 0, 4000, 3000, L"0", def);
    cad::addAttributeDefinition(&db, def, L"AREA", L"DEFAULT AREA", AcGePoint3d(0, 0, 0), 250, L"ATT-AREA");
    cad::addAttributeDefinition(&db, def, L"NAME", L"DEFAULT NAME", AcGePoint3d(0, -375, 0), 250, L"ATT-NAME");
    AcDbObjectId ref = cad::insertBlock(&db, def, AcGePoint3d(1000, 1000, 0), {{L"NAME", L"Office"}});
    auto atts = cad::attributesOf(ref);
    ASSERT_EQ(atts.size(), 2u);
    EXPECT_EQ(atts[0].tag, L"AREA");
    EXPECT_EQ(atts[0].text, L"DEFAULT AREA");
    EXPECT_EQ(atts[1].text, L"Office");
    ASSERT_EQ(cad::setXDataStrings(&db, ref, L"ADE", {L"AREA=12.00sq.m.", L"NAME=Office"}), Acad::eOk);
    EXPECT_EQ(cad::xDataStrings(ref, L"ADE"), (std::vector<std::wstring>{L"AREA=12.00sq.m.", L"NAME=Office"}));
    EXPECT_FALSE(db.layerId(L"ATT-NAME").isNull());
    EXPECT_EQ(db.openObjectCount(), 0);
    EXPECT_EQ(db.writeViolations(), 0);
}

} // namespace
