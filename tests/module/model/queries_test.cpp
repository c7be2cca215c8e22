// The block collection's drawing queries: which level class each reference becomes, markers, the
// walk of model space, and the views the queries leave behind.
#include <gtest/gtest.h>

#include "SpaceBlockFixture.h"
#include "model/Asset.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "reports/MarkerBlockLegend.h"
#include "reports/MarkerBlockPie.h"

namespace {

using modeltest::SpaceBlockFixture;

class Queries : public SpaceBlockFixture {
protected:
    void SetUp() override {
        SpaceBlockFixture::SetUp();
        room(L"ROOM-GROSS_AREA", 20000, 10000, AcGePoint3d(0, 0, 0), L"GA");
        room(L"ROOM-1", 1000, 1000, AcGePoint3d(100, 100, 0), L"R1", {L"NAME=GROSS AREA"});
        room(L"ROOM-2", 1000, 1000, AcGePoint3d(2000, 100, 0), L"R2", {L"NAME=gross area"});
        // Data under "ADE" without a name: the "AECXDATA" data are not looked at.
        AcDbObjectId both = room(L"ROOM-3", 1000, 1000, AcGePoint3d(4000, 100, 0), L"R3", {L"AREA=1sq.m."});
        modeltest::setXData(db(), both, L"AECXDATA", {L"NAME=GROSS AREA"});
        host->defineBlock(L"DESK", {modeltest::rectangle(-10, -10, 10, 10)});
        host->insertBlock(L"DESK", AcGePoint3d(4500, 500, 0));
    }
    std::vector<int> types(CBlocks& blocks) {
        std::vector<int> codes;
        for (int i = 0; i < blocks.getCount(); ++i) codes.push_back(blocks.getAt(i)->getBlockType());
        return codes;
    }
};

TEST_F(Queries, FloorLevelGivesFloorsAndRooms) {
    CBlocks blocks;
    doc()->setView(AcApView{0, 0, 10, 10});
    blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 1, L"f");
    EXPECT_EQ(types(blocks), (std::vector<int>{8, 8, 7, 7}));
    // Zoomed out to select, and back.
    EXPECT_EQ(doc()->view().maxX, 10.0);
    EXPECT_EQ(doc()->lockCount(), 0);
    CBlockDWG* last = static_cast<CBlockDWG*>(blocks.getAt(3));
    ASSERT_NE(last->getAssets(), nullptr);
    EXPECT_EQ(last->getAssets()->getCount(), 1);
}

TEST_F(Queries, OtherLevelsGiveSitesAndBuildings) {
    CBlocks blocks;
    blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 0, L"F");
    EXPECT_EQ(types(blocks), (std::vector<int>{10, 10, 9, 9}));
    // Queries add to what is held.
    blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 0, L"f");
    EXPECT_EQ(blocks.getCount(), 8);
}

TEST_F(Queries, ModelSpaceWalkTakesOnlySpaceBlocks) {
    CBlocks blocks;
    blocks.getKelmoDWGBlocks_I(drawing.get(), nullptr, 0, L"f");
    EXPECT_EQ(types(blocks), (std::vector<int>{8, 8, 7, 7}));
    CBlocks every;
    every.getAcadBlocks(drawing.get(), nullptr);
    EXPECT_EQ(every.getCount(), 5);
    EXPECT_EQ(every.getAt(4)->getBlockType(), 6);
}

TEST_F(Queries, AFailedLockAddsNothing) {
    CBlocks blocks;
    acDocManager->setLockFailure(Acad::eLockViolation);
    blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 0, L"f");
    acDocManager->setLockFailure(Acad::eOk);
    EXPECT_EQ(blocks.getCount(), 0);
}

TEST_F(Queries, NameFromDataReadsOnlyTheFirstApplicationWithData) {
    AcDbObjectId id = room(L"ROOM-9", 10, 10, AcGePoint3d(0, 0, 0), L"X", {L"TAGTYPE=1", L"NAME=Hall"});
    CBlocks blocks;
    AcDbBlockReference* reference = open<AcDbBlockReference>(id);
    EXPECT_EQ(blocks.readNameFromXData(reference), L"Hall");
    reference->close();
}

