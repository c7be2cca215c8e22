// Space blocks read from references: attributes, extended data under either application, the data
// written back, and the areas and perimeters with added and subtracted polylines.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SpaceBlockFixture.h"
#include "core/Globals.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/BlockDWGRoom.h"
#include "model/KelmoAttribute.h"

namespace {

using modeltest::SpaceBlockFixture;

const std::vector<std::wstring> kOffice = {
    L"AREA=12.50sq.m.",  L"PERIMETER=14.00m.",  L"NAME=ignored",     L"TAGTYPE=T1",
    L"AREA_TYPE=Office", L"COST_CENTRE=CC9",    L"DATE=1 May",       L"DATE_L_MOVE=2 May",
    L"DEPT_CHARGE=D7",   L"ROOM_HEIGHT=2.70m.", L"SPECIAL_REQ=None", L"TOT_STAFF=4",
    L"TOT_WKSTNS=5",     L"VOLUME=33.75cu.m.",  L"HANDLESTOMINUS=",  L"HANDLESTOADD=",
};

resbuf* strings(std::initializer_list<const wchar_t*> texts) {
    resbuf* head = nullptr;
    resbuf* last = nullptr;
    for (const wchar_t* text : texts) {
        resbuf* item = acutBuildList(1000, text, 0);
        (last ? last->rbnext : head) = item;
        last = item;
    }
    return head;
}

class Reading : public SpaceBlockFixture {};

TEST_F(Reading, RoomWithAttributesAndData) {
    AcDbObjectId id = room(L"ROOM-101", 5000, 2500, AcGePoint3d(100, 200, 0), L"R101", kOffice);
    std::unique_ptr<CBlockDWGRoom> block(read<CBlockDWGRoom>(id, 0));
    EXPECT_EQ(block->getBlockType(), 7);
    EXPECT_EQ(block->getObjectId(), id);
    EXPECT_EQ(block->getBlockIdentifier(), L"ROOM-101");
    EXPECT_EQ(block->CBlock::getHandle(), CString(host->handleOf(id).c_str()));
    // Code and name come from the NAME attribute, never from the data.
    EXPECT_EQ(block->getCode(), L"R101");
    EXPECT_EQ(block->getName(), L"R101");
    EXPECT_EQ(block->getUnits(), 0);
    EXPECT_EQ(block->getPrecision(), 2);
    EXPECT_EQ(block->getArea(), 12.5);
    EXPECT_EQ(block->getPerimeter(), 14.0);
    EXPECT_DOUBLE_EQ(block->getRoomHeight(), 2.7);
    EXPECT_DOUBLE_EQ(block->getVolume(), 33.75);
    EXPECT_EQ(block->getDateLastMove(), L"2 May");
    EXPECT_EQ(block->getDate(), L"1 May");
    EXPECT_EQ(block->getTotWkStns(), L"5");
    EXPECT_EQ(block->getAssets(), nullptr);
    ASSERT_NE(block->getAttributes(), nullptr);
    EXPECT_EQ(block->getAttributes()->getCount(), 3);
    EXPECT_EQ(block->getAttributes()->getHeight(), 250.0);
}

TEST_F(Reading, ApplicationFallbacksAndTheirWriteBack) {
    AcDbObjectId older = room(L"ROOM-1", 1000, 1000, AcGePoint3d(0, 0, 0), L"A", kOffice, 1.0, 0.0, L"AECXDATA");
    AcDbObjectId bare = room(L"ROOM-1", 1000, 1000, AcGePoint3d(5000, 0, 0), L"");
    std::unique_ptr<CBlockDWG> fromOlder(read<CBlockDWG>(older));
    std::unique_ptr<CBlockDWG> fromBare(read<CBlockDWG>(bare));
    EXPECT_EQ(fromOlder->getXDataAppName(), L"AECXDATA");
    EXPECT_EQ(fromOlder->getArea(), 12.5);
    EXPECT_EQ(fromBare->getXDataAppName(), L"No X Data");
    EXPECT_EQ(fromBare->getUnits(), -1);
    EXPECT_EQ(fromBare->getPrecision(), -1);
    // An empty NAME leaves the definition's name.
    EXPECT_EQ(fromBare->getName(), L"ROOM-1");

    host->answers({});
    drawing->lock();
    AcDbEntity* reference = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(reference, bare, AcDb::kForWrite), Acad::eOk);
    fromBare->writeXData(reference);
    reference->close();
    drawing->unlock(0);
    std::vector<std::wstring> written = modeltest::xDataStrings(bare, L"ADE");
    ASSERT_EQ(written.size(), 16u);
    // Units not known yet are shown as metric and written as metric; numbers in the general form.
    EXPECT_EQ(written[0], L"AREA=0sq.m.");
    EXPECT_EQ(written[1], L"PERIMETER=0m.");
    EXPECT_EQ(written[2], L"NAME=");
    EXPECT_EQ(written[13], L"VOLUME=0cu.m.");
    EXPECT_EQ(fromBare->getXDataAppName(), L"ADE");
}

