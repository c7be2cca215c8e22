#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "CadTestFixture.h"
#include "cad/AcDb.h"

namespace {

class Containers : public CadTestFixture {
protected:
    Acad::ErrorStatus eraseObject(AcDbObjectId id) {
        AcDbObject* o = nullptr;
        Acad::ErrorStatus es = acdbOpenObject(o, id, AcDb::kForWrite);
        if (es != Acad::eOk) return es;
        es = o->erase();
        o->close();
        return es;
    }
};

TEST_F(Containers, StandardRecordsCannotBeErased) {
    EXPECT_EQ(eraseObject(db.layerId(L"0")), Acad::eCannotBeErasedByCaller);
    EXPECT_EQ(eraseObject(db.modelSpaceId()), Acad::eCannotBeErasedByCaller);
    EXPECT_EQ(eraseObject(db.linetypeId(L"ByLayer")), Acad::eCannotBeErasedByCaller);
    EXPECT_FALSE(db.layerId(L"0").isErased());

    AcDbLayerTable* lt = nullptr;
    ASSERT_EQ(db.getLayerTable(lt, AcDb::kForWrite), Acad::eOk);
    auto* rec = new AcDbLayerTableRecord;
    rec->setName(L"CURRENT");
    AcDbObjectId cur;
    lt->add(cur, rec);
    rec->close();
    lt->close();
    ASSERT_EQ(db.setClayer(cur), Acad::eOk);
    EXPECT_EQ(eraseObject(cur), Acad::eCannotBeErasedByCaller);
    // The current layer cannot be frozen, and a frozen layer cannot become current.
    AcDbLayerTableRecord* r = nullptr;
    ASSERT_EQ(acdbOpenObject(r, cur, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(r->setIsFrozen(true), Acad::eInvalidLayer);
    r->close();
    ASSERT_EQ(db.setClayer(db.layerId(L"0")), Acad::eOk);
    ASSERT_EQ(acdbOpenObject(r, cur, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(r->setIsFrozen(true), Acad::eOk);
    r->close();
    EXPECT_EQ(db.setClayer(cur), Acad::eInvalidLayer);
    EXPECT_EQ(eraseObject(cur), Acad::eOk);
}

TEST_F(Containers, EraseNeedsAWriteOpenAndCanBeUndone) {
    AcDbObjectId id = append(new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 0, 0)));
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(e->erase(), Acad::eNotOpenForWrite);
    e->close();
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(e->erase(), Acad::eOk);
    EXPECT_EQ(e->erase(), Acad::eWasErased);
    e->close();
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite, true), Acad::eOk);
    EXPECT_EQ(e->erase(false), Acad::eOk);
    e->close();
    EXPECT_FALSE(id.isErased());
    AcDbLine loose;
    EXPECT_EQ(loose.erase(), Acad::eNotInDatabase);
}

TEST_F(Containers, ErasingADefinitionErasesItsEntities) {
    AcDbObjectId def = defineBlock(L"ROOM-GONE");
    AcDbObjectId inside = append(new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 0, 0)), def);
    EXPECT_EQ(eraseObject(def), Acad::eOk);
    EXPECT_TRUE(inside.isErased());
    AcDbBlockTable* bt = nullptr;
    ASSERT_EQ(db.getBlockTable(bt, AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(bt->has(L"ROOM-GONE"));
    bt->close();
    // The name can be defined again.
    defineBlock(L"ROOM-GONE");
}

TEST_F(Containers, AssumeOwnershipMovesEntitiesBetweenBlocks) {
    AcDbObjectId a = append(new AcDbLine(AcGePoint3d(), AcGePoint3d(1, 0, 0)));
    AcDbObjectId b = append(new AcDbCircle(AcGePoint3d(), AcGeVector3d::kZAxis, 1));
    AcDbObjectId def = defineBlock(L"MARKER-LEGEND");
    AcDbBlockTableRecord* d = nullptr;
    ASSERT_EQ(acdbOpenObject(d, def, AcDb::kForWrite), Acad::eOk);
    AcDbObjectIdArray ids;
    ids.append(a);
    ASSERT_EQ(d->assumeOwnershipOf(ids), Acad::eOk);
    EXPECT_EQ(d->assumeOwnershipOf(ids), Acad::eSelfReference);
    d->close();

    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, a, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(e->ownerId(), def);
    e->close();
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(ms->entityIds(), (std::vector<AcDbObjectId>{b}));
    ms->close();
}

TEST_F(Containers, DictionaryEntriesRenameRemoveReplace) {
    AcDbDictionary* nod = nullptr;
    ASSERT_EQ(db.getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
    auto* mine = new AcDbDictionary;
    AcDbObjectId mineId;
    ASSERT_EQ(nod->setAt(L"KELMO", mine, mineId), Acad::eOk);
    nod->close();

    auto* x1 = new AcDbXrecord;
    AcDbObjectId x1Id, x2Id;
    ASSERT_EQ(mine->setAt(L"b", x1, x1Id), Acad::eOk);
    x1->close();
    auto* x2 = new AcDbXrecord;
    ASSERT_EQ(mine->setAt(L"a", x2, x2Id), Acad::eOk);
    x2->close();

    // Entries come in name order.
    AcDbDictionaryIterator* it = mine->newIterator();
    std::vector<std::wstring> names;
    for (; !it->done(); it->next()) names.push_back(it->name());
    delete it;
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a", L"b"}));

    EXPECT_TRUE(mine->setName(L"A", L"c"));
    EXPECT_FALSE(mine->setName(L"c", L"B")); // taken
    std::wstring n;
    ASSERT_TRUE(mine->nameAt(x2Id, n));
    EXPECT_EQ(n, L"c");

    // Putting a new object under a used name replaces the entry and erases the old object.
    auto* x3 = new AcDbXrecord;
    AcDbObjectId x3Id;
    ASSERT_EQ(mine->setAt(L"B", x3, x3Id), Acad::eOk);
    x3->close();
    EXPECT_TRUE(x1Id.isErased());
    AcDbObjectId got;
    ASSERT_EQ(mine->getAt(L"b", got), Acad::eOk);
    EXPECT_EQ(got, x3Id);

    AcDbObjectId removed;
    ASSERT_EQ(mine->remove(L"c", removed), Acad::eOk);
    EXPECT_EQ(removed, x2Id);
    EXPECT_EQ(mine->remove(L"c"), Acad::eKeyNotFound);
    EXPECT_EQ(mine->numEntries(), 1u);
    EXPECT_EQ(mine->getAt(L"", got), Acad::eKeyNotFound);
    mine->close();
}

TEST_F(Containers, DeepCloneTakesTheExtensionDictionaryAlong) {
    AcDbObjectId src = append(new AcDbCircle(AcGePoint3d(), AcGeVector3d::kZAxis, 1));
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, src, AcDb::kForWrite), Acad::eOk);
    e->createExtensionDictionary();
    AcDbDictionary* d = nullptr;
    ASSERT_EQ(acdbOpenObject(d, e->extensionDictionary(), AcDb::kForWrite), Acad::eOk);
    e->close();
    auto* xr = new AcDbXrecord;
    AcDbObjectId xrId;
    d->setAt(L"DATA", xr, xrId);
    xr->close();
    d->close();

    AcDbIdMapping map;
    AcDbObjectIdArray ids;
    ids.append(src);
    ASSERT_EQ(db.deepCloneObjects(ids, db.modelSpaceId(), map), Acad::eOk);
    EXPECT_EQ(map.size(), 3);
    AcDbIdPair p(src, AcDbObjectId(), false);
    ASSERT_TRUE(map.compute(p));
    ASSERT_EQ(acdbOpenAcDbEntity(e, p.value(), AcDb::kForRead), Acad::eOk);
    AcDbObjectId cloneDict = e->extensionDictionary();
    e->close();
    ASSERT_FALSE(cloneDict.isNull());
    ASSERT_EQ(acdbOpenObject(d, cloneDict, AcDb::kForRead), Acad::eOk);
    AcDbObjectId cloneXr;
    ASSERT_EQ(d->getAt(L"DATA", cloneXr), Acad::eOk);
    EXPECT_NE(cloneXr, xrId);
    EXPECT_EQ(d->ownerId(), p.value());
    d->close();

    AcDbIdMappingIter iter(map);
    int primaries = 0;
    for (iter.start(); !iter.done(); iter.next()) {
        AcDbIdPair pair;
        iter.getMap(pair);
        EXPECT_TRUE(pair.isCloned());
        primaries += pair.isPrimary() ? 1 : 0;
    }
    EXPECT_EQ(primaries, 1);

    // Erased sources and foreign owners are refused.
    AcDbDatabase other;
    AcDbIdMapping map2;
    EXPECT_EQ(other.deepCloneObjects(ids, other.modelSpaceId(), map2), Acad::eWrongDatabase);
}

