// Space blocks written back, created, deleted and hatched in a drawing built in the test.
#include <cmath>

#include <gtest/gtest.h>

#include "SpaceBlockFixture.h"
#include "core/HostApplication.h"
#include "core/KelmoExceptions.h"
#include "model/Attributes.h"
#include "model/BlockDWG.h"
#include "model/BlockDWGRoom.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "model/Hyperlink.h"
#include "model/Hyperlinks.h"
#include "model/KelmoAttribute.h"

namespace {

using modeltest::SpaceBlockFixture;

CHatch* hatchOf(const wchar_t* pattern, int scale, const wchar_t* layer) {
    auto* hatch = new CHatch();
    hatch->setPattern(pattern);
    hatch->setScale(scale);
    hatch->setAngle(0);
    hatch->setLayer(layer);
    AcCmColor colour;
    colour.setRGB(255, 255, 0);
    hatch->setColour(colour);
    return hatch;
}

void setRoles(CBlockDWG& block, const wchar_t* name, const wchar_t* area, const wchar_t* aux) {
    // The setter takes the list without freeing the one held.
    delete block.getAttributes();
    block.setAttributes(new CAttributes());
    const wchar_t* values[] = {name, area, aux};
    for (int role = 0; role < 3; ++role) {
        auto* attribute = new CKelmoAttribute();
        attribute->setSwapType(role);
        attribute->setValue(values[role]);
        block.getAttributes()->add(attribute, 0);
    }
}

class Writing : public SpaceBlockFixture {
protected:
    // Model-space entities of one class.
    std::vector<AcDbObjectId> modelSpace(const wchar_t* className) {
        std::vector<AcDbObjectId> ids;
        AcDbBlockTableRecord* space = open<AcDbBlockTableRecord>(db()->modelSpaceId());
        for (const AcDbObjectId& id : space->entityIds()) {
            AcDbEntity* entity = nullptr;
            if (acdbOpenAcDbEntity(entity, id, AcDb::kForRead) != Acad::eOk) continue;
            if (CString(entity->isA()->name()) == className) ids.push_back(id);
            entity->close();
        }
        space->close();
        return ids;
    }
    // Text and position of the reference's attribute with the tag.
    std::pair<CString, AcGePoint3d> attribute(AcDbObjectId reference, const wchar_t* tag) {
        AcDbBlockReference* insert = open<AcDbBlockReference>(reference);
        std::pair<CString, AcGePoint3d> found;
        for (const AcDbObjectId& id : insert->attributeIds()) {
            AcDbAttribute* a = open<AcDbAttribute>(id);
            if (CString(a->tagConst()) == tag) found = {a->textStringConst(), a->position()};
            a->close();
        }
        insert->close();
        return found;
    }
    AcDbExtents extentsOf(AcDbObjectId id) {
        AcDbEntity* entity = open(id);
        AcDbExtents extents;
        entity->getGeomExtents(extents);
        entity->close();
        return extents;
    }
};

TEST_F(Writing, WriteBackRenamesWritesDataAndLaysOutAttributes) {
    AcDbObjectId id = room(L"ROOM-1", 4000, 3000, AcGePoint3d(0, 0, 0), L"old");
    std::unique_ptr<CBlockDWGRoom> block(read<CBlockDWGRoom>(id, 0));
    block->setBlockIdentifier(L"ROOM-OFFICE");
    block->setUnits(0);
    block->setPrecision(2);
    block->setArea(12.0);
    setRoles(*block, L"R101", L"12.00 sq.m.", L"aux");
    block->getAttributes()->setHeight(100.0);
    CKelmoExceptions warnings;
    block->applyToDWG(drawing.get(), &warnings);
    EXPECT_EQ(warnings.getCount(), 0);
    EXPECT_FALSE(db()->blockId(L"ROOM-OFFICE").isNull());
    EXPECT_EQ(modeltest::xDataStrings(id, L"ADE")[0], L"AREA=12.00sq.m.");
    EXPECT_EQ(modeltest::xDataStrings(id, L"ADE")[2], L"NAME=R101");
    auto area = attribute(id, L"AREA");
    auto name = attribute(id, L"NAME");
    auto aux = attribute(id, L"AUX");
    EXPECT_EQ(name.first, L"R101");
    EXPECT_EQ(area.first, L"12.00 sq.m.");
    // One and a half text heights above and below the area line.
    EXPECT_NEAR(name.second.y - area.second.y, 150.0, 1e-9);
    EXPECT_NEAR(aux.second.y - area.second.y, -150.0, 1e-9);
    EXPECT_NEAR(name.second.x, area.second.x, 1e-9);
}

TEST_F(Writing, LayoutTurnsWithTheCommonRotation) {
    AcDbObjectId id = room(L"ROOM-1", 4000, 3000, AcGePoint3d(0, 0, 0));
    CBlockDWG block;
    block.setObjectId(id);
    setRoles(block, L"N", L"A", L"X");
    block.getAttributes()->setRotation(90.0);
    AcGePoint3d anchor(1000, 2000, 0);
    drawing->lock();
    block.updateAttributes(AcGeMatrix3d::kIdentity, &anchor);
    drawing->unlock(0);
    EXPECT_NEAR(attribute(id, L"NAME").second.x, 1000 - 375, 1e-9);
    EXPECT_NEAR(attribute(id, L"AUX").second.x, 1000 + 375, 1e-9);
    EXPECT_NEAR(attribute(id, L"AREA").second.y, 2000, 1e-9);
}

TEST_F(Writing, UnopenedReferenceIsAWarningAndTheLockIsReleased) {
    AcDbObjectId id = room(L"ROOM-1", 4000, 3000, AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    drawing->lock();
    AcDbEntity* reference = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(reference, id, AcDb::kForWrite), Acad::eOk);
    reference->erase();
    reference->close();
    drawing->unlock(0);
    CKelmoExceptions warnings;
    block->applyToDWG(drawing.get(), &warnings);
    EXPECT_EQ(warnings.getCount(), 1);
    EXPECT_EQ(drawing->getLockCount(), 0);
}

TEST_F(Writing, ASpaceOnALockedLayerIsSkippedWithOneLine) {
    host->addLayer(L"WALLS");
    AcDbObjectId id = room(L"ROOM-L", 4000, 3000, AcGePoint3d(0, 0, 0), L"Lab", {L"AREA=12.00sq.m.", L"NAME=Lab"});
    drawing->lock();
    AcDbEntity* reference = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(reference, id, AcDb::kForWrite), Acad::eOk);
    reference->setLayer(L"WALLS");
    reference->close();
    AcDbLayerTableRecord* layer = nullptr;
    ASSERT_EQ(acdbOpenObject(layer, db()->layerId(L"WALLS"), AcDb::kForWrite), Acad::eOk);
    layer->setIsLocked(true);
    layer->close();
    drawing->unlock(0);
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    block->setArea(99.0);
    host->clearCommandLine();
    CKelmoExceptions warnings;
    EXPECT_NO_THROW(block->applyToDWG(drawing.get(), &warnings));
    EXPECT_EQ(warnings.getCount(), 0);
    EXPECT_EQ(host->commandLine(), L"\nSpace Lab not updated: it lies on the locked layer WALLS\n");
    EXPECT_EQ(modeltest::xDataStrings(id, L"ADE")[0], L"AREA=12.00sq.m.");
    EXPECT_EQ(drawing->getLockCount(), 0);
}

