// What each register writer sends: the parameters in the order they are bound with their types and
// sizes (the debug log), and the values as the server receives them (the staging procedures).
#include "RegisterTestSupport.h"

#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWGFloor.h"
#include "model/BlockDWGRoom.h"
#include "model/BlockVXRBuilding.h"
#include "model/BlockVXRFloor.h"
#include "model/BlockVXRRoom.h"
#include "model/BlockVXRSite.h"

using namespace registertest;
using Strings = std::vector<std::string>;
using WStrings = std::vector<std::wstring>;

namespace {

class Writers : public ::testing::Test {
protected:
    void SetUp() override {
        REGISTER_REQUIRE_PG();
        ensureStageDatabase();
        procedure = connect(L"registerstage2");
        pid = backendPid(procedure.get());
    }
    std::vector<ReceivedCall> received() { return receivedCalls(pid); }

    std::unique_ptr<CStoredProcedure> procedure;
    int pid = 0;
};

const WStrings kSpaceParameters = {L"@locationID int 4", L"@parentID int 4",         L"@name varchar 255",
                                   L"@code varchar 255", L"@statusExists boolean 1", L"@statusDuplicate boolean 1",
                                   L"@area decimal 9",   L"@handle varchar 255",     L"@perimeter decimal 9",
                                   L"@precision int 4"};
const WStrings kGrossAreaParameters = {L"@locationID int 4", L"@area decimal 9", L"@handle varchar 255",
                                       L"@perimeter decimal 9", L"@precision int 4"};

template <class Block>
void fillSpace(Block& block, int id, const wchar_t* name, int exists, int duplicate) {
    block.setId(id);
    block.setParentId(7);
    block.setName(name);
    block.setCode(L"R1");
    block.setStatusExists(exists);
    block.setStatusDuplicate(duplicate);
    block.setArea(12.34567890123456);
    block.setHandle(L"1F");
    block.setPerimeter(14.5);
    block.setPrecision(3);
}

TEST_F(Writers, RoomsAndBuildingsSendTenParametersAndTakeTheirNewIdBack) {
    DebugLog log;
    CBlockVXRRoom room;
    fillSpace(room, 0, L"Room 1", 1, 0);
    room.applyToVXR(procedure.get(), 5, 10);
    EXPECT_EQ(room.getId(), 4242);

    CBlockVXRBuilding building;
    fillSpace(building, 0, L"Main building", 0, 1);
    building.applyToVXR(procedure.get(), 5, 10);
    EXPECT_EQ(building.getId(), 4242);

    CBlockVXRRoom known;
    fillSpace(known, 31, L"Room 2", 0, 0);
    known.applyToVXR(procedure.get(), 5, 10);
    EXPECT_EQ(known.getId(), 31);

    auto logged = log.calls();
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(logged[0].execution, L"execSPNoReturnParasReturn");
    EXPECT_EQ(logged[0].procedure, L"__to_setRoomBlockInVXR");
    EXPECT_EQ(logged[0].parameters, kSpaceParameters);
    EXPECT_EQ(logged[1].procedure, L"__to_setBuildingBlockInVXR");
    EXPECT_EQ(logged[1].parameters, kSpaceParameters);

    auto calls = received();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].procedure, "__to_setRoomBlockInVXR");
    EXPECT_EQ(calls[0].arguments, (Strings{"locationID=0", "parentID=7", "name=Room 1", "code=R1", "statusExists=true",
                                           "statusDuplicate=false", "area=12.3456789012", "handle=1F",
                                           "perimeter=14.5000000000", "precision=3"}));
    EXPECT_EQ(calls[1].procedure, "__to_setBuildingBlockInVXR");
    EXPECT_EQ(calls[1].arguments[0], "locationID=0");
    EXPECT_EQ(calls[1].arguments[4], "statusExists=false");
    EXPECT_EQ(calls[1].arguments[5], "statusDuplicate=true");
    EXPECT_EQ(calls[2].arguments[0], "locationID=31");
    EXPECT_EQ(procedure->getParameters(), nullptr);
}

TEST_F(Writers, FloorsAndSitesSendFiveInputsAndKeepTheirId) {
    DebugLog log;
    CBlockVXRFloor floor;
    floor.setArea(250.0);
    floor.setHandle(L"2B");
    floor.setPerimeter(64.25);
    floor.applyToVXR(procedure.get(), 5, 10);
    EXPECT_EQ(floor.getId(), 0);

    CBlockVXRSite site;
    site.setId(9);
    site.setArea(0.5);
    site.applyToVXR(procedure.get(), 5, 10);
    EXPECT_EQ(site.getId(), 9);

    auto logged = log.calls();
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].execution, L"execSPNoReturnParas");
    EXPECT_EQ(logged[0].procedure, L"__to_setFloorBlockInVXR");
    EXPECT_EQ(logged[0].parameters, kGrossAreaParameters);
    EXPECT_EQ(logged[1].procedure, L"__to_setSiteBlockInVXR");
    EXPECT_EQ(logged[1].parameters, kGrossAreaParameters);

    auto calls = received();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].arguments,
              (Strings{"locationID=0", "area=250.0000000000", "handle=2B", "perimeter=64.2500000000", "precision=2"}));
    EXPECT_EQ(calls[1].arguments[0], "locationID=9");
}

