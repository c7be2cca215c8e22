// A NAME label that carries its own multiline text (an R2018 drawing's multiline attribute): a rename
// reaches that text too, so programs that show multiline attributes show the new name.
#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

TEST_F(SpaceCommands, ARenamedSpaceShowsItsNewNameInItsMultilineLabelToo) {
    const struct {
        const char* what;
        const char* script;
        const char* room;
        const char* name;
    } cases[] = {
        {"find and replace", "mfrs\nKitchen\nCanteen {west}\n", "ROOM-102", "Canteen {west}"},
        // The store's label shows 'Store, "north"'; its record says "Store".
        {"copying the stored names into the labels", "msxta\n\n\n\n\n", "ROOM-104", "Store"},
        {"the block dialog", "mbe\ndlg dblclick 246 Kitchen\ndlg set 203 Canteen\\1\ndlg click 1\n", "ROOM-102",
         "Canteen\\1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("plan_multiline.dxf", std::string(c.script) + "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        std::map<std::string, Insert> saved = read("saved.dxf");
        const Attribute& name = saved[c.room].attributes["NAME"];
        EXPECT_EQ(name.text, c.name);
        EXPECT_EQ(name.multiline, c.name);
        // The label's kind of attribute is not taken for mirrored text.
        EXPECT_EQ(name.placement.find(" m"), std::string::npos) << name.placement;
        // The label laid out again takes its multiline text with it.
        EXPECT_EQ(name.multilineAt, name.placement.substr(0, name.placement.find(' ')));
        // The labels left alone keep their multiline text as it was.
        EXPECT_EQ(saved["ROOM-103"].attributes["NAME"].multiline, "Bay room");
    }
}

} // namespace
} // namespace spacecommands
