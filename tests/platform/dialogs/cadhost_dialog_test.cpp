// A test-only dialog command run by cadhost from a script: the dialog actions, the message box raised by a
// handler and the dumps all go through the host's input and command line.
#include <sstream>

#include "DialogTestSupport.h"
#include "HostSession.h"
#include "cad/app/RxRegistry.h"
#include "cad/editor/EdInput.h"
#include "cad/editor/EdCodes.h"
#include "support/HostFixture.h"

using namespace dialogtest;

namespace {

// What the last list dialog had logged when it was cancelled.
std::vector<std::wstring> g_finalLog;

// Nobody keeps the dialog: it deletes itself when cancelled.
class ScriptListDialog : public ListDialog {
public:
    void OnCancel() override {
        ListDialog::OnCancel();
        g_finalLog = log;
        delete this;
    }
};

// The modeless list dialog the script works with, and what the test commands saw.
ScriptListDialog* g_live = nullptr;
std::wstring g_answer;
bool g_mainWasActive = false;
std::vector<std::wstring> g_pumped;

void openLiveDialog() {
    g_live = new ScriptListDialog;
    g_live->Create(IDD_LIST);
}

// A prompt while the dialog is open; the answer is kept.
void askSomething() {
    wchar_t text[133] = {};
    g_answer = acedGetString(1, L"\nName: ", text) == RTNORM ? text : L"<cancelled>";
}

void recordActive() {
    g_mainWasActive = CWnd::GetActiveWindow() == AfxGetMainWnd();
}

// Posts to the dialog and queues an action, then pumps as the module does while it waits.
void postAndPump() {
    g_live->PostMessage(pingMessage(), 3);
    classlib::DialogDriver::queue([] { g_pumped.push_back(L"queued action"); });
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE))
        if (!AfxGetThread()->PumpMessage()) break;
    g_pumped.insert(g_pumped.end(), g_live->log.begin(), g_live->log.end());
}

void postOnly() {
    g_live->PostMessage(pingMessage(), 4);
}

void recordLog() {
    g_pumped = g_live->log;
}

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
        acedRegCmds()->addCommand(L"T_DIALOGS", L"tlive", L"tlive", ACRX_CMD_MODAL, openLiveDialog);
        acedRegCmds()->addCommand(L"T_DIALOGS", L"task", L"task", ACRX_CMD_MODAL, askSomething);
        acedRegCmds()->addCommand(L"T_DIALOGS", L"tactive", L"tactive", ACRX_CMD_MODAL, recordActive);
        acedRegCmds()->addCommand(L"T_DIALOGS", L"tpump", L"tpump", ACRX_CMD_MODAL, postAndPump);
        acedRegCmds()->addCommand(L"T_DIALOGS", L"tpost", L"tpost", ACRX_CMD_MODAL, postOnly);
        acedRegCmds()->addCommand(L"T_DIALOGS", L"tlog", L"tlog", ACRX_CMD_MODAL, recordLog);
        g_live = nullptr;
        g_finalLog.clear();
        g_answer.clear();
        g_mainWasActive = false;
        g_pumped.clear();
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

TEST_F(CadhostDialogs, AModelessDialogStaysLiveWhileAPromptWaitsAndCommandsRun) {
    // The dialog action given while the prompt waits is carried out; the next line answers the prompt.
    const int status =
        run("tlive\n"
            "task\n"
            "dlg select 1021 Gross Area\n"
            "Kitchen\n"
            "dlg @901 select 1021 0\n");
    EXPECT_EQ(status, 0) << err.str();
    EXPECT_EQ(g_answer, L"Kitchen");
    const std::string text = out.str();
    EXPECT_NE(text.find("Name: dlg select 1021 Gross Area\nKitchen\n"), std::string::npos) << text;
    // The dialog took both choices: the one given at the prompt and the one given at the command line.
    EXPECT_EQ(g_finalLog, (std::vector<std::wstring>{L"combo selchange", L"combo selchange", L"cancel"}));
}

TEST_F(CadhostDialogs, TheMainWindowIsActiveWhenACommandRunsThoughADialogWas) {
    EXPECT_EQ(run("tlive\ndlg show\ntactive\n"), 0) << err.str();
    EXPECT_TRUE(g_mainWasActive) << out.str() << err.str();
    EXPECT_NE(out.str().find("dialog 901 \"Lists\" modeless visible enabled active\n"), std::string::npos) << out.str();
}

TEST_F(CadhostDialogs, PostedMessagesAndQueuedActionsReachTheModulesOwnPumping) {
    EXPECT_EQ(run("tlive\ntpump\n"), 0) << err.str();
    // Both ran inside the command's own loop; nothing was left for the command prompt.
    EXPECT_EQ(g_pumped, (std::vector<std::wstring>{L"queued action", L"ping 3"}));
}

TEST_F(CadhostDialogs, AMessagePostedByACommandIsDeliveredBeforeTheNextLine) {
    EXPECT_EQ(run("tlive\ntpost\ntlog\n"), 0) << err.str();
    EXPECT_EQ(g_pumped, (std::vector<std::wstring>{L"ping 4"}));
}

TEST_F(CadhostDialogs, EndOfInputCancelsAModalDialog) {
    EXPECT_EQ(run("tsettings\ndlg set 1002 5\n"), 0) << err.str();
    EXPECT_EQ(g_modalResult, IDCANCEL);
}

} // namespace
