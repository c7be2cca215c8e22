"""Drawings of annotations, each in the square 0..100, for the plot's tests: dimensions of every type,
paragraph text with an embedded object, percent codes, paragraph text formatting and multileaders.

Usage: make_annotation_plots.py FOLDER
"""
import sys

import ezdxf
from ezdxf.math import Vec2
from ezdxf.render import mleader


def new(version="R2018"):
    doc = ezdxf.new(version, setup=True)
    return doc, doc.modelspace()


def dimensions(folder):
    doc, msp = new()
    big = {"dimtxt": 4, "dimasz": 4, "dimexe": 1, "dimexo": 1, "dimgap": 1}
    # Linear: 20,50 to 80,50, its line at y 60, "60" above it.
    msp.add_linear_dim(base=(50, 60), p1=(20, 50), p2=(80, 50), override=big).render()
    # Aligned, radius, diameter, angular and ordinate, each in a corner of its own.
    msp.add_aligned_dim(p1=(20, 80), p2=(40, 90), distance=4, override=big).render()
    msp.add_circle((75, 85), 8)
    msp.add_radius_dim(center=(75, 85), radius=8, angle=45, override=big).render()
    msp.add_circle((25, 25), 8)
    msp.add_diameter_dim(center=(25, 25), radius=8, angle=150, override=big).render()
    msp.add_angular_dim_3p(base=(70, 30), center=(60, 15), p1=(85, 15), p2=(60, 40), override=big).render()
    msp.add_ordinate_x_dim(feature_location=(45, 25), offset=(0, 5), override=big).render()
    doc.saveas(f"{folder}/dimensions.dxf")
    # The same linear dimension, its block gone.
    doc, msp = new()
    dim = msp.add_linear_dim(base=(50, 60), p1=(20, 50), p2=(80, 50), override=big)
    dim.render()
    name = dim.dimension.dxf.geometry
    dim.dimension.dxf.geometry = "*D999"
    doc.blocks.delete_block(name, safe=False)
    msp.add_line((20, 20), (80, 20))
    doc.saveas(f"{folder}/dimension_without_block.dxf")


def paragraph_in_columns(folder):
    doc, msp = new()
    # One column: the text is saved with an embedded object that repeats its location.
    msp.add_mtext_static_columns(["ROOM NAME"], width=50, gutter_width=1, height=20,
                                 dxfattribs={"insert": (60, 30), "char_height": 5})
    doc.saveas(f"{folder}/paragraph_in_columns.dxf")


def percent_codes(folder):
    doc, msp = new()
    msp.add_text("90%%d", height=5, dxfattribs={"insert": (10, 85)})
    msp.add_text("%%c50", height=5, dxfattribs={"insert": (10, 70)})
    msp.add_text("%%p0.5", height=5, dxfattribs={"insert": (10, 55)})
    msp.add_text("%%uUNDER", height=5, dxfattribs={"insert": (10, 40)})
    msp.add_mtext("90%%d", dxfattribs={"insert": (60, 90), "char_height": 5})
    block = doc.blocks.new("TAG")
    block.add_attdef("ANGLE", (0, 0), dxfattribs={"height": 5})
    ref = msp.add_blockref("TAG", (60, 70))
    ref.add_attrib("ANGLE", "45%%d", (60, 70), dxfattribs={"height": 5})
    doc.saveas(f"{folder}/percent_codes.dxf")


def paragraph_formatting(folder):
    doc, msp = new()
    msp.add_mtext("\\S12/34;", dxfattribs={"insert": (10, 90), "char_height": 5})
    msp.add_mtext("\\S56^78;", dxfattribs={"insert": (40, 90), "char_height": 5})
    msp.add_mtext("\\S9#9;", dxfattribs={"insert": (70, 90), "char_height": 5})
    msp.add_mtext("A{\\H3x;B}", dxfattribs={"insert": (10, 70), "char_height": 5})
    msp.add_mtext("{\\C1;RED}", dxfattribs={"insert": (60, 70), "char_height": 5})
    msp.add_mtext("\\LUNDER\\l", dxfattribs={"insert": (10, 40), "char_height": 5})
    msp.add_mtext("\\OOVER\\o", dxfattribs={"insert": (60, 40), "char_height": 5})
    doc.saveas(f"{folder}/paragraph_formatting.dxf")


def multileaders(folder):
    doc, msp = new()
    builder = msp.add_multileader_mtext("Standard")
    builder.set_content("NOTE", char_height=5)
    builder.set_arrow_properties(size=5)
    builder.add_leader_line(mleader.ConnectionSide.left, [Vec2(20, 20)])
    builder.build(insert=Vec2(60, 60))
    doc.saveas(f"{folder}/multileader.dxf")


def grid_image_and_viewport(folder):
    doc, msp = new()
    # A grid of 3 by 2 cells 30 apart, its attribute "X" in each cell.
    block = doc.blocks.new("CELL")
    block.add_lwpolyline([(0, 0), (8, 0), (8, 8), (0, 8)], close=True)
    block.add_attdef("TAG", (1, 1), dxfattribs={"height": 3})
    grid = msp.add_blockref("CELL", (10, 10), dxfattribs={
        "column_count": 3, "row_count": 2, "column_spacing": 30, "row_spacing": 30})
    grid.add_attrib("TAG", "X", (11, 11), dxfattribs={"height": 3})
    doc.saveas(f"{folder}/grid.dxf")

    doc, msp = new()
    picture = doc.add_image_def(filename="picture.png", size_in_pixel=(600, 400))
    msp.add_image(picture, insert=(20, 20), size_in_units=(60, 40))
    doc.saveas(f"{folder}/image.dxf")

    # A viewport on paper at 60..140 by 70..130 showing model space turned a quarter about (50, 50), which
    # its view centre gives in the view's turned terms: the line from there to the right runs up the paper.
    doc, msp = new()
    msp.add_line((50, 50), (70, 50))
    paper = doc.layout("Layout1")
    viewport = paper.add_viewport(center=(100, 100), size=(80, 60), view_center_point=(-50, 50), view_height=60)
    viewport.dxf.view_twist_angle = 90
    doc.saveas(f"{folder}/viewport.dxf")


if __name__ == "__main__":
    out = sys.argv[1]
    dimensions(out)
    paragraph_in_columns(out)
    percent_codes(out)
    paragraph_formatting(out)
    multileaders(out)
    grid_image_and_viewport(out)
