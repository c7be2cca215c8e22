// Stored names and labels, gross areas known by their stored name, units not yet known, spaces on
// locked layers and damaged preferences, through the commands on ezdxf floor plans.
#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

const std::string header = "Code,Area,Units,Perimeter,Units\r\n";

class ReviewPlans : public SpaceCommands {
protected:
    static void SetUpTestSuite() {
        SpaceCommands::SetUpTestSuite();
        const fs::path script =
            fs::path(KELMO_SOURCE_DIR) / "tests" / "module" / "spacecommands" / "make_review_plans.py";
        reviewPlans =
            ezdxf && std::system(("/usr/bin/python3 '" + script.string() + "' '" + plans.string() + "'").c_str()) == 0;
    }
    void SetUp() override {
        SpaceCommands::SetUp();
        if (!IsSkipped() && !reviewPlans) GTEST_SKIP() << "python3-ezdxf cannot write the review plans";
    }
    static std::string field(const Insert& insert, const std::string& key) {
        const size_t at = insert.data.find(key + "=");
        if (at == std::string::npos) return "(none)";
        return insert.data.substr(at, insert.data.find(';', at) - at);
    }
    static inline bool reviewPlans = false;
};

TEST_F(ReviewPlans, NameSyncCopiesTheStoredNameOntoTheLabel) {
    Outcome r = run("plan_names.dxf", "msxta\n\n\n\n\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    auto plan = read("saved.dxf");
    EXPECT_EQ(plan["ROOM-501"].attributes.at("NAME").text, "Open Office");
    EXPECT_EQ(field(plan["ROOM-501"], "NAME"), "NAME=Open Office");
    // The gross area's label takes its stored name, which stays.
    EXPECT_EQ(plan["ROOM-502"].attributes.at("NAME").text, "GROSS AREA");
    EXPECT_EQ(field(plan["ROOM-502"], "NAME"), "NAME=GROSS AREA");
    // Without recalculation the stored values and their labels keep their numbers.
    EXPECT_EQ(plan["ROOM-501"].attributes.at("AREA").text, "64.00sq.m.");
    EXPECT_EQ(field(plan["ROOM-501"], "AREA"), "AREA=64.00sq.m.");
}

TEST_F(ReviewPlans, AGrossAreaKnownByItsStoredNameStaysOutOfTheRoomsAfterAWriteBack) {
    Outcome r = run("plan_names.dxf", "mus\nmcsv\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    auto plan = read("saved.dxf");
    EXPECT_EQ(plan["ROOM-502"].attributes.at("NAME").text, "Floor 1");
    EXPECT_EQ(field(plan["ROOM-502"], "NAME"), "NAME=GROSS AREA");
    // The lower-case "Room-" definition in feet is neither listed nor relabels the total; names that
    // begin like formulas are kept as text.
    EXPECT_EQ(slurp(dir / "plan_names.csv"), header +
                                                 "typo label,64.00,m\xB2,32.00,m\r\n"
                                                 "'=1+2,4.00,m\xB2,8.00,m\r\n"
                                                 "\"'@risk, north\",9.00,m\xB2,12.00,m\r\n"
                                                 "Plant,16.00,m\xB2,16.00,m\r\n"
                                                 "'-1 store,1.00,m\xB2,4.00,m\r\n"
                                                 "'+44 line,1.00,m\xB2,4.00,m\r\n"
                                                 "Total,95.00,m\xB2,76.00,m\r\n"
                                                 "\r\n\r\n"
                                                 "Floor 1,400.00,m\xB2,80.00,m\r\n");
}

TEST_F(ReviewPlans, CsvKeepsAFormulaAfterATabAsTextAndNamesTheRoomsItsCodePageCannotHold) {
    Outcome r = run("plan_cells.dxf", "mcsv\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(slurp(dir / "plan_cells.csv"), header +
                                                 "'\t=2+2,1.00,m\xB2,4.00,m\r\n"
                                                 "Caf\xE9,1.00,m\xB2,4.00,m\r\n"
                                                 "?\xF3"
                                                 "d?,1.00,m\xB2,4.00,m\r\n"
                                                 "Room ?,1.00,m\xB2,4.00,m\r\n"
                                                 "Total,4.00,m\xB2,16.00,m\r\n\r\n\r\n");
    const std::string lost =
        "the CSV file's code page cannot hold every character of the name, so those are "
        "written as \"?\"\n";
    EXPECT_EQ(cadhost_run::count(r.out, lost), 2u) << r.out;
    EXPECT_TRUE(has(r,
                    "\tSpace \xC5\x81\xC3\xB3"
                    "d\xC5\xBA (handle "))
        << r.out;
    EXPECT_TRUE(has(r, "\tSpace Room \xE2\x98\x83 (handle ")) << r.out;
    EXPECT_TRUE(has(r, "csv data successfully saved")) << r.out;
}

TEST_F(ReviewPlans, ListingShowsTheStoredNameWhereTheLabelDiffers) {
    Outcome r = run("plan_names.dxf", "mlb\n\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r,
                    "ID,Name,Area,Handle(hex),Handle(dec),Assets\n"
                    "ROOM-501,Open Office,64.00,6F,111,0\n"
                    "ROOM-502,GROSS AREA,400.00,74,116,0\n"))
        << r.out;
}

TEST_F(ReviewPlans, ASpaceOnALockedLayerIsSkippedWithOneLineAndTheScriptGoesOn) {
    Outcome r = run("plan_names.dxf", "mus\nmut\n100\ni\ni\nmcsv\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    const std::string line = "\nSpace Plant not updated: it lies on the locked layer WALLS\n";
    const size_t first = r.out.find(line);
    ASSERT_NE(first, std::string::npos) << r.out;
    EXPECT_NE(r.out.find(line, first + 1), std::string::npos) << "once for each command";
    EXPECT_EQ(r.out.find("Error Detected"), std::string::npos) << r.out;
    EXPECT_TRUE(has(r, "csv data successfully saved")) << r.out;
    auto plan = read("saved.dxf");
    EXPECT_EQ(plan["ROOM-506"].attributes.at("AREA").placement, "@1000.0,10000.0 h250.0 w1.00 r0.0");
    EXPECT_NE(plan["ROOM-501"].attributes.at("AREA").placement.find(" h100.0 "), std::string::npos);
}

TEST_F(ReviewPlans, SyncWithoutRecalculationTwiceKeepsTheStoredValues) {
    // Under metric and then imperial preferences: the labels follow the preference units, the data stays.
    fs::create_directories(dir / "out");
    Outcome metric = run("plan_units.dxf", "msxta\n\n\nyes\n\nSAVEAS out/first.dxf\n");
    ASSERT_EQ(metric.status, 0) << metric.err;
    auto first = read("out/first.dxf");
    EXPECT_EQ(first["ROOM-601"].attributes.at("AREA").text, "114.64sq.m.");
    EXPECT_EQ(first["ROOM-601"].attributes.at("AUX").text, "45.72m.");
    // Stored without decimals, they are written back without decimals.
    EXPECT_EQ(field(first["ROOM-601"], "AREA"), "AREA=1234sq.ft.");
    // An area stored without a unit takes the preference units as it stands.
    EXPECT_EQ(first["ROOM-603"].attributes.at("AREA").text, "12.50sq.m.");
    EXPECT_EQ(field(first["ROOM-603"], "AREA"), "AREA=12.5sq.m.");

    writePrefs({{"units", "1"}});
    std::ofstream(dir / "again.scr") << "msxta\n\n\nyes\n\nSAVE\n";
    Outcome imperial = runFile(dir / "out" / "first.dxf", dir / "again.scr");
    ASSERT_EQ(imperial.status, 0) << imperial.err;
    auto second = read("first.dxf");
    EXPECT_EQ(second["ROOM-601"].attributes.at("AREA").text, "1234.00sq.ft.");
    EXPECT_EQ(field(second["ROOM-601"], "AREA"), "AREA=1234sq.ft.");
    EXPECT_EQ(field(second["ROOM-601"], "PERIMETER"), "PERIMETER=150ft.");
    EXPECT_EQ(second["ROOM-603"].attributes.at("AREA").text, "134.55sq.ft.");
    EXPECT_EQ(field(second["ROOM-603"], "AREA"), "AREA=12.5sq.m.");
}

TEST_F(ReviewPlans, UnknownUnitsAreListedInThePreferenceUnits) {
    for (const char* units : {"0", "1"}) {
        writePrefs({{"units", units}});
        Outcome r = run("plan_units.dxf", "mcsv\n");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string area = units[0] == '1' ? "ft\xB2" : "m\xB2";
        const std::string length = units[0] == '1' ? "ft" : "m";
        EXPECT_EQ(slurp(dir / "plan_units.csv"),
                  header + "Hall,1234.00,ft\xB2,150.00,ft\r\n" + "Bare,0.00," + area + ",0.00," + length + "\r\n" +
                      "Loose,12.50," + area + ",14.00," + length + "\r\n" + "Total," +
                      (units[0] == '1' ? "1246.50,ft\xB2,164.00,ft" : "127.14,m\xB2,59.72,m") + "\r\n\r\n\r\n")
            << units;
    }
}

TEST_F(ReviewPlans, ADamagedPreferencesFileGivesUsableDefaults) {
    writePrefs({{"units", "99"}, {"precison", "1000"}, {"textSize", "nan"}});
    Outcome r = run("plan_units.dxf", "mut\n\ni\ni\nmus\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "Enter new Text Size or (i)gnore <250.00>:")) << r.out;
    EXPECT_TRUE(has(r, "Command: mus")) << r.out;
    auto plan = read("saved.dxf");
    // Metric at two decimals: the bare 10 m square is measured as 100 square metres.
    EXPECT_EQ(field(plan["ROOM-602"], "AREA"), "AREA=100.00sq.m.");
    // The label showed the stored area as written, without decimals, and follows it.
    EXPECT_EQ(plan["ROOM-601"].attributes.at("AREA").text, "100.00sq.m.");
    EXPECT_EQ(field(plan["ROOM-601"], "AREA"), "AREA=100.00sq.m.");
}

} // namespace
} // namespace spacecommands
