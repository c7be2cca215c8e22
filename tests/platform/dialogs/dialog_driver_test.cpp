#include <sstream>

#include "DialogCommands.h"
#include "DialogTestSupport.h"

using classlib::DialogDriver;
using namespace dialogtest;

using Driver = DialogTest;

TEST_F(Driver, DumpShowsEveryControlWithItsStateItemsAndMenu) {
    ListDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_LIST));
    dlg.list.AddString(L"Room 2");
    dlg.list.AddString((std::wstring(L"Room 1") + std::wstring(200, L' ') + L"2A").c_str());
    dlg.list.SetCurSel(1);
    dlg.GetDlgItem(IDC_ASK)->EnableWindow(FALSE);
    dlg.deleteButton.ShowWindow(SW_HIDE);
    EXPECT_EQ(DialogDriver::dump(dlg.m_hWnd),
              L"dialog 901 \"Lists\" modeless visible enabled active\n"
              L"  menu 32768 \"&File/E&xit\"\n"
              L"  menu 32769 \"&Tools/&Options\"\n"
              L"  1020 list enabled visible focus sel 1 items 2\n"
              L"       [0] \"Room 1{200 blanks}2A\"\n"
              L"      *[1] \"Room 2\"\n"
              L"  1021 combo \"\" enabled visible sel -1 items 2\n"
              L"       [0] \"Rooms/Spaces\"\n"
              L"       [1] \"Gross Area\"\n"
              L"  1022 button \"Ask\" disabled visible\n"
              L"  1023 button \"Delete\" enabled hidden\n");
    dlg.DestroyWindow();
}

TEST_F(Driver, DumpNestsPagesUnderTheirTabControlAndMarksChecks) {
    TabsDialog tabs;
    ASSERT_TRUE(tabs.Create(IDD_TABS));
    EXPECT_EQ(DialogDriver::dump(tabs.m_hWnd),
              L"dialog 902 \"Tabs\" modeless visible enabled active\n"
              L"  1030 tab enabled visible focus current 0 focus-item 0 items 2\n"
              L"      *[0] \"Space Data\"\n"
              L"       [1] \"Format\"\n"
              L"    page 903 \"\" enabled visible\n"
              L"      1040 edit \"a\" enabled visible\n"
              L"      1041 button \"Recalc\" enabled visible\n"
              L"    page 904 \"\" enabled hidden\n"
              L"      1040 edit \"b\" enabled visible\n"
              L"  1 default-button \"OK\" enabled visible\n");
    tabs.DestroyWindow();

    SettingsDialog settings;
    settings.units = 1;
    ASSERT_TRUE(settings.Create(IDD_SETTINGS));
    const std::wstring dump = DialogDriver::dump(settings.m_hWnd);
    EXPECT_NE(dump.find(L"dialog 900 \"Settings\" modeless hidden enabled\n"), std::wstring::npos) << dump;
    EXPECT_NE(dump.find(L"  - static \"Name\" enabled visible\n"), std::wstring::npos);
    EXPECT_NE(dump.find(L"  1002 edit \"2\" enabled visible digits\n"), std::wstring::npos);
    EXPECT_NE(dump.find(L"  1010 radio \"m\" enabled visible unchecked\n"), std::wstring::npos);
    EXPECT_NE(dump.find(L"  1011 radio \"ft\" enabled visible checked\n"), std::wstring::npos);
    EXPECT_NE(dump.find(L"  1012 checkbox \"Flag\" enabled visible unchecked\n"), std::wstring::npos);
    settings.DestroyWindow();
}

