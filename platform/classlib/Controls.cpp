#include "classlib/Controls.h"

#include <algorithm>
#include <cwctype>

#include "classlib/Dialog.h"

using classlib::detail::ListItem;
using classlib::detail::WndKind;
using classlib::detail::WndState;

namespace classlib::detail {

namespace {

wchar_t fold(wchar_t c) {
    return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
}

bool startsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
    if (prefix.size() > text.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (fold(text[i]) != fold(prefix[i])) return false;
    return true;
}

bool isSorted(const WndState* s) {
    return s->kind == WndKind::ListBox ? (s->style & LBS_SORT) != 0 : (s->style & CBS_SORT) != 0;
}

LRESULT addString(WndState* s, LPCWSTR text) {
    ListItem item{text ? text : L"", 0};
    auto& items = s->items;
    size_t pos = items.size();
    // Equal texts keep the order they were added in; a list filled in its own order grows at its end.
    if (isSorted(s) && !items.empty() && compareItemText(item.text, items.back().text) < 0) {
        pos = static_cast<size_t>(
            std::upper_bound(items.begin(), items.end(), item,
                             [](const ListItem& a, const ListItem& b) { return compareItemText(a.text, b.text) < 0; }) -
            items.begin());
    }
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(pos), item);
    if (s->curSel >= static_cast<int>(pos)) ++s->curSel;
    return static_cast<LRESULT>(pos);
}

LRESULT insertString(WndState* s, int index, LPCWSTR text) {
    auto& items = s->items;
    if (index > static_cast<int>(items.size())) return -1;
    const size_t pos = index < 0 ? items.size() : static_cast<size_t>(index);
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(pos), ListItem{text ? text : L"", 0});
    if (s->curSel >= static_cast<int>(pos)) ++s->curSel;
    return static_cast<LRESULT>(pos);
}

LRESULT deleteString(WndState* s, WPARAM index) {
    auto& items = s->items;
    if (index >= items.size()) return -1;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(index));
    if (s->curSel == static_cast<int>(index))
        s->curSel = -1;
    else if (s->curSel > static_cast<int>(index))
        --s->curSel;
    return static_cast<LRESULT>(items.size());
}

// Search from the item after `start`, wrapping round; -1 searches from the top.
LRESULT findString(const WndState* s, int start, LPCWSTR text, bool exact) {
    const int n = static_cast<int>(s->items.size());
    if (n == 0 || !text) return -1;
    const std::wstring want = text;
    const int first = (start < 0 || start >= n) ? 0 : start + 1;
    for (int k = 0; k < n; ++k) {
        const int i = (first + k) % n;
        const std::wstring& t = s->items[static_cast<size_t>(i)].text;
        const bool hit = exact ? (t.size() == want.size() && startsWithNoCase(t, want)) : startsWithNoCase(t, want);
        if (hit) return i;
    }
    return -1;
}

LRESULT copyItemText(const WndState* s, WPARAM index, LPARAM buffer) {
    if (index >= s->items.size()) return -1;
    const std::wstring& t = s->items[index].text;
    if (buffer) {
        auto* out = reinterpret_cast<LPWSTR>(buffer);
        std::copy(t.begin(), t.end(), out);
        out[t.size()] = L'\0';
    }
    return static_cast<LRESULT>(t.size());
}

LRESULT setCurSel(WndState* s, WPARAM index) {
    const int i = static_cast<int>(static_cast<INT_PTR>(index));
    if (i < 0 || i >= static_cast<int>(s->items.size())) {
        s->curSel = -1;
        if (s->kind == WndKind::ComboBox) s->text.clear();
        return -1;
    }
    s->curSel = i;
    if (s->kind == WndKind::ComboBox) s->text = s->items[static_cast<size_t>(i)].text;
    return i;
}

bool isRadio(const WndState* s) {
    const DWORD t = s->style & BS_TYPEMASK;
    return t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON;
}

// The radio buttons of a control's group: from the group's first control (WS_GROUP) up to the next one.
std::vector<WndState*> radioGroup(WndState* s) {
    std::vector<WndState*> group;
    if (!s->parent) return group;
    auto& sib = s->parent->children;
    auto it = std::find(sib.begin(), sib.end(), s);
    auto first = it;
    while (first != sib.begin() && !((*first)->style & WS_GROUP)) --first;
    for (auto j = first; j != sib.end(); ++j) {
        if (j != first && ((*j)->style & WS_GROUP)) break;
        if ((*j)->kind == WndKind::Button && isRadio(*j)) group.push_back(*j);
    }
    return group;
}

