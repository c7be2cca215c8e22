"""Drawings that once crashed a plot, ran it without end or failed it whole for one entity, each with a line
from 0,0 to 100,100 that must still be plotted.

Usage: make_hostile_plots.py FOLDER
"""
import logging
import re
import sys

import ezdxf
from ezdxf.math import Vec2
from ezdxf.render import mleader


def new():
    doc = ezdxf.new("R2018", setup=True)
    msp = doc.modelspace()
    msp.add_line((0, 0), (100, 100))
    return doc, msp


def edited(doc, path, change):
    """Saves the drawing with its text changed as a damaged or hostile file would have it."""
    doc.saveas(path)
    with open(path, encoding="utf-8") as f:
        text = f.read()
    changed = change(text)
    assert changed != text, path
    with open(path, "w", encoding="utf-8") as f:
        f.write(changed)


def block_leader(layout, block, at=(60, 60)):
    """A multileader showing BOX, then made to show the block named (ezdxf would draw it while building)."""
    builder = layout.add_multileader_block("Standard")
    builder.set_content(name="BOX")
    builder.add_leader_line(mleader.ConnectionSide.left, [Vec2(at[0] - 40, at[1] - 40)])
    builder.build(insert=Vec2(*at))
    ml = builder.multileader
    handle = block if isinstance(block, str) and not block.isalpha() else layout.doc.blocks.get(block).block_record.dxf.handle
    ml.context.block.block_record_handle = handle
    ml.dxf.block_record_handle = handle
    return ml


def box(doc, name):
    block = doc.blocks.new(name)
    block.add_lwpolyline([(0, 0), (5, 0), (5, 5), (0, 5)], close=True)
    return block


def multileaders(folder):
    # A leader line's end (305) before any leader began.
    doc, msp = new()
    builder = msp.add_multileader_mtext("Standard")
    builder.set_content("NOTE", char_height=5)
    builder.add_leader_line(mleader.ConnectionSide.left, [Vec2(20, 20)])
    builder.build(insert=Vec2(60, 60))
    edited(doc, f"{folder}/leader_end_first.dxf",
           lambda t: re.sub(r"(\n *300\nCONTEXT_DATA\{\n)", r"\g<1>305\n}\n", t, count=1))

    # Content that is the model space itself.
    doc, msp = new()
    box(doc, "BOX")
    block_leader(msp, msp.block_record.dxf.handle)
    doc.saveas(f"{folder}/content_model_space.dxf")

    # A block holding a multileader whose content is that block, directly and through a second block.
    doc, msp = new()
    box(doc, "BOX")
    own = box(doc, "OWN")
    block_leader(own, "OWN")
    block_leader(msp, "OWN", at=(80, 40))
    first, second = box(doc, "FIRST"), box(doc, "SECOND")
    block_leader(first, "SECOND")
    block_leader(second, "FIRST")
    block_leader(msp, "FIRST", at=(40, 80))
    doc.saveas(f"{folder}/content_holds_itself.dxf")

    # An arrow block that is the model space: each arrow draws the drawing, its arrows larger again.
    doc, msp = new()
    builder = msp.add_multileader_mtext("Standard")
    builder.set_content("NOTE", char_height=5)
    builder.set_arrow_properties(size=4)
    builder.add_leader_line(mleader.ConnectionSide.left, [Vec2(20, 20)])
    builder.build(insert=Vec2(60, 60))
    builder.multileader.dxf.arrow_head_handle = msp.block_record.dxf.handle
    doc.saveas(f"{folder}/arrow_model_space.dxf")


def dimensions(folder):
    # Two dimensions drawn by the model space's own block.
    doc, msp = new()
    for y in (30, 70):
        dim = msp.add_linear_dim(base=(50, y + 10), p1=(20, y), p2=(80, y))
        dim.render()
        dim.dimension.dxf.geometry = "*Model_Space"
    doc.saveas(f"{folder}/dimension_model_space.dxf")


