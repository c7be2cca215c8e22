"""Floors to make spaces on, for the block-creation and hyperlink tests, written with ezdxf.

    make_floors.py FOLDER      writes floor_world.dxf, floor_ucs.dxf and floor_links.dxf
    make_floors.py dump FILE   prints every insert, then every "ROOM-" definition's boundary

floor_world.dxf (millimetres, world UCS): closed rooms A 4 x 3 m at 0,0 (handle of the first
polyline printed by dump), B 5 x 4 m at 5000,0, C 3 x 3 m at 11000,0 and D 2 x 2 m at 15000,0;
an open polyline; a closed room on the locked layer "LOCKED".
floor_ucs.dxf: the same rooms under a UCS turned 30 degrees and moved to 20000,0.
floor_links.dxf: three references of the space block ROOM-1 ("Lab 1", "Lab 2", "Lab 3") and two
of a plain block DOOR with a "NAME" attribute; the first space already has a link.
"""
import math
import sys

import ezdxf

ROOMS = {"A": (0, 0, 4000, 3000), "B": (5000, 0, 10000, 4000), "C": (11000, 0, 14000, 3000),
         "D": (15000, 0, 17000, 2000)}


def rectangle(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def floor(path, ucs):
    doc = ezdxf.new("R2010")
    doc.header["$LUNITS"] = 2
    doc.header["$INSUNITS"] = 4
    if ucs:
        turn = math.radians(30)
        doc.header["$UCSORG"] = (20000, 0, 0)
        doc.header["$UCSXDIR"] = (math.cos(turn), math.sin(turn), 0)
        doc.header["$UCSYDIR"] = (-math.sin(turn), math.cos(turn), 0)
    doc.layers.add("WALLS")
    doc.layers.add("LOCKED").lock()
    msp = doc.modelspace()
    for name, (x0, y0, x1, y1) in ROOMS.items():
        msp.add_lwpolyline(rectangle(x0, y0, x1, y1), close=True, dxfattribs={"layer": "WALLS"})
    msp.add_lwpolyline(rectangle(0, 5000, 3000, 7000), close=False, dxfattribs={"layer": "WALLS"})
    msp.add_lwpolyline(rectangle(5000, 5000, 8000, 7000), close=True, dxfattribs={"layer": "LOCKED"})
    doc.saveas(path)


def record(name):
    return [f"AREA=12.00sq.m.", f"PERIMETER=14.00m.", f"NAME={name}", "TAGTYPE=<Not Set>", "AREA_TYPE=",
            "COST_CENTRE=", "DATE=", "DATE_L_MOVE=", "DEPT_CHARGE=", "ROOM_HEIGHT=0.00m.", "SPECIAL_REQ=",
            "TOT_STAFF=<Not Set>", "TOT_WKSTNS=<Not Set>", "VOLUME=0.00cu.m.", "HANDLESTOMINUS=", "HANDLESTOADD="]


def links(path):
    doc = ezdxf.new("R2010")
    doc.header["$LUNITS"] = 2
    doc.appids.new("ADE")
    room = doc.blocks.new(name="ROOM-1")
    room.add_lwpolyline(rectangle(0, 0, 4000, 3000), close=True)
    for tag, y in (("NAME", 1500), ("AREA", 1000), ("AUX", 500)):
        room.add_attdef(tag, (1000, y), dxfattribs={"height": 250})
    door = doc.blocks.new(name="DOOR")
    door.add_line((0, 0), (900, 0))
    door.add_attdef("NAME", (0, 100), dxfattribs={"height": 100})
    msp = doc.modelspace()
    for i in range(3):
        insert = msp.add_blockref("ROOM-1", (i * 5000, 0))
        insert.add_auto_attribs({"NAME": f"Lab {i + 1}", "AREA": "12.00sq.m.", "AUX": " "})
        insert.set_xdata("ADE", [(1002, "{")] + [(1000, s) for s in record(f"Lab {i + 1}")] + [(1002, "}")])
        if i == 0:
            insert.set_hyperlink("http://old.example/lab1", "Old plan")
    for i in range(2):
        msp.add_blockref("DOOR", (i * 5000, -2000)).add_auto_attribs({"NAME": f"Door {i + 1}"})
    doc.saveas(path)


def dump(path):
    doc = ezdxf.readfile(path)
    msp = doc.modelspace()
    for insert in sorted(msp.query("INSERT"), key=lambda e: int(e.dxf.handle, 16)):
        p = insert.dxf.insert
        parts = [insert.dxf.handle, insert.dxf.name, "@%.0f,%.0f r%.0f" % (p.x, p.y, insert.dxf.rotation)]
        for attrib in insert.attribs:
            a = attrib.dxf.insert
            parts.append("%s=%s@%.0f,%.0f h%.1f w%.2f r%.0f" % (attrib.dxf.tag, attrib.dxf.text, a.x, a.y,
                                                               attrib.dxf.height, attrib.dxf.width,
                                                               attrib.dxf.rotation))
        if insert.has_xdata("ADE"):
            parts.append("ADE:" + ";".join(str(value) for code, value in insert.get_xdata("ADE") if code == 1000))
        if insert.has_xdata("PE_URL"):
            # Address, description and sub-location of each link.
            parts.append("LINKS:" + ",".join(str(value) for code, value in insert.get_xdata("PE_URL") if code == 1000))
        print("|".join(parts))
    # Each room's boundary in world coordinates, through its insert.
    for insert in msp.query("INSERT"):
        if not insert.dxf.name.upper().startswith("ROOM-"):
            continue
        for entity in insert.virtual_entities():
            if entity.dxftype() == "LWPOLYLINE":
                points = sorted((round(v.x), round(v.y)) for v in entity.vertices_in_wcs())
                print("BOUNDARY|%s|%s" % (insert.dxf.name, " ".join("%d,%d" % v for v in points)))
    for polyline in msp.query("LWPOLYLINE"):
        points = sorted((round(v.x), round(v.y)) for v in polyline.vertices_in_wcs())
        print("POLYLINE|%s|%s|%s" % (polyline.dxf.handle, polyline.dxf.layer, " ".join("%d,%d" % v for v in points)))


if __name__ == "__main__":
    if sys.argv[1] == "dump":
        dump(sys.argv[2])
    else:
        folder = sys.argv[1]
        floor(folder + "/floor_world.dxf", False)
        floor(folder + "/floor_ucs.dxf", True)
        links(folder + "/floor_links.dxf")
