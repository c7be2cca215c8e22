// The Space Data page's area and perimeter boxes through cadhost: what is no number, or below
// nothing, is refused with a message, the block dialog stays open and the drawing is not written.
#include "module/spacecommands/SpaceCommandsHost.h"

namespace spacecommands {
namespace {

using SpaceDataNumbers = SpaceCommands;

TEST_F(SpaceDataNumbers, AnAreaOrPerimeterThatIsNoNumberOrNegativeIsRefusedAndNothingWritten) {
    struct Case {
        const char* box;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"219", "12a.5b", "Please enter a number."},
        {"219", "1e999", "Please enter a number."},
        {"219", "-7", "Please enter an area and a perimeter of 0 or more."},
        {"218", "-7", "Please enter an area and a perimeter of 0 or more."},
        {"218", "inf", "Please enter a number."},
        {"218", "", "Please enter a number."},
    };
    for (const Case& c : cases) {
        // OK and Apply are both refused; the dialog is still there to take a good value.
        Outcome r = run("plan_mm.dxf", std::string("mbe\ndlg dblclick 246 Office 101\ndlg set ") + c.box + " " +
                                           c.text + "\ndlg click 1\nok\ndlg click 284\nok\nSAVEAS refused.dxf\n" +
                                           "dlg set 219 12.5\ndlg set 218 31\ndlg click 1\nSAVEAS saved.dxf\n");
        // OK and Apply refused: two lines not applied.
        ASSERT_EQ(r.status, 1) << r.err;
        EXPECT_EQ(count(r.err, std::string("the dialog refused the value: ") + c.message + "\n"), 2u) << r.err;
        EXPECT_EQ(count(r.out, c.message), 2u) << c.box << " " << c.text << "\n" << r.out;
        EXPECT_EQ(count(r.out, "dialog 201 \"RoomBlock\" closed"), 1u) << c.text << "\n" << r.out;
        EXPECT_EQ(read("refused.dxf").at("ROOM-101").data, read("plan_mm.dxf").at("ROOM-101").data) << c.text;
        const std::string saved = read("saved.dxf").at("ROOM-101").data;
        EXPECT_NE(saved.find("AREA=12.50sq.m.;PERIMETER=31.00m.;"), std::string::npos) << c.text << "\n" << saved;
    }
}

TEST_F(SpaceDataNumbers, AWrittenOutNumberIsTakenWholeAndZeroIsAllowed) {
    Outcome r = run("plan_mm.dxf",
                    "mbe\ndlg dblclick 246 Office 101\ndlg set 219 1.25e1\ndlg set 218 0\ndlg click 1\nSAVEAS "
                    "saved.dxf\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string saved = read("saved.dxf").at("ROOM-101").data;
    EXPECT_NE(saved.find("AREA=12.50sq.m.;PERIMETER=0.00m.;"), std::string::npos) << saved;
}

} // namespace
} // namespace spacecommands
