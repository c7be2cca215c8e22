#include "classlib/DialogDriver.h"

#include <algorithm>
#include <cwctype>
#include <deque>
#include <exception>
#include <sstream>

#include "win/UiSink.h"

using classlib::detail::WndKind;
using classlib::detail::WndState;

namespace {

struct DriverState {
    std::deque<classlib::DialogDriver::Action> queue;
    classlib::DialogDriver::ActionSource source;
    classlib::DialogDriver::EventListener listener;
};

DriverState& driver() {
    static DriverState* d = new DriverState;
    return *d;
}

void forwardEvent(HWND h, const char* event) {
    if (driver().listener) driver().listener(h, event);
}

using classlib::DriverResult;

DriverResult refuse(const std::wstring& why) {
    return DriverResult{false, why};
}

std::wstring idText(int id) {
    return id == IDC_STATIC || id == 0xFFFF ? L"-" : std::to_wstring(id);
}

std::wstring dialogName(const WndState* s) {
    return L"dialog " + std::to_wstring(s->templateId);
}

bool parseNumber(const std::wstring& text, long& value) {
    if (text.empty()) return false;
    size_t i = text[0] == L'-' ? 1 : 0;
    if (i == text.size()) return false;
    for (size_t k = i; k < text.size(); ++k)
        if (!std::iswdigit(static_cast<wint_t>(text[k]))) return false;
    try {
        value = std::stol(text);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

std::wstring lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

// Quoted, with control characters escaped and long runs of blanks counted.
std::wstring quote(const std::wstring& text) {
    std::wstring out = L"\"";
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L' ') {
            size_t j = i;
            while (j < text.size() && text[j] == L' ') ++j;
            if (j - i > 3) {
                out += L"{" + std::to_wstring(j - i) + L" blanks}";
                i = j - 1;
                continue;
            }
            out += c;
        } else if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c == L'\n') {
            out += L"\\n";
        } else if (c == L'\r') {
            out += L"\\r";
        } else if (c == L'\t') {
            out += L"\\t";
        } else if (c < 0x20) {
            wchar_t buf[8];
            std::swprintf(buf, 8, L"\\x%02x", static_cast<unsigned>(c));
            out += buf;
        } else {
            out += c;
        }
    }
    return out + L"\"";
}

std::wstring kindName(const WndState* s) {
    switch (s->kind) {
        case WndKind::Static:
            return L"static";
        case WndKind::Edit:
            return L"edit";
        case WndKind::Button:
            switch (s->style & BS_TYPEMASK) {
                case BS_DEFPUSHBUTTON:
                    return L"default-button";
                case BS_CHECKBOX:
                case BS_AUTOCHECKBOX:
                case BS_3STATE:
                case BS_AUTO3STATE:
                    return L"checkbox";
                case BS_RADIOBUTTON:
                case BS_AUTORADIOBUTTON:
                    return L"radio";
                case BS_GROUPBOX:
                    return L"groupbox";
                default:
                    return L"button";
            }
        case WndKind::ComboBox:
            return (s->style & 0x3) == CBS_DROPDOWNLIST ? L"droplist" : L"combo";
        case WndKind::ListBox:
            return L"list";
        case WndKind::Tab:
            return L"tab";
        case WndKind::Dialog:
            return L"page";
        default:
            return L"window";
    }
}

bool isCheckable(const WndState* s) {
    if (s->kind != WndKind::Button) return false;
    const DWORD t = s->style & BS_TYPEMASK;
    return t == BS_CHECKBOX || t == BS_AUTOCHECKBOX || t == BS_3STATE || t == BS_AUTO3STATE;
}

bool isRadio(const WndState* s) {
    const DWORD t = s->style & BS_TYPEMASK;
    return s->kind == WndKind::Button && (t == BS_RADIOBUTTON || t == BS_AUTORADIOBUTTON);
}

// Children in the order they were made (the template's order), whatever their z-order.
std::vector<WndState*> inCreationOrder(const WndState* s) {
    std::vector<WndState*> kids = s->children;
    std::sort(kids.begin(), kids.end(), [](const WndState* a, const WndState* b) {
        return reinterpret_cast<UINT_PTR>(a->handle) < reinterpret_cast<UINT_PTR>(b->handle);
    });
    return kids;
}

