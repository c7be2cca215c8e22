"""Compares the modeler geometry of the 3D solids of a drawing with that of a copy saved as R2010.

    solid_values.py ORIGINAL SAVED     prints "HANDLE: N records alike" for each solid of ORIGINAL,
                                       or what the copy lost or changed

ORIGINAL (R2013 or later) holds the geometry in binary form in its ACDSDATA section, the copy as text
in the solid itself; the two must hold the same records with the same values: every number, pointer,
name and text alike, and a word wherever the binary form holds a yes or no.
"""
import sys

import ezdxf
from ezdxf.acis import sab
from ezdxf.acis.const import Tags


def binary_records(data):
    decoder = sab.Decoder(data)
    decoder.read_header()
    records = []
    for record in decoder.read_records():
        values = []
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
    if isinstance(expected, float):
        return isinstance(found, (int, float)) and float(found) == expected
    return expected == found


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
        else:
            print("%s: %d records alike" % (handle, len(expected)))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
