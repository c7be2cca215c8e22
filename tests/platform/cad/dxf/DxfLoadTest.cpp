// What the reader makes of real and hand-made files: layouts, dynamic blocks, old releases' text,
// header variables, and entities changed after loading.
#include "DxfTestSupport.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbHatch.h"
#include "cad/dxf/DxfDatabase.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

#include <memory>

namespace fs = std::filesystem;

namespace {

std::unique_ptr<AcDbDatabase> load(const fs::path& p) {
    auto db = std::make_unique<AcDbDatabase>(false, true);
    EXPECT_EQ(db->readDxfFile(win::nativeToWindows(p.string()).c_str()), Acad::eOk) << p;
    return db;
}

fs::path sample(const char* name) {
    return fs::path(KELMO_DXF_DATA_DIR) / name;
}

std::unique_ptr<AcDbDatabase> saveAndLoad(AcDbDatabase& db, const char* name) {
    fs::path out = dxftest::scratchDir() / name;
    EXPECT_EQ(db.saveAs(win::nativeToWindows(out.string()).c_str()), Acad::eOk);
    return load(out);
}

} // namespace

TEST(DxfLoad, LayoutsAndTheirBlocksNameEachOther) {
    auto db = load(sample("layout_broken_links.dxf"));
    auto* blocks = AcDbBlockTable::cast(db->peek(db->blockTableId()));
    ASSERT_NE(blocks, nullptr);
    int layouts = 0;
    for (const AcDbObjectId& id : blocks->recordIds()) {
        auto* br = AcDbBlockTableRecord::cast(db->peek(id));
        if (!br || !br->isLayout()) continue;
        auto* layout = AcDbLayout::cast(db->peek(br->getLayoutId()));
        ASSERT_NE(layout, nullptr) << dxf::narrow(br->getName());
        EXPECT_EQ(layout->getBlockTableRecordId(), id);
        ++layouts;
    }
    EXPECT_EQ(layouts, 3);
    auto* dict = AcDbDictionary::cast(db->peek(db->layoutDictionaryId()));
    ASSERT_NE(dict, nullptr);
    EXPECT_EQ(dict->numEntries(), 3u);
}

TEST(DxfLoad, AnonymousBlockNamesTheDynamicBlockItCameFrom) {
    const std::string text =
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nBLOCK_RECORD\n  5\n1\n"
        "  0\nBLOCK_RECORD\n  5\nA0\n330\n1\n100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n  2\nDOOR\n"
        "  0\nBLOCK_RECORD\n  5\nA1\n330\n1\n100\nAcDbSymbolTableRecord\n100\nAcDbBlockTableRecord\n  2\n*U7\n"
        "1001\nAcDbBlockRepBTag\n1070\n1\n1005\nA0\n"
        "  0\nENDTAB\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nBLOCKS\n"
        "  0\nBLOCK\n  5\nB0\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockBegin\n  2\nDOOR\n 70\n0\n 10\n0\n 20\n0\n 30\n0\n"
        "  0\nENDBLK\n  5\nB1\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockEnd\n"
        "  0\nBLOCK\n  5\nB2\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockBegin\n  2\n*U7\n 70\n1\n 10\n0\n 20\n0\n 30\n0\n"
        "  0\nENDBLK\n  5\nB3\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockEnd\n"
        "  0\nENDSEC\n  0\nEOF\n";
    fs::path file = dxftest::scratchDir() / "dynamic.dxf";
    dxftest::writeBytes(file, text);
    auto db = load(file);
    auto* anon = AcDbBlockTableRecord::cast(db->peek(db->blockId(L"*U7")));
    ASSERT_NE(anon, nullptr);
    EXPECT_TRUE(anon->isAnonymous());
    EXPECT_EQ(anon->dynamicBlockDefinitionId(), db->blockId(L"DOOR"));
    // And it still does after a save.
    auto again = saveAndLoad(*db, "dynamic_saved.dxf");
    auto* anon2 = AcDbBlockTableRecord::cast(again->peek(again->blockId(L"*U7")));
    ASSERT_NE(anon2, nullptr);
    EXPECT_EQ(anon2->dynamicBlockDefinitionId(), again->blockId(L"DOOR"));
    EXPECT_EQ(anon2->handle(), AcDbHandle(0xA1));
}

