// A stored field a command does not touch, kept as read, never stops the space's update: the limit of a
// drawing's string holds for what a command writes anew, counted in the bytes the save writes.
#include "LanguagePlans.h"

namespace spacecommands {
namespace {

TEST_F(Languages, AStoredFieldKeptAsReadNeverStopsARoomsUpdateWhileATextWrittenAnewIsHeldToTheLimit) {
    // 150 characters, most Cyrillic: 162 bytes with "SPECIAL_REQ=" in the drawing's page, 297 in UTF-8.
    std::string special;
    for (int i = 0; i < 15; ++i) special += "\xD0\xA2\xD1\x80\xD0\xB5\xD0\xB1\xD1\x83\xD0\xB5\xD1\x82\xD1\x81\xD1\x8F ";
    special.pop_back();
    special += "!";
    std::string longName;
    for (int i = 0; i < 130; ++i) longName += "\xD0\x96";
    const std::string room = "\xD0\x9A\xD0\xBE\xD0\xBC\xD0\xBD\xD0\xB0\xD1\x82\xD0\xB0";
    const struct {
        const char* what;
        Plan plan;
        bool updated;
    } cases[] = {
        {"a long field kept as read in an R2000 Cyrillic drawing",
         {"R2000", "ANSI_1251", "cp1251", room, special},
         true},
        {"the same in an R2018 drawing", {"R2018", "ANSI_1251", "utf-8", room, special}, true},
        // The NAME label's text becomes the stored name: written anew, it is held to the limit.
        {"a long name label", {"R2000", "ANSI_1251", "cp1251", room, special, longName}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        make("plan.dxf", c.plan);
        Outcome r = run("plan.dxf", "mus\nSAVEAS saved.dxf\n");
        // A room left as it was, with its line, is a line not applied.
        ASSERT_EQ(r.status, c.updated ? 0 : 1) << r.err << r.out;
        EXPECT_EQ(has(r, "not updated"), !c.updated) << r.out;
        if (!c.updated) {
            EXPECT_TRUE(has(r, "its NAME takes 265 bytes")) << r.out;
        }
        const std::string area = c.updated ? "50.00sq.m." : "40.00sq.m.";
        const std::string label = c.plan.label.empty() ? room : c.plan.label;
        EXPECT_NE(dump("saved.dxf")
                      .find("ROOM|ROOM-1|" + label + "|" + area + "|" + room + "|" + area + "|" + special + "\n"),
                  std::string::npos)
            << dump("saved.dxf");
    }
}

} // namespace
} // namespace spacecommands
