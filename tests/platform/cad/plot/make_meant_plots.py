#!/usr/bin/env python3
"""Drawings whose plots must show what they mean, each in the square 0..100: texts, paragraphs, attributes and
hatches in mirrored and stretched inserts, text generation flags, dash-dot lines, a viewport's dashes, hatch
styles, tabs, attribute definitions and paragraph columns.

Usage: make_meant_plots.py FOLDER
"""
import sys

import ezdxf


def new(version="R2018"):
    doc = ezdxf.new(version, setup=True)
    return doc, doc.modelspace()


def inserts(folder):
    doc, msp = new()
    # A text, a paragraph and a constant attribute, each on its baseline at block y 0 from x 2, 5 high.
    block = doc.blocks.new("LABELS")
    block.add_text("HH", height=5, dxfattribs={"insert": (2, 0)})
    block.add_mtext("HH", dxfattribs={"insert": (2, -15), "char_height": 5})
    block.add_attdef("NOTE", (2, -40), text="HH", dxfattribs={"height": 5, "flags": 2})
    # Mirrored about x 40; stretched twice as wide from x 55.
    msp.add_blockref("LABELS", (40, 90), dxfattribs={"xscale": -1})
    msp.add_blockref("LABELS", (55, 90), dxfattribs={"xscale": 2})
    # A family of lines at 45 degrees through the block's origin, a hundred apart: one diagonal of the square.
    diagonal = doc.blocks.new("DIAGONAL")
    hatch = diagonal.add_hatch()
    hatch.set_pattern_fill("ONE", definition=[[45, (0, 0), (-70.7107, 70.7107), []]])
    hatch.paths.add_polyline_path([(0, 0), (20, 0), (20, 20), (0, 20)], is_closed=True)
    msp.add_blockref("DIAGONAL", (40, 10), dxfattribs={"xscale": -1})
    # Level lines 5 apart, stretched twice as tall: 10 apart.
    level = doc.blocks.new("LEVEL")
    hatch = level.add_hatch()
    hatch.set_pattern_fill("LEVEL", definition=[[0, (0, 0), (0, 5), []]])
    hatch.paths.add_polyline_path([(0, 0), (20, 0), (20, 10), (0, 10)], is_closed=True)
    msp.add_blockref("LEVEL", (60, 10), dxfattribs={"yscale": 2})
    doc.saveas(f"{folder}/inserts.dxf")


def dimensions(folder):
    doc, msp = new()
    # A dimension whose text reads "L", 5 high, centred over its line at y 10 from x 0 to 30.
    block = doc.blocks.new("MEASURED")
    big = {"dimtxt": 5, "dimasz": 2, "dimexe": 1, "dimexo": 1, "dimgap": 1, "dimtad": 1}
    block.add_linear_dim(base=(15, 10), p1=(0, 0), p2=(30, 0), text="L", override=big).render()
    # Mirrored about x 40, and stretched one and a half times as wide from x 55.
    msp.add_blockref("MEASURED", (40, 50), dxfattribs={"xscale": -1})
    msp.add_blockref("MEASURED", (55, 50), dxfattribs={"xscale": 1.5})
    doc.saveas(f"{folder}/dimensions.dxf")


def generation(folder):
    doc, msp = new()
    # Backward text runs to the left of its point, upside-down text hangs under its baseline.
    msp.add_text("HHH", height=5, dxfattribs={"insert": (50, 80), "text_generation_flag": 2})
    msp.add_text("HHH", height=5, dxfattribs={"insert": (50, 50), "text_generation_flag": 4})
    block = doc.blocks.new("TAGGED")
    block.add_attdef("NAME", (0, 0), dxfattribs={"height": 5})
    ref = msp.add_blockref("TAGGED", (50, 20))
    ref.add_attrib("NAME", "HHH", (50, 20), dxfattribs={"height": 5, "text_generation_flag": 2})
    doc.saveas(f"{folder}/generation.dxf")


def dots(folder):
    doc, msp = new()
    # A dash of 10, a gap of 5, a dot, a gap of 5: no bare run longer than 5.
    doc.linetypes.new("DASHDOTTED", dxfattribs={"description": "Dash dot", "pattern": [20, 10, -5, 0, -5]})
    msp.add_line((5, 80), (95, 80), dxfattribs={"linetype": "DASHDOTTED"})
    # Level lines 10 apart, dashed and dotted alike.
    hatch = msp.add_hatch()
    hatch.set_pattern_fill("DOTTED", definition=[[0, (0, 0), (0, 10), [10, -5, 0, -5]]])
    hatch.paths.add_polyline_path([(5, 5), (95, 5), (95, 55), (5, 55)], is_closed=True)
    doc.saveas(f"{folder}/dots.dxf")


def viewport(folder):
    doc, msp = new()
    # Dashes of 10 and gaps of 10, seen through a viewport at a quarter of their size.
    doc.linetypes.new("LONGDASH", dxfattribs={"description": "Long dash", "pattern": [20, 10, -10]})
    msp.add_line((-200, 100), (600, 100), dxfattribs={"linetype": "LONGDASH"})
    paper = doc.layout("Layout1")
    paper.add_viewport(center=(50, 50), size=(90, 60), view_center_point=(200, 100), view_height=240)
    doc.saveas(f"{folder}/viewport.dxf")


