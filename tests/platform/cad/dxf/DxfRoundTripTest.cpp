// Drawings made through the database API survive a save and a load.
#include "DxfTestSupport.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbHyperlink.h"
#include "cad/db/AcDbTable.h"
#include "cad/dxf/DxfDatabase.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>
#include <memory>

namespace fs = std::filesystem;

namespace {

std::wstring winPath(const fs::path& p) {
    return win::nativeToWindows(p.string());
}

AcDbObjectId append(AcDbDatabase& db, AcDbEntity* e, AcDbObjectId space = AcDbObjectId()) {
    AcDbBlockTableRecord* br = nullptr;
    EXPECT_EQ(acdbOpenObject(br, space.isNull() ? db.modelSpaceId() : space, AcDb::kForWrite), Acad::eOk);
    AcDbObjectId id;
    EXPECT_EQ(br->appendAcDbEntity(id, e), Acad::eOk);
    e->close();
    br->close();
    return id;
}

// Saves, checks the file with ezdxf and loads it into a new database.
std::unique_ptr<AcDbDatabase> reload(AcDbDatabase& db, const std::string& name) {
    fs::path file = dxftest::scratchDir() / name;
    EXPECT_EQ(db.saveAs(winPath(file).c_str()), Acad::eOk);
    EXPECT_EQ(dxftest::ezdxfCheck(file, file, false), "");
    auto again = std::make_unique<AcDbDatabase>(false, true);
    EXPECT_EQ(again->readDxfFile(winPath(file).c_str()), Acad::eOk);
    EXPECT_EQ(again->openObjectCount(), 0); // reading leaves nothing open
    EXPECT_EQ(db.openObjectCount(), 0);     // nor does saving
    return again;
}

template <class T>
T* entityAt(AcDbDatabase& db, std::size_t index, AcDbObjectId space = AcDbObjectId()) {
    auto* br = AcDbBlockTableRecord::cast(db.peek(space.isNull() ? db.modelSpaceId() : space));
    if (!br || index >= br->entityIds().size()) return nullptr;
    return T::cast(db.peek(br->entityIds()[index]));
}

AcDbObjectId blockWithAttribute(AcDbDatabase& db, const wchar_t* name) {
    AcDbBlockTable* bt = nullptr;
    EXPECT_EQ(db.getBlockTable(bt, AcDb::kForWrite), Acad::eOk);
    auto* br = new AcDbBlockTableRecord;
    br->setName(name);
    br->setOrigin(AcGePoint3d(1, 1, 0));
    AcDbObjectId id;
    EXPECT_EQ(bt->add(id, br), Acad::eOk);
    bt->close();
    auto* def = new AcDbAttributeDefinition(AcGePoint3d(1, 0, 0), L"", L"ROOMNO", L"Room number");
    def->setHeight(0.25);
    AcDbObjectId defId;
    br->appendAcDbEntity(defId, def);
    def->close();
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(2, 0, 0));
    br->appendAcDbEntity(line);
    line->close();
    br->close();
    return id;
}

} // namespace

