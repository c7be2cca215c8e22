// What we save is read by other programs: every input the reader takes, damaged or not, is saved as a
// file ezdxf reads. ezdxf runs once over all the files of a test, so the suite stays quick.
#include "DxfTestSupport.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/db/AcDbHatch.h"
#include "cad/db/AcDbTable.h"
#include "cad/dxf/DxfDatabase.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cmath>
#include <random>

namespace fs = std::filesystem;

namespace {

// Runs a python3 snippet with ezdxf, which gets the file names in `files`; gives what it prints.
std::string runEzdxf(const std::string& snippet, const std::vector<fs::path>& files) {
    static int calls = 0;
    const fs::path dir = dxftest::scratchDir();
    const fs::path list = dir / ("files" + std::to_string(++calls) + ".txt");
    const fs::path script = dir / ("check" + std::to_string(calls) + ".py");
    std::string names;
    for (const fs::path& f : files) names += f.string() + "\n";
    dxftest::writeBytes(list, names);
    dxftest::writeBytes(script, "import sys, ezdxf\nfiles = open(sys.argv[1]).read().split('\\n')[:-1]\n" + snippet);
    const std::string cmd = "/usr/bin/python3 -W ignore '" + script.string() + "' '" + list.string() + "' 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return "cannot run python";
    std::string out;
    std::array<char, 4096> buf;
    while (std::size_t n = std::fread(buf.data(), 1, buf.size(), p)) out.append(buf.data(), n);
    if (::pclose(p) != 0 && out.empty()) out = "python failed";
    return out;
}

// Loads the bytes as a file and saves them; false when the reader refuses them.
bool loadAndSave(const std::string& bytes, const fs::path& in, const fs::path& out) {
    dxftest::writeBytes(in, bytes);
    AcDbDatabase db(false, true);
    if (db.readDxfFile(win::nativeToWindows(in.string()).c_str()) != Acad::eOk) return false;
    const Acad::ErrorStatus es = db.saveAs(win::nativeToWindows(out.string()).c_str());
    EXPECT_EQ(es, Acad::eOk) << in << ": " << dxf::lastSaveProblem(&db);
    return es == Acad::eOk;
}

// Damaged variants of a drawing, as a fuzzer makes them: cut short, bytes swapped, structure where it
// does not belong, a group code line spoiled.
std::vector<std::string> damagedCuts(const std::string& bytes, std::mt19937& rng) {
    std::vector<std::string> out;
    if (bytes.size() < 64) return out;
    std::uniform_int_distribution<std::size_t> at(0, bytes.size() - 1);
    for (int k = 1; k <= 4; ++k) out.push_back(bytes.substr(0, bytes.size() * k / 5));
    for (int m = 0; m < 2; ++m) {
        std::string s = bytes;
        for (int k = 0; k < 20; ++k) std::swap(s[at(rng)], s[at(rng)]);
        out.push_back(s);
        s = bytes;
        s.insert(at(rng), "\n  0\nSECTION\n  2\n");
        out.push_back(s);
        s = bytes;
        const std::size_t line = s.find('\n', at(rng));
        if (line != std::string::npos) s.insert(line + 1, "x");
        out.push_back(s);
    }
    return out;
}

using dxftest::append;
using dxftest::newBlock;

AcDbHatch* square(double x, double y, double size) {
    auto* hatch = new AcDbHatch;
    hatch->setPattern(AcDbHatch::kPreDefined, L"SOLID");
    AcGePoint2dArray pts;
    AcGeDoubleArray bulges;
    for (auto [dx, dy] : {std::pair{0.0, 0.0}, {1.0, 0.0}, {1.0, 1.0}, {0.0, 1.0}}) {
        pts.append(AcGePoint2d(x + dx * size, y + dy * size));
        bulges.append(0.0);
    }
    hatch->appendLoop(AcDbHatch::kExternal | AcDbHatch::kPolyline, pts, bulges);
    return hatch;
}

using dxftest::sendToBottom;

} // namespace

