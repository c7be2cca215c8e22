"""Floor plans for the graphic-report tests, written with ezdxf.

    make_report_plans.py FOLDER      writes report_plan.dxf and handles.txt (name=handle per line)
    make_report_plans.py dump FILE   prints what the report tests check, one fact per line
    make_report_plans.py drawn FILE LAYOUT   prints the entities of the layout ("Model" or a paper
                                             layout), bottom first: "hatch|#RRGGBB", "insert|BLOCK"
                                             or the entity's type, one a line

report_plan.dxf (millimetres): four offices and stores as space blocks in a row (50, 30, 12 and
8 square metres), a gross area around them, desks inside the first two rooms, a closed outline and a
circle for the markers, an open polyline, a line, and a circle on a locked layer.
report_plan_ucs.dxf: the same plan with the current UCS at (1000, 500) turned by 30 degrees;
report_plan_lower.dxf: the same plan holding block definitions "marker-legend" and "marker-piechart"
(lower case) as well; report_plan_layout.dxf: the same plan with the Kitchen on the paper layout "Layout1",
a fiftieth of its size at (100, 100) on the sheet, a desk of that size inside it ("layoutdesk"), a desk of
model space at the same coordinates, in Office A ("modeldesk"), and that layout current;
report_plan_sheet.dxf and report_plan_sheet_current.dxf: the same plan without its gross area, the closed
outline and the circle drawn on "Layout1", model space current in the first, that layout in the second.
The handles are the same in all six.

In the dump, an insert's outline is given in world coordinates too ("outline|block|x,y;...").
"""
import math
import sys

import ezdxf
from ezdxf.math import Matrix44


def record(area, perimeter, name):
    return [f"AREA={area}", f"PERIMETER={perimeter}", f"NAME={name}", "TAGTYPE=Office", "AREA_TYPE=NIA",
            "COST_CENTRE=CC-7", "DATE=2024-01-02", "DATE_L_MOVE=<Not Set>", "DEPT_CHARGE=Finance",
            "ROOM_HEIGHT=2.70m.", "SPECIAL_REQ=<Not Set>", "TOT_STAFF=4", "TOT_WKSTNS=5",
            "VOLUME=135.00cu.m.", "HANDLESTOMINUS=", "HANDLESTOADD="]


def define_room(doc, name, width, height):
    block = doc.blocks.new(name=name)
    block.add_lwpolyline([(0, 0), (width, 0), (width, height), (0, height)], close=True,
                         dxfattribs={"layer": "WALLS"})
    for tag, y in (("NAME", 400), ("AREA", 0), ("AUX", -400)):
        block.add_attdef(tag, (500, 1500 + y), dxfattribs={"height": 250})


def place(msp, name, at, values, strings, labels=(500, 1500)):
    insert = msp.add_blockref(name, at, dxfattribs={"layer": "SPACES"})
    offsets = {"NAME": 400, "AREA": 0, "AUX": -400}
    for tag, value in values.items():
        insert.add_attrib(tag, value, (at[0] + labels[0], at[1] + labels[1] + offsets[tag]),
                          dxfattribs={"height": 250})
    insert.set_xdata("ADE", [(1002, "{")] + [(1000, s) for s in strings] + [(1002, "}")])
    return insert


ROOMS = (("ROOM-A1", "Office A", 10000, 5000, 0), ("ROOM-A2", "Office B", 6000, 5000, 10000),
         ("ROOM-A3", "Store", 4000, 3000, 16000), ("ROOM-A4", "Kitchen", 4000, 2000, 20000))