TEST(DxfRoundTrip, EveryModelledEntityKindKeepsItsGeometry) {
    AcDbDatabase db;
    append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 5, 0)));
    append(db, new AcDbCircle(AcGePoint3d(3, 4, 0), AcGeVector3d(0, 0, 1), 2.5));
    append(db, new AcDbArc(AcGePoint3d(1, 1, 0), 2, 0.25, 2.5));
    auto* pl = new AcDbPolyline;
    pl->addVertexAt(0, AcGePoint2d(0, 0));
    pl->addVertexAt(1, AcGePoint2d(1, 0), 1.0); // half circle to the next vertex
    pl->addVertexAt(2, AcGePoint2d(1, 1));
    pl->addVertexAt(3, AcGePoint2d(0, 1));
    pl->setClosed(true);
    append(db, pl);
    auto* text = new AcDbText(AcGePoint3d(5, 5, 0), L"Büro 1.01", AcDbObjectId(), 0.5, 0.3);
    text->setHorizontalMode(AcDb::kTextCenter);
    text->setVerticalMode(AcDb::kTextVertMid);
    text->setAlignmentPoint(AcGePoint3d(6, 5, 0));
    append(db, text);
    auto* mt = new AcDbMText;
    mt->setLocation(AcGePoint3d(2, 8, 0));
    mt->setContents(std::wstring(600, L'x').append(L"\\PZweite Zeile €").c_str());
    append(db, mt);

    auto again = reload(db, "kinds.dxf");
    auto* line = entityAt<AcDbLine>(*again, 0);
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->endPoint().isEqualTo(AcGePoint3d(10, 5, 0)));
    auto* circle = entityAt<AcDbCircle>(*again, 1);
    ASSERT_NE(circle, nullptr);
    EXPECT_DOUBLE_EQ(circle->radius(), 2.5);
    auto* arc = entityAt<AcDbArc>(*again, 2);
    ASSERT_NE(arc, nullptr);
    EXPECT_NEAR(arc->startAngle(), 0.25, 1e-12);
    EXPECT_NEAR(arc->endAngle(), 2.5, 1e-12);
    auto* poly = entityAt<AcDbPolyline>(*again, 3);
    ASSERT_NE(poly, nullptr);
    ASSERT_EQ(poly->numVerts(), 4u);
    EXPECT_TRUE(poly->isClosed());
    double bulge = 0, area = 0;
    poly->getBulgeAt(1, bulge);
    EXPECT_DOUBLE_EQ(bulge, 1.0);
    poly->getArea(area);
    EXPECT_NEAR(area, 1 + M_PI / 8, 1e-9);
    auto* t = entityAt<AcDbText>(*again, 4);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->textStringConst(), L"Büro 1.01");
    EXPECT_EQ(t->horizontalMode(), AcDb::kTextCenter);
    EXPECT_EQ(t->verticalMode(), AcDb::kTextVertMid);
    EXPECT_NEAR(t->rotation(), 0.3, 1e-12);
    auto* m = entityAt<AcDbMText>(*again, 5);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->contentsText(), std::wstring(600, L'x').append(L"\\PZweite Zeile €"));
}

TEST(DxfRoundTrip, InsertsKeepAttributesAndMultipleInsertsTheirGrid) {
    AcDbDatabase db;
    AcDbObjectId block = blockWithAttribute(db, L"ROOM");
    auto* ref = new AcDbBlockReference(AcGePoint3d(10, 10, 0), block);
    ref->setRotation(0.5);
    ref->setScaleFactors(AcGeScale3d(2, 2, 1));
    AcDbObjectId refId = append(db, ref);
    AcDbBlockReference* open = nullptr;
    ASSERT_EQ(acdbOpenObject(open, refId, AcDb::kForWrite), Acad::eOk);
    auto* att = new AcDbAttribute(AcGePoint3d(11, 10, 0), L"1.07", L"ROOMNO");
    ASSERT_EQ(open->appendAttribute(att), Acad::eOk);
    att->close();
    open->close();
    append(db, new AcDbMInsertBlock(AcGePoint3d(0, 0, 0), block, 3, 2, 5.0, 4.0));

    auto again = reload(db, "inserts.dxf");
    auto* r = entityAt<AcDbBlockReference>(*again, 0);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->blockTableRecord(), again->blockId(L"ROOM"));
    EXPECT_NEAR(r->rotation(), 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(r->scaleFactors().sx, 2.0);
    ASSERT_EQ(r->attributeIds().size(), 1u);
    auto* a = AcDbAttribute::cast(again->peek(r->attributeIds()[0]));
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(a->tagConst(), L"ROOMNO");
    EXPECT_STREQ(a->textStringConst(), L"1.07");
    EXPECT_EQ(a->ownerId(), r->objectId());
    auto* mi = entityAt<AcDbMInsertBlock>(*again, 1);
    ASSERT_NE(mi, nullptr);
    EXPECT_EQ(mi->columns(), 3);
    EXPECT_EQ(mi->rows(), 2);
    EXPECT_DOUBLE_EQ(mi->rowSpacing(), 4.0);
    auto* def = AcDbBlockTableRecord::cast(again->peek(again->blockId(L"ROOM")));
    ASSERT_NE(def, nullptr);
    EXPECT_TRUE(def->origin().isEqualTo(AcGePoint3d(1, 1, 0)));
    ASSERT_EQ(def->entityIds().size(), 2u);
    auto* ad = AcDbAttributeDefinition::cast(again->peek(def->entityIds()[0]));
    ASSERT_NE(ad, nullptr);
    EXPECT_STREQ(ad->promptConst(), L"Room number");
}

