"""Writes rooms.dxf: a small floor plan with space blocks as another CAD program leaves them.

Run with python3 (ezdxf); the test suite reads the file it writes.
"""
import sys

import ezdxf


def room_definition(doc, name, width, height):
    block = doc.blocks.new(name=name)
    block.add_lwpolyline([(0, 0), (width, 0), (width, height), (0, height)], close=True)
    for tag, y in (("AREA", 0), ("NAME", -375), ("AUX", 375)):
        block.add_attdef(tag, (0, y), dxfattribs={"height": 250})
    return block


def place(msp, name, at, values, app=None, strings=None, rotation=0):
    insert = msp.add_blockref(name, at, dxfattribs={"rotation": rotation})
    for tag, value in values.items():
        insert.add_attrib(tag, value, (at[0], at[1]), dxfattribs={"height": 250})
    if app:
        tags = [(1002, "{")] + [(1000, s) for s in strings] + [(1002, "}")]
        insert.set_xdata(app, tags)
    return insert


def record(area, name, minus=""):
    return [f"AREA={area}", "PERIMETER=30.00m.", f"NAME={name}", "TAGTYPE=T", "AREA_TYPE=Office",
            "COST_CENTRE=CC1", "DATE=<Not Set>", "DATE_L_MOVE=<Not Set>", "DEPT_CHARGE=D", "ROOM_HEIGHT=2.50m.",
            "SPECIAL_REQ=<Not Set>", "TOT_STAFF=2", "TOT_WKSTNS=3", "VOLUME=125.00cu.m.",
            f"HANDLESTOMINUS={minus}", "HANDLESTOADD="]


def main(path):
    doc = ezdxf.new("R2010")
    doc.header["$LUNITS"] = 2
    doc.header["$INSUNITS"] = 4  # drawn in millimetres, as it says
    doc.appids.new("ADE")
    doc.appids.new("AECXDATA")
    msp = doc.modelspace()
    room_definition(doc, "ROOM-101", 10000, 5000)
    room_definition(doc, "ROOM-GROSS_AREA", 30000, 20000)
    room_definition(doc, "ROOM-102", 4000, 4000)
    desk = doc.blocks.new(name="DESK")
    desk.add_lwpolyline([(-400, -300), (400, -300), (400, 300), (-400, 300)], close=True)
    desk.add_attdef("ASSET_NO", (0, 0), dxfattribs={"height": 100})
    hole = msp.add_lwpolyline([(1000, 1000), (2000, 1000), (2000, 2000), (1000, 2000)], close=True)
    place(msp, "ROOM-GROSS_AREA", (0, 0), {"NAME": "Floor 1", "AREA": "600", "AUX": ""}, "ADE",
          record("600.00sq.m.", "GROSS AREA"))
    place(msp, "ROOM-101", (0, 0), {"NAME": "R101", "AREA": "49.00 sq.m.", "AUX": ""}, "ADE",
          record("49.00sq.m.", "R101", hole.dxf.handle + ","))
    place(msp, "ROOM-102", (12000, 0), {"name": "R102", "Area": "16", "aux": "x"}, "AECXDATA",
          record("16sq.m.", "R102"))
    chair = msp.add_blockref("DESK", (5000, 2500))
    chair.add_attrib("ASSET_NO", "A-17", (5000, 2500), dxfattribs={"height": 100})
    msp.add_blockref("DESK", (25000, 15000))
    doc.saveas(path)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "rooms.dxf")
