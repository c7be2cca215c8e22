#include "DialogTestSupport.h"

namespace dialogtest {

namespace {

char g_instanceTag;

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const RESOURCETABLE& table() {
    static const RESOURCETABLE t{
        .dialogs =
            {
                {.id = IDD_SETTINGS,
                 .caption = L"Settings",
                 .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME,
                 .cx = 200,
                 .cy = 120,
                 .items =
                     {
                         {WC_STATIC, IDC_STATIC, L"Name", kChild, 5, 5, 40, 8},
                         {WC_EDIT, IDC_NAME, L"", kChild | WS_TABSTOP | WS_BORDER, 50, 5, 100, 12},
                         {WC_EDIT, IDC_PRECISION, L"", kChild | WS_TABSTOP | ES_NUMBER, 50, 20, 30, 12},
                         {WC_EDIT, IDC_ROTATION, L"", kChild | WS_TABSTOP, 50, 35, 30, 12},
                         {WC_EDIT, IDC_DIGITS, L"", kChild | WS_TABSTOP | ES_NUMBER, 50, 50, 30, 12},
                         {WC_BUTTON, IDC_METRES, L"m", kChild | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 5, 65, 20,
                          10},
                         {WC_BUTTON, IDC_FEET, L"ft", kChild | BS_AUTORADIOBUTTON, 30, 65, 20, 10},
                         {WC_BUTTON, IDC_FLAG, L"Flag", kChild | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 5, 80, 40,
                          10},
                         {WC_BUTTON, IDOK, L"OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 90, 100, 50, 14},
                         {WC_BUTTON, IDCANCEL, L"Cancel", kChild | WS_TABSTOP, 145, 100, 50, 14},
                     }},
                {.id = IDD_LIST,
                 .caption = L"Lists",
                 .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                 .cx = 150,
                 .cy = 100,
                 .menuId = IDR_MENU,
                 .items =
                     {
                         {WC_LISTBOX, IDC_LIST, L"", kChild | LBS_SORT | LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP, 5, 5, 80,
                          60},
                         {WC_COMBOBOX, IDC_COMBO, L"", kChild | CBS_DROPDOWN | WS_TABSTOP, 90, 5, 55, 40},
                         {WC_BUTTON, IDC_ASK, L"Ask", kChild | WS_TABSTOP, 90, 25, 50, 14},
                         {WC_BUTTON, IDC_DELETE, L"Delete", kChild | WS_TABSTOP, 90, 45, 50, 14},
                     }},
                {.id = IDD_TABS,
                 .caption = L"Tabs",
                 .style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                 .cx = 200,
                 .cy = 150,
                 .items =
                     {
                         {WC_TABCONTROL, IDC_TAB, L"", kChild | TCS_FIXEDWIDTH | WS_TABSTOP, 5, 5, 190, 120},
                         {WC_BUTTON, IDOK, L"OK", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 145, 130, 50, 14},
                     }},
                {.id = IDD_PAGE_A,
                 .style = WS_CHILD | DS_CONTROL,
                 .cx = 180,
                 .cy = 90,
                 .items =
                     {
                         {WC_EDIT, IDC_PAGE_EDIT, L"a", kChild | WS_TABSTOP, 5, 5, 60, 12},
                         {WC_BUTTON, IDC_PAGE_BUTTON, L"Recalc", kChild | WS_TABSTOP, 70, 5, 40, 12},
                     }},
                {.id = IDD_PAGE_B,
                 .style = WS_CHILD | DS_CONTROL,
                 .cx = 180,
                 .cy = 90,
                 .items =
                     {
                         {WC_EDIT, IDC_PAGE_EDIT, L"b", kChild | WS_TABSTOP, 5, 5, 60, 12},
                     }},
                {.id = IDD_PLAIN,
                 .caption = L"Plain",
                 .style = WS_POPUP | WS_CAPTION | WS_VISIBLE,
                 .cx = 100,
                 .cy = 40,
                 .items =
                     {
                         {WC_BUTTON, IDOK, L"OK", kChild | BS_DEFPUSHBUTTON, 5, 5, 40, 14},
                     }},
            },
        .menus = {{IDR_MENU,
                   {
                       {L"&File", 0, {{L"E&xit", ID_FILE_EXIT, {}}}},
                       {L"&Tools", 0, {{L"&Options", ID_TOOLS_OPTIONS, {}}}},
                   }}},
        .dialogInits = {{IDD_LIST, IDC_COMBO, {L"Rooms/Spaces", L"Gross Area"}}},
        .strings = {},
    };
    return t;
}

} // namespace

TestResources::TestResources() {
    AfxRegisterResources(instance(), &table());
    AfxSetResourceHandle(instance());
}

TestResources::~TestResources() {
    AfxSetResourceHandle(nullptr);
    AfxUnregisterResources(instance());
}

HINSTANCE TestResources::instance() {
    return &g_instanceTag;
}

int RecordingSink::messageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT) {
    boxes.push_back(caption + L"|" + text);
    if (answers.empty()) return IDOK;
    const int a = answers.front();
    answers.pop_front();
    return a;
}

bool RecordingSink::chooseFile(const win::FileDialogRequest& request, std::wstring& path) {
    lastFileRequest = request;
    if (files.empty()) return false;
    path = files.front();
    files.pop_front();
    return !path.empty();
}

void DialogTest::SetUp() {
    previous = win::setUiSink(&sink);
    win::setApplicationName(L"Tests");
}

void DialogTest::TearDown() {
    classlib::DialogDriver::clearQueue();
    classlib::DialogDriver::setActionSource(nullptr);
    classlib::DialogDriver::runPosted();
    EXPECT_TRUE(classlib::DialogDriver::dialogs().empty()) << "a dialog was left open";
    win::setUiSink(previous);
}

// ---- settings dialog ----

BEGIN_MESSAGE_MAP(SettingsDialog, CDialog)
ON_EN_CHANGE(IDC_NAME, &SettingsDialog::OnChangeName)
END_MESSAGE_MAP()

void SettingsDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_NAME, name);
    DDX_Text(pDX, IDC_PRECISION, precision);
    DDV_MinMaxInt(pDX, precision, 0, 9);
    DDX_Text(pDX, IDC_ROTATION, rotation);
    DDV_MinMaxDouble(pDX, rotation, 0.0, 359.0);
    DDX_Radio(pDX, IDC_METRES, units);
    DDX_Check(pDX, IDC_FLAG, flag);
}