TEST_F(Writing, AGrossAreaKnownByItsStoredNameKeepsItsMark) {
    const std::vector<std::wstring> data = {L"AREA=240.00sq.m.", L"PERIMETER=64.00m.", L"NAME=GROSS AREA"};
    AcDbObjectId gross = room(L"ROOM-9", 20000, 12000, AcGePoint3d(0, 0, 0), L"Floor 1", data);
    AcDbObjectId office = room(L"ROOM-10", 4000, 3000, AcGePoint3d(0, 0, 0), L"Office", {L"NAME=Old name"});
    for (int pass = 0; pass < 2; ++pass) {
        CBlocks blocks;
        blocks.getKelmoDWGBlocks_SS(drawing.get(), nullptr, 0, L"f");
        ASSERT_EQ(blocks.getCount(), 2);
        for (int i = 0; i < blocks.getCount(); ++i) {
            auto* block = dynamic_cast<CBlockDWG*>(blocks.getAt(i));
            const bool isGross = block->getObjectId() == gross;
            EXPECT_EQ(block->getBlockType(), isGross ? 8 : 7) << pass;
            block->applyToDWG(drawing.get(), nullptr);
        }
    }
    // The label stays the label; the stored name of any other space follows its label.
    EXPECT_EQ(modeltest::xDataStrings(gross, L"ADE")[2], L"NAME=GROSS AREA");
    EXPECT_EQ(attribute(gross, L"NAME").first, L"Floor 1");
    EXPECT_EQ(modeltest::xDataStrings(office, L"ADE")[2], L"NAME=Office");
}

