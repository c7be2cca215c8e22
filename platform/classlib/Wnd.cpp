#include "classlib/Wnd.h"

#include <algorithm>
#include <deque>
#include <map>

#include "classlib/Controls.h"
#include "classlib/DataExchange.h"
#include "classlib/Dialog.h"
#include "win/UiSink.h"

using classlib::detail::WndKind;
using classlib::detail::WndState;

const CWnd wndTop;
const CWnd wndBottom;
const CWnd wndTopMost;
const CWnd wndNoTopMost;

namespace {

struct PostedMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct CurrentMessage {
    HWND hWnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// Never destroyed: windows may outlive static destruction order.
struct Registry {
    std::map<UINT_PTR, WndState*> windows;
    UINT_PTR nextHandle = 0x10010;
    std::vector<WndState*> topLevels; // z-order, top first
    std::vector<WndState*> graveyard; // destroyed, freed when no message is being handled
    int depth = 0;
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND lockout = nullptr; // the window whose control notifications are ignored during data exchange
    std::deque<PostedMessage> posted;
    std::vector<CurrentMessage> current;
    std::map<std::wstring, UINT> registered;
    classlib::detail::WindowEventHook hook = nullptr;
    CWnd* mainWnd = nullptr;
};

Registry& reg() {
    static Registry* r = new Registry;
    return *r;
}

void flushGraveyard() {
    auto dead = std::move(reg().graveyard);
    reg().graveyard.clear();
    for (WndState* s : dead) delete s;
}

struct DispatchGuard {
    DispatchGuard() { ++reg().depth; }
    ~DispatchGuard() {
        if (--reg().depth == 0 && !reg().graveyard.empty()) flushGraveyard();
    }
    DispatchGuard(const DispatchGuard&) = delete;
    DispatchGuard& operator=(const DispatchGuard&) = delete;
};

WndState* topLevelOf(WndState* s) {
    while (s && s->parent && !s->isTopLevel()) s = s->parent;
    return s;
}

bool isInside(const WndState* s, const WndState* ancestor) {
    for (; s; s = s->parent)
        if (s == ancestor) return true;
    return false;
}

bool isDialog(const WndState* s) {
    return s && s->kind == WndKind::Dialog;
}

// First control that takes the focus on its own: visible, enabled, tab stop, depth first.
WndState* firstTabStop(WndState* s) {
    for (WndState* c : s->children) {
        if (!(c->style & WS_VISIBLE) || (c->style & WS_DISABLED)) continue;
        if (c->kind == WndKind::Dialog || c->kind == WndKind::Tab || c->kind == WndKind::Other) {
            if (c->style & WS_TABSTOP) return c;
            if (WndState* inner = firstTabStop(c)) return inner;
            continue;
        }
        if (c->style & WS_TABSTOP) return c;
    }
    return nullptr;
}

void setFocusState(WndState* s) {
    reg().focus = s ? s->handle : nullptr;
    if (s)
        if (WndState* top = topLevelOf(s); top && top != s) top->focusChild = s->handle;
}

void activate(WndState* top) {
    if (!top || top->destroyed) return;
    reg().active = top->handle;
    auto& z = reg().topLevels;
    z.erase(std::remove(z.begin(), z.end(), top), z.end());
    z.insert(z.begin(), top);
    WndState* focus = classlib::detail::stateOf(reg().focus);
    if (!focus || !isInside(focus, top)) {
        WndState* restore = classlib::detail::stateOf(top->focusChild);
        if (!restore || !isInside(restore, top)) restore = firstTabStop(top);
        setFocusState(restore ? restore : top);
    }
}

// After a top-level window goes away or is hidden, the next visible one down the z-order becomes active.
void deactivate(WndState* top) {
    if (reg().active != top->handle) return;
    reg().active = nullptr;
    for (WndState* w : reg().topLevels)
        if (w != top && !w->destroyed && (w->style & WS_VISIBLE) && !(w->style & WS_MINIMIZE)) {
            activate(w);
            return;
        }
    if (WndState* f = classlib::detail::stateOf(reg().focus); f && isInside(f, top)) reg().focus = nullptr;
}

void destroyState(WndState* s) {
    if (s->destroyed) return;
    const auto kids = s->children;
    for (WndState* k : kids) destroyState(k);
    if (isDialog(s) && s->isTopLevel()) classlib::detail::raiseWindowEvent(s->handle, "closed");
    s->destroyed = true;
    if (s->isTopLevel()) deactivate(s);
    if (reg().focus == s->handle) reg().focus = nullptr;
    if (reg().lockout == s->handle) reg().lockout = nullptr;
    if (s->parent) {
        auto& sib = s->parent->children;
        sib.erase(std::remove(sib.begin(), sib.end(), s), sib.end());
    }
    auto& z = reg().topLevels;
    z.erase(std::remove(z.begin(), z.end(), s), z.end());
    reg().windows.erase(reinterpret_cast<UINT_PTR>(s->handle));
    if (s->object) {
        s->object->m_hWnd = nullptr;
        s->object = nullptr;
    }
    if (s->wrapper) s->wrapper->m_hWnd = nullptr;
    reg().graveyard.push_back(s);
    if (reg().depth == 0) flushGraveyard();
}

LRESULT dialogDefProc(WndState* s, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE: {
            // The close box means Cancel, unless a disabled Cancel button says otherwise.
            HWND cancel = nullptr;
            for (WndState* c : s->children)
                if (c->id == IDCANCEL) {
                    if (c->style & WS_DISABLED) return 0;
                    cancel = c->handle;
                    break;
                }
            ::SendMessageW(s->handle, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
            return 0;
        }
        case DM_GETDEFID:
            return MAKELONG(s->defId, DC_HASDEFID);
        case DM_SETDEFID:
            s->defId = static_cast<int>(wParam);
            return TRUE;
        case WM_SETTEXT:
            s->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            return TRUE;
        default:
            return 0;
    }
}

LRESULT defProc(WndState* s, UINT message, WPARAM wParam, LPARAM lParam) {
    if (s->destroyed) return 0;
    if (message == WM_GETTEXT) {
        if (wParam == 0 || !lParam) return 0;
        auto* buf = reinterpret_cast<LPWSTR>(lParam);
        const size_t n = std::min<size_t>(s->text.size(), static_cast<size_t>(wParam) - 1);
        std::copy_n(s->text.data(), n, buf);
        buf[n] = L'\0';
        return static_cast<LRESULT>(n);
    }
    if (message == WM_GETTEXTLENGTH) return static_cast<LRESULT>(s->text.size());
    if (s->kind == WndKind::Dialog) return dialogDefProc(s, message, wParam, lParam);
    bool handled = false;
    LRESULT r = classlib::detail::controlProc(s, message, wParam, lParam, handled);
    if (handled) return r;
    switch (message) {
        case WM_SETTEXT:
            s->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
            return TRUE;
        case WM_CLOSE:
            if (s->isTopLevel() && s->kind != WndKind::Frame) destroyState(s);
            return 0;
        default:
            return 0;
    }
}

LRESULT dispatch(WndState* s, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!s || s->destroyed) return 0;
    DispatchGuard guard;
    if (s->object) return s->object->WindowProc(message, wParam, lParam);
    return defProc(s, message, wParam, lParam);
}

RECT screenOrigin(const WndState* s) {
    RECT r{0, 0, 0, 0};
    for (const WndState* p = s; p; p = p->parent) {
        r.left += p->rect.left;
        r.top += p->rect.top;
    }
    return r;
}

} // namespace

