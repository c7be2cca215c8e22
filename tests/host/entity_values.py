"""Compares the values of a drawing's entities with those of a copy saved by cadhost.

    entity_values.py ORIGINAL SAVED    prints "HANDLE TYPE: NAME ORIGINAL -> COPY" for each value of an
                                       entity of ORIGINAL that the copy holds otherwise, then "N alike"

The values are those a file holds in the plane of the entity (points, elevations, angles), its plane,
and an attribute's version and lock, exactly as ezdxf reads them.
"""
import sys

import ezdxf

NAMES = ("center", "insert", "align_point", "elevation", "radius", "rotation", "start_angle", "end_angle",
         "oblique", "extrusion", "version", "lock_position", "xscale")


def values(entity):
    found = {name: entity.dxf.get(name) for name in NAMES if entity.dxf.hasattr(name)}
    if entity.dxftype() == "LWPOLYLINE":
        found["points"] = [tuple(p) for p in entity.get_points()]
    return found


def main(original, saved):
    before = ezdxf.readfile(original)
    after = ezdxf.readfile(saved)
    alike = 0
    for entity in before.entitydb.values():
        if not isinstance(entity, ezdxf.entities.DXFGraphic):
            continue
        copy = after.entitydb.get(entity.dxf.handle)
        mine, theirs = values(entity), values(copy) if copy is not None else {}
        unlike = [name for name in mine if name not in theirs or mine[name] != theirs[name]]
        for name in unlike:
            print("%s %s: %s %s -> %s" % (entity.dxf.handle, entity.dxftype(), name, mine[name], theirs.get(name)))
        alike += not unlike
    print("%d alike" % alike)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