TEST_F(Writing, AKeptRecordRewritesOnlyChangedValuesAndAddsTheKeysItLacksBeforeItsBracket) {
    const std::vector<std::wstring> data = {L"AREA=12.5sq.m.", L"X_KEY=kept", L"NAME=Office", L"ROOM_HEIGHT=2.7"};
    // The area changed; the height without a unit reads as it is held; the keys it lacked follow.
    const std::vector<std::wstring> expected = {L"AREA=20.0sq.m.",        L"X_KEY=kept",
                                                L"NAME=Office",           L"ROOM_HEIGHT=2.7",
                                                L"PERIMETER=0.0m.",       L"TAGTYPE=<Not Set>",
                                                L"AREA_TYPE=<Not Set>",   L"COST_CENTRE=<Not Set>",
                                                L"DATE=<Not Set>",        L"DATE_L_MOVE=<Not Set>",
                                                L"DEPT_CHARGE=<Not Set>", L"SPECIAL_REQ=<Not Set>",
                                                L"TOT_STAFF=<Not Set>",   L"TOT_WKSTNS=<Not Set>",
                                                L"VOLUME=0.0cu.m.",       L"HANDLESTOMINUS=",
                                                L"HANDLESTOADD="};
    for (const wchar_t* app : {L"ADE", L"AECXDATA"}) {
        SCOPED_TRACE(CString(app).ToUtf8());
        AcDbObjectId id = room(L"ROOM-1", 4000, 3000, AcGePoint3d(0, 0, 0), L"Office", data, 1.0, 0.0, app);
        std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
        block->setArea(20.0);
        block->setKeepsStoredRecord(true);
        block->applyToDWG(drawing.get(), nullptr);
        EXPECT_EQ(modeltest::xDataStrings(id, app), expected);
        // The record still ends with its bracket.
        AcDbObject* object = open<AcDbObject>(id);
        resbuf* record = object->xData(app);
        object->close();
        const resbuf* last = record;
        while (last && last->rbnext) last = last->rbnext;
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->restype, 1002);
        EXPECT_EQ(std::wstring(last->resval.rstring), L"}");
        acutRelRb(record);
    }
}

