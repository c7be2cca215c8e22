"""Drawings as other programs write them, and what ezdxf finds in the copies cadhost saves of them.

    other_writers.py write FOLDER      writes the drawings below into FOLDER
    other_writers.py check SAVED       prints "audit: E errors, F fixes", then one line per entity of model
                                       space: "TYPE LAYER COLOUR values", the values those of its kind
                                       (an insert's scales, a polyline's vertices and closure, an
                                       ellipse's centre, axis, ratio and parameters)
    other_writers.py objects SAVED     prints how many dictionaries of each standard name the copy holds
                                       ("ACAD_LAYOUT 1 ...") and how many objects the root lists under none
    other_writers.py vports SAVED      prints the copy's viewport records by name, "NAME: N"

Each drawing is written the way the named writer writes it: ezdxf writes the drawing and its records
are then set as that writer sets them, or, for minimal writers, the file is written by hand.
    librecad_inserts.dxf   a 2D CAD program's inserts of a red square "SQ" (10 by 10): every insert with
                           its X, Y and Z scales and rotation written out, the Z scale 0: (2, 1) at
                           (0, 0), mirrored (1.5, -1.5) at (40, 0), three at 0.5 at (70, 0), (80, 0),
                           (90, 0); librecad_reference.dxf the same inserts with a Z scale of 1
    dxflib_layers.dxf      an older dxflib writer's lines, circles and a paragraph text, their layer,
                           colour, linetype, lineweight and linetype scale after the subclass marker, on layers
                           "CUT:DEPTH=3" (red) and "WALLS" (blue); its arcs with them in the common
                           part; the current layer "CUT:DEPTH=3"; dxflib_reference.dxf the same
                           entities on layers "CUT_DEPTH_3" and "WALLS", written by ezdxf
    no_markers.dxf         a minimal writer's entities without any subclass marker and without a
                           header or tables: a closed red LWPOLYLINE rectangle (0,0)-(10,5) on layer
                           WALLS, a LINE and a TEXT beside it, and an ELLIPSE centred at (20, 2.5)
    ellipse_entity_part.dxf  an ellipse whose record holds its common part's marker and not its own
                           (as a program behind tests/data/dxf/duplicate_handles.dxf writes them);
                           ellipse_reference.dxf the same ellipse, written by ezdxf
    bare_objects.dxf       a small exporter's drawing: a line in ENTITIES, and an OBJECTS section holding
                           a bare root dictionary (no handle, no entries)
    tiled_vports.dxf       a viewport table holding "*Active" as three tiles and "PLAN" as two
"""
import sys

import ezdxf

SQUARE_INSERTS = [((0, 0), (2, 1)), ((40, 0), (1.5, -1.5)), ((70, 0), (0.5, 0.5)), ((80, 0), (0.5, 0.5)),
                  ((90, 0), (0.5, 0.5))]


