// 3D solids through cadhost's save: R2013 and later keep their geometry in a section of its own, the
// R2010 file cadhost writes keeps it in the solid; a drawing with a solid whose geometry cannot go there
// is named at the opening and saved in the release it was read in, its geometry as read.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SavedDrawing.h"

namespace fs = std::filesystem;

namespace {

class Solids : public SavedDrawing {
protected:
    // What ezdxf finds of each solid's geometry in the saved copy, against the original.
    std::string compared(const fs::path& original) const {
        return script("solid_values.py", {original.string(), (dir / "saved.dxf").string()});
    }

    const fs::path uncommon = fs::path(KELMO_DXF_DATA_DIR) / "uncommon.dxf";
};

TEST_F(Solids, ASolidSavedAsR2010KeepsEveryValueOfItsGeometry) {
    // Cubes as ezdxf writes them in R2013 and R2018 drawings: one as it is made, two turned and
    // placed by a transform (the R2018 one in the modeler's later binary version).
    const std::string cubes =
        "import sys, ezdxf\n"
        "from ezdxf.render import forms\n"
        "from ezdxf.acis import api, entities\n"
        "from ezdxf.math import Matrix44\n"
        "for release, version, placed, name in (('R2018', 21800, False, 'cube'), ('R2013', 21800, True, "
        "'placed2013'),\n"
        "                                       ('R2018', 22300, True, 'placed2018')):\n"
        "    doc = ezdxf.new(release)\n"
        "    body = api.body_from_mesh(forms.cube())\n"
        "    if placed:\n"
        "        body.transform = entities.Transform()\n"
        "        body.transform.matrix = Matrix44.z_rotate(0.5) @ Matrix44.translate(5, 6, 7)\n"
        "    doc.modelspace().add_3dsolid().sab = api.export_sab([body], version)\n"
        "    doc.saveas(sys.argv[1] + '/' + name + '.dxf')\n";
    ASSERT_TRUE(python(cubes, {dir.string()}));
    // The text form R2010 readers take, read by ezdxf's own modeler reader as the body the original
    // holds (it does not read the original binary form of the drawings other programs write).
    const struct {
        fs::path drawing;
        const char* solids;
    } cases[] = {
        {uncommon,
         "622: 114 records alike as 20800, the original unread\n"
         "62C: 114 records alike as 20800, the original unread\n"},
        {dir / "cube.dxf", "2F: 87 records alike as 20800, the same body\n"},
        {dir / "placed2013.dxf", "2F: 88 records alike as 20800, the same body\n"},
        {dir / "placed2018.dxf", "2F: 88 records alike as 20800, the same body\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drawing.filename().string());
        Outcome r = save(c.drawing);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(compared(c.drawing), c.solids);
        // Saved again, the copy is the same file.
        const std::string first = cadhost_run::slurp(dir / "saved.dxf");
        fs::rename(dir / "saved.dxf", dir / "first.dxf");
        ASSERT_EQ(save(dir / "first.dxf").status, 0);
        EXPECT_EQ(cadhost_run::slurp(dir / "saved.dxf"), first);
    }
}

// "plane" and "torus" as the binary form holds the names of records.
const char* const kPlane = "706C616E65";
const char* const kTorus = "746F727573";

TEST_F(Solids, ASolidWhoseGeometryTheR2010TextCannotHoldIsNamedAtOpenAndSavedInItsRelease) {
    // The planes of one solid become tori, whose yes/no words the text form is not known to take; or
    // its data's signature is one unknown here.
    const std::string edit =
        "import sys\n"
        "t = open(sys.argv[1], newline='').read()\n"
        "i = t.index('\\n320\\n' + sys.argv[3] + '\\n')\n"
        "j = t.index('ENDSEC', i)\n"
        "t = t[:i] + t[i:j].replace(sys.argv[4], sys.argv[5]) + t[j:]\n"
        "open(sys.argv[2], 'w', newline='').write(t)\n";
    const std::string cube =
        "import sys, ezdxf\n"
        "from ezdxf.render import forms\n"
        "from ezdxf.acis import api\n"
        "doc = ezdxf.new('R2013')\n"
        "api.export_dxf(doc.modelspace().add_3dsolid(), [api.body_from_mesh(forms.cube())])\n"
        "doc.saveas(sys.argv[1])\n";
    ASSERT_TRUE(python(cube, {(dir / "cube.dxf").string()}));
    const struct {
        fs::path drawing;
        const char* solid;
        const char* from; // hexadecimal, in the solid's data
        const char* to;
        const char* told;
        const char* kept;
    } cases[] = {
        {uncommon, "62C", kPlane, kTorus,
         "the geometry of 3DSOLID 62C holds what an R2010 drawing cannot: the drawing is saved as AC1032, the release "
         "it was read in, with the geometry of its solids as read",
         "R2018\n622: as read\n62C: as read\n"},
        {dir / "cube.dxf", "2F", kPlane, kTorus,
         "the geometry of 3DSOLID 2F holds what an R2010 drawing cannot: the drawing is saved as AC1027, the release "
         "it was read in, with the geometry of its solids as read",
         "R2013\n2F: as read\n"},
        {uncommon, "62C", "41534D2042696E61727946696C6534", "41534D2042696E61727946696C6539",
         "3DSOLID 62C: its geometry in the ACDSDATA section is damaged or of a form unknown here",
         "R2018\n622: as read\n62C: as read\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drawing.filename().string());
        ASSERT_TRUE(python(edit, {c.drawing.string(), (dir / "tori.dxf").string(), c.solid, c.from, c.to}));
        // Told at the opening, before any save.
        Outcome r = save(dir / "tori.dxf");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("tori.dxf: " + std::string(c.told)), std::string::npos) << r.err;
        EXPECT_EQ(script("solid_values.py", {"--kept", (dir / "tori.dxf").string(), (dir / "saved.dxf").string()}),
                  c.kept);
        // Saved again, over itself, the copy is the same file.
        const std::string first = cadhost_run::slurp(dir / "saved.dxf");
        ASSERT_EQ(run(dir / "saved.dxf", "SAVE\n").status, 0);
        EXPECT_EQ(cadhost_run::slurp(dir / "saved.dxf"), first);
    }
}

TEST_F(Solids, ASolidWhoseDataDoesNotReadWholeIsNamedAtOpenAndSavedWithItsDataAsRead) {
    // The solid's record in the ACDSDATA section: its size changed by a number, its last line of data
    // gone, or a character of its data replaced.
    const std::string edit =
        "import re, sys\n"
        "t = open(sys.argv[1], newline='').read()\n"
        "i = t.index('\\n320\\n2F\\n')\n"
        "j = t.index('\\n  0\\n', i)\n"
        "r, how = t[i:j], sys.argv[3]\n"
        "if how == 'size':\n"
        "    r = re.sub(r'\\n 94\\n(\\d+)\\n',\n"
        "               lambda m: '\\n 94\\n%d%s\\n' % (int(m.group(1)) + int(sys.argv[4]), ''.join(sys.argv[5:])), "
        "r)\n"
        "elif how == 'cut':\n"
        "    r = r[:r.rindex('\\n310\\n')]\n"
        "else:\n"
        "    k = r.index('\\n310\\n') + 5 + int(sys.argv[4])\n"
        "    r = r[:k] + sys.argv[5] + r[k + 1:]\n"
        "open(sys.argv[2], 'w', newline='').write(t[:i] + r + t[j:])\n";
    const std::string cube =
        "import sys, ezdxf\n"
        "from ezdxf.render import forms\n"
        "from ezdxf.acis import api\n"
        "doc = ezdxf.new('R2013')\n"
        "api.export_dxf(doc.modelspace().add_3dsolid(), [api.body_from_mesh(forms.cube())])\n"
        "doc.saveas(sys.argv[1])\n";
    ASSERT_TRUE(python(cube, {(dir / "cube.dxf").string()}));
    // The cube's data is 5490 bytes, in lines of 127 and last one of 29.
    const struct {
        std::initializer_list<std::string> how;
        const char* why;
    } cases[] = {
        {{"size", "1"}, "its data is 5490 bytes where its record says 5491"},
        {{"size", "-1"}, "its data is 5490 bytes where its record says 5489"},
        {{"size", "-5490"}, "its data is 5490 bytes where its record says 0"},
        {{"size", "0", "x"}, "its data is 5490 bytes where its record says no size"},
        {{"cut"}, "its data is 5461 bytes where its record says 5490"},
        {{"char", "100", "G"}, "its data is not pairs of hexadecimal digits"},
        {{"char", "7", " "}, "its data is not pairs of hexadecimal digits"},
        {{"char", "0", "-"}, "its data is not pairs of hexadecimal digits"},
    };
    for (const auto& c : cases) {
        std::string how;
        for (const std::string& word : c.how) how += word + " ";
        SCOPED_TRACE(how);
        std::vector<std::string> arguments = {(dir / "cube.dxf").string(), (dir / "damaged.dxf").string()};
        arguments.insert(arguments.end(), c.how.begin(), c.how.end());
        std::ofstream(dir / "edit.py") << edit;
        std::string command = "/usr/bin/python3 '" + (dir / "edit.py").string() + "'";
        for (const std::string& a : arguments) command += " '" + a + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        Outcome r = save(dir / "damaged.dxf");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.err.find("damaged.dxf: 3DSOLID 2F: its geometry in the ACDSDATA section cannot be read (" +
                             std::string(c.why) + ")"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(
            script("solid_values.py", {"--record", (dir / "damaged.dxf").string(), (dir / "saved.dxf").string(), "2F"}),
            "AC1027\n2F: as read\n");
    }
}

} // namespace