namespace classlib::detail {

WndState* stateOf(HWND hWnd) {
    if (!hWnd) return nullptr;
    auto it = reg().windows.find(reinterpret_cast<UINT_PTR>(hWnd));
    return it == reg().windows.end() ? nullptr : it->second;
}

WndKind kindOfClass(const std::wstring& className) {
    std::wstring c;
    for (wchar_t ch : className) c += static_cast<wchar_t>(std::towlower(ch));
    if (c == L"button") return WndKind::Button;
    if (c == L"static") return WndKind::Static;
    if (c == L"edit") return WndKind::Edit;
    if (c == L"combobox") return WndKind::ComboBox;
    if (c == L"listbox") return WndKind::ListBox;
    if (c == L"systabcontrol32") return WndKind::Tab;
    if (c == L"#32770" || c == L"dialog") return WndKind::Dialog;
    return WndKind::Other;
}

WndState* createWindow(WndKind kind, const std::wstring& className, const std::wstring& text, DWORD style, int id,
                       const RECT& rect, WndState* parent) {
    auto* s = new WndState;
    s->handle = reinterpret_cast<HWND>(reg().nextHandle);
    reg().nextHandle += 4;
    s->kind = kind;
    s->className = className;
    s->text = text;
    s->style = style;
    s->id = id;
    s->rect = rect;
    s->parent = parent;
    reg().windows[reinterpret_cast<UINT_PTR>(s->handle)] = s;
    if (parent) parent->children.push_back(s);
    if (s->isTopLevel()) reg().topLevels.push_back(s);
    return s;
}

void notifyParent(WndState* s, UINT code) {
    if (!s || s->destroyed || !s->parent) return;
    ::SendMessageW(s->parent->handle, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(s->id) & 0xffff, code),
                   reinterpret_cast<LPARAM>(s->handle));
}

