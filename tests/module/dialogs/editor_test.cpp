// "mbe" driven by cadhost scripts on ezdxf floor plans: the editor's list, the block dialog's
// edits, picks, Apply, OK and Cancel, the menu, and the drawings read back by ezdxf line by line
// against the plan they came from.
#include <fstream>

#include "module/spacecommands/SpaceCommandsHost.h"

namespace spacecommands {
namespace {

class Editor : public SpaceCommands {
protected:
    // One line per entity and block definition, keyed by handle (definitions by "BLOCK|name").
    std::map<std::string, std::string> lines(const fs::path& drawing) const {
        const fs::path reader = fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "dialogs" / "read_drawing.py";
        std::istringstream text(capture("/usr/bin/python3 '" + reader.string() + "' '" + drawing.string() + "'"));
        std::map<std::string, std::string> out;
        std::string line;
        while (std::getline(text, line)) {
            const size_t bar = line.find('|');
            const std::string key =
                line.rfind("BLOCK|", 0) == 0 ? line.substr(0, line.find('|', 6)) : line.substr(0, bar);
            out[key] = line;
        }
        return out;
    }
    // The lines of the saved drawing that differ from the plan's (a line gone reads "<gone>").
    std::map<std::string, std::string> changes(const std::string& plan, const std::string& saved) const {
        auto before = lines(plans / plan);
        auto after = lines(dir / saved);
        EXPECT_FALSE(before.empty());
        std::map<std::string, std::string> changed;
        for (const auto& [key, line] : after)
            if (before[key] != line) changed[key] = line;
        for (const auto& [key, line] : before)
            if (!after.count(key)) changed[key] = "<gone>";
        return changed;
    }
    static std::string field(const std::string& line, const std::string& name) {
        const size_t at = line.find("|" + name + "=");
        if (at == std::string::npos) return "<none>";
        const size_t start = at + name.size() + 2;
        return line.substr(start, line.find('|', start) - start);
    }
    std::string prefs() const { return slurp(dir / "c" / "CadHost" / "kelmo" / "prefs" / "prefs.cfg"); }
};

// Spaces of plan_mm by handle; the editor writes their labels back one and a half text heights apart
// around the area label.
constexpr const char* kitchen = "64";
constexpr const char* office = "5F";
constexpr const char* column = "59";

TEST_F(Editor, TheListShowsRoomsOrGrossAreasByNameWithTheirCount) {
    Outcome r = run("plan_mm.dxf", "mbe\ndlg select 248 1\ndlg select 248 0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string rooms =
        "  246 list enabled visible sel -1 items 4\n"
        "       [0] \"Bay room\"\n"
        "       [1] \"Kitchen\"\n"
        "       [2] \"Office 101\"\n"
        "       [3] \"Store, \\\"north\\\"\"\n"
        "  286 button \"Close\" enabled visible\n"
        "  274 static \"4 item(s) found.\" enabled visible\n";
    EXPECT_TRUE(
        has(r, "Command: mbe\nKelmo Block Edit 64.04.00.01\ndialog 210 \"Kelmo Block Editor\" modeless visible"))
        << r.out;
    EXPECT_TRUE(has(r, rooms)) << r.out;
    EXPECT_TRUE(has(r, "  312 static \"Z:")) << r.out;
    // The gross area and back: the list follows the filter (the dump at the end of input shows it).
    Outcome g = run("plan_mm.dxf", "mbe\ndlg select 248 1\ndlg show\n");
    EXPECT_TRUE(has(g, "       [0] \"Floor 1\"\n")) << g.out;
    EXPECT_TRUE(has(g, "  274 static \"1 item(s) found.\"")) << g.out;
}

TEST_F(Editor, ADrawingWithoutSpacesListsNothing) {
    Outcome r = run("plan_empty.dxf", "mbe\ndlg select 248 1\ndlg show\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "  274 static \"0 item(s) found.\""), 3u) << r.out;
}

TEST_F(Editor, EditingEveryFieldAndOkWritesThatSpaceAndNothingElse) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg dblclick 246 Kitchen\n"
                    "dlg set 203 Kitchen West\n"
                    "dlg set 204 \"27 sq m\"\n"
                    "dlg set 205 \"north wing\"\n"
                    "dlg tab 245 1\n"
                    "dlg set 207/254 300\n"
                    "dlg set 207/229 0.8\n"
                    "dlg set 207/230 -45\n"
                    "dlg click 1\n"
                    "SAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // The editor is back, its list refreshed.
    EXPECT_TRUE(has(r, "dialog 201 \"RoomBlock\" closed\ndialog 210 \"Kelmo Block Editor\" modeless visible")) << r.out;
    EXPECT_TRUE(has(r, "       [1] \"Kitchen West\"\n")) << r.out;
    auto changed = changes("plan_mm.dxf", "saved.dxf");
    ASSERT_EQ(changed.size(), 1u) << changed.begin()->second;
    const std::string& line = changed[kitchen];
    EXPECT_EQ(field(line, "NAME"), "Kitchen West@11318.198,1318.198 h300.000 w0.800 r315.000");
    EXPECT_EQ(field(line, "AREA"), "27 sq m@11000.000,1000.000 h300.000 w0.800 r315.000");
    EXPECT_EQ(field(line, "AUX"), "north wing@10681.802,681.802 h300.000 w0.800 r315.000");
    // The precision of the preferences; the areas and the rest of the record as they were.
    EXPECT_NE(line.find("ADE:AREA=20.00sq.m.;PERIMETER=24.00m.;NAME=Kitchen West;TAGTYPE=Office;AREA_TYPE=NIA;"
                        "COST_CENTRE=CC-7;"),
              std::string::npos)
        << line;
    EXPECT_NE(line.find(";HANDLESTOMINUS=;HANDLESTOADD="), std::string::npos) << line;
}

TEST_F(Editor, AreasPickedToSubtractAndAddAreRecalculatedHighlightedAndWritten) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg dblclick 246 Kitchen\n"
                    "dlg click 244\n"
                    "59\n"
                    "dlg click 316\n"
                    "dlg click 316\n"
                    "dlg click 332\n"
                    "59\n"
                    "dlg click 334\n"
                    "dlg show\n"
                    "dlg click 208/333\n"
                    "dlg click 334\n"
                    "dlg click 316\n"
                    "dlg click 1\n"
                    "SAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        has(r, "\nPlease Select Areas to Subtract (selected room/space blocks will be ignored)\nSelect objects: "))
        << r.out;
    // Each highlighting prints the count; taking it off prints nothing.
    EXPECT_EQ(count(r.out, "\nThere are 1 area(s) subtracted from this block\n"), 2u) << r.out;
    EXPECT_EQ(count(r.out, "\nThere are 1 area(s) added to this block\n"), 1u) << r.out;
    // Minimised for each pick and given back.
    EXPECT_EQ(count(r.out, "dialog 201 \"RoomBlock\" modeless minimised"), 2u) << r.out;
    // 27 m2 less the 0.25 m2 column, plus the column again while it was also added.
    EXPECT_TRUE(has(r, "Command: dlg show\n")) << r.out;
    const std::string shown = r.out.substr(r.out.find("Command: dlg show\n"));
    EXPECT_NE(shown.find("219 edit \"27.00\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("218 edit \"28.00\""), std::string::npos) << shown;