void dumpWindow(std::wostringstream& out, const WndState* c, int indent) {
    const std::wstring pad(static_cast<size_t>(indent), L' ');
    out << pad;
    if (c->kind == WndKind::Dialog)
        out << L"page " << c->templateId;
    else
        out << idText(c->id) << L' ' << kindName(c);
    if (c->kind != WndKind::ComboBox && c->kind != WndKind::ListBox && c->kind != WndKind::Tab)
        out << L' ' << quote(c->text);
    else if (c->kind == WndKind::ComboBox)
        out << L' ' << quote(c->text);
    out << ((c->style & WS_DISABLED) ? L" disabled" : L" enabled");
    out << ((c->style & WS_VISIBLE) ? L" visible" : L" hidden");
    if (GetFocus() == c->handle) out << L" focus";
    if (c->kind == WndKind::Edit) {
        if (c->style & ES_READONLY) out << L" readonly";
        if (c->style & ES_NUMBER) out << L" digits";
        if (c->style & ES_PASSWORD) out << L" password";
    }
    if (isCheckable(c) || isRadio(c))
        out << (c->check == BST_CHECKED         ? L" checked"
                : c->check == BST_INDETERMINATE ? L" indeterminate"
                                                : L" unchecked");
    if (c->kind == WndKind::ComboBox || c->kind == WndKind::ListBox) {
        out << L" sel " << c->curSel << L" items " << c->items.size() << L'\n';
        for (size_t i = 0; i < c->items.size(); ++i)
            out << pad << L"    " << (static_cast<int>(i) == c->curSel ? L'*' : L' ') << L'[' << i << L"] "
                << quote(c->items[i].text) << L'\n';
    } else if (c->kind == WndKind::Tab) {
        out << L" current " << c->curTab << L" focus-item " << c->focusTab << L" items " << c->tabs.size() << L'\n';
        for (size_t i = 0; i < c->tabs.size(); ++i)
            out << pad << L"    " << (static_cast<int>(i) == c->curTab ? L'*' : L' ') << L'[' << i << L"] "
                << quote(c->tabs[i].text) << L'\n';
    } else {
        out << L'\n';
    }
    for (const WndState* k : inCreationOrder(c)) dumpWindow(out, k, indent + 2);
}

void collectMenu(std::wostringstream& out, const std::vector<MENUITEMDEF>& items, const std::wstring& path) {
    for (const MENUITEMDEF& m : items) {
        const std::wstring text = path + (m.text ? m.text : L"");
        if (!m.items.empty())
            collectMenu(out, m.items, text + L"/");
        else if (m.text)
            out << L"  menu " << m.id << L' ' << quote(text) << L'\n';
    }
}

bool menuHas(const std::vector<MENUITEMDEF>& items, UINT id) {
    for (const MENUITEMDEF& m : items) {
        if (!m.items.empty() ? menuHas(m.items, id) : (m.text && m.id == id)) return true;
    }
    return false;
}

// Controls of `root` with that id: direct children first, then those of nested windows, depth first.
void findControls(WndState* root, int id, std::vector<WndState*>& out) {
    const auto kids = inCreationOrder(root);
    for (WndState* c : kids)
        if (c->id == id && c->kind != WndKind::Dialog) out.push_back(c);
    for (WndState* c : kids) findControls(c, id, out);
}

WndState* findPage(WndState* root, UINT templateId) {
    for (WndState* c : root->children) {
        if (c->kind == WndKind::Dialog && c->templateId == templateId) return c;
        if (WndState* inner = findPage(c, templateId)) return inner;
    }
    return nullptr;
}

struct Target {
    WndState* dialog = nullptr;
    WndState* control = nullptr;
    DriverResult error;
};

DriverResult checkDialog(WndState* d, bool force) {
    if (!d) return refuse(L"no dialog is open");
    if (force) return {};
    if (!(d->style & WS_VISIBLE)) return refuse(dialogName(d) + L" is hidden");
    if (d->style & WS_MINIMIZE) return refuse(dialogName(d) + L" is minimised");
    if (d->style & WS_DISABLED) return refuse(dialogName(d) + L" is disabled");
    return {};
}

