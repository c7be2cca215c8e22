// Space names through cadhost: a name whose stored form ("NAME=" and the name) would pass the 255
// bytes a drawing's extended-data string holds is refused by every command that sets one, a space whose
// name is already that long is left as it is, and "mfrs" reports only names it changed.
#include "CheckedPlans.h"

namespace utilities {
namespace {

using SpaceNames = CheckedPlans;
using cadhost_run::count;
using cadhost_run::has;

const std::string longName = "Long " + std::string(295, 'x');
const std::string fits = std::string(250, 'N');    // 255 bytes with "NAME="
const std::string tooLong = std::string(251, 'N'); // 256 bytes
std::string accented(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "\xc3\xa9"; // two bytes each
    return text;
}
std::string refusal(int bytes) {
    return "The space name is too long: stored with \"NAME=\" it takes " + std::to_string(bytes) +
           " bytes, and a drawing holds at most 255 (250 plain letters, fewer accented ones).";
}

TEST_F(SpaceNames, TheBlockCreatorRefusesANameBeyondTheStoredLimitInBytes) {
    Outcome r = run("checked.dxf", "mbc\ndlg click 3\ndlg set 311 " + tooLong + "\n" + pick("rectangle") +
                                       "\n42000,2000\ndlg set 311 " + accented(126) + "\n" + pick("rectangle") +
                                       "\n42000,2000\ndlg set 311 " + fits + "\n" + pick("rectangle") +
                                       "\n42000,2000\n\ndlg click 2\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r, "\n" + refusal(256) + " - Block Creation Failed\n")) << r.out;
    EXPECT_TRUE(has(r, "\n" + refusal(257) + " - Block Creation Failed\n")) << "126 letters, 252 bytes\n" << r.out;
    EXPECT_EQ(count(r.out, "Block Created Successfully\n"), 1u) << r.out;
    const Drawing saved = dump("checked.dxf");
    EXPECT_NE(saved.data("ROOM-5").find(";NAME=" + fits + ";"), std::string::npos) << saved.data("ROOM-5");
    EXPECT_TRUE(saved.find("INSERT", "ROOM-6").empty());
    EXPECT_TRUE(saved.find("POLYLINE", handles.at("rectangle")).empty()) << "the boundary went into the space";
}

TEST_F(SpaceNames, TheBlockDialogRefusesATooLongNameAndLeavesASpaceWhoseNameIsAlreadyTooLongAsItIs) {
    Outcome r = run("checked.dxf", "mbe\ndlg dblclick 246 Office 1\ndlg set 203 " + tooLong +
                                       "\ndlg click 1\nok\nSAVEAS refused.dxf\ndlg set 203 Office One\ndlg click 1\n"
                                       "dlg dblclick 246 Long\ndlg set 205 edited\ndlg click 1\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 1) << r.err; // the refused name is a line not applied
    EXPECT_EQ(count(r.err, "test.scr:4: the dialog refused the value: " + refusal(256)), 1u) << r.err;
    EXPECT_EQ(count(r.out, refusal(256)), 1u) << r.out;
    EXPECT_EQ(dumpText("refused.dxf"), spacecommands::capture("/usr/bin/python3 '" + generator().string() + "' dump '" +
                                                              (plans / "checked.dxf").string() + "'"));
    const Drawing saved = dump("saved.dxf");
    EXPECT_NE(saved.data("ROOM-1").find(";NAME=Office One;"), std::string::npos) << saved.data("ROOM-1");
    // The name the space already has is kept as read: it never stops an edit of its other values.
    EXPECT_EQ(count(r.out, " not updated: its NAME takes 305 bytes"), 0u) << r.out;
    EXPECT_EQ(count(r.out, "Nothing was written: the space was left as it is"), 0u) << r.out;
    EXPECT_EQ(saved.label("ROOM-4", "AUX").substr(0, 7), "edited@");
    EXPECT_NE(saved.data("ROOM-4").find(";NAME=" + longName + ";"), std::string::npos) << saved.data("ROOM-4");
}

TEST_F(SpaceNames, FindAndReplaceRefusesARenameBeyondTheLimitAndCountsOnlyRealChanges) {
    // The prompt takes 132 characters: only a name already long can be renamed past the limit.
    Outcome r = run("checked.dxf", "mfrs\nLong\nVery long\nmfrs\n\n\nmfrs\nOffice 2\nRoom 2\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r, "\n" + longName + " not changed: " + refusal(310) + "\n4 blocks processed - 0 changes made"))
        << r.out;
    // Empty texts leave every name as it was: nothing is listed or counted.
    EXPECT_TRUE(has(r, "Enter String to Replace:\n4 blocks processed - 0 changes made")) << r.out;
    EXPECT_TRUE(has(r, "Office 2 changed to Room 2\n4 blocks processed - 1 changes made")) << r.out;
    const Drawing saved = dump("checked.dxf");
    EXPECT_NE(saved.data("ROOM-1").find(";NAME=Office 1;"), std::string::npos) << saved.data("ROOM-1");
    EXPECT_NE(saved.data("ROOM-2").find(";NAME=Room 2;"), std::string::npos) << saved.data("ROOM-2");
    EXPECT_NE(saved.data("ROOM-4").find(";NAME=" + longName + ";"), std::string::npos) << saved.data("ROOM-4");
}

TEST_F(SpaceNames, AStoredNameAlreadyBeyondTheLimitLoadsAndSavesAsItWas) {
    Outcome r = run("checked.dxf", "mus\nmsxta\n\n\n\n\nSAVE\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const Drawing saved = dump("checked.dxf");
    EXPECT_NE(saved.data("ROOM-4").find(";NAME=" + longName + ";"), std::string::npos) << saved.data("ROOM-4");
    EXPECT_EQ(saved.label("ROOM-4", "NAME").substr(0, longName.size() + 1), longName + "@");
}

TEST_F(SpaceNames, HatchingOneSpaceSaysWhenThePickIsNoSpace) {
    Outcome r = run("checked.dxf", "msc_hs\n" + pick("desk") + "\nmsc_hs\n" + pick("Office 1") + "\nSAVE\n");
    ASSERT_EQ(r.status, 1) << r.err; // a failure line the command printed fails the line
    EXPECT_TRUE(has(r, pick("desk") + "\n\nThe selection is not a space.\n")) << r.out;
    EXPECT_EQ(count(r.out, "not a space"), 1u) << r.out;
    EXPECT_EQ(count(r.err, "test.scr:2: the line ended in an error: The selection is not a space.\n"), 1u) << r.err;
    EXPECT_EQ(dump("checked.dxf").all("HATCH").size(), 1u);
}

} // namespace
} // namespace utilities