TEST_F(Driver, ListFindAndCurrentFollowVisibilityAndActivation) {
    ListDialog list;
    SettingsDialog settings;
    ASSERT_TRUE(list.Create(IDD_LIST));
    ASSERT_TRUE(settings.Create(IDD_SETTINGS)); // created hidden
    EXPECT_EQ(DialogDriver::current(), list.m_hWnd);
    EXPECT_EQ(DialogDriver::find(L"900"), settings.m_hWnd);
    EXPECT_EQ(DialogDriver::find(L"lists"), list.m_hWnd);
    EXPECT_EQ(DialogDriver::find(L"nothing"), nullptr);
    settings.ShowWindow(SW_SHOWNORMAL);
    EXPECT_EQ(DialogDriver::current(), settings.m_hWnd);
    EXPECT_EQ(DialogDriver::list(),
              L"* 900 \"Settings\" modeless visible active\n"
              L"  901 \"Lists\" modeless visible\n");
    // Minimised for a pick in the drawing: the host window is active, the dialog is still current.
    settings.ShowWindow(SW_SHOWMINIMIZED);
    AfxGetMainWnd()->SetActiveWindow();
    EXPECT_EQ(DialogDriver::current(), settings.m_hWnd);
    settings.DestroyWindow();
    list.DestroyWindow();
}

TEST_F(Driver, HiddenDisabledOrMinimisedTargetsAreRefusedUnlessForced) {
    ListDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_LIST));
    dlg.GetDlgItem(IDC_ASK)->EnableWindow(FALSE);
    auto r = DialogDriver::click(dlg.m_hWnd, L"1022");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"control 1022 is disabled");
    EXPECT_TRUE(sink.boxes.empty());
    ASSERT_TRUE(DialogDriver::click(dlg.m_hWnd, L"1022", true));
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"ask other"}));
    EXPECT_FALSE(dlg.GetDlgItem(IDC_ASK)->IsWindowEnabled()); // forcing does not enable it

    dlg.ShowWindow(SW_SHOWMINIMIZED);
    r = DialogDriver::select(dlg.m_hWnd, L"1021", L"0");
    EXPECT_EQ(r.message, L"dialog 901 is minimised");
    dlg.ShowWindow(SW_HIDE);
    r = DialogDriver::escape(dlg.m_hWnd);
    EXPECT_EQ(r.message, L"dialog 901 is hidden");
    dlg.ShowWindow(SW_SHOWNORMAL);

    r = DialogDriver::click(dlg.m_hWnd, L"9999");
    EXPECT_EQ(r.message, L"dialog 901 has no control 9999");
    r = DialogDriver::click(dlg.m_hWnd, L"1020");
    EXPECT_EQ(r.message, L"control 1020 is not a button");
    r = DialogDriver::select(dlg.m_hWnd, L"1021", L"7");
    EXPECT_EQ(r.message, L"control 1021 has no item 7 (2 items)");
    r = DialogDriver::select(dlg.m_hWnd, L"1021", L"Lobby");
    EXPECT_EQ(r.message, L"control 1021 has no item \"Lobby\"");
    r = DialogDriver::doubleClick(dlg.m_hWnd, L"1021", L"0");
    EXPECT_EQ(r.message, L"control 1021 is not a list box");

    CDialog plain;
    ASSERT_TRUE(plain.Create(IDD_PLAIN));
    r = DialogDriver::close(plain.m_hWnd);
    EXPECT_EQ(r.message, L"dialog 905 has no close box");
    r = DialogDriver::menu(plain.m_hWnd, ID_FILE_EXIT);
    EXPECT_EQ(r.message, L"dialog 905 has no menu");
    plain.GetDlgItem(IDOK)->EnableWindow(FALSE);
    r = DialogDriver::enter(plain.m_hWnd);
    EXPECT_EQ(r.message, L"the default button (control 1) is disabled");
    plain.DestroyWindow();
    dlg.DestroyWindow();
}

TEST_F(Driver, AHandlerFailureIsReportedNotThrownThrough) {
    struct Throwing : CDialog {
        void OnOK() override { throw std::runtime_error("boom"); }
    } dlg;
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    auto r = DialogDriver::enter(dlg.m_hWnd);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"a handler failed: boom");
    EXPECT_TRUE(dlg.IsWindowVisible());
    dlg.DestroyWindow();
}

