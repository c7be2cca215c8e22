// Rooms beside a curved wall of 10 m radius, through cadhost: a corner 10, 5 or 1 mm inside the wall
// makes a space, a gross area and an updated area; a slot reaching 5 mm through the wall is refused.
#include "MeasuredPlans.h"

namespace utilities {
namespace {

using CurvedWalls = MeasuredPlans;
using cadhost_run::count;
using cadhost_run::has;

const std::string refused =
    "\nInvalid Selection - Polyline crosses or touches itself, so it encloses no single area\n\n";

TEST_F(CurvedWalls, TheBlockCreatorMakesSpacesWithACornerJustInsideTheWallAndRefusesOneReachingThroughIt) {
    Outcome r = run("curved.dxf", "mbc\ndlg click 3\n" + pick("near 10") + "\n33000,2000\n" + pick("near 5") +
                                      "\n63000,2000\n" + pick("near 1") + "\n93000,2000\n" + pick("through 5") +
                                      "\n\ndlg click 2\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 3u) << r.out;
    EXPECT_TRUE(has(r, pick("through 5") + "\n" + refused)) << r.out;
    EXPECT_EQ(count(r.out, "touches itself"), 1u) << r.out;
    const Drawing saved = dump("curved.dxf");
    // A quarter disc less the corner cut off towards the wall, and the wall's length.
    EXPECT_NE(saved.data("ROOM-2").find("AREA=41.53sq.m.;PERIMETER=43.80m.;"), std::string::npos)
        << saved.data("ROOM-2");
    EXPECT_NE(saved.data("ROOM-3").find("AREA=41.51sq.m.;PERIMETER=43.81m.;"), std::string::npos)
        << saved.data("ROOM-3");
    EXPECT_NE(saved.data("ROOM-4").find("AREA=41.50sq.m.;PERIMETER=43.81m.;"), std::string::npos)
        << saved.data("ROOM-4");
    EXPECT_TRUE(saved.find("INSERT", "ROOM-5").empty());
}

TEST_F(CurvedWalls, AGrossAreaIsMadeWithACornerJustInsideTheWallButNotThroughIt) {
    Outcome r =
        run("curved.dxf", "mgabc\n" + pick("through 5") + "\nmgabc\n" + pick("near 1") + "\n93000,2000\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, pick("through 5") + "\n" + refused + "\nCommand: mgabc")) << r.out;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 1u) << r.out;
    const Drawing saved = dump("curved.dxf");
    EXPECT_NE(saved.data("ROOM-GROSS_AREA").find("AREA=41.50sq.m.;"), std::string::npos)
        << saved.data("ROOM-GROSS_AREA");
}

TEST_F(CurvedWalls, UpdateSpacesMeasuresASpaceWithACornerJustInsideTheWall) {
    Outcome r = run("curved.dxf", "mus\nmcsv\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(has(r, "crosses itself")) << r.out;
    const Drawing saved = dump("curved.dxf");
    EXPECT_NE(saved.data("ROOM-1").find("AREA=41.50sq.m.;PERIMETER=43.81m.;"), std::string::npos)
        << saved.data("ROOM-1");
    EXPECT_EQ(saved.label("ROOM-1", "AREA").substr(0, 11), "41.50sq.m.@");
    EXPECT_NE(spacecommands::slurp(dir / "curved.csv").find("\nCurved,41.50,"), std::string::npos)
        << spacecommands::slurp(dir / "curved.csv");
}

} // namespace
} // namespace utilities