def texts(folder):
    for name, contents in (("height_1000x", "A{\\H1000x;B}"), ("height_1e6x", "A\\H1e6x;B"),
                           ("height_1e300", "A\\H1e300;B")):
        doc, msp = new()
        msp.add_mtext(contents, dxfattribs={"insert": (10, 90), "char_height": 5})
        doc.saveas(f"{folder}/{name}.dxf")
    doc, msp = new()
    msp.add_text("A\uFFFFB", height=5, dxfattribs={"insert": (10, 80)})
    msp.add_text("C\uFDD0D", height=5, dxfattribs={"insert": (10, 60)})
    msp.add_mtext("E\\U+FFFEF", dxfattribs={"insert": (10, 40), "char_height": 5})
    msp.add_mtext("G\uFFFFH", dxfattribs={"insert": (10, 20), "char_height": 5})
    doc.saveas(f"{folder}/noncharacters.dxf")


def viewport(folder):
    # A paper layout, the one shown, whose viewport looks at a view of almost no height.
    doc, msp = new()
    msp.add_text("ROOM", height=5, dxfattribs={"insert": (40, 50)})
    paper = doc.layout("Layout1")
    paper.add_line((0, 0), (100, 100))
    paper.add_viewport(center=(100, 100), size=(80, 60), view_center_point=(50, 50), view_height=1e-300)
    doc.layouts.set_active_layout("Layout1")
    doc.header["$TILEMODE"] = 0
    doc.saveas(f"{folder}/viewport_no_height.dxf")


def polyface(folder):
    doc, msp = new()
    mesh = msp.add_polyface()
    mesh.append_face([(20, 20, 0), (40, 20, 0), (40, 40, 0)])
    # The face's second corner index becomes the most negative number a 32-bit integer holds.
    edited(doc, f"{folder}/polyface_int_min.dxf",
           lambda t: re.sub(r"(AcDbFaceRecord\n(?:.*\n)*? *72\n)-?\d+\n", r"\g<1>-2147483648\n", t, count=1))


def endless(folder):
    doc, msp = new()
    # Both far from the plotted square: the line through 0,50 and 50,100; the ray from far behind through 30,0.
    msp.add_xline((5000, 5050), (1, 1))
    msp.add_ray((-3000, -3030), (1, 1))
    doc.saveas(f"{folder}/endless_far.dxf")


def gradients(folder):
    # A gradient from red to blue with its angle, or its first colour, not a number.
    doc, msp = new()
    hatch = msp.add_hatch()
    hatch.set_gradient((255, 0, 0), (0, 0, 255), rotation=30)
    hatch.paths.add_polyline_path([(10, 10), (90, 10), (90, 90), (10, 90)], is_closed=True)
    edited(doc, f"{folder}/gradient_angle_nan.dxf", lambda t: re.sub(r"(\n *460\n)[^\n]*\n", r"\g<1>nan\n", t, count=1))
    edited(doc, f"{folder}/gradient_colour_x.dxf", lambda t: re.sub(r"(\n *421\n)[^\n]*\n", r"\g<1>x\n", t, count=1))


def pattern_along(folder):
    # One family whose offset runs only along its lines: one line through its base point, at y 50.
    doc, msp = new()
    hatch = msp.add_hatch(color=1)
    hatch.paths.add_polyline_path([(10, 10), (90, 10), (90, 90), (10, 90)], is_closed=True)
    hatch.set_pattern_fill("ALONG", color=1, definition=[[0, (0, 50), (7, 0), []]])
    doc.saveas(f"{folder}/pattern_along.dxf")


if __name__ == "__main__":
    logging.disable(logging.WARNING)  # ezdxf's notes on the multileaders' default linetypes
    out = sys.argv[1]
    multileaders(out)
    dimensions(out)
    texts(out)
    viewport(out)
    polyface(out)
    endless(out)
    pattern_along(out)
    gradients(out)
