// A change of units converts a space's room height and volume with its area and perimeter, so that each
// stored value keeps its meaning, and a label showing one as stored follows it, at any precision; a
// height or volume no command can read stays as stored; a drawing is measured in the unit it states;
// and a record that cannot hold a space's name leaves that space alone: through cadhost, on ezdxf plans
// read back by ezdxf.
#include <cmath>

#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

class HeightPlans : public SpaceCommands {
protected:
    static void SetUpTestSuite() {
        SpaceCommands::SetUpTestSuite();
        const fs::path script =
            fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "spacecommands" / "make_height_plans.py";
        heightPlans =
            ezdxf && std::system(("/usr/bin/python3 '" + script.string() + "' '" + plans.string() + "'").c_str()) == 0;
    }
    void SetUp() override {
        SpaceCommands::SetUp();
        if (!IsSkipped() && !heightPlans) GTEST_SKIP() << "python3-ezdxf cannot write the height plans";
    }
    static std::string stored(const Insert& insert, const std::string& key) {
        const size_t at = insert.data.find(";" + key + "=");
        if (at == std::string::npos) return "(none)";
        return insert.data.substr(at + 1, insert.data.find(';', at + 1) - at - 1);
    }
    static inline bool heightPlans = false;
};

const std::string toFeet = "mprefs\ndlg radio 289\ndlg enter\n";
const std::string toMetres = "mprefs\ndlg radio 288\ndlg enter\n";
const std::string editorToFeet = "mbe\ndlg menu 32769\ndlg radio 289\ndlg enter\ndlg click 286\n";
const std::string editorToMetres = "mbe\ndlg menu 32769\ndlg radio 288\ndlg enter\ndlg click 286\n";
const std::string recalculatingSync = "msxta\n\n\n\nyes\n";

// What one space stores and shows after the script; a null value is not looked at.
struct Room {
    const char* block;
    const char* height;
    const char* volume;
    const char* area;
    const char* areaLabel;
    const char* auxLabel;
    const char* name = nullptr;
};

// The script runs on `plan` and saves "saved.dxf" after it; `midway` is checked in "feet.dxf" when it
// saves that too. Each of `said` is in the output once.
struct Case {
    const char* what;
    std::map<std::string, std::string> prefs;
    std::string script;
    std::vector<Room> rooms;
    std::vector<Room> midway = {};
    std::string plan = "plan_heights.dxf";
    std::vector<std::string> said = {};
};

// 2.70 m is 8.86 ft., 248.40 cu.m. 8772.16 cu.ft., 92 sq.m. 990.28 sq.ft. ROOM-701's AUX label showed
// the height and ROOM-702's the volume; ROOM-703's show another rounding and a typed note, and stay.
const std::vector<Room> inFeet = {
    {"ROOM-701", "ROOM_HEIGHT=8.86ft.", "VOLUME=8772.16cu.ft.", "AREA=990.28sq.ft.", "990.28sq.ft.", "8.86ft."},
    {"ROOM-702", "ROOM_HEIGHT=8.86ft.", "VOLUME=8772.16cu.ft.", "AREA=990.28sq.ft.", "990.28sq.ft.", "8772.16cu.ft."},
    {"ROOM-703", "ROOM_HEIGHT=8.86ft.", "VOLUME=8772.16cu.ft.", "AREA=990.28sq.ft.", "high room", "2.7m."},
};

class UnitsKept : public HeightPlans {
protected:
    void expectAll(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            writePrefs(c.prefs);
            Outcome r = run(c.plan, c.script + "SAVEAS saved.dxf\n");
            // A space left as it was, with its line, is a line not applied.
            bool spaceLeft = false;
            for (const std::string& line : c.said)
                spaceLeft = spaceLeft || line.find(" not updated: ") != std::string::npos;
            ASSERT_EQ(r.status, spaceLeft ? 1 : 0) << r.err << r.out;
            for (const std::string& line : c.said) EXPECT_EQ(count(r.out, line), 1u) << line << r.out;
            expectRooms("saved.dxf", c.rooms);
            if (!c.midway.empty()) expectRooms("feet.dxf", c.midway);
        }
    }
    void expectRooms(const std::string& drawing, const std::vector<Room>& rooms) {
        SCOPED_TRACE(drawing);
        auto plan = read(drawing);
        for (const Room& room : rooms) {
            SCOPED_TRACE(room.block);
            const Insert& insert = plan[room.block];
            if (room.height) {
                EXPECT_EQ(stored(insert, "ROOM_HEIGHT"), room.height) << insert.data;
            }
            if (room.volume) {
                EXPECT_EQ(stored(insert, "VOLUME"), room.volume) << insert.data;
            }
            if (room.name) {
                EXPECT_EQ(stored(insert, "NAME"), room.name) << insert.data;
            }
            EXPECT_EQ(insert.data.substr(0, insert.data.find(';')), room.area) << insert.data;
            if (room.areaLabel) {
                EXPECT_EQ(insert.attributes.at("AREA").text, room.areaLabel);
            }
            if (room.auxLabel) {
                EXPECT_EQ(insert.attributes.at("AUX").text, room.auxLabel);
            }
        }
    }
};

