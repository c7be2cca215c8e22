#include <gtest/gtest.h>

#include <cmath>

#include "cad/AcDb.h"

namespace {

constexpr double kEps = 1e-9;

AcDbPolyline* unitSquareWithHalfCircle() {
    // (0,0) (1,0) (1,1) (0,1); the side from (1,0) to (1,1) bulges outwards as a half circle.
    auto* pl = new AcDbPolyline;
    pl->addVertexAt(0, AcGePoint2d(0, 0));
    pl->addVertexAt(1, AcGePoint2d(1, 0), 1.0);
    pl->addVertexAt(2, AcGePoint2d(1, 1));
    pl->addVertexAt(3, AcGePoint2d(0, 1));
    pl->setClosed(true);
    return pl;
}

TEST(Polyline, AreaLengthAndExtentsWithABulge) {
    std::unique_ptr<AcDbPolyline> pl(unitSquareWithHalfCircle());
    double area = 0;
    ASSERT_EQ(pl->getArea(area), Acad::eOk);
    EXPECT_NEAR(area, 1 + M_PI / 8, kEps);

    double end = 0, len = 0;
    ASSERT_EQ(pl->getEndParam(end), Acad::eOk);
    EXPECT_DOUBLE_EQ(end, 4.0); // closed: the closing segment counts
    ASSERT_EQ(pl->getDistAtParam(end, len), Acad::eOk);
    EXPECT_NEAR(len, 3 + M_PI / 2, kEps);

    AcDbExtents ext;
    ASSERT_EQ(pl->getGeomExtents(ext), Acad::eOk);
    EXPECT_NEAR(ext.maxPoint().x, 1.5, kEps); // the arc's extreme, not a vertex
    EXPECT_NEAR(ext.maxPoint().y, 1.0, kEps);
    EXPECT_NEAR(ext.minPoint().x, 0.0, kEps);

    // The middle of the arc is at parameter 1.5.
    AcGePoint3d mid;
    ASSERT_EQ(pl->getPointAtParam(1.5, mid), Acad::eOk);
    EXPECT_TRUE(mid.isEqualTo(AcGePoint3d(1.5, 0.5, 0), AcGeTol()));

    // Clockwise order or an inward bulge: area is positive, the half circle is cut away.
    pl->setBulgeAt(1, -1.0);
    pl->getArea(area);
    EXPECT_NEAR(area, 1 - M_PI / 8, kEps);

    // An open polyline ends at its last vertex: no closing segment.
    pl->setBulgeAt(1, 0);
    pl->setClosed(false);
    pl->getEndParam(end);
    pl->getDistAtParam(end, len);
    EXPECT_NEAR(len, 3.0, kEps);
}

TEST(Polyline, VerticesInWorldAndTransforms) {
    auto pl = std::make_unique<AcDbPolyline>();
    pl->addVertexAt(0, AcGePoint2d(0, 0));
    pl->addVertexAt(1, AcGePoint2d(1000, 0));
    pl->addVertexAt(2, AcGePoint2d(1000, 1000));
    pl->addVertexAt(3, AcGePoint2d(0, 1000));
    pl->setClosed(true);
    pl->setElevation(5);
    AcGePoint3d p;
    ASSERT_EQ(pl->getPointAt(2, p), Acad::eOk);
    EXPECT_TRUE(p.isEqualTo(AcGePoint3d(1000, 1000, 5)));
    EXPECT_EQ(pl->getPointAt(4, p), Acad::eInvalidIndex);

    ASSERT_EQ(pl->transformBy(AcGeMatrix3d::translation(AcGeVector3d(-10, -25, 0))), Acad::eOk);
    pl->getPointAt(0, p);
    EXPECT_TRUE(p.isEqualTo(AcGePoint3d(-10, -25, 5)));

    // A mirror keeps the area and flips the arcs.
    pl->setBulgeAt(0, 0.5);
    double before = 0, after = 0;
    pl->getArea(before);
    ASSERT_EQ(pl->transformBy(AcGeMatrix3d::mirroring(AcGePoint3d::kOrigin) *
                              AcGeMatrix3d::rotation(M_PI, AcGeVector3d::kZAxis)),
              Acad::eOk);
    pl->getArea(after);
    EXPECT_NEAR(before, after, 1e-6);

    // Uneven scaling cannot keep an arc an arc.
    EXPECT_EQ(pl->transformBy(AcGeMatrix3d::scaling(AcGeScale3d(2, 3, 1))), Acad::eCannotScaleNonUniformly);
    pl->setBulgeAt(0, 0);
    EXPECT_EQ(pl->transformBy(AcGeMatrix3d::scaling(AcGeScale3d(2, 3, 1))), Acad::eOk);
    pl->getArea(after);
    EXPECT_NEAR(after, 6e6, 1e-3);
}

TEST(ArcAndCircle, ExtentsIncludeExtremes) {
    // A quarter arc from 45 to 135 degrees passes through the top of its circle.
    AcDbArc arc(AcGePoint3d(0, 0, 0), 2.0, M_PI / 4, 3 * M_PI / 4);
    AcDbExtents ext;
    ASSERT_EQ(arc.getGeomExtents(ext), Acad::eOk);
    EXPECT_NEAR(ext.maxPoint().y, 2.0, kEps);
    EXPECT_NEAR(ext.minPoint().y, std::sqrt(2.0), kEps);
    EXPECT_NEAR(ext.maxPoint().x, std::sqrt(2.0), kEps);

    // An arc across angle 0 (from 350 to 10 degrees) reaches x = r.
    AcDbArc wrap(AcGePoint3d(0, 0, 0), 1.0, 350 * M_PI / 180, 10 * M_PI / 180);
    wrap.getGeomExtents(ext);
    EXPECT_NEAR(ext.maxPoint().x, 1.0, kEps);
    EXPECT_NEAR(wrap.sweep(), 20 * M_PI / 180, kEps);
    double len = 0, endp = 0;
    wrap.getEndParam(endp);
    wrap.getDistAtParam(endp, len);
    EXPECT_NEAR(len, 20 * M_PI / 180, kEps);

    AcDbCircle c(AcGePoint3d(5, 5, 0), AcGeVector3d::kZAxis, 2);
    c.getGeomExtents(ext);
    EXPECT_TRUE(ext.minPoint().isEqualTo(AcGePoint3d(3, 3, 0)));
    EXPECT_TRUE(ext.maxPoint().isEqualTo(AcGePoint3d(7, 7, 0)));

    // Mirroring an arc keeps it on the same points, running the other way round.
    AcDbArc a2(AcGePoint3d(0, 0, 0), 1.0, 0, M_PI / 2);
    ASSERT_EQ(a2.transformBy(AcGeMatrix3d::scaling(AcGeScale3d(-1, 1, 1))), Acad::eOk);
    AcGePoint3d s, e;
    a2.getStartPoint(s);
    a2.getEndPoint(e);
    EXPECT_TRUE(s.isEqualTo(AcGePoint3d(0, 1, 0), AcGeTol()) || s.isEqualTo(AcGePoint3d(-1, 0, 0), AcGeTol()));
    a2.getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().x, -1, kEps);
    EXPECT_NEAR(ext.maxPoint().x, 0, kEps);
}

