"""A floor plan whose spaces store a room height and a volume, for the tests of changing units, written
with ezdxf on the helpers of tests/data/commands/make_plans.py.

    make_height_plans.py FOLDER   writes plan_heights.dxf

plan_heights.dxf (millimetres): three 10 m x 9.2 m rooms, each stored as 92.00 sq.m., 38.40 m, a room
height of 2.70 m and a volume of 248.40 cu.m. ROOM-701's AUX label shows the stored room height,
ROOM-702's the stored volume; ROOM-703's AUX label shows the height at another rounding and its AREA
label a typed note.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "commands"))

from make_plans import define_room, new_doc, place, record  # noqa: E402


def stored(name):
    strings = record("92.00sq.m.", "38.40m.", name)
    strings[strings.index("VOLUME=135.00cu.m.")] = "VOLUME=248.40cu.m."
    return strings


def plan_heights(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    rooms = (("ROOM-701", "Lab", "92.00sq.m.", "2.70m."),
             ("ROOM-702", "Hall", "92.00sq.m.", "248.40cu.m."),
             ("ROOM-703", "Store", "high room", "2.7m."))
    for i, (block, name, area, aux) in enumerate(rooms):
        define_room(doc, block, [(0, 0, 0), (10000, 0, 0), (10000, 9200, 0), (0, 9200, 0)])
        place(msp, block, (i * 11000, 0), {"NAME": name, "AREA": area, "AUX": aux}, stored(name))
    doc.saveas(path)


if __name__ == "__main__":
    plan_heights(sys.argv[1] + "/plan_heights.dxf")
