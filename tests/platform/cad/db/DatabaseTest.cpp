#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "cad/AcDb.h"

namespace {

// Adds a line to model space and closes everything; returns the line's id.
AcDbObjectId addLine(AcDbDatabase& db, const wchar_t* layer = nullptr) {
    AcDbBlockTable* bt = nullptr;
    EXPECT_EQ(db.getBlockTable(bt, AcDb::kForRead), Acad::eOk);
    AcDbBlockTableRecord* ms = nullptr;
    EXPECT_EQ(bt->getAt(ACDB_MODEL_SPACE, ms, AcDb::kForWrite), Acad::eOk);
    bt->close();
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0));
    if (layer) {
        EXPECT_EQ(line->setLayer(layer), Acad::eOk);
    }
    AcDbObjectId id;
    EXPECT_EQ(ms->appendAcDbEntity(id, line), Acad::eOk);
    line->close();
    ms->close();
    return id;
}

AcDbObjectId addLayer(AcDbDatabase& db, const wchar_t* name) {
    AcDbLayerTable* lt = nullptr;
    EXPECT_EQ(db.getLayerTable(lt, AcDb::kForWrite), Acad::eOk);
    auto* rec = new AcDbLayerTableRecord;
    EXPECT_EQ(rec->setName(name), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(lt->add(id, rec), Acad::eOk);
    rec->close();
    lt->close();
    return id;
}

TEST(Database, DefaultDrawingHasStandardParts) {
    AcDbDatabase db;
    EXPECT_FALSE(db.modelSpaceId().isNull());
    EXPECT_FALSE(db.paperSpaceId().isNull());
    EXPECT_FALSE(db.layerId(L"0").isNull());
    EXPECT_EQ(db.clayer(), db.layerId(L"0"));
    EXPECT_FALSE(db.linetypeId(L"Continuous").isNull());
    EXPECT_FALSE(db.textStyleId(L"Standard").isNull());

    AcDbDictionary* styles = nullptr;
    ASSERT_EQ(db.getTableStyleDictionary(styles, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(styles->has(L"Standard"));
    styles->close();

    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(ms->isLayout());
    AcDbLayout* layout = nullptr;
    ASSERT_EQ(acdbOpenObject(layout, ms->getLayoutId(), AcDb::kForRead), Acad::eOk);
    EXPECT_STREQ(layout->getLayoutName(), L"Model");
    EXPECT_EQ(layout->getBlockTableRecordId(), db.modelSpaceId());
    layout->close();
    ms->close();
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST(Database, OpenStatuses) {
    AcDbDatabase db;
    AcDbObject* obj = nullptr;
    EXPECT_EQ(acdbOpenObject(obj, AcDbObjectId(), AcDb::kForRead), Acad::eNullObjectId);

    AcDbObjectId unknown;
    EXPECT_EQ(db.getAcDbObjectId(unknown, false, AcDbHandle(0xFFFFF)), Acad::eUnknownHandle);
    EXPECT_TRUE(unknown.isNull());
    // Looking a handle up without creating leaves nothing behind.
    EXPECT_EQ(db.getAcDbObjectId(unknown, false, AcDbHandle(0xFFFFF)), Acad::eUnknownHandle);

    AcDbObjectId id = addLine(db);
    AcDbEntity* ent = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(ent->erase(), Acad::eOk);
    ent->close();
    EXPECT_TRUE(id.isErased());
    // An erased object is gone for every caller that does not ask for erased objects.
    EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eUnknownHandle);
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead, true), Acad::eOk);
    ent->close();

    // Opening a non-entity as an entity is refused and leaves it closed.
    EXPECT_EQ(acdbOpenAcDbEntity(ent, db.layerId(L"0"), AcDb::kForRead), Acad::eNotAnEntity);
    EXPECT_EQ(db.openObjectCount(), 0);

    EXPECT_STREQ(acadErrorStatusText(Acad::eOnLockedLayer), L"eOnLockedLayer");
    EXPECT_EQ(int(Acad::eUnknownHandle), 13);
    EXPECT_EQ(int(Acad::eOnLockedLayer), 87);
    EXPECT_EQ(int(Acad::eDuplicateRecordName), 95);
    EXPECT_EQ(int(Acad::eLockViolation), 320);
    EXPECT_EQ(int(Acad::eHatchTooDense), 420);
}

TEST(Database, OpenCountsAndTheOpenList) {
    AcDbDatabase db;
    AcDbObjectId id = addLine(db);
    EXPECT_EQ(db.openObjectCount(), 0);

    AcDbEntity *a = nullptr, *b = nullptr, *c = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(a, id, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbEntity(b, id, AcDb::kForRead), Acad::eOk);
    ASSERT_EQ(acdbOpenAcDbEntity(c, id, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(a, c); // the same object, counted
    EXPECT_EQ(c->openMode(), AcDb::kForWrite);
    ASSERT_EQ(db.openedObjects().size(), 1u);
    EXPECT_EQ(db.openedObjects()[0], id);
    a->close();
    b->close();
    EXPECT_EQ(db.openObjectCount(), 1);
    c->close();
    EXPECT_EQ(db.openObjectCount(), 0);
    EXPECT_EQ(c->close(), Acad::eNotOpenForRead);

    ASSERT_EQ(acdbOpenAcDbEntity(a, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(a->upgradeOpen(), Acad::eOk);
    EXPECT_TRUE(a->isWriteEnabled());
    EXPECT_EQ(a->downgradeOpen(), Acad::eOk);
    EXPECT_FALSE(a->isWriteEnabled());
    a->close();
}

TEST(Database, NewObjectsStayOpenUntilClosed) {
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    auto* line = new AcDbLine;
    ASSERT_EQ(ms->appendAcDbEntity(line), Acad::eOk);
    ms->close();
    ASSERT_EQ(db.openedObjects().size(), 1u);
    EXPECT_EQ(db.openedObjects()[0], line->objectId());
    line->close();
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST(Database, ChangesWhileOpenForReadAreRecorded) {
    AcDbDatabase db;
    AcDbObjectId id = addLine(db);
    AcDbLine* line = nullptr;
    ASSERT_EQ(acdbOpenObject(line, id, AcDb::kForRead), Acad::eOk);
    line->setStartPoint(AcGePoint3d(1, 1, 0));
    line->close();
    EXPECT_EQ(db.writeViolations(), 1);
    EXPECT_NE(db.lastWriteViolation().find(L"AcDbLine"), std::wstring::npos);
}

TEST(Database, WriteOpensNeedTheDocumentLock) {
    AcDbDatabase db;
    AcDbObjectId id = addLine(db);
    bool locked = false;
    db.setLockCheck([&] { return locked; });
    AcDbEntity* ent = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eLockViolation);
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(ent->upgradeOpen(), Acad::eLockViolation);
    EXPECT_EQ(ent->openMode(), AcDb::kForRead);
    ent->close();
    locked = true;
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOk);
    ent->close();
}

TEST(Database, WriteOpensOnLockedLayersAreRefused) {
    AcDbDatabase db;
    AcDbObjectId layer = addLayer(db, L"WALLS");
    AcDbObjectId id = addLine(db, L"WALLS");
    AcDbLayerTableRecord* rec = nullptr;
    ASSERT_EQ(acdbOpenObject(rec, layer, AcDb::kForWrite), Acad::eOk);
    rec->setIsLocked(true);
    rec->close();

    AcDbEntity* ent = nullptr;
    EXPECT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForWrite), Acad::eOnLockedLayer);
    ASSERT_EQ(acdbOpenAcDbEntity(ent, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(ent->upgradeOpen(), Acad::eOnLockedLayer);
    ent->close();
    EXPECT_EQ(db.openObjectCount(), 0);
}

TEST(Database, NewEntitiesTakeTheCurrentLayer) {
    AcDbDatabase db;
    AcDbObjectId walls = addLayer(db, L"WALLS");
    ASSERT_EQ(db.setClayer(walls), Acad::eOk);
    AcDbObjectId id = addLine(db);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForRead), Acad::eOk);
    EXPECT_EQ(e->layerId(), walls);
    ACHAR* name = e->layer();
    EXPECT_STREQ(name, L"WALLS");
    acutDelString(name);
    EXPECT_EQ(e->setLayer(L"NO SUCH LAYER"), Acad::eKeyNotFound);
    e->close();
}

TEST(SymbolTables, NamesAreValidatedAndUnique) {
    AcDbDatabase db;
    AcDbLayerTable* lt = nullptr;
    ASSERT_EQ(db.getLayerTable(lt, AcDb::kForWrite), Acad::eOk);

    for (const wchar_t* bad :
         {L"A<B", L"A>B", L"A/B", L"A\\B", L"A\"B", L"A:B", L"A;B", L"A?B", L"A*B", L"A|B", L"A,B", L"A=B", L"A`B"}) {
        auto* rec = new AcDbLayerTableRecord;
        ASSERT_EQ(rec->setName(bad), Acad::eOk);
        EXPECT_EQ(lt->add(rec), Acad::eInvalidSymbolTableName) << bad;
        EXPECT_FALSE(rec->isDatabaseResident());
        delete rec;
    }
    {
        AcDbLayerTableRecord empty;
        EXPECT_EQ(empty.setName(L""), Acad::eInvalidSymbolTableName);
    }
    auto* rec = new AcDbLayerTableRecord;
    ASSERT_EQ(rec->setName(L"Walls 1"), Acad::eOk);
    ASSERT_EQ(lt->add(rec), Acad::eOk);
    rec->close();

    auto* dup = new AcDbLayerTableRecord;
    ASSERT_EQ(dup->setName(L"WALLS 1"), Acad::eOk);
    EXPECT_EQ(lt->add(dup), Acad::eDuplicateRecordName);
    EXPECT_FALSE(dup->isDatabaseResident());
    delete dup;

    EXPECT_TRUE(lt->has(L"walls 1"));
    AcDbObjectId zero;
    ASSERT_EQ(lt->getAt(L"0", zero), Acad::eOk);

    // Renaming a record onto a taken name is refused too.
    AcDbLayerTableRecord* r = nullptr;
    ASSERT_EQ(lt->getAt(L"Walls 1", r, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(r->setName(L"0"), Acad::eDuplicateRecordName);
    EXPECT_EQ(r->setName(L"A|B"), Acad::eInvalidSymbolTableName);
    EXPECT_EQ(r->setName(L"Doors"), Acad::eOk);
    r->close();
    EXPECT_TRUE(lt->has(L"DOORS"));
    EXPECT_FALSE(lt->has(L"Walls 1"));

    // Names given up by a rename are free again, and renaming back and forth keeps one live name.
    auto* again = new AcDbLayerTableRecord;
    ASSERT_EQ(again->setName(L"Walls 1"), Acad::eOk);
    ASSERT_EQ(lt->add(again), Acad::eOk);
    ASSERT_EQ(lt->getAt(L"Doors", r, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(r->setName(L"Walls 1"), Acad::eDuplicateRecordName);
    EXPECT_EQ(r->setName(L"Windows"), Acad::eOk);
    EXPECT_EQ(r->setName(L"Doors"), Acad::eOk);
    EXPECT_EQ(again->setName(L"Windows"), Acad::eOk);
    r->close();
    again->close();
    AcDbObjectId doors, windows;
    ASSERT_EQ(lt->getAt(L"doors", doors), Acad::eOk);
    ASSERT_EQ(lt->getAt(L"windows", windows), Acad::eOk);
    EXPECT_NE(doors, windows);
    EXPECT_FALSE(lt->has(L"Walls 1"));
    lt->close();
}

TEST(SymbolTables, BlockNamesAndAnonymousBlocks) {
    AcDbDatabase db;
    AcDbBlockTable* bt = nullptr;
    ASSERT_EQ(db.getBlockTable(bt, AcDb::kForWrite), Acad::eOk);
    auto* b1 = new AcDbBlockTableRecord;
    ASSERT_EQ(b1->setName(L"*U"), Acad::eOk);
    ASSERT_EQ(bt->add(b1), Acad::eOk);
    auto* b2 = new AcDbBlockTableRecord;
    ASSERT_EQ(b2->setName(L"*U"), Acad::eOk);
    ASSERT_EQ(bt->add(b2), Acad::eOk);
    EXPECT_STRNE(b1->getName(), b2->getName());
    EXPECT_EQ(std::wstring(b1->getName()).substr(0, 2), L"*U");
    EXPECT_TRUE(b1->isAnonymous());
    b1->close();
    b2->close();

    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(bt->getAt(L"*model_space", ms, AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(ms->isAnonymous());
    ms->close();

    auto* room = new AcDbBlockTableRecord;
    ASSERT_EQ(room->setName(L"ROOM-101"), Acad::eOk);
    ASSERT_EQ(bt->add(room), Acad::eOk);
    room->close();
    auto* again = new AcDbBlockTableRecord;
    again->setName(L"room-101");
    EXPECT_EQ(bt->add(again), Acad::eDuplicateRecordName);
    delete again;
    bt->close();
}

TEST(SymbolTables, IteratorsSkipErasedRecordsAndEntities) {
    AcDbDatabase db;
    AcDbObjectId a = addLayer(db, L"A");
    addLayer(db, L"B");
    AcDbLayerTableRecord* ra = nullptr;
    ASSERT_EQ(acdbOpenObject(ra, a, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(ra->erase(), Acad::eOk);
    ra->close();

    AcDbLayerTable* lt = nullptr;
    ASSERT_EQ(db.getLayerTable(lt, AcDb::kForRead), Acad::eOk);
    EXPECT_FALSE(lt->has(L"A"));
    AcDbLayerTableIterator* it = nullptr;
    lt->newIterator(it);
    std::vector<std::wstring> names;
    for (; !it->done(); it->step()) {
        AcDbLayerTableRecord* r = nullptr;
        ASSERT_EQ(it->getRecord(r, AcDb::kForRead), Acad::eOk);
        names.push_back(r->getName());
        r->close();
    }
    delete it;
    lt->close();
    EXPECT_EQ(names, (std::vector<std::wstring>{L"0", L"B"}));

    // A name freed by erasing can be used again.
    addLayer(db, L"A");

    AcDbObjectId l1 = addLine(db), l2 = addLine(db), l3 = addLine(db);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, l2, AcDb::kForWrite), Acad::eOk);
    e->erase();
    e->close();
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForRead), Acad::eOk);
    AcDbBlockTableRecordIterator* bit = nullptr;
    ms->newIterator(bit);
    std::vector<AcDbObjectId> seen;
    for (; !bit->done(); bit->step()) {
        AcDbObjectId id;
        bit->getEntityId(id);
        seen.push_back(id);
    }
    delete bit;
    ms->close();
    EXPECT_EQ(seen, (std::vector<AcDbObjectId>{l1, l3}));
}

TEST(Handles, TextAndLoadingWithGivenHandles) {
    EXPECT_EQ(AcDbHandle(0x2AF).text(), L"2AF");
    EXPECT_EQ(AcDbHandle(L"2af").value(), 0x2AFu);
    EXPECT_TRUE(AcDbHandle(L"2G").isNull());
    EXPECT_TRUE(AcDbHandle(L"").isNull());

    AcDbDatabase db(false);
    db.setLoading(true);
    // A file may name an object before defining it: the id exists first, the object joins it later.
    AcDbObjectId forward;
    ASSERT_EQ(db.getAcDbObjectId(forward, true, AcDbHandle(0x500)), Acad::eOk);
    EXPECT_FALSE(forward.isValid());
    auto* line = new AcDbLine;
    AcDbObjectId id;
    ASSERT_EQ(db.addAcDbObject(id, line, AcDbHandle(0x500)), Acad::eOk);
    EXPECT_EQ(id, forward);
    EXPECT_TRUE(forward.isValid());
    EXPECT_EQ(line->handle(), AcDbHandle(0x500));
    EXPECT_EQ(line->openCount(), 0);
    auto* other = new AcDbLine;
    EXPECT_EQ(db.addAcDbObject(id, other, AcDbHandle(0x500)), Acad::eHandleInUse);
    delete other;
    // A handle named by the file but never defined is not handed to a new object.
    AcDbObjectId dangling;
    ASSERT_EQ(db.getAcDbObjectId(dangling, true, AcDbHandle(0x501)), Acad::eOk);
    db.setLoading(false);
    auto* fresh = new AcDbLine;
    AcDbObjectId freshId;
    ASSERT_EQ(db.addAcDbObject(freshId, fresh), Acad::eOk);
    fresh->close();
    EXPECT_NE(freshId, dangling);
    EXPECT_FALSE(dangling.isValid());
    EXPECT_GT(db.handseed().value(), 0x500u);
    db.completeDefaults();
    // New objects never reuse a handle in use.
    for (AcDbObjectId x : db.allObjectIds()) EXPECT_LT(x.handle().value(), db.handseed().value());
    EXPECT_FALSE(db.modelSpaceId().isNull());
}

// Ids are found by handle however many there are and in whatever order the file names them, and an id
// handed out stays the same object's while the index grows.
TEST(Handles, IdsFoundByHandleWhileTheIndexGrows) {
    AcDbDatabase db(false);
    db.setLoading(true);
    std::vector<std::pair<std::uint64_t, AcDbObjectId>> given;
    // In sequence, in wide strides (the high bits only) and from the top of the range down.
    for (std::uint64_t h = 1; h <= 3000; ++h) given.push_back({h, {}});
    for (std::uint64_t k = 1; k <= 500; ++k) given.push_back({k << 40, {}});
    for (std::uint64_t k = 0; k < 500; ++k) given.push_back({~std::uint64_t(0) - k * 977, {}});
    for (auto& [h, id] : given) ASSERT_EQ(db.getAcDbObjectId(id, true, AcDbHandle(h)), Acad::eOk) << h;
    const AcDbObjectId first = given.front().second;
    auto* line = new AcDbLine;
    AcDbObjectId added;
    ASSERT_EQ(db.addAcDbObject(added, line, AcDbHandle(1)), Acad::eOk);
    EXPECT_EQ(added, first);
    for (const auto& [h, id] : given) {
        AcDbObjectId again;
        ASSERT_EQ(db.getAcDbObjectId(again, true, AcDbHandle(h)), Acad::eOk) << h; // found, not made anew
        EXPECT_EQ(again, id) << h;
        EXPECT_EQ(id.handle().value(), h);
    }
    for (std::uint64_t h : {std::uint64_t(3001), std::uint64_t(7) << 40 | 1, std::uint64_t(0xFFFF)}) {
        AcDbObjectId none;
        EXPECT_NE(db.getAcDbObjectId(none, false, AcDbHandle(h)), Acad::eOk) << h;
        EXPECT_TRUE(none.isNull()) << h;
    }
    EXPECT_EQ(db.allObjectIds().size(), 1u);
    db.setLoading(false);
}

TEST(Dictionaries, EntriesAndExtensionDictionaries) {
    AcDbDatabase db;
    AcDbObjectId id = addLine(db);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(e->createExtensionDictionary(), Acad::eOk);
    AcDbObjectId dictId = e->extensionDictionary();
    ASSERT_FALSE(dictId.isNull());
    e->close();

    AcDbDictionary* d = nullptr;
    ASSERT_EQ(acdbOpenObject(d, dictId, AcDb::kForWrite), Acad::eOk);
    EXPECT_EQ(d->ownerId(), id);
    auto* xr = new AcDbXrecord;
    resbuf* rb = acutBuildList(1, L"value", 70, 5, 0);
    xr->setFromRbChain(*rb);
    acutRelRb(rb);
    AcDbObjectId xid;
    ASSERT_EQ(d->setAt(L"Data", xr, xid), Acad::eOk);
    xr->close();
    EXPECT_TRUE(d->has(L"DATA"));
    EXPECT_EQ(d->numEntries(), 1u);
    d->close();

    AcDbXrecord* back = nullptr;
    ASSERT_EQ(acdbOpenObject(back, xid, AcDb::kForRead), Acad::eOk);
    resbuf* chain = nullptr;
    back->rbChain(&chain);
    ASSERT_NE(chain, nullptr);
    EXPECT_STREQ(chain->resval.rstring, L"value");
    ASSERT_NE(chain->rbnext, nullptr);
    EXPECT_EQ(chain->rbnext->resval.rint, 5);
    acutRelRb(chain);
    back->close();

    // Erasing the entity takes its extension dictionary and contents with it.
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    e->erase();
    e->close();
    EXPECT_TRUE(dictId.isErased());
    EXPECT_TRUE(xid.isErased());
}

TEST(HeaderVariables, UnitsAndUcs) {
    AcDbDatabase db;
    EXPECT_EQ(db.setLunits(4), Acad::eOk);
    EXPECT_EQ(db.lunits(), 4);
    EXPECT_EQ(db.setLunits(9), Acad::eInvalidInput);
    EXPECT_EQ(db.setInsunits(AcDb::kUnitsMillimeters), Acad::eOk);
    EXPECT_EQ(db.insunits(), AcDb::kUnitsMillimeters);

    // A UCS turned 90 degrees and moved: UCS (1, 0, 0) is world (100, 201, 0).
    ASSERT_EQ(db.setUcs(AcGePoint3d(100, 200, 0), AcGeVector3d(0, 1, 0), AcGeVector3d(-1, 0, 0)), Acad::eOk);
    AcGeMatrix3d m;
    ASSERT_TRUE(acdbUcsMatrix(m, &db));
    EXPECT_TRUE((m * AcGePoint3d(1, 0, 0)).isEqualTo(AcGePoint3d(100, 201, 0)));
    EXPECT_TRUE((m.inverse() * AcGePoint3d(100, 201, 0)).isEqualTo(AcGePoint3d(1, 0, 0)));
}

TEST(RegisteredApplications, RegAppAndHandEnt) {
    AcDbDatabase db;
    acdbSetWorkingDatabase(&db);
    EXPECT_EQ(acdbRegApp(L"ADE"), RTNORM);
    EXPECT_EQ(acdbRegApp(L"ADE"), RTNORM);
    EXPECT_EQ(acdbRegApp(L"BAD/NAME"), RTERROR);
    AcDbRegAppTable* t = nullptr;
    ASSERT_EQ(db.getRegAppTable(t, AcDb::kForRead), Acad::eOk);
    EXPECT_TRUE(t->has(L"ade"));
    t->close();

    AcDbObjectId id = addLine(db);
    ads_name name;
    ASSERT_EQ(acdbHandEnt(id.handle().text().c_str(), name), RTNORM);
    AcDbObjectId back;
    ASSERT_EQ(acdbGetObjectId(back, name), Acad::eOk);
    EXPECT_EQ(back, id);
    EXPECT_EQ(acdbHandEnt(L"FFFFFF", name), RTERROR);
    acdbSetWorkingDatabase(nullptr);
}

} // namespace