TEST_F(Containers, DrawOrderBelowAboveAndSwap) {
    AcDbObjectId a = append(new AcDbLine), b = append(new AcDbLine), c = append(new AcDbLine), d = append(new AcDbLine);
    AcDbSortentsTable sort;
    // A table outside the database still works on its block through the block's database.
    sort.setBlockId(db.modelSpaceId());
    AcDbObjectIdArray move;
    move.append(d);
    ASSERT_EQ(sort.moveBelow(move, b), Acad::eOk);
    AcDbObjectIdArray order;
    sort.getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), (std::vector<AcDbObjectId>{a, d, b, c}));
    move.removeAll();
    move.append(a);
    ASSERT_EQ(sort.moveAbove(move, c), Acad::eOk);
    sort.getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), (std::vector<AcDbObjectId>{d, b, c, a}));
    ASSERT_EQ(sort.swapOrder(d, a), Acad::eOk);
    sort.getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), (std::vector<AcDbObjectId>{a, b, c, d}));
    EXPECT_TRUE(sort.entries().empty()); // back to handle order: nothing to store
    EXPECT_EQ(sort.moveBelow(move, a), Acad::eInvalidInput);

    // Entries as a file gives them are honoured.
    sort.setEntries({{a, d.handle()}, {d, a.handle()}});
    sort.getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), (std::vector<AcDbObjectId>{d, b, c, a}));
}

