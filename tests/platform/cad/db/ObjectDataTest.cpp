#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CadTestFixture.h"
#include "cad/AcDb.h"

namespace {

class ObjectData : public CadTestFixture {
protected:
    AcDbObjectId square(double x0, double y0, double side, bool closed = true) {
        auto* pl = new AcDbPolyline;
        pl->addVertexAt(0, AcGePoint2d(x0, y0));
        pl->addVertexAt(1, AcGePoint2d(x0 + side, y0));
        pl->addVertexAt(2, AcGePoint2d(x0 + side, y0 + side));
        pl->addVertexAt(3, AcGePoint2d(x0, y0 + side));
        pl->setClosed(closed);
        return append(pl);
    }
};

TEST_F(ObjectData, ExtendedDataIsReplacedPerApplication) {
    ASSERT_EQ(acdbRegApp(L"ADE"), RTNORM);
    ASSERT_EQ(acdbRegApp(L"OTHER"), RTNORM);
    AcDbObjectId id = square(0, 0, 10);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);

    resbuf* first = acutBuildList(1001, L"ADE", 1002, L"{", 1000, L"AREA=12.50sq.m.", 1002, L"}", 0);
    ASSERT_EQ(e->setXData(first), Acad::eOk);
    acutRelRb(first);
    resbuf* other = acutBuildList(1001, L"OTHER", 1070, 7, 1040, 2.5, 0);
    ASSERT_EQ(e->setXData(other), Acad::eOk);
    acutRelRb(other);
    resbuf* second = acutBuildList(1001, L"ADE", 1000, L"NAME=Office", 0);
    ASSERT_EQ(e->setXData(second), Acad::eOk);
    acutRelRb(second);

    // The application's list is replaced as a whole; the other application's list stays.
    resbuf* ade = e->xData(L"ade");
    ASSERT_NE(ade, nullptr);
    EXPECT_EQ(ade->restype, 1001);
    ASSERT_NE(ade->rbnext, nullptr);
    EXPECT_STREQ(ade->rbnext->resval.rstring, L"NAME=Office");
    EXPECT_EQ(ade->rbnext->rbnext, nullptr);
    acutRelRb(ade);
    resbuf* oth = e->xData(L"OTHER");
    ASSERT_NE(oth, nullptr);
    EXPECT_EQ(oth->rbnext->resval.rint, 7);
    EXPECT_DOUBLE_EQ(oth->rbnext->rbnext->resval.rreal, 2.5);
    acutRelRb(oth);
    EXPECT_EQ(e->xData(L"NONE"), nullptr);

    // An application with no data after its name removes its list.
    resbuf* clear = acutBuildList(1001, L"OTHER", 0);
    ASSERT_EQ(e->setXData(clear), Acad::eOk);
    acutRelRb(clear);
    EXPECT_EQ(e->xData(L"OTHER"), nullptr);

    // Unregistered applications are refused.
    resbuf* unknown = acutBuildList(1001, L"NOTREG", 1000, L"x", 0);
    EXPECT_EQ(e->setXData(unknown), Acad::eRegappIdNotFound);
    acutRelRb(unknown);
    e->close();
}

TEST_F(ObjectData, ExtendedDataOverSixteenKilobytesFailsAndKeepsTheOldData) {
    acdbRegApp(L"ADE");
    AcDbObjectId id = square(0, 0, 10);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    resbuf* small = acutBuildList(1001, L"ADE", 1000, L"keep", 0);
    ASSERT_EQ(e->setXData(small), Acad::eOk);
    acutRelRb(small);

    std::wstring chunk(250, L'x');
    resbuf* big = acutNewRb(1001);
    acutNewString(L"ADE", big->resval.rstring);
    resbuf* tail = big;
    for (int i = 0; i < 70; ++i) { // about 17.7 KB
        tail->rbnext = acutNewRb(1000);
        tail = tail->rbnext;
        acutNewString(chunk.c_str(), tail->resval.rstring);
    }
    EXPECT_EQ(e->setXData(big), Acad::eXdataSizeExceeded);
    resbuf* still = e->xData(L"ADE");
    ASSERT_NE(still, nullptr);
    EXPECT_STREQ(still->rbnext->resval.rstring, L"keep");
    acutRelRb(still);

    // Just under the limit is fine.
    resbuf* cut = big;
    for (int i = 0; i < 60; ++i) cut = cut->rbnext;
    acutRelRb(cut->rbnext);
    cut->rbnext = nullptr;
    EXPECT_EQ(e->setXData(big), Acad::eOk);
    acutRelRb(big);
    e->close();
}