TEST_F(Queries, ZoomToBlocksWindowsEveryBlockOrNothing) {
    CBlocks empty;
    doc()->setView(AcApView{0, 0, 10, 10});
    empty.zoomToBlocks(drawing.get(), 0.0);
    EXPECT_EQ(doc()->view().maxX, 10.0);
    CBlocks blocks;
    blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 0, L"f");
    // Blocks left of and below the origin still widen the window.
    room(L"ROOM-W", 500, 500, AcGePoint3d(-3000, -2000, 0));
    blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 0, L"f");
    blocks.zoomToBlocks(drawing.get(), 0.0);
    EXPECT_NEAR(doc()->view().minX, -3000, 1e-6);
    EXPECT_NEAR(doc()->view().minY, -2000, 1e-6);
    EXPECT_NEAR(doc()->view().maxX, 20000, 1e-6);
}

TEST_F(Queries, MarkerBlocksReadTheirSettings) {
    host->defineBlock(L"MARKER-LEGEND",
                      {modeltest::rectangle(0, -1000, 3000, 0), modeltest::attributeDefinition(L"LEGENDTEXTSIZE", -250),
                       modeltest::attributeDefinition(L"LEGENDPRECISION", -500),
                       modeltest::attributeDefinition(L"LEGENDUNITS", -750)});
    host->defineBlock(L"MARKER-PIECHART", {new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 12.5),
                                           modeltest::attributeDefinition(L"PIERADIUS", -250),
                                           modeltest::attributeDefinition(L"pieprecision", -500)});
    host->insertBlock(L"MARKER-LEGEND", AcGePoint3d(10, 25, 0), 1.0, 0.5,
                      {{L"LEGENDTEXTSIZE", L"125.5mm"}, {L"LEGENDPRECISION", L"two"}, {L"LEGENDUNITS", L"1"}});
    host->insertBlock(L"MARKER-PIECHART", AcGePoint3d(500, 600, 0), 1.0, 0.0,
                      {{L"PIERADIUS", L"12.50"}, {L"pieprecision", L"3"}});
    db()->setUcs(AcGePoint3d(10, 0, 0), AcGeVector3d(1, 0, 0), AcGeVector3d(0, 1, 0));
    CBlocks legends;
    legends.getLegendBlock_SS(drawing.get());
    ASSERT_EQ(legends.getCount(), 1);
    auto* legend = static_cast<CMarkerBlockLegend*>(legends.getAt(0));
    EXPECT_EQ(legend->getBlockType(), 6);
    EXPECT_EQ(legend->getBlockIdentifier(), L"MARKER-LEGEND");
    // Neither "125.5mm" nor "two" is a number: the defaults, each with its line.
    EXPECT_EQ(legend->getTextSize(), 250.0);
    EXPECT_EQ(legend->getPrecision(), 2);
    EXPECT_NE(legend->getFallbacks().Find(L"LEGENDTEXTSIZE 125.5mm is not"), -1);
    EXPECT_NE(legend->getFallbacks().Find(L"LEGENDPRECISION two is not"), -1);
    EXPECT_EQ(legend->getUnits(), 1);
    EXPECT_NEAR(legend->getRotation(), 0.5, 1e-12);
    EXPECT_TRUE(legend->getPosition().isEqualTo(AcGePoint3d(0, 25, 0)));
    CBlocks pies;
    pies.getPieBlock_SS(drawing.get());
    ASSERT_EQ(pies.getCount(), 1);
    auto* pie = static_cast<CMarkerBlockPie*>(pies.getAt(0));
    EXPECT_EQ(pie->getRadius(), 12.5);
    EXPECT_EQ(pie->getPrecision(), 3);
    EXPECT_TRUE(pie->getCentre().isEqualTo(AcGePoint3d(490, 600, 0)));
}

} // namespace