TEST_F(UnitsKept, ChangingToFeetConvertsRoomHeightAndVolumeAndTheLabelsShowingThem) {
    expectAll({
        {"preferences in feet, then mus", {}, toFeet + "mus\n", inFeet},
        {"Options in feet in the editor", {}, editorToFeet, inFeet},
    });
}

TEST_F(UnitsKept, ChangingToFeetAndBackToMetresGivesTheStoredValuesAndLabelsBack) {
    const std::vector<Room> asDrawn = {
        {"ROOM-701", "ROOM_HEIGHT=2.70m.", "VOLUME=248.40cu.m.", "AREA=92.00sq.m.", "92.00sq.m.", "2.70m."},
        {"ROOM-702", "ROOM_HEIGHT=2.70m.", "VOLUME=248.40cu.m.", "AREA=92.00sq.m.", "92.00sq.m.", "248.40cu.m."},
    };
    expectAll({
        {"mus in feet, then in metres", {}, toFeet + "mus\nSAVEAS feet.dxf\n" + toMetres + "mus\n", asDrawn, inFeet},
        {"Options in feet in the editor, then mus in metres",
         {},
         editorToFeet + "SAVEAS feet.dxf\n" + toMetres + "mus\n",
         asDrawn,
         inFeet},
    });
}

// The labels of these are not followed, as their areas' are not either; the stored values convert.
TEST_F(UnitsKept, EveryOtherWayTheUnitsChangeConvertsRoomHeightAndVolume) {
    const std::map<std::string, std::string> imperial = {{"units", "1"}};
    expectAll({
        {"a space opened in an imperial editor and written with OK",
         imperial,
         "mbe\ndlg dblclick 246 Lab\ndlg click 1\n",
         {{"ROOM-701", "ROOM_HEIGHT=8.86ft.", "VOLUME=8772.16cu.ft.", "AREA=990.28sq.ft.", nullptr, nullptr}}},
        {"a sync that recalculates under imperial preferences",
         imperial,
         "msxta\n\n\n\nyes\n",
         {{"ROOM-701", "ROOM_HEIGHT=8.86ft.", "VOLUME=8772.16cu.ft.", "AREA=990.28sq.ft.", "990.28sq.ft.", nullptr}}},
    });
}

// ROOM-704 to ROOM-707 store "n/a", nothing, "2,75m." with "253,00cu.m.", and feet in a metric record.
const std::vector<Room> keptInMetres = {
    {"ROOM-704", "ROOM_HEIGHT=n/a", "VOLUME=n/a", "AREA=92.00sq.m.", nullptr, nullptr},
    {"ROOM-705", "ROOM_HEIGHT=", "VOLUME=", "AREA=92.00sq.m.", nullptr, nullptr},
    {"ROOM-706", "ROOM_HEIGHT=2.75m.", "VOLUME=253.00cu.m.", "AREA=92.00sq.m.", nullptr, nullptr},
    {"ROOM-707", "ROOM_HEIGHT=2.70m.", "VOLUME=248.40cu.m.", "AREA=92.00sq.m.", nullptr, nullptr},
};
const std::vector<Room> keptInFeet = {
    {"ROOM-704", "ROOM_HEIGHT=n/a", "VOLUME=n/a", "AREA=990.28sq.ft.", nullptr, nullptr},
    {"ROOM-705", "ROOM_HEIGHT=", "VOLUME=", "AREA=990.28sq.ft.", nullptr, nullptr},
    {"ROOM-706", "ROOM_HEIGHT=9.02ft.", "VOLUME=8934.61cu.ft.", "AREA=990.28sq.ft.", nullptr, nullptr},
    {"ROOM-707", "ROOM_HEIGHT=8.86ft.", "VOLUME=8772.16cu.ft.", "AREA=990.28sq.ft.", nullptr, nullptr},
};

TEST_F(UnitsKept, AHeightOrVolumeNoCommandCanReadStaysAndOneWithADecimalCommaOrItsOwnUnitIsReadAsWritten) {
    const std::map<std::string, std::string> imperial = {{"units", "1"}};
    std::string eachInTheDialog = "mbe\n";
    for (const char* name : {"Unknown", "Blank", "Comma", "Feet"})
        eachInTheDialog += std::string("dlg dblclick 246 ") + name + "\ndlg click 1\n";
    expectAll({
        {"a plain mus", {}, "mus\n", keptInMetres},
        {"mus in feet", {}, toFeet + "mus\n", keptInFeet},
        {"Options in feet in the editor", {}, editorToFeet, keptInFeet},
        {"a sync that recalculates under imperial preferences", imperial, "msxta\n\n\n\nyes\n", keptInFeet},
        {"each space written with OK in an imperial editor", imperial, eachInTheDialog, keptInFeet},
    });
}

