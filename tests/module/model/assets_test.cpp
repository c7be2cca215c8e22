// Assets inside a room: the crossing-polygon selection under the reference's placement, what an
// asset records, and an asset written back to its insert.
#include <algorithm>

#include <gtest/gtest.h>

#include "SpaceBlockFixture.h"
#include "core/KelmoExceptions.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWGRoom.h"
#include "model/Hatch.h"
#include "model/Hyperlink.h"
#include "model/Hyperlinks.h"

namespace {

using modeltest::SpaceBlockFixture;

class Assets : public SpaceBlockFixture {
protected:
    void SetUp() override {
        SpaceBlockFixture::SetUp();
        host->defineBlock(L"DESK", {modeltest::rectangle(-50, -50, 50, 50), modeltest::attributeDefinition(L"TAG", 0)});
    }
    AcDbObjectId desk(double x, double y) {
        return host->insertBlock(L"DESK", AcGePoint3d(x, y, 0), 1.0, 0.0, {{L"TAG", L"D"}});
    }
    std::vector<std::wstring> handles(CBlockDWG& room) {
        std::vector<std::wstring> found;
        CAssets* assets = room.getAssets();
        for (int i = 0; assets && i < assets->getCount(); ++i)
            found.emplace_back(assets->getAt(i)->getHandleAsString());
        std::sort(found.begin(), found.end());
        return found;
    }
    std::vector<std::wstring> sorted(std::vector<std::wstring> values) {
        std::sort(values.begin(), values.end());
        return values;
    }
};

TEST_F(Assets, InsideAndCrossingButNotOutside) {
    AcDbObjectId id = room(L"ROOM-1", 1000, 1000, AcGePoint3d(0, 0, 0));
    AcDbObjectId inside = desk(500, 500);
    AcDbObjectId crossing = desk(1000, 500);
    desk(2000, 500);
    std::unique_ptr<CBlockDWGRoom> block(read<CBlockDWGRoom>(id, 1));
    EXPECT_EQ(handles(*block), sorted({host->handleOf(inside), host->handleOf(crossing)}));
    CAsset* asset = block->getAssets()->getAtAsset(host->handleOf(inside).c_str());
    ASSERT_NE(asset, nullptr);
    EXPECT_EQ(asset->getBlockIdentifier(), L"DESK");
    EXPECT_EQ(asset->getObjectId(), inside);
    EXPECT_EQ(asset->getPointX(), 500.0);
    EXPECT_EQ(asset->getAssetExistsInLocation(), 1);
    EXPECT_EQ(asset->getAttributes()->getAtAttribute(CString(L"TAG"))->getValue(), L"D");
    // Without the flag nothing is looked for.
    std::unique_ptr<CBlockDWGRoom> plain(read<CBlockDWGRoom>(id, 0));
    EXPECT_EQ(plain->getAssets(), nullptr);
}

TEST_F(Assets, DynamicBlocksByTheirOwnNameAndNeitherPlainAnonymousBlocksNorMultipleInserts) {
    AcDbObjectId id = room(L"ROOM-1", 1000, 1000, AcGePoint3d(0, 0, 0));
    AcDbObjectId chair = host->defineBlock(L"CHAIR", {modeltest::rectangle(-20, -20, 20, 20)});
    AcDbObjectId dynamic = host->defineBlock(L"*U7", {modeltest::rectangle(-20, -20, 20, 20)});
    host->defineBlock(L"*U8", {modeltest::rectangle(-20, -20, 20, 20)});
    drawing->lock();
    AcDbBlockTableRecord* record = nullptr;
    ASSERT_EQ(acdbOpenObject(record, dynamic, AcDb::kForWrite), Acad::eOk);
    record->setDynamicBlockDefinitionId(chair);
    record->close();
    drawing->unlock(0);
    AcDbObjectId dynamicInsert = host->insertBlock(L"*U7", AcGePoint3d(200, 200, 0));
    host->insertBlock(L"*U8", AcGePoint3d(300, 300, 0));
    host->addEntity(new AcDbMInsertBlock(AcGePoint3d(400, 400, 0), db()->blockId(L"DESK"), 2, 2, 200, 200));
    AcDbObjectId plain = desk(700, 700);
    std::unique_ptr<CBlockDWGRoom> block(read<CBlockDWGRoom>(id, 1));
    EXPECT_EQ(handles(*block), sorted({host->handleOf(dynamicInsert), host->handleOf(plain)}));
    CAsset* asset = block->getAssets()->getAtAsset(host->handleOf(dynamicInsert).c_str());
    ASSERT_NE(asset, nullptr);
    EXPECT_EQ(asset->getBlockIdentifier(), L"CHAIR");
}

TEST_F(Assets, RotatedAndScaledRoomSelectsWhereItIsShown) {
    // 1000 x 500 scaled by 2 and turned a quarter: it covers x -1000..0, y 0..2000 about the origin.
    AcDbObjectId id = room(L"ROOM-1", 1000, 500, AcGePoint3d(0, 0, 0), L"R", {}, 2.0, 3.141592653589793 / 2);
    AcDbObjectId shown = desk(-500, 1500);
    desk(1500, 200); // where the unplaced definition would lie
    std::unique_ptr<CBlockDWGRoom> block(read<CBlockDWGRoom>(id, 1));
    EXPECT_EQ(handles(*block), std::vector<std::wstring>{host->handleOf(shown)});
}

TEST_F(Assets, PointsAreInTheUcsAndSpacesAreNoAssets) {
    AcDbObjectId id = room(L"ROOM-1", 1000, 1000, AcGePoint3d(0, 0, 0));
    room(L"ROOM-2", 100, 100, AcGePoint3d(100, 100, 0));
    desk(500, 500);
    db()->setUcs(AcGePoint3d(100, 0, 0), AcGeVector3d(1, 0, 0), AcGeVector3d(0, 1, 0));
    std::unique_ptr<CBlockDWGRoom> block(read<CBlockDWGRoom>(id, 1));
    ASSERT_EQ(block->getAssets()->getCount(), 1);
    EXPECT_EQ(block->getAssets()->getAt(0)->getPointX(), 400.0);
}

TEST_F(Assets, NoBoundaryNoAssetList) {
    host->defineBlock(L"ROOM-ROUND", {new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 500)});
    AcDbObjectId id = host->insertBlock(L"ROOM-ROUND", AcGePoint3d(0, 0, 0));
    desk(0, 0);
    std::unique_ptr<CBlockDWGRoom> block(read<CBlockDWGRoom>(id, 1));
    EXPECT_EQ(block->getAssets(), nullptr);
    EXPECT_EQ(block->getBlockIdentifier(), L"ROOM-ROUND");
}

