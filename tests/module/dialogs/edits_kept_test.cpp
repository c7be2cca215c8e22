// The block dialog's OK and Apply write what was edited in it onto the space as the drawing holds it
// then: changes made at the command line while it was open stay, and a value changed both here and
// there is refused with the dialog kept open.
#include "module/spacecommands/SpaceCommandsHost.h"

namespace spacecommands {
namespace {

using EditsKept = SpaceCommands;

// The Kitchen (64) opened in the editor, and renamed "Galley" at the command line while it is open.
const std::string open = "mbe\ndlg dblclick 246 Kitchen\n";
const std::string rename = "mfrs\nKitchen\nGalley\n";

// The value of one key of a stored record.
std::string stored(const Insert& insert, const std::string& key) {
    const size_t at = (";" + insert.data).find(";" + key + "=");
    if (at == std::string::npos) return "<none>";
    const size_t start = at + key.size() + 1;
    return insert.data.substr(start, insert.data.find(';', start) - start);
}

TEST_F(EditsKept, ARenameMadeWhileTheBlockDialogIsOpenSurvivesItsOkAndApply) {
    const struct {
        const char* what;
        std::string script;
        const char *name, *area, *aux;
    } cases[] = {
        {"only the third label edited", open + "dlg set 205 north side\n" + rename + "dlg click 1\n", "Galley",
         "Kitchen area", "north side"},
        {"Apply, the rename, then another edit and OK",
         open + "dlg set 205 north side\ndlg click 284\n" + rename + "dlg set 204 Galley area\ndlg click 1\n", "Galley",
         "Galley area", "north side"},
        {"the same name typed in both", open + "dlg set 203 Galley\n" + rename + "dlg click 1\n", "Galley",
         "Kitchen area", "24.0m."},
        {"nothing edited", open + rename + "dlg click 1\n", "Galley", "Kitchen area", "24.0m."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Outcome r = run("plan_mm.dxf", c.script + "SAVEAS saved.dxf\n");
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        EXPECT_FALSE(has(r, "has changed in the drawing")) << r.out;
        EXPECT_GT(r.out.find("\"RoomBlock\" closed"), r.out.find("Command: mfrs")) << r.out;
        const Insert kitchen = read("saved.dxf")["ROOM-102"];
        EXPECT_EQ(kitchen.attributes.at("NAME").text, c.name);
        EXPECT_EQ(stored(kitchen, "NAME"), c.name);
        EXPECT_EQ(kitchen.attributes.at("AREA").text, c.area);
        EXPECT_EQ(kitchen.attributes.at("AUX").text, c.aux);
        // What neither touched stays as stored, at the editor's precision.
        EXPECT_EQ(stored(kitchen, "AREA"), "20.00sq.m.");
        EXPECT_EQ(stored(kitchen, "COST_CENTRE"), "CC-7");
    }
}

TEST_F(EditsKept, ANameChangedBothInTheDialogAndAtTheCommandLineIsRefusedAndTheDialogKeepsItsEdits) {
    Outcome r = run("plan_mm.dxf", open + "dlg set 203 Kitchen West\ndlg set 205 north side\n" + rename +
                                       "dlg click 1\nok\ndlg click 284\nok\nSAVEAS saved.dxf\ndlg show\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const std::string refused =
        "The space has changed in the drawing since it was opened here, in a value edited "
        "here too: nothing was written. Cancel and open the space again to edit it as it "
        "stands now.";
    EXPECT_EQ(count(r.out, refused), 2u) << r.out;
    EXPECT_TRUE(has(r, "Command: dlg show\ndialog 201 \"RoomBlock\" modeless visible")) << r.out;
    EXPECT_TRUE(has(r, "      203 edit \"Kitchen West\" enabled visible")) << r.out;
    EXPECT_TRUE(has(r, "      205 edit \"north side\" enabled visible")) << r.out;
    // Nothing of the dialog was written, not even the label no one else changed.
    const Insert kitchen = read("saved.dxf")["ROOM-102"];
    EXPECT_EQ(kitchen.attributes.at("NAME").text, "Galley");
    EXPECT_EQ(kitchen.attributes.at("AUX").text, "24.0m.");
}

TEST_F(EditsKept, LinksGivenWhileTheBlockDialogIsOpenSurviveItsOk) {
    Outcome r = run("plan_mm.dxf", open +
                                       "dlg set 205 north side\nmbh\ndlg @204 click 233\n#64\n"
                                       "dlg @204 set 232 http://plans.example/kitchen\ndlg @204 click 1\n"
                                       "dlg @201 click 1\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r, "1 block affected.\n")) << r.out;
    EXPECT_EQ(read("saved.dxf")["ROOM-102"].attributes.at("AUX").text, "north side");
    const std::string links =
        capture("/usr/bin/python3 -c \"import ezdxf; d = ezdxf.readfile('" + (dir / "saved.dxf").string() +
                "'); print([v for c, v in d.entitydb['64'].get_xdata('PE_URL') if c == 1000])\"");
    EXPECT_EQ(links, "['http://plans.example/kitchen', 'http://plans.example/kitchen', '']\n");
}

} // namespace
} // namespace spacecommands