TEST(DxfRoundTrip, ExtendedDataAndHyperlinksSurvive) {
    AcDbDatabase db;
    acdbSetWorkingDatabase(&db);
    ASSERT_EQ(acdbRegApp(L"SPACEPLAN"), RTNORM);
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcDbObjectId id = append(db, line);
    AcDbEntity* e = nullptr;
    ASSERT_EQ(acdbOpenAcDbEntity(e, id, AcDb::kForWrite), Acad::eOk);
    ads_point pt = {1.5, -2.25, 3};
    resbuf* rb = acutBuildList(1001, L"SPACEPLAN", 1000, L"Büro", 1070, 42, 1071, 100000, 1040, 12.125, 1010, pt, 1002,
                               L"{", 1000, L"nested", 1002, L"}", 0);
    ASSERT_EQ(e->setXData(rb), Acad::eOk);
    acutRelRb(rb);
    AcDbHyperlinkCollection links;
    links.addTail(L"https://example.org/plan", L"Plan", L"Level 2");
    links.addTail(L"C:\\docs\\room.pdf", L"", nullptr);
    ASSERT_EQ(AcDbEntityHyperlinkPE::instance()->setHyperlinkCollection(e, &links), Acad::eOk);
    e->close();

    auto again = reload(db, "xdata.dxf");
    acdbSetWorkingDatabase(again.get());
    auto* l = entityAt<AcDbLine>(*again, 0);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->handle(), db.peek(id)->handle());
    resbuf* got = l->xData(L"SPACEPLAN");
    ASSERT_NE(got, nullptr);
    std::vector<short> codes;
    for (resbuf* r = got; r; r = r->rbnext) codes.push_back(r->restype);
    EXPECT_EQ(codes, (std::vector<short>{1001, 1000, 1070, 1071, 1040, 1010, 1002, 1000, 1002}));
    EXPECT_STREQ(got->rbnext->resval.rstring, L"Büro");
    EXPECT_EQ(got->rbnext->rbnext->resval.rint, 42);
    EXPECT_EQ(got->rbnext->rbnext->rbnext->resval.rlong, 100000);
    resbuf* p = got->rbnext->rbnext->rbnext->rbnext->rbnext;
    EXPECT_DOUBLE_EQ(p->resval.rpoint[1], -2.25);
    acutRelRb(got);
    AcDbHyperlinkCollection* back = nullptr;
    ASSERT_EQ(AcDbEntityHyperlinkPE::instance()->getHyperlinkCollection(l, back), Acad::eOk);
    ASSERT_EQ(back->count(), 2);
    EXPECT_STREQ(back->item(0)->name(), L"https://example.org/plan");
    EXPECT_STREQ(back->item(0)->subLocation(), L"Level 2");
    EXPECT_STREQ(back->item(1)->name(), L"C:\\docs\\room.pdf");
    delete back;
    acdbSetWorkingDatabase(nullptr);
}