    auto changed = changes("plan_mm.dxf", "saved.dxf");
    // Left highlighted, the subtracted column got its look back when OK ended the dialog.
    ASSERT_EQ(changed.size(), 1u) << "the column keeps its colour: " << changed[column];
    EXPECT_NE(changed[kitchen].find("ADE:AREA=26.75sq.m.;PERIMETER=26.00m.;"), std::string::npos) << changed[kitchen];
    EXPECT_NE(changed[kitchen].find(";HANDLESTOMINUS=59,;HANDLESTOADD="), std::string::npos) << changed[kitchen];
}

TEST_F(Editor, ASpacePickedInTheDrawingOpensAndItsSubtractedAreasAreDeleted) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg click 247\n"
                    "#5F\n"
                    "dlg click 208/245\n"
                    "dlg click 249\n"
                    "dlg click 335\n"
                    "dlg click 1\n"
                    "SAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "dialog 210 \"Kelmo Block Editor\" modeless minimised enabled active\n")) << r.out;
    EXPECT_TRUE(has(r, "\n\nPlease select a space\n\n#5F\n")) << r.out;
    auto changed = changes("plan_mm.dxf", "saved.dxf");
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_NE(changed[office].find("ADE:AREA=50.00sq.m.;PERIMETER=30.00m.;"), std::string::npos) << changed[office];
    EXPECT_NE(changed[office].find(";HANDLESTOMINUS=;HANDLESTOADD="), std::string::npos) << changed[office];
}

