"""Floor plans whose text is in other languages, each in the release and code page such a drawing comes in,
written with ezdxf on the helpers of tests/data/commands/make_plans.py.

    make_language_plans.py plan FILE RELEASE CODEPAGE CODEC NAME [SPECIAL_REQ [LABEL]]
        A TEXT holding NAME on a layer named "Plan NAME"; from R2000 on also a room ROOM-1 (10 m x 5 m,
        stored as 40.00 sq.m. and 30.00 m, named NAME) whose NAME label shows LABEL (NAME when not given),
        whose AREA label shows the stored area and whose stored SPECIAL_REQ is SPECIAL_REQ. The header names CODEPAGE and the text is written
        in the Python codec CODEC (what it cannot hold as ezdxf escapes it); NAME may hold "\\U+" escapes
        as written.
    make_language_plans.py dump FILE
        prints "CODEPAGE=" and the header's code page, then "TEXT|layer|text" for each text and
        "ROOM|block|NAME label|AREA label|stored NAME|stored AREA|stored SPECIAL_REQ" for each insert.
"""
import io
import os
import sys

import ezdxf

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "commands"))

from make_plans import define_room, new_doc, place, record  # noqa: E402


def plan(path, release, codepage, codec, name, special=None, label=None):
    doc = new_doc(2, release) if release != "R12" else ezdxf.new("R12")
    msp = doc.modelspace()
    # Named after the writing: ezdxf refuses a backslash in a name, which escapes are written with.
    doc.layers.new("PLAN-LAYER")
    msp.add_text(name, dxfattribs={"layer": "PLAN-LAYER", "height": 250})
    if release != "R12":
        define_room(doc, "ROOM-1", [(0, 0, 0), (10000, 0, 0), (10000, 5000, 0), (0, 5000, 0)])
        strings = record("40.00sq.m.", "30.00m.", name)
        if special is not None:
            strings = [("SPECIAL_REQ=" + special) if s.startswith("SPECIAL_REQ=") else s for s in strings]
        place(msp, "ROOM-1", (0, 0), {"NAME": label if label is not None else name, "AREA": "40.00sq.m.",
                                      "AUX": "30.00m."}, strings)
    text = io.StringIO()
    doc.write(text)
    written = text.getvalue()
    header = "$DWGCODEPAGE\n  3\n"
    at = written.index(header) + len(header)
    written = written[:at] + codepage + written[written.index("\n", at):]
    written = written.replace("\nPLAN-LAYER\n", "\nPlan " + name + "\n")
    with open(path, "wb") as out:
        out.write(written.encode(codec, errors="dxfreplace"))


def dump(path):
    doc = ezdxf.readfile(path)
    print("CODEPAGE=" + doc.header.get("$DWGCODEPAGE", ""))
    for text in doc.modelspace().query("TEXT"):
        print("TEXT|%s|%s" % (text.dxf.layer, text.dxf.text))
    for insert in doc.modelspace().query("INSERT"):
        labels = {a.dxf.tag: a.dxf.text for a in insert.attribs}
        stored = {}
        if insert.has_xdata("ADE"):
            for code, value in insert.get_xdata("ADE"):
                if code == 1000 and "=" in value:
                    key, _, rest = value.partition("=")
                    stored.setdefault(key, rest)
        print("ROOM|%s|%s|%s|%s|%s|%s" % (insert.dxf.name, labels.get("NAME", ""), labels.get("AREA", ""),
                                          stored.get("NAME", ""), stored.get("AREA", ""), stored.get("SPECIAL_REQ", "")))


if __name__ == "__main__":
    if sys.argv[1] == "dump":
        dump(sys.argv[2])
    else:
        plan(*sys.argv[2:])
