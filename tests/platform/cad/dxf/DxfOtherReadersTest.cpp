// What we save is read by other programs: every input the reader takes, damaged or not, is saved as a
// file ezdxf reads. ezdxf runs once over all the files of a test, so the suite stays quick.
#include "DxfTestSupport.h"

#include "cad/db/AcDbDatabase.h"
#include "cad/dxf/DxfDatabase.h"
#include "win/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
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
    EXPECT_EQ(runEzdxf("for f in files:\n"
                       "    try: ezdxf.readfile(f)\n"
                       "    except Exception as e: print(f, type(e).__name__, e)\n",
                       saved),
              "")
        << "sources in " << (dir / "names.txt");
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
    EXPECT_EQ(runEzdxf("for f in files:\n"
                       "    try: doc = ezdxf.readfile(f)\n"
                       "    except Exception as e:\n"
                       "        print(f, type(e).__name__, e)\n"
                       "        continue\n"
                       "    if doc.layouts.get('Model') is None: print(f, 'no model space')\n"
                       "    for e in doc.entitydb.values():\n"
                       "        if e.dxftype() in ('SPLINE', 'WIPEOUT', 'VISUALSTYLE'): print(f, 'kept', e.dxftype())\n"
                       "        if e.dxftype() == 'HATCH':\n"
                       "            for p in e.paths:\n"
                       "                if len(p.edges) != 1: print(f, 'edges', len(p.edges))\n",
                       saved),
              "");
    const std::string spline = dxftest::readBytes(saved[0]);
    EXPECT_NE(spline.find("AcDbLine"), std::string::npos);
}