TEST(DxfOtherReaders, EveryFuzzInputAndDamagedCutThatLoadsIsSavedAsAFileEzdxfReads) {
    std::vector<std::pair<std::string, std::string>> inputs; // name, bytes
    for (const auto& e : fs::directory_iterator(fs::path(KELMO_SOURCE_DIR) / "fuzz" / "corpus"))
        inputs.emplace_back(e.path().filename().string(), dxftest::readBytes(e.path()));
    std::mt19937 rng(20261207);
    std::vector<fs::path> drawings;
    for (const auto& e : fs::directory_iterator(fs::path(KELMO_DXF_DATA_DIR))) drawings.push_back(e.path());
    for (const auto& e :
         fs::directory_iterator(fs::path(KELMO_SOURCE_DIR) / "tests" / "platform" / "cad" / "dxf" / "data"))
        drawings.push_back(e.path());
    drawings.push_back(fs::path(KELMO_SOURCE_DIR) / "samples" / "floorplan.dxf");
    std::sort(drawings.begin(), drawings.end());
    for (const fs::path& d : drawings) {
        const std::string bytes = dxftest::readBytes(d);
        inputs.emplace_back(d.filename().string(), bytes);
        int k = 0;
        for (std::string& cut : damagedCuts(bytes, rng))
            inputs.emplace_back(d.filename().string() + "#" + std::to_string(++k), std::move(cut));
    }
    const fs::path dir = dxftest::scratchDir() / "saved";
    fs::create_directories(dir);
    std::vector<fs::path> saved;
    std::string names;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const fs::path out = dir / (std::to_string(i) + ".dxf");
        if (!loadAndSave(inputs[i].second, dir / "in.dxf", out)) continue;
        saved.push_back(out);
        names += out.filename().string() + " <- " + inputs[i].first + "\n";
    }
    dxftest::writeBytes(dir / "names.txt", names);
    EXPECT_GT(saved.size(), 1000u);
    const std::string unreadable = runEzdxf(
        "for f in files:\n"
        "    try: ezdxf.readfile(f)\n"
        "    except Exception as e: print(f, type(e).__name__, e)\n",
        saved);
    EXPECT_EQ(unreadable, "") << "sources in " << (dir / "names.txt");
    if (unreadable.empty()) fs::remove_all(dir);
}