TEST_F(ObjectData, AStringOfExtendedDataOver255BytesInUtf8FailsAndKeepsTheOldData) {
    acdbRegApp(L"ADE");
    AcDbObjectId id = square(0, 0, 10);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    struct Case {
        std::wstring text;
        Acad::ErrorStatus status;
    };
    // An accented letter takes two bytes, a euro sign three, a sign beyond the first plane four.
    const std::vector<Case> cases = {
        {std::wstring(255, L'a'), Acad::eOk},
        {std::wstring(256, L'a'), Acad::eXdataSizeExceeded},
        {L"a" + std::wstring(127, L'\u00e9'), Acad::eOk},
        {std::wstring(128, L'\u00e9'), Acad::eXdataSizeExceeded},
        {std::wstring(85, L'\u20ac'), Acad::eOk},
        {std::wstring(63, L'\U0001F600') + L"abcd", Acad::eXdataSizeExceeded},
    };
    for (const Case& c : cases) {
        resbuf* keep = acutBuildList(1001, L"ADE", 1000, L"keep", 0);
        ASSERT_EQ(e->setXData(keep), Acad::eOk);
        acutRelRb(keep);
        resbuf* data = acutBuildList(1001, L"ADE", 1000, c.text.c_str(), 0);
        EXPECT_EQ(e->setXData(data), c.status) << c.text.size();
        acutRelRb(data);
        resbuf* now = e->xData(L"ADE");
        ASSERT_NE(now, nullptr);
        EXPECT_EQ(std::wstring(now->rbnext->resval.rstring), c.status == Acad::eOk ? c.text : L"keep");
        acutRelRb(now);
    }
    e->close();
}

TEST_F(ObjectData, ReplacedDataKeepsItsPlaceAndSpellingAndARefusedCallChangesNoApplication) {
    acdbRegApp(L"ADE");
    acdbRegApp(L"OTHER");
    AcDbObjectId id = square(0, 0, 10);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    resbuf* both = acutBuildList(1001, L"ADE", 1000, L"NAME=A", 1001, L"OTHER", 1070, 1, 0);
    ASSERT_EQ(e->setXData(both), Acad::eOk);
    acutRelRb(both);
    resbuf* renamed = acutBuildList(1001, L"ade", 1000, L"NAME=B", 0);
    ASSERT_EQ(e->setXData(renamed), Acad::eOk);
    acutRelRb(renamed);

    // One call naming both applications, the second over the limit: neither list changes.
    resbuf* big = acutBuildList(1001, L"OTHER", 1070, 2, 1001, L"ADE", 0);
    resbuf* tail = big->rbnext->rbnext;
    const std::wstring chunk(250, L'x');
    for (int i = 0; i < 70; ++i) {
        tail->rbnext = acutNewRb(1000);
        tail = tail->rbnext;
        acutNewString(chunk.c_str(), tail->resval.rstring);
    }
    EXPECT_EQ(e->setXData(big), Acad::eXdataSizeExceeded);
    acutRelRb(big);

    resbuf* all = e->xData();
    std::vector<std::wstring> seen;
    for (resbuf* r = all; r; r = r->rbnext)
        seen.push_back(r->restype == 1070 ? std::to_wstring(r->resval.rint) : std::wstring(r->resval.rstring));
    acutRelRb(all);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"ADE", L"NAME=B", L"OTHER", L"1"}));
    e->close();
}