TEST_F(UnitsKept, AtPrecisionZeroTheLabelsShowingStoredValuesFollowThemToFeetAndBack) {
    const std::map<std::string, std::string> noDecimals = {{"precison", "0"}};
    const std::vector<Room> feet = {
        {"ROOM-701", "ROOM_HEIGHT=9ft.", "VOLUME=8772cu.ft.", "AREA=990sq.ft.", "990sq.ft.", "9ft."},
        {"ROOM-702", "ROOM_HEIGHT=9ft.", "VOLUME=8772cu.ft.", "AREA=990sq.ft.", "990sq.ft.", "8772cu.ft."},
    };
    // 9 ft. is 2.74 m., which whole metres cannot give back (3 m. is 10 ft.): the height and volume stay
    // in feet, as do the labels showing them.
    const std::vector<Room> metres = {
        {"ROOM-701", "ROOM_HEIGHT=9ft.", "VOLUME=8772cu.ft.", "AREA=92sq.m.", "92sq.m.", "9ft."},
        {"ROOM-702", "ROOM_HEIGHT=9ft.", "VOLUME=8772cu.ft.", "AREA=92sq.m.", "92sq.m.", "8772cu.ft."},
    };
    expectAll({
        {"mus in feet, then in metres", noDecimals, toFeet + "mus\nSAVEAS feet.dxf\n" + toMetres + "mus\n", metres,
         feet},
    });
}

// A 5 m x 4 m room stored as 20.00 sq.m. and 18.00 m, as every drawing of the rows measures it.
const std::vector<Room> fiveByFour = {
    {"ROOM-801", "ROOM_HEIGHT=2.70m.", nullptr, "AREA=20.00sq.m.", "20.00sq.m.", "18.00m."},
    {"ROOM-802", "ROOM_HEIGHT=2.70m.", nullptr, "AREA=20.00sq.m.", "20.00sq.m.", "18.00m."},
};

TEST_F(UnitsKept, ADrawingIsMeasuredInTheLengthItStatesAndOneThatStatesTheOtherOfMillimetresAndInchesSaysSo) {
    const std::string choice =
        "\tThe drawing is measured in millimetres, as its linear units (decimal) give, "
        "although its insertion units are inches\n";
    expectAll({
        {"centimetres", {}, "mus\n", fiveByFour, {}, "plan_cm.dxf"},
        {"metres", {}, "mus\n", fiveByFour, {}, "plan_m.dxf"},
        {"feet", {}, "mus\n", fiveByFour, {}, "plan_ft.dxf"},
        {"millimetres stated as inches", {}, "mus\n", fiveByFour, {}, "plan_mm_says_in.dxf", {choice}},
        {"millimetres stated as inches, twice", {}, "mus\nmus\n", fiveByFour, {}, "plan_mm_says_in.dxf", {}},
    });
}

TEST_F(UnitsKept, ASpaceWhoseNameItsRecordCannotHoldIsLeftWithALineAndTheOthersAreUpdated) {
    const std::map<std::string, std::string> imperial = {{"units", "1"}};
    // 250 plain letters or 125 accented ones fit with "NAME=" in 255 bytes; one more does not.
    const std::vector<Room> rooms = {
        {"ROOM-901", nullptr, nullptr, "AREA=215.28sq.ft.", "215.28sq.ft.", nullptr},
        {"ROOM-902", nullptr, nullptr, "AREA=20.00sq.m.", "20.00sq.m.", "18.00m.", "NAME=Room 2"},
        {"ROOM-903", nullptr, nullptr, "AREA=215.28sq.ft.", "215.28sq.ft.", nullptr},
        {"ROOM-904", nullptr, nullptr, "AREA=20.00sq.m.", "20.00sq.m.", "18.00m.", "NAME=Room 4"},
        {"ROOM-905", nullptr, nullptr, "AREA=20.00sq.m.", "20.00sq.m.", "18.00m.", "NAME=Room 5"},
        {"ROOM-906", nullptr, nullptr, "AREA=20.00sq.m.", "20.00sq.m.", "18.00m.", "NAME=Room 6"},
        {"ROOM-907", nullptr, nullptr, "AREA=215.28sq.ft.", "215.28sq.ft.", nullptr, "NAME=Hall"},
    };
    std::vector<std::string> said;
    for (const char* bytes : {"256", "257", "6005", "18005"})
        said.push_back(std::string(" not updated: its NAME takes ") + bytes +
                       " bytes, more than the 255 a drawing holds in one string\n");
    expectAll({
        {"mus", imperial, "mus\n", rooms, {}, "plan_long_names.dxf", said},
        {"a sync that keeps the labels' names",
         imperial,
         "msxta\nno\n\n\nyes\n",
         rooms,
         {},
         "plan_long_names.dxf",
         said},
    });
    for (const auto& [block, insert] : read("saved.dxf"))
        for (size_t start = 0, end = 0; start < insert.data.size(); start = end + 1) {
            end = std::min(insert.data.find(';', start), insert.data.size());
            EXPECT_LE(end - start, 255u) << block;
        }
}

