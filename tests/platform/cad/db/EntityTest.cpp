#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "CadTestFixture.h"
#include "cad/AcDb.h"

namespace {

class Entities : public CadTestFixture {
protected:
    static std::vector<AcGePoint2d> box(double x0, double y0, double x1, double y1) {
        return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    }

    static bool insideBox(const std::vector<cadgeom::BulgePath>& paths, const std::vector<AcGePoint2d>& poly) {
        if (paths.empty()) return false;
        for (const auto& p : paths)
            if (!cadgeom::pathInsidePolygon(p, poly)) return false;
        return true;
    }

    static bool crossesBox(const std::vector<cadgeom::BulgePath>& paths, const std::vector<AcGePoint2d>& poly) {
        for (const auto& p : paths)
            if (cadgeom::pathCrossesPolygon(p, poly)) return true;
        return false;
    }
};

TEST_F(Entities, PolylineParametersAlongArcs) {
    // Two half circles make a circle of radius 1 around (1, 0).
    AcDbPolyline pl;
    pl.addVertexAt(0, AcGePoint2d(0, 0), 1.0);
    pl.addVertexAt(1, AcGePoint2d(2, 0), 1.0);
    pl.setClosed(true);
    double area = 0, end = 0, len = 0;
    pl.getArea(area);
    EXPECT_NEAR(area, M_PI, 1e-9);
    pl.getEndParam(end);
    EXPECT_DOUBLE_EQ(end, 2.0);
    pl.getDistAtParam(0.5, len);
    EXPECT_NEAR(len, M_PI / 2, 1e-9);
    AcGePoint3d q;
    // Counter-clockwise from (0,0) to (2,0): the first half runs below the centre.
    pl.getPointAtParam(0.5, q);
    EXPECT_TRUE(q.isEqualTo(AcGePoint3d(1, -1, 0), AcGeTol()));
    EXPECT_EQ(pl.getDistAtParam(2.5, len), Acad::eInvalidInput);
    AcDbExtents ext;
    pl.getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().y, -1, 1e-9);
    EXPECT_NEAR(ext.maxPoint().y, 1, 1e-9);

    AcDbPolyline empty;
    EXPECT_EQ(empty.getEndParam(end), Acad::eDegenerateGeometry);
    empty.getArea(area);
    EXPECT_EQ(area, 0);
}

TEST_F(Entities, PolylineInAPlaneFacingDown) {
    // A polyline whose normal is -Z keeps its vertices in its own plane coordinates: x runs the other way.
    AcDbPolyline pl;
    pl.setNormal(AcGeVector3d(0, 0, -1));
    pl.setElevation(2);
    pl.addVertexAt(0, AcGePoint2d(1, 1));
    AcGePoint3d w;
    pl.getPointAt(0, w);
    EXPECT_TRUE(w.isEqualTo(AcGePoint3d(-1, 1, -2), AcGeTol()));
    AcGePoint2d local;
    pl.getPointAt(0, local);
    EXPECT_TRUE(local.isEqualTo(AcGePoint2d(1, 1)));
}

TEST_F(Entities, PolylineWidthsScaleWithTheDrawing) {
    AcDbPolyline pl;
    pl.addVertexAt(0, AcGePoint2d(0, 0), 0, 1, 2);
    pl.addVertexAt(1, AcGePoint2d(1, 0));
    ASSERT_EQ(pl.transformBy(AcGeMatrix3d::scaling(10)), Acad::eOk);
    double s = 0, e = 0;
    pl.getWidthsAt(0, s, e);
    EXPECT_NEAR(s, 10, 1e-9);
    EXPECT_NEAR(e, 20, 1e-9);
    EXPECT_EQ(pl.setWidthsAt(0, -1, 0), Acad::eInvalidInput);
    // The extents cover the width.
    AcDbExtents ext;
    pl.getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().y, -10, 1e-9);
    EXPECT_NEAR(ext.maxPoint().x, 20, 1e-9);
    EXPECT_EQ(pl.addVertexAt(5, AcGePoint2d(0, 0)), Acad::eInvalidIndex);
}

