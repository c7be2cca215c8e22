// Boundaries that cross themselves, through cadhost: refused when a space or gross area is made on
// one (the Torvex conversion also refuses a name too long to store), named when an existing space
// has one; a boundary of no area at all still makes a space of 0.
#include "CheckedPlans.h"

namespace utilities {
namespace {

using Boundaries = CheckedPlans;
using cadhost_run::count;
using cadhost_run::has;

const std::string crossingRefused =
    "\nInvalid Selection - Polyline crosses or touches itself, so it encloses no single area\n\n";

TEST_F(Boundaries, TheBlockCreatorRefusesACrossingBoundaryAndMakesSpacesOfFlatAndArcSidedOnes) {
    Outcome r = run("checked.dxf", "mbc\ndlg click 3\n" + pick("bowtie") + "\n" + pick("flat") + "\n35000,12000\n" +
                                       pick("arc") + "\n52000,1500\n\ndlg click 2\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r, pick("bowtie") + "\n" + crossingRefused + "\n\nPlease select a polyline:\n\n" + pick("flat")))
        << r.out;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 2u) << r.out;
    EXPECT_EQ(count(r.out, "touches itself"), 1u) << "an arc is no crossing\n" << r.out;
    const Drawing saved = dump("checked.dxf");
    EXPECT_FALSE(saved.find("POLYLINE", handles.at("bowtie")).empty()) << "the bow tie stays in the drawing";
    EXPECT_EQ(saved.label("ROOM-5", "AREA").substr(0, 10), "0.00sq.m.@");
    EXPECT_NE(saved.data("ROOM-5").find("AREA=0.00sq.m.;PERIMETER=8.00m.;"), std::string::npos) << saved.data("ROOM-5");
    EXPECT_TRUE(saved.find("INSERT", "ROOM-7").empty());
    const std::string arc = saved.data("ROOM-6");
    EXPECT_NE(arc.find("AREA=14.80sq.m.;"), std::string::npos) << "the rectangle and its arc's segment\n" << arc;
}

TEST_F(Boundaries, ABoundaryTiltedOutOfThePlanIsRefusedAsNotFlatAndOneSeenFromBelowMakesASpace) {
    const std::string notFlat = "Invalid selection - AcDbPolyline: the polyline does not lie flat.\n";
    // Tilted, it made a space of its 20 m2 in its own plane, where it covers 16 in plan.
    Outcome r = run("checked.dxf", "mbc\ndlg click 3\n" + pick("tilted") + "\n" + pick("below") +
                                       "\n72000,2000\n\ndlg click 2\nmgabc\n" + pick("tilted") + "\n*Cancel*\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // the tilted boundary's pick is a refused line
    EXPECT_TRUE(has(r, pick("tilted") + "\n" + notFlat)) << r.out;
    EXPECT_EQ(count(r.out, notFlat), 2u) << r.out;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 1u) << r.out;
    const Drawing saved = dump("checked.dxf");
    EXPECT_NE(saved.data("ROOM-5").find("AREA=20.00sq.m.;PERIMETER=18.00m.;"), std::string::npos)
        << saved.data("ROOM-5");
    EXPECT_TRUE(saved.find("INSERT", "ROOM-6").empty());
    EXPECT_TRUE(saved.find("INSERT", "ROOM-GROSS_AREA").empty());
}

TEST_F(Boundaries, AGrossAreaIsNotMadeOnACrossingBoundaryButIsOnAFlatOne) {
    Outcome r = run("checked.dxf", "mgabc\n" + pick("bowtie") + "\nmgabc\n" + pick("flat") + "\n31000,12000\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r, pick("bowtie") + "\n" + crossingRefused + "\nCommand: mgabc")) << r.out;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 1u) << r.out;
    const Drawing saved = dump("checked.dxf");
    EXPECT_NE(saved.data("ROOM-GROSS_AREA").find("AREA=0.00sq.m.;"), std::string::npos)
        << saved.data("ROOM-GROSS_AREA");
    EXPECT_EQ(saved.find("OUTLINE", "ROOM-GROSS_AREA").at(3), "-1000.0,-2000.0 3000.0,-2000.0 1000.0,-2000.0");
    EXPECT_FALSE(saved.find("POLYLINE", handles.at("bowtie")).empty()) << "the bow tie stays in the drawing";
}

TEST_F(Boundaries, UpdateSpacesAndTheCsvExportNameASpaceWhoseBoundaryCrossesItself) {
    Outcome r = run("checked.dxf", "mus\nmcsv\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "\tSpace Bow tie (handle " + handles.at("Bow tie") +
                           "): the boundary crosses itself, so its area is kept as stored\n"))
        << r.out;
    EXPECT_TRUE(has(r, "\tSpace Bow tie (handle " + handles.at("Bow tie") +
                           "): the boundary crosses itself, so its stored area is not a measured one\n"))
        << r.out;
    EXPECT_EQ(count(r.out, "crosses itself"), 2u) << r.out;
    const Drawing saved = dump("checked.dxf");
    // The area stays as the user stored it; the perimeter, which the crossing does not spoil, is measured.
    EXPECT_NE(saved.data("ROOM-3").find("AREA=20.00sq.m.;PERIMETER=28.87m.;"), std::string::npos)
        << saved.data("ROOM-3");
    EXPECT_EQ(saved.label("ROOM-3", "AREA").substr(0, 11), "20.00sq.m.@");
    EXPECT_NE(saved.data("ROOM-1").find("AREA=12.00sq.m.;"), std::string::npos) << saved.data("ROOM-1");
    EXPECT_NE(spacecommands::slurp(dir / "checked.csv").find("Bow tie,20.00,"), std::string::npos);
}

TEST_F(Boundaries, TorvexLabelsOnACrossingBoundaryOrWithANameTooLongToStoreAreNotConverted) {
    Outcome r = run("checked_torvex.dxf", "msc_isc\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r, "Torvex Label " + handles.at("label Cros") + " (Crossed) Not Converted - Polyline " +
                           handles.at("boundary Cros") + " Crosses Itself\n"))
        << r.out;
    EXPECT_TRUE(has(r, "Not Converted - The space name is too long: stored with \"NAME=\" it takes 305 bytes"))
        << r.out;
    EXPECT_TRUE(has(r, "Torvex Label " + handles.at("label Tilt") + " (Tilted) Not Converted - Polyline " +
                           handles.at("boundary Tilt") + " Does Not Lie Flat\n"))
        << r.out;
    const Drawing saved = dump("checked_torvex.dxf");
    EXPECT_EQ(saved.all("BLOCK").size(), 1u) << "only the fine label is converted";
    EXPECT_NE(saved.data("ROOM-0").find("NAME=Fine;"), std::string::npos) << saved.data("ROOM-0");
    EXPECT_FALSE(saved.find("POLYLINE", handles.at("boundary Cros")).empty());
    EXPECT_FALSE(saved.find("POLYLINE", handles.at("boundary Long")).empty());
}

} // namespace
} // namespace utilities