TEST(DxfRoundTrip, DrawOrderLayersAndViewportFreezesSurvive) {
    AcDbDatabase db;
    AcDbLayerTable* lt = nullptr;
    ASSERT_EQ(db.getLayerTable(lt, AcDb::kForWrite), Acad::eOk);
    auto* layer = new AcDbLayerTableRecord;
    layer->setName(L"A-AREA");
    layer->setIsFrozen(true);
    layer->setIsLocked(true);
    layer->setIsOff(true);
    layer->setIsPlottable(false);
    layer->setLineWeight(AcDb::kLnWt035);
    AcCmColor c;
    c.setRGB(10, 200, 30);
    layer->setColor(c);
    AcDbObjectId layerId;
    ASSERT_EQ(lt->add(layerId, layer), Acad::eOk);
    layer->close();
    lt->close();

    AcDbObjectId a = append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 1));
    AcDbObjectId b = append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 2));
    AcDbObjectId cId = append(db, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 3));
    auto* sortents = new AcDbSortentsTable;
    sortents->setBlockId(db.modelSpaceId());
    AcDbBlockTableRecord* ms = nullptr;
    ASSERT_EQ(acdbOpenObject(ms, db.modelSpaceId(), AcDb::kForWrite), Acad::eOk);
    ASSERT_EQ(ms->createExtensionDictionary(), Acad::eOk);
    AcDbDictionary* xd = nullptr;
    ASSERT_EQ(acdbOpenObject(xd, ms->extensionDictionary(), AcDb::kForWrite), Acad::eOk);
    AcDbObjectId sortId;
    ASSERT_EQ(xd->setAt(L"ACAD_SORTENTS", sortents, sortId), Acad::eOk);
    AcDbObjectIdArray bottom;
    bottom.append(cId);
    ASSERT_EQ(sortents->moveToBottom(bottom), Acad::eOk);
    sortents->close();
    xd->close();
    ms->close();

    auto* vp = new AcDbViewport;
    vp->setCenterPoint(AcGePoint3d(100, 100, 0));
    vp->setWidth(50);
    vp->setHeight(40);
    AcDbObjectIdArray frozen;
    frozen.append(layerId);
    ASSERT_EQ(vp->freezeLayersInViewport(frozen), Acad::eOk);
    append(db, vp, db.paperSpaceId());

    auto again = reload(db, "order.dxf");
    auto* l = AcDbLayerTableRecord::cast(again->peek(again->layerId(L"A-AREA")));
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(l->isFrozen());
    EXPECT_TRUE(l->isLocked());
    EXPECT_TRUE(l->isOff());
    EXPECT_FALSE(l->isPlottable());
    EXPECT_EQ(l->lineWeight(), AcDb::kLnWt035);
    EXPECT_TRUE(l->color().isByColor());
    EXPECT_EQ(l->color().green(), 200);

    auto* ms2 = AcDbBlockTableRecord::cast(again->peek(again->modelSpaceId()));
    ASSERT_NE(ms2, nullptr);
    auto* xd2 = AcDbDictionary::cast(again->peek(ms2->extensionDictionary()));
    ASSERT_NE(xd2, nullptr);
    AcDbObjectId sortAgain;
    ASSERT_EQ(xd2->getAt(L"ACAD_SORTENTS", sortAgain), Acad::eOk);
    auto* st = AcDbSortentsTable::cast(again->peek(sortAgain));
    ASSERT_NE(st, nullptr);
    AcDbObjectIdArray order;
    ASSERT_EQ(st->getFullDrawOrder(order), Acad::eOk);
    ASSERT_EQ(order.length(), 3);
    EXPECT_EQ(order[0].handle(), db.peek(cId)->handle());
    EXPECT_EQ(order[1].handle(), db.peek(a)->handle());
    EXPECT_EQ(order[2].handle(), db.peek(b)->handle());

    auto* ps = AcDbBlockTableRecord::cast(again->peek(again->paperSpaceId()));
    ASSERT_NE(ps, nullptr);
    AcDbViewport* v = nullptr;
    for (const AcDbObjectId& id : ps->entityIds())
        if (auto* x = AcDbViewport::cast(again->peek(id)); x && x->width() == 50) v = x;
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(v->isLayerFrozenInViewport(again->layerId(L"A-AREA")));
}

TEST(DxfRoundTrip, HatchesAndTablesSurvive) {
    AcDbDatabase db;
    auto* hatch = new AcDbHatch;
    ASSERT_EQ(hatch->setPattern(AcDbHatch::kPreDefined, L"ANSI31"), Acad::eOk);
    hatch->setPatternScale(2.0);
    AcGePoint2dArray pts;
    AcGeDoubleArray bulges;
    for (auto [x, y] : {std::pair{0.0, 0.0}, {4.0, 0.0}, {4.0, 3.0}, {0.0, 3.0}}) {
        pts.append(AcGePoint2d(x, y));
        bulges.append(0.0);
    }
    ASSERT_EQ(hatch->appendLoop(AcDbHatch::kExternal | AcDbHatch::kPolyline, pts, bulges), Acad::eOk);
    append(db, hatch);
    auto* table = new AcDbTable;
    table->setSize(2, 3);
    table->setColumnWidth(12.5);
    table->setRowHeight(4.0);
    table->setTextString(1, 2, L"C:\\\\temp");
    table->mergeCells(0, 0, 0, 2);
    append(db, table);

    auto again = reload(db, "hatch.dxf");
    auto* h = entityAt<AcDbHatch>(*again, 0);
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(h->patternName(), L"ANSI31");
    EXPECT_DOUBLE_EQ(h->patternScale(), 2.0);
    ASSERT_EQ(h->numLoops(), 1);
    AcGePoint2dArray back;
    AcGeDoubleArray backBulges;
    Adesk::Int32 type = 0;
    ASSERT_EQ(h->getLoopAt(0, type, back, backBulges), Acad::eOk);
    ASSERT_EQ(back.length(), 4);
    EXPECT_TRUE(back[2].isEqualTo(AcGePoint2d(4, 3)));
    EXPECT_GT(h->numPatternDefinitions(), 0);
    auto* t = entityAt<AcDbTable>(*again, 1);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->numRows(), 2u);
    ASSERT_EQ(t->numColumns(), 3u);
    EXPECT_DOUBLE_EQ(t->columnWidth(1), 12.5);
    EXPECT_EQ(t->cellText(1, 2), L"C:\\\\temp");
    EXPECT_TRUE(t->isMergedCell(0, 1));
}