TEST_F(Editor, CancelWritesNothingButApplyBeforeItStays) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg dblclick 246 Kitchen\n"
                    "dlg set 203 Scullery\n"
                    "dlg click 244\n"
                    "59\n"
                    "dlg click 285\n"
                    "SAVEAS cancelled.dxf\n"
                    "dlg dblclick 246 Office 101\n"
                    "dlg set 203 Office A\n"
                    "dlg click 284\n"
                    "dlg set 203 Office B\n"
                    "dlg close\n"
                    "SAVEAS applied.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(changes("plan_mm.dxf", "cancelled.dxf").empty());
    auto changed = changes("plan_mm.dxf", "applied.dxf");
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(field(changed[office], "NAME").substr(0, 9), "Office A@");
    // The close box ended the dialog as Cancel does: the editor is back.
    EXPECT_EQ(count(r.out, "dialog 201 \"RoomBlock\" closed\ndialog 210 \"Kelmo Block Editor\" modeless visible"), 2u)
        << r.out;
}

TEST_F(Editor, AnImperialEditorShowsAMetricSpaceConvertedAndWritesItInFeet) {
    writePrefs({{"units", "1"}});
    Outcome r = run("plan_mm.dxf", "mbe\ndlg dblclick 246 Office 101\ndlg click 1\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "      219 edit \"538.20\"")) << r.out;
    EXPECT_TRUE(has(r, "      218 edit \"98.43\"")) << r.out;
    EXPECT_TRUE(has(r, "      313 static \"ft\u00B2\"")) << r.out;
    auto changed = changes("plan_mm.dxf", "saved.dxf");
    EXPECT_NE(changed[office].find("ADE:AREA=538.20sq.ft.;PERIMETER=98.43ft.;"), std::string::npos) << changed[office];
}

TEST_F(Editor, AFormatValueOutOfRangeKeepsTheBlockDialogOpenAndWritesNothing) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg dblclick 246 Office 101\n"
                    "dlg tab 245 1\n"
                    "dlg set 207/230 400\n"
                    "dlg click 1\n"
                    "ok\n"
                    "SAVEAS refused.dxf\n"
                    "dlg set 207/230 -400\n"
                    "dlg click 284\n"
                    "ok\n"
                    "dlg set 207/230 -90\n"
                    "dlg click 1\n"
                    "SAVEAS saved.dxf\n");
    // Each refused value is a line not applied.
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(count(r.err,
                    "the dialog refused the value: Format page, Rotation: please enter a number between -360 "
                    "and 360.\n"),
              2u)
        << r.err;
    EXPECT_EQ(count(r.out, "Format page, Rotation: please enter a number between -360 and 360."), 2u) << r.out;
    EXPECT_TRUE(changes("plan_mm.dxf", "refused.dxf").empty());
    auto changed = changes("plan_mm.dxf", "saved.dxf");
    EXPECT_NE(field(changed[office], "AREA").find(" r270.000"), std::string::npos) << changed[office];
}

TEST_F(Editor, MovingTheAttributesPlacesThemAtOnceAndACancelledPointChangesNothing) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg dblclick 246 Office 101\n"
                    "dlg tab 245 1\n"
                    "dlg click 273\n"
                    "*Cancel*\n"
                    "SAVEAS untouched.dxf\n"
                    "dlg click 273\n"
                    "3000,2500\n"
                    "dlg click 285\n"
                    "SAVEAS moved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "\nPlease select a position for the Attributes\n")) << r.out;
    EXPECT_TRUE(changes("plan_mm.dxf", "untouched.dxf").empty());
    auto changed = changes("plan_mm.dxf", "moved.dxf");
    EXPECT_EQ(field(changed[office], "AREA"), "50.00sq.m.@3000.000,2500.000 h250.000 w1.000 r0.000") << changed[office];
}

TEST_F(Editor, PickingWhatIsNoSpaceOrCancellingGivesTheEditorBack) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg click 247\n"
                    "25400,15000\n"
                    "dlg click 247\n"
                    "#59\n"
                    "*Cancel*\n"
                    "dlg show\n");
    ASSERT_EQ(r.status, 1) << r.err; // the pick of what is no space is refused
    EXPECT_TRUE(has(r,
                    "\nThe specified AcDbBlockReference cannot be found in the list of Kelmo blocks.  The selected "
                    "object may not be a Kelmo block.\nCommand: "))
        << r.out;
    EXPECT_TRUE(has(r, "Invalid selection - AcDbPolyline.\n")) << r.out;
    EXPECT_TRUE(has(r, "Cancelled by User.\ndialog 210 \"Kelmo Block Editor\" modeless visible enabled active\n"))
        << r.out;
    EXPECT_FALSE(has(r, "dialog 201")) << r.out;
}

