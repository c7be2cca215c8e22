// "msc_has", "msc_hs", "mfrs", "mbta" and "msc_cal" on a plan of five rooms and a gross area.
#include <gmock/gmock.h>

#include <regex>

#include "UtilitiesHost.h"

namespace utilities {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

// Each hatch as "layer|pattern|colour|corners".
std::vector<std::string> hatches(const Drawing& drawing) {
    std::vector<std::string> found;
    for (const auto& row : drawing.all("HATCH")) found.push_back(row[1] + "|" + row[2] + "|" + row[3] + "|" + row[4]);
    return found;
}

std::string yellowSolid(const std::string& corners) {
    return "#Hatch|SOLID|(255, 255, 0)|" + corners;
}

// The gross area is labelled "Floor 1": it is told by its block, not by its label.
TEST_F(Utilities, HatchAllSpacesHatchesEveryRoomButTheGrossAreaAndTimesIt) {
    Outcome r = run("spaces.dxf", "msc_has\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(
        std::regex_search(r.out, std::regex("Command: msc_has\n\\d\\d:\\d\\d:\\d\\d\n\\d\\d:\\d\\d:\\d\\d\n"
                                            "5 block\\(s\\) hatched in \\d+ seconds \\(\\d+\\.\\d\\d s/b\\)\n")))
        << r.out;
    // In draw order: each hatch is sent to the bottom as it is made, so the last made comes first.
    EXPECT_THAT(hatches(dump("saved.dxf")),
                ElementsAre(yellowSolid("0.0,10000.0 3000.0,13000.0"), yellowSolid("20000.0,10000.0 24000.0,14000.0"),
                            yellowSolid("10000.0,0.0 12000.0,2000.0"), yellowSolid("6000.0,0.0 9000.0,4000.0"),
                            yellowSolid("0.0,0.0 5000.0,4000.0")));
}

TEST_F(Utilities, HatchAllSpacesWithOnlyAGrossAreaReportsNoBlocksAtNoSecondsPerBlock) {
    Outcome r = run("floor.dxf", "mgabc\n#32\n0,0\nmsc_has\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n0 block\\(s\\) hatched in \\d+ seconds \\(0\\.00 s/b\\)\n")))
        << r.out;
    EXPECT_TRUE(hatches(dump("saved.dxf")).empty());
}

