"""Floor plans whose spaces store a room height and a volume, for the tests of changing units, of
drawings in stated units and of names too long for a record, written with ezdxf on the helpers of
tests/data/commands/make_plans.py.

    make_height_plans.py FOLDER   writes plan_heights.dxf, plan_cm.dxf, plan_m.dxf, plan_ft.dxf,
                                  plan_mm_says_in.dxf, plan_long_names.dxf, plan_written_forms.dxf,
                                  plan_thirty_ft.dxf, plan_thirty_m.dxf, plan_whole_areas.dxf,
                                  plan_perimeter_forms.dxf, plan_area_forms.dxf and
                                  plan_precision_forms.dxf, plan_unit_forms.dxf

plan_heights.dxf (millimetres): 10 m x 9.2 m rooms, each stored as 92.00 sq.m., 38.40 m, a room height
of 2.70 m and a volume of 248.40 cu.m. ROOM-701's AUX label shows the stored room height, ROOM-702's
the stored volume; ROOM-703's AUX label shows the height at another rounding and its AREA label a typed
note. ROOM-704 to ROOM-707 store their height and volume as "n/a", as nothing, with a decimal comma
("2,75m.", "253,00cu.m.") and in feet in a metric record ("8.86ft.", "8772.16cu.ft.").
plan_cm.dxf, plan_m.dxf, plan_ft.dxf: two 5 m x 4 m rooms, ROOM-801 and ROOM-802, drawn in the unit the
drawing states (centimetres, metres, feet; linear units decimal), stored as 20.00 sq.m. and 18.00 m
with labels showing both. plan_mm_says_in.dxf: the same drawn in millimetres, its linear units decimal
but its insertion units inches.
plan_long_names.dxf (millimetres): rooms ROOM-901 to ROOM-906 whose NAME labels take 250 plain letters,
251, 125 accented ones, 126, 3000 and 9000 (with "NAME=", 255, 256, 255, 257, 6005 and 18005 bytes in
UTF-8), then ROOM-907 named "Hall"; all stored as 20.00 sq.m. and 18.00 m, named "Room 1" to "Room 7".
plan_written_forms.dxf (millimetres): 10 m x 9.2 m rooms ROOM-601 on, stored as 92.00 sq.m., each with
a room height and volume as another program writes them (WRITTEN_FORMS below), named "Form 1" on;
ROOM-608's area names no unit.
plan_thirty_ft.dxf and plan_thirty_m.dxf: 30 rooms ROOM-501 to ROOM-530, 10 m x 9.2 m, stored in feet
(heights 8.50 to 10.75 ft., volumes from 1020.00 cu.ft.) or in metres (2.40 to 3.56 m, from 210.00 cu.m.).
plan_whole_areas.dxf: ROOM-401 and ROOM-402 stored as "11sq.m." and "9sq.m." with labels showing them;
ROOM-403 to ROOM-406 as "1,092.50sq.m.", "92,50sq.m.", "92.00 sq.m" (no final point) and "1 092,50sq.m.",
height 2.70 m.
plan_perimeter_forms.dxf, plan_area_forms.dxf, plan_precision_forms.dxf, plan_unit_forms.dxf (millimetres): 10 m x 9.2 m rooms
whose records hold a perimeter, an area or a height as people and other programs write them
(PERIMETER_FORMS, AREA_FORMS, PRECISION_FORMS below), the others as 92.00 sq.m., 38.40 m, 2.70 m and
248.40 cu.m.; the AUX label shows the stored perimeter.
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "data", "commands"))

from make_plans import define_room, new_doc, place, record  # noqa: E402


def stored(name, height="2.70m.", volume="248.40cu.m."):
    strings = record("92.00sq.m.", "38.40m.", name)
    strings[strings.index("ROOM_HEIGHT=2.70m.")] = "ROOM_HEIGHT=" + height
    strings[strings.index("VOLUME=135.00cu.m.")] = "VOLUME=" + volume
    return strings


def plan_heights(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    rooms = (("ROOM-701", "Lab", "92.00sq.m.", "2.70m.", "2.70m.", "248.40cu.m."),
             ("ROOM-702", "Hall", "92.00sq.m.", "248.40cu.m.", "2.70m.", "248.40cu.m."),
             ("ROOM-703", "Store", "high room", "2.7m.", "2.70m.", "248.40cu.m."),
             ("ROOM-704", "Unknown", "92.00sq.m.", "", "n/a", "n/a"),
             ("ROOM-705", "Blank", "92.00sq.m.", "", "", ""),
             ("ROOM-706", "Comma", "92.00sq.m.", "", "2,75m.", "253,00cu.m."),
             ("ROOM-707", "Feet", "92.00sq.m.", "", "8.86ft.", "8772.16cu.ft."))
    for i, (block, name, area, aux, height, volume) in enumerate(rooms):
        define_room(doc, block, [(0, 0, 0), (10000, 0, 0), (10000, 9200, 0), (0, 9200, 0)])
        place(msp, block, (i * 11000, 0), {"NAME": name, "AREA": area, "AUX": aux}, stored(name, height, volume))
    doc.saveas(path)


def rooms_in(path, insunits, per_metre):
    """Two 5 m x 4 m rooms in a drawing that states its insertion units (linear units decimal)."""
    doc = new_doc(2)
    doc.header["$INSUNITS"] = insunits
    msp = doc.modelspace()
    width, depth = 5 * per_metre, 4 * per_metre
    for i, block in enumerate(("ROOM-801", "ROOM-802")):
        define_room(doc, block, [(0, 0, 0), (width, 0, 0), (width, depth, 0), (0, depth, 0)], height=per_metre / 4)
        at = (i * 2 * width, 0)
        labels = {"NAME": "Office %d" % (i + 1), "AREA": "20.00sq.m.", "AUX": "18.00m."}
        insert = msp.add_blockref(block, at)
        for row, (tag, value) in enumerate(labels.items()):
            insert.add_attrib(tag, value, (at[0] + per_metre, at[1] + per_metre * (1.4 - 0.4 * row)),
                              dxfattribs={"height": per_metre / 4})
        insert.set_xdata("ADE", [(1002, "{")] + [(1000, s) for s in record("20.00sq.m.", "18.00m.", labels["NAME"])] +
                         [(1002, "}")])
    doc.saveas(path)


def plan_long_names(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    names = ("a" * 250, "a" * 251, "\u00e9" * 125, "\u00e9" * 126, "\u00e9" * 3000, "\u00e9" * 9000, "Hall")
    for i, name in enumerate(names):
        block = "ROOM-%d" % (901 + i)
        define_room(doc, block, [(0, 0, 0), (5000, 0, 0), (5000, 4000, 0), (0, 4000, 0)])
        place(msp, block, (i * 6000, 0), {"NAME": name, "AREA": "20.00sq.m.", "AUX": "18.00m."},
              record("20.00sq.m.", "18.00m.", "Room %d" % (i + 1)))
    doc.saveas(path)


# (room height, volume) as stored; the tests know what each reads as.
WRITTEN_FORMS = (("2750mm", "1,250.00cu.m."), ("275cm", "1.234,5cu.m."), ("9'", "253m3"),
                 ("2.75 m", "1020.00cu.ft."), ("0x1Am.", "1e999cu.m."), ("2,750m.", "1,250cu.m."),
                 ("2.7M", "12.5.0cu.m."), ("2750mm", "1020.00cu.ft."))


def plan_written_forms(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    for i, (height, volume) in enumerate(WRITTEN_FORMS):
        block, name = "ROOM-%d" % (601 + i), "Form %d" % (i + 1)
        define_room(doc, block, [(0, 0, 0), (10000, 0, 0), (10000, 9200, 0), (0, 9200, 0)])
        strings = stored(name, height, volume)
        if i == 7:
            strings[0] = "AREA=92.00"  # a record whose units are not known
        place(msp, block, (i * 11000, 0), {"NAME": name, "AREA": "92.00sq.m.", "AUX": ""}, strings)
    doc.saveas(path)


def plan_thirty(path, imperial):
    doc = new_doc(2)
    msp = doc.modelspace()
    for i in range(30):
        block, name = "ROOM-%d" % (501 + i), "Room %d" % (i + 1)
        define_room(doc, block, [(0, 0, 0), (10000, 0, 0), (10000, 9200, 0), (0, 9200, 0)])
        if imperial:
            area, perimeter = "990.28sq.ft.", "125.98ft."
            height, volume = "%.2fft." % (8.5 + 0.25 * (i % 10) + 0.01 * i), "%.2fcu.ft." % (1020 + 37.37 * i)
        else:
            area, perimeter = "92.00sq.m.", "38.40m."
            height, volume = "%.2fm." % (2.4 + 0.04 * i), "%.2fcu.m." % (210 + 3.33 * i)
        strings = record(area, perimeter, name)
        strings[strings.index("ROOM_HEIGHT=2.70m.")] = "ROOM_HEIGHT=" + height
        strings[strings.index("VOLUME=135.00cu.m.")] = "VOLUME=" + volume
        place(msp, block, (i * 11000, 0), {"NAME": name, "AREA": area, "AUX": height}, strings)
    doc.saveas(path)


def plan_whole_areas(path):
    doc = new_doc(2)
    msp = doc.modelspace()
    rooms = (("ROOM-401", "11sq.m.", "3m.", "60cu.m."), ("ROOM-402", "9sq.m.", "3m.", "60cu.m."),
             ("ROOM-403", "1,092.50sq.m.", "2.70m.", "54.00cu.m."), ("ROOM-404", "92,50sq.m.", "2.70m.", "54.00cu.m."),
             ("ROOM-405", "92.00 sq.m", "2.70m.", "54.00cu.m."), ("ROOM-406", "1 092,50sq.m.", "2.70m.", "54.00cu.m."))
    for i, (block, area, height, volume) in enumerate(rooms):
        define_room(doc, block, [(0, 0, 0), (5000, 0, 0), (5000, 4000, 0), (0, 4000, 0)])
        strings = record(area, "18m.", "Whole %d" % (i + 1))
        strings[strings.index("ROOM_HEIGHT=2.70m.")] = "ROOM_HEIGHT=" + height
        strings[strings.index("VOLUME=135.00cu.m.")] = "VOLUME=" + volume
        place(msp, block, (i * 6000, 0), {"NAME": "Whole %d" % (i + 1), "AREA": area, "AUX": "18m."}, strings)
    doc.saveas(path)


# (name, area, perimeter, room height) as stored; the tests know what each reads as.
PERIMETER_FORMS = tuple(("Perimeter %s" % chr(65 + i), "92.00sq.m.", perimeter, "2.70m.") for i, perimeter in enumerate(
    ("1,250m.", "38.40ft", "38.40mm", "-38.40m.", "NaN", "abc", "1,250.50m.", "38,40m.", "3840cm", "38.40 M", "",
     "38.40m.", "1e3m.", "inf", "\u221238.40m.")))
AREA_FORMS = tuple(("Area %s" % chr(65 + i), area, perimeter, "2.70m.") for i, (area, perimeter) in enumerate(
    (("92.00m\u00b2", "38.40m."), ("92.00SQ.M.", "38.40m."), ("1,250sq.m.", "38.40m."), ("NaN", "38.40m."),
     ("990.28sq.ft", "38.40m."), ("92.00sq.m.", "38.40m."), ("92.00sq.m.", "NaN"))))
# Units in capitals and numbers with an exponent, as other programs write them.
UNIT_FORMS = (("Forms A", "92.00SQ.M.", "39.00M.", "2.70M."),
              ("Forms B", "9.2E+01sq.m.", "3.9E+01m.", "2.7E+00m."),
              ("Forms C", "92.00sq.m.", "42.20m.", "2.70m."))
PRECISION_FORMS = (("Precise", "92." + "0" * 30 + "sq.m.", "38.40m.", "2.70m."),
                   ("Millimetres", "92.00sq.m.", "38.40m.", "2.70mm."),
                   ("Centimetres", "92.00sq.m.", "38.40m.", "2.70cm."),
                   ("Whole millimetres", "92.00sq.m.", "38.40m.", "2750mm"),
                   ("Half centimetres", "92.00sq.m.", "38.40m.", "27.5cm"))


def plan_forms(path, forms, first):
    doc = new_doc(2)
    msp = doc.modelspace()
    for i, (name, area, perimeter, height) in enumerate(forms):
        block = "ROOM-%d" % (first + i)
        define_room(doc, block, [(0, 0, 0), (10000, 0, 0), (10000, 9200, 0), (0, 9200, 0)])
        strings = record(area, perimeter, name)
        strings[strings.index("ROOM_HEIGHT=2.70m.")] = "ROOM_HEIGHT=" + height
        strings[strings.index("VOLUME=135.00cu.m.")] = "VOLUME=248.40cu.m."
        place(msp, block, (i * 11000, 0), {"NAME": name, "AREA": area, "AUX": perimeter}, strings)
    doc.saveas(path)


if __name__ == "__main__":
    folder = sys.argv[1]
    plan_heights(folder + "/plan_heights.dxf")
    rooms_in(folder + "/plan_cm.dxf", 5, 100)
    rooms_in(folder + "/plan_m.dxf", 6, 1)
    rooms_in(folder + "/plan_ft.dxf", 2, 1 / 0.3048)
    rooms_in(folder + "/plan_mm_says_in.dxf", 1, 1000)
    plan_long_names(folder + "/plan_long_names.dxf")
    plan_written_forms(folder + "/plan_written_forms.dxf")
    plan_thirty(folder + "/plan_thirty_ft.dxf", True)
    plan_thirty(folder + "/plan_thirty_m.dxf", False)
    plan_whole_areas(folder + "/plan_whole_areas.dxf")
    plan_forms(folder + "/plan_perimeter_forms.dxf", PERIMETER_FORMS, 301)
    plan_forms(folder + "/plan_area_forms.dxf", AREA_FORMS, 321)
    plan_forms(folder + "/plan_precision_forms.dxf", PRECISION_FORMS, 331)
    plan_forms(folder + "/plan_unit_forms.dxf", UNIT_FORMS, 341)