LRESULT buttonProc(WndState* s, UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = true;
    switch (message) {
        case BM_GETCHECK:
            return s->check;
        case BM_SETCHECK:
            s->check = static_cast<int>(wParam);
            return 0;
        case BM_SETSTYLE:
            s->style = (s->style & ~0xFFFFu) | (static_cast<DWORD>(wParam) & 0xFFFFu);
            return 0;
        case BM_CLICK: {
            if (s->style & WS_DISABLED) return 0;
            const DWORD t = s->style & BS_TYPEMASK;
            if (t == BS_AUTOCHECKBOX)
                s->check = s->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
            else if (t == BS_AUTO3STATE)
                s->check = (s->check + 1) % 3;
            else if (t == BS_AUTORADIOBUTTON)
                for (WndState* r : radioGroup(s)) r->check = r == s ? BST_CHECKED : BST_UNCHECKED;
            notifyParent(s, BN_CLICKED);
            return 0;
        }
        default:
            handled = false;
            return 0;
    }
}

struct EditSel {
    size_t start;
    size_t end;
};

EditSel editSelection(const WndState* s) {
    const size_t n = s->text.size();
    size_t a = std::min(static_cast<size_t>(std::max(0, s->selStart)), n);
    size_t b = std::min(static_cast<size_t>(std::max(0, s->selEnd)), n);
    if (a > b) std::swap(a, b);
    return {a, b};
}

void setEditSelection(WndState* s, int start, int end) {
    const int n = static_cast<int>(s->text.size());
    if (start < 0) {
        s->selStart = s->selEnd = n;
        return;
    }
    if (end < 0 || end > n) end = n;
    s->selStart = std::min(start, n);
    s->selEnd = end;
}

void editReplaceSelection(WndState* s, const std::wstring& with) {
    const EditSel sel = editSelection(s);
    s->text.replace(sel.start, sel.end - sel.start, with);
    s->selStart = s->selEnd = static_cast<int>(sel.start + with.size());
}

LRESULT editProc(WndState* s, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
        case WM_SETTEXT:
            setControlText(s, lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"");
            return TRUE;
        case WM_CHAR:
            userTypeChar(s, static_cast<wchar_t>(wParam));
            return 0;
        case EM_GETSEL: {
            const EditSel sel = editSelection(s);
            return MAKELONG(sel.start, sel.end);
        }
        case EM_SETSEL:
            setEditSelection(s, static_cast<int>(static_cast<INT_PTR>(wParam)), static_cast<int>(lParam));
            return 0;
        case EM_REPLACESEL:
            editReplaceSelection(s, lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"");
            notifyParent(s, EN_CHANGE);
            return 0;
        case EM_LIMITTEXT:
            s->limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(wParam);
            return 0;
        case EM_GETLIMITTEXT:
            return s->limit;
        case EM_SETREADONLY:
            s->style = wParam ? (s->style | ES_READONLY) : (s->style & ~ES_READONLY);
            return TRUE;
        default:
            handled = false;
            return 0;
    }
}

