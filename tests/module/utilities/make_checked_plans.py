"""Drawings for the tests of names and boundaries the space commands refuse, written with ezdxf; read
them back with make_utility_plans.py dump.

    make_checked_plans.py FOLDER      writes checked.dxf, checked_torvex.dxf and checked.txt (name=handle
                                      per line)

checked.dxf (millimetres): rooms "Office 1" and "Office 2" (12 m2 each), "Bow tie" (a room whose
boundary crosses itself, two 10 m2 lobes, stored as 20 m2), a room whose stored name takes 305 bytes
with "NAME=", and a desk; free closed polylines: a bow tie, a flat one of no area (all its points on
one line), a rectangle of 20 m2 and a rectangle of 12 m2 with one side bowed out by an arc; a 5 m x 4 m
rectangle tilted out of the plan (normal (0, 0.6, 0.8): 16 m2 in plan) and one seen from below (normal
(0, 0, -1)).
checked_torvex.dxf: Torvex space labels on a rectangle ("Fine"), on a bow tie ("Crossed"), on a
rectangle with a name of 300 characters and on a rectangle tilted out of the plan ("Tilted").
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_utility_plans import new_doc, record, rectangle, space, stacked  # noqa: E402

BOW_TIE = [(0, 0), (8000, 5000), (8000, 0), (0, 5000)]
LONG_NAME = "Long " + "x" * 295


def checked(folder):
    doc = new_doc()
    msp = doc.modelspace()
    handles = {}
    for number, name, x in ((1, "Office 1", 0), (2, "Office 2", 5000)):
        handles[name] = space(doc, "ROOM-%d" % number, (x, 0), rectangle(0, 0, 4000, 3000), stacked(name),
                              record(name, "12.00sq.m.", "14.00m.")).dxf.handle
    bow = [("NAME", ("Bow tie", (4000, 3000), 0, 250, "0")), ("AREA", ("20.00sq.m.", (4000, 2600), 0, 250, "0")),
           ("AUX", ("note", (4000, 2200), 0, 250, "0"))]
    handles["Bow tie"] = space(doc, "ROOM-3", (0, 10000), BOW_TIE, bow,
                               record("Bow tie", "20.00sq.m.", "28.87m.")).dxf.handle
    handles["long"] = space(doc, "ROOM-4", (10000, 0), rectangle(0, 0, 4000, 3000), stacked(LONG_NAME),
                            record(LONG_NAME, "12.00sq.m.", "14.00m.")).dxf.handle
    desk = doc.blocks.new(name="DESK")
    desk.add_lwpolyline(rectangle(-400, -300, 800, 600), close=True)
    handles["desk"] = msp.add_blockref("DESK", (2000, 1000)).dxf.handle
    handles["bowtie"] = msp.add_lwpolyline([(x + 30000, y) for x, y in BOW_TIE], close=True).dxf.handle
    handles["flat"] = msp.add_lwpolyline([(30000, 10000), (34000, 10000), (32000, 10000)], close=True).dxf.handle
    handles["rectangle"] = msp.add_lwpolyline(rectangle(40000, 0, 5000, 4000), close=True).dxf.handle
    arc = msp.add_lwpolyline([(50000, 0, 0, 0, 0), (54000, 0, 0, 0, 0), (54000, 3000, 0, 0, 0.5),
                              (50000, 3000, 0, 0, 0)], format="xyseb", close=True)
    handles["arc"] = arc.dxf.handle
    handles["tilted"] = msp.add_lwpolyline(rectangle(60000, 0, 5000, 4000), close=True,
                                           dxfattribs={"extrusion": (0, 0.6, 0.8)}).dxf.handle
    handles["below"] = msp.add_lwpolyline(rectangle(-75000, 0, 5000, 4000), close=True,
                                          dxfattribs={"extrusion": (0, 0, -1)}).dxf.handle
    doc.saveas(os.path.join(folder, "checked.dxf"))

    doc = new_doc()
    label = doc.blocks.new(name="TORVEX_SPACE_LABEL")
    label.add_circle((0, 0), 50)
    msp = doc.modelspace()
    for name, outline, at, normal in (("Fine", rectangle(0, 0, 4000, 3000), (1000, 1000), (0, 0, 1)),
                                      ("Crossed", [(x + 10000, y) for x, y in BOW_TIE], (11000, 1000), (0, 0, 1)),
                                      (LONG_NAME, rectangle(20000, 0, 4000, 3000), (21000, 1000), (0, 0, 1)),
                                      ("Tilted", rectangle(-30000, 0, 4000, 3000), (31000, 1000), (0, 0.6, 0.8))):
        boundary = msp.add_lwpolyline(outline, close=True, dxfattribs={"extrusion": normal})
        insert = msp.add_blockref("TORVEX_SPACE_LABEL", at)
        insert.add_attrib("ROOM", name, at, dxfattribs={"height": 250})
        insert.add_attrib("PLINE2_ID", boundary.dxf.handle, (at[0], at[1] - 300), dxfattribs={"height": 100})
        handles["label " + name[:4]] = insert.dxf.handle
        handles["boundary " + name[:4]] = boundary.dxf.handle
    doc.saveas(os.path.join(folder, "checked_torvex.dxf"))
    with open(os.path.join(folder, "checked.txt"), "w") as out:
        for name, handle in handles.items():
            out.write("%s=%s\n" % (name, handle))


if __name__ == "__main__":
    checked(sys.argv[1])
