// A space without a NAME label is known by the name its record stores: the commands that write it
// back keep that name, and only a rename changes it.
#include "SpaceCommandsHost.h"

namespace spacecommands {
namespace {

class StoredNames : public SpaceCommands {
protected:
    // plan_mm.dxf with the Kitchen's (64, ROOM-102) NAME label taken away; its record says "Kitchen".
    void SetUp() override {
        SpaceCommands::SetUp();
        if (IsSkipped()) return;
        const std::string strip = "import ezdxf; d = ezdxf.readfile('" + (plans / "plan_mm.dxf").string() +
                                  "'); d.entitydb['64'].delete_attrib('NAME'); d.saveas('" +
                                  (plans / "plan_unlabelled.dxf").string() + "')";
        ASSERT_EQ(std::system(("/usr/bin/python3 -c \"" + strip + "\"").c_str()), 0);
        std::ofstream(dir / "kitchen.xml")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<graphicReport xmlns=\"http://schemas.kelmo.net/Ostrel\"><grTitle>Use</grTitle>"
               "<categories><category><cID>1</cID><cTitle>Kitchens</cTitle>"
               "<cHatchPattern>SOLID</cHatchPattern><cHatchColour>#FF0000</cHatchColour>"
               "<cHatchScale>1</cHatchScale><cHatchAngle>0</cHatchAngle><cHatchLayer>HATCH-K</cHatchLayer>"
               "<kelmoBlocks><kelmoBlock><mbHandle>64</mbHandle></kelmoBlock>"
               "<kelmoBlock><mbHandle>*</mbHandle></kelmoBlock></kelmoBlocks></category></categories>"
               "</graphicReport>\n";
    }
    // The value of one key of the space's stored record.
    static std::string stored(const Insert& insert, const std::string& key) {
        const size_t at = (";" + insert.data).find(";" + key + "=");
        if (at == std::string::npos) return "<none>";
        const size_t start = at + key.size() + 1;
        return insert.data.substr(start, insert.data.find(';', start) - start);
    }
};

TEST_F(StoredNames, ASpaceWithoutANameLabelKeepsItsStoredNameUnlessRenamed) {
    const struct {
        const char* what;
        std::string script;
        const char* name;
    } cases[] = {
        {"hatching every space", "msc_has\n", "Kitchen"},
        {"hatching the space", "msc_hs\n#64\n", "Kitchen"},
        {"blanking the third labels", "mbta\n", "Kitchen"},
        {"find and replace of nothing", "mfrs\n\n\n", "Kitchen"},
        // Listed first in the editor, by its empty label.
        {"the block dialog's OK with nothing edited", "mbe\ndlg dblclick 246 0\ndlg click 1\n", "Kitchen"},
        {"colouring by a report naming it and every room", "magr\n" + windowsPath("kitchen.xml") + "\n\n\n\n\n\n\n",
         "Kitchen"},
        // Without a label the space is found by its definition's name, and renamed from it.
        {"find and replace of the name it is found by", "mfrs\nROOM-1\nLab 1\n", "Lab 102"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("plan_unlabelled.dxf", c.script + "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        std::map<std::string, Insert> saved = read("saved.dxf");
        EXPECT_EQ(stored(saved["ROOM-102"], "NAME"), c.name) << saved["ROOM-102"].data;
        EXPECT_EQ(saved["ROOM-102"].attributes.count("NAME"), 0u);
        // A labelled space is named by its label, as before.
        EXPECT_EQ(stored(saved["ROOM-103"], "NAME"), "Bay room");
    }
}

} // namespace
} // namespace spacecommands