// Moves of single entities and groups, each checked against the order rebuilt in full by hand; the
// sort handles a file would store, a copy of the table and a fresh table given them agree with it.
TEST_F(Containers, DrawOrderMovesAgreeWithTheOrderRebuiltInFull) {
    std::vector<AcDbObjectId> ids;
    for (int i = 0; i < 6; ++i) ids.push_back(append(new AcDbLine));
    AcDbSortentsTable sort;
    sort.setBlockId(db.modelSpaceId());
    std::vector<AcDbObjectId> expected = ids;
    enum Op { Bottom, Top, Below, Above, Swap, Erase };
    struct Case {
        Op op;
        std::vector<int> moved; // indexes into ids, in the order given to the table
        int target;
    };
    const Case cases[] = {
        {Bottom, {5}, -1},    {Bottom, {3}, -1}, {Top, {5}, -1},       {Bottom, {2, 0}, -1}, // group: 0 stays under 2
        {Top, {1, 1, 4}, -1}, {Below, {3}, 4},   {Bottom, {4}, -1},    {Swap, {0}, 5},
        {Above, {2}, 1},      {Erase, {3}, -1},  {Bottom, {5, 1}, -1}, {Top, {0}, -1},
    };
    auto position = [&](AcDbObjectId id) { return std::find(expected.begin(), expected.end(), id); };
    for (const Case& c : cases) {
        AcDbObjectIdArray move;
        for (int i : c.moved) move.append(ids[size_t(i)]);
        std::vector<AcDbObjectId> group; // the moved ones as they stand, bottom first
        for (AcDbObjectId id : expected)
            if (move.contains(id)) group.push_back(id);
        std::vector<AcDbObjectId> rest;
        for (AcDbObjectId id : expected)
            if (!move.contains(id)) rest.push_back(id);
        switch (c.op) {
            case Bottom:
                ASSERT_EQ(sort.moveToBottom(move), Acad::eOk);
                expected = group;
                expected.insert(expected.end(), rest.begin(), rest.end());
                break;
            case Top:
                ASSERT_EQ(sort.moveToTop(move), Acad::eOk);
                expected = rest;
                expected.insert(expected.end(), group.begin(), group.end());
                break;
            case Below:
            case Above: {
                const AcDbObjectId target = ids[size_t(c.target)];
                ASSERT_EQ(c.op == Below ? sort.moveBelow(move, target) : sort.moveAbove(move, target), Acad::eOk);
                auto at = std::find(rest.begin(), rest.end(), target) + (c.op == Above ? 1 : 0);
                rest.insert(at, group.begin(), group.end());
                expected = rest;
                break;
            }
            case Swap:
                ASSERT_EQ(sort.swapOrder(ids[size_t(c.moved[0])], ids[size_t(c.target)]), Acad::eOk);
                std::iter_swap(position(ids[size_t(c.moved[0])]), position(ids[size_t(c.target)]));
                break;
            case Erase:
                ASSERT_EQ(eraseObject(ids[size_t(c.moved[0])]), Acad::eOk);
                expected.erase(position(ids[size_t(c.moved[0])]));
                break;
        }
        AcDbObjectIdArray order;
        ASSERT_EQ(sort.getFullDrawOrder(order), Acad::eOk);
        ASSERT_EQ(order.vec(), expected) << "after case " << (&c - cases);
    }
    std::unique_ptr<AcDbSortentsTable> copy(AcDbSortentsTable::cast(sort.clone()));
    AcDbSortentsTable stored;
    stored.setBlockId(db.modelSpaceId());
    stored.setEntries(sort.entries());
    for (AcDbSortentsTable* again : {copy.get(), &stored}) {
        AcDbObjectIdArray order;
        again->getFullDrawOrder(order);
        EXPECT_EQ(order.vec(), expected);
    }
    // Sort handles rise from bottom to top.
    std::vector<std::uint64_t> handles;
    for (AcDbObjectId id : expected) {
        AcDbHandle h;
        ASSERT_EQ(sort.getSortHandle(id, h), Acad::eOk);
        handles.push_back(h.value());
    }
    EXPECT_TRUE(std::is_sorted(handles.begin(), handles.end()));
    // An entity of another block, or erased, is refused and moves nothing.
    AcDbObjectIdArray move;
    move.append(ids[0]);
    move.append(ids[3]);
    EXPECT_EQ(sort.moveToTop(move), Acad::eInvalidInput);
    AcDbObjectIdArray order;
    sort.getFullDrawOrder(order);
    EXPECT_EQ(order.vec(), expected);
}