TEST(DxfLoad, OldReleaseTextIsDecodedAndSavedAsUtf8) {
    auto db = load(sample("ASCII_R12.dxf"));
    // The layer's name mixes escapes with Windows-1252 bytes.
    const std::wstring layer = L"\u039B\u0391\u0393\u0395\u03A1\u00C4\u00DC\u00D6";
    EXPECT_FALSE(db->layerId(layer).isNull());
    auto again = saveAndLoad(*db, "r12_saved.dxf");
    EXPECT_FALSE(again->layerId(layer).isNull());
    EXPECT_EQ(again->clayer(), again->layerId(layer));
    std::string bytes = dxftest::readBytes(dxftest::scratchDir() / "r12_saved.dxf");
    EXPECT_NE(bytes.find("\xCE\x9B\xCE\x91\xCE\x93\xCE\x95\xCE\xA1\xC3\x84"), std::string::npos);
    EXPECT_EQ(bytes.find("\\U+"), std::string::npos);
}

TEST(DxfLoad, HeaderVariablesTheModelKnowsSurvive) {
    auto db = load(sample("custom_blocks.dxf"));
    EXPECT_EQ(db->insunits(), AcDb::kUnitsMillimeters);
    AcDbObjectId layer = db->clayer();
    ASSERT_FALSE(layer.isNull());
    auto again = saveAndLoad(*db, "header_saved.dxf");
    EXPECT_EQ(again->insunits(), AcDb::kUnitsMillimeters);
    EXPECT_EQ(again->clayer().handle(), layer.handle());
    EXPECT_EQ(again->originalFileVersion(), L"AC1024");
    EXPECT_EQ(db->originalFileVersion(), L"AC1024");
}

TEST(DxfLoad, AHatchChangedAfterLoadingIsWrittenFromTheModel) {
    auto db = load(sample("hatches_1.dxf"));
    auto* ms = AcDbBlockTableRecord::cast(db->peek(db->modelSpaceId()));
    AcDbObjectId hatchId;
    for (const AcDbObjectId& id : ms->entityIds())
        if (AcDbHatch::cast(db->peek(id)) && hatchId.isNull()) hatchId = id;
    ASSERT_FALSE(hatchId.isNull());
    AcDbExtents before;
    AcDbHatch::cast(db->peek(hatchId))->getGeomExtents(before);
    AcDbHatch* h = nullptr;
    ASSERT_EQ(acdbOpenObject(h, hatchId, AcDb::kForWrite), Acad::eOk);
    AcGeMatrix3d move;
    move.setToTranslation(AcGeVector3d(100, 0, 0));
    ASSERT_EQ(h->transformBy(move), Acad::eOk);
    h->close();
    fs::path out = dxftest::scratchDir() / "hatch_moved.dxf";
    ASSERT_EQ(db->saveAs(win::nativeToWindows(out.string()).c_str()), Acad::eOk);
    EXPECT_EQ(dxftest::ezdxfCheck(sample("hatches_1.dxf"), out, false), "");
    auto again = load(out);
    AcDbObjectId movedId;
    ASSERT_EQ(again->getAcDbObjectId(movedId, false, db->peek(hatchId)->handle()), Acad::eOk);
    auto* moved = AcDbHatch::cast(again->peek(movedId));
    ASSERT_NE(moved, nullptr);
    AcDbExtents after;
    moved->getGeomExtents(after);
    EXPECT_NEAR(after.minPoint().x, before.minPoint().x + 100, 1e-9);
    EXPECT_NEAR(after.maxPoint().y, before.maxPoint().y, 1e-9);
}

TEST(DxfLoad, ASplineEdgeWithoutFitPointsLeavesTheEdgesAfterItIntact) {
    // The outline of separate entities: a spline without fit points, then two lines closing the loop.
    auto db = load(sample("hatches_2.dxf"));
    auto* ms = AcDbBlockTableRecord::cast(db->peek(db->modelSpaceId()));
    const AcDbHatch* edged = nullptr;
    for (const AcDbObjectId& id : ms->entityIds())
        if (auto* h = AcDbHatch::cast(db->peek(id)); h && !h->loops().empty() && !h->loops()[0].isPolyline) edged = h;
    ASSERT_NE(edged, nullptr);
    const auto& edges = edged->loops()[0].edges;
    ASSERT_EQ(edges.size(), 10u);
    EXPECT_EQ(edges[7].type, AcDbHatchEdge::kSpline);
    EXPECT_NEAR(edges[8].start.x, 68.7236, 1e-3);
    EXPECT_NEAR(edges[9].end.y, 38.8102, 1e-3);
    // The ellipse edge starts where the line before it ends.
    EXPECT_NEAR(edged->loops()[0].path().vertices[1].pt.x, 61.497, 1e-3);
}

