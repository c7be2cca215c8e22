"""Drawings for the tests of boundaries measured beside curved walls and of old-style (2D) polyline
boundaries, written with ezdxf; read them back with make_utility_plans.py dump.

    make_measured_plans.py FOLDER     writes curved.dxf, curved_m.dxf, r12.dxf and measured.txt (name=handle
                                      per line)

curved.dxf (millimetres): free closed polylines bounded by a quarter circle of 10 m radius: "near 10",
"near 5" and "near 1" have a corner 10, 5 or 1 mm inside the curved wall; "through 5" and "through 1"
lie outside the circle and a slot of each reaches 5 or 1 mm through the wall. All come to the wall
half-way between the points sixteen chords of the wall would have. Room "Curved" is "near 1" stored as
25 m2 and 20 m. curved_m.dxf is the same drawn in metres (its insertion units metres), its names begun
with "m ".
r12.dxf, an R12 drawing, so every boundary is an old-style 2D polyline: "Office" (5 m x 4 m, its top
bowed out by an arc, stored as 25 m2 and 20 m), "Store" (3 m x 3 m less a column listed to subtract),
"Loop" (a bow tie of two 10 m2 lobes stored as 20 m2), "Annex" (4 m x 2.5 m inserted twice as wide)
and "Atrium" (its block holds a circle and no polyline). A desk stands in the Office and one in the part
of the Annex that its width adds ("desk1", "desk2"). "twisted" is a closed 3D polyline, one corner raised.
"""
import math
import os
import sys

import ezdxf

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_utility_plans import new_doc, record, rectangle, stacked  # noqa: E402

RADIUS = 10000
# Half-way between the eighth and ninth of sixteen chords of a quarter circle.
TOUCH = math.radians(42.1875)
QUARTER = math.tan(math.radians(22.5))


def polar(radius, angle, x=0):
    return (x + radius * math.cos(angle), radius * math.sin(angle))


def near(depth, x=0, scale=1):
    """A quarter of a disc whose boundary turns back from the top to a corner depth mm inside the wall."""
    return [(scale * p[0], scale * p[1], p[2]) for p in
            [(x, 0, 0), (x + RADIUS, 0, QUARTER), (x, RADIUS, 0), polar(RADIUS - depth, TOUCH, x) + (0,)]]


def through(depth, x=0, scale=1):
    """Outside the quarter circle, within a 16 m square, with a slot reaching depth mm through the wall."""
    slot = math.radians(0.3)
    return [(scale * p[0], scale * p[1], p[2]) for p in
            [(x + RADIUS, 0, 0), (x + 16000, 0, 0), (x + 16000, 14300, 0), polar(10100, TOUCH - slot, x) + (0,),
             polar(RADIUS - depth, TOUCH, x) + (0,), polar(10100, TOUCH + slot, x) + (0,), (x + 16000, 14700, 0),
             (x + 16000, 16000, 0), (x, 16000, 0), (x, RADIUS, -QUARTER)]]


def curved(folder, handles, file="curved.dxf", scale=1, prefix=""):
    """scale: drawing units in a millimetre; prefix: what the names of the drawing's entities begin with."""
    doc = new_doc()
    if scale != 1:
        doc.header["$INSUNITS"] = 6
    msp = doc.modelspace()
    for number, depth in enumerate((10, 5, 1)):
        handles[prefix + "near %d" % depth] = msp.add_lwpolyline(near(depth, 30000 * (number + 1), scale),
                                                                 format="xyb", close=True).dxf.handle
    for number, depth in enumerate((5, 1)):
        handles[prefix + "through %d" % depth] = msp.add_lwpolyline(through(depth, 120000 + 30000 * number, scale),
                                                                    format="xyb", close=True).dxf.handle
    block = doc.blocks.new(name="ROOM-1")
    block.add_lwpolyline(near(1, 0, scale), format="xyb", close=True)
    labels = [(tag, (text, (scale * position[0], scale * position[1]), rotation, scale * height, layer))
              for tag, (text, position, rotation, height, layer) in stacked("Curved")]
    for tag, (_, position, rotation, height, layer) in labels:
        block.add_attdef(tag, position, dxfattribs={"height": height, "rotation": rotation, "layer": layer})
    insert = msp.add_blockref("ROOM-1", (0, -30000 * scale))
    for tag, (text, position, rotation, height, layer) in labels:
        text = "25.00sq.m." if tag == "AREA" else text
        insert.add_attrib(tag, text, (position[0], position[1] - 30000 * scale),
                          dxfattribs={"height": height, "rotation": rotation, "layer": layer})
    insert.set_xdata("ADE", [(1002, "{")] + [(1000, s) for s in record("Curved", "25.00sq.m.", "20.00m.")] +
                     [(1002, "}")])
    handles[prefix + "Curved"] = insert.dxf.handle
    doc.saveas(os.path.join(folder, file))