// An asset of a kind with its two attributes, one that exists and one that does not.
CAsset* deskAsset(const wchar_t* handle, const wchar_t* kind, int exists) {
    auto* asset = new CAsset(99, 3, handle, kind, L"a desk", L"Desk 7", 1.5, -2.25, exists);
    auto* attributes = new CAttributes();
    attributes->add(new CAttribute(L"COLOUR", L"oak", 1), 0);
    attributes->add(new CAttribute(L"SIZE", L"2", 0), 0);
    asset->setAttributes(attributes);
    return asset;
}

TEST_F(Writers, AnAssetIsSentUnderTheIdsGivenWithItsAttributesUnlessExcluded) {
    DebugLog log;
    std::unique_ptr<CAsset> desk(deskAsset(L"2A", L"DESK", 1));
    desk->applyToVXR(procedure.get(), 5, 11, 10);
    desk->applyToVXR(procedure.get(), 5, 12, 10);

    auto calls = received();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[0].procedure, "__to_applyAssetToVXR");
    EXPECT_EQ(calls[0].arguments,
              (Strings{"locationID=11", "drawingID=5", "handle=2A", "acadBlockIdentifier=DESK",
                       "acadBlockDescription=a desk", "uniqueDescription=Desk 7", "pointX=1.5000000000",
                       "pointY=-2.2500000000", "assetExistsInLocation=true"}));
    EXPECT_EQ(calls[1].procedure, "__to_applyAssetAttributeToVXR");
    EXPECT_EQ(calls[1].arguments, (Strings{"drawingID=5", "handle=2A", "tag=COLOUR", "value=oak", "exists=true"}));
    EXPECT_EQ(calls[2].arguments, (Strings{"drawingID=5", "handle=2A", "tag=SIZE", "value=2", "exists=false"}));
    EXPECT_EQ(calls[3].arguments[0], "locationID=12");

    auto logged = log.calls();
    ASSERT_EQ(logged.size(), 6u);
    EXPECT_EQ(logged[0].execution, L"execSPNoReturnParasReturn");
    EXPECT_EQ(logged[0].parameters,
              (WStrings{L"@locationID int 4", L"@drawingID int 4", L"@handle varchar 255",
                        L"@acadBlockIdentifier varchar 100", L"@acadBlockDescription varchar 255",
                        L"@uniqueDescription varchar 255", L"@pointX decimal 9", L"@pointY decimal 9",
                        L"@assetExistsInLocation boolean 1", L"@excludedFromTakeoff boolean 1"}));
    EXPECT_EQ(logged[1].execution, L"execSPNoReturnParas");
    EXPECT_EQ(logged[1].parameters, (WStrings{L"@drawingID int 4", L"@handle varchar 255", L"@tag varchar 255",
                                              L"@value varchar 255", L"@exists boolean 1"}));
}

TEST_F(Writers, AttributesStayUnwrittenForAnExcludedAbsentOrBareAsset) {
    std::unique_ptr<CAsset> excluded(deskAsset(L"3A", L"EXCL-DESK", 1));
    std::unique_ptr<CAsset> absent(deskAsset(L"3B", L"DESK", 0));
    CAsset bare(3, L"3C", L"DESK", L"", L"", 0, 0, 1);
    excluded->applyToVXR(procedure.get(), 5, 11, 10);
    absent->applyToVXR(procedure.get(), 5, 11, 10);
    bare.applyToVXR(procedure.get(), 5, 11, 10);
    auto calls = received();
    ASSERT_EQ(calls.size(), 3u);
    for (const auto& call : calls) EXPECT_EQ(call.procedure, "__to_applyAssetToVXR");
    EXPECT_EQ(calls[1].arguments[8], "assetExistsInLocation=false");
}

TEST_F(Writers, ARoomWritesItsAssetsUnderItsNewId) {
    CBlockVXRRoom room;
    fillSpace(room, 0, L"Room 3", 1, 0);
    room.setAssets(new CAssets());
    room.applyToVXR(procedure.get(), 5, 10); // an empty list writes nothing
    room.setId(0);
    room.getAssets()->add(deskAsset(L"4A", L"DESK", 1));
    room.applyToVXR(procedure.get(), 6, 10);
    auto calls = received();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1].procedure, "__to_setRoomBlockInVXR");
    EXPECT_EQ(calls[2].arguments[0], "locationID=4242");
    EXPECT_EQ(calls[2].arguments[1], "drawingID=6");
    EXPECT_EQ(calls[3].arguments[0], "drawingID=6");
}

