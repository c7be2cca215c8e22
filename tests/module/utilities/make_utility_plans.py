"""Drawings for the space-utility tests, written with ezdxf, and a dump of what the tests read back.

    make_utility_plans.py FOLDER      writes floor.dxf, floor_ucs.dxf, spaces.dxf, aux.dxf, torvex.dxf,
                                      torvex_ucs.dxf, torvex_locked.dxf, bare.dxf
    make_utility_plans.py dump FILE   prints layers, model-space polylines, hatches and inserts, and the
                                      attribute definitions and contents of the "ROOM-" blocks

floor.dxf (millimetres): a closed 30 m x 20 m floor outline, an open polyline, a closed polyline on a
locked layer and a line. floor_ucs.dxf: the same outline under a UCS moved to (5000, 2000) and turned
by 90 degrees, in a drawing that holds a block "room-gross_area" already.
spaces.dxf: five rooms and a gross area labelled "Floor 1", some labels on the wrong layers, a locked, a frozen and an
off layer, one room without AUX, one without NAME, a desk, and a desk on the locked layer.
aux.dxf: rooms whose labels need stacking, one without AUX, one tagged "aux", one without AREA, one
with two NAME labels. torvex.dxf: Torvex space labels and their boundaries; torvex_ucs.dxf the same
under a UCS moved to (1000, 500); torvex_locked.dxf the same with a boundary and another label on a locked
layer. bare.dxf: a labelled room of 20 square metres without a stored record,
and a room with one.
"""
import math
import sys

import ezdxf


def record(name, area="10.00sq.m.", perimeter="14.00m."):
    return [f"AREA={area}", f"PERIMETER={perimeter}", f"NAME={name}", "TAGTYPE=Office", "AREA_TYPE=NIA",
            "COST_CENTRE=CC-7", "DATE=2024-01-02", "DATE_L_MOVE=<Not Set>", "DEPT_CHARGE=Finance",
            "ROOM_HEIGHT=2.70m.", "SPECIAL_REQ=<Not Set>", "TOT_STAFF=4", "TOT_WKSTNS=5",
            "VOLUME=27.00cu.m.", "HANDLESTOMINUS=", "HANDLESTOADD="]


def new_doc():
    doc = ezdxf.new("R2010")
    doc.header["$LUNITS"] = 2
    doc.header["$INSUNITS"] = 4
    doc.appids.new("ADE")
    return doc


def rectangle(x, y, w, h):
    return [(x, y), (x + w, y), (x + w, y + h), (x, y + h)]


# labels: tag -> (text, position, rotation in degrees, height, layer), in the order they are added
def space(doc, name, at, outline, labels, data, defined=None):
    block = doc.blocks.new(name=name)
    block.add_lwpolyline(outline, close=True)
    for tag, (_, position, rotation, height, layer) in (defined or labels):
        block.add_attdef(tag, position, dxfattribs={"height": height, "rotation": rotation, "layer": layer})
    insert = doc.modelspace().add_blockref(name, at)
    for tag, (text, position, rotation, height, layer) in labels:
        insert.add_attrib(tag, text, (at[0] + position[0], at[1] + position[1]),
                          dxfattribs={"height": height, "rotation": rotation, "layer": layer})
    if data is not None:
        insert.set_xdata("ADE", [(1002, "{")] + [(1000, s) for s in data] + [(1002, "}")])
    return insert


def stacked(name, layers=("0", "0", "0"), tags=("NAME", "AREA", "AUX")):
    values = {"NAME": name, "AREA": "10.00sq.m.", "AUX": "note"}
    offsets = {"NAME": 400, "AREA": 0, "AUX": -400}
    return [(tag, (values[tag], (1000, 1000 + offsets[tag]), 0, 250, layer)) for tag, layer in zip(tags, layers)]


def floor(path):
    doc = new_doc()
    doc.layers.add("LOCKED").lock()
    doc.layers.add("FLOOR")
    msp = doc.modelspace()
    msp.add_lwpolyline(rectangle(0, 0, 30000, 20000), close=True, dxfattribs={"layer": "FLOOR"})  # 32
    msp.add_lwpolyline(rectangle(0, 0, 5000, 5000), close=False)  # 33
    msp.add_lwpolyline(rectangle(40000, 0, 5000, 5000), close=True, dxfattribs={"layer": "LOCKED"})  # 34
    msp.add_line((0, -1000), (30000, -1000))  # 35
    doc.saveas(path)


def floor_ucs(path):
    doc = new_doc()
    doc.header["$UCSORG"] = (5000, 2000, 0)
    doc.header["$UCSXDIR"] = (0, 1, 0)
    doc.header["$UCSYDIR"] = (-1, 0, 0)
    taken = doc.blocks.new(name="room-gross_area")
    taken.add_circle((0, 0), 100)
    doc.modelspace().add_lwpolyline(rectangle(0, 0, 30000, 20000), close=True)
    doc.saveas(path)


