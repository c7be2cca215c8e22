// Faults of the register itself, not of any report: a right the batch's role lacks, a register that
// takes no changes. The run stops before it claims a report, says what the register refused and exits
// 1; a plotted layout the register refuses to record is tried again and named as a status is.
#include "RunControlSupport.h"

namespace batchtest {
namespace {

class RegisterFaults : public BatchTest {
protected:
    // A report whose category's blocks are read when it is loaded, and whose plot records the layout
    // it took.
    int addWithCategory() {
        const std::string id = std::to_string(add(Report()));
        pgQuery(database, "INSERT INTO report_category (report_id, title, hatch_pattern, hatch_colour) VALUES (" + id +
                              ", 'Offices', 'SOLID', '#E07020')");
        return std::stoi(id);
    }
};

TEST_F(RegisterFaults, ARightTheRoleLacksOrARegisterThatTakesNoChangesStopsTheRunBeforeAnyClaimSayingWhatWasRefused) {
    BatchRole role("", "");
    role.grantTables(database);
    role.grantTables("ostrel");
    role.named(dir / "prefs.xml");
    const int first = addWithCategory(), second = addWithCategory();
    struct Case {
        std::string what, refuse, allow, line;
    };
    const std::string routines = "ON ROUTINE \"__gr_getCategoryBlocks\", \"__gr_setGraphicReportLayout\"";
    const Case cases[] = {
        {"a procedure the loading calls", "REVOKE EXECUTE ON FUNCTION \"__gr_getCategoryBlocks\" FROM PUBLIC",
         "GRANT EXECUTE " + routines + " TO PUBLIC",
         "The register refused this batch's call of __gr_getCategoryBlocks: permission denied for function "
         "__gr_getCategoryBlocks\n"},
        {"the plotted layout's write-back", "REVOKE EXECUTE ON PROCEDURE \"__gr_setGraphicReportLayout\" FROM PUBLIC",
         "GRANT EXECUTE " + routines + " TO PUBLIC",
         "The register refused this batch's call of __gr_setGraphicReportLayout: permission denied for procedure "
         "__gr_setGraphicReportLayout\n"},
        {"the mark a run puts on its sessions", "REVOKE EXECUTE ON FUNCTION \"__gr_markRunLive\" FROM PUBLIC",
         "GRANT EXECUTE ON FUNCTION \"__gr_markRunLive\" TO PUBLIC",
         "The register refused this batch's call of __gr_markRunLive: permission denied for function "
         "__gr_markRunLive\n"},
        {"a table's privilege", "REVOKE UPDATE ON graphic_report FROM " + role.name(),
         "GRANT UPDATE ON graphic_report TO " + role.name(),
         "The register refused this batch's call of __gr_claimGraphicReport: permission denied for table "
         "graphic_report\n"},
        {"a read-only register", "ALTER DATABASE " + database + " SET default_transaction_read_only = on",
         "ALTER DATABASE " + database + " RESET default_transaction_read_only",
         "The register refused this batch's call of __gr_claimGraphicReport: cannot execute SELECT FOR UPDATE in a "
         "read-only transaction\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A database's own setting is changed from another, where it does not reach.
        pgQuery(c.refuse.rfind("ALTER DATABASE", 0) == 0 ? "postgres" : database, c.refuse);
        const Outcome r = run();
        pgQuery(c.allow.rfind("ALTER DATABASE", 0) == 0 ? "postgres" : database, c.allow);
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.err.find(c.line), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("lacks"), std::string::npos) << r.err;
        // Nothing was claimed, written off or plotted: the reports wait at their status.
        EXPECT_EQ(r.out.find("could not be loaded"), std::string::npos) << r.out;
        EXPECT_EQ(statusOf(first), 1);
        EXPECT_EQ(statusOf(second), 1);
        EXPECT_FALSE(fs::exists(dir / "out" / "report.pdf"));
    }
}

TEST_F(RegisterFaults, APlottedLayoutTheRegisterRefusesIsTriedAgainAndOneThatStaysRefusedIsNamedAndTheRunExitsFour) {
    const int id = addWithCategory();
    const std::string text = std::to_string(id);
    // Recording the plotted layout is refused the first `times` times.
    const RefusedUpdates frozen(database, "frozen_layout", "plot_layout", "", "RAISE EXCEPTION 'layouts are frozen'");
    struct Case {
        int times, exit;
        std::string layout, out, err;
    };
    const Case cases[] = {
        {2, 0, "Model", "", ""},
        {1000, 4, "<null>",
         "Graphic report " + text +
             ": the plotted layout Model could not be recorded in the register: layouts are "
             "frozen\n",
         "kelmobatch: the plotted layout of graphic report(s) " + text +
             " could not be recorded in the register (standard output gives the reason)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.times);
        frozen.refuse(c.times, "UPDATE graphic_report SET status_id = 1, plot_layout = NULL");
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        const Outcome r = run();
        EXPECT_EQ(r.status, c.exit) << r.out << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_EQ(r.err, c.err);
        // The report itself was prepared whole.
        EXPECT_EQ(statusOf(id), 3);
        EXPECT_NE(r.out.find("Graphic report " + text + ": status 3\n"), std::string::npos) << r.out;
        EXPECT_TRUE(fs::exists(dir / "out" / "report.pdf"));
        EXPECT_TRUE(fs::exists(dir / "out" / "report.xml"));
        EXPECT_EQ(pgQuery(database, "SELECT plot_layout FROM graphic_report WHERE id = " + text)[0][0], c.layout);
    }
}

// The operator takes a right away while the run prepares its reports: once the first report's status
// is recorded, the refusal every later call would meet stops the run.
TEST_F(RegisterFaults, ARightTakenAwayMidRunStopsTheRunAndTheReportsNotYetClaimedKeepTheirStatus) {
    BatchRole role("", "");
    role.grantTables(database);
    role.grantTables("ostrel");
    role.named(dir / "prefs.xml");
    int ids[4];
    for (int i = 0; i < 4; ++i) {
        Report report;
        report.outputFilename = "report " + std::to_string(i);
        ids[i] = add(report);
    }
    struct Case {
        std::string what, revoke, grant;
        int second;          // the status the second report is left at
        std::string refusal; // what the run says stopped it
        int report = 0;      // the right is taken once this report (0 the first) reaches this status
        int reaching = 3;
    };
    const Case cases[] = {
        {"the status procedure's EXECUTE", "REVOKE EXECUTE ON PROCEDURE \"__gr_setGraphicReportStatus\" FROM PUBLIC",
         "GRANT EXECUTE ON PROCEDURE \"__gr_setGraphicReportStatus\" TO PUBLIC", 2,
         "__gr_setGraphicReportStatus: permission denied for procedure __gr_setGraphicReportStatus"},
        {"the reports' UPDATE", "REVOKE UPDATE ON graphic_report FROM " + role.name(),
         "GRANT UPDATE ON graphic_report TO " + role.name(), 1,
         "__gr_claimGraphicReport: permission denied for table graphic_report"},
        // The session the second report was claimed on ends while it idles: the new one cannot be marked.
        {"the mark of a new session",
         "REVOKE EXECUTE ON FUNCTION \"__gr_markRunLive\" FROM PUBLIC; PERFORM "
         "set_config('idle_session_timeout', '1', false)",
         "GRANT EXECUTE ON FUNCTION \"__gr_markRunLive\" TO PUBLIC", 2,
         "__gr_setGraphicReportStatus: permission denied for function __gr_markRunLive", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // Run as the server's own role once the report reaches the status.
        pgQuery(database,
                "UPDATE graphic_report SET status_id = 1; CREATE FUNCTION take_right() RETURNS trigger "
                "LANGUAGE plpgsql SECURITY DEFINER AS $$ BEGIN " +
                    c.revoke +
                    "; RETURN NEW; END $$; CREATE TRIGGER take_right AFTER UPDATE OF status_id ON "
                    "graphic_report FOR EACH ROW WHEN (NEW.id = " +
                    std::to_string(ids[c.report]) + " AND NEW.status_id = " + std::to_string(c.reaching) +
                    ") EXECUTE FUNCTION take_right()");
        fs::remove_all(dir / "out");
        fs::create_directories(dir / "out");
        const Outcome r = run();
        pgQuery(database, "DROP TRIGGER take_right ON graphic_report; DROP FUNCTION take_right(); " + c.grant);
        EXPECT_EQ(r.status, 4) << r.out << r.err;
        EXPECT_EQ(statusOf(ids[0]), 3);
        EXPECT_EQ(statusOf(ids[1]), c.second) << r.out;
        EXPECT_EQ(statusOf(ids[2]), 1) << r.out;
        EXPECT_EQ(statusOf(ids[3]), 1) << r.out;
        EXPECT_NE(r.err.find("kelmobatch: the register refused this batch's call of " + c.refusal +
                             " - the batch stopped; graphic report(s) " + std::to_string(ids[2]) + ", " +
                             std::to_string(ids[3]) + " were not claimed and keep their status\n"),
                  std::string::npos)
            << r.err;
        // Nothing of the later reports was opened or written.
        EXPECT_EQ(r.out.find("Graphic report " + std::to_string(ids[2])), std::string::npos) << r.out;
    }
}

TEST_F(BatchTest, AServerNameWithBlanksAroundItInTheServerPreferencesReachesTheServer) {
    const int id = add(Report());
    setSetting(dir / "prefs.xml", "dbDatasource", "  " + pgServer()->host + " ");
    const Outcome r = run();
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(statusOf(id), 3);
}

} // namespace
} // namespace batchtest
