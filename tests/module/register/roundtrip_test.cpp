// Space blocks and assets written to the register through the model and read back through it.
#include "RegisterTestSupport.h"

#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWGRoom.h"
#include "model/BlockVXRBuilding.h"
#include "model/BlockVXRFloor.h"
#include "model/BlockVXRRoom.h"
#include "model/BlockVXRSite.h"
#include "model/Blocks.h"

using namespace registertest;

namespace {

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        REGISTER_REQUIRE_PG();
        procedure = connect(L"vxr");
    }
    // Clears what an earlier run left below the parent and in the drawing.
    static void clear(int parent, int drawing) {
        pgQuery("vxr", "DELETE FROM location WHERE parent_id = " + str(parent));
        pgQuery("vxr", "DELETE FROM asset WHERE drawing_id = " + str(drawing));
        pgQuery("vxr", "DELETE FROM asset_attribute WHERE drawing_id = " + str(drawing));
    }
    std::unique_ptr<CStoredProcedure> procedure;
};

CAsset* asset(const wchar_t* handle, const wchar_t* kind, int exists,
              std::initializer_list<const wchar_t*> tagsAndValues) {
    auto* made = new CAsset(0, handle, kind, L"oak desk", L"Desk 7", 1.5, -2.25, exists);
    auto* attributes = new CAttributes();
    for (auto it = tagsAndValues.begin(); it != tagsAndValues.end(); it += 2)
        attributes->add(new CAttribute(it[0], it[1], 1), 0);
    made->setAttributes(attributes);
    return made;
}

TEST_F(RoundTrip, RoomsAndBuildingsComeBackBelowTheirParentWithTheirAssets) {
    const int parent = localId(1);
    const int drawing = localId(2);
    clear(parent, drawing);
    pgQuery("vxr", "INSERT INTO asset_type VALUES ('REGTEST-EXCL', 'Excluded kind', true) ON CONFLICT DO NOTHING");

    CBlockVXRBuilding building;
    building.setParentId(parent);
    building.setName(L"Block A");
    building.setCode(L"BA");
    building.setStatusExists(1);
    building.setStatusDuplicate(1);
    building.setArea(1000.5);
    building.setHandle(L"A1");
    building.setPerimeter(130.25);
    building.applyToVXR(procedure.get(), drawing, 10);
    EXPECT_GT(building.getId(), 0);

    CBlockVXRRoom room;
    room.setParentId(parent);
    room.setName(L"Room 1");
    room.setCode(L"R1");
    room.setArea(12.3456789012);
    room.setHandle(L"B2");
    room.setPerimeter(14.0);
    room.setAssets(new CAssets());
    room.getAssets()->add(asset(L"C3", L"REGTEST-DESK", 1, {L"SIZE", L"2", L"COLOUR", L"oak"}));
    room.getAssets()->add(asset(L"C4", L"REGTEST-EXCL", 1, {L"COLOUR", L"grey"}));
    room.getAssets()->add(asset(L"C5", L"REGTEST-DESK", 0, {L"LEGS", L"4"}));
    room.applyToVXR(procedure.get(), drawing, 10);
    const int roomId = room.getId();
    EXPECT_GT(roomId, 0);
    EXPECT_NE(roomId, building.getId());
    // Written again under its id, the room is changed, not added.
    room.setName(L"Room 1a");
    room.applyToVXR(procedure.get(), drawing, 10);
    EXPECT_EQ(room.getId(), roomId);

    CBlocks blocks;
    blocks.getVXRBlocks(procedure.get(), 10, parent, 1);
    ASSERT_EQ(blocks.getCount(), 2);
    auto* readBuilding = dynamic_cast<CBlockVXRBuilding*>(blocks.getAt(0));
    ASSERT_NE(readBuilding, nullptr);
    EXPECT_EQ(readBuilding->getId(), building.getId());
    EXPECT_EQ(readBuilding->getParentId(), parent);
    EXPECT_EQ(readBuilding->getName(), L"Block A");
    EXPECT_EQ(readBuilding->getStatusExists(), 1);
    EXPECT_EQ(readBuilding->getStatusDuplicate(), 1);
    EXPECT_DOUBLE_EQ(readBuilding->getArea(), 1000.5);
    EXPECT_EQ(readBuilding->getHandle(), L"A1");
    EXPECT_EQ(readBuilding->getAssets(), nullptr);

    auto* readRoom = dynamic_cast<CBlockVXRRoom*>(blocks.getAt(1));
    ASSERT_NE(readRoom, nullptr);
    EXPECT_EQ(blocks.getAtVXRBlock(roomId), readRoom);
    EXPECT_EQ(readRoom->getName(), L"Room 1a");
    EXPECT_EQ(readRoom->getStatusExists(), 0);
    EXPECT_EQ(readRoom->getStatusDuplicate(), 0);
    EXPECT_DOUBLE_EQ(readRoom->getArea(), 12.3456789012);
    ASSERT_NE(readRoom->getAssets(), nullptr);
    CAssets* assets = readRoom->getAssets();
    ASSERT_EQ(assets->getCount(), 3);

    CAsset* desk = assets->getAtAsset(L"C3");
    ASSERT_NE(desk, nullptr);
    EXPECT_EQ(desk->getLocationID(), roomId);
    EXPECT_EQ(desk->getDrawingID(), drawing);
    EXPECT_EQ(desk->getBlockIdentifier(), L"REGTEST-DESK");
    EXPECT_EQ(desk->getBlockDescription(), L"oak desk");
    EXPECT_DOUBLE_EQ(desk->getPointY(), -2.25);
    EXPECT_EQ(desk->getAssetExistsInLocation(), 1);
    ASSERT_NE(desk->getAttributes(), nullptr);
    ASSERT_EQ(desk->getAttributes()->getCount(), 2);
    EXPECT_EQ(desk->getAttributes()->getAtAttribute(CString(L"COLOUR"))->getValue(), L"oak");
    EXPECT_EQ(desk->getAttributes()->getAtAttribute(CString(L"SIZE"))->getValue(), L"2");
    EXPECT_EQ(desk->getAttributes()->getAt(0)->getExists(), 1);

    // The register's kind that is excluded from take-off kept its own description and no attributes.
    CAsset* cabinet = assets->getAtAsset(L"C4");
    ASSERT_NE(cabinet, nullptr);
    EXPECT_EQ(cabinet->getBlockDescription(), L"Excluded kind");
    EXPECT_EQ(cabinet->getAttributes()->getCount(), 0);
    CAsset* chair = assets->getAtAsset(L"C5");
    ASSERT_NE(chair, nullptr);
    EXPECT_EQ(chair->getAssetExistsInLocation(), 0);
    EXPECT_EQ(chair->getAttributes()->getCount(), 0);

    EXPECT_EQ(blocks.getAtVXRBlock(-5), nullptr);
    CBlocks withoutAssets;
    withoutAssets.getVXRBlocks(procedure.get(), 10, parent, 0);
    ASSERT_EQ(withoutAssets.getCount(), 2);
    EXPECT_EQ(static_cast<CBlockVXR*>(withoutAssets.getAt(1))->getAssets(), nullptr);
    EXPECT_EQ(procedure->getParameters(), nullptr);
}

