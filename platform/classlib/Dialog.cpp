#include "classlib/Dialog.h"

using classlib::detail::WndKind;
using classlib::detail::WndState;

namespace classlib::detail {

RECT dialogUnitsToPixels(int x, int y, int cx, int cy) {
    // Base units of the 8-point dialog font: 6 by 13 pixels for 4 by 8 dialog units.
    auto px = [](int v) { return (v * 6 + (v >= 0 ? 2 : -2)) / 4; };
    auto py = [](int v) { return (v * 13 + (v >= 0 ? 4 : -4)) / 8; };
    return RECT{px(x), py(y), px(x) + px(cx), py(y) + py(cy)};
}

} // namespace classlib::detail

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
END_MESSAGE_MAP()

CDialog::CDialog() = default;

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() = default;

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    return createFromTemplate(nIDTemplate, pParentWnd, false);
}

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd) {
    // Templates are numbered; "#210" names template 210.
    if (!lpszTemplateName || lpszTemplateName[0] != L'#') return FALSE;
    return Create(static_cast<UINT>(std::wcstoul(lpszTemplateName + 1, nullptr, 10)), pParentWnd);
}

BOOL CDialog::createFromTemplate(UINT nIDTemplate, CWnd* pParentWnd, bool modal) {
    if (m_hWnd) return FALSE;
    HINSTANCE instance = nullptr;
    const DLGTEMPLATEDEF* t = AfxFindDialogTemplate(nIDTemplate, &instance);
    if (!t) return FALSE;
    m_nIDTemplate = nIDTemplate;
    if (pParentWnd) m_pParentWnd = pParentWnd;
    const bool showAtEnd = modal || (t->style & WS_VISIBLE);
    DWORD style = t->style & ~WS_VISIBLE;
    if (modal) style &= ~WS_CHILD;
    WndState* parent = (style & WS_CHILD) && pParentWnd ? pParentWnd->state() : nullptr;
    if (!parent) style &= ~WS_CHILD;
    WndState* s =
        classlib::detail::createWindow(WndKind::Dialog, L"#32770", t->caption ? t->caption : L"", style, 0,
                                       classlib::detail::dialogUnitsToPixels(t->x, t->y, t->cx, t->cy), parent);
    s->templateId = nIDTemplate;
    s->resourceInstance = instance;
    s->menuId = t->menuId;
    s->modal = modal;
    for (const DLGITEMDEF& item : t->items) {
        const std::wstring cls = item.className ? item.className : L"";
        WndState* c = classlib::detail::createWindow(
            classlib::detail::kindOfClass(cls), cls, item.text ? item.text : L"", item.style | WS_CHILD, item.id,
            classlib::detail::dialogUnitsToPixels(item.x, item.y, item.cx, item.cy), s);
        if (c->kind == WndKind::Button && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) s->defId = item.id;
        if (c->kind == WndKind::Edit) c->selStart = c->selEnd = static_cast<int>(c->text.size());
    }
    Attach(s->handle);

    const HWND h = m_hWnd;
    const LRESULT wantsFocus = SendMessage(WM_INITDIALOG, 0, 0);
    WndState* after = classlib::detail::stateOf(h);
    if (!after) return FALSE;
    if (wantsFocus && !after->focusChild && !(after->style & WS_CHILD)) {
        for (WndState* c : after->children)
            if ((c->style & WS_VISIBLE) && !(c->style & WS_DISABLED) && (c->style & WS_TABSTOP)) {
                after->focusChild = c->handle;
                break;
            }
    }
    classlib::detail::raiseWindowEvent(h, "created");
    if (showAtEnd && classlib::detail::stateOf(h)) CWnd::FromHandle(h)->ShowWindow(SW_SHOWNORMAL);
    return classlib::detail::stateOf(h) ? TRUE : FALSE;
}

INT_PTR CDialog::DoModal() {
    if (!createFromTemplate(m_nIDTemplate, m_pParentWnd, true)) return -1;
    const HWND h = m_hWnd;
    for (;;) {
        WndState* s = classlib::detail::stateOf(h);
        if (!s || s->endRequested) break;
        if (!classlib::detail::runOneModalStep()) {
            // Nobody is left to answer: the dialog is cancelled, by its own handling where it allows it.
            ::SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            if (WndState* still = classlib::detail::stateOf(h); still && !still->endRequested) {
                still->endRequested = true;
                still->result = IDCANCEL;
            }
        }
    }
    WndState* s = classlib::detail::stateOf(h);
    const INT_PTR result = s ? s->result : IDCANCEL;
    if (s) {
        ShowWindow(SW_HIDE);
        DestroyWindow();
    }
    return result;
}

void CDialog::EndDialog(int nResult) {
    WndState* s = state();
    if (!s) return;
    s->result = nResult;
    if (s->modal)
        s->endRequested = true;
    else
        ShowWindow(SW_HIDE);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

BOOL CDialog::ExecuteDlgInit() {
    WndState* s = state();
    if (!s) return FALSE;
    const auto children = s->children;
    for (WndState* c : children) {
        if (c->kind != WndKind::ComboBox && c->kind != WndKind::ListBox) continue;
        const UINT add = c->kind == WndKind::ComboBox ? CB_ADDSTRING : LB_ADDSTRING;
        for (const wchar_t* text : AfxFindDialogInit(s->resourceInstance, s->templateId, c->id))
            ::SendMessageW(c->handle, add, 0, reinterpret_cast<LPARAM>(text));
    }
    return TRUE;
}

BOOL CDialog::OnInitDialog() {
    ExecuteDlgInit();
    if (!UpdateData(FALSE)) {
        EndDialog(-1);
        return FALSE;
    }
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::SetDefID(UINT nID) {
    SendMessage(DM_SETDEFID, nID);
}

DWORD CDialog::GetDefID() const {
    return static_cast<DWORD>(const_cast<CDialog*>(this)->SendMessage(DM_GETDEFID));
}

void CDialog::GotoDlgCtrl(CWnd* pWndCtrl) {
    if (pWndCtrl) pWndCtrl->SetFocus();
}

namespace {

void moveFocus(const CDialog* dlg, int step) {
    WndState* s = dlg->state();
    if (!s) return;
    std::vector<WndState*> stops;
    for (WndState* c : s->children)
        if ((c->style & WS_VISIBLE) && !(c->style & WS_DISABLED) && (c->style & WS_TABSTOP)) stops.push_back(c);
    if (stops.empty()) return;
    const HWND focus = GetFocus();
    int at = -1;
    for (size_t i = 0; i < stops.size(); ++i)
        if (stops[i]->handle == focus) at = static_cast<int>(i);
    const int n = static_cast<int>(stops.size());
    const int next = at < 0 ? 0 : ((at + step) % n + n) % n;
    CWnd::FromHandle(stops[static_cast<size_t>(next)]->handle)->SetFocus();
}

} // namespace

void CDialog::NextDlgCtrl() const {
    moveFocus(this, 1);
}

void CDialog::PrevDlgCtrl() const {
    moveFocus(this, -1);
}
