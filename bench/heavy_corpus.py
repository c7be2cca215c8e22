#!/usr/bin/python3
"""Writes a corpus of ordinary heavy drawings with ezdxf, as offices and sites keep them, for whole cadhost runs.

usage: bench/heavy_corpus.py ROOMS FOLDER

Every drawing is in millimetres and holds ROOMS space blocks (outline, labels, stored data) on a square floor,
each room with what its kind of drawing is heavy with:
    office_ROOMS.dxf    four desks of 150 segments and two chairs of 100 in every room
    floor_ROOMS.dxf     every room hatched as the colouring of a floor writes it: the standard patterns in turn,
                        at the scales the colouring and users choose (1, 5, 10, 20, 50)
    site_ROOMS.dxf      a tree symbol of 530 lines beside every room, a shrub of 120 in every other
    texts_ROOMS.dxf     a paragraph text of 400 words wrapped in every tenth room, a long one of 40,000 words
    linetypes_ROOMS.dxf every room's walls in fine dashed linetypes (dashes the page shows and finer ones)
    dimensions_ROOMS.dxf  two linear dimensions on every room
"""
import math
import sys

import ezdxf
from ezdxf.tools import pattern

SCALES = (1, 5, 10, 20, 50)


def new_doc():
    doc = ezdxf.new("R2010")
    doc.header["$INSUNITS"] = 4
    doc.appids.new("ADE")
    for layer in ("SPACES", "FURNITURE", "LABELS", "HATCH", "PLANTING", "NOTES", "DIMS"):
        doc.layers.new(layer)
    return doc


def rooms(doc, count, size=7000, pitch=8000):
    """Space blocks as the module makes them; the corner of each room."""
    msp = doc.modelspace()
    across = int(math.ceil(math.sqrt(count)))
    corners = []
    for i in range(count):
        x, y = (i % across) * pitch * 1.0, (i // across) * pitch * 1.0
        name = "ROOM-%d" % i
        block = doc.blocks.new(name)
        block.add_lwpolyline([(0, 0), (size, 0), (size, size), (0, size)], close=True, dxfattribs={"layer": "SPACES"})
        for t, tag in enumerate(("AREA", "NAME", "AUX")):
            block.add_attdef(tag, (100, 1000 - 375.0 * t), dxfattribs={"height": 250})
        ref = msp.add_blockref(name, (x, y), dxfattribs={"layer": "SPACES"})
        values = {"AREA": "49.00 sq m", "NAME": "R%d" % i, "AUX": "Office"}
        for t, tag in enumerate(("AREA", "NAME", "AUX")):
            ref.add_attrib(tag, values[tag], (x + 100, y + 1000 - 375.0 * t),
                           dxfattribs={"height": 250, "layer": "LABELS"})
        ref.set_xdata("ADE", [(1002, "{"), (1000, "AREA=49.00sq.m."), (1000, "PERIMETER=28.00m."),
                              (1000, "NAME=R%d" % i), (1000, "TAGTYPE=<Not Set>"), (1000, "AREA_TYPE=Office"),
                              (1002, "}")])
        corners.append((x, y))
    return corners


def symbol(doc, name, strokes, radius):
    block = doc.blocks.new(name)
    for k in range(strokes):
        a = 2 * math.pi * k / strokes
        r = radius * (0.6 + 0.4 * math.sin(7 * a))
        block.add_line((0, 0), (r * math.cos(a), r * math.sin(a)))
    return block


def outline(doc, name, segments, w, h):
    block = doc.blocks.new(name)
    points = [(w * math.cos(2 * math.pi * k / segments), h * math.sin(2 * math.pi * k / segments))
              for k in range(segments)]
    for k in range(segments):
        block.add_line(points[k], points[(k + 1) % segments])


def office(doc, corners):
    outline(doc, "DESK", 150, 700, 400)
    outline(doc, "CHAIR", 100, 250, 250)
    msp = doc.modelspace()
    for x, y in corners:
        for d in range(4):
            msp.add_blockref("DESK", (x + 1200 + (d % 2) * 2500, y + 2500 + (d // 2) * 2500),
                             dxfattribs={"layer": "FURNITURE"})
        for d in range(2):
            msp.add_blockref("CHAIR", (x + 1200 + d * 2500, y + 1500), dxfattribs={"layer": "FURNITURE"})


def floor(doc, corners):
    names = sorted(pattern.load().keys())
    msp = doc.modelspace()
    for i, (x, y) in enumerate(corners):
        fill = msp.add_hatch(dxfattribs={"layer": "HATCH"})
        fill.paths.add_polyline_path([(x, y), (x + 7000, y), (x + 7000, y + 7000), (x, y + 7000)])
        fill.set_pattern_fill(names[i % len(names)], scale=SCALES[(i // len(names)) % len(SCALES)])


def site(doc, corners):
    symbol(doc, "TREE", 530, 900)
    symbol(doc, "SHRUB", 120, 400)
    msp = doc.modelspace()
    for i, (x, y) in enumerate(corners):
        msp.add_blockref("TREE", (x + 7500, y + 7500), dxfattribs={"layer": "PLANTING"})
        if i % 2 == 0:
            msp.add_blockref("SHRUB", (x + 3500, y + 3500), dxfattribs={"layer": "PLANTING"})


def texts(doc, corners):
    msp = doc.modelspace()
    words = " ".join("paragraph%d" % k for k in range(400))
    for i, (x, y) in enumerate(corners):
        if i % 10 == 0:
            msp.add_mtext(words, dxfattribs={"char_height": 60, "insert": (x + 200, y + 6800), "width": 6600,
                                             "layer": "NOTES"})
    msp.add_mtext(" ".join("note%d" % k for k in range(40000)),
                  dxfattribs={"char_height": 250, "insert": (0, -2000), "width": 500000, "layer": "NOTES"})


def linetypes(doc, corners):
    doc.linetypes.add("SHOWN", pattern=[600, 400, -200], description="dashes the page shows")
    doc.linetypes.add("FINER", pattern=[60, 50, -10], description="dashes finer than the page")
    msp = doc.modelspace()
    for i, (x, y) in enumerate(corners):
        kind = "SHOWN" if i % 2 else "FINER"
        msp.add_lwpolyline([(x - 200, y - 200), (x + 7200, y - 200), (x + 7200, y + 7200), (x - 200, y + 7200)],
                           close=True, dxfattribs={"linetype": kind})


def dimensions(doc, corners):
    msp = doc.modelspace()
    for x, y in corners:
        msp.add_linear_dim(base=(x, y - 400), p1=(x, y), p2=(x + 7000, y), dxfattribs={"layer": "DIMS"}).render()
        msp.add_linear_dim(base=(x - 400, y), p1=(x, y), p2=(x, y + 7000), angle=90,
                           dxfattribs={"layer": "DIMS"}).render()


def main():
    count, folder = int(sys.argv[1]), sys.argv[2]
    for name, fill in (("office", office), ("floor", floor), ("site", site), ("texts", texts),
                       ("linetypes", linetypes), ("dimensions", dimensions)):
        doc = new_doc()
        fill(doc, rooms(doc, count))
        doc.saveas("%s/%s_%d.dxf" % (folder, name, count))


if __name__ == "__main__":
    main()
