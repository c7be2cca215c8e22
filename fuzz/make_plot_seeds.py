#!/usr/bin/python3
"""Writes small drawings for the plot's fuzz target: one for each kind of entity the plot draws.

usage: fuzz/make_plot_seeds.py OUT_DIR
Each drawing holds a few entities of one kind (and what they name: blocks, linetypes, layouts), written
by ezdxf and cut down to the sections the reader needs, so that each seed is a few kilobytes. `scripts/fuzz
plot seeds` merges them, with the sample drawings, down to what adds coverage.
"""
import logging
import math
import os
import re
import sys

import ezdxf
from ezdxf.math import Vec2
from ezdxf.render import mleader


def new(version="R2018"):
    doc = ezdxf.new(version, setup=["linetypes"])
    return doc, doc.modelspace()


def lines(msp):
    msp.add_line((0, 0), (10, 10), dxfattribs={"linetype": "DASHED", "ltscale": 0.5})
    msp.add_point((5, 0))
    msp.add_xline((0, 0), (1, 1))
    msp.add_ray((10, 0), (1, 2))


def polylines(msp):
    p = msp.add_lwpolyline([(0, 0, 0.5, 1.0, 0.4), (10, 0, 0, 0, 0), (10, 10, 1, 0, 0)], format="xyseb")
    p.closed = True
    msp.add_polyline2d([(0, 20), (10, 25), (20, 20)], dxfattribs={"default_start_width": 1, "default_end_width": 0.2})
    msp.add_polyline3d([(0, 30, 0), (10, 35, 5), (20, 30, 0)])


def meshes(msp):
    mesh = msp.add_polymesh((3, 3))
    for m in range(3):
        for n in range(3):
            mesh.set_mesh_vertex((m, n), (m * 5, n * 5, m * n))
    face = msp.add_polyface()
    face.append_face([(20, 0, 0), (30, 0, 0), (30, 10, 0), (20, 10, 0)])
    with msp.add_mesh().edit_data() as data:
        data.vertices = [(40, 0, 0), (50, 0, 0), (50, 10, 0), (40, 10, 0)]
        data.faces = [(0, 1, 2, 3)]
    msp.add_3dface([(0, 20, 0), (10, 20, 0), (10, 30, 0), (0, 30, 0)], dxfattribs={"invisible": 2})
    msp.add_solid([(20, 20), (30, 20), (20, 30), (30, 30)])
    msp.add_trace([(40, 20), (50, 20), (40, 30), (50, 30)])


def curves(msp):
    msp.add_circle((0, 0), 5, dxfattribs={"linetype": "CENTER"})
    msp.add_arc((20, 0), 5, 30, 300, dxfattribs={"extrusion": (0, 0, -1)})
    msp.add_ellipse((40, 0), major_axis=(6, 2), ratio=0.4, start_param=0.5, end_param=5)
    msp.add_spline([(0, 20), (5, 30), (10, 20), (15, 30)])
    msp.add_open_spline([(20, 20), (25, 30), (30, 20), (35, 30), (40, 25)], degree=3)
    msp.add_rational_spline([(50, 20), (55, 30), (60, 20)], weights=[1, 3, 1], degree=2)


def texts(msp):
    msp.add_text("%%uROOM%%u 90%%d %%c5", height=2.5, dxfattribs={"insert": (0, 0), "rotation": 15})
    t = msp.add_text("ALIGNED", height=2, dxfattribs={"width": 0.8})
    t.set_placement((0, 10), (30, 12), ezdxf.enums.TextEntityAlignment.ALIGNED)
    t = msp.add_text("FIT", height=2)
    t.set_placement((0, 20), (30, 20), ezdxf.enums.TextEntityAlignment.FIT)
    msp.add_text("BACK", height=2, dxfattribs={"insert": (40, 0), "extrusion": (0, 0, -1)})


def paragraphs(msp):
    msp.add_mtext("\\S1/2;\\S3#4;\\S5^6; A{\\H2x;B}{\\C1;RED}\\PLINE \\LUNDER\\l \\OOVER\\o \\KSTRIKE\\k \\U+00B0",
                  dxfattribs={"insert": (0, 30), "char_height": 2, "width": 25, "attachment_point": 5})
    msp.add_mtext("words that wrap at the width of the box, several times over",
                  dxfattribs={"insert": (30, 30), "char_height": 1.5, "width": 10, "rotation": 30,
                              "line_spacing_factor": 1.5})


def blocks(doc, msp):
    inner = doc.blocks.new("INNER", base_point=(1, 1))
    inner.add_circle((0, 0), 2, dxfattribs={"color": 0})
    inner.add_attdef("CONST", (0, -3), dxfattribs={"height": 1, "flags": 2, "text": "C"})
    outer = doc.blocks.new("OUTER")
    outer.add_lwpolyline([(0, 0), (6, 0), (6, 6)], dxfattribs={"layer": "0", "linetype": "BYBLOCK"})
    outer.add_blockref("INNER", (3, 3), dxfattribs={"xscale": 0.5, "rotation": 45})
    outer.add_attdef("TAG", (0, 7), dxfattribs={"height": 1})
    ref = msp.add_blockref("OUTER", (0, 0), dxfattribs={"color": 3, "linetype": "DASHED",
                                                         "extrusion": (0, 0, -1)})
    ref.add_attrib("TAG", "VALUE", (0, 7), dxfattribs={"height": 1})
    msp.add_blockref("INNER", (20, 0), dxfattribs={"column_count": 4, "row_count": 3, "column_spacing": 5,
                                                    "row_spacing": 5, "rotation": 10})


