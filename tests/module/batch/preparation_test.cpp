// Preparing reports in this process: a report that fails after its drawing opened leaves no drawing open
// or locked, has its failure recorded, and the batch goes on.
#include "BatchTestSupport.h"
#include "cad/app/ApDocument.h"
#include "core/KelmoExceptions.h"
#include "reports/GraphicReport.h"
#include "reports/GraphicReports.h"
#include "support/HostFixture.h"

namespace batchtest {
namespace {

using Preparing = InProcess;

TEST_F(Preparing, AFailureAfterTheDrawingOpenedClosesItRecordsTheFailureAndTheBatchGoesOn) {
    kelmo_test::TestHost host;
    const int documents = acDocManager->documentCount();
    const AcAp::DocLockMode hostLock = host.document()->lockMode();
    // The register refuses the final status of a prepared report: the failure comes after the plot.
    pgQuery(database, R"sql(
        CREATE OR REPLACE PROCEDURE "__gr_setGraphicReportStatus"("graphicReportID" integer, "statusID" integer)
        LANGUAGE plpgsql AS $$
        BEGIN
            IF "statusID" = 3 THEN RAISE EXCEPTION 'the register is read-only'; END IF;
            UPDATE graphic_report SET status_id = "statusID" WHERE id = "graphicReportID";
        END $$;)sql");
    Report one;
    one.outputFilename = "one";
    const int first = add(one);
    Report two;
    two.outputFilename = "two";
    const int second = add(two);
    Report missing;
    missing.drawingFilename = "nowhere.dxf";
    const int third = add(missing);

    CGraphicReports reports;
    reports.getGraphicReports(procedure.get(), prefs.getAt(0), 1, 10);
    ASSERT_EQ(reports.getCount(), 3);
    reports.prepareReports(procedure.get(), 10);

    EXPECT_EQ(statusOf(first), 14);
    EXPECT_EQ(statusOf(second), 14);
    EXPECT_EQ(statusOf(third), 4);
    EXPECT_GT(fs::file_size(dir / "out" / "two.pdf"), 0u);
    // Both drawings were closed again and nothing is left locked.
    EXPECT_EQ(acDocManager->documentCount(), documents);
    EXPECT_EQ(host.document()->lockMode(), hostLock);
    EXPECT_NE(host.commandLine().find(L"An error has been detected please consult the error log"), std::wstring::npos);

    // Prepared on its own, the report's failure reaches the caller, recorded and cleaned up all the same.
    pgQuery(database, "UPDATE graphic_report SET status_id = 1 WHERE id = " + std::to_string(first));
    CGraphicReport* report = reports.getAt(0);
    CString method;
    try {
        report->prepareReport(procedure.get(), 10);
    } catch (CEXKelmo* failure) {
        method = failure->getProcSig();
        failure->deleteException();
    }
    EXPECT_EQ(method, CString(L"CGraphicReport::prepareReport"));
    EXPECT_EQ(statusOf(first), 14);
    EXPECT_EQ(acDocManager->documentCount(), documents);
}

} // namespace
} // namespace batchtest
