// The space record, hatch definition, hyperlinks, attributes, assets and the block collection on
// their own, without a drawing: defaults, copies, lists that refuse, XML forms.
#include <gtest/gtest.h>

#include "ModelTestSupport.h"
#include "core/XMLUtilities.h"
#include "model/Asset.h"
#include "model/Attributes.h"
#include "model/Block.h"
#include "model/BlockDWG.h"
#include "model/BlockDWGFloor.h"
#include "model/BlockDWGRoom.h"
#include "model/BlockDWGSite.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "model/Hyperlink.h"
#include "model/Hyperlinks.h"
#include "model/KelmoAttribute.h"
#include "model/ModelSupport.h"
#include "reports/MarkerBlockLegend.h"

namespace {

const CString kNs = L"http://schemas.kelmo.net/test";

CHatch* yellowSolid() {
    auto* hatch = new CHatch();
    hatch->setPattern(L"SOLID");
    hatch->setAngle(45);
    hatch->setScale(500);
    hatch->setLayer(L"#Hatch");
    AcCmColor colour;
    colour.setRGB(255, 255, 0);
    hatch->setColour(colour);
    return hatch;
}

TEST(SpaceRecord, DefaultsAndTheDrawingFormsDefaults) {
    CBlock record;
    EXPECT_EQ(record.getUnits(), 0);
    EXPECT_EQ(record.getPrecision(), 2);
    EXPECT_EQ(record.getBlockType(), 0);
    EXPECT_EQ(record.getHyperlinks(), nullptr);

    CBlockDWG block;
    EXPECT_EQ(block.getUnits(), -1);
    EXPECT_EQ(block.getPrecision(), -1);
    EXPECT_EQ(block.getBlockType(), 6);
    EXPECT_EQ(block.getXDataAppName(), L"ADE");
    EXPECT_EQ(block.getTagType(), L"<Not Set>");
    EXPECT_EQ(block.getTotWkStns(), L"<Not Set>");
    EXPECT_EQ(block.getAreaUnitText(), L"sq.m.");
    block.setUnits(1);
    EXPECT_EQ(block.getAreaUnitText(), L"sq.ft.");
    EXPECT_EQ(block.getLengthUnitText(), L"ft.");
}

TEST(SpaceRecord, VolumeIsAreaTimesHeight) {
    CBlock record;
    record.setArea(40.0);
    EXPECT_EQ(record.calculateVolume()->getVolume(), 0.0);
    record.setRoomHeight(2.5);
    EXPECT_DOUBLE_EQ(record.calculateVolume()->getVolume(), 100.0);
}

TEST(SpaceRecord, CopyKeepsTheTargetsHyperlinksAndClass) {
    auto* source = new CBlockDWGRoom();
    source->setName(L"Office");
    source->setArea(12.5);
    source->setHyperlinks(new CHyperlinks());
    source->getHyperlinks()->add(new CHyperlink(L"http://a", L"A"));
    CBlockDWG target;
    target.setHyperlinks(new CHyperlinks());
    CHyperlinks* kept = target.getHyperlinks();
    source->CBlock::copyInto(&target);
    delete source;
    EXPECT_EQ(target.getName(), L"Office");
    EXPECT_EQ(target.getArea(), 12.5);
    EXPECT_EQ(target.getHyperlinks(), kept);
    EXPECT_EQ(kept->getCount(), 0);
    // A plain drawing block does not claim to be a room: deletion by type code relies on it.
    EXPECT_EQ(target.getBlockType(), 6);
}

TEST(SpaceRecord, DrawingCopyGivesTheTargetObjectsOfItsOwn) {
    auto* source = new CBlockDWGRoom();
    source->setHatch(yellowSolid());
    source->setHyperlinks(new CHyperlinks());
    source->getHyperlinks()->add(new CHyperlink(L"http://a", L"A"));
    source->setAttributes(new CAttributes());
    auto* name = new CKelmoAttribute();
    name->setSwapType(0);
    name->setValue(L"R101");
    source->getAttributes()->add(name, 0);
    source->setAssets(new CAssets());
    source->getAssets()->add(new CAsset(0, L"2A", L"DESK", L"", L"", 1.0, 2.0, 1));
    source->setHandlesToMinus(L"", nullptr);
    source->addHandleToMinus(AcDbHandle(0x2B), nullptr);
    source->setLayer(L"ROOMS");
    source->setZoomOnApply(1);

    CBlockDWGRoom target;
    source->copyInto(&target);
    delete source;
    ASSERT_NE(target.getHatch(), nullptr);
    EXPECT_EQ(target.getHatch()->getScale(), 500);
    EXPECT_EQ(target.getHyperlinks()->getAt(0)->getHref(), L"http://a");
    EXPECT_EQ(target.getAttributes()->getAtAttribute(0)->getValue(), L"R101");
    EXPECT_EQ(target.getAssets()->getAt(0)->getBlockIdentifier(), L"DESK");
    EXPECT_EQ(target.getHandlesToMinusAsString(), L"2B,");
    // Neither the layer nor the zoom settings travel.
    EXPECT_EQ(target.getLayer(), L"");
    EXPECT_EQ(target.getZoomOnApply(), 0);
}

TEST(SpaceRecord, FormattingCopyFillsRolesWithoutDuplicates) {
    CBlockDWG source;
    source.setArea(30.0);
    source.setAttributes(new CAttributes());
    source.getAttributes()->setHeight(100.0);
    for (int role = 0; role < 3; ++role) {
        auto* attribute = new CKelmoAttribute();
        attribute->setSwapType(role);
        attribute->setValue(role == 0 ? L"N" : role == 1 ? L"30 sq.m." : L"X");
        source.getAttributes()->add(attribute, 0);
    }
    CBlockDWG target;
    target.setAttributes(new CAttributes());
    auto* existing = new CKelmoAttribute();
    existing->setSwapType(0);
    existing->setValue(L"old");
    target.getAttributes()->add(existing, 0);
    source.copyFormatting(&target);
    EXPECT_EQ(target.getArea(), 30.0);
    EXPECT_EQ(target.getAttributes()->getCount(), 3);
    EXPECT_EQ(target.getAttributes()->getAtAttribute(0)->getValue(), L"N");
    EXPECT_EQ(target.getAttributes()->getHeight(), 100.0);
}

TEST(Hatch, CopyGivesEqualValues) {
    CHatch* source = yellowSolid();
    CHatch target;
    source->copyTo(&target);
    delete source;
    EXPECT_EQ(target.getPattern(), L"SOLID");
    EXPECT_EQ(target.getAngle(), 45);
    EXPECT_EQ(target.getScale(), 500);
    EXPECT_EQ(target.getLayer(), L"#Hatch");
    EXPECT_EQ(target.getColour().blue(), 0);
    EXPECT_EQ(target.getColour().green(), 255);
}

TEST(Hyperlinks, AnEqualAddressIsRefusedAndStaysTheCallers) {
    CHyperlinks list;
    EXPECT_TRUE(list.add(new CHyperlink(L"http://a", L"first")));
    auto* again = new CHyperlink(L"http://a", L"second");
    EXPECT_FALSE(list.add(again));
    delete again;
    EXPECT_TRUE(list.add(new CHyperlink(L"HTTP://A", L"other case")));
    EXPECT_EQ(list.getCount(), 2);
    EXPECT_EQ(list.getAt(0)->getDescription(), L"first");
}

TEST(Hyperlinks, CompactTextGivesRegisterAddresses) {
    CHyperlinks list;
    list.setHyperlinks(L"http://a,Plan A;http://b;,Only text; ,x", 7);
    ASSERT_EQ(list.getCount(), 3);
    EXPECT_EQ(list.getAt(0)->getHref(), L"http://a?pb=10&page=1&id=7");
    EXPECT_EQ(list.getAt(0)->getDescription(), L"Plan A");
    EXPECT_EQ(list.getAt(1)->getDescription(), L"http://b");
    EXPECT_EQ(list.getAt(2)->getHref(), L"Only text?pb=10&page=1&id=7");
    EXPECT_EQ(list.getAt(2)->getDescription(), L"Only text");

    CHyperlinks commas;
    commas.setHyperlinks(L"http://c,one,two", 1);
    EXPECT_EQ(commas.getAt(0)->getDescription(), L"one,two");
}

TEST(Hyperlinks, XmlRoundTripWithoutEmptyDescriptions) {
    CHyperlinks list;
    list.add(new CHyperlink(L"http://a", L""));
    list.add(new CHyperlink(L"http://b", L"B"));
    IXMLDOMNodePtr element = list.serialize(kNs);
    IXMLDOMNodePtr first = element->GetfirstChild();
    EXPECT_EQ(first->GetchildNodes()->Getlength(), 1);
    // A second entry with the same address is dropped on reading.
    element->appendChild(list.getAt(1)->serialize(kNs));
    CHyperlinks back;
    back.deSerialize(element);
    ASSERT_EQ(back.getCount(), 2);
    EXPECT_EQ(back.getAt(0)->getDescription(), L"");
    EXPECT_EQ(back.getAt(1)->getDescription(), L"B");
}

TEST(Attributes, RefusedDuplicatesAndRoles) {
    CAttributes list;
    auto* name = new CKelmoAttribute();
    name->setSwapType(0);
    EXPECT_EQ(list.add(name, 0), 1);
    auto* second = new CKelmoAttribute();
    second->setSwapType(0);
    EXPECT_EQ(list.add(second, 0), 1);
    delete second;
    auto* other = new CKelmoAttribute();
    other->setSwapType(7);
    EXPECT_EQ(other->getTag(), L"");
    delete other;
    EXPECT_EQ(list.getAtAttribute(0), name);
    EXPECT_EQ(list.getAtAttribute(L"NAME"), name);
    EXPECT_EQ(list.getAtAttribute(L"name"), nullptr);
    EXPECT_EQ(list.getAtAttribute(2), nullptr);

    // Plain attributes of an asset play no role.
    CAttributes asset;
    asset.add(new CAttribute(L"NAME", L"x", 1), 0);
    EXPECT_EQ(asset.getAtAttribute(0), nullptr);
}

TEST(Attributes, KelmoCopyKeepsTheTargetsOwnEntry) {
    CAttributes source;
    source.setRotation(90.0);
    auto* name = new CKelmoAttribute();
    name->setSwapType(0);
    name->setValue(L"new");
    source.add(name, 0);
    CAttributes target;
    auto* held = new CKelmoAttribute();
    held->setSwapType(0);
    held->setValue(L"held");
    target.add(held, 0);
    source.copyKelmoAttributesTo(&target);
    EXPECT_EQ(target.getCount(), 1);
    EXPECT_EQ(target.getAt(0)->getValue(), L"held");
    EXPECT_EQ(target.getRotation(), 90.0);
}

TEST(AssetRecords, XmlRoundTripKeepsFiveDecimals) {
    CAsset asset(3, 9, L"1A2", L"DESK", L"Desk", L"D-01", 1.234567, -2.5, 1);
    CAsset back;
    auto* hatch = yellowSolid();
    back.deSerialize(asset.serialize(kNs), hatch);
    delete hatch;
    EXPECT_EQ(back.getLocationID(), 3);
    EXPECT_EQ(back.getHandleAsString(), L"1A2");
    EXPECT_EQ(back.getUniqueDescription(), L"D-01");
    EXPECT_DOUBLE_EQ(back.getPointX(), 1.23457);
    EXPECT_DOUBLE_EQ(back.getPointY(), -2.5);
    EXPECT_EQ(back.getDrawingID(), 0);
    EXPECT_EQ(back.getAssetExistsInLocation(), 0);
    ASSERT_NE(back.getHatch(), nullptr);
    EXPECT_EQ(back.getHatch()->getScale(), 500);

    CAssets list;
    list.add(new CAsset(0, L"1A2", L"DESK", L"", L"", 0, 0, 1));
    EXPECT_EQ(list.getAtAsset(L"1a2"), nullptr);
    EXPECT_NE(list.getAtAsset(L"1A2"), nullptr);
}

TEST(SpaceBlockXml, EmptyBlockWritesOnlyItsHandle) {
    CBlockDWG block;
    block.setHandle(CString(L"2F"));
    IXMLDOMNodePtr element = block.serialize(kNs);
    EXPECT_EQ(kelmo_model::nodeName(element), L"kelmoBlock");
    ASSERT_EQ(element->GetchildNodes()->Getlength(), 1);
    EXPECT_EQ(CString(static_cast<const wchar_t*>(element->GetfirstChild()->Gettext())), L"2F");
}

TEST(SpaceBlockXml, RoundTripWithOwnHatchCopy) {
    CBlockDWG block;
    block.setHandle(CString(L"1F"));
    block.setName(L"Office");
    block.setCode(L"R1");
    block.setArea(12.5);
    block.setAttributes(new CAttributes());
    for (int role = 0; role < 3; ++role) {
        auto* attribute = new CKelmoAttribute();
        attribute->setSwapType(role);
        attribute->setValue(role == 0 ? L"R1" : role == 1 ? L"12.50 sq.m." : L"");
        block.getAttributes()->add(attribute, 0);
    }
    block.setHyperlinks(new CHyperlinks());
    block.getHyperlinks()->add(new CHyperlink(L"http://plan", L"Plan"));
    block.setAssets(new CAssets());
    block.getAssets()->add(new CAsset(0, L"3C", L"CHAIR", L"", L"", 5, 6, 1));
    IXMLDOMNodePtr element = block.serialize(kNs);

    CHatch* categoryHatch = yellowSolid();
    CBlockDWG back;
    back.deSerialize(element, categoryHatch);
    delete categoryHatch;
    EXPECT_EQ(back.CBlock::getHandle(), L"1F");
    EXPECT_EQ(back.getHandle().value(), 0x1Fu);
    EXPECT_EQ(back.getName(), L"Office");
    EXPECT_EQ(back.getCode(), L"R1");
    EXPECT_EQ(back.getArea(), 12.5);
    EXPECT_EQ(back.getUnits(), -1);
    EXPECT_EQ(back.getPrecision(), -1);
    EXPECT_EQ(back.getAttributes()->getAtAttribute(1)->getValue(), L"12.50 sq.m.");
    EXPECT_EQ(back.getAttributes()->getAtAttribute(2)->getValue(), L"");
    EXPECT_EQ(back.getHyperlinks()->getAt(0)->getDescription(), L"Plan");
    EXPECT_EQ(back.getAssets()->getAt(0)->getHandleAsString(), L"3C");
    ASSERT_NE(back.getHatch(), nullptr);
    EXPECT_EQ(back.getHatch()->getPattern(), L"SOLID");
}

TEST(SpaceBlockXml, FirstOfTwoNamesWinsAndOtherElementsAreIgnored) {
    CXMLUtilities xml;
    IXMLDOMNodePtr element = xml.createNode(L"kelmoBlock", kNs);
    element->appendChild(xml.createNode(L"mbSwapName", L"first", kNs));
    element->appendChild(xml.createNode(L"mbSwapName", L"second", kNs));
    element->appendChild(xml.createNode(L"mbArea", L"not a number", kNs));
    CBlockDWG block;
    block.deSerialize(element, nullptr);
    EXPECT_EQ(block.getAttributes()->getCount(), 1);
    EXPECT_EQ(block.getAttributes()->getAt(0)->getValue(), L"first");
    EXPECT_EQ(block.getArea(), 0.0);
    EXPECT_EQ(block.getHatch(), nullptr);

    CBlockDWG untouched;
    untouched.deSerialize(xml.createNode(L"asset", kNs), nullptr);
    EXPECT_EQ(untouched.getAttributes(), nullptr);
}

TEST(BlockCollection, SortsByUnsignedHandleValue) {
    CBlocks blocks;
    const wchar_t* handles[] = {L"A", L"1F", L"2", L"80000000", L"A"};
    for (const wchar_t* handle : handles) {
        auto* block = new CBlockDWGRoom();
        block->setHandle(CString(handle));
        block->setName(CString(handle) + (blocks.getCount() == 4 ? L" second" : L""));
        blocks.addBlock(block);
    }
    blocks.sortBlocksByHandle(1);
    EXPECT_EQ(blocks.getAt(0)->getHandle(), L"2");
    EXPECT_EQ(blocks.getAt(1)->getName(), L"A");
    EXPECT_EQ(blocks.getAt(2)->getName(), L"A second");
    EXPECT_EQ(blocks.getAt(3)->getHandle(), L"1F");
    // Beyond the signed 32-bit range the order still follows the number.
    EXPECT_EQ(blocks.getAt(4)->getHandle(), L"80000000");
    blocks.sortBlocksByHandle(0);
    EXPECT_EQ(blocks.getAt(0)->getHandle(), L"80000000");
    EXPECT_EQ(blocks.getCount(), 5);
}

TEST(BlockCollection, LookupsReplaceAndDeleteEveryClass) {
    CBlocks blocks;
    auto* room = new CBlockDWGRoom();
    room->setHandle(CString(L"1F"));
    room->setCode(L"R1");
    room->setAssets(new CAssets());
    room->getAssets()->add(new CAsset());
    blocks.addBlock(room);
    auto* floor = new CBlockDWGFloor();
    floor->setHatch(yellowSolid());
    blocks.addBlock(floor);
    auto* marker = new CMarkerBlockLegend();
    marker->setAttributes(new CAttributes());
    blocks.addBlock(marker);
    blocks.addBlock(new CBlock());
    EXPECT_EQ(blocks.getCount(), 4);
    EXPECT_EQ(blocks.getAt(L"1F"), room);
    EXPECT_EQ(blocks.getAt(L"1f"), nullptr);
    EXPECT_EQ(blocks.getByCode(L"R1"), room);
    EXPECT_EQ(marker->getBlockType(), 6);

    auto* site = new CBlockDWGSite();
    site->setHyperlinks(new CHyperlinks());
    blocks.replaceAt(1, site);
    EXPECT_EQ(blocks.getCount(), 4);
    EXPECT_EQ(blocks.getAt(1), site);
    auto* refused = new CBlock();
    EXPECT_FALSE(modeltest::innermostDescription([&] { blocks.replaceAt(9, refused); }).IsEmpty());
    delete refused;
    EXPECT_FALSE(modeltest::innermostDescription([&] { blocks.getAt(4); }).IsEmpty());
    // Everything freed through its own class (the sanitizer build checks the sizes and owned objects).
    blocks.deleteObjects();
    EXPECT_EQ(blocks.getCount(), 0);
}

TEST(BlockCollection, XmlRoundTripGivesDrawingBlocksWithTheHatch) {
    CBlocks blocks;
    for (const wchar_t* handle : {L"10", L"11"}) {
        auto* block = new CBlockDWGRoom();
        block->setHandle(CString(handle));
        blocks.addBlock(block);
    }
    blocks.addBlock(new CBlock()); // a plain record has no XML form
    IXMLDOMNodePtr element = blocks.serialize(kNs);
    EXPECT_EQ(element->GetchildNodes()->Getlength(), 2);
    CHatch* hatch = yellowSolid();
    CBlocks back;
    back.deSerialize(element, hatch);
    delete hatch;
    ASSERT_EQ(back.getCount(), 2);
    EXPECT_EQ(back.getAt(1)->getHandle(), L"11");
    EXPECT_EQ(back.getAt(0)->getBlockType(), 6);
    EXPECT_NE(static_cast<CBlockDWG*>(back.getAt(0))->getHatch(), static_cast<CBlockDWG*>(back.getAt(1))->getHatch());
}

} // namespace