TEST_F(Editor, CloseSavesThePreferencesAndExitLeavesThem) {
    writePrefs({{"textSize", "300"}});
    Outcome exit = run("plan_mm.dxf", "mbe\ndlg menu 32768\n");
    ASSERT_EQ(exit.status, 0) << exit.err;
    EXPECT_NE(prefs().find("textSize\r\n300\r\n"), std::string::npos) << prefs();
    Outcome close = run("plan_mm.dxf", "mbe\ndlg click 286\ndlg list\n");
    ASSERT_EQ(close.status, 0) << close.err;
    EXPECT_NE(prefs().find("textSize\r\n300.00\r\n"), std::string::npos) << prefs();
    EXPECT_TRUE(has(close, "dialog 210 \"Kelmo Block Editor\" modeless hidden enabled\n")) << close.out;
}

TEST_F(Editor, OptionsConvertsTheSpacesAndCloseKeepsTheNewPreferences) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg menu 32769\n"
                    "dlg radio 289\n"
                    "dlg enter\n"
                    "dlg click 286\n"
                    "SAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "dialog 216 \"Brenvik - Preferences\" modal visible")) << r.out;
    // The editor took the dialog's units over, so Close did not write the old ones back.
    EXPECT_NE(prefs().find("units\r\n1\r\n"), std::string::npos) << prefs();
    auto changed = changes("plan_mm.dxf", "saved.dxf");
    EXPECT_NE(changed[office].find("ADE:AREA=538.20sq.ft.;PERIMETER=98.43ft.;"), std::string::npos) << changed[office];
}

// Labels still showing the stored value follow it into feet; text someone typed, or a value rounded
// otherwise than stored, stays as it is.
TEST_F(Editor, OptionsInFeetTurnTheLabelsShowingTheStoredValuesAndLeaveTypedOnes) {
    Outcome r = run("plan_mm.dxf", "mbe\ndlg menu 32769\ndlg radio 289\ndlg enter\ndlg click 286\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    auto changed = changes("plan_mm.dxf", "saved.dxf");
    struct Case {
        const char* handle;
        const char* area;
        const char* aux;
    };
    const Case cases[] = {
        {office, "538.20sq.ft.@1000.000,1000.000", "98.43ft.@"},
        // One decimal stored; the area label was typed.
        {kitchen, "Kitchen area@", "78.7ft.@"},
        // Stored 15.53, shown 15.5: not the stored value as written.
        {"69", "15.5sq.m.@", "note@"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(field(changed[c.handle], "AREA").rfind(c.area, 0), 0u) << changed[c.handle];
        EXPECT_EQ(field(changed[c.handle], "AUX").rfind(c.aux, 0), 0u) << changed[c.handle];
        EXPECT_NE(changed[c.handle].find("ADE:AREA="), std::string::npos) << c.handle;
    }
}

// A precision the dialog refuses, then Escape: the units chosen before the refusal are not taken,
// nothing is converted, and Close writes the preferences the editor opened with.
TEST_F(Editor, AnOptionsDialogCancelledAfterARefusedValueChangesNothing) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\ndlg menu 32769\ndlg radio 289\ndlg set 290 12\ndlg enter\nok\ndlg esc\n"
                    "dlg dblclick 246 Office 101\ndlg show\ndlg esc\ndlg click 286\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err; // the refused precision
    EXPECT_EQ(count(r.err, "test.scr:5: the dialog refused the value: Please enter an integer between 0 and 9.\n"), 1u)
        << r.err;
    EXPECT_TRUE(has(r, "Please enter an integer between 0 and 9.")) << r.out;
    EXPECT_TRUE(changes("plan_mm.dxf", "saved.dxf").empty());
    EXPECT_EQ(prefs(), kelmo_test::defaultPrefsFile);
    EXPECT_TRUE(has(r, "\"50.00\"")) << r.out;
    EXPECT_FALSE(has(r, "sq.ft.")) << r.out;
}

TEST_F(Editor, AboutShowsTheAboutBox) {
    Outcome r = run("plan_mm.dxf", "mbe\ndlg menu 32770\ndlg enter\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "dialog 221 \"About - Dorvane\" modal visible enabled active\n")) << r.out;
    EXPECT_TRUE(has(r, "  326 static \"64.04.00.01\"")) << r.out;
}

TEST_F(Editor, TwoSpacesOfOneNameAreListedTogetherAndEachOpensItsOwnBlock) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "dlg dblclick 246 Bay room\n"
                    "dlg set 203 Kitchen\n"
                    "dlg click 1\n"
                    "dlg dblclick 246 1\n"
                    "dlg close\n"
                    "dlg dblclick 246 0\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "       [0] \"Kitchen\"\n       [1] \"Kitchen\"\n")) << r.out;
    EXPECT_TRUE(has(r, "      251 static \"69\"")) << r.out;
    EXPECT_TRUE(has(r, "      251 static \"64\"")) << r.out;
}

