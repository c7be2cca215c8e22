#include "DialogTestSupport.h"
#include "win/Module.h"

using classlib::DialogDriver;
using namespace dialogtest;

namespace {

std::wstring text(CWnd* w) {
    CString s;
    w->GetWindowText(s);
    return s.GetString();
}

// Disables OK each time it is shown, as a dialog that waits for a pick does.
class ShowingDialog : public CDialog {
public:
    std::vector<std::wstring> log;
    afx_msg void OnShowWindow(BOOL show, UINT status) {
        CDialog::OnShowWindow(show, status);
        log.push_back(show ? L"show" : L"hide");
        if (show) GetDlgItem(IDOK)->EnableWindow(FALSE);
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ShowingDialog, CDialog)
ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

// Deletes itself when it ends, as a modeless dialog that nobody keeps a pointer to does.
class SelfDeletingDialog : public CDialog {
public:
    explicit SelfDeletingDialog(int* deleted) : CDialog(IDD_SETTINGS), deleted_(deleted) {}
    ~SelfDeletingDialog() override { ++*deleted_; }
    void OnOK() override {
        CDialog::OnOK();
        delete this;
    }
    void OnCancel() override {
        CDialog::OnCancel();
        delete this;
    }
    CEdit name;
    void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_NAME, name); }

private:
    int* deleted_;
};

// Opens a modal dialog from a menu command and keeps what it returned.
class OptionsOwner : public CDialog {
public:
    OptionsOwner() : CDialog(IDD_LIST) {}
    INT_PTR result = 0;
    int precision = -1;
    afx_msg void OnOptions() {
        SettingsDialog options;
        result = options.DoModal();
        precision = options.precision;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(OptionsOwner, CDialog)
ON_COMMAND(ID_TOOLS_OPTIONS, &OptionsOwner::OnOptions)
END_MESSAGE_MAP()

} // namespace

using ModelessLife = DialogTest;

TEST_F(ModelessLife, DialogsThatDeleteThemselvesOnOkCancelAndTheCloseBox) {
    int deleted = 0;
    auto* first = new SelfDeletingDialog(&deleted);
    ASSERT_TRUE(first->Create(IDD_SETTINGS));
    first->ShowWindow(SW_SHOWNORMAL);
    const HWND h1 = first->m_hWnd;
    first->GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
    first->SendMessage(WM_CLOSE); // no effect while Cancel is disabled
    EXPECT_EQ(deleted, 0);
    first->GetDlgItem(IDCANCEL)->EnableWindow(TRUE);
    ASSERT_TRUE(DialogDriver::close(h1));
    EXPECT_EQ(deleted, 1);
    EXPECT_FALSE(IsWindow(h1));

    auto* second = new SelfDeletingDialog(&deleted);
    ASSERT_TRUE(second->Create(IDD_SETTINGS));
    second->ShowWindow(SW_SHOWNORMAL);
    const HWND h2 = second->m_hWnd;
    ASSERT_TRUE(DialogDriver::enter(h2));
    EXPECT_EQ(deleted, 2);
    EXPECT_FALSE(IsWindow(h2));

    auto* third = new SelfDeletingDialog(&deleted);
    ASSERT_TRUE(third->Create(IDD_SETTINGS));
    third->ShowWindow(SW_SHOWNORMAL);
    ASSERT_TRUE(DialogDriver::click(third->m_hWnd, L"2"));
    EXPECT_EQ(deleted, 3);
    EXPECT_TRUE(DialogDriver::dialogs().empty());
}

TEST_F(ModelessLife, ModalDialogFromAMenuCommandOfAModelessOne) {
    OptionsOwner owner;
    ASSERT_TRUE(owner.Create(IDD_LIST));
    HWND seen = nullptr;
    DialogDriver::queue([&] { seen = DialogDriver::current(); });
    DialogDriver::queue([] { DialogDriver::setText(DialogDriver::current(), L"1002", L"6"); });
    DialogDriver::queue([] { DialogDriver::enter(DialogDriver::current()); });
    ASSERT_TRUE(DialogDriver::menu(owner.m_hWnd, ID_TOOLS_OPTIONS));
    EXPECT_EQ(owner.result, IDOK);
    EXPECT_EQ(owner.precision, 6);
    EXPECT_NE(seen, owner.m_hWnd);
    EXPECT_EQ(DialogDriver::current(), owner.m_hWnd); // back to the modeless dialog
    EXPECT_EQ(DialogDriver::dialogs().size(), 1u);
    owner.DestroyWindow();
}

TEST_F(ModelessLife, ShowWindowMessageOnlyWhenVisibilityChanges) {
    ShowingDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_PLAIN));
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"show"}));
    EXPECT_FALSE(dlg.GetDlgItem(IDOK)->IsWindowEnabled());
    dlg.ShowWindow(SW_SHOWNORMAL);
    dlg.ShowWindow(SW_SHOWMINIMIZED);
    dlg.ShowWindow(SW_RESTORE);
    EXPECT_EQ(dlg.log.size(), 1u);
    dlg.ShowWindow(SW_HIDE);
    dlg.ShowWindow(SW_HIDE);
    dlg.ShowWindow(SW_SHOWMINIMIZED);
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"show", L"hide", L"show"}));
    EXPECT_TRUE(dlg.IsIconic());
    EXPECT_TRUE(dlg.IsWindowVisible());
    dlg.DestroyWindow();
}

