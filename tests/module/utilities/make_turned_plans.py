"""Drawings whose entities lie in turned-over object coordinate systems (extrusion (0, 0, -1)), as ezdxf
writes a mirrored entity and converters write arcs and circles, and their twins drawn in world terms.

    make_turned_plans.py FOLDER       writes turned_room.dxf, turned.dxf, twin.dxf and turned.txt
                                      (name=handle per line)
    make_turned_plans.py world FILE   prints each model-space entity where ezdxf places it in the world

turned_room.dxf (millimetres): room "Turned" (block ROOM-T, 5 m x 4 m) inserted with extrusion (0, 0, -1)
at (-20000, 0) of its own coordinates, so it covers world x 15000..20000, y 0..4000, its labels turned a
quarter about (17500, 2000); a desk stands inside it at (17000, 2000) and one where the room would lie were
its extrusion ignored, at (-22000, 2000).
turned.dxf: in a frame from (0, 9000) to (34000, 15000), one of each 2D entity turned over: circle, arc,
text, paragraph text, lightweight and old-style polylines with arcs, solid, a filled and a lined hatch,
and an insert of a block with a constant label, an attribute, a polyline and a hatch. twin.dxf holds the
same frame and entities where they lie, in the world plane (texts read the same mirrored: "HIH", centred).
"""
import os
import sys

import ezdxf
from ezdxf import bbox
from ezdxf.math import Matrix44, Vec3

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_utility_plans import new_doc, record, rectangle  # noqa: E402

MIRROR = Matrix44.scale(-1, 1, 1)
COLOURS = [(200, 30, 30), (30, 160, 30), (30, 30, 200), (180, 120, 0), (150, 0, 150), (0, 140, 140),
           (90, 90, 90), (220, 90, 0), (0, 90, 220)]
SIGN = [(0, 0), (1000, 0), (1000, 300), (300, 300), (300, 1000), (0, 1000)]


def mirrored(points):
    return [(-p[0], p[1]) + tuple(-b for b in p[2:]) for p in points]


def label_block(doc):
    """Asymmetric, so that a turned insert shows which way it faces; its texts read the same mirrored."""
    block = doc.blocks.new(name="SIGN")
    block.add_lwpolyline(SIGN, close=True)
    block.add_hatch(color=3).paths.add_polyline_path(rectangle(50, 50, 200, 200), is_closed=True)
    block.add_attdef("MARK", (500, 600), text="HIH", dxfattribs={"height": 150, "flags": 2, "halign": 4,
                                                                 "align_point": (500, 600)})
    block.add_attdef("TAG", (500, 800), dxfattribs={"height": 150, "halign": 4, "align_point": (500, 800)})


def frame_entities(msp, x, turned):
    """The entities of the frame; turned ones are made at their mirror image and mirrored by ezdxf."""
    made = []
    sign = -1 if turned else 1

    def at(px, py):
        return (sign * px, py)

    def keep(entity):
        made.append(entity)
        return entity

    keep(msp.add_circle(at(x + 1000, 12000), 700))
    if turned:
        keep(msp.add_arc(at(x + 4000, 12000), 700, 0, 120))
    else:
        keep(msp.add_arc((x + 4000, 12000), 700, 60, 180))
    keep(msp.add_text("HIH", dxfattribs={"height": 400, "halign": 4, "insert": at(x + 7000, 12000),
                                          "align_point": at(x + 7000, 12000)}))
    keep(msp.add_mtext("HIH", dxfattribs={"char_height": 400, "attachment_point": 5,
                                           "insert": at(x + 10000, 12000)}))
    bowed = [(x + 12500, 11000, 0), (x + 14000, 11000, 0.5), (x + 14000, 13000, 0), (x + 12500, 12000, 0)]
    keep(msp.add_lwpolyline(bowed if not turned else mirrored(bowed), format="xyb", close=True))
    old = [(x + 15500, 11000, 0), (x + 17000, 11000, -0.4), (x + 17000, 13000, 0), (x + 16000, 13000, 0)]
    keep(msp.add_polyline2d([p[:2] for p in (old if not turned else mirrored(old))], close=True))
    for i, p in enumerate(old if not turned else mirrored(old)):
        made[-1].vertices[i].dxf.bulge = p[2]
    keep(msp.add_solid([at(x + 18500, 11000), at(x + 20000, 11000), at(x + 18500, 13000), at(x + 19500, 12500)]))
    hatch = keep(msp.add_hatch())
    corners = [(x + 21500, 11000, 0), (x + 23000, 11000, 0.3), (x + 23000, 13000, 0), (x + 22000, 12500, 0)]
    hatch.paths.add_polyline_path(corners if not turned else mirrored(corners), is_closed=True)
    # Pattern lines at 45 degrees in the turned plane run at 135 degrees in the world.
    lined = keep(msp.add_hatch())
    lined.set_pattern_fill("ANSI31", scale=40, angle=0 if turned else 90)
    lined.paths.add_polyline_path(rectangle(sign * (x + 25500), 11000, sign * 1500, 2000), is_closed=True)
    for i, entity in enumerate(made):
        entity.rgb = COLOURS[i]
        if turned:
            entity.transform(MIRROR)
    if turned:
        board = msp.add_blockref("SIGN", (-(x + 24500), 11000), dxfattribs={"extrusion": (0, 0, -1)})
        # Where the definition puts it, in the insert's plane (the constant label has no attribute).
        board.add_attrib("TAG", "HIH", (-(x + 24000), 11800), dxfattribs={
            "height": 150, "halign": 4, "align_point": (-(x + 24000), 11800), "extrusion": (0, 0, -1)})
        made.append(board)
    else:
        # The sign as the turned insert shows it: block x runs to the left of world x + 24500.
        def shown(bx, by):
            return (x + 24500 - bx, 11000 + by)

        made.append(msp.add_lwpolyline([shown(*p) for p in SIGN], close=True))
        made.append(msp.add_hatch(color=3))
        made[-1].paths.add_polyline_path(rectangle(x + 24250, 11050, 200, 200), is_closed=True)
        for y in (600, 800):
            made.append(msp.add_text("HIH", dxfattribs={"height": 150, "halign": 4, "insert": shown(500, y),
                                                         "align_point": shown(500, y)}))
    return made