TEST_F(Editor, AClosedDrawingClosesTheEditorAndAnotherCurrentDrawingRefusesThePick) {
    fs::copy_file(plans / "plan_in.dxf", dir / "other.dxf");
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "OPEN other.dxf\n"
                    "dlg @210 click 247\n"
                    "ok\n"
                    "dlg @210 dblclick 246 Kitchen\n"
                    "dlg click 1\n"
                    "CLOSE\n"
                    "CLOSE\n"
                    "dlg @210 select 248 1\n"
                    "ok\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "] The drawing \"Z:")) << r.out;
    EXPECT_TRUE(has(r, "plan_mm.dxf\" is not the current drawing; make it current to pick in it.\n")) << r.out;
    EXPECT_FALSE(has(r, "Please select a space")) << r.out;
    // Working on the list and writing back need no current drawing.
    EXPECT_TRUE(has(r, "dialog 201 \"RoomBlock\" closed\ndialog 210 \"Kelmo Block Editor\" modeless visible")) << r.out;
    EXPECT_TRUE(has(r,
                    "plan_mm.dxf\" has been closed; the dialog working on it closes too.\n"
                    "dialog 210 \"Kelmo Block Editor\" modeless hidden"))
        << r.out;
}

// The editor keeps to the drawing it opened on, as its pick does: another drawing made current lists
// nothing in it and takes none of its writes, and the header follows its drawing's new name.
TEST_F(Editor, AnotherCurrentDrawingNeitherFillsTheListNorTakesTheWritesAndTheHeaderFollowsASaveAs) {
    fs::copy_file(plans / "plan_in.dxf", dir / "other.dxf");
    Outcome r = run("plan_mm.dxf",
                    "mbe\n"
                    "OPEN other.dxf\n"
                    "dlg @210 dblclick 246 Kitchen\n"
                    "dlg set 203 Galley\n"
                    "dlg click 1\n"
                    "dlg @210 dblclick 246 Office 101\n"
                    "dlg set 203 Office One\n"
                    "dlg click 1\n"
                    "OPEN plan_mm.dxf\n"
                    "SAVEAS renamed.dxf\n"
                    "dlg @210 select 248 0\n"
                    "dlg show\n"
                    "OPEN other.dxf\n"
                    "SAVEAS other_saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(has(r, "eLockViolation")) << r.out;
    EXPECT_FALSE(has(r, "Studio")) << "the other drawing's rooms are never listed\n" << r.out;
    const size_t shown = r.out.find("Command: dlg show\n");
    ASSERT_NE(shown, std::string::npos) << r.out;
    const size_t header = r.out.find("  312 static \"", shown);
    const std::string line = r.out.substr(header, r.out.find('\n', header) - header);
    EXPECT_NE(line.find("renamed.dxf\" enabled visible"), std::string::npos) << line;
    auto renamed = read("renamed.dxf");
    EXPECT_EQ(renamed["ROOM-102"].attributes.at("NAME").text, "Galley");
    EXPECT_EQ(renamed["ROOM-101"].attributes.at("NAME").text, "Office One");
    EXPECT_TRUE(changes("plan_in.dxf", "other_saved.dxf").empty());
}

TEST_F(Editor, ADrawingClosedUnderTheBlockDialogClosesBothDialogs) {
    Outcome r =
        run("plan_mm.dxf", "mbe\ndlg dblclick 246 Kitchen\nCLOSE\ndlg set 203 x\ndlg click 284\nok\ndlg list\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(
        has(r, "has been closed; the dialog working on it closes too.\ndialog 201 \"RoomBlock\" modeless hidden"))
        << r.out;
    EXPECT_TRUE(has(r, "dialog 201 \"RoomBlock\" closed\n")) << r.out;
}

TEST_F(Editor, MbeTwiceOpensTwoEditorsAndWithoutADrawingNone) {
    Outcome r = run("plan_mm.dxf", "mbe\nmbe\ndlg list\nCLOSE\nmbe\nok\n");
    ASSERT_EQ(r.status, 1) << r.err; // mbe without a drawing ends in an error
    EXPECT_EQ(count(r.out, "Kelmo Block Edit 64.04.00.01\ndialog 210 \"Kelmo Block Editor\" modeless visible"), 2u)
        << r.out;
    EXPECT_TRUE(has(r, "Kelmo Block Edit 64.04.00.01\n[Error Detected.]")) << r.out;
    EXPECT_TRUE(has(r, "No drawing is open.")) << r.out;
}

} // namespace
} // namespace spacecommands