TEST_F(Reading, DataWrittenBackStringForString) {
    AcDbObjectId hole = host->addRectangle(0, 0, 10, 10);
    std::vector<std::wstring> data = kOffice;
    data[2] = L"NAME=R101";
    data[14] = L"HANDLESTOMINUS=" + host->handleOf(hole) + L",";
    AcDbObjectId id = room(L"ROOM-101", 5000, 2500, AcGePoint3d(0, 0, 0), L"R101", data, 1.0, 0.0, L"AECXDATA");
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    EXPECT_EQ(block->getHandlesToMinusCount(), 1);
    drawing->lock();
    AcDbEntity* reference = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(reference, id, AcDb::kForWrite), Acad::eOk);
    block->writeXData(reference);
    reference->close();
    drawing->unlock(0);
    EXPECT_EQ(modeltest::xDataStrings(id, L"AECXDATA"), data);
}

TEST_F(Reading, AreaTextsWithAndWithoutUnits) {
    CBlockDWG block;
    resbuf* list = strings({L"AREA=1234sq.ft.", L"PERIMETER=40.00", L"ROOM_HEIGHT=2.70m.", L"VOLUME=9x"});
    block.readXData(list, doc());
    acutRelRb(list);
    EXPECT_EQ(block.getUnits(), 1);
    // No decimal point: written with no decimals.
    EXPECT_EQ(block.getPrecision(), 0);
    EXPECT_EQ(block.getArea(), 1234.0);
    EXPECT_EQ(block.getPerimeter(), 40.0);
    // A height naming metres in a record in feet is read in metres; a volume that is no number whole
    // is held as no value and written back as it stands.
    EXPECT_DOUBLE_EQ(block.getRoomHeight(), 2.7 * 3.2808399);
    EXPECT_EQ(block.getVolume(), 0.0);
    EXPECT_EQ(block.getVolumeText(), L"9x");

    CBlockDWG bare;
    list = strings({L"AREA=12.5", L"HANDLESTOADD=", L"NAME=X"});
    bare.readXData(list, doc());
    acutRelRb(list);
    EXPECT_EQ(bare.getUnits(), -1);
    EXPECT_EQ(bare.getPrecision(), 1);
    EXPECT_EQ(bare.getArea(), 12.5);
    EXPECT_EQ(bare.getName(), L"");
}

TEST_F(Reading, HandleListsKeepOnlyWhatTheDrawingHolds) {
    AcDbObjectId a = host->addRectangle(0, 0, 1, 1);
    AcDbObjectId b = host->addRectangle(0, 0, 2, 2);
    CString ha = host->handleOf(a).c_str();
    CString hb = host->handleOf(b).c_str();
    CBlockDWG block;
    block.setHandlesToMinus(ha + L"," + hb, db());
    EXPECT_EQ(block.getHandlesToMinusAsString(), ha + L",");
    block.setHandlesToMinus(ha + L",FFFF," + hb + L",", db());
    EXPECT_EQ(block.getHandlesToMinusAsString(), ha + L"," + hb + L",");
    block.addHandleToMinus(AcDbHandle(0xFFFF), nullptr);
    EXPECT_EQ(block.getHandlesToMinusCount(), 3);
    block.addHandleToAdd(AcDbHandle(0xFFFF), db());
    EXPECT_EQ(block.getHandlesToAddCount(), 0);
    // From ids, the add list takes polylines only.
    AcDbObjectId line = host->addEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)));
    block.setHandlesToAdd(AcDbObjectIdArray{a, line});
    EXPECT_EQ(block.getHandlesToAddAsString(), ha + L",");
    block.setHandlesToMinus(AcDbObjectIdArray{line});
    EXPECT_EQ(block.getHandlesToMinusCount(), 1);
}

