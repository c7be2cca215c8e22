"""Heavy drawings as offices and sites keep them, and small files that multiply work, written with ezdxf.

    heavy_drawings.py FOLDER NAME[=SIZE] ...

Ordinary drawings (millimetres), each plotted by both earlier mains:
    brick.dxf, escher.dxf, honey.dxf   one 100 m x 70 m rectangle hatched in BRICK at 5, ESCHER at 10, HONEY at 10
    floor.dxf     SIZE rooms (1,000) of 7 m, each hatched in ESCHER at 20 as the colouring of a floor writes it
    trees.dxf     1,000 inserts of a tree symbol of 530 lines
    desks.dxf     6,000 inserts of a block of 100 lines
    office.dxf    SIZE rooms (2,000), each a space block with four desks of 150 segments standing in it
    longtext.dxf  one paragraph text of 400,000 characters wrapped in lines of some thousand words
    wraptext.dxf  one paragraph text of 16,000 words wrapped in a box that holds nearly all of them
    dashes.dxf    40,000 page-long lines in a dashed linetype whose gaps are finer than the page shows
Small files that multiply work:
    grid.dxf      two rooms and a grid of 30,000 by 30,000 cells of an empty block
    splines.dxf   65,536 placed cubic splines of 60 spans (blocks of 16 nested four deep)
    splinefill.dxf  65,536 placed hatches bounded by spline edges (blocks of 16 nested four deep)
    dashcopies.dxf  100 page-long lines in a linetype of dashes a few dots long, placed 1,000 times
    copies.dxf    a 100 m x 70 m rectangle hatched in ANSI31 at 40 (its lines a few dots apart) placed 500 times
"""
import math
import sys

import ezdxf


def new_doc():
    doc = ezdxf.new("R2010")
    doc.header["$INSUNITS"] = 4
    doc.appids.new("ADE")
    return doc


def rectangle_hatch(space, pattern, scale, w=100000, h=70000, at=(0, 0)):
    fill = space.add_hatch()
    x, y = at
    fill.paths.add_polyline_path([(x, y), (x + w, y), (x + w, y + h), (x, y + h)])
    fill.set_pattern_fill(pattern, scale=scale)
    return fill


def room(doc, i, x, y, size=7000):
    """A space block as the module makes them: its outline, labels and stored data."""
    name = "ROOM-%d" % i
    block = doc.blocks.new(name)
    block.add_lwpolyline([(0, 0), (size, 0), (size, size), (0, size)], close=True)
    for t, tag in enumerate(("AREA", "NAME", "AUX")):
        block.add_attdef(tag, (100, 1000 - 375.0 * t), dxfattribs={"height": 250})
    ref = doc.modelspace().add_blockref(name, (x, y))
    values = {"AREA": "49.00 sq m", "NAME": "R%d" % i, "AUX": "Office"}
    for t, tag in enumerate(("AREA", "NAME", "AUX")):
        ref.add_attrib(tag, values[tag], (x + 100, y + 1000 - 375.0 * t), dxfattribs={"height": 250})
    ref.set_xdata("ADE", [(1002, "{"), (1000, "AREA=49.00sq.m."), (1000, "PERIMETER=28.00m."),
                          (1000, "NAME=R%d" % i), (1000, "TAGTYPE=<Not Set>"), (1000, "AREA_TYPE=Office"),
                          (1002, "}")])
    return ref


def brick(doc, size):
    rectangle_hatch(doc.modelspace(), "BRICK", 5)


def escher(doc, size):
    rectangle_hatch(doc.modelspace(), "ESCHER", 10)


def honey(doc, size):
    rectangle_hatch(doc.modelspace(), "HONEY", 10)