TEST_F(Driver, FileDialogIsAnsweredThroughTheSink) {
    CFileDialog open(TRUE, nullptr, nullptr, OFN_READONLY, L"XML Graphic Reports (*.xml)|*.xml||");
    open.m_ofn.lpstrTitle = L"Pick a report";
    open.m_ofn.lpstrInitialDir = L"C:\\reports";
    sink.files = {L"C:\\reports\\floor 1.xml", L""};
    ASSERT_EQ(open.DoModal(), IDOK);
    EXPECT_EQ(std::wstring(open.GetPathName().GetString()), L"C:\\reports\\floor 1.xml");
    EXPECT_EQ(std::wstring(open.GetFileName().GetString()), L"floor 1.xml");
    EXPECT_EQ(std::wstring(open.GetFileExt().GetString()), L"xml");
    EXPECT_EQ(std::wstring(open.GetFileTitle().GetString()), L"floor 1");
    EXPECT_TRUE(sink.lastFileRequest.open);
    EXPECT_EQ(sink.lastFileRequest.title, L"Pick a report");
    EXPECT_EQ(sink.lastFileRequest.initialFolder, L"C:\\reports");
    EXPECT_EQ(sink.lastFileRequest.filter, L"XML Graphic Reports (*.xml)|*.xml||");
    EXPECT_EQ(open.DoModal(), IDCANCEL);
    EXPECT_EQ(std::wstring(open.GetPathName().GetString()), L"");
}

using DialogLines = DialogTest;

TEST_F(DialogLines, ActionsDumpsAndErrors) {
    auto* dlg = new ListDialog;
    ASSERT_TRUE(dlg->Create(IDD_LIST));
    std::ostringstream out;
    EXPECT_FALSE(cadhost::runDialogLine(L"LINE 0,0", out).handled);
    EXPECT_TRUE(cadhost::runDialogLine(L"dlg select 1021 Gross Area", out).ok());
    EXPECT_EQ(dlg->combo.GetCurSel(), 1);
    EXPECT_TRUE(cadhost::runDialogLine(L"dlg @901 set 1021 \"  two blanks\"\r\n", out).ok());
    CString text;
    dlg->combo.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()), L"  two blanks");
    EXPECT_TRUE(cadhost::runDialogLine(L"dlg @Lists type 1021 !", out).ok());
    dlg->combo.GetWindowText(text);
    EXPECT_EQ(std::wstring(text.GetString()), L"  two blanks!");
    EXPECT_TRUE(cadhost::runDialogLine("dlg menu 32768", out).ok());
    EXPECT_EQ(dlg->log.back(), L"exit");

    auto r = cadhost::runDialogLine(L"dlg @\"No Such\" click 1", out);
    EXPECT_EQ(r.error, L"no open dialog is named No Such");
    r = cadhost::runDialogLine(L"dlg check 1021 2", out);
    EXPECT_EQ(r.error, L"dlg check needs 0 or 1");
    r = cadhost::runDialogLine(L"dlg wave", out);
    EXPECT_EQ(r.error, L"unknown dialog action \"wave\"");
    r = cadhost::runDialogLine(L"dlg click", out);
    EXPECT_EQ(r.error, L"dlg click needs a control id");

    dlg->GetDlgItem(IDC_ASK)->EnableWindow(FALSE);
    r = cadhost::runDialogLine(L"dlg click 1022", out);
    EXPECT_EQ(r.error, L"control 1022 is disabled");
    EXPECT_TRUE(cadhost::runDialogLine(L"dlg force click 1022", out).ok());

    out.str("");
    EXPECT_TRUE(cadhost::runDialogLine(L"dlg list", out).ok());
    EXPECT_EQ(out.str(), "* 901 \"Lists\" modeless visible active\n");
    out.str("");
    EXPECT_TRUE(cadhost::runDialogLine(L"dlg show", out).ok());
    EXPECT_EQ(out.str().rfind("dialog 901 \"Lists\" modeless visible enabled active\n", 0), 0u);

    // The delete button removes the dialog; afterwards nothing is open.
    EXPECT_TRUE(cadhost::runDialogLine(L"dlg click 1023", out).ok());
    r = cadhost::runDialogLine(L"dlg show", out);
    EXPECT_EQ(r.error, L"no dialog is open");
    out.str("");
    EXPECT_TRUE(cadhost::runDialogLine(L"dlg list", out).ok());
    EXPECT_EQ(out.str(), "no dialogs are open\n");
}