void SettingsDialog::OnCancel() {
    ++cancels;
    CDialog::OnCancel();
}

// ---- list dialog ----

UINT pingMessage() {
    static UINT id = RegisterWindowMessageW(L"KelmoTestPing");
    return id;
}

static const UINT g_ping = pingMessage();

BEGIN_MESSAGE_MAP(ListDialog, CDialog)
ON_BN_CLICKED(IDC_ASK, &ListDialog::OnAsk)
ON_BN_CLICKED(IDC_DELETE, &ListDialog::OnDelete)
ON_LBN_SELCHANGE(IDC_LIST, &ListDialog::OnListSelChange)
ON_LBN_DBLCLK(IDC_LIST, &ListDialog::OnListDblClk)
ON_CBN_SELCHANGE(IDC_COMBO, &ListDialog::OnComboSelChange)
ON_CBN_EDITCHANGE(IDC_COMBO, &ListDialog::OnComboEditChange)
ON_COMMAND(ID_FILE_EXIT, &ListDialog::OnExit)
ON_COMMAND(ID_TOOLS_OPTIONS, &ListDialog::OnOptions)
ON_MESSAGE(WM_ACAD_KEEPFOCUS, &ListDialog::OnKeepFocus)
ON_WM_CLOSE()
ON_WM_RBUTTONDOWN()
ON_REGISTERED_MESSAGE(g_ping, &ListDialog::OnPing)
END_MESSAGE_MAP()

void ListDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LIST, list);
    DDX_Control(pDX, IDC_COMBO, combo);
    DDX_Control(pDX, IDC_DELETE, deleteButton);
}

void ListDialog::OnCancel() {
    log.push_back(L"cancel");
    CDialog::OnCancel();
}

void ListDialog::OnAsk() {
    const int answer = AfxMessageBox(L"Delete it?", MB_YESNO | MB_ICONQUESTION);
    log.push_back(answer == IDYES ? L"ask yes" : answer == IDNO ? L"ask no" : L"ask other");
}

void ListDialog::OnDelete() {
    int* flag = deletedFlag;
    delete this;
    if (flag) *flag = 1;
}

void ListDialog::OnListDblClk() {
    CString text;
    list.GetText(list.GetCurSel(), text);
    log.push_back(L"dblclk " + std::wstring(text.GetString()));
}

LRESULT ListDialog::OnPing(WPARAM w, LPARAM) {
    log.push_back(L"ping " + std::to_wstring(w));
    return 7;
}

void ListDialog::OnClose() {
    log.push_back(L"close");
    CDialog::OnClose();
}

void ListDialog::OnRButtonDown(UINT flags, CPoint point) {
    log.push_back(L"rbutton " + std::to_wstring(point.x) + L"," + std::to_wstring(point.y));
    CDialog::OnRButtonDown(flags, point);
}

// ---- tabs ----

BEGIN_MESSAGE_MAP(PagedTabCtrl, CTabCtrl)
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

BEGIN_MESSAGE_MAP(CountingPage, CDialog)
ON_BN_CLICKED(IDC_PAGE_BUTTON, &CountingPage::OnButton)
END_MESSAGE_MAP()

PagedTabCtrl::PagedTabCtrl() {
    pages[0] = new CountingPage(&pageButtonClicks);
    pages[1] = new CDialog;
}

PagedTabCtrl::~PagedTabCtrl() {
    delete pages[0];
    delete pages[1];
}

void PagedTabCtrl::init() {
    current = 0;
    pages[0]->Create(IDD_PAGE_A, this);
    pages[1]->Create(IDD_PAGE_B, this);
    CRect client, item;
    GetClientRect(&client);
    GetItemRect(0, &item);
    const int left = item.left, top = item.bottom + 1;
    pages[0]->SetWindowPos(&wndTop, left, top, client.right - left - 1, client.bottom - top - 1, SWP_SHOWWINDOW);
    pages[1]->SetWindowPos(&wndTop, left, top, client.right - left - 1, client.bottom - top - 1, SWP_HIDEWINDOW);
}

void PagedTabCtrl::OnLButtonDown(UINT flags, CPoint point) {
    CTabCtrl::OnLButtonDown(flags, point);
    const int focus = GetCurFocus();
    if (focus != current) {
        pages[current]->ShowWindow(SW_HIDE);
        current = focus;
        pages[current]->ShowWindow(SW_SHOW);
        pages[current]->SetFocus();
    }
}

void TabsDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TAB, tabs);
}

BOOL TabsDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    tabs.InsertItem(0, L"Space Data");
    tabs.InsertItem(1, L"Format");
    tabs.init();
    return TRUE;
}

} // namespace dialogtest