TEST_F(Entities, CirclesRefuseUnevenScaling) {
    AcDbCircle c(AcGePoint3d(1, 1, 0), AcGeVector3d::kZAxis, 2);
    EXPECT_EQ(c.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(1, 2, 1))), Acad::eCannotScaleNonUniformly);
    EXPECT_DOUBLE_EQ(c.radius(), 2);
    ASSERT_EQ(c.transformBy(AcGeMatrix3d::scaling(3, AcGePoint3d(1, 1, 0))), Acad::eOk);
    EXPECT_DOUBLE_EQ(c.radius(), 6);
    EXPECT_TRUE(c.center().isEqualTo(AcGePoint3d(1, 1, 0)));
    double area = 0;
    c.getArea(area);
    EXPECT_NEAR(area, 36 * M_PI, 1e-9);
}

TEST_F(Entities, ArcTurnedAndMovedKeepsItsEnds) {
    AcDbArc arc(AcGePoint3d(0, 0, 0), 1, 0, M_PI / 2);
    AcGeMatrix3d m =
        AcGeMatrix3d::translation(AcGeVector3d(5, 0, 0)) * AcGeMatrix3d::rotation(M_PI / 2, AcGeVector3d::kZAxis);
    AcGePoint3d s0, e0;
    arc.getStartPoint(s0);
    arc.getEndPoint(e0);
    ASSERT_EQ(arc.transformBy(m), Acad::eOk);
    AcGePoint3d s1, e1;
    arc.getStartPoint(s1);
    arc.getEndPoint(e1);
    EXPECT_TRUE(s1.isEqualTo(m * s0, AcGeTol()));
    EXPECT_TRUE(e1.isEqualTo(m * e0, AcGeTol()));
    double len = 0, end = 0;
    arc.getEndParam(end);
    arc.getDistAtParam(end, len);
    EXPECT_NEAR(len, M_PI / 2, 1e-9);
}

TEST_F(Entities, TextMirroredReadsBackwards) {
    AcDbText t(AcGePoint3d(10, 0, 0), L"ROOM", AcDbObjectId(), 2.0, 0);
    ASSERT_EQ(t.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(-1, 1, 1))), Acad::eOk);
    EXPECT_TRUE(t.position().isEqualTo(AcGePoint3d(-10, 0, 0)));
    EXPECT_TRUE(t.isMirroredInX());
    EXPECT_TRUE(t.normal().isEqualTo(AcGeVector3d::kZAxis));
    EXPECT_NEAR(t.height(), 2.0, 1e-12);
}

