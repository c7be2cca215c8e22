"""Compares the modeler geometry of the 3D solids of a drawing with that of a copy saved as R2010.

    solid_values.py ORIGINAL SAVED     prints "HANDLE: N records alike as VERSION, HOW" for each solid of
                                       ORIGINAL, or what the copy lost or changed
    solid_values.py --kept ORIGINAL SAVED
                                       prints the copy's release, then "HANDLE: as read" for each solid
                                       whose binary geometry the copy holds byte for byte, else
                                       "HANDLE: changed"
    solid_values.py --record ORIGINAL SAVED HANDLE
                                       prints the copy's $ACADVER, then "HANDLE: as read" when the copy's
                                       ACDSDATA record of the solid holds the original's data and size text
                                       for text, else "HANDLE: changed" (read as text, for data ezdxf refuses)

ORIGINAL (R2013 or later) holds the geometry in binary form in its ACDSDATA section, the copy as text
in the solid itself, in the form R2010 readers take: version 700, or 20800 with a header record first,
ending "End-of-ACIS-data". The two must hold the same records with the same values: every number,
pointer, name and text alike, a word wherever the binary form holds a yes or no, a transform's values
bare, and none of the counts the binary form holds in coedges and vertices. HOW says what ezdxf's own
modeler reader makes of both: "the same body", or which of the two it cannot read.
"""
import sys

import ezdxf
from ezdxf.acis import api, sab
from ezdxf.acis.const import Tags


def binary_records(data):
    decoder = sab.Decoder(data)
    decoder.read_header()
    records = []
    for record in decoder.read_records():
        values, integers = [], 0
        kind = record[0].value
        for token in record:
            if token.tag in (Tags.LOCATION_VEC, Tags.DIRECTION_VEC):
                values.extend(float(v) for v in token.value)
            elif token.tag in (Tags.DOUBLE, Tags.UNKNOWN_0x17):
                values.append(float(token.value))
            elif token.tag == Tags.POINTER:
                values.append("$%d" % token.value)
            elif token.tag in (Tags.BOOL_TRUE, Tags.BOOL_FALSE):
                values.append(bool)
            elif token.tag == Tags.SUBTYPE_START:
                values.append("{")
            elif token.tag == Tags.SUBTYPE_END:
                values.append("}")
            elif token.tag == Tags.LITERAL_STR:
                values.extend(text_records(["", "", "", token.value])[0])
            elif token.tag == Tags.INT:
                integers += 1
                if integers != 2 or kind not in ("coedge", "vertex"):
                    values.append(token.value)
            elif token.tag == Tags.STR and kind == "asmheader":
                values.append("208.0.4.7009")
            elif token.value == "End-of-ASM-data":
                values.append("End-of-ACIS-data")
            else:
                values.append(token.value)
        records.append(values)
    return records


def text_records(lines):
    records = []
    for line in lines[3:]:
        values, words, i = [], line.split(" "), 0
        while i < len(words):
            word = words[i]
            i += 1
            if word in ("", "#"):
                continue
            if word.startswith("@") and word[1:].isdigit():
                length, text = int(word[1:]), ""
                while len(text) < length and i < len(words):
                    text += (" " if text else "") + words[i]
                    i += 1
                values.append(text)
            elif word.startswith("$"):
                values.append(word)
            else:
                try:
                    values.append(int(word) if word.lstrip("-").isdigit() else float(word))
                except ValueError:
                    values.append(word)
        records.append(values)
    return records


def alike(expected, found):
    if expected is bool:
        return isinstance(found, str) and not found.startswith("$") and found not in ("{", "}")
    if isinstance(expected, (int, float)) and not isinstance(expected, bool):
        return isinstance(found, (int, float)) and float(found) == float(expected)
    return expected == found


def shape(entity):
    """The body as ezdxf's modeler reader takes it: its faces' corners and its transform."""
    bodies = api.load_dxf(entity)
    out = []
    for body in bodies:
        for mesh in api.mesh_from_body(body):
            out.append(sorted(tuple(round(c, 9) for c in v) for v in mesh.vertices))
            out.append(sorted(tuple(sorted(f)) for f in mesh.faces))
        if not body.transform.is_none:
            out.append([round(v, 9) for v in body.transform.matrix])
    return out


def read(entity):
    try:
        return shape(entity), None
    except Exception as e:  # what the reader says is the answer
        return None, e


def main(original, saved):
    before = ezdxf.readfile(original)
    after = ezdxf.readfile(saved)
    for solid in before.entitydb.values():
        if solid.dxftype() != "3DSOLID":
            continue
        handle = solid.dxf.handle
        copy = after.entitydb.get(handle)
        expected = binary_records(solid.sab)
        found = text_records(copy.sat) if copy is not None else []
        if not found:
            print("%s: empty" % handle)
            continue
        wrong = [n for n, (e, f) in enumerate(zip(expected, found))
                 if len(e) != len(f) or not all(alike(a, b) for a, b in zip(e, f))]
        if len(expected) != len(found) or wrong:
            print("%s: %d records, %d in the copy, first unlike: %s" % (handle, len(expected), len(found), wrong[:1]))
            continue
        version = copy.sat[0].split(" ")[0]
        (source, _), (kept, why) = read(solid), read(copy)
        if kept is None:
            how = "the copy unread: %s" % why
        elif source is None:
            how = "the original unread"
        else:
            how = "the same body" if source == kept else "another body"
        print("%s: %d records alike as %s, %s" % (handle, len(expected), version, how))


def kept(original, saved):
    before = ezdxf.readfile(original)
    after = ezdxf.readfile(saved)
    print(after.acad_release)
    for solid in before.entitydb.values():
        if solid.dxftype() == "3DSOLID":
            copy = after.entitydb.get(solid.dxf.handle)
            same = copy is not None and copy.has_binary_data and bytes(copy.sab) == bytes(solid.sab)
            print("%s: %s" % (solid.dxf.handle, "as read" if same else "changed"))


def data_record(path, handle):
    """The version, and the size and data lines of the ACDSDATA record of the entity, as text."""
    with open(path) as f:
        t = f.read()
    version = t[t.index("$ACADVER"):].split("\n")[2].strip()
    at = t.find("\n320\n%s\n" % handle, t.find("ACDSDATA"))
    if at < 0:
        return version, None
    lines = t[at:t.index("\n  0\n", at)].split("\n")
    return version, [(code.strip(), value) for code, value in zip(lines[1::2], lines[2::2]) if code.strip() in ("94", "310")]


def record(original, saved, handle):
    _, before = data_record(original, handle)
    version, after = data_record(saved, handle)
    print(version)
    print("%s: %s" % (handle, "as read" if after is not None and after == before else "changed"))


if __name__ == "__main__":
    if sys.argv[1] == "--kept":
        kept(sys.argv[2], sys.argv[3])
    elif sys.argv[1] == "--record":
        record(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        main(sys.argv[1], sys.argv[2])