// ROOM-601 to ROOM-607 store their heights and volumes as other programs write them: millimetres and
// thousands, centimetres and a decimal comma, feet as ' and cubic metres as m3, a spaced unit and cubic
// feet in a metric record, a unit in capitals; then what reads as no number of them, nor as two. ROOM-608's record
// names no units but its height and volume do.
TEST_F(UnitsKept, AStoredHeightOrVolumeIsReadOnlyWholeAndAnyOtherTextStaysWithItsSpaceNamed) {
    const std::vector<Room> metres = {
        {"ROOM-601", "ROOM_HEIGHT=2.75m.", "VOLUME=1250.00cu.m.", "AREA=92.00sq.m.", nullptr, nullptr},
        {"ROOM-602", "ROOM_HEIGHT=2.75m.", "VOLUME=1234.50cu.m.", "AREA=92.00sq.m.", nullptr, nullptr},
        {"ROOM-603", "ROOM_HEIGHT=9.00ft.", "VOLUME=253.00cu.m.", "AREA=92.00sq.m.", nullptr, nullptr},
        {"ROOM-604", "ROOM_HEIGHT=2.75m.", "VOLUME=1020.00cu.ft.", "AREA=92.00sq.m.", nullptr, nullptr},
        {"ROOM-605", "ROOM_HEIGHT=0x1Am.", "VOLUME=1e999cu.m.", "AREA=92.00sq.m.", nullptr, nullptr},
        {"ROOM-606", "ROOM_HEIGHT=2,750m.", "VOLUME=1,250cu.m.", "AREA=92.00sq.m.", nullptr, nullptr},
        {"ROOM-607", "ROOM_HEIGHT=2.70m.", "VOLUME=12.5.0cu.m.", "AREA=92.00sq.m.", nullptr, nullptr},
        {"ROOM-608", "ROOM_HEIGHT=2.75m.", "VOLUME=1020.00cu.ft.", "AREA=92.00sq.m.", nullptr, nullptr},
    };
    const std::vector<Room> feet = {
        {"ROOM-601", "ROOM_HEIGHT=9.02ft.", "VOLUME=44143.33cu.ft.", "AREA=990.28sq.ft.", nullptr, nullptr},
        {"ROOM-602", "ROOM_HEIGHT=9.02ft.", "VOLUME=43595.96cu.ft.", "AREA=990.28sq.ft.", nullptr, nullptr},
        {"ROOM-603", "ROOM_HEIGHT=9.00ft.", "VOLUME=8934.61cu.ft.", "AREA=990.28sq.ft.", nullptr, nullptr},
        {"ROOM-604", "ROOM_HEIGHT=9.02ft.", "VOLUME=1020.00cu.ft.", "AREA=990.28sq.ft.", nullptr, nullptr},
        {"ROOM-605", "ROOM_HEIGHT=0x1Am.", "VOLUME=1e999cu.m.", "AREA=990.28sq.ft.", nullptr, nullptr},
        {"ROOM-606", "ROOM_HEIGHT=2,750m.", "VOLUME=1,250cu.m.", "AREA=990.28sq.ft.", nullptr, nullptr},
        {"ROOM-607", "ROOM_HEIGHT=8.86ft.", "VOLUME=12.5.0cu.m.", "AREA=990.28sq.ft.", nullptr, nullptr},
        {"ROOM-608", "ROOM_HEIGHT=9.02ft.", "VOLUME=1020.00cu.ft.", "AREA=990.28sq.ft.", nullptr, nullptr},
    };
    std::vector<std::string> said;
    for (const char* line : {"\"0x1Am.\" does not read as a height, so its room height is kept as stored\n",
                             "\"1e999cu.m.\" does not read as a volume, so its volume is kept as stored\n",
                             "\"2,750m.\" does not read as a height, so its room height is kept as stored\n",
                             "\"1,250cu.m.\" does not read as a volume, so its volume is kept as stored\n",
                             "\"12.5.0cu.m.\" does not read as a volume, so its volume is kept as stored\n"})
        said.push_back(line);
    const std::map<std::string, std::string> imperial = {{"units", "1"}};
    const std::string plan = "plan_written_forms.dxf";
    expectAll({
        {"a plain mus", {}, "mus\n", metres, {}, plan, said},
        {"mus in feet", {}, toFeet + "mus\n", feet, {}, plan, said},
        {"a sync that recalculates under imperial preferences", imperial, "msxta\n\n\n\nyes\n", feet, {}, plan, said},
    });
    // Once for each value a command keeps, whichever way it writes the space and however often.
    Outcome r = run(plan, "mus\n");
    for (const char* space : {"Form 5", "Form 6"})
        EXPECT_EQ(count(r.out, std::string("\tSpace ") + space + " (handle "), 2u) << space << r.out;
    EXPECT_EQ(count(r.out, "\tSpace Form 7 (handle "), 1u) << r.out;
    EXPECT_EQ(count(r.out, "\tSpace Form 1 (handle "), 0u) << r.out;
    r = run(plan, "mbe\ndlg dblclick 246 Form 5\ndlg click 284\ndlg click 1\n");
    EXPECT_EQ(count(r.out, "\tSpace Form 5 (handle "), 2u) << r.out;
}

// A stored value and its units: "9.00ft." is 9 and "ft.".
struct Measure {
    double value;
    std::string unit;
};
Measure measure(const std::string& stored) {
    const std::string text = stored.substr(stored.find('=') + 1);
    size_t used = 0;
    const double value = std::stod(text, &used);
    return {value, text.substr(used)};
}
// In metres or cubic metres.
double metric(const Measure& m) {
    if (m.unit == "ft.") return m.value / 3.2808399;
    if (m.unit == "cu.ft.") return m.value / (3.2808399 * 3.2808399 * 3.2808399);
    return m.value;
}