def tags_of(path):
    lines = open(path, encoding="utf8").read().split("\n")
    return [(int(lines[i]), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def write_tags(path, tags):
    with open(path, "w", encoding="utf8") as out:
        for code, value in tags:
            out.write("%3d\n%s\n" % (code, value))


def records(tags):
    """The tags parted into records, each opening with its 0 group."""
    out = []
    for tag in tags:
        if tag[0] == 0 or not out:
            out.append([])
        out[-1].append(tag)
    return out


def joined(recs):
    return [tag for rec in recs for tag in rec]


def librecad_inserts(folder):
    for name, zscale in (("librecad_inserts.dxf", "0.0"), ("librecad_reference.dxf", "1.0")):
        doc = ezdxf.new("R2007")
        square = doc.blocks.new("SQ")
        for a, b in (((0, 0), (10, 0)), ((10, 0), (10, 10)), ((10, 10), (0, 10)), ((0, 10), (0, 0))):
            square.add_line(a, b, dxfattribs={"color": 1})
        square.add_line((0, 0), (3, 7), dxfattribs={"color": 1})
        for at, _ in SQUARE_INSERTS:
            doc.modelspace().add_blockref("SQ", at)
        path = "%s/%s" % (folder, name)
        doc.saveas(path)
        recs = records(tags_of(path))
        scales = iter(SQUARE_INSERTS)
        for rec in recs:
            if rec[0] != (0, "INSERT"):
                continue
            _, (sx, sy) = next(scales)
            rec[:] = [t for t in rec if t[0] not in (41, 42, 43, 50)]
            rec.extend([(41, repr(float(sx))), (42, repr(float(sy))), (43, zscale), (50, "0.0")])
        write_tags(path, joined(recs))


COMMON = (8, 62, 6, 370, 48, 420)


def dxflib_layers(folder):
    doc = ezdxf.new("R2000")
    doc.layers.add("CUT_COLON_DEPTH_EQ_3", color=1)
    doc.layers.add("WALLS", color=5)
    doc.header["$CLAYER"] = "CUT_COLON_DEPTH_EQ_3"
    msp = doc.modelspace()
    for i, layer in enumerate(("CUT_COLON_DEPTH_EQ_3", "WALLS", "CUT_COLON_DEPTH_EQ_3")):
        attribs = {"layer": layer, "color": 256, "linetype": "BYLAYER", "lineweight": -1, "ltscale": 1.0}
        msp.add_line((0, i * 10), (30, i * 10 + 5), dxfattribs=attribs)
        msp.add_circle((40, i * 10), 3, dxfattribs=attribs)
        msp.add_arc((55, i * 10), 3, 0, 180, dxfattribs=attribs)
    msp.add_mtext("Depth 3", dxfattribs={"layer": "CUT_COLON_DEPTH_EQ_3", "color": 256, "insert": (0, 30),
                                         "char_height": 2.5})
    doc.saveas("%s/dxflib_reference.dxf" % folder)
    recs = records(tags_of("%s/dxflib_reference.dxf" % folder))
    for rec in recs:
        if rec[0][1] not in ("LINE", "CIRCLE", "MTEXT"):
            continue
        # 100 AcDbEntity 100 AcDbLine 8 LAYER 62 256 ...: the common groups after the body's marker.
        common = [t for t in rec if t[0] in COMMON]
        rest = [t for t in rec if t[0] not in COMMON]
        at = [i for i, t in enumerate(rest) if t[0] == 100][1] + 1
        rec[:] = rest[:at] + common + rest[at:]
    text = joined(recs)
    write_tags("%s/dxflib_layers.dxf" % folder,
               [(c, v.replace("CUT_COLON_DEPTH_EQ_3", "CUT:DEPTH=3")) for c, v in text])
    ref = [(c, v.replace("CUT_COLON_DEPTH_EQ_3", "CUT_DEPTH_3")) for c, v in tags_of("%s/dxflib_reference.dxf" % folder)]
    write_tags("%s/dxflib_reference.dxf" % folder, ref)


def no_markers(folder):
    write_tags("%s/no_markers.dxf" % folder, [
        (0, "SECTION"), (2, "ENTITIES"),
        (0, "LWPOLYLINE"), (8, "WALLS"), (62, "1"), (90, "4"), (70, "1"),
        (10, "0.0"), (20, "0.0"), (10, "10.0"), (20, "0.0"), (10, "10.0"), (20, "5.0"), (10, "0.0"), (20, "5.0"),
        (0, "LINE"), (8, "WALLS"), (10, "0.0"), (20, "8.0"), (30, "0.0"), (11, "10.0"), (21, "8.0"), (31, "0.0"),
        (0, "TEXT"), (8, "0"), (10, "1.0"), (20, "1.0"), (30, "0.0"), (40, "1.0"), (1, "ROOM"),
        (0, "ELLIPSE"), (8, "0"), (62, "5"), (10, "20.0"), (20, "2.5"), (30, "0.0"), (11, "4.0"), (21, "0.0"),
        (31, "0.0"), (40, "0.5"), (41, "0.0"), (42, "6.283185307179586"),
        (0, "ENDSEC"), (0, "EOF")])


def ellipse_entity_part(folder):
    doc = ezdxf.new("R2000")
    doc.modelspace().add_ellipse((50, 50), (20, 0), 0.5, 0, 3.141592653589793, dxfattribs={"color": 5})
    doc.modelspace().add_line((0, 0), (100, 100), dxfattribs={"color": 3})
    doc.saveas("%s/ellipse_reference.dxf" % folder)
    recs = records(tags_of("%s/ellipse_reference.dxf" % folder))
    for rec in recs:
        if rec[0] == (0, "ELLIPSE"):
            rec[:] = [t for t in rec if t != (100, "AcDbEllipse")]
    write_tags("%s/ellipse_entity_part.dxf" % folder, joined(recs))


def bare_objects(folder):
    write_tags("%s/bare_objects.dxf" % folder, [
        (0, "SECTION"), (2, "ENTITIES"),
        (0, "LINE"), (8, "0"), (10, "0.0"), (20, "0.0"), (30, "0.0"), (11, "10.0"), (21, "10.0"), (31, "0.0"),
        (0, "ENDSEC"), (0, "SECTION"), (2, "OBJECTS"), (0, "DICTIONARY"), (0, "ENDSEC"), (0, "EOF")])


def tiled_vports(folder):
    doc = ezdxf.new("R2010")
    for name, tiles in (("*Active", 3), ("PLAN", 2)):
        for k in range(tiles if name != "*Active" else tiles - 1):
            vport = doc.viewports.new(name)
            vport.dxf.lower_left = (k / tiles, 0)
            vport.dxf.upper_right = ((k + 1) / tiles, 1)
    doc.modelspace().add_line((0, 0), (1, 1))
    doc.saveas("%s/tiled_vports.dxf" % folder)


def write(folder):
    librecad_inserts(folder)
    dxflib_layers(folder)
    no_markers(folder)
    ellipse_entity_part(folder)
    bare_objects(folder)
    tiled_vports(folder)


def check(saved):
    doc = ezdxf.readfile(saved)
    auditor = doc.audit()
    print("audit: %d errors, %d fixes" % (len(auditor.errors), len(auditor.fixes)))
    for message in auditor.errors + auditor.fixes:
        print("  " + message.message)
    for e in doc.modelspace():
        kind = e.dxftype()
        values = ""
        if kind == "INSERT":
            values = "%g %g %g" % (e.dxf.xscale, e.dxf.yscale, e.dxf.zscale)
        elif kind == "LWPOLYLINE":
            values = "%s closed=%d" % (" ".join("%g,%g" % (p[0], p[1]) for p in e.get_points()), e.closed)
        elif kind == "ELLIPSE":
            values = "%g,%g %g,%g %g %g %g" % (e.dxf.center.x, e.dxf.center.y, e.dxf.major_axis.x, e.dxf.major_axis.y,
                                               e.dxf.ratio, e.dxf.start_param, e.dxf.end_param)
        print(("%s %s %d %s" % (kind, e.dxf.layer, e.dxf.color, values)).rstrip())


def objects(saved):
    doc = ezdxf.readfile(saved)
    root = doc.rootdict
    listed = {v.dxf.handle for _, v in root.items()}
    kinds = {"ACAD_LAYOUT": "LAYOUT", "ACAD_GROUP": "GROUP", "ACAD_MLINESTYLE": "MLINESTYLE"}
    counts = {"unlisted": 0}
    dictionaries = [o for o in doc.objects if o.dxftype() == "DICTIONARY" and o is not root]
    for o in dictionaries:
        if o.dxf.owner == root.dxf.handle and o.dxf.handle not in listed:
            counts["unlisted"] += 1
    for name, kind in kinds.items():
        # The one the root lists, and any other holding what it holds.
        listed_one = root.get(name)
        counts[name] = sum(1 for o in dictionaries if o is listed_one or any(
            getattr(v, "dxftype", lambda: "")() == kind for _, v in o.items()))
    print(" ".join("%s %d" % (k, counts[k]) for k in ("ACAD_LAYOUT", "ACAD_GROUP", "ACAD_MLINESTYLE", "unlisted")))


def vports(saved):
    doc = ezdxf.readfile(saved)
    counts = {}
    for v in doc.viewports:
        counts[v.dxf.name] = counts.get(v.dxf.name, 0) + 1
    for name in sorted(counts):
        print("%s: %d" % (name, counts[name]))


if __name__ == "__main__":
    {"write": write, "check": check, "objects": objects, "vports": vports}[sys.argv[1]](sys.argv[2])