def hatches(msp):
    solid = msp.add_hatch(color=2)
    solid.paths.add_polyline_path([(0, 0), (10, 0), (10, 10), (0, 10)], is_closed=True)
    pattern = msp.add_hatch(color=4)
    pattern.set_pattern_fill("ANSI31", scale=0.5, angle=15)
    path = pattern.paths.add_edge_path()
    path.add_line((20, 0), (30, 0))
    path.add_arc((25, 0), 5, 0, 180)
    custom = msp.add_hatch()
    custom.set_pattern_fill("OWN", definition=[[45, (0, 0), (0, 1), [1, -0.5, 0, -0.5]], [0, (0, 0), (2, 0), []]])
    edges = custom.paths.add_edge_path()
    edges.add_spline(control_points=[(40, 0), (45, 10), (50, 0)], knot_values=[0, 0, 0, 1, 1, 1], degree=2)
    edges.add_line((50, 0), (40, 0))
    gradient = msp.add_hatch()
    gradient.set_gradient((255, 0, 0), (0, 0, 255), rotation=30)
    gradient.paths.add_polyline_path([(0, 20), (10, 20), (10, 30)], is_closed=True)


def dimensions(msp):
    msp.add_linear_dim(base=(5, 10), p1=(0, 0), p2=(10, 0)).render()
    msp.add_radius_dim(center=(30, 0), radius=5, angle=45).render()
    msp.add_angular_dim_3p(base=(50, 5), center=(45, 0), p1=(55, 0), p2=(45, 10)).render()


def leaders(doc, msp):
    builder = msp.add_multileader_mtext("Standard")
    builder.set_content("NOTE", char_height=2)
    builder.add_leader_line(mleader.ConnectionSide.left, [Vec2(0, 0), Vec2(5, 5)])
    builder.build(insert=Vec2(15, 10))
    box = doc.blocks.new("BOX")
    box.add_lwpolyline([(0, 0), (3, 0), (3, 3), (0, 3)], close=True)
    builder = msp.add_multileader_block("Standard")
    builder.set_content(name="BOX")
    builder.add_leader_line(mleader.ConnectionSide.left, [Vec2(30, 0)])
    builder.build(insert=Vec2(40, 10))
    msp.add_leader([(0, 20), (10, 25), (20, 25)])


def pictures(doc, msp):
    picture = doc.add_image_def(filename="picture.png", size_in_pixel=(60, 40))
    msp.add_image(picture, insert=(0, 0), size_in_units=(6, 4), rotation=20)
    msp.add_line((0, 10), (20, 10))
    msp.add_wipeout([(5, 8), (15, 8), (15, 12), (5, 12)])
    msp.add_mline([(0, 20), (10, 20), (10, 30)])


def order(doc, msp):
    under = msp.add_hatch(color=1)
    under.paths.add_polyline_path([(0, 0), (10, 0), (10, 10), (0, 10)], is_closed=True)
    line = msp.add_line((0, 5), (10, 5))
    msp.set_redraw_order([(line.dxf.handle, "A0"), (under.dxf.handle, "10")])


def paper(doc, msp):
    msp.add_circle((50, 50), 20)
    layout = doc.layout("Layout1")
    layout.add_line((0, 0), (200, 0))
    vp = layout.add_viewport(center=(100, 100), size=(80, 60), view_center_point=(50, 50), view_height=60)
    vp.dxf.view_twist_angle = 30
    doc.layouts.set_active_layout("Layout1")
    doc.header["$TILEMODE"] = 0


def small(path):
    """Keeps the header to the release and the handle seed, and leaves out the classes the reader can do without."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"  0\nSECTION\n  2\nCLASSES\n.*?  0\nENDSEC\n", "", text, count=1, flags=re.S)
    header = re.search(r"  0\nSECTION\n  2\nHEADER\n(.*?)  0\nENDSEC\n", text, flags=re.S)
    if header:
        keep = "".join(m.group(0) for m in re.finditer(r"  9\n\$(ACADVER|HANDSEED|TILEMODE|LTSCALE)\n(?:(?! {2}9\n).*\n)*?(?= {2}9\n|$)",
                                                       header.group(1)))
        text = text[:header.start(1)] + keep + text[header.end(1):]
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def main(out):
    logging.disable(logging.WARNING)
    os.makedirs(out, exist_ok=True)
    makers = {
        "lines": lambda d, m: lines(m), "polylines": lambda d, m: polylines(m), "meshes": lambda d, m: meshes(m),
        "curves": lambda d, m: curves(m), "texts": lambda d, m: texts(m), "paragraphs": lambda d, m: paragraphs(m),
        "blocks": blocks, "hatches": lambda d, m: hatches(m), "dimensions": lambda d, m: dimensions(m),
        "leaders": leaders, "pictures": pictures, "order": order, "paper": paper,
    }
    for name, make in makers.items():
        doc, msp = new()
        make(doc, msp)
        path = os.path.join(out, f"plot_{name}.dxf")
        doc.saveas(path)
        small(path)


if __name__ == "__main__":
    main(sys.argv[1])