LRESULT listProc(WndState* s, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    const bool combo = s->kind == WndKind::ComboBox;
    const auto is = [&](UINT cbMsg, UINT lbMsg) { return message == (combo ? cbMsg : lbMsg); };
    if (is(CB_ADDSTRING, LB_ADDSTRING)) return addString(s, reinterpret_cast<LPCWSTR>(lParam));
    if (is(CB_INSERTSTRING, LB_INSERTSTRING))
        return insertString(s, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<LPCWSTR>(lParam));
    if (is(CB_DELETESTRING, LB_DELETESTRING)) return deleteString(s, wParam);
    if (is(CB_RESETCONTENT, LB_RESETCONTENT)) {
        s->items.clear();
        s->curSel = -1;
        if (combo) s->text.clear();
        return 0;
    }
    if (is(CB_GETCOUNT, LB_GETCOUNT)) return static_cast<LRESULT>(s->items.size());
    if (is(CB_GETCURSEL, LB_GETCURSEL)) return s->curSel;
    if (is(CB_SETCURSEL, LB_SETCURSEL)) return setCurSel(s, wParam);
    if (is(CB_GETLBTEXT, LB_GETTEXT)) return copyItemText(s, wParam, lParam);
    if (is(CB_GETLBTEXTLEN, LB_GETTEXTLEN)) return copyItemText(s, wParam, 0);
    if (is(CB_FINDSTRING, LB_FINDSTRING))
        return findString(s, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<LPCWSTR>(lParam), false);
    if (is(CB_FINDSTRINGEXACT, LB_FINDSTRINGEXACT))
        return findString(s, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<LPCWSTR>(lParam), true);
    if (is(CB_SELECTSTRING, LB_SELECTSTRING)) {
        const LRESULT i =
            findString(s, static_cast<int>(static_cast<INT_PTR>(wParam)), reinterpret_cast<LPCWSTR>(lParam), false);
        if (i >= 0) setCurSel(s, static_cast<WPARAM>(i));
        return i;
    }
    if (is(CB_GETITEMDATA, LB_GETITEMDATA))
        return wParam < s->items.size() ? static_cast<LRESULT>(s->items[wParam].data) : -1;
    if (is(CB_SETITEMDATA, LB_SETITEMDATA)) {
        if (wParam >= s->items.size()) return -1;
        s->items[wParam].data = static_cast<DWORD_PTR>(lParam);
        return 0;
    }
    if (combo && message == CB_LIMITTEXT) {
        s->limit = wParam == 0 ? 0x7FFFFFFE : static_cast<int>(wParam);
        return TRUE;
    }
    if (combo && message == WM_SETTEXT) {
        s->text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        return TRUE;
    }
    if (combo && message == WM_CHAR) {
        userTypeChar(s, static_cast<wchar_t>(wParam));
        return 0;
    }
    handled = false;
    return 0;
}

int tabAt(const WndState* s, POINT p) {
    for (int i = 0; i < static_cast<int>(s->tabs.size()); ++i) {
        const RECT r = tabItemRect(s, i);
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return i;
    }
    return -1;
}

LRESULT tabProc(WndState* s, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    const int count = static_cast<int>(s->tabs.size());
    switch (message) {
        case TCM_GETITEMCOUNT:
            return count;
        case TCM_INSERTITEMW: {
            const auto* item = reinterpret_cast<const TCITEMW*>(lParam);
            if (!item) return -1;
            const int at = std::clamp(static_cast<int>(wParam), 0, count);
            TabItem t;
            if ((item->mask & TCIF_TEXT) && item->pszText) t.text = item->pszText;
            if (item->mask & TCIF_PARAM) t.param = item->lParam;
            s->tabs.insert(s->tabs.begin() + at, t);
            if (s->curTab < 0)
                s->curTab = 0;
            else if (at <= s->curTab && count > 0)
                ++s->curTab;
            if (s->focusTab < 0)
                s->focusTab = s->curTab;
            else if (at <= s->focusTab && count > 0)
                ++s->focusTab;
            return at;
        }
        case TCM_GETITEMW:
        case TCM_SETITEMW: {
            auto* item = reinterpret_cast<TCITEMW*>(lParam);
            if (!item || static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count) return FALSE;
            TabItem& t = s->tabs[wParam];
            if (message == TCM_SETITEMW) {
                if ((item->mask & TCIF_TEXT) && item->pszText) t.text = item->pszText;
                if (item->mask & TCIF_PARAM) t.param = item->lParam;
                return TRUE;
            }
            if ((item->mask & TCIF_TEXT) && item->pszText && item->cchTextMax > 0) {
                const size_t n = std::min(t.text.size(), static_cast<size_t>(item->cchTextMax - 1));
                std::copy_n(t.text.data(), n, item->pszText);
                item->pszText[n] = L'\0';
            }
            if (item->mask & TCIF_PARAM) item->lParam = t.param;
            return TRUE;
        }
        case TCM_DELETEITEM: {
            const int at = static_cast<int>(wParam);
            if (at < 0 || at >= count) return FALSE;
            s->tabs.erase(s->tabs.begin() + at);
            // Items after the deleted one move up; deleting the current item leaves none current.
            for (int* index : {&s->curTab, &s->focusTab}) {
                if (*index > at)
                    --*index;
                else if (*index == at)
                    *index = -1;
            }
            return TRUE;
        }
        case TCM_DELETEALLITEMS:
            s->tabs.clear();
            s->curTab = s->focusTab = -1;
            return TRUE;
        case TCM_GETITEMRECT: {
            if (static_cast<int>(wParam) < 0 || static_cast<int>(wParam) >= count || !lParam) return FALSE;
            *reinterpret_cast<RECT*>(lParam) = tabItemRect(s, static_cast<int>(wParam));
            return TRUE;
        }
        case TCM_GETCURSEL:
            return s->curTab;
        case TCM_SETCURSEL: {
            const int previous = s->curTab;
            const int at = static_cast<int>(wParam);
            if (at < 0 || at >= count) return -1;
            s->curTab = s->focusTab = at;
            return previous;
        }
        case TCM_GETCURFOCUS:
            return s->focusTab;
        case TCM_SETCURFOCUS: {
            const int at = static_cast<int>(wParam);
            if (at >= 0 && at < count) s->focusTab = s->curTab = at;
            return 0;
        }
        case TCM_HITTEST: {
            auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
            if (!info) return -1;
            const int at = tabAt(s, info->pt);
            info->flags = at < 0 ? TCHT_NOWHERE : TCHT_ONITEM;
            return at;
        }
        case WM_LBUTTONDOWN: {
            const int at = tabAt(s, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            if (at >= 0) {
                s->focusTab = at;
                s->curTab = at;
            }
            if (CWnd* w = CWnd::FromHandle(s->handle)) w->SetFocus();
            return 0;
        }
        default:
            handled = false;
            return 0;
    }
}

} // namespace