TEST_F(UnitsKept, UnitsBackAndForthGiveBackEveryStoredHeightAndVolumeOrAtPrecisionZeroMoveThemOneRoundingAtMost) {
    const struct {
        const char* plan;
        std::string there;
        std::string back;
    } trips[] = {
        {"plan_thirty_ft.dxf", toMetres + "mus\n", toFeet + "mus\n"},
        {"plan_thirty_m.dxf", toFeet + "mus\n", toMetres + "mus\n"},
        {"plan_thirty_ft.dxf", editorToMetres, editorToFeet},
        {"plan_thirty_m.dxf", toFeet + recalculatingSync, toMetres + recalculatingSync},
    };
    for (const auto& trip : trips)
        for (const char* precision : {"2", "4", "0"}) {
            SCOPED_TRACE(std::string(trip.plan) + " at precision " + precision + " by\n" + trip.there);
            writePrefs({{"precison", precision}});
            const std::string once = trip.there + trip.back;
            Outcome r = run(trip.plan, once + once + "SAVEAS saved.dxf\n");
            ASSERT_EQ(r.status, 0) << r.err << r.out;
            auto before = read(trip.plan);
            auto after = read("saved.dxf");
            ASSERT_EQ(after.size(), 30u);
            for (const auto& [block, insert] : before)
                for (const char* key : {"ROOM_HEIGHT", "VOLUME"}) {
                    SCOPED_TRACE(block + " " + key);
                    const Measure was = measure(stored(insert, key));
                    const Measure is = measure(stored(after[block], key));
                    if (std::string(precision) != "0") {
                        EXPECT_EQ(is.unit, was.unit);
                        EXPECT_NEAR(is.value, was.value, 1e-9);
                    } else {
                        // Half a metre, foot, cubic metre or cubic foot, whichever the value was in.
                        EXPECT_LE(std::fabs(metric(is) - metric(was)), metric({0.5, was.unit}) + 1e-9)
                            << stored(after[block], key);
                    }
                }
        }
}

TEST_F(UnitsKept, AnAreaStoredWithoutDecimalsIsWrittenBackWithoutDecimals) {
    const std::vector<Room> whole = {
        {"ROOM-401", "ROOM_HEIGHT=3m.", "VOLUME=60cu.m.", "AREA=11sq.m.", "11sq.m.", "18m."},
        {"ROOM-402", "ROOM_HEIGHT=3m.", "VOLUME=60cu.m.", "AREA=9sq.m.", "9sq.m.", "18m."},
    };
    const std::vector<Room> labelledAtTwo = {
        {"ROOM-401", "ROOM_HEIGHT=3m.", "VOLUME=60cu.m.", "AREA=11sq.m.", "11.00sq.m.", "18m."},
        {"ROOM-402", "ROOM_HEIGHT=3m.", "VOLUME=60cu.m.", "AREA=9sq.m.", "9.00sq.m.", "18m."},
    };
    // Thousands and a decimal comma are read whole with their decimals; a text that reads as no number
    // stays, with its label, in any units, and gives the other values no precision of its own.
    const std::vector<Room> otherForms = {
        {"ROOM-403", "ROOM_HEIGHT=2.70m.", "VOLUME=54.00cu.m.", "AREA=1092.50sq.m.", "1092.50sq.m.", "18m."},
        {"ROOM-404", "ROOM_HEIGHT=2.70m.", "VOLUME=54.00cu.m.", "AREA=92.50sq.m.", "92.50sq.m.", "18m."},
        {"ROOM-405", "ROOM_HEIGHT=2.70m.", "VOLUME=54.00cu.m.", "AREA=92.00 sq.m", "92.00 sq.m", "18m."},
        {"ROOM-406", "ROOM_HEIGHT=2.70m.", "VOLUME=54.00cu.m.", "AREA=1 092,50sq.m.", "1 092,50sq.m.", "18m."},
    };
    const std::vector<Room> unreadInFeet = {
        {"ROOM-406", "ROOM_HEIGHT=8.86ft.", "VOLUME=1906.99cu.ft.", "AREA=1 092,50sq.m.", "1 092,50sq.m.", nullptr},
    };
    const std::string unread = "\"1 092,50sq.m.\" does not read as an area, so its area is kept as stored\n";
    expectAll({
        {"a sync at precision 0", {{"precison", "0"}}, "msxta\n\n\n\n\n", whole, {}, "plan_whole_areas.dxf"},
        {"a sync at precision 2", {}, "msxta\n\n\n\n\n", labelledAtTwo, {}, "plan_whole_areas.dxf"},
        {"a sync of other written forms", {}, "msxta\n\n\n\n\n", otherForms, {}, "plan_whole_areas.dxf", {unread}},
        {"Options in feet in the editor", {}, editorToFeet, unreadInFeet, {}, "plan_whole_areas.dxf", {unread}},
        {"the editor's OK at precision 0",
         {{"precison", "0"}},
         "mbe\ndlg dblclick 246 Whole 1\ndlg click 1\n",
         {whole[0]},
         {},
         "plan_whole_areas.dxf"},
    });
}

// One stored value ("KEY=text") of a space, and its AUX label when it is looked at.
struct Stored {
    const char* block;
    std::string value;
    const char* auxLabel = nullptr;
};