def floor(doc, size):
    rooms = size or 1000
    across = int(math.ceil(math.sqrt(rooms)))
    for i in range(rooms):
        x, y = (i % across) * 8000.0, (i // across) * 8000.0
        room(doc, i, x, y)
        rectangle_hatch(doc.modelspace(), "ESCHER", 20, 7000, 7000, (x, y))


def tree_block(doc, name, lines):
    """A symbol drawn in short strokes, as trees and detailed furniture are."""
    block = doc.blocks.new(name)
    for k in range(lines):
        a = 2 * math.pi * k / lines
        r = 300 + 200 * math.sin(7 * a)
        block.add_line((0, 0), (r * math.cos(a), r * math.sin(a)))
    return block


def trees(doc, size):
    tree_block(doc, "TREE", 530)
    for k in range(size or 1000):
        doc.modelspace().add_blockref("TREE", ((k % 40) * 1000, (k // 40) * 1000))


def desks(doc, size):
    tree_block(doc, "CHAIR", 100)
    for k in range(size or 6000):
        doc.modelspace().add_blockref("CHAIR", ((k % 100) * 1000, (k // 100) * 1000))


def office(doc, size):
    desk = doc.blocks.new("DESK")
    segments = [(400 * math.cos(2 * math.pi * k / 150), 300 * math.sin(2 * math.pi * k / 150)) for k in range(150)]
    for k in range(150):
        desk.add_line(segments[k], segments[(k + 1) % 150])
    rooms = size or 2000
    across = int(math.ceil(math.sqrt(rooms)))
    for i in range(rooms):
        x, y = (i % across) * 8000.0, (i // across) * 8000.0
        room(doc, i, x, y)
        for d in range(4):
            doc.modelspace().add_blockref("DESK", (x + 1000 + d * 1500, y + 5000))


def grid(doc, size):
    room(doc, 1, 0, 0)
    room(doc, 2, 8000, 0)
    doc.blocks.new("NOTHING")
    doc.modelspace().add_blockref("NOTHING", (0, -5000)).grid(size=(30000, 30000), spacing=(200, 200))


def nest(doc, name, levels, fan=16):
    below = name
    for level in range(1, levels + 1):
        block = doc.blocks.new(f"{name}{level}")
        for k in range(fan):
            block.add_blockref(below, (k * 1000 * fan ** (level - 1), 0))
        below = block.name
    doc.modelspace().add_blockref(below, (0, 0))


def splines(doc, size):
    block = doc.blocks.new("CURVE")
    block.add_open_spline([(k * 10, 100 * math.sin(k)) for k in range(63)], degree=3)
    nest(doc, "CURVE", 4)


def splinefill(doc, size):
    block = doc.blocks.new("LEAF")
    fill = block.add_hatch()
    edges = fill.paths.add_edge_path()
    points = [(k * 10, 100 * math.sin(k)) for k in range(200)] + [(1990, -300), (0, -300)]
    edges.add_spline(control_points=points, degree=3)
    fill.set_pattern_fill("ANSI31", scale=50)
    nest(doc, "LEAF", 4)


def longtext(doc, size):
    # Wrapped some thousand words a line.
    doc.modelspace().add_mtext("word " * 80000, dxfattribs={"char_height": 250, "insert": (0, 0), "width": 1e6})


def wraptext(doc, size):
    text = " ".join("w%d" % k for k in range(16000))
    doc.modelspace().add_mtext(text, dxfattribs={"char_height": 2.5, "insert": (0, 0), "width": 2.5 * 16000 * 4})


def dashes(doc, size):
    # 100 m square on a page of some 1,650 dots: a dot is some 60 mm, and these gaps half of one.
    doc.linetypes.add("FINE", pattern=[150, 120, -30], description="dashes finer than the page")
    space = doc.modelspace()
    for k in range(size or 40000):
        space.add_line((0, k * 2.5), (100000, k * 2.5), dxfattribs={"linetype": "FINE"})


def dashcopies(doc, size):
    # Dashes and gaps of some three dots each, on 100 lines placed 1,000 times.
    doc.linetypes.add("SHOWN", pattern=[240, 120, -120], description="dashes the page shows")
    block = doc.blocks.new("LINES")
    for k in range(100):
        block.add_line((0, k * 700), (100000, k * 700), dxfattribs={"linetype": "SHOWN"})
    for k in range(1000):
        doc.modelspace().add_blockref("LINES", (0, k * 0.5))


def copies(doc, size):
    block = doc.blocks.new("FLOOR")
    rectangle_hatch(block, "ANSI31", 40)
    for k in range(500):
        doc.modelspace().add_blockref("FLOOR", (k * 10, 0))


if __name__ == "__main__":
    folder = sys.argv[1]
    for wanted in sys.argv[2:]:
        name, _, size = wanted.partition("=")
        doc = new_doc()
        globals()[name.removesuffix(".dxf")](doc, int(size) if size else 0)
        doc.saveas(f"{folder}/{name}")