def report_plan(folder, file_name="report_plan.dxf", ucs_degrees=None, lower_markers=False, kitchen_on_layout=False,
                outlines_on_layout=None):
    doc = ezdxf.new("R2010")
    if ucs_degrees is not None:
        a = math.radians(ucs_degrees)
        doc.header["$UCSORG"] = (1000, 500, 0)
        doc.header["$UCSXDIR"] = (math.cos(a), math.sin(a), 0)
        doc.header["$UCSYDIR"] = (-math.sin(a), math.cos(a), 0)
    doc.header["$LUNITS"] = 2
    doc.header["$INSUNITS"] = 4
    doc.appids.new("ADE")
    for name, colour in (("WALLS", 7), ("SPACES", 3), ("FURNITURE", 5), ("NOTES", 2), ("LOCKED", 1)):
        doc.layers.add(name, color=colour)
    doc.layers.get("LOCKED").lock()
    desk = doc.blocks.new(name="DESK")
    desk.add_lwpolyline([(-400, -300), (400, -300), (400, 300), (-400, 300)], close=True)
    msp = doc.modelspace()
    handles = {}
    for block, name, width, height, x in ROOMS:
        define_room(doc, block, width, height)
        area = width * height / 1e6
        perimeter = 2 * (width + height) / 1000
        insert = place(msp, block, (x, 0), {"NAME": name, "AREA": "%.2fsq.m." % area, "AUX": ""},
                       record("%.2fsq.m." % area, "%.2fm." % perimeter, name))
        handles[name] = insert.dxf.handle
    define_room(doc, "ROOM-GROSS_AREA", 24000, 5000)
    gross = place(msp, "ROOM-GROSS_AREA", (0, 0), {"NAME": "Floor 1", "AREA": "120.00sq.m.", "AUX": ""},
                  record("120.00sq.m.", "58.00m.", "GROSS AREA"), labels=(500, 5500))
    handles["Floor"] = gross.dxf.handle
    for label, at in (("desk1", (2000, 2000)), ("desk2", (12000, 2000))):
        handles[label] = msp.add_blockref("DESK", at, dxfattribs={"layer": "FURNITURE"}).dxf.handle
    msp.add_text("North wing", dxfattribs={"layer": "NOTES", "height": 300, "insert": (0, 7500)})
    handles["outline"] = msp.add_lwpolyline([(30000, 6000), (42000, 6000), (42000, 0), (30000, 0)],
                                            close=True).dxf.handle
    handles["open"] = msp.add_lwpolyline([(30000, -2000), (42000, -2000), (42000, -3000)]).dxf.handle
    handles["circle"] = msp.add_circle((8000, -9000), 4000).dxf.handle
    handles["line"] = msp.add_line((0, -2000), (5000, -2000)).dxf.handle
    handles["lockedcircle"] = msp.add_circle((20000, -9000), 2000, dxfattribs={"layer": "LOCKED"}).dxf.handle
    if lower_markers:
        # Made last, so that the entities above keep their handles.
        for name in ("marker-legend", "marker-piechart"):
            doc.blocks.new(name=name).add_circle((0, 0), 100)
    if kitchen_on_layout:
        # Moved with its labels, keeping its handle.
        kitchen = doc.entitydb[handles["Kitchen"]]
        msp.move_to_layout(kitchen, doc.layouts.get("Layout1"))
        kitchen.transform(Matrix44.chain(Matrix44.translate(-20000, 0, 0), Matrix44.scale(0.02),
                                         Matrix44.translate(100, 100, 0)))
        doc.header["$TILEMODE"] = 0
        handles["layoutdesk"] = doc.layouts.get("Layout1").add_blockref(
            "DESK", (140, 120), dxfattribs={"layer": "FURNITURE", "xscale": 0.02, "yscale": 0.02}).dxf.handle
        handles["modeldesk"] = msp.add_blockref(
            "DESK", (140, 120), dxfattribs={"layer": "FURNITURE", "xscale": 0.02, "yscale": 0.02}).dxf.handle
    if outlines_on_layout is not None:
        # The outline and the circle drawn on the sheet instead, keeping their handles, and no gross area.
        for name in ("outline", "circle"):
            msp.move_to_layout(doc.entitydb[handles[name]], doc.layouts.get("Layout1"))
        msp.delete_entity(gross)
        doc.blocks.delete_block("ROOM-GROSS_AREA", safe=False)
        doc.header["$TILEMODE"] = 0 if outlines_on_layout == "current" else 1
    doc.saveas(folder + "/" + file_name)
    with open(folder + "/handles.txt", "w") as out:
        for name, handle in handles.items():
            out.write("%s=%s\n" % (name, handle))


def fmt(v):
    return "%.3f" % (0.0 if abs(v) < 5e-4 else v)


def point(p):
    return "%s,%s" % (fmt(p[0]), fmt(p[1]))


def table(doc, entity):
    """Rows, columns, row heights, column widths and the cells row by row: a text, or the name of
    the block a block cell shows."""
    tags = list(entity.xtags.subclasses[-1])
    value = {}
    heights, widths, cells = [], [], []
    for tag in tags:
        if tag.code in (91, 92) and tag.code not in value:
            value[tag.code] = tag.value
        elif tag.code == 141:
            heights.append(fmt(tag.value))
        elif tag.code == 142:
            widths.append(fmt(tag.value))
        elif tag.code == 171:
            cells.append({"type": tag.value})
        elif tag.code == 1 and cells:
            cells[-1]["text"] = tag.value
        elif tag.code == 340 and cells:
            block = doc.entitydb.get(tag.value)
            cells[-1]["block"] = block.dxf.name if block is not None else "?"
    shown = [("block:" + c["block"]) if c["type"] == 2 else c.get("text", "") for c in cells]
    return "rows=%s|columns=%s|heights=%s|widths=%s|%s" % (
        value.get(91), value.get(92), ",".join(heights), ",".join(widths), ";".join(shown))