TEST_F(Assets, WrittenBackWithLayerHatchHyperlinksAndValues) {
    // A table large enough for its pattern to be too dense at scale 1.
    host->defineBlock(L"TABLE",
                      {modeltest::rectangle(-50000, -50000, 50000, 50000), modeltest::attributeDefinition(L"TAG", 0)});
    AcDbObjectId other = host->insertBlock(L"TABLE", AcGePoint3d(200000, 0, 0), 1.0, 0.0, {{L"TAG", L"T"}});
    AcDbObjectId target = host->insertBlock(L"TABLE", AcGePoint3d(0, 0, 0), 1.0, 0.0, {{L"TAG", L"T"}});
    host->addLayer(L"FURNITURE");
    drawing->lock();
    AcDbEntity* insert = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(insert, target, AcDb::kForWrite), Acad::eOk);
    insert->setLayer(L"FURNITURE");
    insert->close();
    AcDbLayerTableRecord* layer = nullptr;
    ASSERT_EQ(acdbOpenObject(layer, db()->layerId(L"FURNITURE"), AcDb::kForWrite), Acad::eOk);
    layer->setIsLocked(true);
    layer->setIsOff(true);
    layer->setIsFrozen(true);
    layer->close();
    drawing->unlock(0);

    CAsset asset(0, host->handleOf(target).c_str(), L"TABLE", L"", L"", 0, 0, 1);
    asset.setObjectId(target);
    auto* hatch = new CHatch();
    hatch->setPattern(L"ANSI31");
    hatch->setScale(1);
    hatch->setLayer(L"H");
    asset.setHatch(hatch);
    asset.setHyperlinks(new CHyperlinks());
    asset.getHyperlinks()->add(new CHyperlink(L"http://a", L"A"));
    asset.getHyperlinks()->add(new CHyperlink(L"http://b", L"B"));
    asset.setAttributes(new CAttributes());
    asset.getAttributes()->add(new CAttribute(L"TAG", L"D-9", 1), 0);
    CKelmoExceptions warnings;
    asset.applyToDWG(drawing.get(), &warnings);

    layer = open<AcDbLayerTableRecord>(db()->layerId(L"FURNITURE"));
    EXPECT_FALSE(layer->isLocked());
    EXPECT_FALSE(layer->isOff());
    EXPECT_FALSE(layer->isFrozen());
    layer->close();
    ASSERT_EQ(warnings.getCount(), 1);
    EXPECT_NE(dynamic_cast<CEXHatchTooDense*>(warnings.getAt(0)), nullptr);
    EXPECT_EQ(hyperlinksOf(target), (std::vector<std::wstring>{L"http://b", L"http://a"}));
    AcDbBlockReference* reference = open<AcDbBlockReference>(target);
    AcDbObjectId attribute = reference->attributeIds().front();
    reference->close();
    EXPECT_EQ(hyperlinksOf(attribute).size(), 2u);
    AcDbAttribute* text = open<AcDbAttribute>(attribute);
    EXPECT_EQ(CString(text->textStringConst()), L"D-9");
    text->close();
    // The shared definition, and so every other desk, carries no link.
    AcDbBlockTableRecord* definition = open<AcDbBlockTableRecord>(db()->blockId(L"TABLE"));
    std::vector<AcDbObjectId> members = definition->entityIds();
    definition->close();
    for (const AcDbObjectId& member : members) EXPECT_TRUE(hyperlinksOf(member).empty());
    EXPECT_TRUE(hyperlinksOf(other).empty());
}

