// "mcsv", "mlb" and "msc_dsd" on ezdxf floor plans.
#include <chrono>
#include <thread>

#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

const std::string header = "Code,Area,Units,Perimeter,Units\r\n";

TEST_F(SpaceCommands, CsvListsTheRoomsByHandleThenTheTotalThenTheGrossAreas) {
    Outcome r = run("plan_mm.dxf", "mcsv\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "Command: mcsv\nKelmo Block Details 64.04.00.01\ncsv data successfully saved to file (" +
                           windowsPath("plan_mm.csv") + ")\n"))
        << r.out;
    // The store's handle has three hexadecimal digits and comes last; its name is quoted.
    EXPECT_EQ(slurp(dir / "plan_mm.csv"), header +
                                              "Office 101,50.00,m\xB2,30.00,m\r\n"
                                              "Kitchen,20.00,m\xB2,24.00,m\r\n"
                                              "Bay room,15.53,m\xB2,15.71,m\r\n"
                                              "\"Store, \"\"north\"\"\",4.00,m\xB2,8.00,m\r\n"
                                              "Total,89.53,m\xB2,77.71,m\r\n"
                                              "\r\n\r\n"
                                              "Floor 1,600.00,m\xB2,100.00,m\r\n");
}

TEST_F(SpaceCommands, CsvValuesFollowThePrecisionTheDrawingsUnitsAndThePreferenceUnitsOfTheTotal) {
    const std::string mixed = header + "Hall,100.00,m\xB2,40.00,m\r\nAnnex,100.00,ft\xB2,40.00,ft\r\n";
    const struct Case {
        const char* what;
        const char* plan;
        std::map<std::string, std::string> prefs;
        const char* script;
        std::string csv;
    } cases[] = {
        {"after an update, at the preference precision",
         "plan_mm.dxf",
         {{"precison", "1"}},
         "mus\nmcsv\n",
         header + "Office 101,49.8,m\xB2,32.0,m\r\n"
                  "Kitchen,27.0,m\xB2,24.0,m\r\n"
                  "Bay room,15.5,m\xB2,15.7,m\r\n"
                  "\"Store, \"\"north\"\"\",4.0,m\xB2,8.0,m\r\n"
                  "Total,96.3,m\xB2,79.7,m\r\n"
                  "\r\n\r\n"
                  "Floor 1,600.0,m\xB2,100.0,m\r\n"},
        {"an imperial drawing in feet",
         "plan_in.dxf",
         {},
         "mcsv\n",
         header + "Studio,290.00,ft\xB2,70.00,ft\r\n"
                  "Den,100.00,ft\xB2,40.00,ft\r\n"
                  "Total,390.00,ft\xB2,110.00,ft\r\n\r\n\r\n"},
        // 100 sq.ft. is 9.29 m2 and 40 ft is 12.19 m.
        {"mixed units totalled in metres",
         "plan_mixed.dxf",
         {},
         "mcsv\n",
         mixed + "Total,109.29,m\xB2,52.19,m\r\n\r\n\r\n"},
        {"mixed units totalled in feet",
         "plan_mixed.dxf",
         {{"units", "1"}},
         "mcsv\n",
         mixed + "Total,1176.39,ft\xB2,171.23,ft\r\n\r\n\r\n"},
        // The gross area is not summed, so its feet must not relabel a total of square metres.
        {"a gross area in feet after rooms in metres",
         "plan_gross_ft.dxf",
         {},
         "mcsv\n",
         header + "Hall,100.00,m\xB2,40.00,m\r\n"
                  "Total,100.00,m\xB2,40.00,m\r\n"
                  "\r\n\r\n"
                  "Floor 4,6458.35,ft\xB2,328.08,ft\r\n"},
    };
    for (const Case& c : cases) {
        writePrefs(c.prefs);
        Outcome r = run(c.plan, c.script);
        ASSERT_EQ(r.status, 0) << c.what << "\n" << r.err;
        const std::string csv = fs::path(c.plan).replace_extension(".csv").string();
        EXPECT_EQ(slurp(dir / csv), c.csv) << c.what;
    }
}