int compareItemText(const std::wstring& a, const std::wstring& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wchar_t x = fold(a[i]), y = fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

RECT tabItemRect(const WndState* s, int index) {
    // Fixed-width tabs share one width; others are as wide as their text.
    constexpr int kTop = 2, kHeight = 20, kFixedWidth = 96;
    int left = 2;
    for (int i = 0; i < index && i < static_cast<int>(s->tabs.size()); ++i)
        left += (s->style & TCS_FIXEDWIDTH) ? kFixedWidth : 12 + 6 * static_cast<int>(s->tabs[i].text.size());
    const int width = (s->style & TCS_FIXEDWIDTH)
                          ? kFixedWidth
                          : 12 + 6 * static_cast<int>(index < static_cast<int>(s->tabs.size())
                                                          ? s->tabs[static_cast<size_t>(index)].text.size()
                                                          : 0);
    return RECT{left, kTop, left + width, kTop + kHeight};
}

void setControlText(WndState* s, const std::wstring& text) {
    if (s->kind == WndKind::Edit) {
        if (s->text == text) return;
        s->text = text;
        s->selStart = s->selEnd = static_cast<int>(text.size());
        notifyParent(s, EN_CHANGE);
        return;
    }
    s->text = text;
}

bool userTypeChar(WndState* s, wchar_t ch) {
    if (s->kind == WndKind::Edit) {
        if (s->style & ES_READONLY) return false;
        if (ch == static_cast<wchar_t>(VK_BACK)) {
            EditSel sel = editSelection(s);
            if (sel.start == sel.end) {
                if (sel.start == 0) return false;
                s->selStart = static_cast<int>(sel.start - 1);
                s->selEnd = static_cast<int>(sel.end);
            }
            editReplaceSelection(s, L"");
            notifyParent(s, EN_UPDATE);
            notifyParent(s, EN_CHANGE);
            return true;
        }
        if ((s->style & ES_NUMBER) && !(ch >= L'0' && ch <= L'9')) return false;
        const EditSel sel = editSelection(s);
        if (static_cast<int>(s->text.size() - (sel.end - sel.start)) >= s->limit) {
            notifyParent(s, EN_MAXTEXT);
            return false;
        }
        std::wstring c(1, ch);
        if (s->style & ES_UPPERCASE)
            c[0] = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
        else if (s->style & ES_LOWERCASE)
            c[0] = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
        editReplaceSelection(s, c);
        notifyParent(s, EN_UPDATE);
        notifyParent(s, EN_CHANGE);
        return true;
    }
    if (s->kind == WndKind::ComboBox) {
        if ((s->style & 0x3) == CBS_DROPDOWNLIST) return false;
        if (ch == static_cast<wchar_t>(VK_BACK)) {
            if (s->text.empty()) return false;
            s->text.pop_back();
        } else {
            if (static_cast<int>(s->text.size()) >= s->limit) return false;
            s->text += ch;
        }
        s->curSel = -1;
        notifyParent(s, CBN_EDITUPDATE);
        notifyParent(s, CBN_EDITCHANGE);
        return true;
    }
    return false;
}

void userSelectItem(WndState* s, int index) {
    setCurSel(s, static_cast<WPARAM>(index));
    if (s->kind == WndKind::ComboBox) {
        const HWND h = s->handle;
        notifyParent(s, CBN_SELCHANGE);
        if (WndState* still = stateOf(h)) notifyParent(still, CBN_SELENDOK);
    } else if (s->style & LBS_NOTIFY) {
        notifyParent(s, LBN_SELCHANGE);
    }
}

void userDoubleClickItem(WndState* s, int index) {
    const HWND h = s->handle;
    userSelectItem(s, index);
    s = stateOf(h);
    if (s && (s->style & LBS_NOTIFY)) notifyParent(s, LBN_DBLCLK);
}

LRESULT controlProc(WndState* s, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = false;
    switch (s->kind) {
        case WndKind::Button:
            return buttonProc(s, message, wParam, lParam, handled);
        case WndKind::Edit:
            return editProc(s, message, wParam, lParam, handled);
        case WndKind::ComboBox:
        case WndKind::ListBox:
            return listProc(s, message, wParam, lParam, handled);
        case WndKind::Tab:
            return tabProc(s, message, wParam, lParam, handled);
        default:
            return 0;
    }
}

CWnd* makeWrapper(WndKind kind) {
    switch (kind) {
        case WndKind::Static:
            return new CStatic;
        case WndKind::Edit:
            return new CEdit;
        case WndKind::Button:
            return new CButton;
        case WndKind::ComboBox:
            return new CComboBox;
        case WndKind::ListBox:
            return new CListBox;
        case WndKind::Tab:
            return new CTabCtrl;
        case WndKind::Dialog:
            return new CDialog;
        default:
            return new CWnd;
    }
}

} // namespace classlib::detail

