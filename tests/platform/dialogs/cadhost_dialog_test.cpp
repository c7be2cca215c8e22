// A test-only dialog command run by cadhost from a script: the dialog actions, the message box raised by a
// handler and the dumps all go through the host's input and command line.
#include <sstream>

#include "DialogTestSupport.h"
#include "HostSession.h"
#include "cad/app/RxRegistry.h"
#include "support/HostFixture.h"

using namespace dialogtest;

namespace {

// Nobody keeps the dialog: it deletes itself when cancelled.
class ScriptListDialog : public ListDialog {
public:
    void OnCancel() override {
        ListDialog::OnCancel();
        delete this;
    }
};

int g_modalResult = 0;
int g_modalPrecision = 0;

void openListDialog() {
    auto* dlg = new ScriptListDialog;
    dlg->Create(IDD_LIST);
}

void runSettingsDialog() {
    SettingsDialog dlg;
    g_modalResult = static_cast<int>(dlg.DoModal());
    g_modalPrecision = dlg.precision;
}

class CadhostDialogs : public kelmo_test::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        resources = std::make_unique<TestResources>();
        acedRegCmds()->addCommand(L"T_DIALOGS", L"tlist", L"tlist", ACRX_CMD_MODAL, openListDialog);
        acedRegCmds()->addCommand(L"T_DIALOGS", L"tsettings", L"tsettings", ACRX_CMD_MODAL, runSettingsDialog);
    }
    void TearDown() override {
        acedRegCmds()->removeGroup(L"T_DIALOGS");
        resources.reset();
        EXPECT_TRUE(classlib::DialogDriver::dialogs().empty());
        HostFixture::TearDown();
    }
    int run(const std::string& script) {
        cadhost::Options options;
        std::istringstream in(script);
        cadhost::Session s(options, out, err);
        s.addInput(in, "dialogs.scr", true);
        s.attach();
        s.loop();
        const int status = s.exitStatus();
        s.finish();
        return status;
    }
    std::unique_ptr<TestResources> resources;
    std::ostringstream out, err;
};

TEST_F(CadhostDialogs, ScriptDrivesAModelessDialogAndItsDumpMatches) {
    const int status =
        run("tlist\n"
            "dlg select 1021 Gross Area\n"
            "dlg type 1021 !\n"
            "dlg click 1022\n"
            "yes\n"
            "dlg menu 32769\n"
            "dlg show\n");
    EXPECT_EQ(status, 0) << err.str();
    const std::string expected =
        "dialog 901 \"Lists\" modeless visible enabled active\n"
        "  menu 32768 \"&File/E&xit\"\n"
        "  menu 32769 \"&Tools/&Options\"\n"
        "  1020 list enabled visible sel -1 items 0\n"
        "  1021 combo \"Gross Area!\" enabled visible focus sel -1 items 2\n"
        "       [0] \"Rooms/Spaces\"\n"
        "       [1] \"Gross Area\"\n"
        "  1022 button \"Ask\" enabled visible\n"
        "  1023 button \"Delete\" enabled visible\n";
    const std::string text = out.str();
    // Shown when it opened, and again for "dlg show".
    EXPECT_NE(text.find("dlg show\n" + expected), std::string::npos) << text;
    EXPECT_NE(text.find("] Delete it?"), std::string::npos) << text;
    // The end of input cancelled the dialog, which deleted itself.
    EXPECT_NE(text.find("dialog 901 \"Lists\" closed\n"), std::string::npos) << text;
}

TEST_F(CadhostDialogs, ModalDialogTakesItsLinesAndRefusedActionsFailTheScript) {
    const int status =
        run("tsettings\n"
            "dlg set 1002 12\n"
            "dlg enter\n"
            "ok\n"
            "dlg click 9999\n"
            "dlg set 1002 4\n"
            "dlg enter\n");
    EXPECT_EQ(g_modalResult, IDOK);
    EXPECT_EQ(g_modalPrecision, 4);
    EXPECT_EQ(status, 1); // the missing control
    EXPECT_NE(err.str().find("dialog 900 has no control 9999"), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("Please enter an integer between 0 and 9."), std::string::npos) << out.str();
}

TEST_F(CadhostDialogs, EndOfInputCancelsAModalDialog) {
    EXPECT_EQ(run("tsettings\ndlg set 1002 5\n"), 0) << err.str();
    EXPECT_EQ(g_modalResult, IDCANCEL);
}

} // namespace
