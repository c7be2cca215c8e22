"""Model space of a saved drawing in its draw order, bottom first, one entity per line, as ezdxf reads it.

    read_colours.py FILE

A hatch reads "hatch|layer|#RRGGBB", an insert "insert|block name", anything else "type|layer".
"""
import sys

import ezdxf


def line(entity):
    kind = entity.dxftype()
    if kind == "HATCH":
        colour = entity.rgb
        return "hatch|%s|%s" % (entity.dxf.layer, "#%02X%02X%02X" % tuple(colour) if colour else entity.dxf.color)
    if kind == "INSERT":
        return "insert|%s" % entity.dxf.name
    return "%s|%s" % (kind.lower(), entity.dxf.layer)


def main(path):
    msp = ezdxf.readfile(path).modelspace()
    sort = dict(msp.get_redraw_order())
    # Entities the table does not list sort by their own handle.
    ordered = sorted(msp, key=lambda e: int(sort.get(e.dxf.handle, e.dxf.handle), 16))
    for entity in ordered:
        print(line(entity))


if __name__ == "__main__":
    main(sys.argv[1])