// ---- wrappers -------------------------------------------------------------------------------------------------

namespace {

BOOL createControl(CWnd* self, const wchar_t* cls, LPCTSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return self->Create(cls, text, style | WS_CHILD, rect, parent, id);
}

LPARAM textParam(LPCTSTR s) {
    return reinterpret_cast<LPARAM>(s ? s : L"");
}

} // namespace

BOOL CStatic::Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return createControl(this, WC_STATIC, lpszText, dwStyle, rect, pParentWnd, nID);
}

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return createControl(this, WC_EDIT, L"", dwStyle, rect, pParentWnd, nID);
}

void CEdit::SetLimitText(UINT nMax) {
    SendMessage(EM_LIMITTEXT, nMax, 0);
}

void CEdit::LimitText(int nChars) {
    SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(nChars), 0);
}

UINT CEdit::GetLimitText() const {
    return static_cast<UINT>(const_cast<CEdit*>(this)->SendMessage(EM_GETLIMITTEXT));
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL) {
    SendMessage(EM_SETSEL, static_cast<WPARAM>(static_cast<INT_PTR>(nStartChar)), nEndChar);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
    const LRESULT r = const_cast<CEdit*>(this)->SendMessage(EM_GETSEL);
    nStartChar = LOWORD(r);
    nEndChar = HIWORD(r);
}

void CEdit::ReplaceSel(LPCTSTR lpszNewText, BOOL) {
    SendMessage(EM_REPLACESEL, 0, textParam(lpszNewText));
}

BOOL CEdit::SetReadOnly(BOOL bReadOnly) {
    return static_cast<BOOL>(SendMessage(EM_SETREADONLY, static_cast<WPARAM>(bReadOnly)));
}

BOOL CButton::Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return createControl(this, WC_BUTTON, lpszCaption, dwStyle, rect, pParentWnd, nID);
}

int CButton::GetCheck() const {
    return static_cast<int>(const_cast<CButton*>(this)->SendMessage(BM_GETCHECK));
}

void CButton::SetCheck(int nCheck) {
    SendMessage(BM_SETCHECK, static_cast<WPARAM>(nCheck));
}

UINT CButton::GetButtonStyle() const {
    return GetStyle() & 0xFFFFu;
}

void CButton::SetButtonStyle(UINT nStyle, BOOL) {
    SendMessage(BM_SETSTYLE, nStyle);
}