TEST_F(Containers, HatchLoopsFromCurvesAndTransforms) {
    // A chain of a line and an arc closing a half disc.
    AcDbObjectId line = append(new AcDbLine(AcGePoint3d(-1, 0, 0), AcGePoint3d(1, 0, 0)));
    AcDbObjectId arc = append(new AcDbArc(AcGePoint3d(0, 0, 0), 1, 0, M_PI));
    AcDbObjectId circle = append(new AcDbCircle(AcGePoint3d(10, 0, 0), AcGeVector3d::kZAxis, 2));
    AcDbHatch hatch;
    hatch.setAssociative(true);
    ASSERT_EQ(hatch.setPattern(AcDbHatch::kPreDefined, L"ANSI31"), Acad::eOk);
    AcDbObjectIdArray chain;
    chain.append(line);
    chain.append(arc);
    ASSERT_EQ(hatch.appendLoop(AcDbHatch::kExternal, chain), Acad::eOk);
    AcDbObjectIdArray ring;
    ring.append(circle);
    ASSERT_EQ(hatch.appendLoop(AcDbHatch::kExternal, ring), Acad::eOk);
    AcDbObjectIdArray assoc;
    hatch.getAssocObjIdsAt(0, assoc);
    EXPECT_EQ(assoc.length(), 2);

    AcDbExtents ext;
    ASSERT_EQ(hatch.getGeomExtents(ext), Acad::eOk);
    EXPECT_NEAR(ext.minPoint().y, -2, 1e-9);
    EXPECT_NEAR(ext.maxPoint().x, 12, 1e-9);
    EXPECT_NEAR(ext.minPoint().x, -1, 1e-9);

    // The half disc's area from its loop: pi / 2.
    AcGePoint2dArray pts;
    AcGeDoubleArray bulges;
    Adesk::Int32 type = 0;
    ASSERT_EQ(hatch.getLoopAt(0, type, pts, bulges), Acad::eOk);
    cadgeom::BulgePath p;
    p.closed = true;
    for (int i = 0; i < pts.length(); ++i) p.vertices.push_back({pts[i], bulges[i]});
    EXPECT_NEAR(std::abs(cadgeom::pathSignedArea(p)), M_PI / 2, 1e-9);

    // A chain with a gap is refused.
    AcDbObjectId far = append(new AcDbLine(AcGePoint3d(5, 5, 0), AcGePoint3d(6, 6, 0)));
    AcDbObjectIdArray broken;
    broken.append(line);
    broken.append(far);
    EXPECT_EQ(hatch.appendLoop(AcDbHatch::kExternal, broken), Acad::eNotClosedPath);

    // Moving and turning the hatch moves its loops and turns its pattern.
    ASSERT_EQ(hatch.transformBy(AcGeMatrix3d::translation(AcGeVector3d(100, 0, 0)) *
                                AcGeMatrix3d::rotation(M_PI / 2, AcGeVector3d::kZAxis)),
              Acad::eOk);
    hatch.getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().x, 98, 1e-9);
    EXPECT_NEAR(hatch.patternAngle(), M_PI / 2, 1e-9);
    double angle, bx, by, ox, oy;
    AcGeDoubleArray dashes;
    ASSERT_EQ(hatch.getPatternDefinitionAt(0, angle, bx, by, ox, oy, dashes), Acad::eOk);
    EXPECT_NEAR(angle, M_PI / 4 + M_PI / 2, 1e-9);
    EXPECT_NEAR(std::hypot(ox, oy), 0.125, 1e-9);
    EXPECT_EQ(hatch.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 1))), Acad::eCannotScaleNonUniformly);
}