TEST_F(ModelessLife, CreateShowHideMinimiseRestoreAndDestroy) {
    auto* dlg = new ListDialog;
    ASSERT_TRUE(dlg->Create(IDD_LIST));
    EXPECT_TRUE(dlg->IsWindowVisible()); // the template says visible
    EXPECT_EQ(CWnd::GetActiveWindow(), dlg);
    EXPECT_EQ(text(dlg), L"Lists");

    dlg->ShowWindow(SW_SHOWMINIMIZED);
    EXPECT_TRUE(dlg->IsIconic());
    AfxGetMainWnd()->SetActiveWindow();
    EXPECT_EQ(CWnd::GetActiveWindow(), AfxGetMainWnd());
    dlg->ShowWindow(SW_RESTORE);
    EXPECT_FALSE(dlg->IsIconic());
    EXPECT_EQ(CWnd::GetActiveWindow(), dlg);

    dlg->ShowWindow(SW_HIDE);
    EXPECT_FALSE(dlg->IsWindowVisible());
    EXPECT_EQ(DialogDriver::current(), nullptr);

    // Ending a modeless dialog hides it; the window and the object live on until deleted.
    dlg->ShowWindow(SW_SHOWNORMAL);
    ASSERT_TRUE(DialogDriver::escape(dlg->m_hWnd));
    EXPECT_FALSE(dlg->IsWindowVisible());
    EXPECT_TRUE(IsWindow(dlg->m_hWnd));
    EXPECT_EQ(dlg->log.back(), L"cancel");

    const HWND h = dlg->m_hWnd;
    delete dlg;
    EXPECT_FALSE(IsWindow(h));
}

TEST_F(ModelessLife, MissingTemplateFailsAndUnregisteredModuleIsNotSearched) {
    CDialog dlg;
    EXPECT_FALSE(dlg.Create(4711));
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    AfxSetResourceHandle(nullptr);
    AfxUnregisterResources(TestResources::instance());
    EXPECT_FALSE(dlg.Create(IDD_LIST));
}

TEST_F(ModelessLife, ResourceOverrideFindsAnAttachedModuleAndRestoresTheHandle) {
    AFX_EXTENSION_MODULE module;
    AfxSetResourceHandle(nullptr);
    ASSERT_TRUE(AfxInitExtensionModule(module, TestResources::instance()));
    {
        CAcModuleResourceOverride over;
        EXPECT_EQ(AfxGetResourceHandle(), TestResources::instance());
    }
    EXPECT_EQ(AfxGetResourceHandle(), AfxGetInstanceHandle());
    // Found through the module's library on the search chain.
    auto* library = new CDynLinkLibrary(module);
    (void)library;
    EXPECT_NE(AfxFindDialogTemplate(IDD_LIST), nullptr);
    AfxTermExtensionModule(module);
    EXPECT_EQ(AfxFindDialogTemplate(IDD_LIST), nullptr);
}