def spaces(path):
    doc = new_doc()
    doc.layers.add("ATT-NAME").freeze()
    doc.layers.add("ATT-AREA")
    doc.layers.add("TEXT").lock()
    doc.layers.add("WALLS").off()
    msp = doc.modelspace()
    space(doc, "ROOM-101", (0, 0), rectangle(0, 0, 5000, 4000), stacked("L1-Office", ("0", "TEXT", "WALLS")),
          record("L1-Office", "20.00sq.m.", "18.00m."))
    space(doc, "ROOM-102", (6000, 0), rectangle(0, 0, 3000, 4000),
          stacked("L1-Kitchen", ("ATT-NAME", "ATT-AREA", "0")), record("L1-Kitchen", "12.00sq.m.", "14.00m."))
    space(doc, "ROOM-103", (10000, 0), rectangle(0, 0, 2000, 2000), stacked("L2-Store", tags=("NAME", "AREA")),
          record("L2-Store", "4.00sq.m.", "8.00m."))
    space(doc, "ROOM-104", (20000, 10000), rectangle(0, 0, 4000, 4000), stacked("Hall L1-East"),
          record("Hall L1-East", "16.00sq.m.", "16.00m."))
    space(doc, "ROOM-105", (0, 10000), rectangle(0, 0, 3000, 3000), stacked("", tags=("AREA", "AUX")),
          record("L1-Lobby", "9.00sq.m.", "12.00m."))
    space(doc, "ROOM-GROSS_AREA", (0, 0), rectangle(0, 0, 30000, 20000), stacked("Floor 1"),
          record("GROSS AREA", "600.00sq.m.", "100.00m."))
    desk = doc.blocks.new(name="DESK")
    desk.add_lwpolyline(rectangle(-400, -300, 800, 600), close=True)
    msp.add_blockref("DESK", (2000, 2000))
    msp.add_blockref("DESK", (8000, 8000), dxfattribs={"layer": "TEXT"})
    doc.saveas(path)


def aux(path):
    doc = new_doc()
    doc.layers.add("att-name").off()
    doc.layers.add("ATT-AREA").off()
    doc.layers.add("WALLS").off()
    space(doc, "ROOM-201", (0, 0), rectangle(0, 0, 5000, 4000),
          [("NAME", ("Office", (1000, 2600), 0, 250, "0")), ("AREA", ("20.00sq.m.", (1000, 2000), 0, 250, "0")),
           ("AUX", ("note", (1000, 900), 0, 250, "0"))], record("Office"))
    space(doc, "ROOM-202", (5000, 0), rectangle(-2000, -2000, 4000, 4000),
          [("NAME", ("Lab", (0, 500), 90, 100, "0")), ("AREA", ("16.00sq.m.", (0, 0), 90, 100, "0"))], record("Lab"))
    space(doc, "ROOM-203", (10000, 0), rectangle(0, 0, 2000, 2000),
          [("NAME", ("Store", (500, 900), 0, 200, "0")), ("AREA", ("4.00sq.m.", (500, 500), 0, 200, "0")),
           ("aux", ("lower", (500, 100), 0, 200, "0"))], record("Store"))
    space(doc, "ROOM-204", (15000, 0), rectangle(0, 0, 2000, 2000), [("NAME", ("Void", (500, 500), 0, 200, "0"))],
          record("Void"))
    space(doc, "ROOM-205", (20000, 0), rectangle(0, 0, 2000, 2000),
          [("NAME", ("First", (500, 1500), 0, 200, "0")), ("NAME", ("Second", (500, 1200), 0, 200, "0")),
           ("AREA", ("4.00sq.m.", (500, 500), 0, 200, "0")), ("AUX", ("x", (500, 0), 0, 200, "0"))],
          record("Twice"))
    doc.saveas(path)


def torvex(path, ucs=None, locked=False):
    doc = new_doc()
    if ucs:
        doc.header["$UCSORG"] = ucs
    doc.layers.add("BOMA").freeze()
    doc.layers.get("BOMA").off()
    doc.layers.add("LABELS")
    label = doc.blocks.new(name="TORVEX_SPACE_LABEL")
    label.add_circle((0, 0), 50)
    label.add_attdef("ROOM", (0, 0), dxfattribs={"height": 250})
    label.add_attdef("PLINE2_ID", (0, -300), dxfattribs={"height": 100})
    taken = doc.blocks.new(name="ROOM-0")
    taken.add_circle((0, 0), 100)
    msp = doc.modelspace()
    office = msp.add_lwpolyline(rectangle(0, 0, 5000, 4000), close=True, dxfattribs={"layer": "BOMA"})
    lab = msp.add_lwpolyline(rectangle(10000, 0, 3000, 2000), close=False, dxfattribs={"layer": "BOMA"})
    bare = msp.add_lwpolyline(rectangle(20000, 0, 1000, 1000), close=True, dxfattribs={"layer": "BOMA"})
    wall = msp.add_line((0, -1000), (5000, -1000))

    def place(at, room, handle, rotation=0):
        insert = msp.add_blockref("TORVEX_SPACE_LABEL", at, dxfattribs={"layer": "LABELS"})
        if room is not None:
            insert.add_attrib("ROOM", room, at, dxfattribs={"height": 250, "rotation": rotation, "width": 0.8})
        insert.add_attrib("PLINE2_ID", handle, (at[0], at[1] - 300), dxfattribs={"height": 100})
        return insert

    place((2000, 2000), "Office", office.dxf.handle)
    place((11000, 1000), "Lab", lab.dxf.handle, rotation=90)
    place((3000, -1000), "Corridor", wall.dxf.handle)
    place((30000, 0), "Ghost", "FFFF")
    place((20500, 500), None, bare.dxf.handle)
    place((1000, 1000), "Office again", office.dxf.handle)
    if locked:
        # Made last, so that the entities above keep their handles.
        doc.layers.add("LOCKED").lock()
        store = msp.add_lwpolyline(rectangle(40000, 0, 2000, 2000), close=True, dxfattribs={"layer": "LOCKED"})
        place((41000, 1000), "Store", store.dxf.handle)
        hall = msp.add_lwpolyline(rectangle(50000, 0, 2000, 2000), close=True, dxfattribs={"layer": "BOMA"})
        place((51000, 1000), "Hall", hall.dxf.handle).dxf.layer = "LOCKED"
    doc.saveas(path)