def styles(folder):
    doc, msp = new()
    # A square with an island holding an island, filled in each style: normal, outer and ignore.
    for n, style in enumerate([0, 1, 2]):
        x = 5 + 32 * n
        hatch = msp.add_hatch()
        hatch.dxf.hatch_style = style
        for inset in (0, 6, 11):
            hatch.paths.add_polyline_path(
                [(x + inset, 60 + inset), (x + 26 - inset, 60 + inset), (x + 26 - inset, 86 - inset),
                 (x + inset, 86 - inset)], is_closed=True)
        pattern = msp.add_hatch()
        pattern.set_pattern_fill("ANSI31", scale=0.5, style=style)
        for inset in (0, 6, 11):
            pattern.paths.add_polyline_path(
                [(x + inset, 10 + inset), (x + 26 - inset, 10 + inset), (x + 26 - inset, 36 - inset),
                 (x + inset, 36 - inset)], is_closed=True)
    doc.saveas(f"{folder}/styles.dxf")
    # An outer hatch whose outer loop is written three thousand and one times over: one loop all the same.
    doc, msp = new()
    hatch = msp.add_hatch()
    hatch.dxf.hatch_style = 1
    for _ in range(3001):
        hatch.paths.add_polyline_path([(10, 10), (90, 10), (90, 90), (10, 90)], is_closed=True)
    for inset in (20, 35):
        hatch.paths.add_polyline_path([(10 + inset, 10 + inset), (90 - inset, 10 + inset), (90 - inset, 90 - inset),
                                       (10 + inset, 90 - inset)], is_closed=True)
    doc.saveas(f"{folder}/twins.dxf")


def tabs(folder):
    doc, msp = new()
    # A tab as stored (^I) and as a raw tab: "A", then "B" at the next stop.
    msp.add_mtext("A^IB", dxfattribs={"insert": (10, 90), "char_height": 5})
    msp.add_mtext("A\tB", dxfattribs={"insert": (10, 70), "char_height": 5})
    block = doc.blocks.new("TABBED")
    block.add_attdef("CODE", (0, 0), dxfattribs={"height": 5})
    ref = msp.add_blockref("TABBED", (10, 45))
    ref.add_attrib("CODE", "A^IB", (10, 45), dxfattribs={"height": 5})
    doc.saveas(f"{folder}/tabs.dxf")


def definitions(folder):
    doc, msp = new()
    # An attribute definition standing in model space, its tag far longer than its value.
    msp.add_attdef("WWWWWW", (10, 50), text="i", dxfattribs={"height": 5})
    doc.saveas(f"{folder}/definitions.dxf")


def columns(folder):
    doc, msp = new()
    # Static columns 30 wide, 5 apart from x 10: "RIGHT" heads the second column at x 45.
    msp.add_mtext_static_columns(["LEFT", "RIGHT"], width=30, gutter_width=5, height=20,
                                 dxfattribs={"insert": (10, 90), "char_height": 5})
    # Columns 14 high: two lines fill the first, the third heads the second.
    msp.add_mtext_dynamic_auto_height_columns("ONE\\PTWO\\PTHREE", width=30, gutter_width=5, height=14, count=2,
                                              dxfattribs={"insert": (10, 50), "char_height": 5})
    doc.saveas(f"{folder}/columns.dxf")


def extents(folder):
    # A bottom-aligned title over a framed plan: its letters stand above the frame, and the plot holds them.
    doc, msp = new()
    for a, b in [((0, 0), (100, 0)), ((100, 0), (100, 100)), ((100, 100), (0, 100)), ((0, 100), (0, 0))]:
        msp.add_line(a, b)
    msp.add_text("Hello", height=20).set_placement((10, 85), align=ezdxf.enums.TextEntityAlignment.BOTTOM_LEFT)
    doc.saveas(f"{folder}/title.dxf")
    # A text near the frame's right edge whose codes draw no characters.
    doc, msp = new()
    for a, b in [((0, 0), (100, 0)), ((100, 0), (100, 100)), ((100, 100), (0, 100)), ((0, 100), (0, 0))]:
        msp.add_line(a, b)
    msp.add_text("%%u%%o%%k%%u%%o%%kX", height=2, dxfattribs={"insert": (95, 50)})
    doc.saveas(f"{folder}/codes.dxf")
    # A spline whose control polygon rises to 200, its curve to 100.
    doc, msp = new()
    msp.add_open_spline([(0, 0), (10, 200), (20, 0)], degree=2)
    doc.saveas(f"{folder}/spline.dxf")
    # A hatch bounded by a line and one cubic span from (80, 10) round to (20, 10), rising to y 70.
    doc, msp = new()
    hatch = msp.add_hatch()
    edges = hatch.paths.add_edge_path()
    edges.add_line((20, 10), (80, 10))
    edges.add_spline(control_points=[(80, 10), (130, 90), (-30, 90), (20, 10)], knot_values=[0, 0, 0, 0, 1, 1, 1, 1],
                     degree=3)
    doc.saveas(f"{folder}/spline_hatch.dxf")


if __name__ == "__main__":
    out = sys.argv[1]
    for make in (inserts, dimensions, generation, dots, viewport, styles, tabs, definitions, columns, extents):
        make(out)
