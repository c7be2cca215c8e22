#!/usr/bin/python3
"""Writes a room plan with ezdxf, in the shape users keep them, for measuring whole cadhost runs.

usage: bench/ezdxf_room_plan.py ROOMS OUT.dxf
Every room is its own block definition (its boundary and AREA, NAME and AUX attribute definitions),
inserted once with its attributes and the stored space data, and four desks stand in every room.
"""
import sys

import ezdxf


def main():
    rooms = int(sys.argv[1])
    out = sys.argv[2]
    doc = ezdxf.new("R2010")
    doc.header["$INSUNITS"] = 4  # drawn in millimetres, as it says
    doc.appids.new("ADE")
    for layer in ("SPACES", "FURNITURE", "LABELS"):
        doc.layers.new(layer)
    desk = doc.blocks.new("DESK")
    desk.add_lwpolyline([(-400, -300), (200, -300), (200, 300), (-400, 300)], close=True)
    msp = doc.modelspace()
    tags = ("AREA", "NAME", "AUX")
    for i in range(rooms):
        x, y = (i % 100) * 8000.0, (i // 100) * 8000.0
        name = "ROOM-%d" % i
        block = doc.blocks.new(name)
        block.add_lwpolyline([(0, 0), (7000, 0), (7000, 7000), (0, 7000)], close=True,
                             dxfattribs={"layer": "SPACES"})
        for t, tag in enumerate(tags):
            block.add_attdef(tag, (100, 1000 - 375.0 * t), dxfattribs={"height": 250})
        ref = msp.add_blockref(name, (x, y), dxfattribs={"layer": "SPACES"})
        values = {"AREA": "49.00 sq m", "NAME": "R%d" % i, "AUX": "Office"}
        for t, tag in enumerate(tags):
            ref.add_attrib(tag, values[tag], (x + 100, y + 1000 - 375.0 * t),
                           dxfattribs={"height": 250, "layer": "LABELS"})
        ref.set_xdata("ADE", [(1002, "{"), (1000, "AREA=49.00sq.m."), (1000, "PERIMETER=28.00m."),
                              (1000, "NAME=R%d" % i), (1000, "TAGTYPE=<Not Set>"), (1000, "AREA_TYPE=Office"),
                              (1002, "}")])
        for d in range(4):
            msp.add_blockref("DESK", (x + 1000 + d * 1500, y + 5000),
                             dxfattribs={"layer": "FURNITURE", "rotation": (d % 2) * 90.0})
    doc.saveas(out)


if __name__ == "__main__":
    main()
