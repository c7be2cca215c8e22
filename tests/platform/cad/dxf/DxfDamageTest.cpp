// Damaged and hostile files: counts that promise more than the file holds, numbers no type can
// hold, and files cut short. What loads is written again as complete DXF that other programs read.
#include "DxfTestSupport.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"
#include "cad/dxf/DxfDatabase.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <memory>

namespace fs = std::filesystem;

namespace {

struct Loaded {
    std::unique_ptr<AcDbDatabase> db = std::make_unique<AcDbDatabase>(false, true);
    std::vector<std::string> problems;
};

Loaded loadText(const std::string& text) {
    Loaded l;
    dxf::loadDatabase(l.db.get(), text, "damaged.dxf", l.problems);
    return l;
}

std::string saved(AcDbDatabase* db) {
    std::string out;
    dxf::writeDocument(dxf::saveDocument(db), out);
    return out;
}

bool mentions(const std::vector<std::string>& problems, const std::string& part) {
    for (const std::string& p : problems)
        if (p.find(part) != std::string::npos) return true;
    return false;
}

template <class T>
T* first(AcDbDatabase* db) {
    for (const AcDbObjectId& id : db->allObjectIds())
        if (auto* t = T::cast(db->peek(id))) return t;
    return nullptr;
}

std::string entities(const std::string& body) {
    return "  0\nSECTION\n  2\nENTITIES\n" + body + "  0\nENDSEC\n  0\nEOF\n";
}

// Runs ezdxf over every file and gives the names of those it cannot read.
std::string unreadableByEzdxf(const std::vector<fs::path>& files) {
    fs::path list = dxftest::scratchDir() / "files.txt";
    std::string names;
    for (const fs::path& f : files) names += f.string() + "\n";
    dxftest::writeBytes(list, names);
    std::string cmd =
        "/usr/bin/python3 -W ignore -c \"import sys, ezdxf\n"
        "for f in open(sys.argv[1]).read().split():\n"
        "    try: ezdxf.readfile(f)\n"
        "    except Exception as e: print(f, e)\" '" +
        list.string() + "' 2>&1";
    return dxftest::capture(cmd);
}

} // namespace

TEST(DxfDamage, HatchCountsBeyondTheFileSizeNothing) {
    // A 248-byte file whose boundary promises a billion vertices and edges.
    const std::string text = entities(
        "  0\nHATCH\n  5\n20\n100\nAcDbEntity\n  8\n0\n100\nAcDbHatch\n 10\n0\n 20\n0\n 30\n0\n"
        "  2\nSOLID\n 70\n1\n 71\n0\n 91\n2\n 92\n2\n 72\n0\n 73\n1\n 93\n1000000000\n"
        " 10\n0\n 20\n0\n 10\n1\n 20\n0\n 92\n1\n 93\n1000000000\n 72\n1\n 10\n0\n"
        " 20\n0\n 11\n1\n 21\n1\n 75\n0\n 76\n1\n 98\n0\n");
    Loaded l = loadText(text);
    auto* hatch = first<AcDbHatch>(l.db.get());
    ASSERT_NE(hatch, nullptr);
    ASSERT_EQ(hatch->numLoops(), 2);
    EXPECT_EQ(hatch->loops()[0].vertices.size(), 2u);
    EXPECT_EQ(hatch->loops()[1].edges.size(), 1u);
}