def r12_space(doc, name, label, at, outline, data, scale=(1, 1)):
    block = doc.blocks.new(name=name)
    if outline:
        block.add_polyline2d(outline, format="xyb", close=True)
    else:
        block.add_circle((2000, 2000), 1500)
    values = {"NAME": label, "AREA": data[0][5:], "AUX": data[1][10:]}
    for tag, offset in (("NAME", 400), ("AREA", 0), ("AUX", -400)):
        block.add_attdef(tag, (1000, 1000 + offset), dxfattribs={"height": 250})
    insert = doc.modelspace().add_blockref(name, at, dxfattribs={"xscale": scale[0], "yscale": scale[1]})
    for tag, offset in (("NAME", 400), ("AREA", 0), ("AUX", -400)):
        insert.add_attrib(tag, values[tag], (at[0] + 1000, at[1] + 1000 + offset), dxfattribs={"height": 250})
    insert.set_xdata("ADE", [(1002, "{")] + [(1000, s) for s in data] + [(1002, "}")])
    return insert


def r12(folder, handles):
    doc = ezdxf.new("R12")
    doc.header["$LUNITS"] = 2
    doc.appids.new("ADE")
    msp = doc.modelspace()
    column = msp.add_polyline2d([(11000, 1000), (11500, 1000), (11500, 1500), (11000, 1500)], close=True)
    handles["column"] = column.dxf.handle
    office = [(0, 0, 0), (5000, 0, 0), (5000, 4000, 0.5), (0, 4000, 0)]
    store = [(p[0] + 10000, p[1], 0) for p in rectangle(0, 0, 3000, 3000)]
    loop = [(0, 0, 0), (8000, 5000, 0), (8000, 0, 0), (0, 5000, 0)]
    annex = [(p[0], p[1], 0) for p in rectangle(0, 0, 4000, 2500)]
    for name, label, at, outline, data, scale in (
            ("ROOM-1", "Office", (0, 0), office, record("Office", "25.00sq.m.", "20.00m."), (1, 1)),
            ("ROOM-2", "Store", (0, 0), store, record("Store", "9.00sq.m.", "12.00m.")[:-2] +
             ["HANDLESTOMINUS=%s," % column.dxf.handle, "HANDLESTOADD="], (1, 1)),
            ("ROOM-3", "Loop", (0, 10000), loop, record("Loop", "20.00sq.m.", "28.87m."), (1, 1)),
            ("ROOM-4", "Annex", (20000, 0), annex, record("Annex", "20.00sq.m.", "13.00m."), (2, 1)),
            ("ROOM-5", "Atrium", (20000, 10000), None, record("Atrium", "30.00sq.m.", "22.00m."), (1, 1))):
        handles[label] = r12_space(doc, name, label, at, outline, data, scale).dxf.handle
    desk = doc.blocks.new(name="DESK")
    desk.add_polyline2d([(-400, -300), (400, -300), (400, 300), (-400, 300)], close=True)
    for label, at in (("desk1", (2500, 2000)), ("desk2", (26000, 1200))):
        handles[label] = msp.add_blockref("DESK", at).dxf.handle
    twisted = msp.add_polyline3d([(30000, 0, 0), (33000, 0, 0), (33000, 3000, 500), (30000, 3000, 0)], close=True)
    handles["twisted"] = twisted.dxf.handle
    doc.saveas(os.path.join(folder, "r12.dxf"))


if __name__ == "__main__":
    found = {}
    curved(sys.argv[1], found)
    curved(sys.argv[1], found, "curved_m.dxf", 0.001, "m ")
    r12(sys.argv[1], found)
    with open(os.path.join(sys.argv[1], "measured.txt"), "w") as out:
        for key, handle in found.items():
            out.write("%s=%s\n" % (key, handle))