def bare(path):
    doc = new_doc()
    space(doc, "ROOM-301", (0, 0), rectangle(0, 0, 5000, 4000), stacked("Bare"), None)
    space(doc, "ROOM-302", (6000, 0), rectangle(0, 0, 3000, 4000), stacked("Kept"),
          record("Kept", "12.00sq.m.", "14.00m."))
    doc.saveas(path)


def point(p):
    return "%.1f,%.1f" % (round(p[0], 1) + 0.0, round(p[1], 1) + 0.0)


def dump(path):
    doc = ezdxf.readfile(path)
    for layer in doc.layers:
        print("LAYER|%s|%s|%s|%s" % (layer.dxf.name, "on" if layer.is_on() else "off",
                                     "frozen" if layer.is_frozen() else "thawed",
                                     "locked" if layer.is_locked() else "unlocked"))
    for entity in doc.modelspace():
        kind = entity.dxftype()
        if kind == "LWPOLYLINE":
            print("POLYLINE|%s|%s|%s|%s" % (entity.dxf.handle, entity.dxf.layer,
                                            "closed" if entity.closed else "open",
                                            " ".join(point(p) for p in entity.get_points("xy"))))
        elif kind == "HATCH":
            corners = []
            for loop in entity.paths:
                if hasattr(loop, "vertices"):
                    corners += [(v[0], v[1]) for v in loop.vertices]
                else:
                    corners += [(e.start[0], e.start[1]) for e in loop.edges if hasattr(e, "start")]
            low = (min(c[0] for c in corners), min(c[1] for c in corners)) if corners else (0, 0)
            high = (max(c[0] for c in corners), max(c[1] for c in corners)) if corners else (0, 0)
            colour = entity.rgb if entity.rgb is not None else entity.dxf.color
            print("HATCH|%s|%s|%s|%s %s" % (entity.dxf.layer, entity.dxf.pattern_name, colour, point(low),
                                            point(high)))
        elif kind == "INSERT":
            labels = []
            for a in entity.attribs:
                labels.append("%s=%s@%s h%.1f w%.2f r%.1f %s" % (a.dxf.tag, a.dxf.text, point(a.dxf.insert),
                                                                 a.dxf.height, a.dxf.width,
                                                                 a.dxf.rotation % 360.0, a.dxf.layer))
            data = ""
            if entity.has_xdata("ADE"):
                data = ";".join(str(value) for code, value in entity.get_xdata("ADE") if code == 1000)
            print("INSERT|%s|%s|%s|%s|%s|%s" % (entity.dxf.name, entity.dxf.handle, entity.dxf.layer,
                                                point(entity.dxf.insert), ";".join(labels), data))
    for block in doc.blocks:
        if not block.name.upper().startswith("ROOM-"):
            continue
        print("BLOCK|%s|%s" % (block.name, " ".join(e.dxftype() for e in block)))
        for e in block.query("ATTDEF"):
            print("ATTDEF|%s|%s|%s|%s|%s|@%s h%.1f r%.1f" % (block.name, e.dxf.tag, e.dxf.prompt, e.dxf.text,
                                                            e.dxf.layer, point(e.dxf.insert), e.dxf.height,
                                                            e.dxf.rotation % 360.0))
        for e in block.query("LWPOLYLINE"):
            print("OUTLINE|%s|%s|%s" % (block.name, "closed" if e.closed else "open",
                                        " ".join(point(p) for p in e.get_points("xy"))))


if __name__ == "__main__":
    if sys.argv[1] == "dump":
        dump(sys.argv[2])
    else:
        for make in (floor, floor_ucs, spaces, aux, torvex, bare):
            make("%s/%s.dxf" % (sys.argv[1], make.__name__))
        torvex(sys.argv[1] + "/torvex_ucs.dxf", ucs=(1000, 500, 0))
        torvex(sys.argv[1] + "/torvex_locked.dxf", locked=True)
