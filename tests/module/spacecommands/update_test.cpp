// "mus", "mut", "mrt" and "msxta" on ezdxf floor plans, the saved drawings read back by ezdxf.
#include <cstring>

#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

TEST_F(SpaceCommands, UpdateSpacesRewritesOnlyTheLabelsThatShowedTheStoredValues) {
    Outcome r = run("plan_mm.dxf", "mus\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "Command: mus\nKelmo Update Spaces 64.04.00.01\n\nCommand: SAVEAS")) << r.out;
    auto plan = read("saved.dxf");

    // The column is taken off the area; its sides lengthen the perimeter.
    const Insert& office = plan["ROOM-101"];
    EXPECT_EQ(office.attributes.at("AREA").text, "49.75sq.m.");
    EXPECT_EQ(office.attributes.at("AUX").text, "32.00m.");
    EXPECT_EQ(office.attributes.at("NAME").text, "Office 101");
    EXPECT_NE(office.data.find("AREA=49.75sq.m.;PERIMETER=32.00m.;NAME=Office 101;"), std::string::npos) << office.data;
    EXPECT_NE(office.data.find(";HANDLESTOMINUS=59,;HANDLESTOADD="), std::string::npos) << office.data;

    // An L shape: a word in the AREA label stays; "24.0m." was the stored perimeter at one decimal.
    const Insert& kitchen = plan["ROOM-102"];
    EXPECT_EQ(kitchen.attributes.at("AREA").text, "Kitchen area");
    EXPECT_EQ(kitchen.attributes.at("AUX").text, "24.00m.");
    EXPECT_NE(kitchen.data.find("AREA=27.00sq.m.;PERIMETER=24.00m.;"), std::string::npos) << kitchen.data;

    // A semicircular bay: 12 m2 and half a circle of 1.5 m radius. Other roundings are not links.
    const Insert& bay = plan["ROOM-103"];
    EXPECT_EQ(bay.attributes.at("AREA").text, "15.5sq.m.");
    EXPECT_EQ(bay.attributes.at("AUX").text, "note");
    EXPECT_NE(bay.data.find("AREA=15.53sq.m.;PERIMETER=15.71m.;"), std::string::npos) << bay.data;

    EXPECT_NE(plan["ROOM-GROSS_AREA"].data.find("AREA=600.00sq.m.;PERIMETER=100.00m.;"), std::string::npos);
    // Assets are not written by the update.
    EXPECT_EQ(plan["13B"].attributes.at("ASSET_NO").text, "A-1");
}

TEST_F(SpaceCommands, UpdateSpacesUnderImperialPreferencesConvertsEverySpace) {
    writePrefs({{"units", "1"}});
    Outcome r = run("plan_mm.dxf", "mus\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    auto plan = read("saved.dxf");
    const Insert& office = plan["ROOM-101"];
    EXPECT_EQ(office.attributes.at("AREA").text, "535.50sq.ft.");
    EXPECT_EQ(office.attributes.at("AUX").text, "104.99ft.");
    EXPECT_NE(office.data.find("AREA=535.50sq.ft.;PERIMETER=104.99ft.;"), std::string::npos) << office.data;
}

TEST_F(SpaceCommands, UpdateSpacesMeasuresAnInchDrawingInFeet) {
    writePrefs({{"units", "1"}, {"precison", "1"}});
    Outcome r = run("plan_in.dxf", "mus\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    auto plan = read("saved.dxf");
    // 240 in x 180 in is 300 sq.ft.; the label showed the stored 290.00 and follows at one decimal.
    EXPECT_EQ(plan["ROOM-201"].attributes.at("AREA").text, "300.0sq.ft.");
    EXPECT_EQ(plan["ROOM-201"].attributes.at("AUX").text, "70.0ft.");
    EXPECT_NE(plan["ROOM-201"].data.find("AREA=300.0sq.ft.;PERIMETER=70.0ft.;"), std::string::npos);
    EXPECT_EQ(plan["ROOM-202"].attributes.at("AREA").text, "100.0sq.ft.");
}

TEST_F(SpaceCommands, UpdateTextAsksAgainUntilAValueIsTakenAndThenResizesEveryLabel) {
    Outcome r = run("plan_mm.dxf", "mut\n2,5\n1,000\nabc\nI\n0\n300\ni\n-45\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err; // each value refused is a line not applied
    const std::string asked = "\nEnter new Text Size or (i)gnore <250.00>:";
    const std::string invalid = "\nInvalid Input. Enter new Text Siz or (i)gnore <250.00>:";
    const std::string notPositive =
        "\nText Size must be greater than 0 and no more than 1000000\nEnter new Text Size or (i)gnore <250.00>:";
    size_t at = r.out.find("Kelmo Update Text Size 64.04.00.01\n");
    ASSERT_NE(at, std::string::npos) << r.out;
    // "2,5" and "1,000" are not numbers here, nor is a capital I.
    for (const std::string& prompt : {asked, invalid, invalid, invalid, invalid, notPositive}) {
        at = r.out.find(prompt, at);
        ASSERT_NE(at, std::string::npos) << prompt << "\n" << r.out;
        at += prompt.size();
    }
    EXPECT_NE(r.out.find("\nEnter new Text Scale or (i)gnore <1.00>:", at), std::string::npos);
    EXPECT_NE(r.out.find("\nEnter new Text Rotation or (i)gnore <0.00>:", at), std::string::npos);

    auto plan = read("saved.dxf");
    for (const char* room : {"ROOM-101", "ROOM-102", "ROOM-GROSS_AREA"}) {
        SCOPED_TRACE(room);
        for (const auto& [tag, attribute] : plan[room].attributes) {
            EXPECT_NE(attribute.placement.find(" h300.0 w1.00 r315.0"), std::string::npos)
                << tag << attribute.placement;
        }
    }
    // Values and data are written back as they were.
    EXPECT_EQ(plan["ROOM-102"].attributes.at("AREA").text, "Kitchen area");
    EXPECT_NE(plan["ROOM-101"].data.find("AREA=50.00sq.m.;"), std::string::npos);
}

TEST_F(SpaceCommands, UpdateTextTakesOnlyWhatTheBlockEditorTakesSoItsOkStillWrites) {
    Outcome r = run("plan_mm.dxf",
                    "mut\n1000001\n300\n99999999\n0.001\n2\n361\n"
                    "mbe\ndlg dblclick 246 Kitchen\ndlg set 203 Galley\ndlg click 1\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err; // each value refused is a line not applied
    size_t at = 0;
    for (const char* asked :
         {"\nText Size must be greater than 0 and no more than 1000000\n",
          "\nText Scale must be between 0.01 and 100\nEnter new Text Scale or (i)gnore <1.00>:",
          "\nText Scale must be between 0.01 and 100\nEnter new Text Scale or (i)gnore <1.00>:", "Command: mbe"}) {
        at = r.out.find(asked, at);
        ASSERT_NE(at, std::string::npos) << asked << "\n" << r.out;
        at += std::strlen(asked);
    }
    EXPECT_EQ(r.out.find("Please enter"), std::string::npos) << r.out;
    auto plan = read("saved.dxf");
    EXPECT_EQ(plan["ROOM-102"].attributes.at("NAME").text, "Galley");
    EXPECT_NE(plan["ROOM-101"].attributes.at("AREA").placement.find(" h300.0 w2.00 r1.0"), std::string::npos)
        << plan["ROOM-101"].attributes.at("AREA").placement;
}

TEST_F(SpaceCommands, UpdateTextTakesAnyRotationAndTheStoredValuesAsTheyStandOrSaysOnceThatOneCannotBeTaken) {
    const std::string refused = " in the preferences, ";
    const struct {
        const char* what;
        std::map<std::string, std::string> prefs;
        std::string answers;
        const char* placement;
        const char* said;
    } cases[] = {
        {"a rotation of 400", {}, "i\ni\n400\n", " h250.0 w1.00 r40.0", nullptr},
        {"a rotation of -400", {}, "i\ni\n-400\n", " h250.0 w1.00 r320.0", nullptr},
        {"a stored scale of 150, Enter twice",
         {{"textScale", "150.00"}},
         "i\n\n\n2\ni\n",
         " w2.00 r0.0",
         "The Text Scale in the preferences, 150, is not one a label takes\n"},
        {"a stored scale of 0.005 shown as 0.01",
         {{"textScale", "0.005"}},
         "i\n\n3\ni\n",
         " w3.00 r0.0",
         "The Text Scale in the preferences, 0.005, is not one a label takes\n"},
        {"a stored scale of 1.4 shown as 1",
         {{"textScale", "1.40"}, {"precison", "0"}},
         "i\n\ni\n",
         " w1.40 r0.0",
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writePrefs(c.prefs);
        Outcome r = run("plan_mm.dxf", "mut\n" + c.answers + "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(count(r.out, refused), c.said ? 1u : 0u) << r.out;
        if (c.said) {
            EXPECT_EQ(count(r.out, c.said), 1u) << r.out;
        }
        auto plan = read("saved.dxf");
        EXPECT_NE(plan["ROOM-101"].attributes.at("AREA").placement.find(c.placement), std::string::npos)
            << plan["ROOM-101"].attributes.at("AREA").placement;
    }
}

TEST_F(SpaceCommands, UpdateTextCancelledChangesNothing) {
    Outcome r = run("plan_mm.dxf", "mut\n500\n*Cancel*\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    auto plan = read("saved.dxf");
    EXPECT_EQ(plan["ROOM-101"].attributes.at("AREA").placement, "@1000.0,1000.0 h250.0 w1.00 r0.0");
    EXPECT_EQ(plan["ROOM-101"].attributes.at("NAME").placement, "@1000.0,1400.0 h250.0 w1.00 r0.0");
}

TEST_F(SpaceCommands, RefreshTagsLaysTheLabelsOutAroundTheAreaLabel) {
    Outcome r = run("plan_mm.dxf", "mrt\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "Command: mrt\n\nCommand: SAVEAS")) << r.out;
    auto plan = read("saved.dxf");
    // One and a half text heights apart, the values unchanged.
    const Insert& store = plan["ROOM-104"];
    EXPECT_EQ(store.attributes.at("NAME").placement, "@21000.0,11375.0 h250.0 w1.00 r0.0");
    EXPECT_EQ(store.attributes.at("AREA").placement, "@21000.0,11000.0 h250.0 w1.00 r0.0");
    EXPECT_EQ(store.attributes.at("AUX").placement, "@21000.0,10625.0 h250.0 w1.00 r0.0");
    EXPECT_EQ(store.attributes.at("NAME").text, "Store, \"north\"");
    EXPECT_NE(store.data.find("NAME=Store;"), std::string::npos) << "the data is not rewritten";
}

TEST_F(SpaceCommands, SyncWithTheDefaultsRewritesNameAndAreaAndLeavesTheAuxLabel) {
    Outcome r = run("plan_mm.dxf", "msxta\n\n\n\n\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r, "\nSync XData name to name attribute? <1>:")) << r.out;
    EXPECT_TRUE(has(r, "\nRecalculate values before sync? <0>:")) << r.out;
    auto plan = read("saved.dxf");
    EXPECT_EQ(plan["ROOM-102"].attributes.at("AREA").text, "20.00sq.m.");
    EXPECT_EQ(plan["ROOM-102"].attributes.at("AUX").text, "24.0m.");
    EXPECT_EQ(plan["ROOM-103"].attributes.at("AREA").text, "15.53sq.m.");
    EXPECT_EQ(plan["ROOM-101"].attributes.at("AREA").text, "50.00sq.m.");
}

TEST_F(SpaceCommands, SyncUnderImperialPreferencesLabelsAMetricSpaceInFeetAndKeepsItsData) {
    writePrefs({{"units", "1"}});
    Outcome r = run("plan_mm.dxf", "msxta\n\n\nyes\nno\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    auto plan = read("saved.dxf");
    // 50 m2 and 30 m, not "50.00sq.ft." and "30.00ft."; the stored values stay in square metres.
    EXPECT_EQ(plan["ROOM-101"].attributes.at("AREA").text, "538.20sq.ft.");
    EXPECT_EQ(plan["ROOM-101"].attributes.at("AUX").text, "98.43ft.");
    EXPECT_NE(plan["ROOM-101"].data.find("AREA=50.00sq.m.;PERIMETER=30.00m.;"), std::string::npos);
    EXPECT_EQ(plan["ROOM-102"].attributes.at("AREA").text, "215.28sq.ft.");
}

TEST_F(SpaceCommands, SyncWithRecalculationWritesTheMeasuredValues) {
    Outcome r = run("plan_mm.dxf", "msxta\nno\nyes\nyes\nyes\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    auto plan = read("saved.dxf");
    EXPECT_EQ(plan["ROOM-102"].attributes.at("AREA").text, "27.00sq.m.");
    EXPECT_EQ(plan["ROOM-103"].attributes.at("AUX").text, "15.71m.");
    EXPECT_EQ(plan["ROOM-101"].attributes.at("AUX").text, "32.00m.");
}

} // namespace
} // namespace spacecommands
