"""A plan with blocks whose inserts place more entities than any plot or selection takes, written with ezdxf.

    fan_out.py PLAN FOLDER   writes nested.dxf (PLAN with blocks nested eight deep, each placing the one
                             below ten times: 10^8 lines) and grid.dxf (PLAN with a 30,000 by 30,000 grid
                             of one line) into FOLDER
"""
import sys

import ezdxf


def nested(doc):
    below = doc.blocks.new("FAN0")
    below.add_line((0, 0), (100, 100))
    for level in range(1, 8):
        block = doc.blocks.new(f"FAN{level}")
        for k in range(10):
            block.add_blockref(below.name, (k * 200 * 10 ** (level - 1), 0))
        below = block
    for k in range(10):
        doc.modelspace().add_blockref(below.name, (0, -2000 - k * 300))


def grid(doc):
    doc.blocks.new("CELL").add_line((0, 0), (100, 100))
    doc.modelspace().add_blockref("CELL", (0, -5000)).grid(size=(30000, 30000), spacing=(200, 200))


if __name__ == "__main__":
    plan, folder = sys.argv[1], sys.argv[2]
    for name, add in (("nested.dxf", nested), ("grid.dxf", grid)):
        doc = ezdxf.readfile(plan)
        add(doc)
        doc.saveas(f"{folder}/{name}")