TEST_F(DialogLines, EchoPrintsDumpsOnVisibilityChangesAndEndOfInputCancels) {
    std::ostringstream echo;
    cadhost::echoDialogs(&echo);
    auto* dlg = new ListDialog;
    ASSERT_TRUE(dlg->Create(IDD_LIST));
    EXPECT_EQ(echo.str().rfind("dialog 901 \"Lists\" modeless visible enabled active\n", 0), 0u) << echo.str();
    echo.str("");
    dlg->ShowWindow(SW_SHOWMINIMIZED);
    EXPECT_EQ(echo.str().rfind("dialog 901 \"Lists\" modeless minimised", 0), 0u) << echo.str();
    echo.str("");
    dlg->ShowWindow(SW_SHOWMINIMIZED); // no change, nothing printed
    EXPECT_EQ(echo.str(), "");

    SettingsDialog settings;
    ASSERT_TRUE(settings.Create(IDD_SETTINGS));
    EXPECT_EQ(echo.str(), ""); // created hidden
    settings.ShowWindow(SW_SHOW);
    cadhost::cancelOpenDialogs();
    EXPECT_EQ(settings.cancels, 1);
    EXPECT_EQ(dlg->log.back(), L"cancel");
    EXPECT_FALSE(settings.IsWindowVisible());
    echo.str("");
    delete dlg;
    EXPECT_EQ(echo.str(), "dialog 901 \"Lists\" closed\n");
    cadhost::echoDialogs(nullptr);
    settings.DestroyWindow();
}

TEST_F(DialogLines, ScriptLinesDriveAModalDialogAndItsMessageBox) {
    // As cadhost does: the modal loop takes one input line at a time.
    std::vector<std::wstring> script = {L"dlg set 1001 Hall", L"dlg set 1002 12", L"dlg enter",
                                        L"dlg set 1002 4",    L"dlg radio 1011",  L"dlg enter"};
    size_t next = 0;
    std::ostringstream out;
    std::vector<std::wstring> errors;
    DialogDriver::setActionSource([&] {
        if (next == script.size()) return false;
        auto r = cadhost::runDialogLine(script[next++], out);
        if (!r.ok()) errors.push_back(r.error);
        return true;
    });
    SettingsDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(next, script.size());
    EXPECT_EQ(std::wstring(dlg.name.GetString()), L"Hall");
    EXPECT_EQ(dlg.precision, 4);
    EXPECT_EQ(dlg.units, 1);
    EXPECT_EQ(sink.boxes, (std::vector<std::wstring>{L"Tests|Please enter an integer between 0 and 9."}));
}

TEST_F(DialogLines, EndOfScriptCancelsAModalDialogAndThreadPumpRunsPendingWork) {
    DialogDriver::setActionSource([] { return false; });
    SettingsDialog dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.cancels, 1);

    ListDialog list;
    ASSERT_TRUE(list.Create(IDD_LIST));
    list.PostMessage(WM_COMMAND, MAKEWPARAM(ID_TOOLS_OPTIONS, 0), 0);
    DialogDriver::queue([&] { list.log.push_back(L"queued"); });
    EXPECT_TRUE(AfxGetThread()->PumpMessage());
    EXPECT_TRUE(AfxGetThread()->PumpMessage());
    EXPECT_EQ(list.log, (std::vector<std::wstring>{L"options", L"queued"}));
    EXPECT_FALSE(DialogDriver::hasPending());
    list.DestroyWindow();
}