TEST_F(ModelessLife, StringsComeFromTheCurrentModuleFirst) {
    static const RESOURCETABLE first{.strings = {{7, L"from the table"}}};
    HMODULE module = win::registerModule(L"C:\\CadHost\\strings-test.arx", {{7, L"module seven"}, {8, L"eight"}});
    AfxRegisterResources(module, &first);
    AfxSetResourceHandle(module);
    HINSTANCE found = nullptr;
    EXPECT_STREQ(AfxFindString(7, &found), L"from the table");
    EXPECT_EQ(found, module);
    EXPECT_STREQ(AfxFindString(8), L"eight");
    EXPECT_EQ(AfxFindString(9), nullptr);
    AfxSetResourceHandle(TestResources::instance());
    EXPECT_EQ(AfxFindString(7), nullptr); // that module is not on the search chain now
    AfxUnregisterResources(module);
    win::unregisterModule(module);
}

TEST_F(ModelessLife, HandlerThatDeletesItsOwnDialog) {
    auto* dlg = new ListDialog;
    int deleted = 0;
    dlg->deletedFlag = &deleted;
    ASSERT_TRUE(dlg->Create(IDD_LIST));
    const HWND h = dlg->m_hWnd;
    const HWND button = dlg->deleteButton.m_hWnd;
    ASSERT_TRUE(DialogDriver::click(h, L"1023"));
    EXPECT_EQ(deleted, 1);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(IsWindow(button));
    EXPECT_TRUE(DialogDriver::dialogs().empty());
}

using ModalLife = DialogTest;

TEST_F(ModalLife, QueuedActionsRunInTheModalLoop) {
    SettingsDialog dlg;
    dlg.name = L"Start";
    DialogDriver::queue([] { ASSERT_TRUE(DialogDriver::setText(DialogDriver::current(), L"1001", L"Ann")); });
    DialogDriver::queue([] { ASSERT_TRUE(DialogDriver::radio(DialogDriver::current(), L"1011")); });
    DialogDriver::queue([] { ASSERT_TRUE(DialogDriver::check(DialogDriver::current(), L"1012", true)); });
    DialogDriver::queue([] { ASSERT_TRUE(DialogDriver::enter(DialogDriver::current())); });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::wstring(dlg.name.GetString()), L"Ann");
    EXPECT_EQ(dlg.units, 1);
    EXPECT_EQ(dlg.flag, 1);
    EXPECT_EQ(dlg.m_hWnd, nullptr); // the window is gone once the loop returns
}

TEST_F(ModalLife, NothingLeftToDoCancelsTheDialogThroughOnCancel) {
    SettingsDialog dlg;
    int asked = 0;
    DialogDriver::setActionSource([&] {
        ++asked;
        return false;
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(dlg.cancels, 1);
}

TEST_F(ModalLife, HostActionSourceFeedsTheLoop) {
    SettingsDialog dlg;
    int step = 0;
    DialogDriver::setActionSource([&] {
        ++step;
        if (step == 1) return static_cast<bool>(DialogDriver::setText(DialogDriver::current(), L"1002", L"7"));
        if (step == 2) return static_cast<bool>(DialogDriver::enter(DialogDriver::current()));
        return false;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.precision, 7);
}

TEST_F(ModalLife, FailedCheckKeepsTheDialogOpenUntilCorrected) {
    SettingsDialog dlg;
    DialogDriver::queue([] { DialogDriver::setText(DialogDriver::current(), L"1002", L"12"); });
    DialogDriver::queue([] { DialogDriver::enter(DialogDriver::current()); });
    DialogDriver::queue([] { DialogDriver::setText(DialogDriver::current(), L"1002", L"3"); });
    DialogDriver::queue([] { DialogDriver::enter(DialogDriver::current()); });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.precision, 3);
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0], L"Tests|Please enter an integer between 0 and 9.");
}

using DataExchange = DialogTest;

TEST_F(DataExchange, MembersToControlsAndBackWithTheLibraryFormats) {
    SettingsDialog dlg;
    dlg.name = L"Room";
    dlg.precision = 4;
    dlg.rotation = 0.1;
    dlg.units = 1;
    dlg.flag = 1;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_NAME)), L"Room");
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_PRECISION)), L"4");
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_ROTATION)), L"0.1");
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_METRES), 0u);
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_FEET), 1u);
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_FLAG), 1u);

    dlg.rotation = 250.0;
    dlg.UpdateData(FALSE);
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_ROTATION)), L"250");
    dlg.rotation = 1.0 / 3.0;
    dlg.UpdateData(FALSE);
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_ROTATION)), L"0.333333333333333");

    dlg.SetDlgItemText(IDC_ROTATION, L" 359 ");
    dlg.SetDlgItemText(IDC_PRECISION, L"0");
    EXPECT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_DOUBLE_EQ(dlg.rotation, 359.0);
    EXPECT_EQ(dlg.precision, 0);
    EXPECT_TRUE(sink.boxes.empty());
    dlg.DestroyWindow();
}

