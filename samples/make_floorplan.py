#!/usr/bin/python3
"""Writes floorplan.dxf: a small office floor in millimetres with walls, doors,
rooms as space blocks and furniture blocks, the kind of drawing the module works on."""
import sys
import ezdxf

doc = ezdxf.new("R2010", setup=True)
doc.header["$INSUNITS"] = 4
doc.header["$LUNITS"] = 2
for name, colour in [("A-WALL", 7), ("A-DOOR", 3), ("A-AREA", 1), ("A-FURN", 5), ("A-TEXT", 7),
                     ("ATT-NAME", 7), ("ATT-AREA", 7), ("ATT-AUX", 8)]:
    doc.layers.add(name, color=colour)

desk = doc.blocks.new("DESK")
desk.add_lwpolyline([(0, 0), (1600, 0), (1600, 800), (0, 800)], close=True)
chair = doc.blocks.new("CHAIR")
chair.add_circle((0, 0), 250)
table = doc.blocks.new("MEETING-TABLE")
table.add_lwpolyline([(0, 0, 0), (2400, 0, 0.4), (2400, 1200, 0), (0, 1200, 0.4)], format="xyb", close=True)

msp = doc.modelspace()
# Outer walls 20 m x 12 m and the inner walls.
outer = [(0, 0), (20000, 0), (20000, 12000), (0, 12000)]
msp.add_lwpolyline(outer, close=True, dxfattribs={"layer": "A-WALL", "const_width": 200})
for a, b in [((8000, 0), (8000, 12000)), ((8000, 6000), (20000, 6000)), ((14000, 0), (14000, 6000))]:
    msp.add_line(a, b, dxfattribs={"layer": "A-WALL"})
# Doors: a swing arc and a leaf each.
for x, y, start in [(8000, 2000, 90), (9000, 6000, 0), (15000, 6000, 0), (14000, 2000, 90)]:
    msp.add_arc((x, y), 900, start, start + 90, dxfattribs={"layer": "A-DOOR"})

# Rooms as space blocks: the boundary and the NAME, AREA and AUX attribute definitions in a "ROOM-"
# block, inserted at the room's centre with the "ADE" record of an earlier survey (so "mus" has
# something to bring up to date). A column is taken off the open office.
doc.appids.new("ADE")
column = msp.add_lwpolyline([(3800, 9800), (4200, 9800), (4200, 10200), (3800, 10200)], close=True,
                            dxfattribs={"layer": "A-WALL"})


def survey(area, perimeter, name, staff, minus=""):
    return [f"AREA={area:.2f}sq.m.", f"PERIMETER={perimeter:.2f}m.", f"NAME={name}", "TAGTYPE=Office",
            "AREA_TYPE=NIA", "COST_CENTRE=CC-100", "DATE=2024-03-01", "DATE_L_MOVE=<Not Set>",
            "DEPT_CHARGE=Facilities", "ROOM_HEIGHT=2.70m.", "SPECIAL_REQ=<Not Set>", f"TOT_STAFF={staff}",
            f"TOT_WKSTNS={staff}", f"VOLUME={area * 2.7:.2f}cu.m.", f"HANDLESTOMINUS={minus}", "HANDLESTOADD="]


rooms = [
    ("ROOM-001", "Open Office", [(100, 100), (7900, 100), (7900, 11900), (100, 11900)], 92.00, 39.00, 6,
     column.dxf.handle + ","),
    ("ROOM-002", "Meeting Room", [(8100, 6100), (19900, 6100), (19900, 11900), (8100, 11900)], 68.00, 35.00, 0, ""),
    ("ROOM-003", "Office 1", [(8100, 100), (13900, 100), (13900, 5900), (8100, 5900)], 33.64, 23.20, 1, ""),
    ("ROOM-004", "Office 2", [(14100, 100), (19900, 100), (19900, 5900), (14100, 5900)], 33.00, 23.00, 1, ""),
    ("ROOM-GROSS_AREA", "Floor 1", outer, 240.00, 64.00, 8, ""),
]
for block_name, name, pts, area, perimeter, staff, minus in rooms:
    cx = sum(p[0] for p in pts) / len(pts)
    cy = sum(p[1] for p in pts) / len(pts)
    if block_name == "ROOM-GROSS_AREA":
        cx, cy = 10000, 12600
    block = doc.blocks.new(block_name)
    block.add_lwpolyline([(x - cx, y - cy) for x, y in pts], close=True, dxfattribs={"layer": "A-AREA"})
    for tag, dy in (("NAME", 375), ("AREA", 0), ("AUX", -375)):
        block.add_attdef(tag, (0, dy), dxfattribs={"height": 250, "layer": "ATT-" + tag})
    insert = msp.add_blockref(block_name, (cx, cy), dxfattribs={"layer": "A-AREA"})
    values = {"NAME": name, "AREA": f"{area:.2f}sq.m.", "AUX": f"{perimeter:.2f}m."}
    for tag, dy in (("NAME", 375), ("AREA", 0), ("AUX", -375)):
        insert.add_attrib(tag, values[tag], (cx, cy + dy), dxfattribs={"height": 250, "layer": "ATT-" + tag})
    record = survey(area, perimeter, "GROSS AREA" if block_name == "ROOM-GROSS_AREA" else name, staff, minus)
    insert.set_xdata("ADE", [(1002, "{")] + [(1000, text) for text in record] + [(1002, "}")])

for x, y in [(1000, 1000), (1000, 4000), (1000, 7000), (4500, 1000), (4500, 4000), (4500, 7000)]:
    msp.add_blockref("DESK", (x, y), dxfattribs={"layer": "A-FURN"})
    msp.add_blockref("CHAIR", (x + 800, y + 1200), dxfattribs={"layer": "A-FURN"})
for x in (9000, 15000):
    msp.add_blockref("DESK", (x, 1500), dxfattribs={"layer": "A-FURN"})
    msp.add_blockref("CHAIR", (x + 800, 2700), dxfattribs={"layer": "A-FURN"})
msp.add_blockref("MEETING-TABLE", (9400, 8400), dxfattribs={"layer": "A-FURN"})
hatch = msp.add_hatch(color=8, dxfattribs={"layer": "A-AREA"})
hatch.set_pattern_fill("ANSI31", scale=40)
hatch.paths.add_polyline_path([(8100, 6100), (8900, 6100), (8900, 6900), (8100, 6900)], is_closed=True)

# Beside the floor: the outline of where a graphic report's legend goes and the circle of its pie
# chart, for the marker commands.
msp.add_lwpolyline([(22000, 12000), (37000, 12000), (37000, 9000), (22000, 9000)], close=True,
                   dxfattribs={"layer": "A-TEXT"})
msp.add_circle((28500, 3500), 2500, dxfattribs={"layer": "A-TEXT"})

doc.saveas(sys.argv[1] if len(sys.argv) > 1 else "floorplan.dxf")