TEST(DxfOtherReaders, WhatDamageLeftIncompleteIsWrittenFromTheModelOrDroppedAndListed) {
    const std::string objects =
        "  0\nSECTION\n  2\nOBJECTS\n  0\nDICTIONARY\n  5\nC\n330\n0\n100\nAcDbDictionary\n"
        "  3\nACAD_LAYOUT\n350\n1A\n  0\nDICTIONARY\n  5\n1A\n330\nC\n100\nAcDbDictionary\n";
    const std::string line =
        "  0\nLINE\n  5\n90\n100\nAcDbEntity\n  8\n0\n100\nAcDbLine\n 10\n0\n 20\n0\n 30\n0\n"
        " 11\n1\n 21\n1\n 31\n0\n";
    const struct {
        const char* name;
        std::string text;
        const char* problem;
    } cases[] = {
        {"a spline a damaged line cut into",
         "  0\nSECTION\n  2\nENTITIES\n  0\nSPLINE\n  5\n40\n100\nAcDbEntity\n  8\n0\n100\nAcDbSpline\n 70\n8\n"
         "x71\n3\n 72\n8\n" +
             line + "  0\nENDSEC\n  0\nEOF\n",
         "1 entities or objects cut short by a damaged line dropped"},
        {"a layout whose layout part is misspelt",
         objects + "  0\nLAYOUT\n  5\n1E\n330\n1A\n100\nAcDbPlotSettings\n  1\n\n100\nAcDbLayouX\n  1\nModel\n"
                   " 70\n1\n 71\n0\n330\n1F\n  0\nENDSEC\n  0\nEOF\n",
         ""},
        {"a wipeout whose subclass is misspelt",
         "  0\nSECTION\n  2\nENTITIES\n  0\nWIPEOUT\n  5\n504\n100\nAcDbEntity\n  8\n0\n100\neout\n 90\n0\n"
         " 10\n7\n 20\n5\n 30\n0\n 11\n1\n 21\n0\n 31\n0\n 12\n0\n 22\n1\n 32\n0\n 13\n1\n 23\n1\n" +
             line + "  0\nENDSEC\n  0\nEOF\n",
         "1 entities, vertices or objects kept as read were damaged and dropped"},
        {"a visual style without its flags",
         objects + "  0\nVISUALSTYLE\n  5\n68\n330\nC\n100\nAcDbVisualStyle\n  2\nLinepattern\n 70\n14\n"
                   "  0\nENDSEC\n  0\nEOF\n",
         "1 entities, vertices or objects kept as read were damaged and dropped"},
        {"a hatch edge of no known type",
         "  0\nSECTION\n  2\nENTITIES\n  0\nHATCH\n  5\nAD\n100\nAcDbEntity\n  8\n0\n100\nAcDbHatch\n 10\n0\n 20\n0\n"
         " 30\n0\n210\n0\n220\n0\n230\n1\n  2\nSOLID\n 70\n1\n 71\n0\n 91\n1\n 92\n1\n 93\n2\n 72\n1\n 10\n4\n"
         " 20\n10\n 11\n0\n 21\n0\n 72\n0\n 10\n1\n 20\n1\n 97\n0\n 75\n0\n 76\n1\n 98\n0\n  0\nENDSEC\n  0\nEOF\n",
         ""},
        {"a mesh without its edge count",
         "  0\nSECTION\n  2\nENTITIES\n  0\nMESH\n  5\n4CB\n100\nAcDbEntity\n  8\n0\n100\nAcDbSubDMesh\n 71\n2\n"
         " 72\n0\n 91\n0\n 92\n3\n 10\n0\n 20\n0\n 30\n0\n 10\n1\n 20\n0\n 30\n0\n 10\n0\n 20\n1\n 30\n0\n"
         " 93\n4\n 90\n3\n 90\n0\n 90\n1\n 90\n2\n 95\n0\n" +
             line + "  0\nENDSEC\n  0\nEOF\n",
         "1 entities, vertices or objects kept as read were damaged and dropped"},
        {"a multiline style element without its offset",
         objects + "  0\nMLINESTYLE\n  5\n60\n330\nC\n100\nAcDbMlineStyle\n  2\nSTANDARD\n 70\n0\n  3\n\n 62\n256\n"
                   " 51\n90\n 52\n90\n 71\n2\n 62\n256\n  6\nBYLAYER\n 49\n-0.5\n 62\n256\n  6\nBYLAYER\n"
                   "  0\nENDSEC\n  0\nEOF\n",
         "1 entities, vertices or objects kept as read were damaged and dropped"},
        {"a geographic mesh with a source point short of its target",
         objects + "  0\nGEODATA\n  5\n61\n330\nC\n100\nAcDbGeoData\n 90\n2\n 70\n2\n 93\n2\n 13\n0\n 23\n0\n"
                   " 14\n1\n 24\n1\n 13\n1\n 23\n1\n 96\n0\n  0\nENDSEC\n  0\nEOF\n",
         "1 entities, vertices or objects kept as read were damaged and dropped"},
        {"a multileader whose context data opens with another group",
         "  0\nSECTION\n  2\nENTITIES\n  0\nMULTILEADER\n  5\n80\n100\nAcDbEntity\n  8\n0\n100\nAcDbMLeader\n"
         "270\n2\n300\nCONTEXT_DAxA{\n 40\n1.0\n 10\n0\n 20\n0\n 30\n0\n301\n}\n" +
             line + "  0\nENDSEC\n  0\nEOF\n",
         "1 entities, vertices or objects kept as read were damaged and dropped"},
        {"a field list without its list",
         objects + "  0\nFIELDLIST\n  5\n81\n330\nC\n100\nAcDbIdSet\n 90\n0\n  0\nENDSEC\n  0\nEOF\n",
         "1 entities, vertices or objects kept as read were damaged and dropped"},
        {"a polyline whose sequence end holds a damaged value",
         "  0\nSECTION\n  2\nENTITIES\n  0\nPOLYLINE\n  5\n40\n100\nAcDbEntity\n  8\n0\n100\nAcDb2dPolyline\n"
         " 66\n1\n 10\n0\n 20\n0\n 30\n0\n 70\n0\n  0\nVERTEX\n  5\n41\n100\nAcDbEntity\n  8\n0\n100\nAcDbVertex\n"
         "100\nAcDb2dVertex\n 10\n0\n 20\n0\n 30\n0\n  0\nVERTEX\n  5\n42\n100\nAcDbEntity\n  8\n0\n100\nAcDbVertex\n"
         "100\nAcDb2dVertex\n 10\n1\n 20\n1\n 30\n0\n  0\nSEQEND\n  5\n43\n100\nAcDbEntity\n  8\n0\n 40\nENDSEC\n" +
             line + "  0\nENDSEC\n  0\nEOF\n",
         ""},
        {"a paragraph text whose subclass marker is damaged, with an embedded object",
         "  0\nSECTION\n  2\nENTITIES\n  0\nMTEXT\n  5\n70\n100\nAcDbEntity\n  8\n0\n600\nAcDbMText\n 10\n0\n 20\n0\n"
         " 30\n0\n 40\n1\n  1\nabc\n101\nEmbedded Object\n 70\n1\n 10\n1\n 20\n0\n 30\n0\n  0\nENDSEC\n  0\nEOF\n",
         ""},
    };
    const fs::path dir = dxftest::scratchDir() / "incomplete";
    fs::create_directories(dir);
    std::vector<fs::path> saved;
    for (const auto& c : cases) {
        const fs::path out = dir / (std::to_string(saved.size()) + ".dxf");
        AcDbDatabase db(false, true);
        std::vector<std::string> problems;
        dxf::loadDatabase(&db, c.text, "damaged.dxf", problems);
        std::string all;
        for (const std::string& p : problems) all += p + "\n";
        EXPECT_NE(all.find(c.problem), std::string::npos) << c.name << ":\n" << all;
        ASSERT_EQ(db.saveAs(win::nativeToWindows(out.string()).c_str()), Acad::eOk) << c.name;
        saved.push_back(out);
    }
    // Read back: the line after the damage is still there, every layout links a block, no edge of type 0.
    EXPECT_EQ(
        runEzdxf(
            "for f in files:\n"
            "    try: doc = ezdxf.readfile(f)\n"
            "    except Exception as e:\n"
            "        print(f, type(e).__name__, e)\n"
            "        continue\n"
            "    if doc.layouts.get('Model') is None: print(f, 'no model space')\n"
            "    for e in doc.entitydb.values():\n"
            "        if (e.dxftype(), e.dxf.handle) in {('SPLINE', '40'), ('WIPEOUT', '504'), ('VISUALSTYLE', '68'),\n"
            "                ('MESH', '4CB'), ('MLINESTYLE', '60'), ('GEODATA', '61'), ('MULTILEADER', '80'),\n"
            "                ('FIELDLIST', '81')}:\n"
            "            print(f, 'kept', e.dxftype())\n"
            "        if e.dxftype() == 'HATCH':\n"
            "            for p in e.paths:\n"
            "                if len(p.edges) != 1: print(f, 'edges', len(p.edges))\n",
            saved),
        "");
    const std::string spline = dxftest::readBytes(saved[0]);
    EXPECT_NE(spline.find("AcDbLine"), std::string::npos);
}