std::vector<WndState*> topLevelWindows() {
    return reg().topLevels;
}

bool reallyVisible(const WndState* s) {
    for (; s; s = s->parent) {
        if (!(s->style & WS_VISIBLE)) return false;
        if (s->isTopLevel()) break;
    }
    return s != nullptr;
}

bool reallyEnabled(const WndState* s) {
    for (; s; s = s->parent) {
        if (s->style & WS_DISABLED) return false;
        if (s->isTopLevel()) break;
    }
    return true;
}

void setWindowEventHook(WindowEventHook hook) {
    reg().hook = hook;
}

void raiseWindowEvent(HWND hWnd, const char* event) {
    if (reg().hook) reg().hook(hWnd, event);
}

bool hasPostedMessages() {
    return !reg().posted.empty();
}

bool dispatchOnePostedMessage() {
    if (reg().posted.empty()) return false;
    PostedMessage m = reg().posted.front();
    reg().posted.pop_front();
    if (WndState* s = stateOf(m.hWnd)) dispatch(s, m.message, m.wParam, m.lParam);
    return true;
}

} // namespace classlib::detail

// ---- Windows API ----------------------------------------------------------------------------------------------

LRESULT SendMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return dispatch(classlib::detail::stateOf(hWnd), msg, wParam, lParam);
}

BOOL PostMessageW(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!classlib::detail::stateOf(hWnd)) return FALSE;
    reg().posted.push_back({hWnd, msg, wParam, lParam});
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    return classlib::detail::stateOf(hWnd) != nullptr;
}

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!name || !*name) return 0;
    auto& m = reg().registered;
    auto it = m.find(name);
    if (it != m.end()) return it->second;
    const UINT id = 0xC000 + static_cast<UINT>(m.size());
    m.emplace(name, id);
    return id;
}

HWND GetActiveWindow() {
    return reg().active;
}

HWND GetFocus() {
    return reg().focus;
}

// ---- message maps -------------------------------------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const {
    return GetThisMessageMap();
}

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr, nullptr}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

// ---- CWnd ---------------------------------------------------------------------------------------------------

CWnd::CWnd() = default;

CWnd::~CWnd() {
    if (WndState* s = classlib::detail::stateOf(m_hWnd); s && s->object == this) destroyState(s);
    m_hWnd = nullptr;
}

