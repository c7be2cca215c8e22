// The coloured demo plan as programs show it that ignore the draw-order table and do not compute tables.
#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

TEST_F(SpaceCommands, TheColouredDemoPlanShowsHatchesUnderTheRoomsAndTheLegendFilledInOtherPrograms) {
    fs::create_directories(dir / "out");
    const fs::path samples = fs::path(KELMO_SOURCE_DIR) / "samples";
    fs::copy_file(samples / "floorplan_report.xml", dir / "floorplan_report.xml");
    Outcome r = runFile(samples / "floorplan.dxf", samples / "demo.scr");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    // Every block is stored in its draw order, the report's room hatches (layers "R-...") before the walls,
    // desks and labels; the legend table's block holds its frames, texts and colour swatches.
    const std::string check =
        "import sys, ezdxf\n"
        "from collections import Counter\n"
        "doc = ezdxf.readfile(sys.argv[1])\n"
        "for b in doc.blocks:\n"
        "    read = [e.dxf.handle for e in b]\n"
        "    if read != [e.dxf.handle for e in b.entities_in_redraw_order()]: print(b.name, 'out of order')\n"
        "msp = list(doc.modelspace())\n"
        "rooms = [i for i, e in enumerate(msp) if e.dxftype() == 'HATCH' and e.dxf.layer.startswith('R-')]\n"
        "others = [i for i, e in enumerate(msp) if e.dxftype() != 'HATCH']\n"
        "print(len(rooms), 'room hatches', 'under' if max(rooms) < min(others) else 'over', 'the rest')\n"
        "tables = [e for e in doc.entitydb.values() if e.dxftype() == 'ACAD_TABLE']\n"
        "print(len(tables), 'tables')\n"
        "for t in tables:\n"
        "    block = doc.blocks.get(t.xtags.get_subclass('AcDbBlockReference').get_first_value(2, ''))\n"
        "    kinds = Counter(e.dxftype() for e in block) if block is not None else Counter()\n"
        "    print('lines' if kinds['LINE'] >= 4 else 'no lines', 'texts' if kinds['TEXT'] else 'no texts',\n"
        "          'swatches' if kinds['INSERT'] else 'no swatches')\n";
    std::ofstream(dir / "check.py") << check;
    EXPECT_EQ(capture("/usr/bin/python3 -W ignore '" + (dir / "check.py").string() + "' '" +
                      (dir / "out" / "floorplan_report.dxf").string() + "' 2>&1"),
              "4 room hatches under the rest\n1 tables\nlines texts swatches\n");
}

} // namespace
} // namespace spacecommands