Target resolve(HWND dialog, const std::wstring& control, bool force) {
    Target t;
    t.dialog = classlib::detail::stateOf(dialog);
    if (!t.dialog || t.dialog->kind != WndKind::Dialog) {
        t.error = refuse(L"no dialog is open");
        return t;
    }
    if (DriverResult r = checkDialog(t.dialog, force); !r) {
        t.error = r;
        return t;
    }
    WndState* root = t.dialog;
    std::wstring idPart = control;
    const size_t slash = control.find(L'/');
    if (slash != std::wstring::npos) {
        long page = 0;
        if (!parseNumber(control.substr(0, slash), page)) {
            t.error = refuse(L"bad control name " + control);
            return t;
        }
        root = findPage(t.dialog, static_cast<UINT>(page));
        if (!root) {
            t.error = refuse(dialogName(t.dialog) + L" has no page " + control.substr(0, slash));
            return t;
        }
        idPart = control.substr(slash + 1);
    }
    long id = 0;
    if (!parseNumber(idPart, id)) {
        t.error = refuse(L"bad control id " + idPart);
        return t;
    }
    std::vector<WndState*> found;
    findControls(root, static_cast<int>(id), found);
    if (found.empty()) {
        t.error = refuse(dialogName(t.dialog) + L" has no control " + control);
        return t;
    }
    t.control = found.front();
    for (WndState* c : found)
        if (classlib::detail::reallyVisible(c)) {
            t.control = c;
            break;
        }
    if (!force) {
        if (!classlib::detail::reallyVisible(t.control))
            t.error = refuse(L"control " + control + L" is hidden");
        else if (!classlib::detail::reallyEnabled(t.control))
            t.error = refuse(L"control " + control + L" is disabled");
    }
    return t;
}

// Runs a user action: handlers that fail are reported, and messages they posted are handled afterwards.
template <class F>
DriverResult act(F&& f) {
    DriverResult r;
    try {
        r = f();
        classlib::DialogDriver::runPosted();
    } catch (const std::exception& e) {
        std::string what = e.what();
        r = refuse(L"a handler failed: " + std::wstring(what.begin(), what.end()));
    } catch (...) {
        r = refuse(L"a handler raised an exception that nothing caught");
    }
    return r;
}

int findItem(const WndState* s, const std::wstring& item) {
    long index = 0;
    if (parseNumber(item, index))
        return (index >= 0 && index < static_cast<long>(s->items.size())) ? static_cast<int>(index) : -2;
    for (size_t i = 0; i < s->items.size(); ++i)
        if (s->items[i].text == item) return static_cast<int>(i);
    const std::wstring want = lower(item);
    for (size_t i = 0; i < s->items.size(); ++i)
        if (lower(s->items[i].text) == want) return static_cast<int>(i);
    for (size_t i = 0; i < s->items.size(); ++i)
        if (lower(s->items[i].text).rfind(want, 0) == 0) return static_cast<int>(i);
    return -1;
}

DriverResult chooseItem(HWND dialog, const std::wstring& control, const std::wstring& item, bool force, bool dbl) {
    Target t = resolve(dialog, control, force);
    if (!t.error) return t.error;
    WndState* c = t.control;
    if (c->kind != WndKind::ComboBox && c->kind != WndKind::ListBox)
        return refuse(L"control " + control + L" is not a list or combo box");
    if (dbl && c->kind != WndKind::ListBox) return refuse(L"control " + control + L" is not a list box");
    const int index = findItem(c, item);
    if (index == -2)
        return refuse(L"control " + control + L" has no item " + item + L" (" + std::to_wstring(c->items.size()) +
                      L" items)");
    if (index < 0) return refuse(L"control " + control + L" has no item " + quote(item));
    return act([&] {
        if (dbl)
            classlib::detail::userDoubleClickItem(c, index);
        else
            classlib::detail::userSelectItem(c, index);
        return DriverResult{};
    });
}

} // namespace