TEST_F(DataExchange, FailingRangeCheckStoresTheEarlierFieldsFocusesTheControlAndSaysWhy) {
    SettingsDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    dlg.SetDlgItemText(IDC_NAME, L"Bob");
    dlg.SetDlgItemText(IDC_PRECISION, L"5");
    dlg.SetDlgItemText(IDC_ROTATION, L"360");
    dlg.CheckRadioButton(IDC_METRES, IDC_FEET, IDC_FEET);
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    ASSERT_EQ(sink.boxes.size(), 1u);
    EXPECT_EQ(sink.boxes[0], L"Tests|Please enter a number between 0 and 359.");
    EXPECT_EQ(CWnd::GetFocus(), dlg.GetDlgItem(IDC_ROTATION));
    int start = -1, end = -1;
    static_cast<CEdit*>(dlg.GetDlgItem(IDC_ROTATION))->GetSel(start, end);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(end, 3);
    // Fields before the failing one were stored; the rest were not.
    EXPECT_EQ(std::wstring(dlg.name.GetString()), L"Bob");
    EXPECT_EQ(dlg.precision, 5);
    EXPECT_DOUBLE_EQ(dlg.rotation, 360.0); // the value read, as the library leaves it
    EXPECT_EQ(dlg.units, 0);
    dlg.DestroyWindow();
}

TEST_F(DataExchange, TextThatIsNoNumberIsRefusedWithTheLibraryMessage) {
    SettingsDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    for (const wchar_t* bad : {L"", L"abc", L"1.5", L"3x", L"-0"}) {
        sink.boxes.clear();
        dlg.SetDlgItemText(IDC_PRECISION, bad);
        EXPECT_FALSE(dlg.UpdateData(TRUE)) << bad;
        ASSERT_EQ(sink.boxes.size(), 1u);
        EXPECT_EQ(sink.boxes[0], L"Tests|Please enter an integer.");
    }
    dlg.SetDlgItemText(IDC_PRECISION, L"2");
    for (const wchar_t* bad : {L"", L"1.2.5", L"nan", L"inf", L"0x10", L"-0.0", L".0", L"1e999"}) {
        sink.boxes.clear();
        dlg.SetDlgItemText(IDC_ROTATION, bad);
        EXPECT_FALSE(dlg.UpdateData(TRUE)) << bad;
        ASSERT_EQ(sink.boxes.size(), 1u);
        EXPECT_EQ(sink.boxes[0], L"Tests|Please enter a number.");
    }
    dlg.DestroyWindow();
}

TEST_F(DataExchange, MaxCharsLimitsTypingAndRefusesLongerText) {
    struct Limited : CDialog {
        Limited() : CDialog(IDD_SETTINGS) {}
        CString name = L"ab";
        void DoDataExchange(CDataExchange* pDX) override {
            DDX_Text(pDX, IDC_NAME, name);
            DDV_MaxChars(pDX, name, 3);
        }
    } dlg;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    dlg.ShowWindow(SW_SHOW);
    auto r = DialogDriver::typeText(dlg.m_hWnd, L"1001", L"cde");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_NAME)), L"abc");
    EXPECT_EQ(r.message, L"control 1001 refused 2 character(s)");
    dlg.SetDlgItemText(IDC_NAME, L"abcdef"); // code is not limited
    EXPECT_FALSE(dlg.UpdateData(TRUE));
    EXPECT_EQ(sink.boxes.back(), L"Tests|Please enter no more than 3 characters.");
    dlg.DestroyWindow();
}

using EditNotifications = DialogTest;

