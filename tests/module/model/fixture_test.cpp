// A floor plan written by another program (tests/data/model/rooms.dxf, made by make_rooms.py with
// ezdxf): its space blocks read, recalculated and written back.
#include <filesystem>

#include <gtest/gtest.h>

#include "SpaceBlockFixture.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/Blocks.h"
#include "win/Paths.h"

namespace {

class ForeignPlan : public modeltest::SpaceBlockFixture {
protected:
    void SetUp() override {
        SpaceBlockFixture::SetUp();
        auto* plan = new AcDbDatabase(false, true);
        std::filesystem::path file = std::filesystem::path(KELMO_SOURCE_DIR) / "tests" / "data" / "model" / "rooms.dxf";
        ASSERT_EQ(plan->readDxfFile(win::nativeToWindows(file.string()).c_str()), Acad::eOk);
        document = acDocManager->addDocument(plan, L"rooms.dxf");
        drawing->setDocument(document);
    }
    void TearDown() override {
        EXPECT_EQ(document->database()->openedObjects().size(), 0u);
        EXPECT_EQ(document->lockCount(), 0);
        SpaceBlockFixture::TearDown();
    }
    CBlockDWG* byCode(CBlocks& blocks, const wchar_t* code) { return static_cast<CBlockDWG*>(blocks.getByCode(code)); }
    AcApDocument* document = nullptr;
};

TEST_F(ForeignPlan, SpacesReadWithTheirDataAttributesAndAssets) {
    CBlocks blocks;
    blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 1, L"f");
    ASSERT_EQ(blocks.getCount(), 3);
    CBlockDWG* floor = byCode(blocks, L"Floor 1");
    ASSERT_NE(floor, nullptr);
    EXPECT_EQ(floor->getBlockType(), 8);
    EXPECT_EQ(floor->getArea(), 600.0);

    CBlockDWG* office = byCode(blocks, L"R101");
    ASSERT_NE(office, nullptr);
    EXPECT_EQ(office->getBlockType(), 7);
    EXPECT_EQ(office->getHandlesToMinusCount(), 1);
    ASSERT_NE(office->getAssets(), nullptr);
    ASSERT_EQ(office->getAssets()->getCount(), 1);
    CAsset* desk = office->getAssets()->getAt(0);
    EXPECT_EQ(desk->getBlockIdentifier(), L"DESK");
    EXPECT_EQ(desk->getAttributes()->getAtAttribute(CString(L"ASSET_NO"))->getValue(), L"A-17");
    office->recalculateArea(document);
    office->recalculatePerimeter(document);
    EXPECT_DOUBLE_EQ(office->getArea(), 49.0);
    EXPECT_DOUBLE_EQ(office->getPerimeter(), 34.0);

    CBlockDWG* small = byCode(blocks, L"R102");
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->getXDataAppName(), L"AECXDATA");
    // "AREA=16sq.m.": without a point, no decimals.
    EXPECT_EQ(small->getPrecision(), 0);
    EXPECT_EQ(small->getAttributes()->getAtAttribute(2)->getValue(), L"x");
    EXPECT_EQ(small->getAttributes()->getAtAttribute(2)->getTag(), L"AUX");
    EXPECT_EQ(small->getAssets()->getCount(), 0);
}

TEST_F(ForeignPlan, WrittenBackStringForString) {
    CBlocks blocks;
    blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 0, L"f");
    CBlockDWG* office = byCode(blocks, L"R101");
    ASSERT_NE(office, nullptr);
    std::vector<std::wstring> before = modeltest::xDataStrings(office->getObjectId(), L"ADE");
    office->applyToDWG(drawing.get(), nullptr);
    EXPECT_EQ(modeltest::xDataStrings(office->getObjectId(), L"ADE"), before);

    // Written back under the application it came with, at the precision it was read with.
    CBlockDWG* small = byCode(blocks, L"R102");
    ASSERT_NE(small, nullptr);
    small->applyToDWG(drawing.get(), nullptr);
    std::vector<std::wstring> after = modeltest::xDataStrings(small->getObjectId(), L"AECXDATA");
    ASSERT_EQ(after.size(), 16u);
    EXPECT_EQ(after[0], L"AREA=16sq.m.");
    EXPECT_TRUE(modeltest::xDataStrings(small->getObjectId(), L"ADE").empty());
}

} // namespace
