// Register rows read into the model: status texts, empty columns, and the nested loads of a report
// category on one procedure object.
#include "RegisterTestSupport.h"

#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/BlockVXR.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "model/Hyperlink.h"
#include "model/Hyperlinks.h"
#include "model/KelmoAttribute.h"

using namespace registertest;

namespace {

class StagedRows : public ::testing::Test {
protected:
    void SetUp() override {
        REGISTER_REQUIRE_PG();
        ensureStageDatabase();
        procedure = connect(L"registerstage2");
    }
    std::unique_ptr<CStoredProcedure> procedure;
};

CBlockVXR* vxr(CBlocks& blocks, int index) {
    return dynamic_cast<CBlockVXR*>(blocks.getAt(index));
}

TEST_F(StagedRows, StatusTextsSetTheFlagsByTheirFirstTwoCharacters) {
    const int parent = localId(10);
    pgQuery(kStage, "DELETE FROM block_rows WHERE parent = " + str(parent));
    pgQuery(kStage, "INSERT INTO block_rows (parent, id, type, name, code, status, area, handle, perimeter) VALUES (" +
                        str(parent) + ", 1, 'r', 'Room', 'R', '0', 12.5, '1A', 14), (" + str(parent) +
                        ", 2, 'f', 'Floor', 'F', '00', 1, 'h', 1), (" + str(parent) +
                        ", 3, 'b', 'Building', 'B', '', 1, 'h', 1), (" + str(parent) +
                        ", 4, 's', 'Site', 'S', '1', 1, 'h', 1), (" + str(parent) +
                        ", 5, 'x', 'Other', 'X', '01', 1, 'h', 1), (" + str(parent) +
                        ", 6, 'R', 'Upper', 'U', '10', 1, 'h', 1), (" + str(parent) +
                        ", NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    CBlocks blocks;
    blocks.getVXRBlocks(procedure.get(), 10, parent, 0);
    ASSERT_EQ(blocks.getCount(), 7);
    const int types[] = {CBlock::typeVXRRoom, CBlock::typeVXRFloor, CBlock::typeVXRBuilding, CBlock::typeVXRSite,
                         CBlock::typeVXRSite, CBlock::typeVXRSite,  CBlock::typeVXRSite};
    const int exists[] = {1, 1, 0, 0, 1, 0, 0};
    const int duplicate[] = {0, 0, 0, 0, 1, 0, 0};
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(vxr(blocks, i), nullptr);
        EXPECT_EQ(blocks.getAt(i)->getBlockType(), types[i]);
        EXPECT_EQ(vxr(blocks, i)->getStatusExists(), exists[i]);
        EXPECT_EQ(vxr(blocks, i)->getStatusDuplicate(), duplicate[i]);
    }
    EXPECT_EQ(vxr(blocks, 0)->getId(), 1);
    EXPECT_EQ(vxr(blocks, 0)->getParentId(), parent);
    EXPECT_EQ(vxr(blocks, 0)->getHandle(), L"1A");
    EXPECT_DOUBLE_EQ(vxr(blocks, 0)->getArea(), 12.5);
    // A row of nothing: texts empty, numbers at the record's defaults.
    CBlockVXR* empty = vxr(blocks, 6);
    EXPECT_EQ(empty->getId(), 0);
    EXPECT_EQ(empty->getParentId(), parent);
    EXPECT_EQ(empty->getName(), L"");
    EXPECT_EQ(empty->getHandle(), L"");
    EXPECT_DOUBLE_EQ(empty->getArea(), 0.0);
    EXPECT_EQ(empty->getPrecision(), 2);
}

TEST_F(StagedRows, LocationAssetsReadTheirStatusAndEmptyColumns) {
    const int location = localId(11);
    const int drawing = localId(12);
    pgQuery(kStage, "DELETE FROM asset_rows WHERE location = " + str(location));
    pgQuery(kStage, "DELETE FROM attribute_rows WHERE drawing = " + str(drawing));
    pgQuery(kStage,
            "INSERT INTO asset_rows (location, drawing, handle, identifier, at_description, a_description, x, "
            "y, status) VALUES (" +
                str(location) + ", " + str(drawing) + ", 'A0', 'DESK', 'Desk', 'Desk 1', 1.5, 2.5, '0'), (" +
                str(location) + ", " + str(drawing) + ", 'A1', 'DESK', NULL, NULL, NULL, NULL, '00'), (" +
                str(location) + ", " + str(drawing) + ", 'A2', 'DESK', 'Desk', 'Desk 3', 0, 0, ''), (" + str(location) +
                ", " + str(drawing) + ", 'A3', 'DESK', 'Desk', 'Desk 4', 0, 0, '1')");
    pgQuery(kStage, "INSERT INTO attribute_rows (drawing, handle, tag, value) VALUES (" + str(drawing) +
                        ", 'A0', 'COLOUR', 'oak'), (" + str(drawing) + ", 'A0', 'NOTE', NULL), (" + str(drawing) +
                        ", 'A0', 'COLOUR', 'again')");
    pgQuery(kStage, "DELETE FROM block_rows WHERE parent = " + str(location));
    pgQuery(kStage, "INSERT INTO block_rows (parent, id, type, status) VALUES (" + str(location) + ", " +
                        str(location) + ", 'r', '0')");

    // A room read with its assets reads them with their attributes on the same procedure object.
    CBlocks blocks;
    blocks.getVXRBlocks(procedure.get(), 10, location, 1);
    ASSERT_EQ(blocks.getCount(), 1);
    CAssets* assets = vxr(blocks, 0)->getAssets();
    ASSERT_NE(assets, nullptr);
    ASSERT_EQ(assets->getCount(), 4);
    const int exists[] = {0, 1, 1, 1};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(assets->getAt(i)->getAssetExistsInLocation(), exists[i]) << i;
    CAsset* first = assets->getAt(0);
    EXPECT_EQ(first->getLocationID(), location);
    EXPECT_EQ(first->getDrawingID(), drawing);
    EXPECT_EQ(first->getHandleAsString(), L"A0");
    EXPECT_EQ(first->getBlockDescription(), L"Desk");
    EXPECT_DOUBLE_EQ(first->getPointY(), 2.5);
    ASSERT_EQ(first->getAttributes()->getCount(), 2);
    EXPECT_EQ(first->getAttributes()->getAt(0)->getValue(), L"oak");
    EXPECT_EQ(first->getAttributes()->getAt(1)->getTag(), L"NOTE");
    EXPECT_EQ(first->getAttributes()->getAt(1)->getValue(), L"");
    CAsset* second = assets->getAt(1);
    EXPECT_EQ(second->getBlockDescription(), L"");
    EXPECT_EQ(second->getUniqueDescription(), L"");
    EXPECT_DOUBLE_EQ(second->getPointX(), 0.0);
    EXPECT_EQ(second->getAttributes()->getCount(), 0);

    // Loading the location again adds every asset again.
    assets->getLocationAssets(procedure.get(), location, 10);
    EXPECT_EQ(assets->getCount(), 8);
    CAssets none;
    none.getLocationAssets(procedure.get(), -1, 10);
    EXPECT_EQ(none.getCount(), 0);
    EXPECT_EQ(procedure->getParameters(), nullptr);
}

TEST_F(StagedRows, AFailingReadIsTheProceduresOwnFailureAndAddsNothing) {
    CBlocks blocks;
    CHatch hatch;
    Failure failure = failureOf([&] { blocks.getCategoryDWGBlocks(procedure.get(), 10, 1, &hatch); });
    EXPECT_EQ(failure.outerClass, "CEXStoredProcedure");
    EXPECT_EQ(failure.outerMethod, L"CBlocks::getCategoryDWGBlocks");
    EXPECT_EQ(blocks.getCount(), 0);
    EXPECT_EQ(procedure->getParameters(), nullptr);
}

TEST(LoadersWithoutConnection, FailWithTheConnection) {
    REGISTER_REQUIRE_PG();
    Disconnected lost;
    CBlocks blocks;
    EXPECT_EQ(failureOf([&] { blocks.getVXRBlocks(&lost, 10, 1, 1); }).innerClass, "CEXConnection");
    EXPECT_EQ(failureOf([&] { blocks.getCategoryDWGBlocks(&lost, 10, 1, nullptr); }).innerClass, "CEXConnection");
    CAssets assets;
    EXPECT_EQ(failureOf([&] { assets.getLocationAssets(&lost, 1, 10); }).innerClass, "CEXConnection");
    EXPECT_EQ(failureOf([&] { assets.getCategoryAssets(&lost, 10, 1, nullptr); }).innerClass, "CEXConnection");
    CAttributes attributes;
    EXPECT_EQ(failureOf([&] { attributes.getAssetAttributes(&lost, 1, L"A", 10); }).innerClass, "CEXConnection");
    CHyperlinks hyperlinks;
    EXPECT_EQ(failureOf([&] { hyperlinks.getAssetHyperlinks(&lost, 10, 1, L"A"); }).innerClass, "CEXConnection");
    EXPECT_EQ(blocks.getCount() + assets.getCount() + attributes.getCount() + hyperlinks.getCount(), 0);
}

TEST(Category, BlocksAssetsAndHyperlinksLoadOnOneProcedure) {
    REGISTER_REQUIRE_PG();
    auto procedure = connect(L"vxr");
    const std::string report =
        pgQuery("vxr", "INSERT INTO graphic_report (title) VALUES ('register category test') RETURNING id")[0][0];
    const std::string category = pgQuery(
        "vxr", "INSERT INTO report_category (report_id, title) VALUES (" + report + ", 'Offices') RETURNING id")[0][0];
    pgQuery("vxr",
            "INSERT INTO category_block (category_id, handle, name, code, area, swap_name, swap_area, swap_aux) "
            "VALUES (" +
                category + ", 'A1', 'Room A', 'RA', 10.5, 'Room A', '10.5 sq.m.', NULL), (" + category +
                ", 'A2', NULL, NULL, NULL, '', '', ''), (" + category +
                ", NULL, 'No handle', NULL, NULL, NULL, NULL, 'aux')");
    pgQuery("vxr", "INSERT INTO category_hyperlink (category_id, kind, handle, href, description) VALUES (" + category +
                       ", 'b', 'A1', 'http://plans/1', 'one'), (" + category +
                       ", 'b', 'A1', 'http://plans/2', NULL), (" + category +
                       ", 'b', 'A1', 'http://plans/1', 'again'), (" + category +
                       ", 'a', 'D1', 'http://assets/1', 'asset link'), (" + category +
                       ", 'a', 'A1', 'http://assets/not-a-block', NULL)");
    pgQuery("vxr", "INSERT INTO category_asset (category_id, handle, description, unique_description) VALUES (" +
                       category + ", 'D1', 'Desk', 'Desk 1'), (" + category + ", NULL, NULL, NULL)");
    const int id = std::stoi(category);

    CHatch hatch;
    hatch.setPattern(L"ANSI31");
    hatch.setScale(2);
    hatch.setLayer(L"HATCH");
    CBlocks blocks;
    blocks.getCategoryDWGBlocks(procedure.get(), 10, id, &hatch);
    CAssets assets;
    assets.getCategoryAssets(procedure.get(), 10, id, &hatch);
    EXPECT_EQ(procedure->getParameters(), nullptr);
    // The procedure holds no list that is gone: its XML form is still sound.
    EXPECT_NE(procedure->serialize(L"urn:test"), nullptr);
    pgQuery("vxr", "DELETE FROM graphic_report WHERE id = " + report);

    ASSERT_EQ(blocks.getCount(), 3);
    auto* first = dynamic_cast<CBlockDWG*>(blocks.getAt(0));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->getBlockType(), CBlock::typeDWG);
    EXPECT_EQ(first->CBlock::getHandle(), L"A1");
    EXPECT_EQ(first->getHandle().text(), L"A1");
    EXPECT_EQ(first->getName(), L"Room A");
    EXPECT_EQ(first->getCode(), L"RA");
    EXPECT_DOUBLE_EQ(first->getArea(), 10.5);
    ASSERT_EQ(first->getAttributes()->getCount(), 2);
    EXPECT_EQ(first->getAttributes()->getAtAttribute(0)->getValue(), L"Room A");
    EXPECT_EQ(first->getAttributes()->getAtAttribute(CString(L"AREA"))->getValue(), L"10.5 sq.m.");
    ASSERT_NE(first->getHyperlinks(), nullptr);
    ASSERT_EQ(first->getHyperlinks()->getCount(), 2);
    EXPECT_EQ(first->getHyperlinks()->getAt(0)->getDescription(), L"one");
    EXPECT_EQ(first->getHyperlinks()->getAt(1)->getHref(), L"http://plans/2");
    EXPECT_EQ(first->getHyperlinks()->getAt(1)->getDescription(), L"");
    ASSERT_NE(first->getHatch(), nullptr);
    EXPECT_NE(first->getHatch(), &hatch);
    EXPECT_EQ(first->getHatch()->getPattern(), L"ANSI31");

