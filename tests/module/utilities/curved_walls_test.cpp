// Rooms beside a curved wall of 10 m radius, through cadhost, in a drawing in millimetres and in one in
// metres: a corner 10, 5 or 1 mm inside the wall makes a space, a gross area and an updated area; a slot
// reaching 5 or 1 mm through the wall is refused.
#include <cstdio>

#include "MeasuredPlans.h"

namespace utilities {
namespace {

using CurvedWalls = MeasuredPlans;
using cadhost_run::count;
using cadhost_run::has;

const std::string refused =
    "\nInvalid Selection - Polyline crosses or touches itself, so it encloses no single area\n\n";

// The wall drawn in millimetres, and in metres, where every name begins "m ".
struct Plan {
    const char* file;
    const char* names;
    double unitsPerMillimetre;

    std::string name(const std::string& entity) const { return names + entity; }
    // A point given in millimetres, in the drawing's units.
    std::string at(double x, double y) const {
        char text[64];
        std::snprintf(text, sizeof text, "%g,%g", x * unitsPerMillimetre, y * unitsPerMillimetre);
        return text;
    }
};
const std::vector<Plan> drawings = {{"curved.dxf", "", 1.0}, {"curved_m.dxf", "m ", 0.001}};

TEST_F(CurvedWalls, TheBlockCreatorMakesSpacesWithACornerJustInsideTheWallAndRefusesOneReachingThroughIt) {
    for (const Plan& plan : drawings) {
        SCOPED_TRACE(plan.file);
        Outcome r = run(plan.file, "mbc\ndlg click 3\n" + pick(plan.name("near 10")) + "\n" + plan.at(33000, 2000) +
                                       "\n" + pick(plan.name("near 5")) + "\n" + plan.at(63000, 2000) + "\n" +
                                       pick(plan.name("near 1")) + "\n" + plan.at(93000, 2000) + "\n" +
                                       pick(plan.name("through 5")) + "\n" + pick(plan.name("through 1")) +
                                       "\n\ndlg click 2\nSAVE\n");
        ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
        EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 3u) << r.out;
        EXPECT_TRUE(has(r, pick(plan.name("through 5")) + "\n" + refused)) << r.out;
        EXPECT_TRUE(has(r, pick(plan.name("through 1")) + "\n" + refused)) << r.out;
        EXPECT_EQ(count(r.out, "touches itself"), 2u) << r.out;
        const Drawing saved = dump(plan.file);
        // A quarter disc less the corner cut off towards the wall, and the wall's length.
        EXPECT_NE(saved.data("ROOM-2").find("AREA=41.53sq.m.;PERIMETER=43.80m.;"), std::string::npos)
            << saved.data("ROOM-2");
        EXPECT_NE(saved.data("ROOM-3").find("AREA=41.51sq.m.;PERIMETER=43.81m.;"), std::string::npos)
            << saved.data("ROOM-3");
        EXPECT_NE(saved.data("ROOM-4").find("AREA=41.50sq.m.;PERIMETER=43.81m.;"), std::string::npos)
            << saved.data("ROOM-4");
        EXPECT_TRUE(saved.find("INSERT", "ROOM-5").empty());
    }
}

TEST_F(CurvedWalls, AGrossAreaIsMadeWithACornerJustInsideTheWallButNotThroughIt) {
    for (const Plan& plan : drawings) {
        SCOPED_TRACE(plan.file);
        Outcome r =
            run(plan.file, "mgabc\n" + pick(plan.name("through 5")) + "\nmgabc\n" + pick(plan.name("through 1")) +
                               "\nmgabc\n" + pick(plan.name("near 1")) + "\n" + plan.at(93000, 2000) + "\nSAVE\n");
        ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
        EXPECT_TRUE(has(r, pick(plan.name("through 5")) + "\n" + refused + "\nCommand: mgabc")) << r.out;
        EXPECT_TRUE(has(r, pick(plan.name("through 1")) + "\n" + refused + "\nCommand: mgabc")) << r.out;
        EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 1u) << r.out;
        const Drawing saved = dump(plan.file);
        EXPECT_NE(saved.data("ROOM-GROSS_AREA").find("AREA=41.50sq.m.;"), std::string::npos)
            << saved.data("ROOM-GROSS_AREA");
    }
}

TEST_F(CurvedWalls, UpdateSpacesMeasuresASpaceWithACornerJustInsideTheWall) {
    for (const Plan& plan : drawings) {
        SCOPED_TRACE(plan.file);
        Outcome r = run(plan.file, "mus\nmcsv\nSAVE\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(has(r, "crosses itself")) << r.out;
        const Drawing saved = dump(plan.file);
        EXPECT_NE(saved.data("ROOM-1").find("AREA=41.50sq.m.;PERIMETER=43.81m.;"), std::string::npos)
            << saved.data("ROOM-1");
        EXPECT_EQ(saved.label("ROOM-1", "AREA").substr(0, 11), "41.50sq.m.@");
        const std::string csv = std::string(plan.file).replace(std::string(plan.file).size() - 3, 3, "csv");
        EXPECT_NE(spacecommands::slurp(dir / csv).find("\nCurved,41.50,"), std::string::npos)
            << spacecommands::slurp(dir / csv);
    }
}

} // namespace
} // namespace utilities