class ValuesKept : public HeightPlans {
protected:
    struct Case {
        const char* what;
        std::string plan;
        std::string script;
        std::vector<Stored> stored;
        std::vector<std::string> said = {};
        std::string csv = {};
    };
    void expectAll(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            writePrefs({});
            Outcome r = run(c.plan, c.script + "SAVEAS saved.dxf\n");
            ASSERT_EQ(r.status, 0) << r.err << r.out;
            for (const std::string& line : c.said) EXPECT_EQ(count(r.out, line), 1u) << line << r.out;
            auto plan = read("saved.dxf");
            for (const Stored& s : c.stored) {
                SCOPED_TRACE(s.block);
                // The record's first value has no separator before it.
                Insert insert = plan[s.block];
                insert.data = ";" + insert.data;
                EXPECT_EQ(stored(insert, s.value.substr(0, s.value.find('='))), s.value) << insert.data;
                if (s.auxLabel) {
                    EXPECT_EQ(plan[s.block].attributes.at("AUX").text, s.auxLabel);
                }
            }
            if (!c.csv.empty()) {
                EXPECT_EQ(slurp(dir / fs::path(c.plan).replace_extension(".csv")), c.csv);
                EXPECT_EQ(count(r.out, "csv data successfully saved"), 1u) << r.out;
            }
        }
    }
    static std::string named(const std::string& space, const std::string& text, const char* kind,
                             const char* consequence) {
        return "\tSpace " + space + " (handle " + handleOf(space) + "): \"" + text + "\" does not read as " + kind +
               ", so " + consequence + "\n";
    }
    // ezdxf gives the rooms of a forms plan the handles 3D, 49, 55, ... in their order.
    static std::string handleOf(const std::string& space) {
        static const char* const handles[] = {"3D", "49", "55", "61", "6D", "79", "85", "91",
                                              "9D", "A9", "B5", "C1", "CD", "D9", "E5"};
        return handles[space.back() - 'A'];
    }
};

// ROOM-301 to ROOM-315 ("Perimeter A" on) store their perimeters as people and other programs write
// them, their AUX labels showing that text: read whole in the unit they name, or kept as they stand.
TEST_F(ValuesKept, AStoredPerimeterIsReadWholeInTheUnitItNamesOrKeptAsStoredWithItsSpaceNamed) {
    const char* const unread[] = {"A1,250m.", "D-38.40m.", "ENaN", "Fabc", "Ninf", "O\u221238.40m."};
    std::vector<std::string> said;
    for (const std::string form : unread)
        said.push_back(named(std::string("Perimeter ") + form[0], form.substr(1), "a perimeter",
                             "its perimeter is kept as stored"));
    // 38.40 ft is 11.70 m; 38.40 mm at two decimals of a metre would be 0.04 m, so it stays in millimetres.
    const std::vector<Stored> metric = {
        {"ROOM-301", "PERIMETER=1,250m.", "1,250m."},
        {"ROOM-302", "PERIMETER=38.40ft."},
        {"ROOM-303", "PERIMETER=38.40mm"},
        {"ROOM-304", "PERIMETER=-38.40m.", "-38.40m."},
        {"ROOM-305", "PERIMETER=NaN", "NaN"},
        {"ROOM-306", "PERIMETER=abc", "abc"},
        {"ROOM-307", "PERIMETER=1250.50m."},
        {"ROOM-308", "PERIMETER=38.40m."},
        {"ROOM-309", "PERIMETER=38.40m."},
        {"ROOM-310", "PERIMETER=38.40m."},
        {"ROOM-311", "PERIMETER=", ""},
        {"ROOM-312", "PERIMETER=38.40m."},
        {"ROOM-313", "PERIMETER=1000.00m."},
        {"ROOM-314", "PERIMETER=inf", "inf"},
        {"ROOM-315", "PERIMETER=\u221238.40m.", "\u221238.40m."},
    };
    std::vector<Stored> synced = metric;
    for (const auto& [room, label] : std::map<std::string, const char*>{{"ROOM-302", "11.70m."},
                                                                        {"ROOM-303", "0.04m."},
                                                                        {"ROOM-307", "1250.50m."},
                                                                        {"ROOM-308", "38.40m."},
                                                                        {"ROOM-309", "38.40m."},
                                                                        {"ROOM-310", "38.40m."},
                                                                        {"ROOM-312", "38.40m."},
                                                                        {"ROOM-313", "1000.00m."}})
        for (Stored& s : synced)
            if (s.block == room) s.auxLabel = label;
    std::vector<Stored> feet = metric;
    for (const auto& [room, value] : std::map<std::string, const char*>{{"ROOM-307", "PERIMETER=4102.69ft."},
                                                                        {"ROOM-308", "PERIMETER=125.98ft."},
                                                                        {"ROOM-309", "PERIMETER=125.98ft."},
                                                                        {"ROOM-310", "PERIMETER=125.98ft."},
                                                                        {"ROOM-312", "PERIMETER=125.98ft."},
                                                                        {"ROOM-313", "PERIMETER=3280.84ft."}})
        for (Stored& s : feet)
            if (s.block == room) s.value = value;
    std::string eachWithOk = "mbe\n";
    for (char space = 'A'; space <= 'O'; ++space)
        eachWithOk += std::string("dlg dblclick 246 Perimeter ") + space + "\ndlg click 1\n";
    const std::string plan = "plan_perimeter_forms.dxf";
    expectAll({
        {"each space written with OK in the editor, nothing edited", plan, eachWithOk, metric, said},
        {"a sync of the perimeter to the AUX label, not recalculating", plan, "msxta\n\n\nyes\n\n", synced, said},
        {"Options in feet in the editor", plan, editorToFeet, feet, said},
    });
}

