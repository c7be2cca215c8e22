#!/usr/bin/python3
"""Checks a DXF file we saved against the file it was read from, with ezdxf as the judge.

usage: check_roundtrip.py ORIGINAL SAVED [--renumbered]

The saved file must load strictly and audit without errors; every layout and block must hold
the same number of entities of each type; entities keep their handles (unless --renumbered:
the original had broken handles) and their extended data. A table block ("*T...") that no table or
insert of the original names is left out of the saved file.
"""
import sys
from collections import Counter

import ezdxf
from ezdxf import recover


SUB_ENTITIES = {"ATTRIB", "VERTEX", "SEQEND"}


def raw_spaces(path):
    """Entity types per block, read from the tags themselves (no repairs, no judgement)."""
    data = open(path, "rb").read().replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")
    out = {}
    named = set()  # the blocks inserts and tables name
    section = None
    block = None
    current = None
    paper = False
    i = 0

    def flush():
        if current and current not in SUB_ENTITIES and current not in ("BLOCK", "ENDBLK", "SECTION", "ENDSEC", "EOF"):
            if section == "ENTITIES":
                name = "*PAPER_SPACE" if paper else "*MODEL_SPACE"
            elif section == "BLOCKS" and block is not None:
                name = block
            else:
                return
            out.setdefault(name, Counter())[current] += 1

    while i + 1 < len(data):
        try:
            code = int(data[i].strip())
        except ValueError:
            i += 1
            continue
        value = data[i + 1].strip().decode("latin-1")
        i += 2
        if code == 0:
            flush()
            current, paper = value, False
            if value == "EOF":
                break
            if value == "ENDBLK":
                block = None
        elif code == 2 and current == "SECTION":
            section = value
        elif code == 2 and current == "BLOCK" and section == "BLOCKS":
            block = value.upper().replace("$MODEL_SPACE", "*MODEL_SPACE").replace("$PAPER_SPACE", "*PAPER_SPACE")
        elif code == 67 and value == "1":
            paper = True
        elif code == 2 and current in ("INSERT", "ACAD_TABLE"):
            named.add(value.upper())
    flush()
    for name in [n for n in out if n.startswith("*T") and n not in named]:
        del out[name]
    return out


def spaces(doc):
    out = {}
    for block in doc.blocks:
        counts = Counter(e.dxftype() for e in block)
        out[block.name.upper()] = counts
    return out


def xdata_of(entity):
    result = {}
    if entity.xdata is None:
        return result
    for app in entity.xdata.data:
        result[app] = [(t.code, norm(t.value)) for t in entity.xdata.get(app)]
    return result


def norm(v):
    if isinstance(v, float):
        return round(v, 9)
    if isinstance(v, (tuple, list)) or hasattr(v, "__iter__") and not isinstance(v, str):
        try:
            return tuple(round(float(x), 9) for x in v)
        except (TypeError, ValueError):
            return tuple(v)
    return v


def main():
    original, saved = sys.argv[1], sys.argv[2]
    renumbered = "--renumbered" in sys.argv
    failures = []
    doc2 = ezdxf.readfile(saved)
    s2 = spaces(doc2)  # before the audit, which may remove what it dislikes
    auditor = doc2.audit()
    for e in auditor.errors:
        failures.append("audit error: %s" % e.message)
    if doc2.dxfversion != "AC1024":
        failures.append("saved as %s, not AC1024" % doc2.dxfversion)
    try:
        doc1, _ = recover.readfile(original)
    except Exception as exc:  # ezdxf cannot read every damaged file; then only the audit counts
        print("original not readable by ezdxf: %s" % exc)
        doc1 = None
    s1 = raw_spaces(original)
    for name, counts in s1.items():
        other = s2.get(name, Counter())
        if counts != other:
            failures.append("block %s: %s -> %s" % (name, dict(counts), dict(other)))
    if doc1 is not None and not renumbered:
        by_handle = {e.dxf.handle: e for e in doc2.entitydb.values() if e.dxf.hasattr("handle")}
        missing = 0
        for block in doc1.blocks:
            if block.name.upper().startswith("*T") and block.name.upper() not in s1:
                continue
            for e in block:
                h = e.dxf.handle
                if not h or doc1.dxfversion <= "AC1009" and not doc1.header.get("$HANDLING", 0):
                    continue
                twin = by_handle.get(h)
                if twin is None or twin.dxftype() != e.dxftype():
                    missing += 1
                    continue
                if xdata_of(e) != xdata_of(twin):
                    failures.append("xdata of %s %s differs: %s -> %s" % (e.dxftype(), h, xdata_of(e), xdata_of(twin)))
        if missing:
            failures.append("%d entities lost their handles" % missing)
    for f in failures[:30]:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