TEST(DxfOtherReaders, AReaderThatIgnoresTheDrawOrderTableDrawsTheSamePicture) {
    AcDbDatabase db;
    const AcDbObjectId ms = db.modelSpaceId(), room = newBlock(db, L"ROOM");
    append(ms, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0)));
    append(ms, new AcDbText(AcGePoint3d(1, 1, 0), L"Office", AcDbObjectId(), 0.5));
    const AcDbObjectId under = append(ms, square(0, 0, 10));
    const AcDbObjectId under2 = append(ms, square(20, 0, 10));
    append(room, new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    const AcDbObjectId fill = append(room, square(0, 0, 1));
    sendToBottom(ms, {under2});
    sendToBottom(ms, {under});
    sendToBottom(room, {fill});
    append(ms, new AcDbBlockReference(AcGePoint3d(5, 5, 0), room));
    const AcDbObjectId other = newBlock(db, L"OTHER");
    append(other, new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d(0, 0, 1), 1));
    sendToBottom(other, {}, ms);
    const fs::path file = dxftest::scratchDir() / "order.dxf";
    ASSERT_EQ(db.saveAs(win::nativeToWindows(file.string()).c_str()), Acad::eOk);
    // Written bottom first, and the same order as the table gives.
    EXPECT_EQ(
        runEzdxf(
            "for f in files:\n"
            "    doc = ezdxf.readfile(f)\n"
            "    for b in (doc.blocks.get('*Model_Space'), doc.blocks.get('ROOM'), doc.blocks.get('OTHER')):\n"
            "        read = [e.dxf.handle for e in b]\n"
            "        if read != [e.dxf.handle for e in b.entities_in_redraw_order()]: print(b.name, 'out of order')\n"
            "        print(b.name, ' '.join(e.dxftype() for e in b))\n",
            {file}),
        "*Model_Space HATCH HATCH LINE TEXT INSERT\nROOM HATCH LINE\nOTHER CIRCLE\n");
}