BOOL CWinThread::PumpMessage() {
    if (classlib::DialogDriver::hasPending()) {
        classlib::DialogDriver::pumpOne();
        return TRUE;
    }
    return win::pumpMessage() ? TRUE : FALSE;
}

CWinThread* AfxGetThread() {
    static CWinThread* thread = new CWinThread;
    return thread;
}

namespace classlib::detail {

bool runOneModalStep() {
    return DialogDriver::pumpOne();
}

} // namespace classlib::detail

namespace classlib {

void DialogDriver::queue(Action action) {
    driver().queue.push_back(std::move(action));
}

void DialogDriver::setActionSource(ActionSource source) {
    driver().source = std::move(source);
}

void DialogDriver::clearQueue() {
    driver().queue.clear();
}

bool DialogDriver::hasPending() {
    return detail::hasPostedMessages() || !driver().queue.empty();
}

bool DialogDriver::pumpOne() {
    if (detail::dispatchOnePostedMessage()) return true;
    if (!driver().queue.empty()) {
        Action a = std::move(driver().queue.front());
        driver().queue.pop_front();
        a();
        return true;
    }
    if (driver().source) return driver().source();
    return false;
}

void DialogDriver::runPosted() {
    while (detail::dispatchOnePostedMessage()) {}
}

std::vector<HWND> DialogDriver::dialogs() {
    std::vector<HWND> out;
    for (WndState* s : detail::topLevelWindows())
        if (s->kind == WndKind::Dialog && !s->destroyed) out.push_back(s->handle);
    return out;
}

HWND DialogDriver::current() {
    const auto all = dialogs();
    for (HWND h : all) {
        WndState* s = detail::stateOf(h);
        if (s->modal && !s->endRequested && (s->style & WS_VISIBLE)) return h;
    }
    const HWND active = GetActiveWindow();
    if (WndState* a = detail::stateOf(active); a && a->kind == WndKind::Dialog && (a->style & WS_VISIBLE))
        return active;
    for (HWND h : all)
        if (detail::stateOf(h)->style & WS_VISIBLE) return h;
    return nullptr;
}

HWND DialogDriver::find(const std::wstring& name) {
    long id = 0;
    const bool byId = parseNumber(name, id);
    const std::wstring want = lower(name);
    HWND hidden = nullptr;
    for (HWND h : dialogs()) {
        WndState* s = detail::stateOf(h);
        const bool hit = byId ? s->templateId == static_cast<UINT>(id) : lower(s->text) == want;
        if (!hit) continue;
        if (s->style & WS_VISIBLE) return h;
        if (!hidden) hidden = h;
    }
    return hidden;
}

std::wstring DialogDriver::list() {
    std::wostringstream out;
    const HWND cur = current();
    for (HWND h : dialogs()) {
        WndState* s = detail::stateOf(h);
        out << (h == cur ? L"* " : L"  ") << s->templateId << L' ' << quote(s->text)
            << (s->modal ? L" modal" : L" modeless")
            << (!(s->style & WS_VISIBLE)   ? L" hidden"
                : (s->style & WS_MINIMIZE) ? L" minimised"
                                           : L" visible")
            << (GetActiveWindow() == h ? L" active" : L"") << L'\n';
    }
    return out.str();
}

std::wstring DialogDriver::dump(HWND dialog) {
    WndState* s = detail::stateOf(dialog);
    if (!s) return L"";
    std::wostringstream out;
    out << L"dialog " << s->templateId << L' ' << quote(s->text) << (s->modal ? L" modal" : L" modeless")
        << (!(s->style & WS_VISIBLE)   ? L" hidden"
            : (s->style & WS_MINIMIZE) ? L" minimised"
                                       : L" visible")
        << ((s->style & WS_DISABLED) ? L" disabled" : L" enabled") << (GetActiveWindow() == dialog ? L" active" : L"")
        << L'\n';
    if (s->menuId)
        if (const MENUDEF* m = AfxFindMenu(s->menuId)) collectMenu(out, m->items, L"");
    for (const WndState* c : inCreationOrder(s)) dumpWindow(out, c, 2);
    return out.str();
}

DriverResult DialogDriver::setText(HWND dialog, const std::wstring& control, const std::wstring& text, bool force) {
    Target t = resolve(dialog, control, force);
    if (!t.error) return t.error;
    WndState* c = t.control;
    if (c->kind == WndKind::Edit && (c->style & ES_READONLY) && !force)
        return refuse(L"control " + control + L" is read-only");
    if (c->kind != WndKind::Edit && c->kind != WndKind::ComboBox && !force)
        return refuse(L"control " + control + L" does not take text");
    if (c->kind == WndKind::ComboBox && (c->style & 0x3) == CBS_DROPDOWNLIST && !force)
        return refuse(L"control " + control + L" takes no typed text");
    const HWND h = c->handle;
    return act([&] {
        if (c->kind == WndKind::ComboBox) {
            // A user replacing the text of the edit field: selection none, one edit notification.
            c->text = text;
            c->curSel = -1;
            detail::notifyParent(c, CBN_EDITUPDATE);
            if (WndState* still = detail::stateOf(h)) detail::notifyParent(still, CBN_EDITCHANGE);
        } else {
            ::SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        return DriverResult{};
    });
}

DriverResult DialogDriver::typeText(HWND dialog, const std::wstring& control, const std::wstring& text, bool force) {
    Target t = resolve(dialog, control, force);
    if (!t.error) return t.error;
    WndState* c = t.control;
    if (c->kind != WndKind::Edit && c->kind != WndKind::ComboBox)
        return refuse(L"control " + control + L" does not take text");
    if (c->kind == WndKind::Edit && (c->style & ES_READONLY)) return refuse(L"control " + control + L" is read-only");
    if (c->kind == WndKind::ComboBox && (c->style & 0x3) == CBS_DROPDOWNLIST)
        return refuse(L"control " + control + L" takes no typed text");
    const HWND h = c->handle;
    return act([&] {
        CWnd::FromHandle(h)->SetFocus();
        int refused = 0;
        for (wchar_t ch : text) {
            WndState* s = detail::stateOf(h);
            if (!s) break;
            if (!detail::userTypeChar(s, ch)) ++refused;
        }
        DriverResult r;
        if (refused) r.message = L"control " + control + L" refused " + std::to_wstring(refused) + L" character(s)";
        return r;
    });
}

DriverResult DialogDriver::click(HWND dialog, const std::wstring& control, bool force) {
    Target t = resolve(dialog, control, force);
    if (!t.error) return t.error;
    WndState* c = t.control;
    if (c->kind != WndKind::Button || (c->style & BS_TYPEMASK) == BS_GROUPBOX)
        return refuse(L"control " + control + L" is not a button");
    const HWND h = c->handle;
    return act([&] {
        if (force && (c->style & WS_DISABLED)) {
            // A forced click on a disabled button still reaches its handler.
            c->style &= ~WS_DISABLED;
            ::SendMessageW(h, BM_CLICK, 0, 0);
            if (WndState* still = detail::stateOf(h)) still->style |= WS_DISABLED;
        } else {
            ::SendMessageW(h, BM_CLICK, 0, 0);
        }
        return DriverResult{};
    });
}

DriverResult DialogDriver::select(HWND dialog, const std::wstring& control, const std::wstring& item, bool force) {
    return chooseItem(dialog, control, item, force, false);
}

DriverResult DialogDriver::doubleClick(HWND dialog, const std::wstring& control, const std::wstring& item, bool force) {
    return chooseItem(dialog, control, item, force, true);
}

DriverResult DialogDriver::check(HWND dialog, const std::wstring& control, bool checked, bool force) {
    Target t = resolve(dialog, control, force);
    if (!t.error) return t.error;
    WndState* c = t.control;
    if (!isCheckable(c)) return refuse(L"control " + control + L" is not a check box");
    if ((c->check == BST_CHECKED) == checked) return {};
    const HWND h = c->handle;
    return act([&] {
        // Clicks until the box shows the wanted state (a three-state box may need two).
        for (int i = 0; i < 3; ++i) {
            WndState* s = detail::stateOf(h);
            if (!s || (s->check == BST_CHECKED) == checked) break;
            const DWORD type = s->style & BS_TYPEMASK;
            if (type == BS_CHECKBOX || type == BS_3STATE) {
                // A box without automatic checking changes only through its owner's handler.
                ::SendMessageW(h, BM_CLICK, 0, 0);
                break;
            }
            ::SendMessageW(h, BM_CLICK, 0, 0);
        }
        return DriverResult{};
    });
}

DriverResult DialogDriver::radio(HWND dialog, const std::wstring& control, bool force) {
    Target t = resolve(dialog, control, force);
    if (!t.error) return t.error;
    if (!isRadio(t.control)) return refuse(L"control " + control + L" is not a radio button");
    const HWND h = t.control->handle;
    return act([&] {
        ::SendMessageW(h, BM_CLICK, 0, 0);
        return DriverResult{};
    });
}

DriverResult DialogDriver::tab(HWND dialog, const std::wstring& control, int index, bool force) {
    Target t = resolve(dialog, control, force);
    if (!t.error) return t.error;
    WndState* c = t.control;
    if (c->kind != WndKind::Tab) return refuse(L"control " + control + L" is not a tab control");
    if (index < 0 || index >= static_cast<int>(c->tabs.size()))
        return refuse(L"control " + control + L" has no tab " + std::to_wstring(index) + L" (" +
                      std::to_wstring(c->tabs.size()) + L" tabs)");
    const RECT r = detail::tabItemRect(c, index);
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    const HWND h = c->handle;
    return act([&] {
        ::SendMessageW(h, WM_LBUTTONDOWN, 0x0001, at);
        ::SendMessageW(h, WM_LBUTTONUP, 0, at);
        return DriverResult{};
    });
}

DriverResult DialogDriver::menu(HWND dialog, UINT commandId, bool force) {
    WndState* d = detail::stateOf(dialog);
    if (DriverResult r = checkDialog(d, force); !r) return r;
    const MENUDEF* m = d->menuId ? AfxFindMenu(d->menuId) : nullptr;
    if (!force) {
        if (!m) return refuse(dialogName(d) + L" has no menu");
        if (!menuHas(m->items, commandId))
            return refuse(dialogName(d) + L" has no menu command " + std::to_wstring(commandId));
    }
    return act([&] {
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(commandId, 0), 0);
        return DriverResult{};
    });
}

DriverResult DialogDriver::close(HWND dialog, bool force) {
    WndState* d = detail::stateOf(dialog);
    if (DriverResult r = checkDialog(d, force); !r) return r;
    if (!force && !(d->style & WS_SYSMENU)) return refuse(dialogName(d) + L" has no close box");
    return act([&] {
        ::SendMessageW(dialog, WM_CLOSE, 0, 0);
        return DriverResult{};
    });
}

DriverResult DialogDriver::escape(HWND dialog, bool force) {
    WndState* d = detail::stateOf(dialog);
    if (DriverResult r = checkDialog(d, force); !r) return r;
    HWND cancel = nullptr;
    for (WndState* c : d->children)
        if (c->id == IDCANCEL) {
            if ((c->style & WS_DISABLED) && !force) return refuse(L"Cancel (control 2) is disabled");
            cancel = c->handle;
        }
    return act([&] {
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
        return DriverResult{};
    });
}

DriverResult DialogDriver::enter(HWND dialog, bool force) {
    WndState* d = detail::stateOf(dialog);
    if (DriverResult r = checkDialog(d, force); !r) return r;
    const int id = d->defId;
    HWND button = nullptr;
    for (WndState* c : d->children)
        if (c->id == id) {
            if ((c->style & WS_DISABLED) && !force)
                return refuse(L"the default button (control " + std::to_wstring(id) + L") is disabled");
            button = c->handle;
        }
    return act([&] {
        ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        return DriverResult{};
    });
}

void DialogDriver::setEventListener(EventListener listener) {
    driver().listener = std::move(listener);
    detail::setWindowEventHook(driver().listener ? &forwardEvent : nullptr);
}

} // namespace classlib
