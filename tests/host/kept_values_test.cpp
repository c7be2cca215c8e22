// Values of entities through cadhost's save: what no command touched is written as it was read, in the
// plane of the entity (points, elevations, angles, the plane itself) and in an attribute's fields, and
// a drawing saved again is the same file.
#include <filesystem>
#include <string>

#include "SavedDrawing.h"

namespace fs = std::filesystem;

namespace {

class KeptValues : public SavedDrawing {};

// Circles, arcs, texts, lightweight polylines and a block's attribute definition and insert with its
// attribute, at elevation 5 in the plane whose normal the arguments give, their angles not whole; the
// attributes locked in their block.
const char* const kTurned =
    "import sys, ezdxf\n"
    "doc = ezdxf.new('R2010')\n"
    "n = tuple(float(v) for v in sys.argv[2:5])\n"
    "msp = doc.modelspace()\n"
    "block = doc.blocks.new('B')\n"
    "block.add_circle((0, 0), 1)\n"
    "block.add_attdef('TAG', (0, 0), dxfattribs={'height': 0.5, 'lock_position': 1})\n"
    "msp.add_circle((1.1, 2.2, 5.0), 3.3, dxfattribs={'extrusion': n})\n"
    "msp.add_arc((1.1, 2.2, 5.0), 3.3, 10.1, 170.7, dxfattribs={'extrusion': n})\n"
    "msp.add_text('abc', dxfattribs={'insert': (1.7, 2.9, 5.0), 'height': 0.7, 'rotation': 33.3, 'extrusion': "
    "n})\n"
    "msp.add_text('def', dxfattribs={'insert': (0.3, 0.9, 5.0), 'align_point': (4.1, 0.9, 5.0), 'halign': 2,\n"
    "                                'height': 0.7, 'rotation': 71.9, 'extrusion': n})\n"
    "msp.add_lwpolyline([(0.1, 0.2), (3.3, 4.4), (5.5, 1.1)], dxfattribs={'elevation': 5.0, 'extrusion': n})\n"
    "insert = msp.add_blockref('B', (2.3, 4.1, 5.0), dxfattribs={'extrusion': n, 'rotation': 12.7})\n"
    "insert.add_attrib('TAG', 'v', (2.3, 4.1, 5.0),\n"
    "                  dxfattribs={'extrusion': n, 'height': 0.5, 'rotation': 12.7, 'lock_position': 1})\n"
    "doc.saveas(sys.argv[1])\n";

TEST_F(KeptValues, EntitiesNoCommandTouchedKeepTheirValuesAndADrawingSavedAgainIsTheSameFile) {
    const struct {
        const char* name;
        const char* normal; // of a drawing made here, none for a test drawing
        const char* alike;
    } cases[] = {
        {"oblique.dxf", "0.3 0.4 0.866", "11 alike\n"},
        {"tilted.dxf", "0 -0.6 0.8", "11 alike\n"},
        {"plan.dxf", "0 0 1", "11 alike\n"},
        {"text.dxf", nullptr, "237 alike\n"},
        {"uncommon.dxf", nullptr, "352 alike\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path drawing = fs::path(KELMO_DXF_DATA_DIR) / c.name;
        if (c.normal) {
            drawing = dir / c.name;
            std::string n = c.normal;
            const std::size_t a = n.find(' '), b = n.rfind(' ');
            ASSERT_TRUE(
                python(kTurned, {drawing.string(), n.substr(0, a), n.substr(a + 1, b - a - 1), n.substr(b + 1)}));
        }
        // Saved three times: the first copy holds the values read, the others are that copy.
        ASSERT_EQ(save(drawing, "first.dxf").status, 0);
        EXPECT_EQ(script("entity_values.py", {drawing.string(), (dir / "first.dxf").string()}), c.alike);
        ASSERT_EQ(save(dir / "first.dxf", "second.dxf").status, 0);
        ASSERT_EQ(save(dir / "second.dxf", "third.dxf").status, 0);
        const std::string first = cadhost_run::slurp(dir / "first.dxf");
        EXPECT_TRUE(first == cadhost_run::slurp(dir / "second.dxf") && first == cadhost_run::slurp(dir / "third.dxf"));
    }
}

} // namespace
