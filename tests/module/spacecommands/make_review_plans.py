"""Floor plans for the space-command tests of names, gross areas, units and locked layers, written with
ezdxf on the helpers of tests/data/commands/make_plans.py.

    make_review_plans.py FOLDER   writes plan_names.dxf, plan_units.dxf and plan_cells.dxf

plan_names.dxf (millimetres): ROOM-501 labelled "typo label" over the stored name "Open Office";
ROOM-502 a gross area known only by its stored name "GROSS AREA", labelled "Floor 1"; Room-503 a
lower-case definition in feet; ROOM-504 and ROOM-505 names that begin like spreadsheet formulas;
ROOM-506 a room on a locked layer; ROOM-507 and ROOM-508 more names that begin like formulas.
plan_units.dxf (millimetres): ROOM-601 kept in square feet without decimals; ROOM-602 a 10 m square
without stored data; ROOM-603 an area stored without a unit.
plan_cells.dxf (millimetres): ROOM-701 a name that begins like a formula after a tab; ROOM-702 a name
code page 1252 holds; ROOM-703 and ROOM-704 names it cannot hold whole.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "commands"))

from make_plans import define_room, new_doc, place, record  # noqa: E402


def square(side):
    return [(0, 0, 0), (side, 0, 0), (side, side, 0), (0, side, 0)]


def plan_names(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    for name, side in (("ROOM-501", 8000), ("ROOM-502", 20000), ("Room-503", 3048), ("ROOM-504", 2000),
                       ("ROOM-505", 3000), ("ROOM-506", 4000), ("ROOM-507", 1000), ("ROOM-508", 1000)):
        define_room(doc, name, square(side))
    doc.layers.add("WALLS").lock()
    place(msp, "ROOM-501", (0, 0), {"NAME": "typo label", "AREA": "64.00sq.m.", "AUX": "32.00m."},
          record("64.00sq.m.", "32.00m.", "Open Office"))
    place(msp, "ROOM-502", (0, 0), {"NAME": "Floor 1", "AREA": "400.00sq.m.", "AUX": ""},
          record("400.00sq.m.", "80.00m.", "GROSS AREA"))
    place(msp, "Room-503", (9000, 0), {"NAME": "Annex", "AREA": "100.00sq.ft.", "AUX": "40.00ft."},
          record("100.00sq.ft.", "40.00ft.", "Annex"))
    place(msp, "ROOM-504", (13000, 0), {"NAME": "=1+2", "AREA": "4.00sq.m.", "AUX": "8.00m."},
          record("4.00sq.m.", "8.00m.", "=1+2"))
    place(msp, "ROOM-505", (16000, 0), {"NAME": "@risk, north", "AREA": "9.00sq.m.", "AUX": "12.00m."},
          record("9.00sq.m.", "12.00m.", "@risk, north"))
    locked = place(msp, "ROOM-506", (0, 9000), {"NAME": "Plant", "AREA": "16.00sq.m.", "AUX": "16.00m."},
                   record("16.00sq.m.", "16.00m.", "Plant"))
    locked.dxf.layer = "WALLS"
    for name, label, x in (("ROOM-507", "-1 store", 20000), ("ROOM-508", "+44 line", 22000)):
        place(msp, name, (x, 0), {"NAME": label, "AREA": "1.00sq.m.", "AUX": "4.00m."},
              record("1.00sq.m.", "4.00m.", label))
    doc.saveas(path)


def plan_units(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    define_room(doc, "ROOM-601", square(10000))
    define_room(doc, "ROOM-602", square(10000))
    define_room(doc, "ROOM-603", square(5000))
    place(msp, "ROOM-601", (0, 0), {"NAME": "Hall", "AREA": "1234sq.ft.", "AUX": "150ft."},
          record("1234sq.ft.", "150ft.", "Hall"))
    place(msp, "ROOM-602", (11000, 0), {"NAME": "Bare", "AREA": "new", "AUX": ""}, None)
    strings = record("12.5", "14", "Loose")
    place(msp, "ROOM-603", (22000, 0), {"NAME": "Loose", "AREA": "12.5", "AUX": "14"}, strings)
    doc.saveas(path)


def plan_cells(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    for i, name in enumerate(("\t=2+2", "Caf\u00e9", "\u0141\u00f3d\u017a", "Room \u2603")):
        define_room(doc, "ROOM-70%d" % (i + 1), square(1000))
        place(msp, "ROOM-70%d" % (i + 1), (i * 2000, 0), {"NAME": name, "AREA": "1.00sq.m.", "AUX": "4.00m."},
              record("1.00sq.m.", "4.00m.", name))
    doc.saveas(path)


if __name__ == "__main__":
    plan_names(sys.argv[1] + "/plan_names.dxf")
    plan_units(sys.argv[1] + "/plan_units.dxf")
    plan_cells(sys.argv[1] + "/plan_cells.dxf")
