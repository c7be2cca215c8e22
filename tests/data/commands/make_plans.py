"""Floor plans with space blocks for the space-command tests, written with ezdxf.

    make_plans.py FOLDER      writes plan_mm.dxf, plan_multiline.dxf, plan_in.dxf, plan_mixed.dxf, plan_empty.dxf
                              and plan_big_handles.dxf
    make_plans.py dump FILE   prints every insert: handle, block, attributes and "ADE" strings

plan_mm.dxf (millimetres): ROOM-101 a 10 m x 5 m office with a 0.5 m column subtracted and labels
showing its stored values; ROOM-102 an L shape whose AREA label holds a word; ROOM-103 a room with a
semicircular bay; ROOM-104 a store whose name holds a comma and quotes; ROOM-GROSS_AREA the floor;
desks inside ROOM-101, across the wall of ROOM-101 and ROOM-102, and in no room. The inserts are
written in reverse handle order, so reading order is not handle order.
plan_in.dxf (inches): two imperial rooms. plan_mixed.dxf: a metric and an imperial room.
plan_gross_ft.dxf: a metric room and, after it by handle, a gross area kept in feet.
plan_multiline.dxf: plan_mm.dxf as R2018 with every NAME label a multiline attribute.
plan_big_handles.dxf: a room, and a room with a desk whose handles, from 1FFFFFFF0 on, need more than 32 bits.
"""
import functools
import sys

import ezdxf


def record(area, perimeter, name, minus=""):
    return [f"AREA={area}", f"PERIMETER={perimeter}", f"NAME={name}", "TAGTYPE=Office", "AREA_TYPE=NIA",
            "COST_CENTRE=CC-7", "DATE=2024-01-02", "DATE_L_MOVE=<Not Set>", "DEPT_CHARGE=Finance",
            "ROOM_HEIGHT=2.70m.", "SPECIAL_REQ=<Not Set>", "TOT_STAFF=4", "TOT_WKSTNS=5",
            "VOLUME=135.00cu.m.", f"HANDLESTOMINUS={minus}", "HANDLESTOADD="]


def define_room(doc, name, vertices, height=250):
    block = doc.blocks.new(name=name)
    block.add_lwpolyline(vertices, format="xyb", close=True)
    for tag, y in (("NAME", 400), ("AREA", 0), ("AUX", -400)):
        block.add_attdef(tag, (1000, 1000 + y), dxfattribs={"height": height})
    return block


def place(msp, name, at, values, strings, height=250, multiline=False):
    insert = msp.add_blockref(name, at)
    offsets = {"NAME": 400, "AREA": 0, "AUX": -400}
    for tag, value in values.items():
        where = (at[0] + 1000, at[1] + 1000 + offsets[tag])
        attrib = insert.add_attrib(tag, value, where, dxfattribs={"height": height})
        if multiline and tag == "NAME":
            attrib.embed_mtext(msp.add_mtext(value, dxfattribs={"char_height": height, "insert": where}))
    if strings is not None:
        insert.set_xdata("ADE", [(1002, "{")] + [(1000, s) for s in strings] + [(1002, "}")])
    return insert


def new_doc(lunits, version="R2010"):
    doc = ezdxf.new(version)
    doc.header["$LUNITS"] = lunits
    doc.header["$INSUNITS"] = 1 if lunits == 4 else 4
    doc.appids.new("ADE")
    desk = doc.blocks.new(name="DESK")
    desk.add_lwpolyline([(-400, -300), (400, -300), (400, 300), (-400, 300)], close=True)
    desk.add_attdef("ASSET_NO", (0, 0), dxfattribs={"height": 100})
    desk.add_attdef("OWNER", (0, -150), dxfattribs={"height": 100})
    return doc


def reverse_order(msp):
    msp.entity_space.entities.reverse()