TEST_F(Entities, AttributesFromDefinitionsFollowTheInsert) {
    AcDbObjectId def = defineBlock(L"ROOM-X", AcGePoint3d(0, 0, 0));
    auto* ad = new AcDbAttributeDefinition(AcGePoint3d(0, -375, 0), L"DEFAULT NAME", L"NAME", L"Enter Name");
    ad->setHeight(250);
    ad->setFieldLength(25);
    AcDbObjectId adId = append(ad, def);

    auto* ref = new AcDbBlockReference(AcGePoint3d(1000, 2000, 0), def);
    ref->setRotation(M_PI / 2);
    AcDbObjectId refId = append(ref);

    AcDbBlockReference* r = nullptr;
    ASSERT_EQ(acdbOpenObject(r, refId, AcDb::kForWrite), Acad::eOk);
    AcDbAttributeDefinition* d = nullptr;
    ASSERT_EQ(acdbOpenObject(d, adId, AcDb::kForRead), Acad::eOk);
    auto* att = new AcDbAttribute;
    ASSERT_EQ(att->setAttributeFromBlock(d, r->blockTransform()), Acad::eOk);
    d->close();
    EXPECT_STREQ(att->tagConst(), L"NAME");
    EXPECT_STREQ(att->textStringConst(), L"DEFAULT NAME");
    EXPECT_EQ(att->fieldLength(), 25);
    // (0, -375) turned a quarter turn and moved: (1375, 2000).
    EXPECT_TRUE(att->position().isEqualTo(AcGePoint3d(1375, 2000, 0), AcGeTol()));
    EXPECT_NEAR(att->rotation(), M_PI / 2, 1e-9);
    AcDbObjectId attId;
    ASSERT_EQ(r->appendAttribute(attId, att), Acad::eOk);
    att->close();

    AcDbObjectIterator* it = r->attributeIterator();
    int n = 0;
    for (; !it->done(); it->step()) {
        EXPECT_EQ(it->objectId(), attId);
        ++n;
    }
    delete it;
    EXPECT_EQ(n, 1);
    // Moving the insert carries its attributes.
    ASSERT_EQ(r->transformBy(AcGeMatrix3d::translation(AcGeVector3d(0, 100, 0))), Acad::eOk);
    AcDbAttribute* a = nullptr;
    ASSERT_EQ(r->openAttribute(a, attId, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(a->position().isEqualTo(AcGePoint3d(1375, 2100, 0), AcGeTol()));
    a->close();
    // An id that is not one of its attributes is refused.
    EXPECT_EQ(r->openAttribute(a, adId, AcDb::kForRead), Acad::eInvalidInput);
    r->close();
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST_F(Entities, AttributesAppendedBeforeTheInsertJoinsTheDatabase) {
    AcDbObjectId def = defineBlock(L"MARKER");
    auto* ref = new AcDbBlockReference(AcGePoint3d(0, 0, 0), def);
    auto* att = new AcDbAttribute(AcGePoint3d(0, 0, 0), L"500", L"LEGENDTEXTSIZE");
    ASSERT_EQ(ref->appendAttribute(att), Acad::eOk);
    AcDbObjectId refId = append(ref);
    AcDbBlockReference* r = nullptr;
    ASSERT_EQ(acdbOpenObject(r, refId, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(r->attributeIds().size(), 1u);
    EXPECT_EQ(r->attributeIds()[0], att->objectId());
    EXPECT_EQ(att->ownerId(), refId);
    r->close();
    EXPECT_EQ(db.openObjectCount(), 0);

    // An insert never added to a database frees its attributes with it.
    auto* loose = new AcDbBlockReference(AcGePoint3d(0, 0, 0), def);
    loose->appendAttribute(new AcDbAttribute(AcGePoint3d(), L"x", L"T"));
    delete loose;
}

TEST_F(Entities, SelectionGeometryOfInsertsUsesTheDefinition) {
    AcDbObjectId def = defineBlock(L"ROOM-SEL", AcGePoint3d(10, 10, 0));
    auto* pl = new AcDbPolyline;
    pl->addVertexAt(0, AcGePoint2d(10, 10));
    pl->addVertexAt(1, AcGePoint2d(20, 10));
    pl->addVertexAt(2, AcGePoint2d(20, 20));
    pl->addVertexAt(3, AcGePoint2d(10, 20));
    pl->setClosed(true);
    append(pl, def);
    append(new AcDbAttributeDefinition(AcGePoint3d(10, 10, 0), L"X", L"TAG", L"P"), def);

    auto* ref = new AcDbBlockReference(AcGePoint3d(100, 100, 0), def);
    ref->setScaleFactors(AcGeScale3d(2, 2, 1));
    AcDbObjectId refId = append(ref);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, refId, AcDb::kForRead), Acad::eOk);
    std::vector<cadgeom::BulgePath> paths;
    e->getSelectionGeometry(paths, AcGeMatrix3d::kIdentity);
    ASSERT_EQ(paths.size(), 1u); // the attribute definition is not drawn
    EXPECT_TRUE(insideBox(paths, box(99, 99, 121, 121)));
    EXPECT_FALSE(insideBox(paths, box(99, 99, 115, 121)));
    EXPECT_TRUE(crossesBox(paths, box(99, 99, 115, 121)));
    EXPECT_FALSE(crossesBox(paths, box(0, 0, 50, 50)));
    AcDbExtents ext;
    ASSERT_EQ(e->getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(ext.minPoint().isEqualTo(AcGePoint3d(100, 100, 0), AcGeTol()));
    EXPECT_TRUE(ext.maxPoint().isEqualTo(AcGePoint3d(120, 120, 0), AcGeTol()));
    e->close();
}

TEST_F(Entities, AnInsertsExtentsHoldTheTablesAndConstantTextsItShows) {
    // A legend: a table 40 wide and 20 high hanging from the base point, a constant title above it,
    // and an attribute definition that shows only through attributes (there are none).
    AcDbObjectId def = defineBlock(L"LEGEND");
    auto* table = new AcDbTable;
    table->setSize(2, 1);
    table->setColumnWidth(40);
    table->setRowHeight(10);
    table->setPosition(AcGePoint3d::kOrigin);
    append(table, def);
    auto* title = new AcDbAttributeDefinition(AcGePoint3d(0, 10, 0), L"ABCDE", L"TITLE", L"");
    title->setHeight(10);
    title->setConstant(true);
    append(title, def);
    append(new AcDbAttributeDefinition(AcGePoint3d(500, 500, 0), L"FAR", L"FAR", L"P"), def);

    // Turned a quarter about (100,100): (x, y) lies at (100 - y, 100 + x).
    auto* ref = new AcDbBlockReference(AcGePoint3d(100, 100, 0), def);
    ref->setRotation(std::acos(-1.0) / 2);
    AcDbObjectId refId = append(ref);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, refId, AcDb::kForRead), Acad::eOk);
    AcDbExtents ext;
    ASSERT_EQ(e->getGeomExtents(ext), Acad::eOk);
    // The title's five letters are taken as 0.8 of its height each.
    EXPECT_TRUE(ext.minPoint().isEqualTo(AcGePoint3d(80, 100, 0), AcGeTol()))
        << ext.minPoint().x << "," << ext.minPoint().y;
    EXPECT_TRUE(ext.maxPoint().isEqualTo(AcGePoint3d(120, 140, 0), AcGeTol()))
        << ext.maxPoint().x << "," << ext.maxPoint().y;
    e->close();
}

TEST_F(Entities, MultipleInsertsRepeatTheDefinition) {
    AcDbObjectId def = defineBlock(L"DESK");
    append(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)), def);
    AcDbMInsertBlock m(AcGePoint3d(0, 0, 0), def, 3, 2, 10, 5);
    EXPECT_STREQ(m.isA()->name(), L"AcDbMInsertBlock");
    EXPECT_TRUE(m.isKindOf(AcDbBlockReference::desc()));
    EXPECT_STREQ(m.dxfTypeName(), L"INSERT");
    AcDbExtents ext;
    ASSERT_EQ(m.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(ext.maxPoint().isEqualTo(AcGePoint3d(21, 6, 0), AcGeTol()));
    std::vector<cadgeom::BulgePath> paths;
    m.getSelectionGeometry(paths, AcGeMatrix3d::kIdentity);
    EXPECT_EQ(paths.size(), 6u);
}

TEST_F(Entities, SelectionGeometryOfArcsUnderUnevenScale) {
    // A circle in an insert scaled 2:1 becomes an ellipse: approximated, still crossing where it should.
    AcDbObjectId def = defineBlock(L"COLUMN");
    append(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1), def);
    AcDbBlockReference ref(AcGePoint3d(0, 0, 0), def);
    ref.setScaleFactors(AcGeScale3d(4, 1, 1));
    std::vector<cadgeom::BulgePath> paths;
    ref.getSelectionGeometry(paths, AcGeMatrix3d::kIdentity);
    ASSERT_EQ(paths.size(), 1u);
    // The vertical line x = 3 cuts the ellipse; it would miss a circle of radius 1 or 2.
    EXPECT_TRUE(crossesBox(paths, box(3, -1, 3.01, 0)));
    EXPECT_FALSE(crossesBox(paths, box(4.1, -1, 5, 1)));
    // Uniformly scaled, the circle stays exact.
    ref.setScaleFactors(AcGeScale3d(2, 2, 2));
    paths.clear();
    ref.getSelectionGeometry(paths, AcGeMatrix3d::kIdentity);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].vertices.size(), 2u);
    EXPECT_TRUE(insideBox(paths, box(-2.01, -2.01, 2.01, 2.01)));
    EXPECT_TRUE(crossesBox(paths, box(-1.99, -1.99, 1.99, 1.99)));
}