TEST_F(EditNotifications, OnePerTypedCharacterOnceWhenSetAndNoneWhenUnchanged) {
    SettingsDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(DialogDriver::typeText(dlg.m_hWnd, L"1001", L"abc"));
    EXPECT_EQ(dlg.nameChanges, 3);
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_NAME)), L"abc");

    dlg.nameChanges = 0;
    dlg.GetDlgItem(IDC_NAME)->SetWindowText(L"abd");
    EXPECT_EQ(dlg.nameChanges, 1);
    dlg.GetDlgItem(IDC_NAME)->SetWindowText(L"abd");
    EXPECT_EQ(dlg.nameChanges, 1);
    ASSERT_TRUE(DialogDriver::setText(dlg.m_hWnd, L"1001", L"xyz"));
    EXPECT_EQ(dlg.nameChanges, 2);

    // The dialog's own data exchange does not notify it of the texts it puts in.
    dlg.name = L"other";
    dlg.UpdateData(FALSE);
    EXPECT_EQ(dlg.nameChanges, 2);
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_NAME)), L"other");
    dlg.DestroyWindow();
}

TEST_F(EditNotifications, DigitsOnlyRefusesTypedNonDigitsButNotCode) {
    SettingsDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    dlg.ShowWindow(SW_SHOW);
    dlg.SetDlgItemText(IDC_DIGITS, L"");
    auto r = DialogDriver::typeText(dlg.m_hWnd, L"1004", L"1.5a2");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_DIGITS)), L"152");
    EXPECT_EQ(r.message, L"control 1004 refused 2 character(s)");
    dlg.SetDlgItemText(IDC_DIGITS, L"1.25");
    EXPECT_EQ(text(dlg.GetDlgItem(IDC_DIGITS)), L"1.25");

    static_cast<CEdit*>(dlg.GetDlgItem(IDC_DIGITS))->SetReadOnly(TRUE);
    r = DialogDriver::typeText(dlg.m_hWnd, L"1004", L"9");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"control 1004 is read-only");
    dlg.DestroyWindow();
}

using Controls = DialogTest;

TEST_F(Controls, RadioGroupKeepsOneButtonChecked) {
    SettingsDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    dlg.ShowWindow(SW_SHOW);
    ASSERT_TRUE(DialogDriver::radio(dlg.m_hWnd, L"1011"));
    EXPECT_EQ(dlg.GetCheckedRadioButton(IDC_METRES, IDC_FEET), IDC_FEET);
    ASSERT_TRUE(DialogDriver::radio(dlg.m_hWnd, L"1010"));
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_FEET), 0u);
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_METRES), 1u);
    // The check box starts the next group: choosing a radio does not touch it.
    ASSERT_TRUE(DialogDriver::check(dlg.m_hWnd, L"1012", true));
    ASSERT_TRUE(DialogDriver::radio(dlg.m_hWnd, L"1011"));
    EXPECT_EQ(dlg.IsDlgButtonChecked(IDC_FLAG), 1u);
    EXPECT_TRUE(dlg.UpdateData(TRUE));
    EXPECT_EQ(dlg.units, 1);

    EXPECT_FALSE(DialogDriver::radio(dlg.m_hWnd, L"1012"));
    EXPECT_FALSE(DialogDriver::check(dlg.m_hWnd, L"1011", true));
    dlg.DestroyWindow();
}

TEST_F(Controls, TabClickSwitchesPages) {
    TabsDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_TABS));
    CDialog* a = dlg.tabs.pages[0];
    CDialog* b = dlg.tabs.pages[1];
    EXPECT_TRUE(a->IsWindowVisible());
    EXPECT_FALSE(b->IsWindowVisible());
    CRect ra, rb, item, client;
    a->GetWindowRect(&ra);
    b->GetWindowRect(&rb);
    EXPECT_EQ(ra, rb);
    dlg.tabs.GetItemRect(0, &item);
    dlg.tabs.GetClientRect(&client);
    CRect pageInTab;
    a->GetWindowRect(&pageInTab);
    dlg.tabs.ScreenToClient(&pageInTab);
    EXPECT_EQ(pageInTab.top, item.bottom + 1);
    EXPECT_EQ(pageInTab.right, client.right - 1);

    // The same id on both pages: the visible page's control is the one acted on.
    ASSERT_TRUE(DialogDriver::setText(dlg.m_hWnd, L"1040", L"on a"));
    EXPECT_EQ(text(a->GetDlgItem(IDC_PAGE_EDIT)), L"on a");

    ASSERT_TRUE(DialogDriver::tab(dlg.m_hWnd, L"1030", 1));
    EXPECT_FALSE(a->IsWindowVisible());
    EXPECT_TRUE(b->IsWindowVisible());
    EXPECT_EQ(dlg.tabs.GetCurSel(), 1);
    EXPECT_EQ(CWnd::GetFocus(), b->GetDlgItem(IDC_PAGE_EDIT)); // the page passes the focus on
    ASSERT_TRUE(DialogDriver::setText(dlg.m_hWnd, L"1040", L"on b"));
    EXPECT_EQ(text(b->GetDlgItem(IDC_PAGE_EDIT)), L"on b");
    EXPECT_EQ(text(a->GetDlgItem(IDC_PAGE_EDIT)), L"on a");

    // Controls of the hidden page are refused, unless forced or named by page.
    auto r = DialogDriver::click(dlg.m_hWnd, L"1041");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"control 1041 is hidden");
    EXPECT_FALSE(DialogDriver::click(dlg.m_hWnd, L"903/1041"));
    EXPECT_TRUE(DialogDriver::click(dlg.m_hWnd, L"903/1041", true));
    EXPECT_EQ(dlg.tabs.pageButtonClicks, 1);

    // Clicking the current tab changes nothing.
    ASSERT_TRUE(DialogDriver::tab(dlg.m_hWnd, L"1030", 1));
    EXPECT_TRUE(b->IsWindowVisible());
    EXPECT_FALSE(DialogDriver::tab(dlg.m_hWnd, L"1030", 2));
    dlg.DestroyWindow();
}