def plan_mm(path, version="R2010", multiline=False):
    doc = new_doc(2, version)
    msp = doc.modelspace()
    room = functools.partial(place, multiline=multiline)
    define_room(doc, "ROOM-101", [(0, 0, 0), (10000, 0, 0), (10000, 5000, 0), (0, 5000, 0)])
    define_room(doc, "ROOM-102", [(0, 0, 0), (6000, 0, 0), (6000, 3000, 0), (3000, 3000, 0), (3000, 6000, 0),
                                  (0, 6000, 0)])
    define_room(doc, "ROOM-103", [(0, 0, 0), (4000, 0, 1), (4000, 3000, 0), (0, 3000, 0)])
    define_room(doc, "ROOM-104", [(0, 0, 0), (2000, 0, 0), (2000, 2000, 0), (0, 2000, 0)])
    define_room(doc, "ROOM-GROSS_AREA", [(0, 0, 0), (30000, 0, 0), (30000, 20000, 0), (0, 20000, 0)])
    column = msp.add_lwpolyline([(4000, 2000), (4500, 2000), (4500, 2500), (4000, 2500)], close=True)
    room(msp, "ROOM-GROSS_AREA", (0, 0), {"NAME": "Floor 1", "AREA": "600.00sq.m.", "AUX": ""},
          record("600.00sq.m.", "100.00m.", "GROSS AREA"))
    room(msp, "ROOM-101", (0, 0), {"NAME": "Office 101", "AREA": "50.00sq.m.", "AUX": "30.00m."},
          record("50.00sq.m.", "30.00m.", "Office 101", column.dxf.handle + ","))
    room(msp, "ROOM-102", (10000, 0), {"NAME": "Kitchen", "AREA": "Kitchen area", "AUX": "24.0m."},
          record("20.0sq.m.", "24.0m.", "Kitchen"))
    room(msp, "ROOM-103", (20000, 0), {"NAME": "Bay room", "AREA": "15.5sq.m.", "AUX": "note"},
          record("15.53sq.m.", "15.71m.", "Bay room"))
    # Handles used up, so that the store's handle has three digits and sorts after two-digit ones.
    for _ in range(200):
        msp.delete_entity(msp.add_point((0, 0)))
    room(msp, "ROOM-104", (20000, 10000), {"NAME": 'Store, "north"', "AREA": "4.00sq.m.", "AUX": "8.00m."},
          record("4.00sq.m.", "8.00m.", "Store"))
    for at, number in (((2000, 2000), "A-1"), ((7000, 3000), "A-2"), ((10000, 1500), "A-3"), ((25000, 15000), "A-4")):
        desk = msp.add_blockref("DESK", at)
        desk.add_attrib("ASSET_NO", number, at, dxfattribs={"height": 100})
        desk.add_attrib("OWNER", "facilities", (at[0], at[1] - 150), dxfattribs={"height": 100})
    reverse_order(msp)
    doc.saveas(path)


def plan_in(path):
    doc = new_doc(4)
    msp = doc.modelspace()
    define_room(doc, "ROOM-201", [(0, 0, 0), (240, 0, 0), (240, 180, 0), (0, 180, 0)], height=10)
    define_room(doc, "ROOM-202", [(0, 0, 0), (120, 0, 0), (120, 120, 0), (0, 120, 0)], height=10)
    place(msp, "ROOM-201", (0, 0), {"NAME": "Studio", "AREA": "290.00sq.ft.", "AUX": "70.00ft."},
          record("290.00sq.ft.", "70.00ft.", "Studio"), height=10)
    place(msp, "ROOM-202", (300, 0), {"NAME": "Den", "AREA": "100.00sq.ft.", "AUX": "40.00ft."},
          record("100.00sq.ft.", "40.00ft.", "Den"), height=10)
    doc.saveas(path)