TEST_F(Reading, AttributeOnALockedLayerIsStillRead) {
    host->addLayer(L"LOCKED");
    AcDbObjectId id = room(L"ROOM-7", 1000, 1000, AcGePoint3d(0, 0, 0), L"Kept");
    AcDbBlockReference* reference = open<AcDbBlockReference>(id);
    std::vector<AcDbObjectId> attributes = reference->attributeIds();
    reference->close();
    drawing->lock();
    for (const AcDbObjectId& attributeId : attributes) {
        AcDbEntity* attribute = nullptr;
        ASSERT_EQ(acdbOpenAcDbEntity(attribute, attributeId, AcDb::kForWrite), Acad::eOk);
        attribute->setLayer(L"LOCKED");
        attribute->close();
    }
    AcDbLayerTableRecord* layer = nullptr;
    ASSERT_EQ(acdbOpenObject(layer, db()->layerId(L"LOCKED"), AcDb::kForWrite), Acad::eOk);
    layer->setIsLocked(true);
    layer->close();
    drawing->unlock(0);
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    EXPECT_EQ(block->getName(), L"Kept");
    EXPECT_EQ(block->getAttributes()->getAtAttribute(0)->getLayer(), L"LOCKED");
}

TEST_F(Reading, AttributeTagsInAnyCaseAndTheFirstAttributeGivesThePlacement) {
    auto definitionOf = [](const wchar_t* tag, const wchar_t* text, double y, double height, double width) {
        auto* definition = new AcDbAttributeDefinition(AcGePoint3d(0, y, 0), text, tag, tag);
        definition->setHeight(height);
        definition->setWidthFactor(width);
        return definition;
    };
    // A note without a role comes first; the tags are in other cases; AREA is there twice.
    host->defineBlock(L"ROOM-CASE",
                      {modeltest::rectangle(0, 0, 1000, 1000), definitionOf(L"NOTE", L"n", 900, 100, 0.5),
                       definitionOf(L"name", L"Lab", 600, 250, 1.0), definitionOf(L"Area", L"first", 300, 250, 1.0),
                       definitionOf(L"AREA", L"second", 200, 250, 1.0), definitionOf(L"aux", L"x", 0, 250, 1.0)});
    AcDbObjectId id = host->insertBlock(L"ROOM-CASE", AcGePoint3d(5000, 0, 0), 1.0, 0.0, {});
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    CAttributes* attributes = block->getAttributes();
    ASSERT_NE(attributes, nullptr);
    const struct {
        int role;
        const wchar_t* tag;
        const wchar_t* value;
    } roles[] = {{0, L"NAME", L"Lab"}, {1, L"AREA", L"first"}, {2, L"AUX", L"x"}};
    for (const auto& role : roles) {
        CAttribute* attribute = attributes->getAtAttribute(role.role);
        ASSERT_NE(attribute, nullptr) << role.role;
        EXPECT_EQ(attribute->getTag(), role.tag);
        EXPECT_EQ(attribute->getValue(), role.value);
    }
    EXPECT_EQ(block->getName(), L"Lab");
    // Placement from the note; the position from the last AREA.
    EXPECT_EQ(attributes->getHeight(), 100.0);
    EXPECT_EQ(attributes->getWidthFactor(), 0.5);
    EXPECT_NEAR(attributes->getPosition().y, 200.0, 1e-9);
}

