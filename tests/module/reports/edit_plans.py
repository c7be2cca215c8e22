"""Saved drawings changed as another program or a planner would, and read back, with ezdxf.

    edit_plans.py copy IN OUT HANDLE DX DY [room]   copies the colour hatch of the space HANDLE (and
                                                      the space's insert with "room") moved by DX, DY,
                                                      extended data and all; prints the copies' handles,
                                                      the hatch's first
    edit_plans.py older IN OUT                      takes the hatch's own handle out of every colour
                                                      mark, as marks were written before they held it
    edit_plans.py hatches FILE                      one line per hatch, bottom first:
                                                      "#RRGGBB|x,y" with x, y its lowest corner
    edit_plans.py boundary FILE X Y                 the handle of the polyline whose first vertex is X, Y
    edit_plans.py attribute IN OUT TAG TEXT ...     the text of every attribute TAG in model space, as
                                                      edited by hand (more TAG TEXT pairs may follow)
"""
import sys

import ezdxf
from ezdxf import bbox

MARK = "KELMO_HATCH"


def coloured(entity):
    if entity.dxftype() != "HATCH" or not entity.has_xdata(MARK):
        return None
    tags = entity.get_xdata(MARK)
    return tags[1].value if len(tags) > 1 else None


def copy(source, target, handle, dx, dy, room):
    doc = ezdxf.readfile(source)
    msp = doc.modelspace()
    hatch = next(e for e in msp if coloured(e) == handle)
    copies = [hatch]
    if room:
        copies.append(doc.entitydb[handle])
    for entity in copies:
        twin = entity.copy()
        twin.translate(dx, dy, 0)
        msp.add_entity(twin)
        print(twin.dxf.handle)
    doc.saveas(target)


def older(source, target):
    doc = ezdxf.readfile(source)
    for entity in doc.modelspace():
        if coloured(entity) is not None:
            tags = entity.get_xdata(MARK)
            entity.set_xdata(MARK, [(t.code, t.value) for t in tags if not (t.code == 1000 and t is tags[-1])])
    doc.saveas(target)


def hatches(path):
    msp = ezdxf.readfile(path).modelspace()
    sort = dict(msp.get_redraw_order())
    ordered = sorted(msp, key=lambda e: int(sort.get(e.dxf.handle, e.dxf.handle), 16))
    for entity in ordered:
        if entity.dxftype() == "HATCH":
            low = bbox.extents([entity]).extmin
            print("#%02X%02X%02X|%.0f,%.0f" % (tuple(entity.rgb) + (low.x, low.y)))


def boundary(path, x, y):
    for entity in ezdxf.readfile(path).modelspace().query("LWPOLYLINE"):
        first = entity.get_points("xy")[0]
        if abs(first[0] - x) < 1e-6 and abs(first[1] - y) < 1e-6:
            print(entity.dxf.handle)


def attribute(source, target, pairs):
    texts = dict(zip(pairs[0::2], pairs[1::2]))
    doc = ezdxf.readfile(source)
    for insert in doc.modelspace().query("INSERT"):
        for attrib in insert.attribs:
            if attrib.dxf.tag in texts:
                attrib.dxf.text = texts[attrib.dxf.tag]
    doc.saveas(target)


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "copy":
        copy(sys.argv[2], sys.argv[3], sys.argv[4], float(sys.argv[5]), float(sys.argv[6]), len(sys.argv) > 7)
    elif command == "older":
        older(sys.argv[2], sys.argv[3])
    elif command == "hatches":
        hatches(sys.argv[2])
    elif command == "attribute":
        attribute(sys.argv[2], sys.argv[3], sys.argv[4:])
    elif command == "boundary":
        boundary(sys.argv[2], float(sys.argv[3]), float(sys.argv[4]))