// ROOM-321 to ROOM-327 ("Area A" on): areas written as "92.00m²", "92.00SQ.M.", "1,250sq.m.", "NaN" and
// "990.28sq.ft" (no final point), one as the module writes it, and one whose perimeter is "NaN".
TEST_F(ValuesKept, CsvHoldsAnAreaOrPerimeterThatReadsAsNoNumberAsStoredOutOfTheTotalWithItsSpaceNamed) {
    const char* const csvConsequence = "the CSV file holds it as stored, out of the total";
    std::vector<std::string> said = {named("Area G", "NaN", "a perimeter", csvConsequence)};
    for (const auto& [space, text] : std::map<std::string, std::string>{
             {"Area A", "92.00m\u00b2"}, {"Area C", "1,250sq.m."}, {"Area D", "NaN"}, {"Area E", "990.28sq.ft"}})
        said.push_back(named(space, text, "an area", csvConsequence));
    const std::string areas =
        "Code,Area,Units,Perimeter,Units\r\n"
        "Area A,92.00m\xB2,,38.40,m\r\n"
        "Area B,92.00,m\xB2,38.40,m\r\n"
        "Area C,\"1,250sq.m.\",,38.40,m\r\n"
        "Area D,NaN,,38.40,m\r\n"
        "Area E,990.28sq.ft,,38.40,m\r\n"
        "Area F,92.00,m\xB2,38.40,m\r\n"
        "Area G,92.00,m\xB2,NaN,\r\n"
        "Total,276.00,m\xB2,230.40,m\r\n"
        "\r\n\r\n";
    // A name or text that begins like a formula is kept as text by a leading apostrophe.
    const std::string perimeters =
        "Code,Area,Units,Perimeter,Units\r\n"
        "Perimeter A,92.00,m\xB2,\"1,250m.\",\r\n"
        "Perimeter B,92.00,m\xB2,11.70,m\r\n"
        "Perimeter C,92.00,m\xB2,0.04,m\r\n"
        "Perimeter D,92.00,m\xB2,'-38.40m.,\r\n"
        "Perimeter E,92.00,m\xB2,NaN,\r\n"
        "Perimeter F,92.00,m\xB2,abc,\r\n"
        "Perimeter G,92.00,m\xB2,1250.50,m\r\n"
        "Perimeter H,92.00,m\xB2,38.40,m\r\n"
        "Perimeter I,92.00,m\xB2,38.40,m\r\n"
        "Perimeter J,92.00,m\xB2,38.40,m\r\n"
        "Perimeter K,92.00,m\xB2,,\r\n"
        "Perimeter L,92.00,m\xB2,38.40,m\r\n"
        "Perimeter M,92.00,m\xB2,1000.00,m\r\n"
        "Perimeter N,92.00,m\xB2,inf,\r\n"
        "Perimeter O,92.00,m\xB2,?38.40m.,\r\n"
        "Total,1380.00,m\xB2,2415.84,m\r\n"
        "\r\n\r\n";
    expectAll({
        {"areas", "plan_area_forms.dxf", "mcsv\n", {{"ROOM-321", "AREA=92.00m\u00b2"}}, said, areas},
        {"perimeters",
         "plan_perimeter_forms.dxf",
         "mcsv\n",
         {},
         {named("Perimeter A", "1,250m.", "a perimeter", csvConsequence),
          named("Perimeter K", "", "a perimeter", csvConsequence)},
         perimeters},
    });
}

