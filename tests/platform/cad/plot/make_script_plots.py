#!/usr/bin/env python3
"""Writes room names in scripts other than Latin, one per drawing inside a 0..100 frame of lines, for the
plot's tests: Chinese and Japanese names, characters no font holds, and Arabic joined and unjoined."""
import sys

import ezdxf

NAMES = {
    "chinese": "会议室",
    "chinese_other": "接待处",
    "japanese": "トイレ",
    "japanese_other": "ロビー",
    "japanese_kanji": "会議室",
    # Private-use characters: no font holds them, every plot draws a missing-glyph box for each.
    "unheld": "\ue000\ue001\ue002",
    # Peace, and its letters each in its unjoined form, in the order they are written.
    "arabic": "سلام",
    "arabic_unjoined": "\ufeb1\ufedd\ufe8d\ufee1",
    # A tall alef written first, then low joined behs: where the alef stands shows which way the text runs.
    "arabic_alef_first": "ابببب",
}


def main(folder):
    for name, text in NAMES.items():
        doc = ezdxf.new("R2010")
        msp = doc.modelspace()
        for a, b in [((0, 0), (100, 0)), ((100, 0), (100, 100)), ((100, 100), (0, 100)), ((0, 100), (0, 0))]:
            msp.add_line(a, b)
        msp.add_text(text, height=10, dxfattribs={"insert": (20, 45)})
        # The same name as a room's paragraph label below it.
        msp.add_mtext(text, dxfattribs={"insert": (20, 30), "char_height": 10})
        doc.saveas(f"{folder}/{name}.dxf")


if __name__ == "__main__":
    main(sys.argv[1])
