"""Drawings for the tests of what the space utilities write, written with ezdxf.

    make_written_plans.py FOLDER               writes locked.dxf, stacked.dxf and topmost.dxf
    make_written_plans.py order FILE           prints the colours of model space's entities in draw order
    make_written_plans.py handle FILE BLOCK    prints the handle of the first insert of the block

locked.dxf: rooms "Room 0" and "Room 1" inserted on the locked layer "SPACES", "Room 2" on layer 0,
each with NAME, AREA and AUX labels. stacked.dxf: the block "PANEL", a large red solid hatch added after
a small blue one, whose draw-order table puts the blue square on top; one insert of it at (1000, 1000),
and a small green solid hatch in model space over the insert's red. topmost.dxf: the room "ROOM-T", a
blue solid square with a cyan one on it, inserted over a larger yellow ground, on top of model space's
draw order by a table whose sort values lie above every handle the drawing has given.
"""
import os
import sys

import ezdxf
from ezdxf import reorder

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_utility_plans import new_doc, rectangle, record, space, stacked  # noqa: E402

RED = (200, 30, 30)
BLUE = (30, 30, 200)
GREEN = (30, 200, 30)
CYAN = (30, 200, 200)
YELLOW = (200, 200, 30)


def locked_labels(path):
    """Rooms "Room 0" to "Room 2" on layer 0, their labels laid out as the module lays them, Room 0's AUX
    and Room 1's NAME on the locked layer "LABELS"."""
    doc = new_doc()
    doc.layers.add("LABELS")
    for i in range(3):
        layers = {"NAME": "LABELS" if i == 1 else "0", "AREA": "0", "AUX": "LABELS" if i == 0 else "0"}
        # 1.5 text heights apart: a write that keeps the texts keeps the labels as they are.
        values = {"NAME": ("Room %d" % i, 375), "AREA": ("10.00sq.m.", 0), "AUX": ("note", -375)}
        labels = [(tag, (text, (1000, 1000 + offset), 0, 250, layers[tag])) for tag, (text, offset) in values.items()]
        space(doc, "ROOM-%d" % i, (i * 6000, 0), rectangle(0, 0, 5000, 4000), labels, record("Room %d" % i))
    doc.layers.get("LABELS").lock()
    doc.saveas(path)


def locked(path):
    # The rooms whose labels, not themselves, are locked lie beside it.
    locked_labels(os.path.join(os.path.dirname(path), "locked_labels.dxf"))
    doc = new_doc()
    doc.layers.add("SPACES")
    for i in range(3):
        insert = space(doc, "ROOM-%d" % i, (i * 6000, 0), rectangle(0, 0, 5000, 4000), stacked("Room %d" % i),
                       record("Room %d" % i))
        if i < 2:
            insert.dxf.layer = "SPACES"
    doc.layers.get("SPACES").lock()
    doc.saveas(path)


def solid(block, corners, rgb):
    hatch = block.add_hatch()
    hatch.rgb = rgb
    hatch.paths.add_polyline_path(corners, is_closed=True)
    return hatch


def stacked_block(path):
    doc = new_doc()
    panel = doc.blocks.new(name="PANEL")
    square = solid(panel, rectangle(400, 400, 200, 200), BLUE)
    field = solid(panel, rectangle(0, 0, 1000, 1000), RED)
    # The square was drawn first but is brought to the front.
    panel.set_redraw_order({square.dxf.handle: field.dxf.handle, field.dxf.handle: square.dxf.handle})
    doc.modelspace().add_blockref("PANEL", (1000, 1000))
    solid(doc.modelspace(), rectangle(1100, 1100, 200, 200), GREEN)
    doc.saveas(path)


def topmost(path):
    doc = new_doc()
    room = doc.blocks.new(name="ROOM-T")
    solid(room, rectangle(0, 0, 1000, 1000), BLUE)
    solid(room, rectangle(250, 250, 500, 500), CYAN)
    msp = doc.modelspace()
    ground = solid(msp, rectangle(-500, -500, 3000, 3000), YELLOW)
    insert = msp.add_blockref("ROOM-T", (500, 500))
    msp.set_redraw_order({ground.dxf.handle: "FFF00", insert.dxf.handle: "FFF01"})
    doc.saveas(path)


def order(path):
    msp = ezdxf.readfile(path).modelspace()
    print(" ".join("%s%s" % (e.dxftype(), e.rgb if e.rgb is not None else "")
                   for e in reorder.ascending(msp, msp.get_redraw_order())))


if __name__ == "__main__":
    if sys.argv[1] == "order":
        order(sys.argv[2])
    elif sys.argv[1] == "handle":
        print(ezdxf.readfile(sys.argv[2]).modelspace().query('INSERT[name=="%s"]' % sys.argv[3]).first.dxf.handle)
    else:
        locked(sys.argv[1] + "/locked.dxf")
        stacked_block(sys.argv[1] + "/stacked.dxf")
        topmost(sys.argv[1] + "/topmost.dxf")