TEST(DxfDamage, NumbersOutsideAnEnumerationTakeTheDefault) {
    const std::string layout =
        "  0\nSECTION\n  2\nOBJECTS\n  0\nDICTIONARY\n  5\nC\n330\n0\n100\nAcDbDictionary\n"
        "  0\nLAYOUT\n  5\n30\n330\nC\n100\nAcDbPlotSettings\n  1\n\n 72\n-7\n 73\n99\n 74\n1000\n 75\n4000\n"
        " 76\n59\n100\nAcDbLayout\n  1\nOdd\n 70\n1\n 71\n1\n330\n0\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  5\n40\n100\nAcDbEntity\n  8\n0\n100\nAcDbText\n 10\n0\n 20\n0\n"
        " 30\n0\n 40\n1\n  1\nx\n 72\n77\n100\nAcDbText\n 73\n-5\n  0\nENDSEC\n  0\nEOF\n";
    Loaded l = loadText(layout);
    auto* text = first<AcDbText>(l.db.get());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->horizontalMode(), AcDb::kTextLeft);
    EXPECT_EQ(text->verticalMode(), AcDb::kTextBase);
    for (const AcDbObjectId& id : l.db->allObjectIds())
        if (auto* lay = AcDbLayout::cast(l.db->peek(id)); lay && std::wstring(lay->getLayoutName()) == L"Odd") {
            EXPECT_EQ(lay->shadePlot(), AcDbPlotSettings::kAsDisplayed);
            EXPECT_EQ(lay->plotRotation(), AcDbPlotSettings::k0degrees);
            EXPECT_EQ(lay->stdScaleType(), AcDbPlotSettings::kScaleToFit);
        }
}

TEST(DxfDamage, NoNonFiniteNumberIsWritten) {
    EXPECT_EQ(dxf::formatDouble(std::numeric_limits<double>::quiet_NaN()), "0.0");
    EXPECT_TRUE(std::isfinite(dxf::parseDouble(dxf::formatDouble(std::numeric_limits<double>::infinity()))));
    EXPECT_EQ(dxf::parseDouble("nan", 3.0), 3.0);
    EXPECT_EQ(dxf::parseDouble("-inf", 3.0), 3.0);
    Loaded l =
        loadText(entities("  0\nLINE\n  5\n20\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n 10\nnan\n 20\ninf\n"
                          " 30\n0\n 11\n1\n 21\n-inf\n 31\n0\n"));
    std::string out = saved(l.db.get());
    for (const char* word : {"nan", "inf", "NAN", "INF"}) EXPECT_EQ(out.find(word), std::string::npos) << word;
}

TEST(DxfDamage, WhatCannotBeMadeWholeIsDroppedAndListed) {
    // A header point cut after its x, an object of an unknown type cut inside a point, and one
    // whose real is no number.
    const std::string text =
        "  0\nSECTION\n  2\nHEADER\n  9\n$INSBASE\n 10\n0.0\n  9\n$PDSIZE\n 40\nabc\n  9\n$PDMODE\n 70\n3\n"
        "  0\nENDSEC\n  0\nSECTION\n  2\nOBJECTS\n  0\nDICTIONARY\n  5\nC\n330\n0\n100\nAcDbDictionary\n"
        "  0\nSPATIAL_FILTER\n  5\n31\n330\nC\n100\nAcDbFilter\n100\nAcDbSpatialFilter\n 70\n2\n 10\n1.0\n"
        "  0\nDETAILVIEWSTYLE\n  5\n32\n330\nC\n100\nAcDbModelDocViewStyle\n 40\n1.5x\n"
        "  0\nXRECORD\n  5\n33\n330\nC\n100\nAcDbXrecord\n280\n1\n  1\nkept\n  0\nENDSEC\n  0\nEOF\n";
    Loaded l = loadText(text);
    EXPECT_TRUE(mentions(l.problems, "$INSBASE")) << ::testing::PrintToString(l.problems);
    EXPECT_TRUE(mentions(l.problems, "$PDSIZE"));
    EXPECT_TRUE(mentions(l.problems, "2 entities, vertices or objects kept as read were damaged and dropped"));
    std::string out = saved(l.db.get());
    EXPECT_EQ(out.find("$INSBASE"), std::string::npos);
    EXPECT_NE(out.find("$PDMODE"), std::string::npos);
    EXPECT_EQ(out.find("SPATIAL_FILTER"), std::string::npos);
    EXPECT_EQ(out.find("DETAILVIEWSTYLE"), std::string::npos);
    EXPECT_NE(out.find("kept"), std::string::npos);
}