TEST_F(ObjectData, HyperlinksLiveInPeUrlDataAndStayOutOfTheOtherLists) {
    acdbRegApp(L"ADE");
    AcDbObjectId id = square(0, 0, 10);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    resbuf* ade = acutBuildList(1001, L"ADE", 1000, L"NAME=A", 0);
    e->setXData(ade);
    acutRelRb(ade);

    auto* pe = AcDbEntityHyperlinkPE::cast(e->x(AcDbEntityHyperlinkPE::desc()));
    ASSERT_NE(pe, nullptr);
    AcDbHyperlinkCollection links;
    links.addTail(L"http://a.example/1", L"First");
    links.addTail(L"C:\\plans\\b.dwg", L"", L"Layout1");
    links.addHead(L"http://z.example", L"Head");
    ASSERT_EQ(links.count(), 3);
    ASSERT_EQ(pe->setHyperlinkCollection(e, &links), Acad::eOk);

    resbuf* url = e->xData(L"PE_URL");
    ASSERT_NE(url, nullptr);
    EXPECT_STREQ(url->rbnext->resval.rstring, L"http://z.example");
    acutRelRb(url);
    // Asking for all applications leaves the hyperlinks out.
    resbuf* all = e->xData();
    int apps = 0;
    for (resbuf* r = all; r; r = r->rbnext)
        if (r->restype == 1001) {
            ++apps;
            EXPECT_STREQ(r->resval.rstring, L"ADE");
        }
    EXPECT_EQ(apps, 1);
    acutRelRb(all);

    AcDbHyperlinkCollection* back = nullptr;
    ASSERT_EQ(pe->getHyperlinkCollection(e, back), Acad::eOk);
    ASSERT_EQ(back->count(), 3);
    EXPECT_STREQ(back->item(0)->name(), L"http://z.example");
    EXPECT_STREQ(back->item(0)->description(), L"Head");
    EXPECT_STREQ(back->item(2)->subLocation(), L"Layout1");
    EXPECT_EQ(back->item(3), nullptr);
    back->removeAt(0);
    ASSERT_EQ(pe->setHyperlinkCollection(e, back), Acad::eOk);
    delete back;
    unsigned int n = 0;
    pe->getHyperlinkCount(e, n);
    EXPECT_EQ(n, 2u);

    // An empty collection removes the hyperlinks.
    AcDbHyperlinkCollection none;
    ASSERT_EQ(pe->setHyperlinkCollection(e, &none), Acad::eOk);
    bool has = true;
    pe->hasHyperlink(e, has);
    EXPECT_FALSE(has);
    e->close();
}

TEST_F(ObjectData, HatchEvaluationDensityRule) {
    AcDbObjectId big = square(0, 0, 100000);
    AcDbObjectId small = square(0, 0, 10);

    auto makeHatch = [&](const wchar_t* pattern, double scale, AcDbObjectId boundary) {
        auto* h = new AcDbHatch;
        h->setPatternScale(scale);
        EXPECT_EQ(h->setPattern(AcDbHatch::kPreDefined, pattern), Acad::eOk);
        h->setAssociative(false);
        AcDbObjectIdArray ids;
        ids.append(boundary);
        EXPECT_EQ(h->appendLoop(AcDbHatch::kOutermost, ids), Acad::eOk);
        return h;
    };
    // ANSI31: lines 0.125 apart at 45 degrees. Over 100000 units at scale 1 that is over a million lines.
    std::unique_ptr<AcDbHatch> dense(makeHatch(L"ANSI31", 1, big));
    EXPECT_EQ(dense->evaluateHatch(true), Acad::eHatchTooDense);
    // Scale 500: 62.5 apart, about 2263 lines.
    std::unique_ptr<AcDbHatch> fine(makeHatch(L"ANSI31", 500, big));
    EXPECT_EQ(fine->evaluateHatch(true), Acad::eOk);
    EXPECT_NEAR(fine->estimatedLineCount(), 100000 * std::sqrt(2.0) / 62.5, 1);
    // Over a 10-unit square at scale 500, no line falls inside.
    std::unique_ptr<AcDbHatch> sparse(makeHatch(L"ANSI31", 500, small));
    EXPECT_EQ(sparse->evaluateHatch(true), Acad::eAmbiguousOutput);
    // SOLID is always fine.
    std::unique_ptr<AcDbHatch> solid(makeHatch(L"SOLID", 500, big));
    EXPECT_EQ(solid->evaluateHatch(true), Acad::eOk);
    EXPECT_TRUE(solid->isSolidFill());

    // A metric drawing uses the patterns in millimetres: 25.4 times wider apart.
    db.setMeasurement(1);
    std::unique_ptr<AcDbHatch> metric(makeHatch(L"ANSI31", 1, square(0, 0, 1000)));
    EXPECT_NEAR(metric->estimatedLineCount(), 1000 * std::sqrt(2.0) / 3.175, 1);
}

