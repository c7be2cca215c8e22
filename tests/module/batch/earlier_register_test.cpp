// A register made by an earlier sql/vxr.sql, as an operator upgrading the batch may still have, or
// half brought up to date: the batch stops before claiming any report and says what the register lacks.
#include "BatchTestSupport.h"

using namespace batchtest;

namespace {

// The register as sql/vxr.sql made it before runs read every report's targets, knew their claims by
// name or read every drawing.
const char* kNoTargetsFunction = R"(DROP FUNCTION "__gr_getGraphicReportTargets"())";
// Brought up to date by hand with the run marks only: the targets function is still the earlier one,
// without the reports' statuses and run marks.
const char* kEarlierTargetsFunction = R"(
DROP FUNCTION "__gr_getGraphicReportTargets"();
CREATE FUNCTION "__gr_getGraphicReportTargets"()
RETURNS TABLE ("grID" integer, "grTitle" varchar, "grDrawingPath" varchar, "grDrawingFilename" varchar,
               "grPlotLayout" varchar, "grPlotTypeID" integer, "grPlotAreaTypeID" integer,
               "grPlotMediaSizeID" integer, "grPlotScaleTypeID" integer, "grPlotCentred" integer,
               "grOutputPath" varchar, "grOutputFilename" varchar, "grSaveCopyTo" varchar,
               "grXMLOutputTo" varchar, "grTotalChildAreas" double precision)
LANGUAGE sql STABLE AS $$
    SELECT r.id, r.title, r.drawing_path, r.drawing_filename, r.plot_layout, r.plot_type_id,
           r.plot_area_type_id, r.plot_media_size_id, r.plot_scale_type_id, r.plot_centred,
           r.output_path, r.output_filename, r.save_copy_to, r.xml_output_to, r.total_child_areas
      FROM graphic_report r ORDER BY r.id;
$$)";
const char* kNoRunMark = R"(DROP FUNCTION "__gr_markRunLive")";
const char* kNoDrawingsFunction = R"(DROP FUNCTION "__gr_getGraphicReportDrawings"())";
const char* kClaimWithoutRunID = R"(
DROP PROCEDURE "__gr_claimGraphicReport";
ALTER TABLE graphic_report DROP COLUMN claimed_by;
CREATE PROCEDURE "__gr_claimGraphicReport"("graphicReportID" integer, "statusID" integer,
                                           OUT "claimed" boolean, OUT "takenOver" boolean)
LANGUAGE plpgsql AS $$
BEGIN
    "claimed" := false;
    "takenOver" := false;
    IF pg_try_advisory_lock(gr_claim_key(), "graphicReportID") THEN
        UPDATE graphic_report SET status_id = 2 WHERE id = "graphicReportID" AND status_id = "statusID";
        "claimed" := FOUND;
    END IF;
END;
$$)";

} // namespace

TEST_F(BatchTest, ARegisterMadeBeforeTheBatchsCallsStopsTheRunBeforeAnyReportNamingWhatItLacks) {
    Report second;
    second.outputFilename = "second";
    const int firstID = add(Report()), secondID = add(second);
    // Each row takes the register a step further back; a run that stops changes nothing in it.
    struct Case {
        const char* what;
        const char* change;
        const char* reason; // the register's own, which the line gives
    };
    const Case cases[] = {
        // Once every report ever finished blocked its files for good, and the line's advice failed.
        {"given the run marks by hand, the targets function left as it was", kEarlierTargetsFunction,
         "__gr_getGraphicReportTargets gives no grStatusID or grRunLive"},
        {"given claims by name but not the targets function", kNoTargetsFunction, "__gr_getGraphicReportTargets"},
        {"given claims by name but no mark of a run's sessions", kNoRunMark, "function __gr_markRunLive"},
        {"given the drawings function only", kClaimWithoutRunID, "has no parameter named '@runID'"},
        {"made by the earlier sql/vxr.sql", kNoDrawingsFunction, "__gr_getGraphicReportDrawings"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        pgQuery(database, c.change);
        const Outcome r = run();
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.err.find("The register lacks what this batch calls ("), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        // The server's reason in one line, without its hint or the statement's position.
        EXPECT_EQ(r.err.find("\nLINE "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("from sql/vxr.sql"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("is dropped first: DROP FUNCTION \"__gr_getGraphicReportTargets\"()"), std::string::npos)
            << r.err;
        // Nothing was claimed or prepared: the reports wait at their status for the register brought up to date.
        EXPECT_EQ(r.out.find("applying graphic report"), std::string::npos) << r.out;
        EXPECT_EQ(statusOf(firstID), 1);
        EXPECT_EQ(statusOf(secondID), 1);
        EXPECT_FALSE(fs::exists(dir / "out" / "report.pdf"));
    }
}