TEST_F(Reading, AttributeRotationIsMeasuredInTheUcs) {
    AcDbObjectId id = room(L"ROOM-8", 1000, 1000, AcGePoint3d(0, 0, 0), L"R", {}, 1.0, 3.141592653589793 / 2);
    std::unique_ptr<CBlockDWG> world(read<CBlockDWG>(id));
    EXPECT_NEAR(world->getAttributes()->getRotation(), 90.0, 1e-9);
    db()->setUcs(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0));
    std::unique_ptr<CBlockDWG> turned(read<CBlockDWG>(id));
    EXPECT_NEAR(turned->getAttributes()->getRotation(), 0.0, 1e-9);
}

// ---- Areas and perimeters

class Areas : public SpaceBlockFixture {
protected:
    // A 10 m by 5 m room (millimetres), a 1 m square hole and a 2 m by 1 m addition.
    CBlockDWG* officeWithHoleAndAddition(int units, AcDbObjectId* hole = nullptr) {
        AcDbObjectId id = room(L"ROOM-A", 10000, 5000, AcGePoint3d(0, 0, 0));
        AcDbObjectId h = host->addRectangle(1000, 1000, 2000, 2000);
        AcDbObjectId a = host->addRectangle(10000, 0, 12000, 1000);
        if (hole) *hole = h;
        CBlockDWG* block = read<CBlockDWG>(id);
        block->setUnits(units);
        block->setPrecision(2);
        block->setHandlesToMinus(AcDbObjectIdArray{h});
        block->setHandlesToAdd(AcDbObjectIdArray{a});
        return block;
    }
};

TEST_F(Areas, MillimetreDrawingInSquareMetres) {
    std::unique_ptr<CBlockDWG> block(officeWithHoleAndAddition(0));
    block->recalculateArea(doc());
    block->recalculatePerimeter(doc());
    EXPECT_DOUBLE_EQ(block->getArea(), 51.0);
    EXPECT_DOUBLE_EQ(block->getPerimeter(), 30.0 + 4.0 + 6.0);
}

TEST_F(Areas, MillimetreDrawingInSquareFeet) {
    std::unique_ptr<CBlockDWG> block(officeWithHoleAndAddition(1));
    block->recalculateArea(doc());
    EXPECT_NEAR(block->getArea(), 51.0 * 1e6 / 92903.04, 0.005);
}

TEST_F(Areas, InchDrawingsInBothSystems) {
    db()->setLunits(4);
    AcDbObjectId id = room(L"ROOM-I", 120, 120, AcGePoint3d(0, 0, 0), L"R", {}, 2.0);
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    block->setPrecision(3);
    block->setUnits(1);
    block->recalculateArea(doc());
    block->recalculatePerimeter(doc());
    // The reference is scaled by 2: a 240 inch square, 400 sq.ft. and 80 ft round.
    EXPECT_DOUBLE_EQ(block->getArea(), 400.0);
    EXPECT_DOUBLE_EQ(block->getPerimeter(), 80.0);
    block->setUnits(0);
    block->recalculateArea(doc());
    EXPECT_DOUBLE_EQ(block->getArea(), 37.161);
}

TEST_F(Areas, AnErasedEntityLeavesItsListAndTheOthersStillCount) {
    AcDbObjectId hole;
    std::unique_ptr<CBlockDWG> block(officeWithHoleAndAddition(0, &hole));
    AcDbObjectId second = host->addRectangle(3000, 3000, 4000, 4000);
    AcDbObjectId third = host->addRectangle(5000, 3000, 6000, 4000);
    block->setHandlesToMinus(AcDbObjectIdArray{hole, second, third});
    drawing->lock();
    AcDbEntity* gone = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(gone, second, AcDb::kForWrite), Acad::eOk);
    gone->erase();
    gone->close();
    drawing->unlock(0);
    EXPECT_DOUBLE_EQ(block->calcSubArea(doc()), 2.0);
    EXPECT_EQ(block->getHandlesToMinusCount(), 2);
    EXPECT_EQ(block->getHandlesToAddCount(), 1);
    block->recalculateArea(doc());
    EXPECT_DOUBLE_EQ(block->getArea(), 50.0);
}