TEST_F(Utilities, HatchSpaceHatchesOnlyThePickedSpaceAndNothingForAnotherBlock) {
    Outcome r = run("spaces.dxf", "msc_hs\n#47\nmsc_hs\n#7C\nmsc_hs\n*Cancel*\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r, "Command: msc_hs\n\n\nPlease select a space\n\n")) << r.out;
    EXPECT_TRUE(has(r, "Cancelled by User.\n")) << r.out;
    EXPECT_THAT(hatches(dump("saved.dxf")), ElementsAre(yellowSolid("6000.0,0.0 9000.0,4000.0")));
}

// Colouring ("msc_has", "msc_hs", a report) and changing labels ("mbta", "mfrs", "mut") measure nothing,
// so are no reason to store a record: a room that holds none keeps none, rather than one of zeros that
// "mlb" and "mcsv" would then show; a room's own record stays as it was.
TEST_F(Utilities, HatchingARoomWithoutARecordColoursItAndLeavesItWithoutOne) {
    const std::string kept =
        "AREA=12.00sq.m.;PERIMETER=14.00m.;NAME=Kept;TAGTYPE=Office;AREA_TYPE=NIA;COST_CENTRE=CC-7;DATE=2024-01-02;"
        "DATE_L_MOVE=<Not Set>;DEPT_CHARGE=Finance;ROOM_HEIGHT=2.70m.;SPECIAL_REQ=<Not Set>;TOT_STAFF=4;TOT_WKSTNS=5;"
        "VOLUME=27.00cu.m.;HANDLESTOMINUS=;HANDLESTOADD=";
    std::ofstream(dir / "every.xml")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\">"
           "<grID>1</grID><grTitle>Every room</grTitle><grTotalChildAreas>32</grTotalChildAreas><categories>"
           "<category><cID>1</cID><cTitle>Rooms</cTitle><cHatchPattern>SOLID</cHatchPattern><cHatchColour>#D9822B"
           "</cHatchColour><cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>R-ROOMS</cHatchLayer>"
           "<kelmoBlocks><kelmoBlock><mbHandle>*</mbHandle></kelmoBlock></kelmoBlocks></category></categories>"
           "</graphicReport>\n";
    const std::string report = "magr\n" + windowsPath("every.xml") + "\n\n\n\n\n\n\n";
    const struct Case {
        std::string script;
        size_t hatches;
    } cases[] = {{"msc_has\n", 2}, {"msc_hs\n#37\nmsc_hs\n#43\n", 2}, {report, 2},
                 {"mbta\n", 0},    {"mfrs\nBare\nPlain\n", 0},        {"mut\n300\ni\ni\n", 0}};
    for (const auto& [script, coloured] : cases) {
        Outcome r = run("bare.dxf", script + "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        const Drawing saved = dump("saved.dxf");
        EXPECT_EQ(hatches(saved).size(), coloured) << script;
        EXPECT_EQ(saved.data("ROOM-301"), "") << script;
        EXPECT_EQ(saved.data("ROOM-302"), kept) << script;
    }
}

struct Rename {
    std::string find, replacement;
    std::vector<std::string> printed;         // the lines printed between the prompts and the next command
    std::map<std::string, std::string> names; // space -> stored name afterwards
};

TEST_F(Utilities, FindAndReplaceRenamesOnlyTheNamesThatBeginWithTheText) {
    const std::vector<Rename> cases = {
        // "Hall L1-East" holds the text, but not at its start.
        {"L1-",
         "Level 1/",
         {"L1-Office changed to Level 1/Office", "L1-Kitchen changed to Level 1/Kitchen",
          "6 blocks processed - 2 changes made"},
         {{"ROOM-101", "Level 1/Office"}, {"ROOM-102", "Level 1/Kitchen"}, {"ROOM-104", "Hall L1-East"}}},
        // Letter case counts.
        {"l1-", "x", {"6 blocks processed - 0 changes made"}, {{"ROOM-101", "L1-Office"}}},
        // Nothing to find puts the replacement in front of every name.
        {"",
         "B-",
         {"L1-Office changed to B-L1-Office", "L1-Kitchen changed to B-L1-Kitchen", "L2-Store changed to B-L2-Store",
          "Hall L1-East changed to B-Hall L1-East", "ROOM-105 changed to B-ROOM-105", "Floor 1 changed to B-Floor 1",
          "6 blocks processed - 6 changes made"},
         {{"ROOM-103", "B-L2-Store"}, {"ROOM-GROSS_AREA", "B-Floor 1"}}},
        // A space without a NAME label is named after its block; only the stored name changes.
        {"ROOM-",
         "Lobby-",
         {"ROOM-105 changed to Lobby-105", "6 blocks processed - 1 changes made"},
         {{"ROOM-105", "Lobby-105"}}},
    };
    for (const Rename& c : cases) {
        SCOPED_TRACE("find '" + c.find + "'");
        Outcome r = run("spaces.dxf", "mfrs\n" + c.find + "\n" + c.replacement + "\nSAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        std::string expected;
        for (const std::string& line : c.printed) expected += (expected.empty() ? "" : "\n") + line;
        // The summary has no line end of its own: the next prompt follows it.
        EXPECT_TRUE(has(r, "Enter String to Replace:" + c.replacement + "\n" + expected + "\nCommand: SAVEAS"))
            << r.out;
        const Drawing plan = dump("saved.dxf");
        for (const auto& [space, name] : c.names) {
            // A gross area keeps its stored mark whatever its label says.
            const std::string stored = space == "ROOM-GROSS_AREA" ? "GROSS AREA" : name;
            EXPECT_NE(plan.data(space).find(";NAME=" + stored + ";"), std::string::npos) << space << plan.data(space);
            if (space != "ROOM-105") {
                EXPECT_THAT(plan.label(space, "NAME"), StartsWith(name + "@"));
            }
        }
        EXPECT_EQ(plan.labels("ROOM-105").size(), 2u);
    }
}

TEST_F(Utilities, FindAndReplaceCancelledRenamesNothing) {
    Outcome r = run("spaces.dxf", "mfrs\nL1-\n*Cancel*\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_FALSE(has(r, "changed to")) << r.out;
    EXPECT_FALSE(has(r, "blocks processed")) << r.out;
    EXPECT_NE(dump("saved.dxf").data("ROOM-101").find(";NAME=L1-Office;"), std::string::npos);
}

TEST_F(Utilities, BlankThirdAttributeBlanksAndCountsOnlyTheSpacesWithAnAuxLabel) {
    Outcome r = run("spaces.dxf", "mbta\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "Command: mbta\n5 block(s) altered\n")) << r.out;
    const Drawing plan = dump("saved.dxf");
    for (const char* space : {"ROOM-101", "ROOM-102", "ROOM-104", "ROOM-105", "ROOM-GROSS_AREA"})
        EXPECT_THAT(plan.label(space, "AUX"), StartsWith(" @")) << space;
    EXPECT_EQ(plan.label("ROOM-103", "AUX"), "(none)");
}

TEST_F(Utilities, CheckAttributeLayersMovesTheLabelsOntoTheirLayersAndPutsTheLayerStatesBack) {
    Outcome r = run("spaces.dxf", "msc_cal\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "Command: msc_cal\n\nCommand: SAVEAS")) << r.out;
    const Drawing plan = dump("saved.dxf");
    // The office's labels lay on layer 0, on the locked "TEXT" and on the switched-off "WALLS".
    EXPECT_THAT(plan.labels("ROOM-101"), ElementsAre("NAME=L1-Office@1000.0,1400.0 h250.0 w1.00 r0.0 ATT-NAME",
                                                     "AREA=10.00sq.m.@1000.0,1000.0 h250.0 w1.00 r0.0 ATT-AREA",
                                                     "AUX=note@1000.0,600.0 h250.0 w1.00 r0.0 ATT-AUX"));
    EXPECT_THAT(plan.labels("ROOM-105"), ElementsAre("AREA=10.00sq.m.@1000.0,11000.0 h250.0 w1.00 r0.0 ATT-AREA",
                                                     "AUX=note@1000.0,10600.0 h250.0 w1.00 r0.0 ATT-AUX"));
    EXPECT_EQ(plan.layer("ATT-NAME"), "on|frozen|unlocked");
    EXPECT_EQ(plan.layer("TEXT"), "on|thawed|locked");
    EXPECT_EQ(plan.layer("WALLS"), "off|thawed|unlocked");
    EXPECT_EQ(plan.layer("ATT-AUX"), "on|thawed|unlocked");
    // Nothing but the layers is written: the stored data stay.
    EXPECT_NE(plan.data("ROOM-105").find(";NAME=L1-Lobby;"), std::string::npos);
}

} // namespace
} // namespace utilities
