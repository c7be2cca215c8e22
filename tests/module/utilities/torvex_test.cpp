// "msc_isc" on a drawing of Torvex space labels: the labels' boundaries become room blocks.
#include <gmock/gmock.h>

#include "UtilitiesHost.h"

namespace utilities {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

TEST_F(Utilities, TorvexLabelsBecomeRoomBlocksWithTheAreasOfTheirBoundaries) {
    Outcome r = run("torvex.dxf", "msc_isc\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // a failure line the command printed fails the line
    const Drawing plan = dump("saved.dxf");

    // "ROOM-0" is taken already: the first block takes the next free number.
    EXPECT_EQ(plan.find("BLOCK", "ROOM-0")[2], "CIRCLE");
    EXPECT_EQ(plan.label("ROOM-1", "NAME"), "Office@2000.0,1625.0 h250.0 w0.80 r0.0 ATT-NAME");
    EXPECT_EQ(plan.label("ROOM-1", "AREA"), "20.00sq.m.@2000.0,2000.0 h250.0 w0.80 r0.0 ATT-AREA");
    EXPECT_EQ(plan.label("ROOM-1", "AUX"), " @2000.0,2375.0 h250.0 w0.80 r0.0 ATT-AUX");
    EXPECT_THAT(plan.data("ROOM-1"), StartsWith("AREA=20.00sq.m.;PERIMETER=18.00m.;NAME=Office;"));
    EXPECT_EQ(plan.find("OUTLINE", "ROOM-1")[3], "-2000.0,-2000.0 3000.0,-2000.0 3000.0,2000.0 -2000.0,2000.0");

    // A label turned by 90 degrees gives labels turned by 90 degrees; the open boundary is closed.
    EXPECT_EQ(plan.label("ROOM-2", "AREA"), "6.00sq.m.@11000.0,1000.0 h250.0 w0.80 r90.0 ATT-AREA");
    EXPECT_THAT(plan.data("ROOM-2"), StartsWith("AREA=6.00sq.m.;PERIMETER=10.00m.;NAME=Lab;"));
    EXPECT_EQ(plan.find("OUTLINE", "ROOM-2")[2], "closed");

    // Without a "ROOM" attribute: no name, 10 high, width factor 1, at 10 degrees.
    EXPECT_EQ(plan.label("ROOM-3", "AREA"), "1.00sq.m.@20500.0,500.0 h10.0 w1.00 r10.0 ATT-AREA");
    EXPECT_THAT(plan.label("ROOM-3", "NAME"), StartsWith("@"));

    // Converted labels go to the switched-off layer; "BOMA" is thawed and on.
    std::vector<std::string> labels;
    for (const auto& row : plan.all("INSERT"))
        if (row[1] == "TORVEX_SPACE_LABEL") labels.push_back(row[2] + " " + row[3]);
    EXPECT_THAT(labels, ElementsAre("40 TORVEX", "44 TORVEX", "48 LABELS", "4C LABELS", "50 TORVEX", "53 LABELS"));
    EXPECT_EQ(plan.layer("TORVEX"), "off|thawed|unlocked");
    EXPECT_EQ(plan.layer("BOMA"), "on|thawed|unlocked");
}

TEST_F(Utilities, TorvexLabelsWithoutAFreeBoundaryStayAsTheyWereAndAreNamed) {
    Outcome r = run("torvex.dxf", "msc_isc\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // a failure line the command printed fails the line
    // A line, a handle that names nothing, and a boundary another label has made a room of already.
    EXPECT_TRUE(has(r,
                    "Command: msc_isc\n"
                    "Torvex Label 48 (Corridor) Not Converted - No Polyline 3F in Model Space\n"
                    "Torvex Label 4C (Ghost) Not Converted - No Polyline FFFF in Model Space\n"
                    "Torvex Label 53 (Office again) Not Converted - Polyline 3C Already Converted to ROOM-1\n"
                    "\nCommand: SAVEAS"))
        << r.out;
    const Drawing plan = dump("saved.dxf");
    // The office keeps its boundary, and no fourth room is made.
    EXPECT_EQ(plan.find("BLOCK", "ROOM-1")[2], "LWPOLYLINE ATTDEF ATTDEF ATTDEF");
    EXPECT_TRUE(plan.find("BLOCK", "ROOM-4").empty());
    EXPECT_TRUE(plan.all("POLYLINE").empty());
}

// A label or boundary on a locked layer, and a boundary made a room of before (by another label, or by
// the label itself in an earlier run), are named for what keeps them, not as a missing polyline.
TEST_F(Utilities, TorvexLabelsNotConvertedSayWhetherALayerIsLockedOrTheBoundaryIsARoomAlready) {
    Outcome r = run("torvex_locked.dxf", "msc_isc\nmsc_isc\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // a failure line the command printed fails the line
    const std::string second = r.out.substr(r.out.rfind("Command: msc_isc"));
    const struct Case {
        std::string line;
        bool again; // said by the second run too
    } cases[] = {
        {"Torvex Label 40 (Office) Not Converted - Polyline 3C Already Converted to ROOM-1\n", false},
        {"Torvex Label 44 (Lab) Not Converted - Polyline 3D Already Converted to ROOM-2\n", false},
        {"Torvex Label 50 () Not Converted - Polyline 3E Already Converted to ROOM-3\n", false},
        {"Torvex Label 53 (Office again) Not Converted - Polyline 3C Already Converted to ROOM-1\n", true},
        {"Torvex Label 59 (Store) Not Converted - Polyline 58 On Locked Layer LOCKED\n", true},
        {"Torvex Label 5E (Hall) Not Converted - Label On Locked Layer LOCKED\n", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cadhost_run::count(r.out, c.line), c.again ? 2u : 1u) << c.line << r.out;
        EXPECT_EQ(cadhost_run::count(second, c.line), 1u) << c.line << second;
    }
    for (const char* boundary : {"3C", "3D", "3E", "58"})
        EXPECT_EQ(r.out.find(std::string("No Polyline ") + boundary), std::string::npos) << boundary << r.out;
    EXPECT_TRUE(dump("saved.dxf").find("BLOCK", "ROOM-4").empty());
}

// The label's insertion point is in world coordinates; the room block is placed through the UCS.
TEST_F(Utilities, TorvexRoomBlocksUnderAMovedUcsStandWhereTheLabelsStood) {
    Outcome r = run("torvex_ucs.dxf", "msc_isc\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // a failure line the command printed fails the line
    const Drawing plan = dump("saved.dxf");
    EXPECT_EQ(plan.find("INSERT", "ROOM-1")[4], "2000.0,2000.0");
    EXPECT_EQ(plan.label("ROOM-1", "AREA"), "20.00sq.m.@2000.0,2000.0 h250.0 w0.80 r0.0 ATT-AREA");
    EXPECT_EQ(plan.find("OUTLINE", "ROOM-1")[3], "-2000.0,-2000.0 3000.0,-2000.0 3000.0,2000.0 -2000.0,2000.0");
}

TEST_F(Utilities, TorvexConversionWithoutLabelsOnlySetsTheLabelLayer) {
    Outcome r = run("floor.dxf", "msc_isc\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "Command: msc_isc\n\nCommand: SAVEAS")) << r.out;
    const Drawing plan = dump("saved.dxf");
    EXPECT_EQ(plan.layer("TORVEX"), "off|thawed|unlocked");
    EXPECT_EQ(plan.all("POLYLINE").size(), 3u);
    EXPECT_TRUE(plan.all("INSERT").empty());
}

} // namespace
} // namespace utilities