TEST(Matrices, InverseProductAndOrthogonality) {
    AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(3, -4, 5)) *
                     AcGeMatrix3d::rotation(0.7, AcGeVector3d(1, 2, 3)) * AcGeMatrix3d::scaling(2.5);
    EXPECT_TRUE((m * m.inverse()).isEqualTo(AcGeMatrix3d::kIdentity));
    EXPECT_TRUE(m.isUniScaledOrtho());
    AcGePoint3d p(1, 2, 3);
    EXPECT_TRUE((m.inverse() * (m * p)).isEqualTo(p, AcGeTol()));

    EXPECT_TRUE(AcGeMatrix3d::scaling(AcGeScale3d(-2, 2, 2)).isUniScaledOrtho());
    EXPECT_FALSE(AcGeMatrix3d::scaling(AcGeScale3d(2, 3, 1)).isUniScaledOrtho());
    AcGeMatrix3d skew;
    skew.entry[0][1] = 0.5;
    EXPECT_FALSE(skew.isUniScaledOrtho());

    AcGeMatrix3d singular = AcGeMatrix3d::scaling(AcGeScale3d(1, 0, 1));
    AcGeMatrix3d out;
    EXPECT_FALSE(singular.inverse(out, 1e-12));

    // Align coordinate systems: from world to a frame at (10,0,0) turned 90 degrees.
    AcGeMatrix3d a = AcGeMatrix3d::alignCoordSys(AcGePoint3d::kOrigin, AcGeVector3d::kXAxis, AcGeVector3d::kYAxis,
                                                 AcGeVector3d::kZAxis, AcGePoint3d(10, 0, 0), AcGeVector3d::kYAxis,
                                                 -AcGeVector3d::kXAxis, AcGeVector3d::kZAxis);
    EXPECT_TRUE((a * AcGePoint3d(1, 0, 0)).isEqualTo(AcGePoint3d(10, 1, 0), AcGeTol()));
}

