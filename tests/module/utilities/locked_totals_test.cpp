// "msc_has", "mbta", "mfrs" and "maux" on rooms two of which lie on a locked layer: each skipped room is named
// once as the drawing has it, and the totals count only what was written. The same for rooms whose
// labels lie on a locked layer, through every command that writes labels.
#include <gmock/gmock.h>

#include <algorithm>
#include <regex>

#include "WrittenPlans.h"

namespace utilities {
namespace {

using ::testing::StartsWith;

std::string skipped(int room) {
    return "\nSpace Room " + std::to_string(room) + " not updated: it lies on the locked layer SPACES\n";
}

TEST_F(WrittenPlans, TotalsCountOnlyTheRoomsWrittenAndASkippedRoomIsNamedAsItIs) {
    const struct Case {
        const char* what;
        std::string script;
        std::vector<std::string> printed;          // in this order
        std::string total;                         // a regular expression for the summary
        std::map<std::string, std::string> labels; // "ROOM-n TAG" -> the label's text after the command
        std::vector<std::string> hatches;          // the corners of each hatch
    } cases[] = {
        {"msc_has",
         "msc_has\n",
         {skipped(0), skipped(1)},
         "\n1 block\\(s\\) hatched in \\d+ seconds \\(\\d+\\.\\d\\d s/b\\)\n",
         {},
         {"12000.0,0.0 17000.0,4000.0"}},
        {"mbta",
         "mbta\n",
         {skipped(0), skipped(1)},
         "\n1 block\\(s\\) altered\n",
         {{"ROOM-0 AUX", "note"}, {"ROOM-1 AUX", "note"}, {"ROOM-2 AUX", " "}},
         {}},
        // The rooms left as they were keep their names, and are named by them.
        {"mfrs",
         "mfrs\nRoom\nSpace\n",
         {skipped(0), skipped(1), "Room 2 changed to Space 2\n"},
         "\n3 blocks processed - 1 changes made\nCommand: SAVEAS",
         {{"ROOM-0 NAME", "Room 0"}, {"ROOM-1 NAME", "Room 1"}, {"ROOM-2 NAME", "Space 2"}},
         {}},
        // Room 2 alone gets its AUX label stacked; the others are named as a locked label would be.
        {"maux", "maux\n", {skipped(0), skipped(1)}, "\nCommand: SAVEAS", {{"ROOM-2 AUX", "note"}}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("locked.dxf", c.script + "SAVEAS saved.dxf\n");
        // A room left whole, with its line, is a line not applied.
        ASSERT_EQ(r.status, 1) << r.err << r.out;
        expectInOrder(r.out, c.printed);
        EXPECT_TRUE(std::regex_search(r.out, std::regex(c.total))) << r.out;
        EXPECT_EQ(count(r.out, "not updated"), 2u) << r.out;
        EXPECT_EQ(count(r.out, "changed to"), c.what == std::string("mfrs") ? 1u : 0u) << r.out;
        EXPECT_EQ(r.out.find("Error Detected"), std::string::npos) << r.out;
        const Drawing plan = dump("saved.dxf");
        std::vector<std::string> hatches;
        for (const auto& row : plan.all("HATCH")) hatches.push_back(row[4]);
        EXPECT_EQ(hatches, c.hatches);
        for (const auto& [label, text] : c.labels) {
            const std::string space = label.substr(0, label.find(' '));
            EXPECT_THAT(plan.label(space, label.substr(label.find(' ') + 1)), StartsWith(text + "@")) << label;
        }
        // What was skipped keeps its stored name too.
        EXPECT_NE(plan.data("ROOM-0").find(";NAME=Room 0;"), std::string::npos) << plan.data("ROOM-0");
    }
}

std::string labelLocked(int room, const std::string& tag) {
    return "\nSpace Room " + std::to_string(room) + " not updated: its " + tag +
           " label lies on the locked layer LABELS\n";
}

// Room 0's AUX and Room 1's NAME lie on a locked layer, the rooms themselves do not.
TEST_F(WrittenPlans, ARoomWhoseChangedLabelALockedLayerHoldsIsLeftWholeNamedAndNotCounted) {
    const struct Case {
        const char* what;
        std::string script;
        std::vector<std::string> printed;          // in this order
        size_t skipped;                            // "not updated" lines
        std::map<std::string, std::string> labels; // "ROOM-n TAG" -> the label's text after the command
        std::map<std::string, std::string> names;  // "ROOM-n" -> the stored NAME
    } cases[] = {
        {"mbta",
         "mbta\n",
         {labelLocked(0, "AUX"), "2 block(s) altered\n"},
         1,
         {{"ROOM-0 AUX", "note"}, {"ROOM-1 AUX", " "}, {"ROOM-2 AUX", " "}},
         {}},
        // Room 0's locked AUX stays as it was, so it is renamed.
        {"mfrs",
         "mfrs\nRoom\nHall\n",
         {"Room 0 changed to Hall 0\n", labelLocked(1, "NAME"), "Room 2 changed to Hall 2\n",
          "3 blocks processed - 2 changes made"},
         1,
         {{"ROOM-0 NAME", "Hall 0"}, {"ROOM-1 NAME", "Room 1"}, {"ROOM-2 NAME", "Hall 2"}},
         {{"ROOM-0", "Hall 0"}, {"ROOM-1", "Room 1"}, {"ROOM-2", "Hall 2"}}},
        // Every label grows, the locked ones cannot.
        {"mut", "mut\n300\ni\ni\n", {labelLocked(0, "AUX"), labelLocked(1, "NAME")}, 2, {}, {}},
        // The block editor keeps the edit and says why.
        {"mbe",
         "mbe\ndlg dblclick 246 Room 1\ndlg set 203 Hall 1\ndlg click 1\nok\n",
         {labelLocked(1, "NAME"),
          "Nothing was written: the space was left as it is, for the reason the command line gives"},
         1,
         {{"ROOM-1 NAME", "Room 1"}},
         {{"ROOM-1", "Room 1"}}},
        // The AUX label it cannot open is not made a second time.
        {"maux", "maux\n", {labelLocked(0, "AUX"), labelLocked(1, "NAME")}, 2, {{"ROOM-0 AUX", "note"}}, {}},
        // Hatching changes no label: every room is coloured.
        {"msc_has", "msc_has\n", {"\n3 block(s) hatched in "}, 0, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("locked_labels.dxf", c.script + "SAVEAS saved.dxf\n");
        // A room left whole, with its line, is a line not applied.
        ASSERT_EQ(r.status, c.skipped > 0 ? 1 : 0) << r.err << r.out;
        expectInOrder(r.out, c.printed);
        EXPECT_EQ(count(r.out, "not updated"), c.skipped) << r.out;
        EXPECT_EQ(r.out.find("Error Detected"), std::string::npos) << r.out;
        const Drawing plan = dump("saved.dxf");
        for (const auto& [label, text] : c.labels) {
            const std::string space = label.substr(0, label.find(' '));
            EXPECT_THAT(plan.label(space, label.substr(label.find(' ') + 1)), StartsWith(text + "@")) << label;
        }
        for (const auto& [space, name] : c.names)
            EXPECT_NE(plan.data(space).find(";NAME=" + name + ";"), std::string::npos) << plan.data(space);
        const std::vector<std::string> room0 = plan.labels("ROOM-0");
        EXPECT_EQ(
            std::count_if(room0.begin(), room0.end(), [](const std::string& l) { return l.rfind("AUX=", 0) == 0; }), 1);
        if (c.what == std::string("mut")) {
            EXPECT_THAT(plan.label("ROOM-0", "AUX"), ::testing::HasSubstr(" h250.0 "));
            EXPECT_THAT(plan.label("ROOM-2", "AUX"), ::testing::HasSubstr(" h300.0 "));
        }
    }
}

} // namespace
} // namespace utilities
