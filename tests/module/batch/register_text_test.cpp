// A register in SQL_ASCII that another program wrote Latin-1 text into: the row that holds it fails its
// own report, named with the column and the bytes, and every other report is prepared.
#include "BatchTestSupport.h"

using namespace batchtest;

namespace {

class SqlAsciiRegister : public BatchTest {
protected:
    void SetUp() override {
        BatchTest::SetUp();
        if (IsSkipped()) return;
        pgQuery("postgres", "DROP DATABASE " + database + " WITH (FORCE)");
        pgQuery("postgres",
                "CREATE DATABASE " + database + " ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0");
        pgQuery(database, slurp(fs::path(KELMO_SOURCE_DIR) / "sql" / "vxr.sql"));
    }
    // Sets a column of the report to the bytes of an escape string ("Caf\xE9"), as a Latin-1 program does.
    void setBytes(int id, const std::string& column, const std::string& escaped) const {
        pgQuery(database,
                "UPDATE graphic_report SET " + column + " = E'" + escaped + "' WHERE id = " + std::to_string(id));
    }
};

TEST_F(SqlAsciiRegister, ARowOfLatin1TextFailsItsOwnReportNamingTheColumnAndTheOthersArePrepared) {
    const struct {
        const char* what;
        int status; // of the report whose row holds the bytes
        const char* column;
        const char* escaped;
        std::string line; // what the run says of it
    } cases[] = {
        {"a waiting report's title", 1, "title", "Caf\\xE9",
         ": The text in column grTitle is not UTF-8: \"Caf\\xE9\"\n"},
        {"a waiting report's drawing", 1, "drawing_filename", "B\\xFCro.dxf",
         ": The text in column grDrawingFilename is not UTF-8: \"B\\xFCro.dxf\"\n"},
        {"a finished report's drawing", 3, "drawing_filename", "B\\xFCro.dxf",
         ": the register holds text that is not UTF-8 (The text in column grDrawingFilename is not UTF-8: "
         "\"B\\xFCro.dxf\") - its drawing and outputs are not known to this run\n"},
        // What is UTF-8 beside the bytes is shown as it is.
        {"a waiting report's output", 1, "output_filename", "r\\xC3\\xA9sum\\xE9",
         ": The text in column grOutputFilename is not UTF-8: \"r\xC3\xA9sum\\xE9\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        pgQuery(database, "DELETE FROM graphic_report");
        Report latin;
        latin.status = c.status;
        latin.outputFilename = "latin";
        const int latinID = add(latin);
        setBytes(latinID, c.column, c.escaped);
        Report fine;
        fine.outputFilename = "fine";
        const int fineID = add(fine);
        fs::remove(dir / "out" / "fine.pdf");

        const Outcome r = run();
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.err.find("The register lacks"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find("Graphic report " + std::to_string(latinID) + c.line), std::string::npos) << r.out;
        EXPECT_EQ(statusOf(latinID), c.status == 1 ? 14 : c.status);
        EXPECT_EQ(statusOf(fineID), 3);
        EXPECT_TRUE(fs::exists(dir / "out" / "fine.pdf"));
    }
}

} // namespace
