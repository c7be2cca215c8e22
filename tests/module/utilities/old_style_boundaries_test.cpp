// Spaces of an R12 drawing, whose boundaries are all old-style 2D polylines, through cadhost: "mus",
// "msxta" and the block dialog measure them as their lightweight form, arcs and listed holes
// included; what no boundary can give (one crossing itself, none at all, a block scaled unevenly)
// keeps its stored value, and the command line says so.
#include "MeasuredPlans.h"

namespace utilities {
namespace {

using OldStyleBoundaries = MeasuredPlans;
using cadhost_run::count;
using cadhost_run::has;

TEST_F(OldStyleBoundaries, UpdateSpacesMeasuresThemAndKeepsWhatItCannotMeasure) {
    Outcome r = run("r12.dxf", "mus\nmcsv\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    expectInOrder(r.out, {kept("Loop", "the boundary crosses itself", "area"),
                          kept("Annex", "the block is scaled unevenly", "perimeter"),
                          kept("Atrium", "no boundary polyline was found", "area"),
                          kept("Atrium", "no boundary polyline was found", "perimeter")});
    EXPECT_EQ(count(r.out, "kept as stored"), 4u) << r.out;
    EXPECT_TRUE(has(r, "\tSpace Loop (handle " + handles.at("Loop") +
                           "): the boundary crosses itself, so its stored area is not a measured one\n"))
        << r.out;
    const Drawing saved = dump("r12.dxf");
    const struct {
        const char* block;
        const char* data;
        const char* area;
        const char* aux;
    } rows[] = {
        // 5 m x 4 m and the segment of its bowed top, of 4.37 m2 and 5.80 m.
        {"ROOM-1", "AREA=24.37sq.m.;PERIMETER=18.80m.;", "24.37sq.m.@", "18.80m.@"},
        // Less the column of 0.25 m2, whose 2 m lengthen the perimeter.
        {"ROOM-2", "AREA=8.75sq.m.;PERIMETER=14.00m.;", "8.75sq.m.@", "14.00m.@"},
        {"ROOM-3", "AREA=20.00sq.m.;PERIMETER=28.87m.;", "20.00sq.m.@", "28.87m.@"},
        {"ROOM-4", "AREA=20.00sq.m.;PERIMETER=13.00m.;", "20.00sq.m.@", "13.00m.@"},
        {"ROOM-5", "AREA=30.00sq.m.;PERIMETER=22.00m.;", "30.00sq.m.@", "22.00m.@"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(saved.data(row.block).rfind(row.data, 0), 0u) << saved.data(row.block);
        EXPECT_EQ(saved.label(row.block, "AREA").rfind(row.area, 0), 0u) << row.block;
        EXPECT_EQ(saved.label(row.block, "AUX").rfind(row.aux, 0), 0u) << row.block;
    }
    EXPECT_EQ(spacecommands::slurp(dir / "r12.csv"),
              "Code,Area,Units,Perimeter,Units\r\n"
              "Office,24.37,m\xB2,18.80,m\r\n"
              "Store,8.75,m\xB2,14.00,m\r\n"
              "Loop,20.00,m\xB2,28.87,m\r\n"
              "Annex,20.00,m\xB2,13.00,m\r\n"
              "Atrium,30.00,m\xB2,22.00,m\r\n"
              "Total,103.12,m\xB2,96.67,m\r\n\r\n\r\n");
}

TEST_F(OldStyleBoundaries, SyncWithRecalculationMeasuresThemAndKeepsAStoredAreaItCannotMeasure) {
    Outcome r = run("r12.dxf", "msxta\n\n\n\nyes\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, kept("Loop", "the boundary crosses itself", "area"))) << r.out;
    const Drawing saved = dump("r12.dxf");
    EXPECT_EQ(saved.data("ROOM-1").rfind("AREA=24.37sq.m.;PERIMETER=18.80m.;", 0), 0u) << saved.data("ROOM-1");
    EXPECT_EQ(saved.label("ROOM-1", "AREA").substr(0, 11), "24.37sq.m.@");
    EXPECT_EQ(saved.data("ROOM-3").rfind("AREA=20.00sq.m.;PERIMETER=28.87m.;", 0), 0u) << saved.data("ROOM-3");
    EXPECT_EQ(saved.label("ROOM-3", "AREA").substr(0, 11), "20.00sq.m.@");
}

TEST_F(OldStyleBoundaries, TheBlockDialogRecalculatesThemAndKeepsAStoredAreaItCannotMeasure) {
    Outcome r = run("r12.dxf",
                    "mbe\n"
                    "dlg dblclick 246 Office\n"
                    "dlg click 249\n"
                    "dlg click 335\n"
                    "dlg show\n"
                    "dlg click 1\n"
                    "dlg dblclick 246 Loop\n"
                    "dlg click 249\n"
                    "dlg click 335\n"
                    "dlg show\n"
                    "dlg click 1\n"
                    "SAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(count(r.out, "Command: dlg show\n"), 2u) << r.out;
    const size_t office = r.out.find("Command: dlg show\n");
    const size_t loop = r.out.find("Command: dlg show\n", office + 1);
    const std::string officeShown = r.out.substr(office, loop - office);
    EXPECT_NE(officeShown.find("219 edit \"24.37\""), std::string::npos) << officeShown;
    EXPECT_NE(officeShown.find("218 edit \"18.80\""), std::string::npos) << officeShown;
    const std::string loopShown = r.out.substr(loop);
    EXPECT_NE(loopShown.find("219 edit \"20.00\""), std::string::npos) << loopShown;
    EXPECT_NE(loopShown.find("218 edit \"28.87\""), std::string::npos) << loopShown;
    EXPECT_TRUE(has(r, kept("Loop", "the boundary crosses itself", "area"))) << r.out;
    const Drawing saved = dump("r12.dxf");
    EXPECT_EQ(saved.data("ROOM-1").rfind("AREA=24.37sq.m.;PERIMETER=18.80m.;", 0), 0u) << saved.data("ROOM-1");
    EXPECT_EQ(saved.data("ROOM-3").rfind("AREA=20.00sq.m.;PERIMETER=28.87m.;", 0), 0u) << saved.data("ROOM-3");
}

// A pick that wants a lightweight polyline names what was picked as the host does, and says when a
// polyline has no plane of its own.
TEST_F(OldStyleBoundaries, APickRefusedForItsKindNamesItAsTheHostDoes) {
    Outcome r = run("r12.dxf", "mgabc\n#" + handles.at("column") + "\n#" + handles.at("twisted") + "\n*Cancel*\n");
    ASSERT_EQ(r.status, 1) << r.err << r.out; // each pick refused is a line not applied
    expectInOrder(r.out,
                  {"Invalid selection - AcDb2dPolyline.\n",
                   "Invalid selection - AcDb3dPolyline: the polyline does not lie flat.\n", "Cancelled by User.\n"});
    EXPECT_EQ(count(r.out, "AcDbRawEntity"), 0u) << r.out;
}

} // namespace
} // namespace utilities
