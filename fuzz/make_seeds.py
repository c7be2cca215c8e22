#!/usr/bin/python3
"""Cuts the sample drawings into small seed inputs for the DXF reader's fuzz target.

usage: fuzz/make_seeds.py OUT_DIR DXF_FILE...
Each file gives its small sections whole, and its records a few of each type at a time in a frame of
their own section, so that the fuzzer starts from inputs of a few hundred bytes that still reach every
part of the reader. `scripts/fuzz seeds` merges them down to what adds coverage.
"""
import hashlib
import os
import sys

LIMIT = 16384


def tags(path):
    data = open(path, "rb").read()
    if data.startswith(b"\xef\xbb\xbf"):
        data = data[3:]
    lines = data.replace(b"\r\n", b"\n").replace(b"\r", b"\n").split(b"\n")
    return [(lines[i].strip(), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def text(pairs):
    return b"".join(b"%3s\n%s\n" % (c, v) for c, v in pairs)


def sections(pairs):
    out, cur, name = [], None, None
    for i, (c, v) in enumerate(pairs):
        if c == b"0" and v.strip() == b"SECTION" and i + 1 < len(pairs):
            cur, name = [], pairs[i + 1][1].strip()
        elif c == b"0" and v.strip() == b"ENDSEC" and cur is not None:
            out.append((name, cur[1:]))
            cur = None
        elif cur is not None:
            cur.append((c, v))
    return out


def records(body):
    out = []
    for c, v in body:
        if c == b"0":
            out.append([])
        if out:
            out[-1].append((c, v))
    return out


def frame(name, body):
    return text([(b"0", b"SECTION"), (b"2", name)] + body + [(b"0", b"ENDSEC"), (b"0", b"EOF")])


def main():
    out_dir, files = sys.argv[1], sys.argv[2:]
    os.makedirs(out_dir, exist_ok=True)
    seeds = []
    for path in files:
        whole = open(path, "rb").read()
        if len(whole) <= LIMIT:
            seeds.append(whole)
        try:
            secs = sections(tags(path))
        except Exception:
            continue
        for name, body in secs:
            seeds.append(frame(name, body))
            by_type = {}
            for rec in records(body):
                by_type.setdefault(rec[0][1].strip(), []).append(rec)
            for kind, recs in by_type.items():
                for k in range(0, min(len(recs), 6), 2):
                    seeds.append(frame(name, [t for r in recs[k:k + 2] for t in r]))
    for s in seeds:
        if len(s) <= LIMIT:
            open(os.path.join(out_dir, hashlib.sha1(s).hexdigest()), "wb").write(s)


if __name__ == "__main__":
    main()