TEST_F(RoundTrip, FloorsAndSitesUpdateTheLocationsTheRegisterHolds) {
    const int parent = localId(3);
    clear(parent, localId(4));
    const int floorId = std::stoi(pgQuery("vxr", "INSERT INTO location (type, parent_id, name) VALUES ('f', " +
                                                     str(parent) + ", 'Level 1') RETURNING id")[0][0]);
    const int siteId = std::stoi(pgQuery("vxr", "INSERT INTO location (type, parent_id, name) VALUES ('s', " +
                                                    str(parent) + ", 'Campus') RETURNING id")[0][0]);
    CBlockVXRFloor floor;
    floor.setId(floorId);
    floor.setArea(500.0);
    floor.setHandle(L"F1");
    floor.setPerimeter(90.0);
    floor.applyToVXR(procedure.get(), 1, 10);
    CBlockVXRSite site;
    site.setId(siteId);
    site.setArea(2000.0);
    site.setHandle(L"S1");
    site.applyToVXR(procedure.get(), 1, 10);
    CBlockVXRFloor unknown;
    unknown.setArea(1.0);
    unknown.applyToVXR(procedure.get(), 1, 10);
    EXPECT_EQ(unknown.getId(), 0);

    CBlocks blocks;
    blocks.getVXRBlocks(procedure.get(), 10, parent, 1);
    ASSERT_EQ(blocks.getCount(), 2);
    auto* readFloor = dynamic_cast<CBlockVXRFloor*>(blocks.getAt(0));
    ASSERT_NE(readFloor, nullptr);
    EXPECT_EQ(readFloor->getName(), L"Level 1");
    EXPECT_DOUBLE_EQ(readFloor->getArea(), 500.0);
    EXPECT_EQ(readFloor->getHandle(), L"F1");
    EXPECT_DOUBLE_EQ(readFloor->getPerimeter(), 90.0);
    auto* readSite = dynamic_cast<CBlockVXRSite*>(blocks.getAt(1));
    ASSERT_NE(readSite, nullptr);
    EXPECT_DOUBLE_EQ(readSite->getArea(), 2000.0);
    // Rows without a value stay at the record's defaults.
    EXPECT_DOUBLE_EQ(readSite->getPerimeter(), 0.0);
}

TEST_F(RoundTrip, ExportsLandInThePlanningTables) {
    const std::string run = "export-" + str(localId(5));
    pgQuery("vxr", "DELETE FROM tp_space WHERE export_parameters = '" + run + "'");
    pgQuery("vxr", "DELETE FROM tp_asset WHERE export_parameters = '" + run + "'");
    CBlockDWGRoom room;
    room.setName(L"Office");
    room.setArea(20.25);
    room.setAssets(new CAssets());
    room.getAssets()->add(asset(L"E1", L"REGTEST-DESK", 1, {}));
    room.exportTP(procedure.get(), 10, 77, CString(run.c_str()));
    auto spaces =
        pgQuery("vxr", "SELECT parent_id, name, area, tag_type FROM tp_space WHERE export_parameters = '" + run + "'");
    ASSERT_EQ(spaces.size(), 1u);
    EXPECT_EQ(spaces[0], (std::vector<std::string>{"77", "Office", "20.2500000000", "<Not Set>"}));
    auto assets = pgQuery(
        "vxr", "SELECT handle, point_y, exists_in_location FROM tp_asset WHERE export_parameters = '" + run + "'");
    ASSERT_EQ(assets.size(), 1u);
    EXPECT_EQ(assets[0], (std::vector<std::string>{"E1", "-2.2500000000", "t"}));
}

} // namespace