TEST_F(Entities, PropertiesFromAnotherEntity) {
    AcDbLayerTable* lt = nullptr;
    ASSERT_EQ(db.getLayerTable(lt, AcDb::kForWrite), Acad::eOk);
    auto* rec = new AcDbLayerTableRecord;
    rec->setName(L"ATT-AREA");
    AcDbObjectId layer;
    lt->add(layer, rec);
    rec->close();
    lt->close();

    AcDbLine src(AcGePoint3d(), AcGePoint3d(1, 0, 0));
    ASSERT_EQ(src.setLayer(L"ATT-AREA"), Acad::eOk);
    src.setColorIndex(3);
    src.setLineWeight(AcDb::kLnWt050);
    src.setVisibility(AcDb::kInvisible);
    AcDbText dst;
    ASSERT_EQ(dst.setPropertiesFrom(&src), Acad::eOk);
    EXPECT_EQ(dst.layerId(), layer);
    EXPECT_EQ(dst.colorIndex(), 3);
    EXPECT_EQ(dst.lineWeight(), AcDb::kLnWt050);
    EXPECT_EQ(dst.visibility(), AcDb::kInvisible);
    // The layer set here survives joining the database (no switch to the current layer).
    AcDbObjectId id = append(new AcDbText(dst.position(), L"x"));
    AcDbText* t = nullptr;
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForWrite), Acad::eOk);
    t->setPropertiesFrom(&src);
    t->close();
    ASSERT_EQ(acdbOpenObject(t, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(t->layerId(), layer);
    EXPECT_EQ(t->textStyle(), db.textStyleId(L"Standard"));
    t->close();
}

TEST_F(Entities, ClassNamesAndCasts) {
    AcDbPolyline pl;
    AcDbEntity* e = &pl;
    EXPECT_STREQ(e->isA()->name(), L"AcDbPolyline");
    EXPECT_STREQ(e->dxfTypeName(), L"LWPOLYLINE");
    EXPECT_NE(AcDbCurve::cast(e), nullptr);
    EXPECT_EQ(AcDbBlockReference::cast(e), nullptr);
    EXPECT_EQ(AcDbPolyline::cast(nullptr), nullptr);
    AcDbAttribute att;
    EXPECT_TRUE(att.isKindOf(AcDbText::desc()));
    EXPECT_STREQ(att.isA()->name(), L"AcDbAttribute");
    AcDbTable table;
    EXPECT_STREQ(table.isA()->name(), L"AcDbTable");
    EXPECT_STREQ(AcDbHatch::desc()->name(), L"AcDbHatch");
    EXPECT_STREQ(AcDbViewport::desc()->dxfName(), L"VIEWPORT");
    AcDbRawEntity raw(L"SPLINE", {{10, L"1.5"}, {20, L"2"}, {30, L"0"}, {10, L"4"}, {20, L"-1"}, {30, L"0"}});
    EXPECT_STREQ(raw.dxfTypeName(), L"SPLINE");
    AcDbExtents ext;
    ASSERT_EQ(raw.getGeomExtents(ext), Acad::eOk);
    EXPECT_TRUE(ext.minPoint().isEqualTo(AcGePoint3d(1.5, -1, 0)));
    EXPECT_EQ(raw.transformBy(AcGeMatrix3d::scaling(2)), Acad::eNotApplicable);
}

} // namespace