TEST(DxfOtherReaders, EveryTableNamesABlockHoldingItsDrawing) {
    AcDbDatabase db;
    const AcDbObjectId swatch = newBlock(db, L"SWATCH");
    append(swatch, square(0, 0, 2));
    auto* table = new AcDbTable;
    table->setPosition(AcGePoint3d(100, 50, 0));
    table->setSize(3, 2);
    table->setColumnWidth(0, 4);
    table->setColumnWidth(1, 10);
    table->setRowHeight(2);
    table->mergeCells(0, 0, 0, 1);
    table->setTextString(0, 0, L"Legend");
    table->setTextString(1, 0, L"Use");
    table->setTextString(1, 1, L"Area");
    table->setBlockTableRecordId(2, 0, swatch, false);
    table->setTextString(2, 1, L"Office");
    AcDbLayerTable* layers = nullptr;
    ASSERT_EQ(db.getLayerTable(layers, AcDb::kForWrite), Acad::eOk);
    auto* layer = new AcDbLayerTableRecord;
    layer->setName(L"LEGEND");
    ASSERT_EQ(layers->add(layer), Acad::eOk);
    layer->close();
    layers->close();
    table->setLayer(L"LEGEND");
    append(db.modelSpaceId(), table);
    auto* second = new AcDbTable;
    second->setSize(1, 1);
    second->setTextString(0, 0, L"x");
    second->setRotation(std::acos(-1.0) / 2); // its cell turned about its corner
    append(db.modelSpaceId(), second);

    const fs::path file = dxftest::scratchDir() / "tables.dxf", again = dxftest::scratchDir() / "tables2.dxf";
    ASSERT_EQ(db.saveAs(win::nativeToWindows(file.string()).c_str()), Acad::eOk);
    // Read back, the table keeps the block it was given, written once.
    AcDbDatabase reread(false, true);
    ASSERT_EQ(reread.readDxfFile(win::nativeToWindows(file.string()).c_str()), Acad::eOk);
    ASSERT_EQ(reread.saveAs(win::nativeToWindows(again.string()).c_str()), Acad::eOk);
    // Frames, texts at the cells' middles and the swatch centred in its cell (shrunk to leave a tenth
    // of the cell's height around it), about the table's insertion point, on the table's layer.
    const std::string expected =
        "*T1 343 ok 5 frames\n"
        "  INSERT SWATCH 1.2 -5.8 0.8 LEGEND\n"
        "  TEXT Area 9.0 -3.0 LEGEND\n"
        "  TEXT Legend 7.0 -1.0 LEGEND\n"
        "  TEXT Office 9.0 -5.0 LEGEND\n"
        "  TEXT Use 2.0 -3.0 LEGEND\n"
        "*T2 343 ok 1 frames\n"
        "  TEXT x 0.5 0.5 0\n";
    const std::string check =
        "for f in files:\n"
        "    doc = ezdxf.readfile(f)\n"
        "    for t in doc.modelspace().query('ACAD_TABLE'):\n"
        "        name = t.xtags.get_subclass('AcDbBlockReference').get_first_value(2, '')\n"
        "        block = doc.blocks.get(name)\n"
        "        if block is None: print('no block', repr(name)); continue\n"
        "        linked = t.xtags.get_subclass('AcDbTable').get_first_value(343, '') == block.block_record_handle\n"
        "        lines = [e for e in block if e.dxftype() == 'LINE']\n"
        "        print(name, '343', 'ok' if linked else 'wrong', len(lines) // 4, 'frames')\n"
        "        out = []\n"
        "        for e in block:\n"
        "            if e.dxftype() == 'TEXT': out.append(('TEXT', e.dxf.text, round(e.dxf.align_point.x, 3), "
        "round(e.dxf.align_point.y, 3), e.dxf.layer))\n"
        "            if e.dxftype() == 'INSERT': out.append(('INSERT', e.dxf.name, round(e.dxf.insert.x, 3), "
        "round(e.dxf.insert.y, 3), round(e.dxf.xscale, 3), e.dxf.layer))\n"
        "        for o in sorted(out): print(' ', *o)\n"
        "    print('--')\n";
    EXPECT_EQ(runEzdxf(check, {file, again}), expected + "--\n" + expected + "--\n");
}