def plan_mixed(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    define_room(doc, "ROOM-301", [(0, 0, 0), (10000, 0, 0), (10000, 10000, 0), (0, 10000, 0)])
    define_room(doc, "ROOM-302", [(0, 0, 0), (3048, 0, 0), (3048, 3048, 0), (0, 3048, 0)])
    place(msp, "ROOM-301", (0, 0), {"NAME": "Hall", "AREA": "100.00sq.m.", "AUX": "40.00m."},
          record("100.00sq.m.", "40.00m.", "Hall"))
    place(msp, "ROOM-302", (20000, 0), {"NAME": "Annex", "AREA": "100.00sq.ft.", "AUX": "40.00ft."},
          record("100.00sq.ft.", "40.00ft.", "Annex"))
    doc.saveas(path)


def plan_gross_ft(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    define_room(doc, "ROOM-401", [(0, 0, 0), (10000, 0, 0), (10000, 10000, 0), (0, 10000, 0)])
    define_room(doc, "ROOM-GROSS_AREA", [(0, 0, 0), (30000, 0, 0), (30000, 20000, 0), (0, 20000, 0)])
    place(msp, "ROOM-401", (0, 0), {"NAME": "Hall", "AREA": "100.00sq.m.", "AUX": "40.00m."},
          record("100.00sq.m.", "40.00m.", "Hall"))
    place(msp, "ROOM-GROSS_AREA", (0, 0), {"NAME": "Floor 4", "AREA": "6458.35sq.ft.", "AUX": ""},
          record("6458.35sq.ft.", "328.08ft.", "GROSS AREA"))
    doc.saveas(path)


def plan_big_handles(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    define_room(doc, "ROOM-501", [(0, 0, 0), (5000, 0, 0), (5000, 4000, 0), (0, 4000, 0)])
    define_room(doc, "ROOM-502", [(0, 0, 0), (5000, 0, 0), (5000, 4000, 0), (0, 4000, 0)])
    place(msp, "ROOM-501", (0, 0), {"NAME": "Small", "AREA": "20.00sq.m.", "AUX": ""},
          record("20.00sq.m.", "18.00m.", "Small"))
    # Past the 32 bits of an int: 1FFFFFFF0 is 8589934576.
    doc.entitydb.handles.reset("1FFFFFFF0")
    place(msp, "ROOM-502", (10000, 0), {"NAME": "Large", "AREA": "20.00sq.m.", "AUX": ""},
          record("20.00sq.m.", "18.00m.", "Large"))
    msp.add_blockref("DESK", (12000, 2000))
    doc.saveas(path)


def plan_empty(path):
    doc = new_doc(2)
    doc.modelspace().add_lwpolyline([(0, 0), (1000, 0), (1000, 1000)], close=True)
    doc.saveas(path)


def dump(path):
    doc = ezdxf.readfile(path)
    for insert in sorted(doc.modelspace().query("INSERT"), key=lambda e: int(e.dxf.handle, 16)):
        parts = [insert.dxf.handle, insert.dxf.name]
        for attrib in insert.attribs:
            p = attrib.dxf.insert
            parts.append("%s=%s@%.1f,%.1f h%.1f w%.2f r%.1f" % (attrib.dxf.tag, attrib.dxf.text, p.x, p.y,
                                                                 attrib.dxf.height, attrib.dxf.width,
                                                                 attrib.dxf.rotation))
            if attrib.dxf.text_generation_flag:  # mirrored (2: backwards, 4: upside down)
                parts[-1] += " m%d" % attrib.dxf.text_generation_flag
        for attrib in insert.attribs:
            if attrib.has_embedded_mtext_entity:
                at = attrib.virtual_mtext_entity().dxf.insert
                parts.append("MTEXT:%s=%s@%.1f,%.1f" % (attrib.dxf.tag, attrib.plain_mtext(), at.x, at.y))
        if insert.has_xdata("ADE"):
            parts.append("ADE:" + ";".join(str(value) for code, value in insert.get_xdata("ADE") if code == 1000))
        print("|".join(parts))


if __name__ == "__main__":
    if sys.argv[1] == "dump":
        dump(sys.argv[2])
    else:
        folder = sys.argv[1]
        plan_mm(folder + "/plan_mm.dxf")
        plan_mm(folder + "/plan_multiline.dxf", "R2018", multiline=True)
        plan_in(folder + "/plan_in.dxf")
        plan_mixed(folder + "/plan_mixed.dxf")
        plan_gross_ft(folder + "/plan_gross_ft.dxf")
        plan_empty(folder + "/plan_empty.dxf")
        plan_big_handles(folder + "/plan_big_handles.dxf")