TEST_F(Areas, UnitConversionOnlyOnChange) {
    CBlockDWG block;
    block.setUnits(0);
    block.setArea(10.0);
    block.convertUnits(1);
    EXPECT_DOUBLE_EQ(block.getArea(), 107.639104);
    block.convertUnits(1);
    EXPECT_DOUBLE_EQ(block.getArea(), 107.639104);
    block.convertUnits(0);
    EXPECT_NEAR(block.getArea(), 10.0, 1e-12);
}

// ---- Units not yet known

class UnknownUnits : public SpaceBlockFixture {
protected:
    void SetUp() override {
        SpaceBlockFixture::SetUp();
        savedHost = g_hostDirectory;
        g_hostDirectory = L"C:\\CadHost";
    }
    void TearDown() override {
        g_hostDirectory = savedHost;
        SpaceBlockFixture::TearDown();
    }
    void preferUnits(int units) {
        const std::filesystem::path folder = host->tempDir() / "c" / "CadHost" / "kelmo" / "prefs";
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "prefs.cfg") << "units\n" << units << "\n";
    }
    std::vector<std::wstring> writtenData(CBlockDWG& block) {
        drawing->lock();
        AcDbEntity* reference = nullptr;
        EXPECT_EQ(acdbOpenAcDbEntity(reference, block.getObjectId(), AcDb::kForWrite), Acad::eOk);
        block.writeXData(reference);
        reference->close();
        drawing->unlock(0);
        return modeltest::xDataStrings(block.getObjectId(), L"ADE");
    }
    CString savedHost;
};

TEST_F(UnknownUnits, TakeThePreferenceUnitsBeforeMeasuringAndWriting) {
    const struct {
        int preference;
        double area;
        const wchar_t* written;
        const wchar_t* label;
    } cases[] = {
        {0, 100.0, L"AREA=100sq.m.", L"sq.m."},
        {1, 1076.39, L"AREA=1076.39sq.ft.", L"sq.ft."},
    };
    for (const auto& c : cases) {
        preferUnits(c.preference);
        // A 10 m square room in millimetres with no stored data.
        AcDbObjectId id = room(L"ROOM-U", 10000, 10000, AcGePoint3d(0, 0, 0), L"");
        std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
        EXPECT_EQ(block->getUnits(), -1);
        EXPECT_EQ(block->getAreaUnitText(), c.label);
        block->recalculateArea(doc());
        EXPECT_EQ(block->getUnits(), c.preference);
        EXPECT_NEAR(block->getArea(), c.area, 1e-9) << c.preference;
        EXPECT_EQ(writtenData(*block)[0], c.written);
    }
}

TEST_F(UnknownUnits, AreTakenWithoutConvertingTheStoredValues) {
    for (int preference : {0, 1}) {
        preferUnits(preference);
        CBlockDWG block;
        block.setUnits(-1);
        block.setArea(12.5);
        block.setPerimeter(14.0);
        block.convertUnits(preference);
        EXPECT_EQ(block.getUnits(), preference);
        EXPECT_EQ(block.getArea(), 12.5);
        EXPECT_EQ(block.getPerimeter(), 14.0);
    }
    // Converted to the other system, the preference units are where the conversion starts.
    preferUnits(0);
    CBlockDWG block;
    block.setUnits(-1);
    block.setArea(10.0);
    block.convertUnits(1);
    EXPECT_DOUBLE_EQ(block.getArea(), 107.639104);
}

TEST_F(UnknownUnits, AreWrittenInThePreferenceUnitsAtTheFirstWriteBack) {
    preferUnits(1);
    std::vector<std::wstring> data = kOffice;
    data[0] = L"AREA=12.5";
    data[1] = L"PERIMETER=14";
    AcDbObjectId id = room(L"ROOM-W", 1000, 1000, AcGePoint3d(0, 0, 0), L"W", data);
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    const std::vector<std::wstring> written = writtenData(*block);
    EXPECT_EQ(written[0], L"AREA=12.5sq.ft.");
    EXPECT_EQ(written[1], L"PERIMETER=14.0ft.");
    // A height and volume naming metres are converted into the units the record takes.
    EXPECT_EQ(written[9], L"ROOM_HEIGHT=8.9ft.");
    EXPECT_EQ(written[13], L"VOLUME=1191.9cu.ft.");
}

} // namespace