TEST(DxfFiles, SavingTwiceGivesTheSameFile) {
    for (const char* name : {"hatches_1.dxf", "viewport_frozen_layers.dxf", "multi_insert_with_attribs.dxf",
                             "ASCII_R12.dxf", "acad_table_with_blk_ref.dxf", "uncommon.dxf"}) {
        fs::path in = fs::path(KELMO_DXF_DATA_DIR) / name;
        fs::path first = dxftest::scratchDir() / (std::string("first_") + name);
        fs::path second = dxftest::scratchDir() / (std::string("second_") + name);
        ASSERT_TRUE(dxftest::roundTripFile(in, first).saved) << name;
        ASSERT_TRUE(dxftest::roundTripFile(first, second).saved) << name;
        EXPECT_EQ(dxftest::readBytes(first), dxftest::readBytes(second)) << name;
    }
}

TEST(DxfFiles, ReadingRefusesClearlyAndNeverHalfFillsADatabase) {
    AcDbDatabase db(false, true);
    fs::path missing = dxftest::scratchDir() / "no_such.dxf";
    EXPECT_EQ(db.readDxfFile(winPath(missing).c_str()), Acad::eFileNotFound);
    fs::path binary = fs::path(KELMO_DXF_DATA_DIR) / "bin_dxf_r13.dxf";
    EXPECT_NE(db.readDxfFile(winPath(binary).c_str()), Acad::eOk);
    ASSERT_FALSE(dxf::lastDxfProblems(&db).empty());
    EXPECT_NE(dxf::lastDxfProblems(&db).back().find("bin_dxf_r13.dxf"), std::string::npos);
    EXPECT_EQ(db.objectCount(), 0u);
    fs::path dwg = dxftest::scratchDir() / "plan.dwg";
    dxftest::writeBytes(dwg, std::string("AC1032\0\0\0\0binary", 16));
    EXPECT_EQ(db.readDxfFile(winPath(dwg).c_str()), Acad::eDwgNotRecognized);
    EXPECT_NE(dxf::lastDxfProblems(&db).back().find("DWG"), std::string::npos);

    AcDbDatabase full; // a default drawing is no place to read a file into
    fs::path ok = fs::path(KELMO_DXF_DATA_DIR) / "MODEL.dxf";
    EXPECT_EQ(full.readDxfFile(winPath(ok).c_str()), Acad::eWrongDatabase);

    fs::path damaged = fs::path(KELMO_DXF_DATA_DIR) / "R12_with_trash_beyond_EOF.dxf";
    AcDbDatabase d2(false, true);
    EXPECT_EQ(d2.readDxfFile(winPath(damaged).c_str()), Acad::eOk);
    bool reported = false;
    for (const std::string& p : dxf::lastDxfProblems(&d2))
        reported = reported || p.find("after EOF") != std::string::npos;
    EXPECT_TRUE(reported);
    EXPECT_EQ(AcDbBlockTableRecord::cast(d2.peek(d2.modelSpaceId()))->entityIds().size(), 1u);
}

TEST(DxfFiles, ADrawingsProblemsGoWithItAndNeverReachTheNextDrawing) {
    fs::path damaged = fs::path(KELMO_DXF_DATA_DIR) / "R12_with_trash_beyond_EOF.dxf";
    for (int i = 0; i < 3; ++i) { // a new drawing often takes the place of the one just closed
        auto* first = new AcDbDatabase(false, true);
        ASSERT_EQ(first->readDxfFile(winPath(damaged).c_str()), Acad::eOk);
        EXPECT_FALSE(dxf::lastDxfProblems(first).empty());
        delete first;
        auto* next = new AcDbDatabase(false, true);
        EXPECT_TRUE(dxf::lastDxfProblems(next).empty());
        EXPECT_TRUE(dxf::lastSaveProblem(next).empty());
        delete next;
    }
}