TEST_F(ObjectData, HatchPatternsAndLoops) {
    auto hatch = std::make_unique<AcDbHatch>();
    EXPECT_EQ(hatch->setPattern(AcDbHatch::kPreDefined, L"NO_SUCH_PATTERN"), Acad::eUnknownPattern);
    EXPECT_STREQ(hatch->patternName(), L"SOLID");
    ASSERT_EQ(hatch->setPattern(AcDbHatch::kPreDefined, L"ansi37"), Acad::eOk);
    EXPECT_STREQ(hatch->patternName(), L"ANSI37");
    EXPECT_EQ(hatch->numPatternDefinitions(), 2);
    ASSERT_NE(acdbFindHatchPattern(L"BRICK"), nullptr);

    // An open boundary is refused; a closed one is copied at once.
    AcDbObjectIdArray open;
    open.append(square(0, 0, 10, false));
    EXPECT_EQ(hatch->appendLoop(AcDbHatch::kOutermost, open), Acad::eNotClosedPath);
    EXPECT_EQ(hatch->numLoops(), 0);

    AcDbObjectId boundary = square(0, 0, 10);
    AcDbObjectIdArray ids;
    ids.append(boundary);
    ASSERT_EQ(hatch->appendLoop(AcDbHatch::kOutermost, ids), Acad::eOk);
    AcDbPolyline* pl = nullptr;
    ASSERT_EQ(acdbOpenObject(pl, boundary, AcDb::kForWrite), Acad::eOk);
    pl->transformBy(AcGeMatrix3d::translation(AcGeVector3d(500, 0, 0)));
    pl->close();
    AcDbExtents ext;
    ASSERT_EQ(hatch->getGeomExtents(ext), Acad::eOk);
    EXPECT_NEAR(ext.maxPoint().x, 10, 1e-9); // the loop kept the old geometry

    // A loop given by vertices, and a curve in a tilted plane.
    AcGePoint2dArray pts;
    pts.append(AcGePoint2d(2, 2));
    pts.append(AcGePoint2d(4, 2));
    pts.append(AcGePoint2d(4, 4));
    AcGeDoubleArray bulges;
    ASSERT_EQ(hatch->appendLoop(AcDbHatch::kDefault, pts, bulges), Acad::eOk);
    EXPECT_EQ(hatch->numLoops(), 2);
    auto* tilted = new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(1, 0, 0), 5);
    AcDbObjectIdArray tid;
    tid.append(append(tilted));
    EXPECT_EQ(hatch->appendLoop(AcDbHatch::kExternal, tid), Acad::eNonPlanarEntity);
}

TEST_F(ObjectData, DrawOrderMoveToBottom) {
    AcDbObjectId a = square(0, 0, 1), b = square(0, 0, 2), c = square(0, 0, 3);
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(ms->createExtensionDictionary(), Acad::eOk);
    AcDbDictionary* ext = nullptr;
    ASSERT_EQ(acdbOpenObject(ext, ms->extensionDictionary(), AcDb::kForWrite), Acad::eOk);
    ms->close();
    auto* sort = new AcDbSortentsTable;
    AcDbObjectId sortId;
    ASSERT_EQ(ext->setAt(L"ACAD_SORTENTS", sort, sortId), Acad::eOk);
    sort->setBlockId(db.modelSpaceId());
    ext->close();

    AcDbObjectIdArray order;
    sort->getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), (std::vector<AcDbObjectId>{a, b, c}));
    AcDbObjectIdArray move;
    move.append(c);
    ASSERT_EQ(sort->moveToBottom(move), Acad::eOk);
    sort->getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), (std::vector<AcDbObjectId>{c, a, b}));

    // The order is kept as sort handles, the form a file stores.
    for (const auto& [ent, h] : sort->entries()) EXPECT_NE(ent.handle(), h);
    AcDbHandle hc;
    sort->getSortHandle(c, hc);
    EXPECT_EQ(hc, a.handle());

    move.removeAll();
    move.append(a);
    sort->moveToTop(move);
    sort->getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), (std::vector<AcDbObjectId>{c, b, a}));

    // Erased entities drop out; an id from elsewhere is refused.
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, b, AcDb::kForWrite), Acad::eOk);
    e->erase();
    e->close();
    sort->getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), (std::vector<AcDbObjectId>{c, a}));
    move.removeAll();
    move.append(db.layerId(L"0"));
    EXPECT_EQ(sort->moveToBottom(move), Acad::eInvalidInput);
    sort->close();
}

