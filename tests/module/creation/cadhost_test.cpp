// "mbc" and "mbh" through cadhost on ezdxf floors: creation sessions under the world UCS and a
// turned one, and links on one block and on every block of its kind; the saved drawings read back.
#include "CreationHost.h"

namespace creationtest {
namespace {

const std::string newRecord =
    "TAGTYPE=<Not Set>;AREA_TYPE=<Not Set>;COST_CENTRE=<Not Set>;DATE=<Not Set>;DATE_L_MOVE=<Not Set>;"
    "DEPT_CHARGE=<Not Set>;ROOM_HEIGHT=0.00m.;SPECIAL_REQ=<Not Set>;TOT_STAFF=<Not Set>;TOT_WKSTNS=<Not Set>;"
    "VOLUME=0.00cu.m.;HANDLESTOMINUS=;HANDLESTOADD=";

TEST_F(CreationHost, ASessionUnderTheWorldUcsNumbersTheSpacesAndRefusesWhatItCannotUse) {
    Outcome r = run("floor_world.dxf",
                    "mbc\n"
                    "dlg click 3\n"
                    "#31\n2000,1500\n"
                    // Typed while the next pick waits: the next label takes them.
                    "dlg set 291 300\ndlg set 341 0.8\ndlg type 342 15\n"
                    "#32\n7500,2000\n"
                    "#35\n"
                    "#36\n8000,6000\n"
                    "dlg set 311 \"Room 1\"\n#33\n12500,1500\nno\n"
                    "dlg set 311 \"Room 1\"\n#33\n12500,1500\nyes\n"
                    "\n"
                    "dlg show\n"
                    "SAVEAS out.dxf\n"
                    "dlg click 2\n");
    // The open polyline and the locked one: two lines not applied, each named.
    ASSERT_EQ(r.status, 1) << r.err << r.out;
    EXPECT_EQ(r.err,
              "cadhost: test.scr:10: \"#35\" is refused: Invalid Selection - Polyline is not closed\n"
              "cadhost: test.scr:12: the line ended in an error: Polyline On Locked Layer - Block Creation Failed\n");
    EXPECT_TRUE(has(r.out, "Command: mbc\nKelmo Block Create 64.04.00.01\ndialog 217 \"Kelmo Block Creator\""));
    EXPECT_TRUE(has(r.out, "  311 edit \"Room 1\" enabled visible\n")) << r.out;
    EXPECT_TRUE(has(r.out, "#35\n\nInvalid Selection - Polyline is not closed\n\n"));
    EXPECT_TRUE(has(r.out, "8000,6000\n\nPolyline On Locked Layer - Block Creation Failed\n"));
    const std::string question =
        "[Duplicate Space Name] Room Name already exists in the drawing.\n\nDo you want another space of the same "
        "name creating?\n";
    EXPECT_TRUE(has(r.out, question + "\n\nPlease select a polyline:\n")) << "No makes nothing";
    EXPECT_TRUE(has(r.out, question + "Block Created Successfully\n"));
    EXPECT_TRUE(has(r.out, "Cancelled by User.\n\nBlock Creation Session Ended\n"));
    // After the session the next name and the settings typed are shown.
    EXPECT_TRUE(has(r.out,
                    "  311 edit \"Room 3\" enabled visible\n  315 button \"Sub Area\" enabled hidden\n"
                    "  291 edit \"300\" enabled visible\n"));
    EXPECT_TRUE(has(slurp(dir / "c/CadHost/kelmo/prefs/prefs.cfg"),
                    "textSize\r\n300.00\r\ntextScale\r\n0.80\r\ntextRotation\r\n15.00\r\n"));

    EXPECT_EQ(dump("out.dxf"),
              "43|ROOM-1|@2000,1500 r0|AREA=12.00sq.m.@2000,1500 h250.0 w1.00 r0|NAME=Room 1@2000,1125 h250.0 w1.00 "
              "r0|AUX= @2000,1875 h250.0 w1.00 r0|ADE:AREA=12.00sq.m.;PERIMETER=14.00m.;NAME=Room 1;" +
                  newRecord +
                  "\n"
                  "4C|ROOM-2|@7500,2000 r0|AREA=20.00sq.m.@7500,2000 h300.0 w0.80 r15|NAME=Room 2@7616,1565 h300.0 "
                  "w0.80 r15|AUX= @7384,2435 h300.0 w0.80 r15|ADE:AREA=20.00sq.m.;PERIMETER=18.00m.;NAME=Room 2;" +
                  newRecord +
                  "\n"
                  // The second "Room 1" takes the next number.
                  "54|ROOM-3|@12500,1500 r0|AREA=9.00sq.m.@12500,1500 h300.0 w0.80 r15|NAME=Room 1@12616,1065 "
                  "h300.0 w0.80 r15|AUX= @12384,1935 h300.0 w0.80 r15|ADE:AREA=9.00sq.m.;PERIMETER=12.00m.;NAME=Room "
                  "1;" +
                  newRecord +
                  "\n"
                  // Each boundary stays where it was drawn.
                  "BOUNDARY|ROOM-1|0,0 0,3000 4000,0 4000,3000\n"
                  "BOUNDARY|ROOM-2|5000,0 5000,4000 10000,0 10000,4000\n"
                  "BOUNDARY|ROOM-3|11000,0 11000,3000 14000,0 14000,3000\n"
                  "POLYLINE|34|WALLS|15000,0 15000,2000 17000,0 17000,2000\n"
                  "POLYLINE|35|WALLS|0,5000 0,7000 3000,5000 3000,7000\n"
                  "POLYLINE|36|LOCKED|5000,5000 5000,7000 8000,5000 8000,7000\n");
}

// Feet and a precision the preferences dialog refuses, then Escape: the creator keeps metres and two
// decimals, and the preferences file is as it was.
TEST_F(CreationHost, OptionsCancelledAfterARefusedValueLeaveTheUnitsAndPrecisionAsTheyWere) {
    Outcome r = run("floor_world.dxf",
                    "mbc\ndlg menu 32769\ndlg radio 289\ndlg set 290 12\ndlg enter\nok\ndlg esc\n"
                    "dlg click 3\n#31\n2000,1500\n\nSAVEAS out.dxf\ndlg click 2\n");
    // The refused value is a line not applied.
    ASSERT_EQ(r.status, 1) << r.err << r.out;
    EXPECT_TRUE(has(r.err, "test.scr:5: the dialog refused the value: Please enter an integer between 0 and 9.\n"))
        << r.err;
    EXPECT_TRUE(has(r.out, "Please enter an integer between 0 and 9.")) << r.out;
    EXPECT_TRUE(has(r.out, "Units set to M\u00B2\n")) << r.out;
    EXPECT_TRUE(has(dump("out.dxf"), "ADE:AREA=12.00sq.m.;PERIMETER=14.00m.;NAME=Room 1;")) << dump("out.dxf");
    EXPECT_EQ(slurp(dir / "c/CadHost/kelmo/prefs/prefs.cfg"), kelmo_test::defaultPrefsFile);
}

// A width factor below what the block dialog's Format page takes is refused as that page refuses it, so
// every space made can be edited and written back at once.
TEST_F(CreationHost, AWidthFactorTooSmallIsRefusedSoTheSpaceMadeCanBeEditedAtOnce) {
    Outcome r = run("floor_world.dxf",
                    "mbc\ndlg set 341 0.005\ndlg click 3\nok\ndlg set 341 1\ndlg click 3\n#31\n2000,1500\n\n"
                    "dlg click 2\n"
                    "mbe\ndlg @210 dblclick 246 Room 1\ndlg @201 set 203 Lab\ndlg @201 click 1\ndlg list\n"
                    "SAVEAS out.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out;
    EXPECT_TRUE(has(r.out, "] Text Scale: please enter a number between 0.01 and 100.\n")) << r.out;
    EXPECT_TRUE(has(r.err, "test.scr:3: the dialog refused the value: Text Scale: please enter a number")) << r.err;
    EXPECT_TRUE(has(r.out, "dialog 201 \"RoomBlock\" closed\n")) << r.out;
    EXPECT_TRUE(has(dump("out.dxf"), "|NAME=Lab@2000,1875 h250.0 w1.00 r0|")) << dump("out.dxf");
    EXPECT_TRUE(has(slurp(dir / "c/CadHost/kelmo/prefs/prefs.cfg"), "textScale\r\n1.00\r\n"));
}

// One the preferences file holds is the person's own: it stays there, and the labels are made at 1.
TEST_F(CreationHost, AStoredWidthFactorTheLabelsCannotTakeStaysInThePreferencesAndIsSaidOnce) {
    for (const char* stored : {"150.00", "0.005"}) {
        SCOPED_TRACE(stored);
        std::string prefs = kelmo_test::defaultPrefsFile;
        prefs.replace(prefs.find("textScale\r\n1.00"), 15, std::string("textScale\r\n") + stored);
        std::ofstream(dir / "c/CadHost/kelmo/prefs/prefs.cfg", std::ios::binary) << prefs;
        Outcome r =
            run("floor_world.dxf", "mbc\ndlg click 3\n#31\n2000,1500\n#32\n7500,2000\n\ndlg click 2\nSAVEAS out.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        const std::string shown = std::string(stored) == "150.00" ? "150" : "0.005";
        const std::string said =
            "The Text Scale in the preferences, " + shown + ", is not one a label takes: labels are made at 1\n";
        const size_t at = r.out.find(said);
        EXPECT_NE(at, std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(said, at + 1), std::string::npos) << r.out;
        EXPECT_TRUE(has(dump("out.dxf"), "|NAME=Room 2@7500,1625 h250.0 w1.00 r0|")) << dump("out.dxf");
        EXPECT_EQ(slurp(dir / "c/CadHost/kelmo/prefs/prefs.cfg"), prefs);
    }
}

TEST_F(CreationHost, WithoutADrawingNeitherDialogOpensAndTheErrorBoxSaysWhy) {
    Outcome r = run("floor_world.dxf", "CLOSE\nmbc\nok\nmbh\nok\ndlg list\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // each command ended in an error
    EXPECT_TRUE(has(r.out, "Command: mbc\nKelmo Block Create 64.04.00.01\n[Error Detected.]")) << r.out;
    EXPECT_TRUE(has(r.out, "Command: mbh\nKelmo Block Hyperlink 64.04.00.01\n[Error Detected.]")) << r.out;
    EXPECT_TRUE(has(r.out.substr(r.out.find("Command: mbh")), "No drawing is open.")) << r.out;
    EXPECT_TRUE(has(r.out.substr(0, r.out.find("Command: mbh")), "No drawing is open.")) << r.out;
    EXPECT_FALSE(has(r.out, "dialog 217")) << r.out;
    EXPECT_FALSE(has(r.out, "has been closed")) << r.out;
}

// 1e308,1e308 once made a space whose drawing could no longer be plotted ("too large to plot").
TEST_F(CreationHost, ALabelPointBeyondWhatTheDrawingHoldsIsRefusedAsAnInvalidPoint) {
    for (const char* far : {"1e308,1e308", "1e20,0", "0,-1e25", "2000,1500,1e300", "1e999,0"}) {
        Outcome r = run("floor_world.dxf", "mbc\ndlg click 3\n#31\n" + std::string(far) +
                                               "\n2000,1500\n\nSAVEAS out.dxf\nPLOT out.png\ndlg click 2\n");
        ASSERT_EQ(r.status, 1) << far << r.err; // the refused point is a line not applied
        EXPECT_TRUE(has(r.out, "Enter Attribute points: " + std::string(far) +
                                   "\n\nInvalid point.\nEnter Attribute points: 2000,1500\n"))
            << far << r.out;
        EXPECT_TRUE(has(r.out, "Plotted to ")) << far << r.out;
        EXPECT_TRUE(has(dump("out.dxf"), "|ROOM-1|@2000,1500 r0|")) << far << dump("out.dxf");
    }
}

TEST_F(CreationHost, ASessionUnderATurnedUcsPlacesTheLabelsInIt) {
    Outcome r = run("floor_ucs.dxf",
                    "mbc\ndlg click 3\n"
                    "#31\n1000,1000\n"
                    "#32\n5000,1000\n"
                    "\nSAVEAS out.dxf\ndlg menu 32768\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r.out, "dialog 217 \"Kelmo Block Creator\" closed\n"));
    const std::string saved = dump("out.dxf");
    // The UCS is turned 30 degrees about 20000,0: its 1000,1000 is the world's 20366,1366.
    EXPECT_TRUE(has(saved,
                    "43|ROOM-1|@20366,1366 r30|AREA=12.00sq.m.@20366,1366 h250.0 w1.00 r30|NAME=Room "
                    "1@20554,1041 h250.0 w1.00 r30|AUX= @20179,1691 h250.0 w1.00 r30|"))
        << saved;
    EXPECT_TRUE(has(saved, "4C|ROOM-2|@23830,3366 r30|AREA=20.00sq.m."));
    EXPECT_TRUE(has(saved,
                    "BOUNDARY|ROOM-1|0,0 0,3000 4000,0 4000,3000\n"
                    "BOUNDARY|ROOM-2|5000,0 5000,4000 10000,0 10000,4000\n"))
        << saved;
}

TEST_F(CreationHost, LinksGoToOneBlockOrToEveryBlockOfItsKindAndAPlainBlockGetsOnlyLinks) {
    Outcome r = run("floor_links.dxf",
                    "mbh\n"
                    "dlg click 233\n#3C\n"
                    "dlg type 234 http://plans.example/lab1\n"
                    "dlg show\n"
                    "dlg click 229\n"
                    "SAVEAS one.dxf\n"
                    "dlg click 233\n#42\n"
                    "dlg set 232 http://plans.example/labs\n"
                    "dlg set 291 \"Lab plans\"\n"
                    "dlg check 296 1\n"
                    "dlg click 1\n"
                    "mbh\n"
                    "dlg click 233\n#4C\n"
                    "dlg type 232 http://doors.example\n"
                    "dlg click 1\n"
                    "SAVEAS all.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(has(r.out, "Kelmo Block Hyperlink 64.04.00.01\nPlease select a block to hyperlink\n"));
    EXPECT_TRUE(has(r.out, "Select a Block: #3C\n \n \n"));
    // The description follows the address typed.
    EXPECT_TRUE(has(r.out,
                    "  234 edit \"http://plans.example/lab1\" enabled visible focus\n"
                    "  292 edit \"http://plans.example/lab1\" enabled visible\n"));
    EXPECT_TRUE(has(r.out, "dlg click 229\n1 block affected.\n"));
    EXPECT_TRUE(has(r.out, "dlg click 1\n3 block(s) affected.\n"));
    EXPECT_TRUE(has(r.out, "dialog 204 \"Kelmo Block Hyperlinking\" closed\n"));

    EXPECT_TRUE(has(dump("one.dxf"),
                    "|LINKS:http://old.example/lab1,Old plan,,http://plans.example/lab1,http://plans.example/lab1,\n"))
        << dump("one.dxf");
    const std::string all = dump("all.dxf");
    for (const char* lab : {"3C|ROOM-1|", "42|ROOM-1|", "47|ROOM-1|"}) {
        const size_t at = all.find(lab);
        ASSERT_NE(at, std::string::npos) << lab;
        EXPECT_TRUE(has(all.substr(at, all.find('\n', at) - at), "|LINKS:http://plans.example/labs,Lab plans,")) << all;
    }
    // The door keeps its attribute as it was and carries no space record.
    EXPECT_TRUE(has(all,
                    "4C|DOOR|@0,-2000 r0|NAME=Door 1@0,-1900 h100.0 w1.00 r0|LINKS:http://doors.example,"
                    "http://doors.example,\n"))
        << all;
    EXPECT_TRUE(has(all, "4F|DOOR|@5000,-2000 r0|NAME=Door 2@5000,-1900 h100.0 w1.00 r0\n")) << all;
}

} // namespace
} // namespace creationtest