TEST(BlockReference, BlockTransformIncludesTheDefinitionOrigin) {
    AcDbDatabase db;
    AcDbBlockTable* bt = nullptr;
    ASSERT_EQ(db.getBlockTable(bt, AcDb::kForWrite), Acad::eOk);
    auto* def = new AcDbBlockTableRecord;
    def->setName(L"ROOM-A");
    def->setOrigin(AcGePoint3d(10, 20, 0));
    AcDbObjectId defId;
    ASSERT_EQ(bt->add(defId, def), Acad::eOk);
    def->close();
    bt->close();

    AcDbBlockReference ref(AcGePoint3d(100, 200, 0), defId);
    ref.setRotation(M_PI / 2);
    ref.setScaleFactors(AcGeScale3d(2, 2, 1));
    AcGeMatrix3d xf = ref.blockTransform();
    // The definition's origin lands on the insertion point.
    EXPECT_TRUE((xf * AcGePoint3d(10, 20, 0)).isEqualTo(AcGePoint3d(100, 200, 0), AcGeTol()));
    // One unit along X from the origin: scaled by 2, turned to +Y.
    EXPECT_TRUE((xf * AcGePoint3d(11, 20, 0)).isEqualTo(AcGePoint3d(100, 202, 0), AcGeTol()));
    EXPECT_TRUE(xf.isUniScaledOrtho() == false); // z scale 1 against 2

    // setBlockTransform takes the matrix apart again.
    AcDbBlockReference other(AcGePoint3d(), defId);
    ASSERT_EQ(other.setBlockTransform(xf), Acad::eOk);
    EXPECT_TRUE(other.position().isEqualTo(AcGePoint3d(100, 200, 0), AcGeTol()));
    EXPECT_NEAR(other.rotation(), M_PI / 2, kEps);
    EXPECT_NEAR(other.scaleFactors().sx, 2, kEps);
    EXPECT_NEAR(other.scaleFactors().sy, 2, kEps);

    // transformBy moves the insert.
    ASSERT_EQ(other.transformBy(AcGeMatrix3d::translation(AcGeVector3d(1, 1, 0))), Acad::eOk);
    EXPECT_TRUE(other.position().isEqualTo(AcGePoint3d(101, 201, 0), AcGeTol()));
}