TEST_F(ObjectData, DeepCloneCopiesOwnedAttributesAndTranslatesReferences) {
    // A definition holding a polyline; an insert of it with one attribute.
    AcDbBlockTable* bt = nullptr;
    ASSERT_EQ(db.getBlockTable(bt, AcDb::kForWrite), Acad::eOk);
    auto* def = new AcDbBlockTableRecord;
    def->setName(L"ROOM-1");
    AcDbObjectId defId;
    ASSERT_EQ(bt->add(defId, def), Acad::eOk);
    bt->close();
    auto* boundary = new AcDbPolyline;
    boundary->addVertexAt(0, AcGePoint2d(0, 0));
    boundary->addVertexAt(1, AcGePoint2d(5, 0));
    boundary->addVertexAt(2, AcGePoint2d(5, 5));
    boundary->setClosed(true);
    AcDbObjectId boundaryId;
    ASSERT_EQ(def->appendAcDbEntity(boundaryId, boundary), Acad::eOk);
    boundary->close();
    def->close();

    auto* ref = new AcDbBlockReference(AcGePoint3d(100, 0, 0), defId);
    AcDbObjectId refId = append(ref);
    AcDbBlockReference* open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, refId, AcDb::kForWrite), Acad::eOk);
    auto* att = new AcDbAttribute(AcGePoint3d(100, 0, 0), L"Office", L"NAME");
    AcDbObjectId attId;
    ASSERT_EQ(open->appendAttribute(attId, att), Acad::eOk);
    att->close();
    open->close();

    AcDbIdMapping map;
    AcDbObjectIdArray ids;
    ids.append(refId);
    ids.append(boundaryId);
    ASSERT_EQ(db.deepCloneObjects(ids, db.modelSpaceId(), map), Acad::eOk);
    EXPECT_EQ(map.size(), 3); // insert, its attribute, the polyline
    EXPECT_EQ(db.openObjectCount(), 0);

    AcDbIdPair p(refId, AcDbObjectId(), false);
    ASSERT_TRUE(map.compute(p));
    EXPECT_TRUE(p.isCloned());
    EXPECT_TRUE(p.isPrimary());
    AcDbBlockReference* clone = nullptr;
    ASSERT_EQ(acdbOpenObject(clone, p.value(), AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(clone->ownerId(), db.modelSpaceId());
    EXPECT_EQ(clone->blockTableRecord(), defId); // not cloned: still the same definition
    ASSERT_EQ(clone->attributeIds().size(), 1u);
    AcDbObjectId cloneAtt = clone->attributeIds()[0];
    EXPECT_NE(cloneAtt, attId);
    AcDbAttribute* ca = nullptr;
    ASSERT_EQ(clone->openAttribute(ca, cloneAtt, AcDb::kForRead), Acad::eOk);
    EXPECT_STREQ(ca->textStringConst(), L"Office");
    EXPECT_EQ(ca->ownerId(), clone->objectId());
    ca->close();
    clone->close();

    AcDbIdPair bp(boundaryId, AcDbObjectId(), false);
    ASSERT_TRUE(map.compute(bp));
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
    const auto& ents = ms->entityIds();
    EXPECT_NE(std::find(ents.begin(), ents.end(), bp.value()), ents.end());
    ms->close();

    // The insert's extents cover the definition's polyline and the attribute text.
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, refId, AcDb::kForRead), Acad::eOk);
    AcDbExtents ext;
    ASSERT_EQ(e->getGeomExtents(ext), Acad::eOk);
    EXPECT_NEAR(ext.minPoint().x, 100, 1e-9);
    EXPECT_NEAR(ext.maxPoint().y, 5, 1e-9);
    EXPECT_GE(ext.maxPoint().x, 105);
    e->close();

    // Erasing the insert erases its attributes.
    ASSERT_EQ(acdbOpenAcDbEntity(e, refId, AcDb::kForWrite), Acad::eOk);
    e->erase();
    e->close();
    EXPECT_TRUE(attId.isErased());
    AcDbObjectIdArray refs;
    AcDbBlockTableRecord* d = nullptr;
    ASSERT_EQ(acdbOpenObject(d, defId, AcDb::kForRead), Acad::eOk);
    d->getBlockReferenceIds(refs);
    d->close();
    EXPECT_EQ(refs.length(), 1); // the clone
}

