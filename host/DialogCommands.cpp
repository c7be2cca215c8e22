#include "DialogCommands.h"

#include <algorithm>
#include <cwctype>
#include <utility>
#include <ostream>

#include "classlib/DialogDriver.h"
#include "win/Encoding.h"

using classlib::DialogDriver;
using classlib::DriverResult;

namespace cadhost {

namespace {

std::ostream* g_echo = nullptr;
bool g_explain = false; // the next dialog shown is followed by how to answer it

void print(std::ostream& out, const std::wstring& text) {
    out << win::toUtf8(text);
    out.flush();
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The next word of `rest` (a double-quoted word may hold blanks); `rest` keeps what follows it.
std::wstring nextWord(std::wstring& rest) {
    size_t i = 0;
    while (i < rest.size() && isBlank(rest[i])) ++i;
    std::wstring word;
    if (i < rest.size() && rest[i] == L'"') {
        const size_t end = rest.find(L'"', i + 1);
        if (end != std::wstring::npos) {
            word = rest.substr(i + 1, end - i - 1);
            rest = rest.substr(end + 1);
            return word;
        }
    }
    size_t j = i;
    while (j < rest.size() && !isBlank(rest[j])) ++j;
    word = rest.substr(i, j - i);
    rest = rest.substr(j);
    return word;
}

// The rest of the line as a text argument: one separating blank dropped, surrounding quotes removed.
std::wstring textArgument(const std::wstring& rest) {
    std::wstring t = rest;
    if (!t.empty() && isBlank(t[0])) t.erase(0, 1);
    std::wstring trimmed = t;
    while (!trimmed.empty() && isBlank(trimmed.back())) trimmed.pop_back();
    size_t lead = 0;
    while (lead < trimmed.size() && isBlank(trimmed[lead])) ++lead;
    trimmed = trimmed.substr(lead);
    if (trimmed.size() >= 2 && trimmed.front() == L'"' && trimmed.back() == L'"')
        return trimmed.substr(1, trimmed.size() - 2);
    return t;
}

std::wstring lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return s;
}

bool parseInt(const std::wstring& s, int& value) {
    if (s.empty()) return false;
    size_t i = s[0] == L'-' ? 1 : 0;
    if (i == s.size()) return false;
    for (size_t k = i; k < s.size(); ++k)
        if (!std::iswdigit(static_cast<wint_t>(s[k]))) return false;
    try {
        value = std::stoi(s);
    } catch (...) {
        return false;
    }
    return true;
}

// The dialog that closed last, as "dialog 201 "RoomBlock"", until the next dialog line: an action that
// meant it (a second OK) is told it has closed rather than only what the dialog now current lacks.
std::wstring g_closedSinceLastLine;

void onDialogEvent(HWND dialog, const std::string& event) {
    if (event == "closed")
        if (auto* s = classlib::detail::stateOf(dialog))
            g_closedSinceLastLine = L"dialog " + std::to_wstring(s->templateId) + L" \"" + s->text + L"\"";
    if (!g_echo || event == "created") return;
    if (event == "closed") {
        auto* s = classlib::detail::stateOf(dialog);
        if (s) *g_echo << "dialog " << s->templateId << ' ' << win::toUtf8(L"\"" + s->text + L"\"") << " closed\n";
        g_echo->flush();
        return;
    }
    print(*g_echo, DialogDriver::dump(dialog));
    auto* s = classlib::detail::stateOf(dialog);
    if (g_explain && s && (s->style & WS_VISIBLE)) {
        g_explain = false;
        *g_echo << "(Answer a dialog with dlg lines: \"dlg click ID\" presses the button numbered ID, \"dlg set ID "
                   "TEXT\" fills in an edit, \"dlg enter\" presses the default button, \"dlg esc\" cancels; "
                   "cadhost --help lists them all.)\n";
        g_echo->flush();
    }
}

} // namespace

DialogLineResult runDialogLine(const std::wstring& line, std::ostream& out) {
    DialogLineResult result;
    std::wstring rest = line;
    while (!rest.empty() && (rest.back() == L'\r' || rest.back() == L'\n')) rest.pop_back();
    if (lower(nextWord(rest)) != L"dlg") return result;
    result.handled = true;

    HWND dialog = nullptr;
    bool named = false;
    bool force = false;
    std::wstring verb;
    for (;;) {
        std::wstring before = rest;
        std::wstring word = nextWord(rest);
        if (!word.empty() && word[0] == L'@' && !named) {
            std::wstring name = word.substr(1);
            if (name.empty()) { // "@" followed by a quoted caption
                name = nextWord(rest);
            } else if (name[0] == L'"') {
                std::wstring again = before;
                size_t at = again.find(L'@');
                again = again.substr(at + 1);
                name = nextWord(again);
                rest = again;
            }
            dialog = DialogDriver::find(name);
            if (!dialog) {
                result.error = L"no open dialog is named " + name;
                return result;
            }
            named = true;
            continue;
        }
        if (lower(word) == L"force" && !force) {
            force = true;
            continue;
        }
        verb = lower(word);
        break;
    }
    if (!named) dialog = DialogDriver::current();
    // What closed since the last dialog line; this line's own closings count for the next.
    const std::wstring closedBefore = std::exchange(g_closedSinceLastLine, std::wstring());

    if (verb == L"list") {
        const std::wstring text = DialogDriver::list();
        print(out, text.empty() ? std::wstring(L"no dialogs are open\n") : text);
        return result;
    }
    if (verb.empty()) {
        result.error =
            L"dlg needs an action (list, show, set, type, click, select, dblclick, check, radio, tab, "
            L"menu, close, esc, enter)";
        return result;
    }
    if (!dialog) {
        result.error = L"no dialog is open";
        return result;
    }
    if (verb == L"show") {
        print(out, DialogDriver::dump(dialog));
        return result;
    }

    DriverResult r;
    const std::wstring control = (verb == L"close" || verb == L"esc" || verb == L"enter") ? L"" : nextWord(rest);
    auto needControl = [&]() {
        if (control.empty()) result.error = L"dlg " + verb + L" needs a control id";
        return !control.empty();
    };
    if (verb == L"set" || verb == L"type") {
        if (!needControl()) return result;
        const std::wstring text = textArgument(rest);
        r = verb == L"set" ? DialogDriver::setText(dialog, control, text, force)
                           : DialogDriver::typeText(dialog, control, text, force);
    } else if (verb == L"click") {
        if (!needControl()) return result;
        r = DialogDriver::click(dialog, control, force);
    } else if (verb == L"select" || verb == L"dblclick") {
        if (!needControl()) return result;
        const std::wstring item = textArgument(rest);
        r = verb == L"select" ? DialogDriver::select(dialog, control, item, force)
                              : DialogDriver::doubleClick(dialog, control, item, force);
    } else if (verb == L"check") {
        if (!needControl()) return result;
        const std::wstring state = nextWord(rest);
        if (state != L"0" && state != L"1") {
            result.error = L"dlg check needs 0 or 1";
            return result;
        }
        r = DialogDriver::check(dialog, control, state == L"1", force);
    } else if (verb == L"radio") {
        if (!needControl()) return result;
        r = DialogDriver::radio(dialog, control, force);
    } else if (verb == L"tab") {
        if (!needControl()) return result;
        int index = 0;
        if (!parseInt(nextWord(rest), index)) {
            result.error = L"dlg tab needs a tab index";
            return result;
        }
        r = DialogDriver::tab(dialog, control, index, force);
    } else if (verb == L"menu") {
        int id = 0;
        if (!parseInt(control, id) || id <= 0) {
            result.error = L"dlg menu needs a command id";
            return result;
        }
        r = DialogDriver::menu(dialog, static_cast<UINT>(id), force);
    } else if (verb == L"close") {
        r = DialogDriver::close(dialog, force);
    } else if (verb == L"esc") {
        r = DialogDriver::escape(dialog, force);
    } else if (verb == L"enter") {
        r = DialogDriver::enter(dialog, force);
    } else {
        result.error = L"unknown dialog action \"" + verb + L"\"";
        return result;
    }
    if (!r.ok) {
        result.error = r.message;
        if (!named && !closedBefore.empty())
            result.error += L" (" + closedBefore + L" has closed since the last dialog line)";
    } else if (!r.message.empty())
        print(out, r.message + L"\n");
    return result;
}

DialogLineResult runDialogLine(const std::string& utf8Line, std::ostream& out) {
    return runDialogLine(win::fromUtf8(utf8Line), out);
}

void echoDialogs(std::ostream* out, bool explain) {
    g_echo = out;
    g_explain = out && explain;
    if (out)
        DialogDriver::setEventListener(&onDialogEvent);
    else
        DialogDriver::setEventListener(nullptr);
}

void cancelOpenDialogs() {
    // Each cancel may close others or open new ones: look again after every one, and give each dialog one go.
    std::vector<HWND> done;
    for (;;) {
        HWND next = nullptr;
        for (HWND h : DialogDriver::dialogs()) {
            auto* s = classlib::detail::stateOf(h);
            if (!s || !(s->style & WS_VISIBLE) || std::find(done.begin(), done.end(), h) != done.end()) continue;
            next = h;
            break;
        }
        if (!next) return;
        done.push_back(next);
        DialogDriver::escape(next, true);
    }
}

} // namespace cadhost