TEST_F(Writing, AFailedLockIsRaised) {
    AcDbObjectId id = room(L"ROOM-1", 4000, 3000, AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    acDocManager->setLockFailure(Acad::eLockViolation);
    CString description = modeltest::innermostDescription([&] { block->applyToDWG(drawing.get(), nullptr); });
    acDocManager->setLockFailure(Acad::eOk);
    EXPECT_NE(description.Find(L"751"), -1) << description.ToUtf8();
}

TEST_F(Writing, AnOversizedRecordIsNotPassedOffAsWritten) {
    AcDbObjectId id = room(L"ROOM-1", 4000, 3000, AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    const std::vector<std::wstring> before = modeltest::xDataStrings(id, L"ADE");
    block->setSpecialReq(CString(L'x', 17000));
    block->setArea(99.0);
    // The space is left whole, said on the command line, rather than written in part.
    host->clearCommandLine();
    EXPECT_FALSE(block->applyToDWG(drawing.get(), nullptr));
    EXPECT_NE(host->commandLine().find(L"not updated: its SPECIAL_REQ takes 17012 bytes, more than the 255 a "
                                       L"drawing holds in one string\n"),
              std::wstring::npos);
    EXPECT_EQ(modeltest::xDataStrings(id, L"ADE"), before);
}

TEST_F(Writing, HatchWithLoopsLeavesTheDefinitionAlone) {
    AcDbObjectId id = room(L"ROOM-H", 10000, 5000, AcGePoint3d(20000, 0, 0), L"R", {}, 1.0, 0.5);
    AcDbObjectId other = room(L"ROOM-H", 10000, 5000, AcGePoint3d(0, 0, 0));
    AcDbObjectId hole = host->addRectangle(21000, 1000, 22000, 2000);
    AcDbObjectId line = host->addEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(5, 5, 0)));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    block->setHandlesToMinus(AcDbObjectIdArray{hole, line});
    block->setHatch(hatchOf(L"SOLID", 1, L"Hatch<1>"));
    delete block->getHyperlinks();
    block->setHyperlinks(new CHyperlinks());
    block->getHyperlinks()->add(new CHyperlink(L"http://plan", L"Plan"));
    AcDbExtents before = extentsOf(other);
    CKelmoExceptions warnings;
    block->applyToDWG(drawing.get(), &warnings);
    // The line cannot bound an island: one warning, and the hatch is still made.
    EXPECT_EQ(warnings.getCount(), 1);
    std::vector<AcDbObjectId> hatches = modelSpace(L"AcDbHatch");
    ASSERT_EQ(hatches.size(), 1u);
    AcDbHatch* hatch = open<AcDbHatch>(hatches[0]);
    EXPECT_EQ(hatch->numLoops(), 2);
    EXPECT_EQ(hatch->layerName(), L"Hatch1");
    hatch->close();
    EXPECT_FALSE(db()->layerId(L"Hatch1").isNull());
    // Other references of the block do not move.
    AcDbExtents after = extentsOf(other);
    EXPECT_TRUE(after.minPoint().isEqualTo(before.minPoint()));
    EXPECT_TRUE(after.maxPoint().isEqualTo(before.maxPoint()));
    // Drawn beneath everything else.
    AcDbBlockTableRecord* space = open<AcDbBlockTableRecord>(db()->modelSpaceId());
    AcDbDictionary* dictionary = open<AcDbDictionary>(space->extensionDictionary());
    space->close();
    AcDbSortentsTable* sortents = nullptr;
    ASSERT_EQ(dictionary->getAt(L"ACAD_SORTENTS", sortents, AcDb::kForRead), Acad::eOk);
    dictionary->close();
    AcDbObjectIdArray order;
    sortents->getFullDrawOrder(order);
    sortents->close();
    EXPECT_EQ(order[0], hatches[0]);
    EXPECT_EQ(hyperlinksOf(hatches[0]), std::vector<std::wstring>{L"http://plan"});
    EXPECT_EQ(hyperlinksOf(id), std::vector<std::wstring>{L"http://plan"});
}