def dump(path):
    doc = ezdxf.readfile(path)
    msp = doc.modelspace()
    for layer in doc.layers:
        print("layer|%s|%s" % (layer.dxf.name, "on" if layer.is_on() else "off"))
    for entity in msp:
        kind = entity.dxftype()
        if kind == "INSERT":
            parts = ["insert", entity.dxf.name, entity.dxf.layer, point(entity.dxf.insert), fmt(entity.dxf.rotation)]
            parts += ["%s=%s" % (a.dxf.tag, a.dxf.text) for a in entity.attribs]
            print("|".join(parts))
            if entity.has_xdata("PE_URL"):
                links = [str(value) for code, value in entity.get_xdata("PE_URL") if code == 1000]
                print("hyperlink|%s|%s" % (entity.dxf.name, ";".join(links)))
            if entity.dxf.name.startswith("MARKER-"):
                for shape in entity.virtual_entities():
                    if shape.dxftype() == "LWPOLYLINE":
                        points = sorted(point(p) for p in shape.vertices_in_wcs())
                        print("outline|%s|%s" % (entity.dxf.name, ";".join(points)))
                    elif shape.dxftype() == "CIRCLE":
                        print("outline|%s|%s r%s" % (entity.dxf.name, point(shape.dxf.center), fmt(shape.dxf.radius)))
        elif kind == "HATCH":
            colour = entity.rgb
            print("hatch|%s|%s|%s|%s|%s" % (entity.dxf.layer, entity.dxf.pattern_name,
                                            fmt(entity.dxf.pattern_scale), fmt(entity.dxf.pattern_angle),
                                            "#%02X%02X%02X" % tuple(colour) if colour else entity.dxf.color))
        elif kind == "LWPOLYLINE":
            print("polyline|%s|%s|%s" % (entity.dxf.layer, "closed" if entity.closed else "open",
                                         ";".join(point(p) for p in entity.get_points("xy"))))
        elif kind == "CIRCLE":
            print("circle|%s|%s|%s" % (entity.dxf.layer, point(entity.dxf.center), fmt(entity.dxf.radius)))
        elif kind == "LINE":
            print("line|%s|%s|%s|%s" % (entity.dxf.layer, point(entity.dxf.start), point(entity.dxf.end),
                                        entity.dxf.linetype))
        elif kind == "TEXT":
            print("text|%s|%s|%s|%s" % (entity.dxf.layer, entity.dxf.text, point(entity.dxf.get("align_point") or entity.dxf.insert),
                                        fmt(math.degrees(math.radians(entity.dxf.rotation)))))
    for block in doc.blocks:
        if block.name.startswith("*"):
            continue
        for entity in block:
            kind = entity.dxftype()
            prefix = "block|%s|%s" % (block.name, kind)
            if kind == "LWPOLYLINE":
                print("%s|%s|%s" % (prefix, entity.dxf.layer, ";".join(
                    "%s b%s" % (point(p[:2]), fmt(p[2])) for p in entity.get_points("xyb"))))
            elif kind == "ATTDEF":
                print("%s|%s|%s|%s|%s|h%s|%s|%d,%d|%s" % (
                    prefix, entity.dxf.tag, entity.dxf.text, entity.dxf.layer, point(entity.dxf.insert),
                    fmt(entity.dxf.height), "const" if entity.is_const else "var", entity.dxf.halign,
                    entity.dxf.valign, point(entity.dxf.align_point) if entity.dxf.hasattr("align_point") else ""))
            elif kind == "HATCH":
                print("%s|%s|%s|%s" % (prefix, entity.dxf.layer, entity.dxf.pattern_name, fmt(entity.dxf.pattern_scale)))
            elif kind == "LINE":
                print("%s|%s|%s|%s" % (prefix, entity.dxf.layer, point(entity.dxf.start), point(entity.dxf.end)))
            elif kind == "CIRCLE":
                print("%s|%s|%s" % (prefix, point(entity.dxf.center), fmt(entity.dxf.radius)))
            elif kind == "ACAD_TABLE":
                print("%s|%s" % (prefix, table(doc, entity)))
            else:
                print(prefix)


def drawn(path, name):
    layout = ezdxf.readfile(path).layouts.get(name)
    sort = dict(layout.get_redraw_order())
    for entity in sorted(layout, key=lambda e: int(sort.get(e.dxf.handle, e.dxf.handle), 16)):
        kind = entity.dxftype()
        if kind == "HATCH":
            print("hatch|#%02X%02X%02X" % tuple(entity.rgb))
        elif kind == "INSERT":
            print("insert|" + entity.dxf.name)
        else:
            print(kind.lower())


if __name__ == "__main__":
    if sys.argv[1] == "dump":
        dump(sys.argv[2])
    elif sys.argv[1] == "drawn":
        drawn(sys.argv[2], sys.argv[3])
    else:
        report_plan(sys.argv[1])
        report_plan(sys.argv[1], "report_plan_ucs.dxf", 30)
        report_plan(sys.argv[1], "report_plan_lower.dxf", lower_markers=True)
        report_plan(sys.argv[1], "report_plan_sheet.dxf", outlines_on_layout="not current")
        report_plan(sys.argv[1], "report_plan_sheet_current.dxf", outlines_on_layout="current")
        # Last: its handles list names its desks too.
        report_plan(sys.argv[1], "report_plan_layout.dxf", kitchen_on_layout=True)