TEST(DxfFiles, AFailedSaveLeavesTheOldFileAndNoLitter) {
    AcDbDatabase db;
    append(db, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)));
    fs::path dir = dxftest::scratchDir() / "locked";
    fs::create_directories(dir);
    fs::path target = dir / "plan.dxf";
    dxftest::writeBytes(target, "old contents");
    fs::permissions(target, fs::perms::owner_read);
    if (::access(target.c_str(), W_OK) != 0) { // (a user who may write anything cannot test this)
        EXPECT_EQ(db.saveAs(winPath(target).c_str()), Acad::eFileAccessErr);
        EXPECT_EQ(dxftest::readBytes(target), "old contents");
    }
    fs::permissions(target, fs::perms::owner_all);
    EXPECT_EQ(db.saveAs(winPath(target).c_str()), Acad::eOk);
    EXPECT_NE(dxftest::readBytes(target), "old contents");
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 1);
    EXPECT_EQ(db.saveAs(winPath(dir / "missing" / "plan.dxf").c_str()), Acad::eFileAccessErr);
    EXPECT_EQ(db.saveAs(winPath(dir / "plan.dwg").c_str()), Acad::eInvalidFileExtension);
}

TEST(DxfRoundTrip, NamedPageSetupsAndXrecordsSurvive) {
    AcDbDatabase db;
    AcDbDictionary* setups = nullptr;
    ASSERT_EQ(db.getPlotSettingsDictionary(setups, AcDb::kForWrite), Acad::eOk);
    auto* ps = new AcDbPlotSettings(false);
    ps->setPlotSettingsName(L"A3 PDF");
    ps->setPlotCfgName(L"DWG To PDF.pc3");
    ps->setCanonicalMediaName(L"ISO_full_bleed_A3_(420.00_x_297.00_MM)");
    ps->setPlotRotation(AcDbPlotSettings::k90degrees);
    AcDbObjectId psId;
    ASSERT_EQ(setups->setAt(L"A3 PDF", ps, psId), Acad::eOk);
    ps->close();
    setups->close();
    AcDbDictionary* nod = nullptr;
    ASSERT_EQ(db.getNamedObjectsDictionary(nod, AcDb::kForWrite), Acad::eOk);
    auto* x = new AcDbXrecord;
    resbuf* rb = acutBuildList(1, L"Büro", 40, 2.5, 70, 3, 0);
    ASSERT_EQ(x->setFromRbChain(*rb), Acad::eOk);
    acutRelRb(rb);
    AcDbObjectId xId;
    ASSERT_EQ(nod->setAt(L"SPACEPLAN_SETTINGS", x, xId), Acad::eOk);
    x->close();
    nod->close();

    auto again = reload(db, "setups.dxf");
    AcDbDictionary* d = AcDbDictionary::cast(again->peek(again->plotSettingsDictionaryId()));
    ASSERT_NE(d, nullptr);
    AcDbObjectId id;
    ASSERT_EQ(d->getAt(L"A3 PDF", id), Acad::eOk);
    auto* back = AcDbPlotSettings::cast(again->peek(id));
    ASSERT_NE(back, nullptr);
    const ACHAR* media = nullptr;
    back->getCanonicalMediaName(media);
    EXPECT_STREQ(media, L"ISO_full_bleed_A3_(420.00_x_297.00_MM)");
    EXPECT_EQ(back->plotRotation(), AcDbPlotSettings::k90degrees);
    auto* root = AcDbDictionary::cast(again->peek(again->namedObjectsDictionaryId()));
    ASSERT_EQ(root->getAt(L"SPACEPLAN_SETTINGS", id), Acad::eOk);
    auto* xr = AcDbXrecord::cast(again->peek(id));
    ASSERT_NE(xr, nullptr);
    ASSERT_EQ(xr->values().size(), 3u);
    EXPECT_EQ(xr->values()[0].str, L"Büro");
    EXPECT_DOUBLE_EQ(xr->values()[1].pt[0], 2.5);
    EXPECT_EQ(xr->values()[2].integer, 3);
}