TEST_F(Writing, HatchPropertiesAsWrittenWithItsLayerMadeInTheHatchColour) {
    // A UCS turned about its Z axis: the hatch still lies flat, at elevation 0.
    db()->setUcs(AcGePoint3d(500, 0, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0));
    AcDbObjectId id = room(L"ROOM-P", 4000, 3000, AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    CHatch* hatch = hatchOf(L"ANSI31", 50, L"NEW-HATCH");
    hatch->setAngle(45);
    AcCmColor red;
    red.setRGB(255, 0, 0);
    hatch->setColour(red);
    block->setHatch(hatch);
    ASSERT_TRUE(db()->layerId(L"NEW-HATCH").isNull());
    CKelmoExceptions warnings;
    block->applyToDWG(drawing.get(), &warnings);
    EXPECT_EQ(warnings.getCount(), 0);
    std::vector<AcDbObjectId> hatches = modelSpace(L"AcDbHatch");
    ASSERT_EQ(hatches.size(), 1u);
    AcDbHatch* written = open<AcDbHatch>(hatches[0]);
    // The angle goes to the host as it stands: 45, not 45 degrees turned into radians.
    EXPECT_EQ(written->patternAngle(), 45.0);
    EXPECT_EQ(written->patternScale(), 50.0);
    EXPECT_EQ(CString(written->patternName()), L"ANSI31");
    EXPECT_EQ(written->elevation(), 0.0);
    EXPECT_TRUE(written->normal().isEqualTo(AcGeVector3d::kZAxis));
    EXPECT_EQ(CString(written->layerName().c_str()), L"NEW-HATCH");
    EXPECT_EQ(written->color().red(), 255);
    EXPECT_EQ(written->color().green(), 0);
    written->close();
    AcDbLayerTableRecord* layer = open<AcDbLayerTableRecord>(db()->layerId(L"NEW-HATCH"));
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->color().red(), 255);
    EXPECT_EQ(layer->color().blue(), 0);
    layer->close();
}