    auto* second = dynamic_cast<CBlockDWG*>(blocks.getAt(1));
    EXPECT_EQ(second->getName(), L"");
    ASSERT_NE(second->getAttributes(), nullptr);
    EXPECT_EQ(second->getAttributes()->getCount(), 0);
    EXPECT_EQ(second->getHyperlinks(), nullptr);
    auto* third = dynamic_cast<CBlockDWG*>(blocks.getAt(2));
    EXPECT_EQ(third->CBlock::getHandle(), L"");
    EXPECT_EQ(third->getName(), L"No handle");
    ASSERT_EQ(third->getAttributes()->getCount(), 1);
    EXPECT_EQ(third->getAttributes()->getAtAttribute(2)->getValue(), L"aux");
    EXPECT_NE(third->getHatch(), first->getHatch());

    ASSERT_EQ(assets.getCount(), 2);
    CAsset* desk = assets.getAt(0);
    EXPECT_EQ(desk->getHandleAsString(), L"D1");
    EXPECT_EQ(desk->getBlockDescription(), L"Desk");
    EXPECT_EQ(desk->getUniqueDescription(), L"Desk 1");
    ASSERT_EQ(desk->getHyperlinks()->getCount(), 1);
    EXPECT_EQ(desk->getHyperlinks()->getAt(0)->getDescription(), L"asset link");
    ASSERT_NE(desk->getHatch(), nullptr);
    EXPECT_NE(desk->getHatch(), assets.getAt(1)->getHatch());
    EXPECT_TRUE(assets.getAt(1)->getHandle().isNull());
    ASSERT_NE(assets.getAt(1)->getHyperlinks(), nullptr);
    EXPECT_EQ(assets.getAt(1)->getHyperlinks()->getCount(), 0);
}

} // namespace