TEST(DxfDamage, EveryCutOfTheSampleDrawingThatLoadsIsSavedAsAFileEzdxfReads) {
    const std::string whole = dxftest::readBytes(fs::path(KELMO_SOURCE_DIR) / "samples" / "floorplan.dxf");
    ASSERT_GT(whole.size(), 10000u);
    std::vector<fs::path> files;
    const int cuts = 130;
    for (int k = 1; k <= cuts; ++k) {
        const std::size_t at = whole.size() * static_cast<std::size_t>(k) / (cuts + 1);
        Loaded l;
        try {
            dxf::loadDatabase(l.db.get(), std::string_view(whole).substr(0, at), "cut.dxf", l.problems);
        } catch (const dxf::Refused&) {
            continue;
        }
        fs::path out = dxftest::scratchDir() / ("cut" + std::to_string(k) + ".dxf");
        dxftest::writeBytes(out, saved(l.db.get()));
        files.push_back(out);
    }
    EXPECT_GT(files.size(), 100u);
    EXPECT_EQ(unreadableByEzdxf(files), "");
}

TEST(DxfDamage, ATableGridLargerThanItsRecordIsNotMade) {
    Loaded l =
        loadText(entities("  0\nACAD_TABLE\n  5\n20\n100\nAcDbEntity\n  8\n0\n100\nAcDbBlockReference\n  2\n*T1\n"
                          " 10\n0\n 20\n0\n 30\n0\n100\nAcDbTable\n 91\n999\n 92\n999\n171\n1\n  1\nx\n"));
    auto* table = first<AcDbTable>(l.db.get());
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->numRows() * table->numColumns(), 0u);
}

TEST(DxfDamage, GroupCodesNoFileUsesAreRefusedAsDamage) {
    // Negative codes mark the parts of an object's kept tags; one from a file must not pass as one.
    for (const char* code : {" -3", "1200"}) {
        Loaded l = loadText(entities(std::string("  0\nLINE\n  5\n20\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n") +
                                     code + "\nFFFF\n 10\n0\n 20\n0\n 30\n0\n 11\n1\n 21\n1\n 31\n0\n"));
        EXPECT_TRUE(mentions(l.problems, "invalid group code")) << code;
        // Every code written is one a file may hold.
        const std::string out = saved(l.db.get());
        dxf::Tokenizer tok(out);
        dxf::Tag tag;
        dxf::Tokenizer::Result r;
        while ((r = tok.next(tag)) == dxf::Tokenizer::Result::Tag) {}
        EXPECT_EQ(r, dxf::Tokenizer::Result::End) << code << ": " << tok.error();
    }
}

TEST(DxfDamage, RecordsOutOfTheirPlaceAreDroppedAndListed) {
    const std::string text =
        "  0\nSECTION\n  2\nHEADER\n  9\nMENU\n  1\n.\n  9\n$DIMRND\n 40\n0.0\n  8\n$DIMDLE\n 40\n0.0\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n  0\nTABLE\n  5\n1\n100\nAcDbSymbolTable\n 70\n2\n  0\nLAYER\n  5\n2\n  2\nX\n"
        "  0\nLINE\n  5\n20\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n 10\n0\n 20\n0\n 30\n0\n 11\n1\n 21\n1\n 31\n0\n"
        "  0\nENDSEC\n  0\nSECTION\n  2\nOBJECTS\n  0\nDICTIONARY\n  5\nC\n330\n0\n100\nAcDbDictionary\n"
        "  0\nCIRCLE\n  5\n30\n330\nC\n100\nAcDbEntity\n  8\n0\n100\nAcDbCircle\n 10\n0\n 20\n0\n 30\n0\n 40\n1\n"
        "  0\nENDSEC\n  0\nEOF\n";
    Loaded l = loadText(text);
    EXPECT_TRUE(mentions(l.problems, "2 records that are no entities dropped")) << ::testing::PrintToString(l.problems);
    EXPECT_TRUE(mentions(l.problems, "1 records that are no objects dropped"));
    EXPECT_TRUE(mentions(l.problems, "header variable MENU"));
    EXPECT_TRUE(mentions(l.problems, "header variable $DIMRND"));
    EXPECT_EQ(first<AcDbCircle>(l.db.get()), nullptr);
    EXPECT_NE(first<AcDbLine>(l.db.get()), nullptr);
    std::string out = saved(l.db.get());
    EXPECT_EQ(out.find("MENU"), std::string::npos);
}