TEST_F(Writers, ExportsSendTheirWholeRecordWithTheExportTextLast) {
    DebugLog log;
    CBlockDWGRoom room;
    room.setName(L"Office");
    room.setCode(L"O1");
    room.setArea(20.0);
    room.setRoomHeight(2.5);
    room.setVolume(50.0);
    room.setHandle(CString(L"5C"));
    room.setAssets(new CAssets());
    room.getAssets()->add(deskAsset(L"5D", L"DESK", 1));
    room.exportTP(procedure.get(), 10, 7, L"run=1");
    CBlockDWGFloor floor;
    floor.exportTP(procedure.get(), 10, 8, L"run=2");

    auto calls = received();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].procedure, "__to_exportSpaceBlockToTP");
    EXPECT_EQ(calls[0].arguments,
              (Strings{"parentID=7", "name=Office", "code=O1", "area=20.0000000000", "areaType=<Not Set>",
                       "costCentre=<Not Set>", "date=<Not Set>", "dateLastMove=<Not Set>", "deptCharge=<Not Set>",
                       "handle=5C", "perimeter=0.0000000000", "roomHeight=2.5000000000", "specialReq=<Not Set>",
                       "tagType=<Not Set>", "totStaff=<Not Set>", "totWkStns=<Not Set>", "volume=50.0000000000",
                       "exportParameters=run=1"}));
    // The asset goes under its own location, with the room's export text.
    EXPECT_EQ(calls[1].procedure, "__to_tp_exportAsset");
    EXPECT_EQ(calls[1].arguments,
              (Strings{"locationID=99", "handle=5D", "acadBlockIdentifier=DESK", "acadBlockDescription=a desk",
                       "uniqueDescription=Desk 7", "pointX=1.5000000000", "pointY=-2.2500000000",
                       "assetExistsInLocation=true", "exportParameters=run=1"}));
    EXPECT_EQ(calls[2].procedure, "__to_exportGrossAreaBlocktoTP");
    EXPECT_EQ(calls[2].arguments.size(), 16u);
    EXPECT_EQ(calls[2].arguments.front(), "locationID=8");

    auto logged = log.calls();
    ASSERT_EQ(logged.size(), 3u);
    WStrings names;
    for (const auto& parameter : logged[2].parameters) names.push_back(parameter.substr(0, parameter.find(L' ')));
    EXPECT_EQ(names, (WStrings{L"@locationID", L"@area", L"@areaType", L"@costCentre", L"@date", L"@dateLastMove",
                               L"@deptCharge", L"@handle", L"@perimeter", L"@roomHeight", L"@specialReq", L"@tagType",
                               L"@totStaff", L"@totWkStns", L"@volume", L"@exportParameters"}));
    EXPECT_EQ(logged[0].parameters[3], L"@area decimal 9");
}

TEST_F(Writers, DecimalsBeyondEighteenTenAreRefusedNotCut) {
    CBlockVXRFloor fits;
    fits.setArea(99999999.5);
    fits.applyToVXR(procedure.get(), 5, 10);
    CBlockVXRFloor tooLarge;
    tooLarge.setArea(123456789.0);
    Failure failure = failureOf([&] { tooLarge.applyToVXR(procedure.get(), 5, 10); });
    EXPECT_TRUE(failure.thrown);
    EXPECT_EQ(failure.outerMethod, L"CBlockVXRFloor::applyToVXR");
    auto calls = received();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments[1], "area=99999999.5000000000");
}

TEST(WritersWithoutConnection, FailWithTheConnectionInsteadOfSendingNothing) {
    REGISTER_REQUIRE_PG();
    Disconnected lost;
    CBlockVXRRoom room;
    EXPECT_EQ(failureOf([&] { room.applyToVXR(&lost, 5, 10); }).innerClass, "CEXConnection");
    EXPECT_EQ(room.getId(), 0);
    CBlockVXRFloor floor;
    EXPECT_EQ(failureOf([&] { floor.applyToVXR(&lost, 5, 10); }).innerClass, "CEXConnection");

    std::unique_ptr<CAsset> desk(deskAsset(L"6A", L"DESK", 1));
    Failure asset = failureOf([&] { desk->applyToVXR(&lost, 5, 11, 10); });
    EXPECT_EQ(asset.innerClass, "CEXConnection");
    EXPECT_EQ(asset.outerMethod, L"CAsset::applyToVXR");
    EXPECT_EQ(failureOf([&] { desk->getAttributes()->applyToVXR(&lost, 5, L"6A", 10); }).innerClass, "CEXConnection");
    EXPECT_EQ(failureOf([&] { desk->exportTP(&lost, 10, L""); }).innerClass, "CEXConnection");
    CBlockDWGRoom export_;
    EXPECT_EQ(failureOf([&] { export_.exportTP(&lost, 10, 1, L""); }).innerClass, "CEXConnection");
    EXPECT_EQ(lost.getParameters(), nullptr);
}

TEST(WritersWithoutProcedure, FailWithAMessage) {
    CBlockVXRRoom room;
    Failure failure = failureOf([&] { room.applyToVXR(nullptr, 5, 10); });
    EXPECT_TRUE(failure.thrown);
    EXPECT_EQ(failure.innerClass, "other");
}

} // namespace