TEST_F(Controls, ComboItemsFromInitialisationDataAndTypedTextMeansNoSelection) {
    ListDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_LIST));
    ASSERT_EQ(dlg.combo.GetCount(), 2);
    CString item;
    dlg.combo.GetLBText(1, item);
    EXPECT_EQ(std::wstring(item.GetString()), L"Gross Area");
    EXPECT_EQ(dlg.combo.GetCurSel(), -1);

    ASSERT_TRUE(DialogDriver::select(dlg.m_hWnd, L"1021", L"gross"));
    EXPECT_EQ(dlg.combo.GetCurSel(), 1);
    EXPECT_EQ(text(&dlg.combo), L"Gross Area");
    ASSERT_TRUE(DialogDriver::typeText(dlg.m_hWnd, L"1021", L"x"));
    EXPECT_EQ(dlg.combo.GetCurSel(), -1);
    EXPECT_EQ(text(&dlg.combo), L"Gross Areax");
    ASSERT_TRUE(DialogDriver::setText(dlg.m_hWnd, L"1021", L"Typed"));
    EXPECT_EQ(dlg.combo.GetCurSel(), -1);
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"combo selchange", L"combo editchange", L"combo editchange"}));

    // Code selecting an item raises no notification.
    dlg.combo.SetCurSel(0);
    EXPECT_EQ(text(&dlg.combo), L"Rooms/Spaces");
    EXPECT_EQ(dlg.log.size(), 3u);
    dlg.DestroyWindow();
}

TEST_F(Controls, SortedListKeepsEqualTextsInTheOrderAdded) {
    ListDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_LIST));
    const wchar_t* texts[] = {L"beta", L"Alpha", L"beta", L"alpha", L"Room 10", L"Room 1"};
    for (int i = 0; i < 6; ++i) dlg.list.SetItemData(dlg.list.AddString(texts[i]), static_cast<DWORD_PTR>(i));
    std::vector<std::wstring> order;
    std::vector<DWORD_PTR> data;
    for (int i = 0; i < dlg.list.GetCount(); ++i) {
        CString t;
        dlg.list.GetText(i, t);
        order.push_back(t.GetString());
        data.push_back(dlg.list.GetItemData(i));
    }
    EXPECT_EQ(order, (std::vector<std::wstring>{L"Alpha", L"alpha", L"beta", L"beta", L"Room 1", L"Room 10"}));
    EXPECT_EQ(data, (std::vector<DWORD_PTR>{1, 3, 0, 2, 5, 4}));

    ASSERT_TRUE(DialogDriver::doubleClick(dlg.m_hWnd, L"1020", L"3"));
    EXPECT_EQ(dlg.list.GetCurSel(), 3);
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"list selchange", L"dblclk beta"}));
    EXPECT_EQ(dlg.list.FindStringExact(-1, L"ROOM 1"), 4);
    EXPECT_EQ(dlg.list.FindString(4, L"room"), 5);
    EXPECT_EQ(dlg.list.FindString(-1, L"zeta"), LB_ERR);
    dlg.list.DeleteString(0);
    EXPECT_EQ(dlg.list.GetCurSel(), 2);
    dlg.DestroyWindow();
}