TEST(PolygonTests, PointInPolygonAndCrossings) {
    std::vector<AcGePoint2d> square = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    EXPECT_TRUE(cadgeom::pointInPolygon(AcGePoint2d(5, 5), square));
    EXPECT_TRUE(cadgeom::pointInPolygon(AcGePoint2d(10, 5), square)); // on an edge
    EXPECT_FALSE(cadgeom::pointInPolygon(AcGePoint2d(11, 5), square));
    std::vector<AcGePoint2d> ell = {{0, 0}, {10, 0}, {10, 2}, {2, 2}, {2, 10}, {0, 10}};
    EXPECT_FALSE(cadgeom::pointInPolygon(AcGePoint2d(5, 5), ell)); // in the notch

    EXPECT_TRUE(cadgeom::segmentsIntersect({-1, 5}, {1, 5}, {0, 0}, {0, 10}));
    EXPECT_TRUE(cadgeom::segmentsIntersect({0, 10}, {5, 10}, {0, 0}, {0, 10})); // touching ends
    EXPECT_FALSE(cadgeom::segmentsIntersect({1, 1}, {2, 2}, {3, 3}, {4, 5}));

    // A half circle over the chord (0,0)-(2,0), bulging below (clockwise).
    cadgeom::Arc2d arc = cadgeom::arcFromBulge({0, 0}, {2, 0}, 1.0);
    EXPECT_TRUE(arc.center.isEqualTo(AcGePoint2d(1, 0), AcGeTol()));
    EXPECT_TRUE(cadgeom::segmentIntersectsArc({1, -2}, {1, -0.5}, arc));
    EXPECT_FALSE(cadgeom::segmentIntersectsArc({1, 2}, {1, 0.5}, arc));

    // A path with an arc that pokes out of the polygon crosses it; its vertices alone would not.
    cadgeom::BulgePath bump;
    bump.vertices = {{{2, 5}, -1.5}, {{8, 5}, 0}};
    std::vector<AcGePoint2d> strip = {{0, 3}, {10, 3}, {10, 7}, {0, 7}};
    EXPECT_TRUE(cadgeom::pathCrossesPolygon(bump, strip));
    EXPECT_FALSE(cadgeom::pathInsidePolygon(bump, strip));
    bump.vertices[0].bulge = 0;
    EXPECT_TRUE(cadgeom::pathInsidePolygon(bump, strip));
}

TEST(Colours, IndexTrueColourAndByLayer) {
    AcCmColor c;
    EXPECT_TRUE(c.isByLayer());
    EXPECT_EQ(c.colorIndex(), 256);
    c.setColorIndex(1);
    EXPECT_TRUE(c.isByACI());
    EXPECT_EQ(c.red(), 255);
    EXPECT_EQ(c.green(), 0);
    c.setRGB(255, 255, 0);
    EXPECT_TRUE(c.isByColor());
    EXPECT_EQ(c.colorIndex(), 2); // nearest palette colour: yellow
    EXPECT_EQ(c.trueColor(), 0xFFFF00u);
    c.setColorMethod(AcCm::kByColor);
    EXPECT_EQ(c.colorMethod(), AcCm::kByColor);
    c.setColorIndex(0);
    EXPECT_TRUE(c.isByBlock());
}

TEST(Text, ExtentsFollowAlignment) {
    AcDbText t(AcGePoint3d(0, 0, 0), L"ABCDE", AcDbObjectId(), 1.0, 0);
    AcDbExtents ext;
    t.getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().x, 0, kEps);
    EXPECT_GT(ext.maxPoint().x, 3);
    t.setHorizontalMode(AcDb::kTextCenter);
    t.setAlignmentPoint(AcGePoint3d(0, 0, 0));
    t.getGeomExtents(ext);
    EXPECT_NEAR(ext.minPoint().x, -ext.maxPoint().x, kEps);

    // A rotated text keeps its height and turns its box.
    AcDbText r(AcGePoint3d(0, 0, 0), L"A", AcDbObjectId(), 2.0, 0);
    ASSERT_EQ(r.transformBy(AcGeMatrix3d::rotation(M_PI / 2, AcGeVector3d::kZAxis) * AcGeMatrix3d::scaling(3)),
              Acad::eOk);
    EXPECT_NEAR(r.rotation(), M_PI / 2, kEps);
    EXPECT_NEAR(r.height(), 6.0, kEps);

    AcDbMText m;
    m.setContents(L"{\\fArial|b0;Room}\\PA\\\\B");
    EXPECT_EQ(m.text(), L"Room\nA\\B");
}

} // namespace
