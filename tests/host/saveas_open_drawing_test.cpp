// SAVEAS onto the file of another open drawing: refused, naming that drawing, whichever way the name is
// written; the drawings are written by ezdxf and read back by it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "module/CadhostRun.h"

namespace fs = std::filesystem;

namespace {

using cadhost_run::Outcome;

class SaveAsOpenDrawing : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelmo-saveas-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (!fs::exists(cadhost_run::program())) GTEST_SKIP() << "cadhost is not built";
        // Each drawing holds one line on a layer named after it.
        const std::string make =
            "import ezdxf, sys\n"
            "for name in sys.argv[1:]:\n"
            "    doc = ezdxf.new('R2010')\n"
            "    doc.layers.add(name)\n"
            "    doc.modelspace().add_line((0, 0), (10, 10), dxfattribs={'layer': name})\n"
            "    doc.saveas(name + '.dxf')\n";
        std::ofstream(dir / "make.py") << make;
        if (cadhost_run::runIn(dir, "/usr/bin/python3 make.py A B").status != 0)
            GTEST_SKIP() << "python3-ezdxf cannot write the drawings";
    }
    void TearDown() override { fs::remove_all(dir); }

    // cadhost on A.dxf (current) and B.dxf with the script, without the module.
    Outcome run(const std::string& script) {
        std::ofstream(dir / "test.scr") << script;
        return cadhost_run::runIn(
            dir, "'" + cadhost_run::program().string() + "' --module '' --batch --script test.scr A.dxf B.dxf");
    }
    // The layers of the drawing's lines, as ezdxf reads them.
    std::string layers(const std::string& drawing) {
        return cadhost_run::capture("cd '" + dir.string() +
                                    "' && /usr/bin/python3 -c \"import ezdxf; print(' '.join(e.dxf.layer for e in "
                                    "ezdxf.readfile('" +
                                    drawing + "').modelspace().query('LINE')))\"");
    }
    std::string windowsPath(const std::string& name) const {
        std::string path = "Z:" + (dir / name).string();
        for (char& c : path)
            if (c == '/') c = '\\';
        return path;
    }

    fs::path dir;
};

TEST_F(SaveAsOpenDrawing, IsRefusedNamingTheOpenDrawingAndNothingSavedIsOverwritten) {
    fs::create_symlink("B.dxf", dir / "link.dxf");
    const struct Case {
        const char* what;
        std::string target;
    } cases[] = {
        {"its own name", "B.dxf"},
        {"in Windows form", windowsPath("B.dxf")},
        {"through a link", "link.dxf"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A's save onto B's file is refused; A is still A and saves under a name of its own; B, made
        // current by closing A, saves as itself.
        Outcome r = run("SAVEAS " + c.target + "\nSAVEAS copy.dxf\nCLOSE\nSAVE\n");
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("test.scr:1: cannot save "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(": it is the file of the open drawing " + windowsPath("B.dxf") +
                             " (close that drawing first)\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(cadhost_run::count(r.err, "\n"), 1u) << r.err;
        EXPECT_EQ(cadhost_run::count(r.out, "Saved "), 2u) << r.out;
        EXPECT_NE(r.out.find("Saved " + windowsPath("copy.dxf") + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Saved " + windowsPath("B.dxf") + "\n"), std::string::npos) << r.out;
        EXPECT_EQ(layers("copy.dxf"), "A\n");
        EXPECT_EQ(layers("B.dxf"), "B\n");
        EXPECT_TRUE(fs::is_symlink(dir / "link.dxf"));
    }
}

TEST_F(SaveAsOpenDrawing, OntoItsOwnFileOrAClosedDrawingsFileIsASave) {
    // B is closed first: its file is free again.
    Outcome r = run("SAVEAS A.dxf\nOPEN B.dxf\nCLOSE\nSAVEAS B.dxf\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(layers("A.dxf"), "A\n");
    EXPECT_EQ(layers("B.dxf"), "A\n");
}

TEST_F(SaveAsOpenDrawing, NamesThatDifferOnlyInLetterCaseAreTwoDrawingsOpenedSideBySide) {
    // a.dxf was taken for the open A.dxf: "A.dxf is open already", and what followed changed A.dxf.
    ASSERT_EQ(cadhost_run::runIn(dir, "/usr/bin/python3 make.py a").status, 0);
    const struct Case {
        const char* what;
        std::string drawings, script;
    } cases[] = {
        {"OPEN a.dxf while A.dxf is open", "A.dxf", "OPEN a.dxf\nSAVEAS copy.dxf\nQUIT\n"},
        {"both named when cadhost starts", "A.dxf a.dxf", "CLOSE\nSAVEAS copy.dxf\nQUIT\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(dir / "case.scr") << c.script;
        const Outcome r = cadhost_run::runIn(
            dir, "'" + cadhost_run::program().string() + "' --module '' --batch --script case.scr " + c.drawings);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out.find("open already"), std::string::npos) << r.out;
        EXPECT_EQ(layers("copy.dxf"), "a\n") << "a.dxf is open beside A.dxf\n" << r.out << r.err;
        EXPECT_EQ(layers("A.dxf"), "A\n");
        fs::remove(dir / "copy.dxf");
    }
}

} // namespace
