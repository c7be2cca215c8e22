"""A plan with blocks whose inserts place more entities than any plot or selection takes, written with ezdxf.

    fan_out.py PLAN FOLDER [NAME ...]
        writes into FOLDER the drawings named (by default nested.dxf and grid.dxf):
        nested.dxf  PLAN with blocks nested eight deep, each placing the one below ten times: 10^8 lines
        grid.dxf    PLAN with a 30,000 by 30,000 grid of one line
        many.dxf    PLAN with 100 inserts of blocks nested six deep: each places 10^6 lines
        hatch.dxf   a block of one 1000 by 1000 hatch of a pattern whose lines the page shows, inserted 500 times
        plain.dxf   90,000 inserts of a block of 12 lines: 1,080,000 lines, no nesting, no grid
"""
import sys

import ezdxf


def fan(doc, levels, inserts):
    below = doc.blocks.new("FAN0")
    below.add_line((0, 0), (100, 100))
    for level in range(1, levels + 1):
        block = doc.blocks.new(f"FAN{level}")
        for k in range(10):
            block.add_blockref(below.name, (k * 200 * 10 ** (level - 1), 0))
        below = block
    for k in range(inserts):
        doc.modelspace().add_blockref(below.name, (0, -2000 - k * 300))


def nested(doc):
    fan(doc, 7, 10)


def many(doc):
    fan(doc, 6, 100)


def hatch(doc):
    block = doc.blocks.new("FINE")
    fill = block.add_hatch()
    fill.paths.add_polyline_path([(0, 0), (1000, 0), (1000, 1000), (0, 1000)])
    fill.set_pattern_fill("ANSI31", scale=1)
    for k in range(500):
        doc.modelspace().add_blockref("FINE", (k * 0.01, 0))


def plain(doc):
    block = doc.blocks.new("TWELVE")
    for k in range(12):
        block.add_line((0, k * 10), (100, k * 10))
    space = doc.modelspace()
    for k in range(90000):
        space.add_blockref("TWELVE", ((k % 300) * 200, (k // 300) * 200))


def grid(doc):
    doc.blocks.new("CELL").add_line((0, 0), (100, 100))
    doc.modelspace().add_blockref("CELL", (0, -5000)).grid(size=(30000, 30000), spacing=(200, 200))


if __name__ == "__main__":
    plan, folder = sys.argv[1], sys.argv[2]
    writers = {"nested.dxf": nested, "grid.dxf": grid, "many.dxf": many, "hatch.dxf": hatch, "plain.dxf": plain}
    for name in sys.argv[3:] or ["nested.dxf", "grid.dxf"]:
        # The plan holds the rooms the list of spaces needs; the drawings only plotted start empty.
        doc = ezdxf.new("R2010") if name in ("hatch.dxf", "plain.dxf") else ezdxf.readfile(plan)
        writers[name](doc)
        doc.saveas(f"{folder}/{name}")