// A UCS turned a quarter has its x axis along the world y: the header's axes come one at a time.
TEST(DxfLoad, AUcsTurnedByAnyQuarterSurvives) {
    struct Case {
        AcGeVector3d x, y;
    };
    const Case cases[] = {{{0, 1, 0}, {-1, 0, 0}}, {{-1, 0, 0}, {0, -1, 0}}, {{0, -1, 0}, {1, 0, 0}}};
    for (const Case& c : cases) {
        AcDbDatabase db;
        ASSERT_EQ(db.setUcs(AcGePoint3d(100, 50, 0), c.x, c.y), Acad::eOk);
        auto again = saveAndLoad(db, "ucs_saved.dxf");
        SCOPED_TRACE(testing::Message() << "x " << c.x.x << "," << c.x.y);
        EXPECT_TRUE(again->ucsxdir().isEqualTo(c.x));
        EXPECT_TRUE(again->ucsydir().isEqualTo(c.y));
        EXPECT_TRUE(again->ucsorg().isEqualTo(AcGePoint3d(100, 50, 0)));
    }
}

TEST(DxfLoad, ALargeFileGivingItsTextBackAsItIsReadLoadsAsTheSameTextKeptWhole) {
    // Several megabytes, so that pages are given back while reading: lines and texts with values
    // long and short, and bytes after the end that are reported.
    std::string text = "0\nSECTION\n2\nENTITIES\n";
    for (int i = 0; i < 40000; ++i) {
        text += "0\nLINE\n8\nWalls\n10\n" + std::to_string(i) + ".5\n20\n0.25\n11\n" + std::to_string(i) + "\n21\n9\n";
        text += "0\nTEXT\n8\nLabels with a long layer name " + std::to_string(i % 7) + "\n10\n" + std::to_string(i) +
                "\n20\n1\n40\n0.25\n1\nRoom " + std::to_string(i) + " of the east wing, second floor\n";
    }
    text += "0\nENDSEC\n0\nEOF\nstray\n";
    ASSERT_GT(text.size(), std::size_t(4) << 20);
    auto saved = [](AcDbDatabase& db) {
        std::string out;
        dxf::Document doc = dxf::saveDocument(&db);
        dxf::writeDocument(doc, out);
        return out;
    };
    AcDbDatabase whole(false, true), given(false, true);
    std::vector<std::string> wholeProblems, givenProblems;
    dxf::loadDatabase(&whole, std::string_view(text), "whole.dxf", wholeProblems);
    std::string copy = text;
    dxf::loadDatabase(&given, std::move(copy), "given.dxf", givenProblems);
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(givenProblems, wholeProblems);
    EXPECT_NE(std::find(givenProblems.begin(), givenProblems.end(), "ignored 6 bytes after EOF"), givenProblems.end());
    EXPECT_EQ(saved(given), saved(whole));
}

TEST(DxfLoad, ASolidCopiedFromOneWhoseGeometryIsKeptAsReadTakesThatGeometryWithIt) {
    // The planes of the solid in a block of an R2018 drawing become tori, which the R2010 text is not
    // known to take: the drawing keeps every solid's geometry as read.
    const fs::path tori = dxftest::scratchDir() / "tori.dxf", out = dxftest::scratchDir() / "tori-copied.dxf";
    std::string text = dxftest::readBytes(sample("uncommon.dxf"));
    const std::size_t from = text.find("\n320\n62C\n"), to = text.find("ENDSEC", from);
    ASSERT_NE(from, std::string::npos);
    for (std::size_t at = text.find("706C616E65", from); at < to; at = text.find("706C616E65", at))
        text.replace(at, 10, "746F727573");
    dxftest::writeBytes(tori, text);
    auto db = load(tori);
    AcDbObjectId solid;
    ASSERT_EQ(db->getAcDbObjectId(solid, false, AcDbHandle(0x62C)), Acad::eOk);
    AcDbObjectIdArray ids;
    ids.append(solid);
    AcDbIdMapping map;
    ASSERT_EQ(db->deepCloneObjects(ids, db->modelSpaceId(), map), Acad::eOk);
    AcDbIdPair pair(solid, AcDbObjectId(), false);
    ASSERT_TRUE(map.compute(pair));
    const std::string copy = dxf::handleText(db->peek(pair.value())->handle().value());
    ASSERT_EQ(db->saveAs(win::nativeToWindows(out.string()).c_str()), Acad::eOk);
    // ezdxf finds the copy's geometry, the same bytes as the solid read.
    const std::string found = dxftest::capture(
        "/usr/bin/python3 -W ignore -c \"import sys, ezdxf\n"
        "doc = ezdxf.readfile(sys.argv[1])\n"
        "print(doc.acad_release, bytes(doc.entitydb[sys.argv[2]].sab) == bytes(doc.entitydb['62C'].sab))\" '" +
        out.string() + "' " + copy + " 2>&1");
    EXPECT_EQ(found, "R2018 True\n");
}