TEST(DxfDamage, AHatchBodyThatIsNotWholeIsWrittenFromTheModel) {
    // No loop count, and a body under another subclass: neither is written again as read.
    for (const char* marker : {"AcDbHatch", "AcDbHatchX"}) {
        Loaded l = loadText(entities(std::string("  0\nHATCH\n  5\n20\n100\nAcDbEntity\n  8\n0\n100\n") + marker +
                                     "\n 10\n0\n 20\n0\n 30\n0\n  2\nSOLID\n 70\n1\n 71\n0\n 75\n0\n 76\n1\n 98\n0\n"));
        std::string out = saved(l.db.get());
        EXPECT_NE(out.find("100\r\nAcDbHatch\r\n"), std::string::npos) << marker;
        EXPECT_NE(out.find(" 91\r\n"), std::string::npos) << marker;
        EXPECT_EQ(out.find("AcDbHatchX"), std::string::npos);
    }
}

TEST(DxfDamage, AViewportFreezesOnlyLayers) {
    Loaded l =
        loadText(entities("  0\nLINE\n  5\n20\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n 10\n0\n 20\n0\n 30\n0\n"
                          " 11\n1\n 21\n1\n 31\n0\n  0\nVIEWPORT\n  5\n30\n100\nAcDbEntity\n 67\n1\n  8\n0\n"
                          "100\nAcDbViewport\n 10\n0\n 20\n0\n 30\n0\n 40\n10\n 41\n10\n 68\n2\n 69\n2\n331\n20\n"));
    auto* viewport = first<AcDbViewport>(l.db.get());
    ASSERT_NE(viewport, nullptr);
    AcDbObjectIdArray frozen;
    viewport->getFrozenLayerList(frozen);
    EXPECT_TRUE(frozen.isEmpty());
    EXPECT_EQ(saved(l.db.get()).find("331\r\n20\r\n"), std::string::npos);
}

TEST(DxfDamage, APointWhoseYIsDamagedIsNotKeptWithoutIt) {
    // A point among the common tags (where no point belongs) is kept as read only when whole.
    Loaded l =
        loadText(entities("  0\nLINE\n  5\n20\n100\nAcDbEntity\n  8\n0\n 12\n5\n 22\n5x\n100\nAcDbLine\n"
                          " 10\n0\n 20\n0\n 30\n0\n 11\n1\n 21\n1\n 31\n0\n"));
    EXPECT_EQ(saved(l.db.get()).find(" 12\r\n5\r\n"), std::string::npos);
}