TEST(DxfOtherReaders, DamagedLayoutsAndDictionariesOfARealDrawingAreMendedForOtherPrograms) {
    const std::string whole = dxftest::readBytes(fs::path(KELMO_SOURCE_DIR) / "samples" / "floorplan.dxf");
    const std::string linePrefix = "\n  0\nLINE\n  5\n";
    const std::size_t line = whole.find(linePrefix);
    ASSERT_NE(line, std::string::npos);
    const std::size_t handleAt = line + linePrefix.size();
    const std::string lineHandle = whole.substr(handleAt, whole.find('\n', handleAt) - handleAt);
    const struct {
        const char* name;
        std::string from, to, problem;
    } cases[] = {
        {"a layout listed under another name", "  3\nModel\n350\n1A\n", "  3\nMode6\n350\n1A\n",
         "1 entries of the layout dictionary given their layout's name"},
        {"a layout entry naming a symbol table", "  3\nLayout1\n350\n1E\n",
         "  3\nLayout1\n350\n1E\n  3\nLayout9\n350\n3\n",
         "1 entries of the layout dictionary that are no layouts dropped"},
        {"a layout whose reactor group lost its end", "  0\nLAYOUT\n  5\n1E\n330\nD\n",
         "  0\nLAYOUT\n  5\n1E\n102\n{ACAD_REACTORS\n330\nD\n102\n1\n330\nD\n", ""},
        {"a layout the next one ran into", "  0\nLAYOUT\n  5\n1E\n", "  9\nLAYOUT\n  5\n1E\n", ""},
        {"plot style names naming the table styles", "  3\nACAD_PLOTSTYLENAME\n350\n12\n",
         "  3\nACAD_PLOTSTYLENAME\n350\n15\n", "pointed at no plot style dictionary and was dropped"},
        {"a dictionary entry naming an entity", "  5\nE\n330\nA\n100\nAcDbDictionary\n281\n1\n",
         "  5\nE\n330\nA\n100\nAcDbDictionary\n281\n1\n  3\nSTRAY\n350\n" + lineHandle + "\n", ""},
    };
    const std::string strayEntry = "STRAY\r\n350\r\n" + lineHandle + "\r\n";
    const fs::path dir = dxftest::scratchDir() / "layouts";
    fs::create_directories(dir);
    std::vector<fs::path> saved;
    for (const auto& c : cases) {
        std::string text = whole;
        const std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.name;
        text.replace(at, c.from.size(), c.to);
        AcDbDatabase db(false, true);
        std::vector<std::string> problems;
        dxf::loadDatabase(&db, text, "damaged.dxf", problems);
        std::string all;
        for (const std::string& p : problems) all += p + "\n";
        EXPECT_NE(all.find(c.problem), std::string::npos) << c.name << ":\n" << all;
        // A layer made afterwards names no plot style: readers give it their "Normal" one.
        AcDbLayerTable* layers = nullptr;
        ASSERT_EQ(db.getLayerTable(layers, AcDb::kForWrite), Acad::eOk);
        auto* layer = new AcDbLayerTableRecord;
        layer->setName(L"NEW");
        EXPECT_EQ(layers->add(layer), Acad::eOk);
        layer->close();
        layers->close();
        const fs::path out = dir / (std::to_string(saved.size()) + ".dxf");
        ASSERT_EQ(db.saveAs(win::nativeToWindows(out.string()).c_str()), Acad::eOk) << c.name;
        EXPECT_EQ(dxftest::readBytes(out).find(strayEntry), std::string::npos) << c.name;
        saved.push_back(out);
    }
    // ezdxf sets every layout up from the layout dictionary; each layout names its block once.
    EXPECT_EQ(runEzdxf("for f in files:\n"
                       "    try: doc = ezdxf.readfile(f)\n"
                       "    except Exception as e:\n"
                       "        print(f, type(e).__name__, e)\n"
                       "        continue\n"
                       "    print(' '.join(sorted(doc.layouts.names())))\n",
                       saved),
              "Layout1 Model\nLayout1 Model\nLayout1 Model\nLayout1 Model\nLayout1 Model\nLayout1 Model\n");
}