def frame(doc):
    doc.modelspace().add_lwpolyline(rectangle(0, 9000, 34000, 6000), close=True)


def turned_room(folder, handles):
    doc = new_doc()
    msp = doc.modelspace()
    room = doc.blocks.new(name="ROOM-T")
    room.add_lwpolyline(rectangle(0, 0, 5000, 4000), close=True)
    # Turned a quarter, 250 high, a little more than a line and a half apart across the text.
    labels = [(tag, text, (2500 - step, 2000)) for tag, text, step in
              (("NAME", "Turned", 400), ("AREA", "20.00sq.m.", 0), ("AUX", "note", -400))]
    for tag, _, position in labels:
        room.add_attdef(tag, position, dxfattribs={"height": 250, "rotation": 90})
    insert = msp.add_blockref("ROOM-T", (-20000, 0), dxfattribs={"extrusion": (0, 0, -1)})
    insert.add_auto_attribs({tag: text for tag, text, _ in labels})
    insert.set_xdata("ADE", [(1002, "{")] + [(1000, s) for s in record("Turned", "20.00sq.m.", "18.00m.")] +
                     [(1002, "}")])
    handles["Turned"] = insert.dxf.handle
    desk = doc.blocks.new(name="DESK")
    desk.add_lwpolyline(rectangle(-400, -300, 800, 600), close=True)
    handles["desk inside"] = msp.add_blockref("DESK", (17000, 2000)).dxf.handle
    msp.add_blockref("DESK", (-22000, 2000))
    doc.saveas(folder + "/turned_room.dxf")


def entities(folder, turned):
    doc = new_doc()
    label_block(doc)
    frame(doc)
    frame_entities(doc.modelspace(), 4000, turned)
    doc.saveas(folder + ("/turned.dxf" if turned else "/twin.dxf"))


def world(path):
    """Each entity of model space as ezdxf places it in the world: its type and box; an insert's
    attributes follow it with their tags, insertion points and the world direction they read in."""

    def point(p):
        return "%.1f,%.1f" % (round(p[0], 1) + 0.0, round(p[1], 1) + 0.0)

    for entity in ezdxf.readfile(path).modelspace():
        found = bbox.extents([entity])
        print("%s|%s" % (entity.dxftype(), point(found.extmin) + " " + point(found.extmax) if found.has_data else ""))
        if entity.dxftype() == "INSERT":
            for a in entity.attribs:
                ocs = a.ocs()
                reading = ocs.to_wcs(Vec3.from_deg_angle(a.dxf.rotation)) - ocs.to_wcs(Vec3())
                print("ATTRIB|%s|%s r%.1f" % (a.dxf.tag, point(ocs.to_wcs(a.dxf.insert)),
                                              round(reading.angle_deg % 360.0, 1) % 360.0))


if __name__ == "__main__":
    if sys.argv[1] == "world":
        world(sys.argv[2])
    else:
        names = {}
        turned_room(sys.argv[1], names)
        entities(sys.argv[1], turned=True)
        entities(sys.argv[1], turned=False)
        with open(sys.argv[1] + "/turned.txt", "w") as out:
            for name, handle in names.items():
                out.write("%s=%s\n" % (name, handle))