TEST_F(ObjectData, TablesCellsMergesAndSizes) {
    auto table = std::make_unique<AcDbTable>();
    AcDbDictionary* styles = nullptr;
    ASSERT_EQ(db.getTableStyleDictionary(styles, AcDb::kForRead), Acad::eOk);
    AcDbObjectId standard;
    ASSERT_EQ(styles->getAt(L"Standard", standard), Acad::eOk);
    styles->close();
    ASSERT_EQ(table->setTableStyle(standard), Acad::eOk);
    ASSERT_EQ(table->setSize(2, 3), Acad::eOk);
    ASSERT_EQ(table->mergeCells(0, 0, 0, 2), Acad::eOk);
    int minCol = -1, maxCol = -1;
    EXPECT_TRUE(table->isMergedCell(0, 1, nullptr, nullptr, &minCol, &maxCol));
    EXPECT_EQ(minCol, 0);
    EXPECT_EQ(maxCol, 2);
    EXPECT_FALSE(table->isMergedCell(1, 1));
    EXPECT_EQ(table->mergeCells(0, 1, 1, 2), Acad::eInvalidInput); // overlaps the merge

    ASSERT_EQ(table->insertRows(2, 750, 1), Acad::eOk);
    EXPECT_EQ(table->numRows(), 3u);
    ASSERT_EQ(table->setTextString(2, 0, L"Store\\\\Room"), Acad::eOk);
    EXPECT_EQ(table->cellDisplayText(2, 0), L"Store\\Room");
    EXPECT_EQ(table->setTextString(5, 0, L"x"), Acad::eTableCellOutOfRange);

    AcDbBlockTable* bt = nullptr;
    ASSERT_EQ(db.getBlockTable(bt, AcDb::kForWrite), Acad::eOk);
    auto* swatch = new AcDbBlockTableRecord;
    swatch->setName(L"SWATCH");
    AcDbObjectId swatchId;
    ASSERT_EQ(bt->add(swatchId, swatch), Acad::eOk);
    swatch->close();
    bt->close();
    ASSERT_EQ(table->setBlockTableRecordId(2, 1, swatchId, false), Acad::eOk);
    EXPECT_EQ(table->cellType(2, 1), AcDb::kBlockCell);
    EXPECT_EQ(table->blockTableRecordId(2, 1), swatchId);

    table->setColumnWidth(0, 3000);
    table->setColumnWidth(1, 3000);
    table->setColumnWidth(2, 4000);
    table->setRowHeight(750);
    EXPECT_DOUBLE_EQ(table->width(), 10000);
    EXPECT_DOUBLE_EQ(table->height(), 2250);
    table->setTextHeight(500, AcDb::kDataRow);
    table->setAlignment(AcDb::kMiddleCenter, AcDb::kDataRow | AcDb::kTitleRow | AcDb::kHeaderRow);
    EXPECT_EQ(table->rowType(0), AcDb::kTitleRow);
    EXPECT_EQ(table->rowType(1), AcDb::kHeaderRow);
    EXPECT_EQ(table->rowType(2), AcDb::kDataRow);
    EXPECT_DOUBLE_EQ(table->textHeight(2, 0), 500);
    EXPECT_EQ(table->alignment(0, 0), AcDb::kMiddleCenter);

    AcDbExtents ext;
    table->getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().y, -2250, 1e-9);
    EXPECT_NEAR(ext.maxPoint().x, 10000, 1e-9);
}

TEST_F(ObjectData, ViewportsFreezeLayersAndLayoutsListThem) {
    AcDbObjectId layer0 = db.layerId(L"0");
    auto* vp = new AcDbViewport;
    vp->setCenterPoint(AcGePoint3d(100, 100, 0));
    vp->setWidth(50);
    vp->setHeight(40);
    AcDbObjectId vpId = append(vp, db.paperSpaceId());
    AcDbViewport* v = nullptr;
    ASSERT_EQ(acdbOpenObject(v, vpId, AcDb::kForWrite), Acad::eOk);
    AcDbObjectIdArray layers;
    layers.append(layer0);
    v->freezeLayersInViewport(layers);
    v->freezeLayersInViewport(layers);
    EXPECT_TRUE(v->isLayerFrozenInViewport(layer0));
    AcDbObjectIdArray frozen;
    v->getFrozenLayerList(frozen);
    EXPECT_EQ(frozen.length(), 1);
    v->thawLayersInViewport(layers);
    EXPECT_FALSE(v->isLayerFrozenInViewport(layer0));
    v->close();

    AcDbBlockTableRecord* ps = nullptr;
    ASSERT_EQ(acdbOpenObject(ps, db.paperSpaceId(), AcDb::kForRead), Acad::eOk);
    AcDbLayout* layout = nullptr;
    ASSERT_EQ(acdbOpenObject(layout, ps->getLayoutId(), AcDb::kForRead), Acad::eOk);
    ps->close();
    AcDbObjectIdArray vps = layout->getViewportArray();
    ASSERT_EQ(vps.length(), 1);
    EXPECT_EQ(vps[0], vpId);
    layout->close();
}

} // namespace