WndState* CWnd::state() const {
    return classlib::detail::stateOf(m_hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    WndState* s = classlib::detail::stateOf(hWnd);
    return s ? s->object : nullptr;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    WndState* s = classlib::detail::stateOf(hWnd);
    if (!s) return nullptr;
    if (s->object) return s->object;
    if (!s->wrapper) {
        s->wrapper.reset(classlib::detail::makeWrapper(s->kind));
        s->wrapper->m_hWnd = hWnd;
    }
    return s->wrapper.get();
}

BOOL CWnd::Attach(HWND hWnd) {
    WndState* s = classlib::detail::stateOf(hWnd);
    if (!s || (s->object && s->object != this) || (m_hWnd && m_hWnd != hWnd)) return FALSE;
    s->object = this;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND h = m_hWnd;
    if (WndState* s = state(); s && s->object == this) s->object = nullptr;
    m_hWnd = nullptr;
    return h;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    return Attach(hWnd);
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    if (!pParent) return FALSE;
    CWnd* item = pParent->GetDlgItem(static_cast<int>(nID));
    return item ? Attach(item->m_hWnd) : FALSE;
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                  UINT nID) {
    if (m_hWnd) return FALSE;
    const std::wstring cls = lpszClassName ? lpszClassName : L"";
    WndState* parent = pParentWnd ? pParentWnd->state() : nullptr;
    WndState* s =
        classlib::detail::createWindow(classlib::detail::kindOfClass(cls), cls, lpszWindowName ? lpszWindowName : L"",
                                       dwStyle, static_cast<int>(nID), rect, parent);
    return Attach(s->handle);
}

BOOL CWnd::DestroyWindow() {
    WndState* s = state();
    if (!s) return FALSE;
    destroyState(s);
    return TRUE;
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    WndState* s = state();
    if (!s) return FALSE;
    const HWND h = s->handle;
    const bool wasVisible = (s->style & WS_VISIBLE) != 0;
    const bool wasIconic = (s->style & WS_MINIMIZE) != 0;
    bool visible = true;
    bool iconic = wasIconic;
    bool activateIt = false;
    switch (nCmdShow) {
        case SW_HIDE:
            visible = false;
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case SW_SHOWDEFAULT:
        case SW_SHOWMAXIMIZED:
            iconic = false;
            activateIt = true;
            break;
        case SW_SHOWNOACTIVATE:
            iconic = false;
            break;
        case SW_SHOW:
            activateIt = true;
            break;
        case SW_SHOWNA:
            break;
        case SW_SHOWMINIMIZED:
            iconic = true;
            activateIt = true;
            break;
        case SW_MINIMIZE:
        case SW_SHOWMINNOACTIVE:
            iconic = true;
            break;
        default:
            return wasVisible;
    }
    if (visible != wasVisible) {
        ::SendMessageW(h, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
        s = classlib::detail::stateOf(h); // the handler may have destroyed it
        if (!s) return wasVisible;
    }
    s->style = visible ? (s->style | WS_VISIBLE) : (s->style & ~WS_VISIBLE);
    s->style = iconic ? (s->style | WS_MINIMIZE) : (s->style & ~WS_MINIMIZE);
    if (s->isTopLevel()) {
        if (!visible || (iconic && !activateIt))
            deactivate(s);
        else if (activateIt)
            activate(s);
    } else if (!visible) {
        if (WndState* f = classlib::detail::stateOf(reg().focus); f && isInside(f, s)) reg().focus = nullptr;
    }
    if (isDialog(s) && s->isTopLevel() && (visible != wasVisible || iconic != wasIconic))
        classlib::detail::raiseWindowEvent(h, !visible     ? "hidden"
                                              : iconic     ? "minimised"
                                              : wasVisible ? "restored"
                                                           : "shown");
    return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
    const WndState* s = state();
    return s && classlib::detail::reallyVisible(s);
}

BOOL CWnd::IsIconic() const {
    const WndState* s = state();
    return s && (s->style & WS_MINIMIZE);
}

BOOL CWnd::IsZoomed() const {
    const WndState* s = state();
    return s && (s->style & WS_MAXIMIZE);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    WndState* s = state();
    if (!s) return FALSE;
    const BOOL wasDisabled = (s->style & WS_DISABLED) ? TRUE : FALSE;
    if (bEnable) {
        s->style &= ~WS_DISABLED;
    } else {
        s->style |= WS_DISABLED;
        if (WndState* f = classlib::detail::stateOf(reg().focus); f && isInside(f, s)) reg().focus = nullptr;
    }
    return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    const WndState* s = state();
    return s && !(s->style & WS_DISABLED);
}

CWnd* CWnd::SetFocus() {
    CWnd* previous = FromHandle(reg().focus);
    WndState* s = state();
    if (!s) return previous;
    if (WndState* top = topLevelOf(s); top && reg().active != top->handle && (top->style & WS_VISIBLE)) activate(top);
    if (s->kind == WndKind::Dialog && !s->children.empty()) {
        // A dialog passes the focus on to its first control that takes it, as the dialog manager does.
        WndState* inner = firstTabStop(s);
        if (inner) s = inner;
    }
    setFocusState(s);
    return previous;
}

CWnd* CWnd::GetFocus() {
    return FromHandle(reg().focus);
}

CWnd* CWnd::SetActiveWindow() {
    CWnd* previous = FromHandle(reg().active);
    if (WndState* top = topLevelOf(state())) activate(top);
    return previous;
}

CWnd* CWnd::GetActiveWindow() {
    if (!reg().active) return AfxGetMainWnd();
    return FromHandle(reg().active);
}

BOOL CWnd::SetForegroundWindow() {
    WndState* top = topLevelOf(state());
    if (!top) return FALSE;
    activate(top);
    return TRUE;
}

CWnd* CWnd::GetForegroundWindow() {
    return GetActiveWindow();
}

BOOL CWnd::BringWindowToTop() {
    return SetWindowPos(&wndTop, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void CWnd::SetWindowText(LPCTSTR lpszString) {
    ::SendMessageW(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpszString ? lpszString : L""));
}

int CWnd::GetWindowText(LPTSTR lpszStringBuf, int nMaxCount) const {
    return static_cast<int>(
        ::SendMessageW(m_hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpszStringBuf)));
}

void CWnd::GetWindowText(CString& rString) const {
    const WndState* s = state();
    rString = s ? s->text.c_str() : L"";
}

int CWnd::GetWindowTextLength() const {
    const WndState* s = state();
    return s ? static_cast<int>(s->text.size()) : 0;
}

DWORD CWnd::GetStyle() const {
    const WndState* s = state();
    return s ? s->style : 0;
}

DWORD CWnd::GetExStyle() const {
    const WndState* s = state();
    return s ? s->exStyle : 0;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT) {
    WndState* s = state();
    if (!s) return FALSE;
    const DWORD before = s->style;
    s->style = (s->style & ~dwRemove) | dwAdd;
    return before != s->style;
}

int CWnd::GetDlgCtrlID() const {
    const WndState* s = state();
    return s ? s->id : 0;
}

int CWnd::SetDlgCtrlID(int nID) {
    WndState* s = state();
    if (!s) return 0;
    const int before = s->id;
    s->id = nID;
    return before;
}

CWnd* CWnd::GetParent() const {
    const WndState* s = state();
    return s && s->parent ? FromHandle(s->parent->handle) : nullptr;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    const WndState* s = state();
    if (!s) return nullptr;
    for (WndState* c : s->children)
        if (c->id == nID) return FromHandle(c->handle);
    return nullptr;
}

void CWnd::SetDlgItemText(int nID, LPCTSTR lpszString) {
    if (CWnd* w = GetDlgItem(nID)) w->SetWindowText(lpszString);
}

int CWnd::GetDlgItemText(int nID, CString& rString) const {
    rString = L"";
    if (CWnd* w = GetDlgItem(nID)) w->GetWindowText(rString);
    return rString.GetLength();
}

void CWnd::CheckDlgButton(int nIDButton, UINT nCheck) {
    SendDlgItemMessage(nIDButton, BM_SETCHECK, nCheck, 0);
}

UINT CWnd::IsDlgButtonChecked(int nIDButton) const {
    CWnd* w = GetDlgItem(nIDButton);
    return w ? static_cast<UINT>(w->SendMessage(BM_GETCHECK)) : 0;
}

void CWnd::CheckRadioButton(int nIDFirstButton, int nIDLastButton, int nIDCheckButton) {
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        CheckDlgButton(id, id == nIDCheckButton ? BST_CHECKED : BST_UNCHECKED);
}

int CWnd::GetCheckedRadioButton(int nIDFirstButton, int nIDLastButton) const {
    for (int id = nIDFirstButton; id <= nIDLastButton; ++id)
        if (IsDlgButtonChecked(id)) return id;
    return 0;
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    const WndState* s = state();
    if (!lpRect) return;
    *lpRect = s ? RECT{0, 0, s->rect.right - s->rect.left, s->rect.bottom - s->rect.top} : RECT{0, 0, 0, 0};
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    const WndState* s = state();
    if (!lpRect) return;
    if (!s) {
        *lpRect = RECT{0, 0, 0, 0};
        return;
    }
    const RECT o = screenOrigin(s);
    *lpRect = RECT{o.left, o.top, o.left + (s->rect.right - s->rect.left), o.top + (s->rect.bottom - s->rect.top)};
}

void CWnd::ClientToScreen(LPRECT lpRect) const {
    const WndState* s = state();
    if (!s || !lpRect) return;
    const RECT o = screenOrigin(s);
    lpRect->left += o.left;
    lpRect->right += o.left;
    lpRect->top += o.top;
    lpRect->bottom += o.top;
}

void CWnd::ScreenToClient(LPRECT lpRect) const {
    const WndState* s = state();
    if (!s || !lpRect) return;
    const RECT o = screenOrigin(s);
    lpRect->left -= o.left;
    lpRect->right -= o.left;
    lpRect->top -= o.top;
    lpRect->bottom -= o.top;
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const {
    const WndState* s = state();
    if (!s || !lpPoint) return;
    const RECT o = screenOrigin(s);
    lpPoint->x += o.left;
    lpPoint->y += o.top;
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const {
    const WndState* s = state();
    if (!s || !lpPoint) return;
    const RECT o = screenOrigin(s);
    lpPoint->x -= o.left;
    lpPoint->y -= o.top;
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL) {
    if (WndState* s = state()) s->rect = RECT{x, y, x + nWidth, y + nHeight};
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
    if (lpRect)
        MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint);
}

BOOL CWnd::SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    WndState* s = state();
    if (!s) return FALSE;
    if (!(nFlags & SWP_NOMOVE)) {
        const LONG w = s->rect.right - s->rect.left, h = s->rect.bottom - s->rect.top;
        s->rect = RECT{x, y, x + w, y + h};
    }
    if (!(nFlags & SWP_NOSIZE)) s->rect = RECT{s->rect.left, s->rect.top, s->rect.left + cx, s->rect.top + cy};
    if (!(nFlags & SWP_NOZORDER) && pWndInsertAfter) {
        auto& list = s->parent && !s->isTopLevel() ? s->parent->children : reg().topLevels;
        auto it = std::find(list.begin(), list.end(), s);
        if (it != list.end()) {
            list.erase(it);
            if (pWndInsertAfter == &wndTop || pWndInsertAfter == &wndTopMost) {
                list.insert(list.begin(), s);
            } else if (pWndInsertAfter == &wndBottom || pWndInsertAfter == &wndNoTopMost) {
                list.push_back(s);
            } else {
                WndState* after = pWndInsertAfter->state();
                auto pos = std::find(list.begin(), list.end(), after);
                list.insert(pos == list.end() ? list.end() : pos + 1, s);
            }
        }
    }
    if (nFlags & SWP_SHOWWINDOW) ShowWindow((nFlags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (nFlags & SWP_HIDEWINDOW) ShowWindow(SW_HIDE);
    return TRUE;
}

void CWnd::MapDialogRect(LPRECT lpRect) const {
    if (!lpRect) return;
    *lpRect = classlib::detail::dialogUnitsToPixels(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                                                    lpRect->bottom - lpRect->top);
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType) {
    const std::wstring caption = lpszCaption ? std::wstring(lpszCaption) : win::applicationName();
    return MessageBoxW(m_hWnd, lpszText, caption.c_str(), nType);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendDlgItemMessage(int nID, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* w = GetDlgItem(nID);
    return w ? w->SendMessage(message, wParam, lParam) : 0;
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    struct Lockout {
        HWND saved;
        explicit Lockout(HWND h) : saved(reg().lockout) { reg().lockout = h; }
        ~Lockout() { reg().lockout = saved; }
        Lockout(const Lockout&) = delete;
        Lockout& operator=(const Lockout&) = delete;
    } lockout(m_hWnd);
    CDataExchange dx(this, bSaveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const classlib::detail::DataExchangeFailure&) {
        return FALSE;
    }
    return TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    struct Current {
        explicit Current(const CurrentMessage& m) { reg().current.push_back(m); }
        ~Current() { reg().current.pop_back(); }
        Current(const Current&) = delete;
        Current& operator=(const Current&) = delete;
    } current({m_hWnd, message, wParam, lParam});
    LRESULT result = 0;
    // Nothing of `this` may be touched once a handler has run: it may have deleted its own window object.
    if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
    return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) {
            if (pResult) *pResult = 1;
            return TRUE;
        }
        return FALSE;
    }
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->pfn; ++e) {
            const bool hit = e->pRegistered ? (*e->pRegistered == message && message != 0)
                                            : (e->nMessage == message && message != WM_COMMAND);
            if (hit) {
                const LRESULT r = e->pfn(this, wParam, lParam);
                if (pResult) *pResult = r;
                return TRUE;
            }
        }
    }
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT nID = LOWORD(wParam);
    const UINT nCode = HIWORD(wParam);
    if (lParam != 0) {
        // Notifications raised while the dialog's own data exchange sets its controls are not handled.
        if (reg().lockout && reg().lockout == m_hWnd) return TRUE;
    }
    if (nID == 0) return FALSE;
    return OnCmdMsg(nID, static_cast<int>(lParam != 0 ? nCode : CN_COMMAND));
}

BOOL CWnd::OnCmdMsg(UINT nID, int nCode) {
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e && e->pfn; ++e) {
            if (e->nMessage == WM_COMMAND && !e->pRegistered && e->nCode == static_cast<UINT>(nCode) && nID >= e->nID &&
                nID <= e->nLastID) {
                e->pfn(this, MAKEWPARAM(nID, nCode), 0);
                return TRUE;
            }
        }
    }
    return FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    WndState* s = state();
    return s ? defProc(s, message, wParam, lParam) : 0;
}

LRESULT CWnd::Default() {
    if (reg().current.empty()) return 0;
    const CurrentMessage m = reg().current.back();
    return DefWindowProc(m.message, m.wParam, m.lParam);
}

void CWnd::OnClose() {
    Default();
}

void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}

void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}

void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}

void CWnd::OnLButtonDblClk(UINT, CPoint) {
    Default();
}

void CWnd::OnRButtonDown(UINT, CPoint) {
    Default();
}

void CWnd::OnRButtonUp(UINT, CPoint) {
    Default();
}

CWnd* AfxGetMainWnd() {
    if (!reg().mainWnd) {
        auto* frame = new CWnd; // lives as long as the process
        WndState* s =
            classlib::detail::createWindow(WndKind::Frame, L"AfxFrame", L"CadHost", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                           RECT{0, 0, 1024, 768}, nullptr);
        frame->Attach(s->handle);
        reg().mainWnd = frame;
        auto& z = reg().topLevels;
        z.erase(std::remove(z.begin(), z.end(), s), z.end());
        z.push_back(s);
        if (!reg().active) reg().active = s->handle;
    }
    return reg().mainWnd;
}
