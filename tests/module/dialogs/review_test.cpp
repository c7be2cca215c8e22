// The block editor used with bad values typed into its boxes: what is refused keeps the block dialog
// open and leaves the drawing as it was.
#include "module/spacecommands/SpaceCommandsHost.h"

namespace spacecommands {
namespace {

using Review = SpaceCommands;

TEST_F(Review, ALabelHeightOrWidthFactorThatCannotBeDrawnIsRefusedAndWritesNothing) {
    const std::string height = "Format page, Height: please enter a number above 0 and no more than 1000000.";
    const std::string width = "Format page, Width Factor: please enter a number between 0.01 and 100.";
    const struct {
        const char* box;
        const char* value;
        std::string message;
    } cases[] = {
        {"254", "0", height}, {"254", "-300", height}, {"254", "1e308", height}, {"254", "1000001", height},
        {"229", "0", width},  {"229", "-1", width},    {"229", "1e308", width},
    };
    for (const auto& c : cases) {
        Outcome r =
            run("plan_mm.dxf", std::string("mbe\ndlg dblclick 246 Kitchen\ndlg tab 245 1\n") + "dlg set 207/" + c.box +
                                   " " + c.value + "\ndlg click 284\nok\ndlg click 1\nok\nSAVEAS refused.dxf\n");
        // Apply and OK refused: two lines not applied.
        ASSERT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(count(r.err, "the dialog refused the value: " + c.message + "\n"), 2u) << r.err;
        SCOPED_TRACE(std::string(c.box) + " " + c.value);
        EXPECT_TRUE(has(r, "[cadhost] " + c.message + "\n\nCommand: dlg click 1\n[cadhost] " + c.message)) << r.out;
        EXPECT_GT(r.out.find("\"RoomBlock\" closed"), r.out.find("Command: SAVEAS"))
            << "the block dialog stays open with its edits";
        const Insert kitchen = read("refused.dxf")["ROOM-102"];
        EXPECT_EQ(kitchen.attributes.at("NAME").placement, "@11000.0,1400.0 h250.0 w1.00 r0.0");
        EXPECT_EQ(kitchen.attributes.at("AUX").placement, "@11000.0,600.0 h250.0 w1.00 r0.0");
    }
    // The smallest and largest values taken are written.
    Outcome r = run("plan_mm.dxf",
                    "mbe\ndlg dblclick 246 Kitchen\ndlg tab 245 1\ndlg set 207/254 1000000\n"
                    "dlg set 207/229 0.01\ndlg click 1\nSAVEAS saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read("saved.dxf")["ROOM-102"].attributes.at("AREA").placement, "@11000.0,1000.0 h1000000.0 w0.01 r0.0");
}

TEST_F(Review, ASpaceDeletedUnderTheBlockDialogIsReportedAndTheDialogKeepsItsEdits) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\ndlg dblclick 246 Kitchen\ndlg set 203 Kitchen West\nmdb\n#64\n"
                    "dlg click 284\nok\ndlg click 1\nok\ndlg show\n");
    ASSERT_EQ(r.status, 1) << r.err; // Apply and OK each ended in an error
    EXPECT_TRUE(has(r, "[Error Detected.] PresBlock::CPresBlock::OnCmdApply\n")) << r.out;
    EXPECT_TRUE(has(r, "[Error Detected.] PresBlock::CPresBlock::OnCmdOK\n")) << r.out;
    // Still open after the refused OK, with the name typed.
    EXPECT_TRUE(has(r, "Command: dlg show\ndialog 201 \"RoomBlock\" modeless visible")) << r.out;
    EXPECT_TRUE(has(r, "      203 edit \"Kitchen West\" enabled visible")) << r.out;
    EXPECT_GT(r.out.find("\"RoomBlock\" closed"), r.out.find("Command: dlg show"));
}

TEST_F(Review, OkOnASpaceOnALockedLayerIsReportedAndTheDialogKeepsItsEdits) {
    const std::string lock = "import ezdxf; d = ezdxf.readfile('" + (plans / "plan_mm.dxf").string() +
                             "'); d.layers.add('LOCKED').lock(); d.entitydb['64'].dxf.layer = 'LOCKED'; d.saveas('" +
                             (plans / "plan_locked.dxf").string() + "')";
    ASSERT_EQ(std::system(("/usr/bin/python3 -c \"" + lock + "\"").c_str()), 0);
    Outcome r =
        run("plan_locked.dxf", "mbe\ndlg dblclick 246 Kitchen\ndlg set 203 Kitchen West\ndlg click 1\nok\ndlg show\n");
    ASSERT_EQ(r.status, 1) << r.err; // OK ended in an error
    EXPECT_TRUE(has(r, "[Error Detected.] PresBlock::CPresBlock::OnCmdOK\n")) << r.out;
    EXPECT_TRUE(has(r, "eOnLockedLayer")) << r.out;
    EXPECT_TRUE(has(r, "Command: dlg show\ndialog 201 \"RoomBlock\" modeless visible")) << r.out;
    EXPECT_TRUE(has(r, "      203 edit \"Kitchen West\" enabled visible")) << r.out;
}

} // namespace
} // namespace spacecommands
