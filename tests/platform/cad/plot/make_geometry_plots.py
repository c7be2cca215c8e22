#!/usr/bin/env python3
"""Writes one drawing per kind of geometry into the folder given, each inside a 0..100 frame of lines so
that its plot maps drawing units to pixels the same way: hatches with circle islands, linetypes, polyline
widths, filled solids and traces, staggered brick hatches, wipeouts, and the rarer curves and faces."""
import sys

import ezdxf


def framed(setup=False):
    doc = ezdxf.new("R2010", setup=setup)
    msp = doc.modelspace()
    for a, b in [((0, 0), (100, 0)), ((100, 0), (100, 100)), ((100, 100), (0, 100)), ((0, 100), (0, 0))]:
        msp.add_line(a, b)
    return doc, msp


def circle_hatches(folder):
    doc, msp = framed()
    # A square with a round island at (30, 50), and a lone round hatch at (70, 50).
    island = msp.add_hatch(color=1)
    island.paths.add_polyline_path([(10, 10), (50, 10), (50, 90), (10, 90)], is_closed=True)
    edges = island.paths.add_edge_path()
    edges.add_arc((30, 50), 10, 0, 360)
    lone = msp.add_hatch(color=1)
    lone.paths.add_edge_path().add_arc((70, 50), 10, 0, 360)
    # Bounded by a line and a spline edge whose curve rises to y 30 under its control points at y 35.
    arch = msp.add_hatch(color=1)
    edges = arch.paths.add_edge_path()
    edges.add_line((60, 15), (90, 15))
    edges.add_spline(control_points=[(90, 15), (90, 35), (60, 35), (60, 15)], knot_values=[0, 0, 0, 0, 1, 1, 1, 1], degree=3)
    # A gradient from red at x 55 to blue at x 95.
    gradient = msp.add_hatch()
    gradient.set_gradient((255, 0, 0), (0, 0, 255), rotation=0)
    gradient.paths.add_polyline_path([(55, 70), (95, 70), (95, 90), (55, 90)], is_closed=True)
    doc.saveas(f"{folder}/circle_hatches.dxf")


def linetypes(folder):
    doc, msp = framed(setup=True)
    doc.header["$LTSCALE"] = 10  # DASHED: dashes of 12.7, gaps of 2.54
    doc.linetypes.new("HIDDEN", dxfattribs={"description": "Hidden", "pattern": [0.9525, 0.635, -0.3175]})
    doc.layers.add("CENTRES", linetype="CENTER")
    msp.add_line((5, 90), (95, 90), dxfattribs={"linetype": "DASHED"})
    msp.add_line((5, 70), (95, 70), dxfattribs={"layer": "CENTRES"})
    block = doc.blocks.new("HIDDENLINE")
    block.add_line((0, 0), (90, 0), dxfattribs={"linetype": "BYBLOCK"})
    msp.add_blockref("HIDDENLINE", (5, 50), dxfattribs={"linetype": "HIDDEN"})
    msp.add_line((5, 30), (95, 30), dxfattribs={"linetype": "DASHED", "ltscale": 2})
    msp.add_line((5, 10), (95, 10))
    doc.saveas(f"{folder}/linetypes.dxf")


def widths(folder):
    doc, msp = framed()
    # A tapered segment, 10 wide at x 10 and nothing at x 90.
    msp.add_lwpolyline([(10, 80, 10, 0), (90, 80, 0, 0)], format="xyse")
    # Old-style polylines: widths on the vertices, and the polyline's default widths.
    msp.add_polyline2d([(10, 45), (90, 45)], dxfattribs={"default_start_width": 0, "default_end_width": 0})
    pline = msp.query("POLYLINE").first
    for v in pline.vertices:
        v.dxf.start_width = 6
        v.dxf.end_width = 6
    msp.add_polyline2d([(10, 20), (90, 20)], dxfattribs={"default_start_width": 6, "default_end_width": 6})
    doc.saveas(f"{folder}/widths.dxf")


def solids(folder):
    doc, msp = framed()
    # Corners 1, 2, 3, 4 outline a square as 1, 2, 4, 3.
    msp.add_solid([(10, 10), (40, 10), (10, 40), (40, 40)], dxfattribs={"color": 1})
    msp.add_trace([(60, 10), (90, 10), (60, 40), (90, 40)], dxfattribs={"color": 1})
    block = doc.blocks.new("PAD")
    block.add_solid([(0, 0), (30, 0), (0, 30), (30, 30)])
    msp.add_blockref("PAD", (10, 60), dxfattribs={"color": 1})
    # Three corners: a triangle.
    msp.add_solid([(60, 60), (90, 60), (60, 90)], dxfattribs={"color": 1})
    doc.saveas(f"{folder}/solids.dxf")


def bricks(folder):
    doc, msp = framed()
    # Courses 10 high; joints 20 apart, each course shifted half a brick.
    hatch = msp.add_hatch(color=1)
    hatch.set_pattern_fill(
        "BRICKS", definition=[[0, (0, 0), (0, 10), []], [90, (0, 0), (-10, 10), [10, -10]]], scale=1
    )
    hatch.paths.add_polyline_path([(10, 10), (90, 10), (90, 90), (10, 90)], is_closed=True)
    doc.saveas(f"{folder}/bricks.dxf")


def wipeouts(folder):
    doc, msp = framed()
    # Left: a filled square with a wipeout over its middle. Right: the same drawn by an insert.
    fill = msp.add_hatch(color=1)
    fill.paths.add_polyline_path([(5, 10), (45, 10), (45, 90), (5, 90)], is_closed=True)
    msp.add_wipeout([(15, 40), (35, 40), (35, 60), (15, 60)])
    block = doc.blocks.new("MASKED")
    inside = block.add_hatch(color=1)
    inside.paths.add_polyline_path([(0, 0), (40, 0), (40, 80), (0, 80)], is_closed=True)
    block.add_wipeout([(10, 30), (30, 30), (30, 50), (10, 50)])
    msp.add_blockref("MASKED", (55, 10))
    doc.saveas(f"{folder}/wipeouts.dxf")


def rarer(folder):
    doc, msp = framed(setup=True)
    # A spline bowing up to y 70 between its control points at y 90.
    msp.add_open_spline([(10, 50), (30, 90), (50, 90), (70, 50)], degree=3)
    # A 3D face whose top edge is invisible.
    face = msp.add_3dface([(10, 10), (40, 10), (40, 40), (10, 40)])
    face.dxf.invisible = 4  # the third edge, (40, 40) to (10, 40)
    # A construction line up the drawing at x 80, both ways from (80, 5).
    msp.add_xline((80, 5), (0, 1))
    # A multiline 4 wide along y 95 from x 60 to 95 (the standard style: elements at +0.5 and -0.5).
    msp.add_mline([(60, 95), (95, 95)], dxfattribs={"scale_factor": 4, "justification": 1})
    # A mesh of one square face, and two shapes of a shape file the drawing does not have.
    with msp.add_mesh().edit_data() as mesh:
        mesh.vertices = [(50, 10, 0), (60, 10, 0), (60, 20, 0), (50, 20, 0)]
        mesh.faces = [(0, 1, 2, 3)]
    msp.add_shape("BOX", (65, 30), 2)
    msp.add_shape("BOX", (70, 30), 2)
    doc.saveas(f"{folder}/rarer.dxf")


if __name__ == "__main__":
    out = sys.argv[1]
    for make in (circle_hatches, linetypes, widths, solids, bricks, wipeouts, rarer):
        make(out)