TEST_F(Assets, HatchOutlineFollowsTheInsert) {
    host->defineBlock(L"LEFT", {modeltest::rectangle(-300, 0, -100, 100)});
    AcDbObjectId target = host->insertBlock(L"LEFT", AcGePoint3d(1000, 1000, 0));
    CAsset asset;
    asset.setObjectId(target);
    asset.setHandle(CString(host->handleOf(target).c_str()));
    auto* hatch = new CHatch();
    hatch->setPattern(L"SOLID");
    hatch->setLayer(L"H");
    asset.setHatch(hatch);
    CKelmoExceptions warnings;
    asset.applyToDWG(drawing.get(), &warnings);
    EXPECT_EQ(warnings.getCount(), 0);
    AcDbBlockTableRecord* space = open<AcDbBlockTableRecord>(db()->modelSpaceId());
    std::vector<AcDbObjectId> ids = space->entityIds();
    space->close();
    int hatches = 0;
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* entity = open(id);
        if (AcDbHatch::cast(entity)) {
            ++hatches;
            AcDbExtents extents;
            entity->getGeomExtents(extents);
            // The definition lies left of its base point: the outline ends there, not at x 0.
            EXPECT_NEAR(extents.maxPoint().x, 900, 1e-6);
            EXPECT_NEAR(extents.minPoint().x, 700, 1e-6);
        }
        entity->close();
    }
    EXPECT_EQ(hatches, 1);
}

TEST_F(Assets, ARoomPassesItsWarningListToItsAssets) {
    AcDbObjectId id = room(L"ROOM-1", 1000, 1000, AcGePoint3d(0, 0, 0));
    desk(500, 500);
    std::unique_ptr<CBlockDWGRoom> block(read<CBlockDWGRoom>(id, 1));
    ASSERT_EQ(block->getAssets()->getCount(), 1);
    auto* hatch = new CHatch();
    hatch->setPattern(L"NO-SUCH-PATTERN");
    hatch->setLayer(L"H");
    block->getAssets()->getAt(0)->setHatch(hatch);
    CKelmoExceptions warnings;
    block->applyToDWG(drawing.get(), &warnings);
    EXPECT_EQ(warnings.getCount(), 1);
}

} // namespace