using Closing = DialogTest;

TEST_F(Closing, EscapeAndTheCloseBoxReachOnCancel) {
    ListDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_LIST));
    ASSERT_TRUE(DialogDriver::escape(dlg.m_hWnd));
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"cancel"}));
    dlg.ShowWindow(SW_SHOWNORMAL);
    ASSERT_TRUE(DialogDriver::close(dlg.m_hWnd));
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"cancel", L"close", L"cancel"}));
    EXPECT_FALSE(dlg.IsWindowVisible());

    // Exit posts the close message; it is handled after the action.
    dlg.ShowWindow(SW_SHOWNORMAL);
    dlg.PostMessage(WM_CLOSE);
    EXPECT_EQ(dlg.log.size(), 3u);
    DialogDriver::runPosted();
    EXPECT_EQ(dlg.log.size(), 5u);
    dlg.DestroyWindow();
}

TEST_F(Closing, DisabledCancelButtonBlocksTheCloseBoxAndEscape) {
    SettingsDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_SETTINGS));
    dlg.ShowWindow(SW_SHOW);
    dlg.GetDlgItem(IDCANCEL)->EnableWindow(FALSE);
    dlg.SendMessage(WM_CLOSE);
    EXPECT_EQ(dlg.cancels, 0);
    auto r = DialogDriver::escape(dlg.m_hWnd);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"Cancel (control 2) is disabled");
    EXPECT_TRUE(dlg.IsWindowVisible());
    dlg.GetDlgItem(IDCANCEL)->EnableWindow(TRUE);
    dlg.SendMessage(WM_CLOSE);
    EXPECT_EQ(dlg.cancels, 1);
    dlg.DestroyWindow();
}

using Messages = DialogTest;

TEST_F(Messages, MessageBoxInAHandlerIsAnsweredFromTheQueue) {
    ListDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_LIST));
    sink.answers = {IDNO, IDYES};
    ASSERT_TRUE(DialogDriver::click(dlg.m_hWnd, L"1022"));
    ASSERT_TRUE(DialogDriver::click(dlg.m_hWnd, L"1022"));
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"ask no", L"ask yes"}));
    EXPECT_EQ(sink.boxes, (std::vector<std::wstring>{L"Tests|Delete it?", L"Tests|Delete it?"}));
    sink.answers = {IDYES};
    EXPECT_EQ(dlg.MessageBox(L"Room Name already exists.", L"Duplicate Space Name", MB_YESNO), IDYES);
    EXPECT_EQ(dlg.MessageBox(L"No caption"), IDOK);
    EXPECT_EQ(sink.boxes[2], L"Duplicate Space Name|Room Name already exists.");
    EXPECT_EQ(sink.boxes[3], L"Tests|No caption");
    dlg.DestroyWindow();
}

TEST_F(Messages, MenuCustomMessageMouseAndUnhandledCommands) {
    ListDialog dlg;
    ASSERT_TRUE(dlg.Create(IDD_LIST));
    ASSERT_TRUE(DialogDriver::menu(dlg.m_hWnd, ID_TOOLS_OPTIONS));
    auto r = DialogDriver::menu(dlg.m_hWnd, 32770);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, L"dialog 901 has no menu command 32770");
    EXPECT_EQ(dlg.SendMessage(WM_ACAD_KEEPFOCUS), TRUE);
    dlg.SendMessage(WM_RBUTTONDOWN, 0, MAKELPARAM(12, 34));
    EXPECT_EQ(dlg.log, (std::vector<std::wstring>{L"options", L"rbutton 12,34"}));
    // A command nobody maps falls through; IDOK reaches the base OK handling, which ends the dialog.
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(4242, BN_CLICKED), 0);
    dlg.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_FALSE(dlg.IsWindowVisible());

    const UINT ping = RegisterWindowMessageW(L"KelmoTestPing");
    EXPECT_EQ(ping, pingMessage());
    EXPECT_GE(ping, 0xC000u);
    EXPECT_EQ(dlg.SendMessage(ping, 5), 7);
    EXPECT_EQ(dlg.log.back(), L"ping 5");
    dlg.DestroyWindow();
}