#define KELMO_LIST_WRAPPERS(Class, PREFIX, GETTEXT, GETTEXTLEN)                                                        \
    int Class::GetCount() const {                                                                                      \
        return static_cast<int>(const_cast<Class*>(this)->SendMessage(PREFIX##_GETCOUNT));                             \
    }                                                                                                                  \
    int Class::GetCurSel() const {                                                                                     \
        return static_cast<int>(const_cast<Class*>(this)->SendMessage(PREFIX##_GETCURSEL));                            \
    }                                                                                                                  \
    int Class::SetCurSel(int nSelect) {                                                                                \
        return static_cast<int>(SendMessage(PREFIX##_SETCURSEL, static_cast<WPARAM>(static_cast<INT_PTR>(nSelect))));  \
    }                                                                                                                  \
    int Class::AddString(LPCTSTR s) {                                                                                  \
        return static_cast<int>(SendMessage(PREFIX##_ADDSTRING, 0, textParam(s)));                                     \
    }                                                                                                                  \
    int Class::InsertString(int nIndex, LPCTSTR s) {                                                                   \
        return static_cast<int>(                                                                                       \
            SendMessage(PREFIX##_INSERTSTRING, static_cast<WPARAM>(static_cast<INT_PTR>(nIndex)), textParam(s)));      \
    }                                                                                                                  \
    int Class::DeleteString(UINT nIndex) {                                                                             \
        return static_cast<int>(SendMessage(PREFIX##_DELETESTRING, nIndex));                                           \
    }                                                                                                                  \
    void Class::ResetContent() {                                                                                       \
        SendMessage(PREFIX##_RESETCONTENT);                                                                            \
    }                                                                                                                  \
    int Class::FindString(int nStartAfter, LPCTSTR s) const {                                                          \
        return static_cast<int>(const_cast<Class*>(this)->SendMessage(                                                 \
            PREFIX##_FINDSTRING, static_cast<WPARAM>(static_cast<INT_PTR>(nStartAfter)), textParam(s)));               \
    }                                                                                                                  \
    int Class::FindStringExact(int nIndexStart, LPCTSTR s) const {                                                     \
        return static_cast<int>(const_cast<Class*>(this)->SendMessage(                                                 \
            PREFIX##_FINDSTRINGEXACT, static_cast<WPARAM>(static_cast<INT_PTR>(nIndexStart)), textParam(s)));          \
    }                                                                                                                  \
    int Class::SelectString(int nStartAfter, LPCTSTR s) {                                                              \
        return static_cast<int>(                                                                                       \
            SendMessage(PREFIX##_SELECTSTRING, static_cast<WPARAM>(static_cast<INT_PTR>(nStartAfter)), textParam(s))); \
    }                                                                                                                  \
    DWORD_PTR Class::GetItemData(int nIndex) const {                                                                   \
        return static_cast<DWORD_PTR>(                                                                                 \
            const_cast<Class*>(this)->SendMessage(PREFIX##_GETITEMDATA, static_cast<WPARAM>(nIndex)));                 \
    }                                                                                                                  \
    int Class::SetItemData(int nIndex, DWORD_PTR d) {                                                                  \
        return static_cast<int>(                                                                                       \
            SendMessage(PREFIX##_SETITEMDATA, static_cast<WPARAM>(nIndex), static_cast<LPARAM>(d)));                   \
    }

KELMO_LIST_WRAPPERS(CComboBox, CB, CB_GETLBTEXT, CB_GETLBTEXTLEN)
KELMO_LIST_WRAPPERS(CListBox, LB, LB_GETTEXT, LB_GETTEXTLEN)

BOOL CComboBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return createControl(this, WC_COMBOBOX, L"", dwStyle, rect, pParentWnd, nID);
}

int CComboBox::GetLBText(int nIndex, LPTSTR lpszText) const {
    return static_cast<int>(const_cast<CComboBox*>(this)->SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(nIndex),
                                                                      reinterpret_cast<LPARAM>(lpszText)));
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    const WndState* s = state();
    rString = (s && nIndex >= 0 && nIndex < static_cast<int>(s->items.size()))
                  ? s->items[static_cast<size_t>(nIndex)].text.c_str()
                  : L"";
}

int CComboBox::GetLBTextLen(int nIndex) const {
    return static_cast<int>(const_cast<CComboBox*>(this)->SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex)));
}

BOOL CComboBox::LimitText(int nMaxChars) {
    return static_cast<BOOL>(SendMessage(CB_LIMITTEXT, static_cast<WPARAM>(nMaxChars)));
}

BOOL CListBox::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return createControl(this, WC_LISTBOX, L"", dwStyle, rect, pParentWnd, nID);
}

int CListBox::GetText(int nIndex, LPTSTR lpszBuffer) const {
    return static_cast<int>(const_cast<CListBox*>(this)->SendMessage(LB_GETTEXT, static_cast<WPARAM>(nIndex),
                                                                     reinterpret_cast<LPARAM>(lpszBuffer)));
}

void CListBox::GetText(int nIndex, CString& rString) const {
    const WndState* s = state();
    rString = (s && nIndex >= 0 && nIndex < static_cast<int>(s->items.size()))
                  ? s->items[static_cast<size_t>(nIndex)].text.c_str()
                  : L"";
}

int CListBox::GetTextLen(int nIndex) const {
    return static_cast<int>(const_cast<CListBox*>(this)->SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(nIndex)));
}

BOOL CTabCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return createControl(this, WC_TABCONTROL, L"", dwStyle, rect, pParentWnd, nID);
}

LONG CTabCtrl::InsertItem(int nItem, TCITEM* pTabCtrlItem) {
    return static_cast<LONG>(
        SendMessage(TCM_INSERTITEMW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pTabCtrlItem)));
}

LONG CTabCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(lpszItem ? lpszItem : L"");
    return InsertItem(nItem, &item);
}

LONG CTabCtrl::InsertItem(UINT nMask, int nItem, LPCTSTR lpszItem, int nImage, LPARAM lParam) {
    TCITEM item;
    item.mask = nMask;
    item.pszText = const_cast<LPWSTR>(lpszItem ? lpszItem : L"");
    item.iImage = nImage;
    item.lParam = lParam;
    return InsertItem(nItem, &item);
}

BOOL CTabCtrl::GetItem(int nItem, TCITEM* pTabCtrlItem) const {
    return static_cast<BOOL>(const_cast<CTabCtrl*>(this)->SendMessage(TCM_GETITEMW, static_cast<WPARAM>(nItem),
                                                                      reinterpret_cast<LPARAM>(pTabCtrlItem)));
}

BOOL CTabCtrl::SetItem(int nItem, TCITEM* pTabCtrlItem) {
    return static_cast<BOOL>(
        SendMessage(TCM_SETITEMW, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pTabCtrlItem)));
}

BOOL CTabCtrl::DeleteItem(int nItem) {
    return static_cast<BOOL>(SendMessage(TCM_DELETEITEM, static_cast<WPARAM>(nItem)));
}

BOOL CTabCtrl::DeleteAllItems() {
    return static_cast<BOOL>(SendMessage(TCM_DELETEALLITEMS));
}

int CTabCtrl::GetItemCount() const {
    return static_cast<int>(const_cast<CTabCtrl*>(this)->SendMessage(TCM_GETITEMCOUNT));
}

BOOL CTabCtrl::GetItemRect(int nItem, LPRECT lpRect) const {
    return static_cast<BOOL>(const_cast<CTabCtrl*>(this)->SendMessage(TCM_GETITEMRECT, static_cast<WPARAM>(nItem),
                                                                      reinterpret_cast<LPARAM>(lpRect)));
}

int CTabCtrl::GetCurSel() const {
    return static_cast<int>(const_cast<CTabCtrl*>(this)->SendMessage(TCM_GETCURSEL));
}

int CTabCtrl::SetCurSel(int nItem) {
    return static_cast<int>(SendMessage(TCM_SETCURSEL, static_cast<WPARAM>(nItem)));
}

int CTabCtrl::GetCurFocus() const {
    return static_cast<int>(const_cast<CTabCtrl*>(this)->SendMessage(TCM_GETCURFOCUS));
}

void CTabCtrl::SetCurFocus(int nItem) {
    SendMessage(TCM_SETCURFOCUS, static_cast<WPARAM>(nItem));
}

int CTabCtrl::HitTest(TCHITTESTINFO* pHitTestInfo) const {
    return static_cast<int>(
        const_cast<CTabCtrl*>(this)->SendMessage(TCM_HITTEST, 0, reinterpret_cast<LPARAM>(pHitTestInfo)));
}
