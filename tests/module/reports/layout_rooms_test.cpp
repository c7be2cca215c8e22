// A room placed on a paper layout is coloured on that layout, beneath the room in the layout's own draw
// order, and keeps one colour there: a later colour replaces it and "mdb" takes it with the room, putting
// the boundary back on the layout; through cadhost on the report plan with the Kitchen on "Layout1", the
// drawings read back by ezdxf and the layout's plots' pixels.
#include "EditedPlans.h"

namespace reportstest {
namespace {

using LayoutRooms = EditedPlans;

constexpr const char* yellow = "#FFFF00"; // what "msc_has" and "msc_hs" give
constexpr const char* amber = "#E0A000";

// The hatches among a layout's entities.
size_t hatchesIn(const std::vector<std::string>& entities) {
    return std::count_if(entities.begin(), entities.end(),
                         [](const std::string& entity) { return entity.rfind("hatch|", 0) == 0; });
}

TEST_F(LayoutRooms, ARoomOnAPaperLayoutIsColouredOnThatLayoutBeneathIt) {
    // The Kitchen first, then the desk on the layout: the desk's colour goes to the bottom, and the
    // Kitchen's back beneath it.
    const std::string desk =
        writeRoomsAndDesk("desk.xml", green, handles.at("Kitchen"), amber, handles.at("layoutdesk"));
    struct Case {
        const char* what;
        std::string script;
        const char* colour;
        std::vector<std::string> layout; // Layout1's entities, bottom first
        size_t modelHatches;             // the rooms of model space coloured too
    };
    const auto coloured = [](const char* colour) {
        return std::vector<std::string>{std::string("hatch|") + colour, "insert|ROOM-A4", "insert|DESK"};
    };
    const Case cases[] = {
        {"msc_has", "msc_has\n", yellow, coloured(yellow), 3},
        {"msc_hs on the Kitchen", "msc_hs\n" + pick("Kitchen") + "\n", yellow, coloured(yellow), 0},
        {"a report on every room", colour("red.xml", red, "*"), red, coloured(red), 3},
        {"a report on the Kitchen", colour("green.xml", green, handles.at("Kitchen")), green, coloured(green), 0},
        // The desk's outline, which its hatch was built from, lies on the layout too.
        {"a report on the Kitchen and its desk",
         magr(desk),
         green,
         {std::string("hatch|") + green, std::string("hatch|") + amber, "insert|ROOM-A4", "insert|DESK", "lwpolyline"},
         0},
    };
    for (const Case& c : cases) {
        Outcome r = run("report_plan_layout.dxf", c.script + "PLOT layout.png\nSAVEAS coloured.dxf\n");
        ASSERT_EQ(r.status, 0) << c.what << r.err << r.out;
        EXPECT_EQ(r.out.find("error(s) occurred"), std::string::npos) << c.what << r.out;
        EXPECT_EQ(drawn("coloured.dxf", "Layout1"), c.layout) << c.what;
        EXPECT_EQ(hatchesIn(drawn("coloured.dxf", "Model")), c.modelHatches) << c.what;
        // The Kitchen, 80 by 40 mm of the sheet, shows its colour; its desk, 16 by 12 mm, its own.
        EXPECT_GT(pixelsOf(dir / "layout.png", c.colour), 50000u) << c.what;
        if (c.layout.size() > 3) {
            EXPECT_GT(pixelsOf(dir / "layout.png", amber), 3000u) << c.what;
        }
        for (const char* file : {"coloured.dxf", "layout.png"}) fs::remove(dir / file);
    }
}

TEST_F(LayoutRooms, ARoomOnAPaperLayoutKeepsOneColourThereAndMdbTakesItWithTheRoom) {
    Outcome first = run("report_plan_layout.dxf", "msc_has\nSAVEAS yellow.dxf\n");
    ASSERT_EQ(first.status, 0) << first.err << first.out;
    fs::create_directories(dir / "staged");
    fs::copy_file(dir / "yellow.dxf", dir / "staged" / "yellow.dxf");

    // Coloured again in a later session: the new colour takes the old one's place on the layout.
    std::ofstream(dir / "green.scr") << colour("green.xml", green, handles.at("Kitchen")) +
                                            "PLOT green.png\nSAVEAS green.dxf\n";
    Outcome again = runFile(dir / "staged" / "yellow.dxf", dir / "green.scr");
    ASSERT_EQ(again.status, 0) << again.err << again.out;
    EXPECT_EQ(drawn("green.dxf", "Layout1"),
              (std::vector<std::string>{std::string("hatch|") + green, "insert|ROOM-A4", "insert|DESK"}));
    EXPECT_GT(pixelsOf(dir / "green.png", green), 50000u);
    EXPECT_EQ(pixelsOf(dir / "green.png", yellow), 0u);

    // Deleted in a later session: its boundary comes back on the layout, in its place under the desk,
    // without its colour.
    fs::copy_file(dir / "green.dxf", dir / "staged" / "green.dxf");
    std::ofstream(dir / "delete.scr") << "mdb\n" + pick("Kitchen") + "\nPLOT deleted.png\nSAVEAS deleted.dxf\n";
    Outcome deleted = runFile(dir / "staged" / "green.dxf", dir / "delete.scr");
    ASSERT_EQ(deleted.status, 0) << deleted.err << deleted.out;
    EXPECT_FALSE(has(deleted, "Block Delete Failed")) << deleted.out;
    EXPECT_EQ(drawn("deleted.dxf", "Layout1"), (std::vector<std::string>{"lwpolyline", "insert|DESK"}));
    EXPECT_EQ(hatchesIn(drawn("deleted.dxf", "Model")), 3u);
    EXPECT_EQ(pixelsOf(dir / "deleted.png", green), 0u);
}

TEST_F(LayoutRooms, ARoomOnAPaperLayoutListsTheDesksOfThatLayoutAndNotThoseOfModelSpace) {
    // A desk of model space lies at the Kitchen's sheet coordinates, in Office A.
    const auto listed = [](const std::string& handle) {
        return ",,,,,,DESK," + handle + "," + std::to_string(std::stoul(handle, nullptr, 16)) + ",0\n";
    };
    const auto room = [](const std::string& line, const std::string& handle, int assets) {
        return line + "," + handle + "," + std::to_string(std::stoul(handle, nullptr, 16)) + "," +
               std::to_string(assets) + "\n";
    };
    Outcome r = run("report_plan_layout.dxf", "mlb\n\ny\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, room("ROOM-A4,Kitchen,8.00", handles.at("Kitchen"), 1) + listed(handles.at("layoutdesk")) +
                           "ROOM-GROSS_AREA"))
        << r.out;
    EXPECT_TRUE(has(r, room("ROOM-A1,Office A,50.00", handles.at("Office A"), 2) + listed(handles.at("desk1")) +
                           listed(handles.at("modeldesk"))))
        << r.out;
}

} // namespace
} // namespace reportstest