TEST(DxfDamage, ARepairedLayerNameIsRepairedAtEveryReferenceAndTakesANumberWhereTheNameIsTaken) {
    // Layer "Cut:D=3" beside "Cut_D_3": a line whose layer follows its subclass marker, an old viewport's
    // frozen layer in extended data, a layer filter and a layer state name it.
    const std::string text =
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n  5\n2\n"
        "  0\nLAYER\n  5\n10\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n  2\nCut:D=3\n 70\n0\n 62\n1\n"
        "  6\nContinuous\n  0\nLAYER\n  5\n11\n100\nAcDbSymbolTableRecord\n100\nAcDbLayerTableRecord\n  2\nCut_D_3\n"
        " 70\n0\n 62\n5\n  6\nContinuous\n  0\nENDTAB\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  5\n20\n100\nAcDbEntity\n100\nAcDbLine\n  8\ncut:d=3\n 62\n256\n"
        " 10\n0\n 20\n0\n 30\n0\n 11\n1\n 21\n1\n 31\n0\n  0\nVIEWPORT\n  5\n21\n100\nAcDbEntity\n  8\n0\n"
        "100\nAcDbViewport\n 10\n0\n 20\n0\n 30\n0\n 40\n1\n 41\n1\n 69\n2\n1001\nACAD\n1000\nMVIEW\n1002\n{\n"
        "1003\nCut:D=3\n1002\n}\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nOBJECTS\n  0\nDICTIONARY\n  5\nC\n330\n0\n100\nAcDbDictionary\n  3\nFILTER\n350\n30\n"
        "  3\nSTATES\n350\n31\n  0\nLAYER_FILTER\n  5\n30\n330\nC\n100\nAcDbFilter\n100\nAcDbLayerFilter\n"
        "  8\nCut:D=3\n  0\nDICTIONARY\n  5\n31\n330\nC\n100\nAcDbDictionary\n  3\nACAD_LAYERSTATES\n350\n32\n"
        "  0\nDICTIONARY\n  5\n32\n330\n31\n100\nAcDbDictionary\n  3\nCut\n350\n33\n  0\nXRECORD\n  5\n33\n"
        "330\n32\n100\nAcDbXrecord\n  1\nCut\n  8\nCut:D=3\n 90\n0\n 62\n1\n  0\nENDSEC\n  0\nEOF\n";
    Loaded l = loadText(text);
    EXPECT_TRUE(mentions(l.problems, "layer \"Cut:D=3\" was renamed \"Cut_D_3_2\": \"Cut_D_3\" is another layer's"))
        << ::testing::PrintToString(l.problems);
    auto* line = first<AcDbLine>(l.db.get());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->layerName(), L"Cut_D_3_2");
    EXPECT_EQ(line->layerId(), l.db->layerId(L"Cut_D_3_2"));
    EXPECT_NE(l.db->layerId(L"Cut_D_3"), l.db->layerId(L"Cut_D_3_2"));
    const std::string out = saved(l.db.get());
    EXPECT_EQ(out.find("Cut:D=3"), std::string::npos);
    EXPECT_EQ(out.find("cut:d=3"), std::string::npos);
    for (const char* reference :
         {"1003\r\nCut_D_3_2\r\n", "AcDbLayerFilter\r\n  8\r\nCut_D_3_2\r\n", "  1\r\nCut\r\n  8\r\nCut_D_3_2\r\n"})
        EXPECT_NE(out.find(reference), std::string::npos) << reference;
}

TEST(DxfDamage, LayerNamesWithCharactersNoNameMayHoldAreRepairedAlike) {
    const std::string text =
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLAYER\n  5\n2\n  0\nLAYER\n  5\n10\n100\nAcDbSymbolTableRecord\n"
        "100\nAcDbLayerTableRecord\n  2\nWalls\\Old=1\n 70\n0\n 62\n1\n  6\nContinuous\n  0\nENDTAB\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  5\n20\n100\nAcDbEntity\n  8\nWalls\\Old=1\n100\nAcDbLine\n 10\n0\n"
        " 20\n0\n 30\n0\n 11\n1\n 21\n1\n 31\n0\n  0\nENDSEC\n  0\nEOF\n";
    Loaded l = loadText(text);
    EXPECT_TRUE(mentions(l.problems, "2 layer names with characters no name may hold were repaired"))
        << ::testing::PrintToString(l.problems);
    auto* line = first<AcDbLine>(l.db.get());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->layerName(), L"Walls_Old_1");
    EXPECT_EQ(line->layerId(), l.db->layerId(L"Walls_Old_1"));
    EXPECT_FALSE(l.db->layerId(L"Walls_Old_1").isNull());
}
