"""Prints a drawing as ezdxf reads it, one line per entity of model space and per block definition,
so that two drawings can be compared line by line.

    read_drawing.py FILE
"""
import sys

import ezdxf


def number(value):
    return "%.3f" % value


def point(p):
    return ",".join(number(c) for c in (p.x, p.y))


def entity_line(e):
    parts = [e.dxf.handle, e.dxftype(), "layer=" + e.dxf.layer, "colour=%d" % e.dxf.color,
             "lineweight=%d" % e.dxf.lineweight]
    if e.dxftype() == "LWPOLYLINE":
        parts.append("points=" + ";".join("%s,%s,%s" % (number(x), number(y), number(b))
                                          for x, y, _, _, b in e.get_points()))
    if e.dxftype() == "INSERT":
        parts.append("block=" + e.dxf.name)
        parts.append("at=" + point(e.dxf.insert))
        for attrib in e.attribs:
            parts.append("%s=%s@%s h%s w%s r%s" % (attrib.dxf.tag, attrib.dxf.text, point(attrib.dxf.insert),
                                                  number(attrib.dxf.height), number(attrib.dxf.width),
                                                  number(attrib.dxf.rotation)))
    for app in ("ADE",):
        if e.has_xdata(app):
            parts.append(app + ":" + ";".join(str(v) for code, v in e.get_xdata(app) if code == 1000))
    return "|".join(parts)


def main(path):
    doc = ezdxf.readfile(path)
    for e in sorted(doc.modelspace(), key=lambda e: int(e.dxf.handle, 16)):
        print(entity_line(e))
    for block in sorted(doc.blocks, key=lambda b: b.name):
        if block.name.startswith("*"):
            continue
        print("BLOCK|" + block.name + "|" + ",".join(e.dxftype() for e in block))


if __name__ == "__main__":
    main(sys.argv[1])