namespace {

TEST(RawEntities, OldStylePolylinesUseTheirVerticesNotTheDummyPoint) {
    // A closed 2D polyline at elevation 0: a 10-unit square far from the origin, one side bulged outwards.
    AcDbDxfTags tags = {{10, L"0"},   {20, L"0"},     {30, L"0"},     {70, L"1"},    {0, L"VERTEX"}, {10, L"100"},
                        {20, L"100"}, {30, L"0"},     {0, L"VERTEX"}, {10, L"110"},  {20, L"100"},   {30, L"0"},
                        {42, L"1"},   {0, L"VERTEX"}, {10, L"110"},   {20, L"110"},  {30, L"0"},     {0, L"VERTEX"},
                        {10, L"100"}, {20, L"110"},   {30, L"0"},     {0, L"SEQEND"}};
    AcDbRawEntity pl(L"POLYLINE", tags);
    AcDbExtents ext;
    ASSERT_EQ(pl.getGeomExtents(ext), Acad::eOk);
    EXPECT_NEAR(ext.minPoint().x, 100, 1e-9); // not pulled to the origin
    EXPECT_NEAR(ext.maxPoint().x, 115, 1e-9); // the half circle's extreme
    std::vector<cadgeom::BulgePath> paths;
    pl.getSelectionGeometry(paths, AcGeMatrix3d::kIdentity);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_TRUE(paths[0].closed);
    EXPECT_NEAR(std::abs(cadgeom::pathSignedArea(paths[0])), 100 + M_PI * 25 / 2, 1e-6);
}

TEST(RawEntities, AreNamedAsTheHostNamesEntitiesOfTheirTypeAndStillCastAsKeptOnes) {
    const struct Case {
        const wchar_t* type;
        const wchar_t* flags; // group 70, or none
        const wchar_t* named;
    } cases[] = {
        {L"POLYLINE", L"1", L"AcDb2dPolyline"},         {L"POLYLINE", L"9", L"AcDb3dPolyline"},
        {L"POLYLINE", L"16", L"AcDbPolygonMesh"},       {L"POLYLINE", L"64", L"AcDbPolyFaceMesh"},
        {L"DIMENSION", L"32", L"AcDbRotatedDimension"}, {L"DIMENSION", L"33", L"AcDbAlignedDimension"},
        {L"ELLIPSE", nullptr, L"AcDbEllipse"},          {L"CUSTOM_THING", nullptr, L"AcDbProxyEntity"},
    };
    for (const Case& c : cases) {
        AcDbDxfTags tags = {{10, L"0"}, {20, L"0"}, {30, L"0"}};
        if (c.flags) tags.emplace_back(70, c.flags);
        AcDbRawEntity raw(c.type, tags);
        EXPECT_STREQ(raw.isA()->name(), c.named) << c.type << " " << (c.flags ? c.flags : L"");
        EXPECT_EQ(AcDbRawEntity::cast(&raw), &raw);
        EXPECT_TRUE(raw.isKindOf(AcDbEntity::desc()));
        EXPECT_STREQ(raw.dxfTypeName(), c.type);
    }
}

TEST(RawEntities, EllipsesAndEndlessLines) {
    // Centre (50, 20), major axis 10 along X, ratio 0.5: x 40..60, y 15..25.
    AcDbRawEntity e(L"ELLIPSE", {{10, L"50"},
                                 {20, L"20"},
                                 {30, L"0"},
                                 {11, L"10"},
                                 {21, L"0"},
                                 {31, L"0"},
                                 {40, L"0.5"},
                                 {41, L"0"},
                                 {42, L"6.283185307179586"}});
    AcDbExtents ext;
    ASSERT_EQ(e.getGeomExtents(ext), Acad::eOk);
    EXPECT_NEAR(ext.minPoint().x, 40, 1e-6);
    EXPECT_NEAR(ext.maxPoint().y, 25, 1e-2);
    AcDbRawEntity ray(L"XLINE", {{10, L"1"}, {20, L"1"}, {30, L"0"}, {11, L"1"}, {21, L"0"}, {31, L"0"}});
    EXPECT_EQ(ray.getGeomExtents(ext), Acad::eInvalidExtents);
}

TEST_F(Entities, LayerNamesStayWithEachCopyWhateverHappensToTheOthers) {
    auto* a = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    a->setLayerNameOnly(L"Walls-unique-to-this-test");
    AcDbSharedName kept = L"Walls-unique-to-this-test";
    auto* b = static_cast<AcDbLine*>(a->cloneData());
    a->setLayerNameOnly(L"Doors");
    delete a; // the last but two holders of the name
    EXPECT_EQ(b->layerName(), L"Walls-unique-to-this-test");
    delete b;
    EXPECT_EQ(kept.str(), L"Walls-unique-to-this-test");
    AcDbSharedName& same = kept;
    kept = same; // assigning a name to itself keeps it
    EXPECT_EQ(kept.str(), L"Walls-unique-to-this-test");
    AcDbSharedName again = L"Walls-unique-to-this-test"; // made anew after every holder but one went
    EXPECT_EQ(again.c_str(), kept.c_str());
}

// Texts keep their seldom-changed fields apart until one differs from its default; every field must
// still read back as set, alone or with others, through copies and moves.
TEST_F(Entities, TextFieldsReadBackAsSetThroughCopiesAndMoves) {
    const double negZero = -0.0;
    struct Case {
        const char* what;
        std::function<void(AcDbText&)> set;
        std::function<bool(const AcDbText&)> holds;
    };
    const Case cases[] = {
        {"defaults", [](AcDbText&) {},
         [](const AcDbText& t) {
             return t.alignmentPoint() == AcGePoint3d() && t.widthFactor() == 1 && t.oblique() == 0 &&
                    t.thickness() == 0 && t.normal() == AcGeVector3d(0, 0, 1);
         }},
        {"alignment", [](AcDbText& t) { t.setAlignmentPoint(AcGePoint3d(5, 6, 7)); },
         [](const AcDbText& t) { return t.alignmentPoint() == AcGePoint3d(5, 6, 7) && t.widthFactor() == 1; }},
        {"width", [](AcDbText& t) { t.setWidthFactor(0.75); },
         [](const AcDbText& t) { return t.widthFactor() == 0.75 && t.alignmentPoint() == AcGePoint3d(); }},
        {"oblique and thickness", [](AcDbText& t) { t.setOblique(0.25), t.setThickness(3); },
         [](const AcDbText& t) { return t.oblique() == 0.25 && t.thickness() == 3; }},
        {"normal", [](AcDbText& t) { t.setNormal(AcGeVector3d(0, 0, -4)); },
         [](const AcDbText& t) { return t.normal() == AcGeVector3d(0, 0, -1); }},
        {"zero normal refused", [](AcDbText& t) { t.setNormal(AcGeVector3d(0, 0, 0)); },
         [](const AcDbText& t) { return t.normal() == AcGeVector3d(0, 0, 1); }},
        {"set back to the default", [](AcDbText& t) { t.setWidthFactor(2), t.setWidthFactor(1); },
         [](const AcDbText& t) { return t.widthFactor() == 1; }},
        // A file's "-0.0" is written back as read.
        {"signed zero", [&](AcDbText& t) { t.setThickness(negZero); },
         [](const AcDbText& t) { return std::signbit(t.thickness()); }},
    };
    for (const Case& c : cases) {
        AcDbText t(AcGePoint3d(1, 2, 0), L"ROOM", AcDbObjectId(), 2.5, 0);
        c.set(t);
        EXPECT_TRUE(c.holds(t)) << c.what;
        std::unique_ptr<AcDbText> copy(static_cast<AcDbText*>(t.cloneData()));
        t.setAlignmentPoint(AcGePoint3d(9, 9, 9)); // the original changing leaves the copy as it was
        EXPECT_TRUE(c.holds(*copy)) << c.what;
    }

    // Moving a text moves its alignment point too, from the default one as well.
    AcDbText moved(AcGePoint3d(1, 2, 0), L"ROOM", AcDbObjectId(), 2.5, 0);
    AcGeMatrix3d shift;
    shift.setToTranslation(AcGeVector3d(10, 20, 0));
    ASSERT_EQ(moved.transformBy(shift), Acad::eOk);
    EXPECT_EQ(moved.alignmentPoint(), AcGePoint3d(10, 20, 0));
    EXPECT_EQ(moved.position(), AcGePoint3d(11, 22, 0));
    EXPECT_EQ(moved.widthFactor(), 1);
}

// Attributes share their tags' text: renaming one leaves every other attribute's tag as it was.
TEST_F(Entities, AttributeTagsStayWithEachAttribute) {
    AcDbAttribute a(AcGePoint3d(), L"1", L"AREA"), b(AcGePoint3d(), L"2", L"AREA");
    AcDbAttributeDefinition d(AcGePoint3d(), L"", L"AREA", L"Area?");
    ASSERT_EQ(a.setTag(L"NAME"), Acad::eOk);
    EXPECT_STREQ(a.tagConst(), L"NAME");
    EXPECT_STREQ(b.tagConst(), L"AREA");
    EXPECT_STREQ(d.tagConst(), L"AREA");
    EXPECT_EQ(b.setTag(L""), Acad::eInvalidInput);
    EXPECT_STREQ(b.tagConst(), L"AREA");
    ACHAR* prompt = d.prompt();
    EXPECT_STREQ(prompt, L"Area?");
    acutDelString(prompt);
    EXPECT_STREQ(AcDbAttributeDefinition().promptConst(), L"");
}

// Inserts keep their scale and normal apart until set; both read back through copies and placements,
// and an attribute waiting for its insert to join the database is taken once.
TEST_F(Entities, InsertScaleAndNormalReadBackThroughCopiesAndPlacements) {
    AcDbObjectId def = defineBlock(L"SCALED");
    AcDbBlockReference plain(AcGePoint3d(1, 2, 0), def);
    EXPECT_EQ(plain.scaleFactors().sx, 1);
    EXPECT_EQ(plain.normal(), AcGeVector3d(0, 0, 1));
    EXPECT_EQ(plain.setScaleFactors(AcGeScale3d(0, 1, 1)), Acad::eInvalidInput);
    EXPECT_EQ(plain.setNormal(AcGeVector3d()), Acad::eInvalidInput);

    AcDbBlockReference ref(AcGePoint3d(1, 2, 0), def);
    ASSERT_EQ(ref.setScaleFactors(AcGeScale3d(2, -3, 4)), Acad::eOk);
    ASSERT_EQ(ref.setNormal(AcGeVector3d(0, 0, -2)), Acad::eOk);
    std::unique_ptr<AcDbBlockReference> copy(static_cast<AcDbBlockReference*>(ref.cloneData()));
    ref.setScaleFactors(AcGeScale3d(1, 1, 1));
    EXPECT_EQ(copy->scaleFactors().sy, -3);
    EXPECT_EQ(copy->scaleFactors().sz, 4);
    EXPECT_EQ(copy->normal(), AcGeVector3d(0, 0, -1));
    EXPECT_EQ(plain.scaleFactors().sx, 1); // others keep the defaults

    // Placing an insert by a matrix sets scale and normal from it.
    AcGeMatrix3d twice;
    twice.setToScaling(2.0);
    ASSERT_EQ(plain.setBlockTransform(twice), Acad::eOk);
    EXPECT_DOUBLE_EQ(plain.scaleFactors().sx, 2);
    EXPECT_DOUBLE_EQ(plain.scaleFactors().sz, 2);

    auto* loose = new AcDbBlockReference(AcGePoint3d(), def);
    auto* att = new AcDbAttribute(AcGePoint3d(), L"x", L"T");
    ASSERT_EQ(loose->appendAttribute(att), Acad::eOk);
    EXPECT_EQ(loose->appendAttribute(att), Acad::eAlreadyInDb);
    delete loose;
}

// A colour's name and book name are kept as one shared text; each reads back as set, alone or together.
TEST(ColourNames, ReadBackAsSet) {
    const struct {
        const ACHAR *color, *book, *wantColor, *wantBook;
    } cases[] = {
        {nullptr, nullptr, L"", L""},
        {L"RED 7", nullptr, L"RED 7", L""},
        {L"RED 7", L"", L"RED 7", L""},
        {L"", L"PANTONE+", L"", L"PANTONE+"},
        {L"RAL 9010", L"RAL CLASSIC", L"RAL 9010", L"RAL CLASSIC"},
    };
    for (const auto& c : cases) {
        AcCmColor colour;
        colour.setRGB(10, 20, 30);
        ASSERT_EQ(colour.setNames(c.color, c.book), Acad::eOk);
        AcCmColor copy = colour;
        colour.setNames(L"OTHER", L"BOOK"); // the original renamed leaves the copy as it was
        EXPECT_STREQ(copy.colorName(), c.wantColor);
        EXPECT_STREQ(copy.bookName(), c.wantBook);
    }
    AcCmColor renamed;
    renamed.setNames(L"A", L"B");
    renamed.setNames(L"A");
    EXPECT_STREQ(renamed.bookName(), L"");
}

// A text's string is held at its own length: empty, short, long and non-ASCII strings read back as set,
// a copy keeps its own, and a text set from its own string keeps it.
TEST_F(Entities, TextStringsReadBackAsSet) {
    const std::wstring longText(500, L'W');
    for (const ACHAR* s : {L"", L"A", L"R12", L"49.00 sq m", L"B\u00fcro \u623f\u95f4", longText.c_str()}) {
        AcDbText t(AcGePoint3d(), s);
        EXPECT_STREQ(t.textStringConst(), s);
        std::unique_ptr<AcDbText> copy(static_cast<AcDbText*>(t.cloneData()));
        ASSERT_EQ(t.setTextString(t.textStringConst()), Acad::eOk);
        EXPECT_STREQ(t.textStringConst(), s);
        ASSERT_EQ(t.setTextString(L"changed"), Acad::eOk);
        EXPECT_STREQ(copy->textStringConst(), s);
        ACHAR* dup = copy->textString();
        EXPECT_STREQ(dup, s);
        acutDelString(dup);
    }
    AcDbText none(AcGePoint3d(), nullptr);
    EXPECT_STREQ(none.textStringConst(), L"");
    EXPECT_EQ(none.setTextString(nullptr), Acad::eInvalidInput);
    // The extents follow the string's length.
    AcDbText shortText(AcGePoint3d(), L"AB", AcDbObjectId(), 1.0), longer(AcGePoint3d(), L"ABCD", AcDbObjectId(), 1.0);
    AcDbExtents a, b;
    ASSERT_EQ(shortText.getGeomExtents(a), Acad::eOk);
    ASSERT_EQ(longer.getGeomExtents(b), Acad::eOk);
    EXPECT_DOUBLE_EQ(b.maxPoint().x, 2 * a.maxPoint().x);
}

} // namespace