namespace {

AcDbRbValue rbValue(short code) {
    AcDbRbValue v;
    v.code = code;
    return v;
}

// The object keeps its extended data packed; every value must come back exactly as it was stored.
TEST_F(ObjectData, StoredExtendedDataComesBackExactly) {
    std::vector<AcDbXDataApp> apps(3);
    apps[0].app = L"ADE";
    struct Case {
        short code;
        std::wstring str;
        double pt[3];
        Adesk::Int64 integer;
        std::vector<unsigned char> binary;
    };
    const Case cases[] = {
        {1000, L"", {0, 0, 0}, 0, {}},                               // empty string
        {1000, L"AREA=49.00sq.m.", {0, 0, 0}, 0, {}},                // ASCII
        {1000, L"Gr\u00f6\u00dfe \u00e9t\u00e9", {0, 0, 0}, 0, {}},  // Latin-1, a byte a character
        {1000, L"\u623f\u95f4 \u20ac \U0001F3E0", {0, 0, 0}, 0, {}}, // beyond Latin-1
        {1000, std::wstring(3000, L'x'), {0, 0, 0}, 0, {}},          // long
        {1002, L"{", {0, 0, 0}, 0, {}},
        {1005, L"1F", {0, 0, 0}, 0, {}},
        {1010, L"", {-0.0, 1e300, -2.5}, 0, {}}, // signed zero and extremes
        {1040, L"", {-0.0, 0, 0}, 0, {}},
        {1070, L"", {0, 0, 0}, -32768, {}},
        {1071, L"", {0, 0, 0}, -2147483647 - 1, {}},
        {1004, L"", {0, 0, 0}, 0, {0, 255, 0, 7}},
    };
    for (const Case& c : cases) {
        AcDbRbValue v = rbValue(c.code);
        v.str = c.str;
        std::copy(std::begin(c.pt), std::end(c.pt), v.pt);
        v.integer = c.integer;
        v.binary = c.binary;
        apps[0].items.push_back(v);
    }
    apps[1].app = L"EMPTY"; // an application with no items
    apps[2].app = L"\u00c9TAGE";
    apps[2].items.push_back(rbValue(1070));

    AcDbObjectId id = square(0, 0, 10);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    e->setXDataApps(apps);
    ASSERT_TRUE(e->hasXData());
    auto sameBits = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    auto expectSame = [&](const std::vector<AcDbXDataApp>& back) {
        ASSERT_EQ(back.size(), apps.size());
        for (std::size_t a = 0; a < apps.size(); ++a) {
            EXPECT_EQ(back[a].app, apps[a].app);
            ASSERT_EQ(back[a].items.size(), apps[a].items.size()) << a;
            for (std::size_t k = 0; k < apps[a].items.size(); ++k) {
                const AcDbRbValue &want = apps[a].items[k], &got = back[a].items[k];
                EXPECT_TRUE(got == want) << "app " << a << " item " << k;
                for (int i = 0; i < 3; ++i) EXPECT_TRUE(sameBits(got.pt[i], want.pt[i])) << k;
            }
        }
    };
    expectSame(e->xDataApps());
    std::unique_ptr<AcDbObject> copy(e->cloneData());
    expectSame(copy->xDataApps());

    // Through the result-buffer interface the chain carries the same values.
    resbuf* all = e->xData(L"ADE");
    ASSERT_NE(all, nullptr);
    const resbuf* r = all->rbnext->rbnext->rbnext->rbnext; // the string beyond Latin-1
    EXPECT_STREQ(r->resval.rstring, cases[3].str.c_str());
    acutRelRb(all);

    e->setXDataApps({});
    EXPECT_FALSE(e->hasXData());
    EXPECT_TRUE(e->xDataApps().empty());
    e->close();
}

} // namespace
