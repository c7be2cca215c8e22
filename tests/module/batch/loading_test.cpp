// Reports loaded from their register by identifier, and the claim that keeps two runs apart.
#include <memory>

#include "BatchTestSupport.h"
#include "cad/AcDb.h"
#include "drawing/Layer.h"
#include "drawing/Layers.h"
#include "model/Asset.h"
#include "model/Blocks.h"
#include "model/Hatch.h"
#include "reports/Categories.h"
#include "reports/Category.h"
#include "reports/GraphicReport.h"
#include "reports/LinkLine.h"
#include "reports/LinkLines.h"

namespace batchtest {
namespace {

using Loading = InProcess;

TEST_F(Loading, AReportReadsItsColumnsCategoriesLayersAndLinkLines) {
    const std::string id =
        sql("INSERT INTO graphic_report (title, drawing_path, drawing_filename, plot_layout, plot_type_id, "
            "plot_area_type_id, plot_media_size_id, plot_scale_type_id, plot_centred, output_path, output_filename, "
            "save_copy_to, xml_output_to, total_child_areas) VALUES ('Floor 3', 'Z:\\plans\\floor?3', 'f3.dxf', "
            "'Layout1', 3, 4, 200, 19, 0, NULL, 'f3', 'Z:\\copies', 'f3 report.xml', 1234.5) RETURNING id");
    const std::string offices =
        sql("INSERT INTO report_category (report_id, title, hatch_pattern, hatch_angle, "
            "hatch_colour, hatch_scale, hatch_layer) VALUES (" +
            id + ", 'Offices', 'ANSI31', 44.6, '#FF8000', 2, NULL) RETURNING id");
    sql("INSERT INTO report_category (report_id, title, hatch_pattern) VALUES (" + id +
        ", 'Unhatched', '') RETURNING id");
    pgQuery(database,
            "INSERT INTO category_block (category_id, handle, name) VALUES (" + offices + ", '2A', 'Office')");
    pgQuery(database, "INSERT INTO report_layer_on (report_id, name, description) VALUES (" + id +
                          ", 'WALLS', 'w'), (" + id + ", 'DOORS', NULL)");
    pgQuery(database,
            "INSERT INTO report_link_line (report_id, start_handle, end_handle, layer_name, label_text) "
            "VALUES (" +
                id + ", 'A1', 'B2', 'LINKS', 'moves to'), (" + id + ", 'A1', 'B2', 'OTHER', 'again'), (" + id +
                ", 'B2', 'A1', NULL, NULL)");

    CGraphicReport report;
    report.getGraphicReport(procedure.get(), prefs.getAt(0), std::stoi(id), 10);
    EXPECT_EQ(procedure->getParameters(), nullptr);

    EXPECT_EQ(report.getID(), std::stoi(id));
    EXPECT_EQ(report.getTitle(), CString(L"Floor 3"));
    EXPECT_EQ(report.getDrawingPath(), CString(L"Z:\\plans\\floor3\\")); // cleaned as a folder
    EXPECT_EQ(report.getDrawingFilename(), CString(L"f3.dxf"));
    EXPECT_EQ(report.getPlotLayout(), CString(L"Layout1"));
    EXPECT_EQ(report.getPlotTypeID(), 3);
    EXPECT_EQ(report.getPlotAreaTypeID(), 4);
    EXPECT_EQ(report.getPlotMediaSizeID(), 0); // out of range
    EXPECT_EQ(report.getPlotScaleTypeID(), 20);
    EXPECT_EQ(report.getPlotCentred(), 0);
    // No folder of its own: the server's graphic-report folder.
    EXPECT_EQ(report.getOutputPath(), CString((windowsPath(dir / "out") + "\\").c_str()));
    EXPECT_EQ(report.getOutputFilename(), CString(L"f3"));
    EXPECT_EQ(report.getSaveCopyTo(), CString(L"Z:\\copies"));
    EXPECT_EQ(report.getXMLOutputTo(), CString(L"f3 report.xml")); // a file name stays a file name
    EXPECT_EQ(report.getTotalChildAreas(), 1234.5);

    ASSERT_NE(report.getCategories(), nullptr);
    ASSERT_EQ(report.getCategories()->getCount(), 2);
    CCategory* first = report.getCategories()->getAt(0);
    EXPECT_EQ(first->getID(), std::stoi(offices));
    EXPECT_EQ(first->getTitle(), CString(L"Offices"));
    ASSERT_NE(first->getHatch(), nullptr);
    EXPECT_EQ(first->getHatch()->getPattern(), CString(L"ANSI31"));
    EXPECT_EQ(first->getHatch()->getAngle(), 45);
    EXPECT_EQ(first->getHatch()->getScale(), 2);
    EXPECT_EQ(first->getHatch()->getLayer(), CString(L"_Kelmo"));
    EXPECT_EQ(first->getHatch()->getColour().red(), 255);
    EXPECT_EQ(first->getHatch()->getColour().green(), 128);
    EXPECT_EQ(first->getHatch()->getColour().blue(), 0);
    ASSERT_NE(first->getBlocks(), nullptr);
    EXPECT_EQ(first->getBlocks()->getCount(), 1);
    EXPECT_EQ(first->getAssets(), nullptr); // no rows: no list
    CCategory* second = report.getCategories()->getAt(1);
    EXPECT_EQ(second->getHatch(), nullptr);
    EXPECT_EQ(second->getBlocks(), nullptr);

    ASSERT_NE(report.getLayersOn(), nullptr);
    ASSERT_EQ(report.getLayersOn()->getCount(), 2);
    EXPECT_EQ(report.getLayersOn()->getAt(1)->getName(), CString(L"DOORS"));

    // The same two ends in the same direction once; the reverse direction is a line of its own.
    ASSERT_NE(report.getLinkLines(), nullptr);
    ASSERT_EQ(report.getLinkLines()->getCount(), 2);
    EXPECT_EQ(report.getLinkLines()->getAt(0)->getLayer(), CString(L"LINKS"));
    EXPECT_EQ(report.getLinkLines()->getAt(0)->getText(), CString(L"moves to"));
    EXPECT_EQ(report.getLinkLines()->getAt(1)->getStartHandle(), CString(L"B2"));
    EXPECT_EQ(report.getLinkLines()->getAt(1)->getLayer(), CString());
}

TEST_F(Loading, AReportIsClaimedOnlyFromTheStatusItWasListedUnderAndNeverFromAnotherRun) {
    struct Case {
        int inRegister, listed;
        bool claimed;
    };
    const std::vector<Case> cases = {
        {1, 1, true},   // waiting, as listed
        {3, 1, false},  // another run prepared it after this one listed it
        {2, 1, false},  // another run is preparing it
        {9, 9, true},   // a failed report listed again
        {2, 2, true},   // "preparation started" by a run that is gone: taken over
        {7, -1, true},  // loaded on its own: any status but 2
        {2, -1, false}, //
    };
    for (const Case& c : cases) {
        Report row;
        row.status = c.inRegister;
        CGraphicReport report;
        report.setID(add(row));
        report.setListedStatus(c.listed);
        EXPECT_EQ(report.claimGraphicReport(procedure.get(), 10), c.claimed) << c.inRegister << " " << c.listed;
        EXPECT_EQ(statusOf(report.getID()), c.claimed ? 2 : c.inRegister) << c.inRegister << " " << c.listed;
        // A second claim by the same run finds its own claim, and nothing else.
        EXPECT_EQ(report.claimGraphicReport(procedure.get(), 10), c.claimed) << c.inRegister << " " << c.listed;
    }
}

} // namespace
} // namespace batchtest
