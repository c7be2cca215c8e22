#pragma once
// Small dialogs of the tests' own, their resources, and a UI sink that answers message boxes from a queue.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "classlib/AfxWin.h"
#include "classlib/DialogDriver.h"

namespace dialogtest {

enum : UINT {
    IDD_SETTINGS = 900,
    IDD_LIST = 901,
    IDD_TABS = 902,
    IDD_PAGE_A = 903,
    IDD_PAGE_B = 904,
    IDD_PLAIN = 905,
    IDR_MENU = 950,
    IDC_NAME = 1001,
    IDC_PRECISION = 1002,
    IDC_ROTATION = 1003,
    IDC_DIGITS = 1004,
    IDC_METRES = 1010,
    IDC_FEET = 1011,
    IDC_FLAG = 1012,
    IDC_LIST = 1020,
    IDC_COMBO = 1021,
    IDC_ASK = 1022,
    IDC_DELETE = 1023,
    IDC_TAB = 1030,
    IDC_PAGE_EDIT = 1040,
    IDC_PAGE_BUTTON = 1041,
    ID_FILE_EXIT = 32768,
    ID_TOOLS_OPTIONS = 32769,
};

// A registered message the list dialog answers.
UINT pingMessage();

// Registers the tests' resources for the life of the object and restores the resource handle after.
class TestResources {
public:
    TestResources();
    ~TestResources();
    static HINSTANCE instance();
};

// Message boxes answered from a queue (IDOK when it is empty); file dialogs likewise.
struct RecordingSink : win::UiSink {
    std::vector<std::wstring> boxes; // "caption|text"
    std::deque<int> answers;
    std::deque<std::wstring> files; // empty text: cancel
    int messageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT) override;
    bool chooseFile(const win::FileDialogRequest& request, std::wstring& path) override;
    win::FileDialogRequest lastFileRequest;
};

// Installs the resources and the sink; after each test no dialog may be left open.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    TestResources resources;
    RecordingSink sink;
    win::UiSink* previous = nullptr;
};

// The settings dialog: text, numbers with range checks, radio group and check box.
class SettingsDialog : public CDialog {
public:
    SettingsDialog() : CDialog(IDD_SETTINGS) {}
    CString name;
    int precision = 2;
    double rotation = 0.0;
    int units = 0;
    int flag = 0;
    int nameChanges = 0;
    int cancels = 0;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnCancel() override;
    afx_msg void OnChangeName() { ++nameChanges; }
    DECLARE_MESSAGE_MAP()
};

// The list dialog: a sorted notifying list, a drop-down combo from the initialisation data, a button that asks
// a question, one that deletes the dialog, and a menu.
class ListDialog : public CDialog {
public:
    ListDialog() : CDialog(IDD_LIST) {}
    CListBox list;
    CComboBox combo;
    CButton deleteButton;
    std::vector<std::wstring> log;
    int* deletedFlag = nullptr;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnCancel() override;
    afx_msg void OnAsk();
    afx_msg void OnDelete();
    afx_msg void OnListSelChange() { log.push_back(L"list selchange"); }
    afx_msg void OnListDblClk();
    afx_msg void OnComboSelChange() { log.push_back(L"combo selchange"); }
    afx_msg void OnComboEditChange() { log.push_back(L"combo editchange"); }
    afx_msg void OnExit() { log.push_back(L"exit"); }
    afx_msg void OnOptions() { log.push_back(L"options"); }
    afx_msg LRESULT OnKeepFocus(WPARAM, LPARAM) { return TRUE; }
    afx_msg LRESULT OnPing(WPARAM w, LPARAM);
    afx_msg void OnClose();
    afx_msg void OnRButtonDown(UINT flags, CPoint point);
    DECLARE_MESSAGE_MAP()
};

// A tab control that switches its pages on a click, as a dialog's own subclass of the control does.
class PagedTabCtrl : public CTabCtrl {
public:
    PagedTabCtrl();
    ~PagedTabCtrl() override;
    CDialog* pages[2];
    int current = 0;
    int pageButtonClicks = 0;
    void init();
    afx_msg void OnLButtonDown(UINT flags, CPoint point);
    DECLARE_MESSAGE_MAP()
};

class TabsDialog : public CDialog {
public:
    TabsDialog() : CDialog(IDD_TABS) {}
    PagedTabCtrl tabs;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
};

// A page whose button counts its clicks in the tabs dialog.
class CountingPage : public CDialog {
public:
    explicit CountingPage(int* counter) : counter_(counter) {}
    afx_msg void OnButton() { ++*counter_; }
    DECLARE_MESSAGE_MAP()

private:
    int* counter_;
};

} // namespace dialogtest