TEST_F(Containers, UserDefinedHatchSpacing) {
    AcDbHatch h;
    ASSERT_EQ(h.setPatternSpace(10), Acad::eOk);
    ASSERT_EQ(h.setPattern(AcDbHatch::kUserDefined, L"_USER"), Acad::eOk);
    h.setPatternDouble(true);
    EXPECT_EQ(h.numPatternDefinitions(), 2);
    AcGePoint2dArray pts;
    pts.append(AcGePoint2d(0, 0));
    pts.append(AcGePoint2d(100, 0));
    pts.append(AcGePoint2d(100, 100));
    pts.append(AcGePoint2d(0, 100));
    ASSERT_EQ(h.appendLoop(AcDbHatch::kExternal, pts, AcGeDoubleArray()), Acad::eOk);
    EXPECT_NEAR(h.estimatedLineCount(), 20, 1e-9);
    EXPECT_EQ(h.evaluateHatch(), Acad::eOk);
    EXPECT_EQ(h.setPattern(AcDbHatch::kCustomDefined, L"MYPAT"), Acad::eUnknownPattern);
}

TEST_F(Containers, LayoutsAndPlotSettingsKeepTheirFields) {
    AcDbDictionary* layouts = nullptr;
    ASSERT_EQ(db.getLayoutDictionary(layouts, AcDb::kForRead), Acad::eOk);
    AcDbObjectId layoutId;
    ASSERT_EQ(layouts->getAt(L"Layout1", layoutId), Acad::eOk);
    layouts->close();
    AcDbLayout* layout = nullptr;
    ASSERT_EQ(acdbOpenObject(layout, layoutId, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(layout->getBlockTableRecordId(), db.paperSpaceId());
    layout->setPlotCfgName(L"DWG To PDF.pc3");
    layout->setCanonicalMediaName(L"ISO_A3_(420.00_x_297.00_MM)");
    layout->setPlotType(AcDbPlotSettings::kExtents);
    layout->setStdScaleType(AcDbPlotSettings::k1_100);
    layout->setPlotCentered(true);
    layout->setPlotRotation(AcDbPlotSettings::k90degrees);
    EXPECT_EQ(layout->setLayoutName(L""), Acad::eInvalidInput);
    layout->close();

    ASSERT_EQ(acdbOpenObject(layout, layoutId, AcDb::kForRead), Acad::eOk);
    const ACHAR* s = nullptr;
    layout->getPlotCfgName(s);
    EXPECT_STREQ(s, L"DWG To PDF.pc3");
    layout->getCanonicalMediaName(s);
    EXPECT_STREQ(s, L"ISO_A3_(420.00_x_297.00_MM)");
    EXPECT_EQ(layout->plotType(), AcDbPlotSettings::kExtents);
    EXPECT_EQ(layout->stdScaleType(), AcDbPlotSettings::k1_100);
    EXPECT_TRUE(layout->plotCentered());
    EXPECT_EQ(layout->plotRotation(), AcDbPlotSettings::k90degrees);
    EXPECT_STREQ(layout->getLayoutName(), L"Layout1");
    layout->close();
    EXPECT_EQ(db.writeViolations(), 0);
}

TEST_F(Containers, LoadingBypassesChecksAndLeavesNothingOpen) {
    AcDbDatabase file(false);
    file.setLoading(true);
    file.completeDefaults();
    AcDbLayerTable* lt = nullptr;
    ASSERT_EQ(file.getLayerTable(lt, AcDb::kForRead), Acad::eOk);
    // Names other programs write (xref layers with '|') are kept while loading.
    auto* rec = new AcDbLayerTableRecord;
    ASSERT_EQ(rec->setName(L"XREF|WALLS"), Acad::eOk);
    AcDbObjectId id;
    ASSERT_EQ(lt->add(id, rec), Acad::eOk);
    lt->close();
    auto* line = new AcDbLine;
    line->setLayerNameOnly(L"XREF|WALLS");
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, file.modelSpaceId(), AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(ms->appendAcDbEntity(line), Acad::eOk);
    ms->close();
    EXPECT_EQ(line->layerId(), id);
    EXPECT_EQ(file.openObjectCount(), 0);
    EXPECT_EQ(file.writeViolations(), 0);
    file.setLoading(false);
    AcDbLayerTableRecord* r = nullptr;
    ASSERT_EQ(acdbOpenObject(r, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(r->setName(L"OTHER|NAME"), Acad::eInvalidSymbolTableName);
    r->close();
}

} // namespace

namespace {

TEST(HatchEdges, ArcEdgesFollowMirrors) {
    // A half disc as a file gives it: a line edge and a counter-clockwise arc edge.
    AcDbHatchLoop loop;
    loop.type = AcDbHatch::kExternal;
    AcDbHatchEdge line;
    line.type = AcDbHatchEdge::kLine;
    line.start = AcGePoint2d(-1, 0);
    line.end = AcGePoint2d(1, 0);
    AcDbHatchEdge arc;
    arc.type = AcDbHatchEdge::kCirArc;
    arc.center = AcGePoint2d(0, 0);
    arc.radius = 1;
    arc.startAngle = 0;
    arc.endAngle = M_PI;
    loop.edges = {line, arc};
    AcDbHatch h;
    h.appendLoop(loop);
    AcDbExtents ext;
    h.getGeomExtents(ext);
    EXPECT_NEAR(ext.maxPoint().y, 1, 1e-9);

    // Mirrored in the X axis the half disc hangs below it, traced the other way round.
    ASSERT_EQ(h.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(1, -1, 1))), Acad::eOk);
    EXPECT_FALSE(h.loops()[0].edges[1].ccw);
    h.getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().y, -1, 1e-9);
    EXPECT_NEAR(ext.maxPoint().y, 0, 1e-9);
    cadgeom::BulgePath p = h.loops()[0].path();
    EXPECT_NEAR(std::abs(cadgeom::pathSignedArea(p)), M_PI / 2, 1e-9);
    // Turned back by a rotation, the clockwise arc keeps its shape.
    ASSERT_EQ(h.transformBy(AcGeMatrix3d::rotation(M_PI, AcGeVector3d::kZAxis)), Acad::eOk);
    h.getGeomExtents(ext);
    EXPECT_NEAR(ext.maxPoint().y, 1, 1e-9);
    EXPECT_NEAR(ext.minPoint().y, 0, 1e-9);
    EXPECT_NEAR(std::abs(cadgeom::pathSignedArea(h.loops()[0].path())), M_PI / 2, 1e-9);
}

TEST(HatchEdges, EdgesOutOfOrderAndDirectionStillTraceTheOutline) {
    // A unit square with a half-disc on its top side, its edges listed in no order and two of them
    // running backwards, as some programs store them.
    auto line = [](double x0, double y0, double x1, double y1) {
        AcDbHatchEdge e;
        e.type = AcDbHatchEdge::kLine;
        e.start = AcGePoint2d(x0, y0);
        e.end = AcGePoint2d(x1, y1);
        return e;
    };
    AcDbHatchEdge top;
    top.type = AcDbHatchEdge::kCirArc;
    top.center = AcGePoint2d(0.5, 1);
    top.radius = 0.5;
    top.startAngle = 0;
    top.endAngle = M_PI;
    AcDbHatchLoop loop;
    loop.edges = {line(0, 0, 1, 0), line(0, 0, 0, 1), top, line(1, 1, 1, 0)};
    EXPECT_NEAR(std::abs(cadgeom::pathSignedArea(loop.path())), 1 + M_PI / 8, 1e-9);
    loop.edges = {top, line(1, 0, 0, 0), line(1, 1, 1, 0), line(0, 1, 0, 0)};
    EXPECT_NEAR(std::abs(cadgeom::pathSignedArea(loop.path())), 1 + M_PI / 8, 1e-9);
}

TEST(HatchEdges, EllipseEdgeAnglesAreAnglesNotParameters) {
    // An ellipse twice as wide as high: the point at 45 degrees lies on the diagonal.
    AcDbHatchEdge e;
    e.type = AcDbHatchEdge::kEllArc;
    e.majorAxis = AcGeVector2d(2, 0);
    e.minorRatio = 0.5;
    e.startAngle = M_PI / 4;
    e.endAngle = M_PI;
    AcDbHatchLoop loop;
    loop.edges = {e};
    cadgeom::BulgePath p = loop.path();
    ASSERT_FALSE(p.vertices.empty());
    EXPECT_NEAR(p.vertices[0].pt.x, p.vertices[0].pt.y, 1e-9);
    EXPECT_NEAR(p.vertices[0].pt.x, 2 / std::sqrt(5.0), 1e-9);
    // The whole ellipse encloses pi * a * b.
    loop.edges[0].startAngle = 0;
    loop.edges[0].endAngle = 2 * M_PI;
    EXPECT_NEAR(std::abs(cadgeom::pathSignedArea(loop.path())), M_PI * 2, 0.05);
}

} // namespace