TEST_F(SpaceCommands, ADrawingWithoutSpacesGivesTitlesHeadersAndAnEmptyTotal) {
    Outcome r = run("plan_empty.dxf", "mus\nmlb\n\n\nmcsv\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "Command: mus\nKelmo Update Spaces 64.04.00.01\n\nCommand: mlb")) << r.out;
    EXPECT_TRUE(has(r, " 0\n\n\nID,Name,Area,Handle(hex),Handle(dec),Assets\n\nCommand: mcsv")) << r.out;
    EXPECT_EQ(slurp(dir / "plan_empty.csv"), header + "Total,0.00,,0.00,\r\n\r\n\r\n");
}

TEST_F(SpaceCommands, CsvThatCannotBeCreatedIsReported) {
    fs::create_directories(dir / "plan_mm.csv");
    Outcome r = run("plan_mm.dxf", "mcsv\n");
    EXPECT_EQ(r.status, 1) << "a refused write fails the command\n" << r.err;
    EXPECT_TRUE(has(r, "Kelmo Block Details 64.04.00.01\nUnable to save csv data to file (" +
                           windowsPath("plan_mm.csv") + ") - it is a folder\n"))
        << r.out;
    EXPECT_FALSE(has(r, "successfully")) << r.out;
    EXPECT_TRUE(fs::is_directory(dir / "plan_mm.csv"));
}

class CsvOpener : public SpaceCommands {
protected:
    void SetUp() override {
        SpaceCommands::SetUp();
        if (IsSkipped()) return;
        const fs::path script = dir / "open.sh";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << (dir / "opened.txt").string() << "'\n";
        fs::permissions(script, fs::perms::owner_all);
    }
    // The opener runs on its own; give it a moment to leave its mark.
    std::string opened() const {
        for (int i = 0; i < 100 && !fs::exists(dir / "opened.txt"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return slurp(dir / "opened.txt");
    }
};

TEST_F(CsvOpener, TheOpenerFromThePreferencesGetsTheFile) {
    writePrefs({{"csvOpener", windowsPath("open.sh")}});
    Outcome r = run("plan_mm.dxf", "mcsv\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(opened(), (dir / "plan_mm.csv").string());
}

TEST_F(CsvOpener, AnOpenerThatCannotBeStartedIsNamedWithTheReason) {
    writePrefs({{"csvOpener", windowsPath("missing.sh")}});
    Outcome r = run("plan_mm.dxf", "mcsv\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "csv data successfully saved to file (" + windowsPath("plan_mm.csv") +
                           ")\nThe csv file cannot be opened with " + windowsPath("missing.sh") +
                           " - The system cannot find the file specified.\n"))
        << r.out;
}

TEST_F(CsvOpener, AnEmptyOpenerIsAskedForAndUsedForThisRunOnly) {
    writePrefs({{"csvOpener", ""}});
    Outcome r = run("plan_mm.dxf", "mcsv\n\n" + windowsPath("open.sh") + "\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string prompt = "\nPlease enter the path of the application you wish to open csv files with\n:";
    const size_t first = r.out.find(prompt);
    ASSERT_NE(first, std::string::npos) << r.out;
    EXPECT_NE(r.out.find(prompt, first + 1), std::string::npos) << "an empty answer asks again";
    EXPECT_EQ(opened(), (dir / "plan_mm.csv").string());
    EXPECT_NE(slurp(dir / "c" / "CadHost" / "kelmo" / "prefs" / "prefs.cfg").find("csvOpener\r\n\r\n"),
              std::string::npos);
}

TEST_F(CsvOpener, AnEmptyOpenerAndTheEndOfTheScriptEndTheCommand) {
    writePrefs({{"csvOpener", ""}});
    Outcome r = run("plan_mm.dxf", "mcsv\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "csv data successfully saved")) << r.out;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(fs::exists(dir / "opened.txt"));
}

TEST_F(SpaceCommands, ListingGivesEverySpaceWithTheAssetsInsideOrAcrossIt) {
    Outcome r = run("plan_mm.dxf", "mlb\n\nyes\n");
    ASSERT_EQ(r.status, 0) << r.err;
    // The desk on the wall between 101 and 102 belongs to both; the one in no room to none.
    EXPECT_TRUE(has(r,
                    "\n\n\nID,Name,Area,Handle(hex),Handle(dec),Assets\n"
                    "ROOM-GROSS_AREA,GROSS AREA,600.00,5A,90,0\n"
                    "ROOM-101,Office 101,50.00,5F,95,3\n"
                    ",,,,,,DESK,143,323,2\n"
                    ",,,,,,DESK,13F,319,2\n"
                    ",,,,,,DESK,13B,315,2\n"
                    "ROOM-102,Kitchen,20.00,64,100,1\n"
                    ",,,,,,DESK,143,323,2\n"
                    "ROOM-103,Bay room,15.53,69,105,0\n"
                    "ROOM-104,Store,4.00,136,310,0\n\nCommand:"))
        << r.out;
}

TEST_F(SpaceCommands, ListingInDescendingOrderWithoutAssets) {
    Outcome r = run("plan_mm.dxf", "mlb\nno\n\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r,
                    "ID,Name,Area,Handle(hex),Handle(dec),Assets\n"
                    "ROOM-104,Store,4.00,136,310,0\n"
                    "ROOM-103,Bay room,15.53,69,105,0\n"
                    "ROOM-102,Kitchen,20.00,64,100,1\n"
                    "ROOM-101,Office 101,50.00,5F,95,3\n"
                    "ROOM-GROSS_AREA,GROSS AREA,600.00,5A,90,0\n\nCommand:"))
        << r.out;
}

// A handle past 32 bits shows its whole value, the number the listing is sorted by.
TEST_F(SpaceCommands, ListingShowsAHandlePast32BitsWholeInTheOrderItSortsBy) {
    const std::string small = "ROOM-501,Small,20.00,44,68,0\n";
    const std::string large = "ROOM-502,Large,20.00,1FFFFFFF0,8589934576,1\n,,,,,,DESK,1FFFFFFF5,8589934581,0\n";
    const struct Case {
        const char* answers;
        std::string rows;
    } cases[] = {{"\nyes\n", small + large}, {"no\nyes\n", large + small}};
    for (const Case& c : cases) {
        Outcome r = run("plan_big_handles.dxf", std::string("mlb\n") + c.answers);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_TRUE(has(r, "ID,Name,Area,Handle(hex),Handle(dec),Assets\n" + c.rows + "\nCommand:")) << r.out;
    }
}

TEST_F(SpaceCommands, DetailsOfAPickedSpace) {
    Outcome r = run("plan_mm.dxf", "msc_dsd\n#64\nmsc_dsd\n#13B\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r,
                    "#64\n\nBlock Identifier ROOM-102\nHandle\t\t\t 64\nAttributes\n"
                    "\tName 'Kitchen'\n\tArea 'Kitchen area'\n\t Aux '24.0m.'\n\nXDATA\n"
                    "\t Area           20.000000\n\t Perimeter      24.000000\n"
                    "\t Tag Type       Office\n\t Area Type      NIA\n\t Cost Centre    CC-7\n"
                    "\t Date           2024-01-02\n\t Date Last Move <Not Set>\n\t Dept Charge    Finance\n"
                    "\t Room Height    2.700000\n\t Special Req    <Not Set>\n\t Tot Staff      4\n"
                    "\t Tot Wk Stns    5\n\t Vloume         135.000000\n\n\n\nCommand: msc_dsd"))
        << r.out;
    // A desk is no space: nothing after the pick.
    EXPECT_TRUE(has(r, "#13B\n\nCommand:")) << r.out;
}

TEST_F(SpaceCommands, TheDemoScriptUpdatesExportsSavesAndPlotsTheSampleFloorPlan) {
    fs::create_directories(dir / "out");
    const fs::path samples = fs::path(KELMO_SOURCE_DIR) / "samples";
    fs::copy_file(samples / "floorplan_report.xml", dir / "floorplan_report.xml");
    Outcome r = runFile(samples / "floorplan.dxf", samples / "demo.scr");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(slurp(dir / "out" / "floorplan.csv"), header +
                                                        "Open Office,91.88,m\xB2,40.80,m\r\n"
                                                        "Meeting Room,68.44,m\xB2,35.20,m\r\n"
                                                        "Office 1,33.64,m\xB2,23.20,m\r\n"
                                                        "Office 2,33.64,m\xB2,23.20,m\r\n"
                                                        "Total,227.60,m\xB2,122.40,m\r\n"
                                                        "\r\n\r\n"
                                                        "GROSS AREA,240.00,m\xB2,64.00,m\r\n");
    auto plan = read("out/floorplan.dxf");
    EXPECT_EQ(plan["ROOM-001"].attributes.at("AREA").text, "91.88sq.m.");
    EXPECT_EQ(plan["ROOM-002"].attributes.at("AUX").text, "35.20m.");
    EXPECT_GT(fs::file_size(dir / "out" / "floorplan.png"), 1000u);
    EXPECT_TRUE(has(r, "graphic report successfully applied.\n")) << r.out;
    EXPECT_GT(fs::file_size(dir / "out" / "floorplan_report.png"), 1000u);
}

} // namespace
} // namespace spacecommands