TEST_F(ValuesKept, ASpacesDetailsAndTheListingShowAStoredValueThatReadsAsNoNumberAsStored) {
    const struct {
        const char* plan;
        const char* handle;
        const char* shown;
    } cases[] = {
        {"plan_area_forms.dxf", "3D", "\t Area           \"92.00m\u00b2\" as stored, no number\n"},
        {"plan_area_forms.dxf", "49", "\t Area           92.000000\n"},
        {"plan_area_forms.dxf", "85", "\t Perimeter      \"NaN\" as stored, no number\n"},
        {"plan_area_forms.dxf", "85", "\t Area           92.000000\n"},
        {"plan_perimeter_forms.dxf", "3D", "\t Perimeter      \"1,250m.\" as stored, no number\n"},
        {"plan_perimeter_forms.dxf", "B5", "\t Perimeter      \"\" as stored, no number\n"},
        {"plan_perimeter_forms.dxf", "49", "\t Perimeter      11.704320\n"},
        {"plan_heights.dxf", "61", "\t Room Height    \"n/a\" as stored, no number\n"},
        {"plan_heights.dxf", "61", "\t Vloume         \"n/a\" as stored, no number\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.plan) + " #" + c.handle);
        Outcome r = run(c.plan, std::string("msc_dsd\n#") + c.handle + "\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(count(r.out, c.shown), 1u) << r.out;
    }
    // The listing of every space shows an area that reads as no number as stored too.
    Outcome r = run("plan_area_forms.dxf", "mlb\n\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line : {"ROOM-321,Area A,\"92.00m\u00b2\",3D,61,0\n", "ROOM-323,Area C,\"1,250sq.m.\",55,85,0\n",
                             "ROOM-326,Area F,92.00,79,121,0\n"})
        EXPECT_EQ(count(r.out, line), 1u) << line << r.out;
}

// ROOM-331 stores its area with 30 decimals; ROOM-332 to ROOM-335 their heights as "2.70mm.", "2.70cm.",
// "2750mm" and "27.5cm".
TEST_F(ValuesKept, AnAreaPastNineDecimalsStandsAndAHeightMetresCannotGiveBackStaysInItsUnit) {
    const std::string thirty = "AREA=92." + std::string(30, '0') + "sq.m.";
    const std::vector<Stored> metres = {
        {"ROOM-331", thirty},
        {"ROOM-331", "PERIMETER=38.400000000m."},
        {"ROOM-331", "ROOM_HEIGHT=2.700000000m."},
        {"ROOM-332", "ROOM_HEIGHT=2.70mm."},
        {"ROOM-333", "ROOM_HEIGHT=2.70cm."},
        {"ROOM-334", "ROOM_HEIGHT=2.75m."},
        {"ROOM-335", "ROOM_HEIGHT=27.50cm"},
    };
    // 2750 mm is 9.02 ft, which gives back 2.75 m; 27.5 cm is 0.90 ft, which gives back 0.27 m.
    const std::vector<Stored> feet = {
        {"ROOM-331", "AREA=990.279756800sq.ft."},   {"ROOM-331", "PERIMETER=125.984252160ft."},
        {"ROOM-331", "ROOM_HEIGHT=8.858267730ft."}, {"ROOM-332", "ROOM_HEIGHT=2.70mm."},
        {"ROOM-333", "ROOM_HEIGHT=2.70cm."},        {"ROOM-334", "ROOM_HEIGHT=9.02ft."},
        {"ROOM-335", "ROOM_HEIGHT=27.50cm"},
    };
    // Measured again as 92 sq.m., the area still stands as written.
    const std::vector<Stored> measured = {
        {"ROOM-331", thirty},
        {"ROOM-331", "ROOM_HEIGHT=2.70m."},
        {"ROOM-332", "ROOM_HEIGHT=2.70mm."},
        {"ROOM-333", "ROOM_HEIGHT=2.70cm."},
        {"ROOM-334", "ROOM_HEIGHT=2.75m."},
        {"ROOM-335", "ROOM_HEIGHT=27.50cm"},
    };
    const std::vector<Stored> measuredInFeet = {
        {"ROOM-332", "ROOM_HEIGHT=2.70mm."},
        {"ROOM-333", "ROOM_HEIGHT=2.70cm."},
        {"ROOM-334", "ROOM_HEIGHT=9.02ft."},
    };
    // Once written in feet, it is the area read from that.
    std::vector<Stored> roundTrip = measured;
    roundTrip[0].value = "AREA=92.00sq.m.";
    const std::string plan = "plan_precision_forms.dxf";
    expectAll({
        {"a sync, not recalculating", plan, "msxta\n\n\nyes\n\n", metres},
        {"Options in feet in the editor", plan, editorToFeet, feet},
        {"mus", plan, "mus\n", measured},
        {"mus in feet, then in metres", plan, toFeet + "mus\n" + toMetres + "mus\n", roundTrip},
        {"mus in feet", plan, toFeet + "mus\n", measuredInFeet},
    });
}

// ROOM-341 to ROOM-343 ("Forms A" on) store their area, perimeter and height in capitals ("92.00SQ.M.",
// "39.00M.", "2.70M."), with an exponent ("9.2E+01sq.m.", "3.9E+01m.", "2.7E+00m.") and as the module
// writes them: each is the number it writes, in its unit.
TEST_F(ValuesKept, AUnitInCapitalsOrANumberWithAnExponentReadsAsTheMeasureItWrites) {
    const std::string csv =
        "Code,Area,Units,Perimeter,Units\r\n"
        "Forms A,92.00,m\xB2,39.00,m\r\n"
        "Forms B,92.00,m\xB2,39.00,m\r\n"
        "Forms C,92.00,m\xB2,42.20,m\r\n"
        "Total,276.00,m\xB2,120.20,m\r\n"
        "\r\n\r\n";
    std::string eachWithOk = "mbe\n";
    for (char space = 'A'; space <= 'C'; ++space)
        eachWithOk += std::string("dlg dblclick 246 Forms ") + space + "\ndlg click 1\n";
    const std::vector<Stored> written = {
        {"ROOM-341", "AREA=92.00sq.m."},   {"ROOM-341", "PERIMETER=39.00m."},  {"ROOM-341", "ROOM_HEIGHT=2.70m."},
        {"ROOM-342", "AREA=92.00sq.m."},   {"ROOM-342", "PERIMETER=39.00m."},  {"ROOM-342", "ROOM_HEIGHT=2.70m."},
        {"ROOM-343", "PERIMETER=42.20m."}, {"ROOM-343", "ROOM_HEIGHT=2.70m."},
    };
    const std::vector<Stored> inFeet = {
        {"ROOM-341", "PERIMETER=127.95ft."},
        {"ROOM-341", "ROOM_HEIGHT=8.86ft."},
        {"ROOM-343", "PERIMETER=138.45ft."},
    };
    const std::string plan = "plan_unit_forms.dxf";
    expectAll({
        {"mcsv", plan, "mcsv\n", {}, {}, csv},
        {"each space written with OK in the editor, nothing edited", plan, eachWithOk, written},
        {"Options in feet in the editor", plan, editorToFeet, inFeet},
    });
}

} // namespace
} // namespace spacecommands