TEST_F(Writing, DensityWarnings) {
    AcDbObjectId id = room(L"ROOM-D", 100000, 100000, AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    block->setHatch(hatchOf(L"ANSI31", 0, L"H"));
    CKelmoExceptions dense;
    block->applyToDWG(drawing.get(), &dense);
    ASSERT_EQ(dense.getCount(), 1);
    EXPECT_NE(dynamic_cast<CEXHatchTooDense*>(dense.getAt(0)), nullptr);
    const std::vector<AcDbObjectId> first = modelSpace(L"AcDbHatch");
    EXPECT_EQ(first.size(), 1u);
    block->getHatch()->setScale(100000000);
    CKelmoExceptions sparse;
    block->applyToDWG(drawing.get(), &sparse);
    ASSERT_EQ(sparse.getCount(), 1);
    EXPECT_NE(dynamic_cast<CEXHatchNotDenseEnough*>(sparse.getAt(0)), nullptr);
    // Both hatches were posted all the same, the second in place of the first.
    const std::vector<AcDbObjectId> second = modelSpace(L"AcDbHatch");
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(second, first);
}

TEST_F(Writing, OpenBoundaryGivesNoHatch) {
    auto* line = new AcDbPolyline(3);
    line->addVertexAt(0, AcGePoint2d(0, 0));
    line->addVertexAt(1, AcGePoint2d(100, 0));
    line->addVertexAt(2, AcGePoint2d(100, 100));
    host->defineBlock(L"ROOM-OPEN", {line});
    AcDbObjectId id = host->insertBlock(L"ROOM-OPEN", AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    block->setHatch(hatchOf(L"SOLID", 1, L"H"));
    CKelmoExceptions warnings;
    block->applyToDWG(drawing.get(), &warnings);
    ASSERT_EQ(warnings.getCount(), 1);
    EXPECT_NE(dynamic_cast<CEXHatchPolylineNotClosed*>(warnings.getAt(0)), nullptr);
    EXPECT_TRUE(modelSpace(L"AcDbHatch").empty());
}

TEST_F(Writing, HyperlinksReplaceThoseOfTheReferenceAndItsAttributes) {
    AcDbObjectId id = room(L"ROOM-L", 1000, 1000, AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    delete block->getHyperlinks();
    block->setHyperlinks(new CHyperlinks());
    block->getHyperlinks()->add(new CHyperlink(L"http://a", L"A"));
    block->getHyperlinks()->add(new CHyperlink(L"http://b", L""));
    block->applyToDWG(drawing.get(), nullptr);
    EXPECT_EQ(hyperlinksOf(id), (std::vector<std::wstring>{L"http://a", L"http://b"}));
    AcDbBlockReference* insert = open<AcDbBlockReference>(id);
    AcDbObjectId first = insert->attributeIds().front();
    insert->close();
    EXPECT_EQ(hyperlinksOf(first).size(), 2u);

    // On a host whose attributes do not show hyperlinks, they are left alone.
    struct OtherHost {
        OtherHost() { g_hostApplication.detect(L"BricsCAD V20", L""); }
        ~OtherHost() { g_hostApplication.detect(L"AutoCAD 2015", L""); }
    } otherHost;
    block->getHyperlinks()->deleteObjects();
    block->applyToDWG(drawing.get(), nullptr);
    EXPECT_TRUE(hyperlinksOf(id).empty());
    EXPECT_EQ(hyperlinksOf(first).size(), 2u);
}

// ---- Creation and deletion

TEST_F(Writing, CreateUnderARotatedUcsAndRefuseASecondWithTheSameName) {
    db()->setUcs(AcGePoint3d(1000, 0, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0));
    AcDbObjectId boundary = host->addRectangle(0, 0, 4000, 3000);
    AcDbExtents drawn = extentsOf(boundary);
    AcGeMatrix3d ucs;
    acdbUcsMatrix(ucs, db());
    CBlockDWGRoom block;
    block.setBlockIdentifier(L"ROOM-NEW");
    setRoles(block, L"R9", L"12 sq.m.", L"");
    drawing->lock();
    AcDbEntity* polyline = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(polyline, boundary, AcDb::kForWrite), Acad::eOk);
    // As the creation dialog does: the boundary into the UCS first.
    polyline->transformBy(ucs.inverse());
    AcGePoint3d text(500, -500, 0);
    EXPECT_EQ(block.createBlock(drawing.get(), polyline, &text, 250, 1.0, 0.0), Acad::eOk);
    polyline->close();
    drawing->unlock(0);

    std::vector<AcDbObjectId> inserts = modelSpace(L"AcDbBlockReference");
    ASSERT_EQ(inserts.size(), 1u);
    AcDbExtents shown = extentsOf(inserts[0]);
    // Where it was drawn (the attribute texts may reach further).
    EXPECT_LE(shown.minPoint().x, drawn.minPoint().x + 1e-6);
    EXPECT_LE(shown.minPoint().y, drawn.minPoint().y + 1e-6);
    EXPECT_EQ(attribute(inserts[0], L"NAME").first, L"R9");
    EXPECT_EQ(attribute(inserts[0], L"AUX").first, L"");
    EXPECT_FALSE(db()->layerId(L"ATT-AREA").isNull());
    EXPECT_FALSE(db()->layerId(L"ATT-AUX").isNull());
    EXPECT_EQ(modeltest::xDataStrings(inserts[0], L"ADE").size(), 16u);
    std::unique_ptr<CBlockDWG> back(read<CBlockDWG>(inserts[0]));
    EXPECT_NEAR(back->getAttributes()->getRotation(), 0.0, 1e-9);

    // A second block of that name: nothing moves and nothing half-made stays.
    AcDbObjectId second = host->addRectangle(0, 0, 100, 100);
    AcDbExtents secondBefore = extentsOf(second);
    size_t records = 0;
    AcDbBlockTable* table = open<AcDbBlockTable>(db()->blockTableId());
    AcDbBlockTableIterator* iterator = nullptr;
    table->newIterator(iterator);
    for (; !iterator->done(); iterator->step()) ++records;
    delete iterator;
    table->close();
    drawing->lock();
    ASSERT_EQ(acdbOpenAcDbEntity(polyline, second, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(block.createBlock(drawing.get(), polyline, &text, 250, 1.0, 0.0), Acad::eDuplicateRecordName);
    polyline->close();
    drawing->unlock(0);
    AcDbExtents secondAfter = extentsOf(second);
    EXPECT_TRUE(secondAfter.minPoint().isEqualTo(secondBefore.minPoint()));
    EXPECT_EQ(modelSpace(L"AcDbPolyline").size(), 1u);
    table = open<AcDbBlockTable>(db()->blockTableId());
    table->newIterator(iterator);
    size_t recordsAfter = 0;
    for (; !iterator->done(); iterator->step()) ++recordsAfter;
    delete iterator;
    table->close();
    EXPECT_EQ(recordsAfter, records);
}

TEST_F(Writing, ANewDefinitionHoldsTheBoundaryAndThreeAttributeDefinitionsTurnedAQuarter) {
    AcDbObjectId boundary = host->addRectangle(1000, 1000, 5000, 4000);
    CBlockDWG block;
    block.setBlockIdentifier(L"ROOM-DEF");
    AcDbObjectIdArray entities{boundary};
    AcGePoint3d base(1000, 1000, 0);
    AcDbObjectId definitionId;
    const double h = 200.0;
    ASSERT_EQ(block.createBlockDefinition(definitionId, &entities, &base, h, 0.8, 90.0, drawing.get()), Acad::eOk);
    ASSERT_FALSE(definitionId.isNull());
    const struct {
        const wchar_t* tag;
        const wchar_t* prompt;
        const wchar_t* text;
        const wchar_t* layer;
        AcGePoint3d position;
    } expected[] = {
        {L"AREA", L"Enter Area", L"DEFAULT AREA", L"ATT-AREA", AcGePoint3d(0, 0, 0)},
        {L"NAME", L"Enter Name", L"DEFAULT NAME", L"ATT-NAME", AcGePoint3d(1.5 * h, 0, 0)},
        {L"AUX", L"Enter Auxillary Value", L"DEFAULT AUX", L"ATT-AUX", AcGePoint3d(-1.5 * h, 0, 0)},
    };
    AcDbBlockTableRecord* definition = open<AcDbBlockTableRecord>(definitionId);
    EXPECT_EQ(CString(definition->getName()), L"ROOM-DEF");
    const std::vector<AcDbObjectId> ids = definition->entityIds();
    definition->close();
    ASSERT_EQ(ids.size(), 4u);
    AcDbPolyline* moved = open<AcDbPolyline>(ids[0]);
    AcGePoint2d corner;
    moved->getPointAt(0, corner);
    EXPECT_TRUE(corner.isEqualTo(AcGePoint2d(0, 0)));
    moved->close();
    for (size_t i = 0; i < 3; ++i) {
        AcDbAttributeDefinition* attribute = open<AcDbAttributeDefinition>(ids[i + 1]);
        ASSERT_NE(attribute, nullptr);
        EXPECT_EQ(CString(attribute->tagConst()), expected[i].tag);
        EXPECT_EQ(CString(attribute->promptConst()), expected[i].prompt);
        EXPECT_EQ(CString(attribute->textStringConst()), expected[i].text);
        EXPECT_EQ(CString(attribute->layerName().c_str()), expected[i].layer);
        EXPECT_NEAR(attribute->position().distanceTo(expected[i].position), 0.0, 1e-9) << i;
        EXPECT_EQ(attribute->height(), h);
        EXPECT_NEAR(attribute->rotation(), 3.141592653589793 / 2, 1e-12);
        EXPECT_EQ(attribute->widthFactor(), 0.8);
        EXPECT_EQ(attribute->fieldLength(), 25);
        EXPECT_TRUE(attribute->isDefaultAlignment());
        EXPECT_FALSE(attribute->isInvisible() || attribute->isConstant() || attribute->isPreset() ||
                     attribute->isVerifiable());
        EXPECT_TRUE(attribute->normal().isEqualTo(AcGeVector3d::kZAxis));
        attribute->close();
    }
}

TEST_F(Writing, DeleteKeepsTheBoundaryWhereItWasShown) {
    AcDbObjectId id = room(L"ROOM-X", 2000, 1000, AcGePoint3d(500, 500, 0), L"R", {}, 2.0, 3.141592653589793 / 2);
    AcDbObjectId twin = room(L"ROOM-X", 2000, 1000, AcGePoint3d(9000, 0, 0));
    AcDbExtents shown = extentsOf(id);
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    EXPECT_EQ(block->deleteBlock(drawing.get()), 1);
    std::vector<AcDbObjectId> polylines = modelSpace(L"AcDbPolyline");
    ASSERT_EQ(polylines.size(), 1u);
    AcDbExtents boundary = extentsOf(polylines[0]);
    EXPECT_NEAR(boundary.minPoint().x, -1500, 1e-6);
    EXPECT_NEAR(boundary.maxPoint().y, 4500, 1e-6);
    EXPECT_LE(shown.minPoint().x, boundary.minPoint().x + 1e-6);
    EXPECT_TRUE(modelSpace(L"AcDbAttributeDefinition").empty());
    // The twin still uses the definition.
    EXPECT_FALSE(db()->blockId(L"ROOM-X").isNull());
    std::unique_ptr<CBlockDWG> last(read<CBlockDWG>(twin));
    EXPECT_EQ(last->deleteBlock(drawing.get()), 1);
    EXPECT_TRUE(db()->blockId(L"ROOM-X").isNull());
}

TEST_F(Writing, DeleteKeepsEveryDrawnEntityOfTheDefinition) {
    host->defineBlock(L"ROOM-C", {modeltest::rectangle(0, 0, 100, 100),
                                  new AcDbCircle(AcGePoint3d(50, 50, 0), AcGeVector3d::kZAxis, 10),
                                  modeltest::attributeDefinition(L"NAME", 0)});
    AcDbObjectId id = host->insertBlock(L"ROOM-C", AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    EXPECT_EQ(block->deleteBlock(drawing.get()), 1);
    EXPECT_EQ(modelSpace(L"AcDbPolyline").size(), 1u);
    EXPECT_EQ(modelSpace(L"AcDbCircle").size(), 1u);
    EXPECT_TRUE(modelSpace(L"AcDbAttributeDefinition").empty());
}

TEST_F(Writing, AnUnevenlyScaledReferenceIsNotDeleted) {
    AcDbObjectId id = room(L"ROOM-S", 2000, 1000, AcGePoint3d(0, 0, 0));
    drawing->lock();
    AcDbBlockReference* reference = nullptr;
    ASSERT_EQ(acdbOpenObject(reference, id, AcDb::kForWrite), Acad::eOk);
    reference->setScaleFactors(AcGeScale3d(1, 2, 1));
    reference->close();
    drawing->unlock(0);
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    EXPECT_EQ(block->deleteBlock(drawing.get()), 0);
    EXPECT_EQ(drawing->getLockCount(), 0);
    EXPECT_TRUE(modelSpace(L"AcDbPolyline").empty());
}

TEST_F(Writing, HighlightingRestoresWhatTheReferenceHad) {
    AcDbObjectId a = host->addRectangle(0, 0, 10, 10);
    AcDbObjectId b = host->addRectangle(20, 0, 30, 10);
    AcDbObjectId c = host->addRectangle(40, 0, 50, 10);
    AcDbObjectId id = room(L"ROOM-1", 100, 100, AcGePoint3d(0, 0, 0));
    std::unique_ptr<CBlockDWG> block(read<CBlockDWG>(id));
    block->setHandlesToMinus(AcDbObjectIdArray{a, b, c});
    drawing->lock();
    AcDbEntity* gone = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(gone, b, AcDb::kForWrite), Acad::eOk);
    gone->erase();
    gone->close();
    drawing->unlock(0);
    block->highlightAreasSubtracted(drawing.get(), 1, 1);
    EXPECT_NE(host->commandLine().find(L"There are 3 area(s) subtracted from this block"), std::wstring::npos);
    EXPECT_EQ(block->getHandlesToMinusCount(), 2);
    AcDbEntity* entity = open(c);
    EXPECT_EQ(entity->colorIndex(), 1);
    EXPECT_EQ(entity->lineWeight(), AcDb::kLnWt100);
    entity->close();
    block->highlightAreasSubtracted(drawing.get(), 0, 0);
    entity = open(a);
    EXPECT_EQ(entity->colorIndex(), 256);
    EXPECT_EQ(entity->lineWeight(), AcDb::kLnWtByLayer);
    entity->close();
}

} // namespace
