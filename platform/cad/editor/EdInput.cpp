#include "cad/editor/EdInput.h"

#include "cad/editor/EdCodes.h"
#include "cad/editor/EdPrintf.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

namespace ed {

void Input::send(const std::wstring& text) {
    std::wstring cur;
    for (wchar_t c : text) {
        if (c == 27) {
            cur.clear();
            sent_.push_back(kCancelLine);
        } else if (c == L'\n' || c == L'\r') {
            if (c == L'\n') {
                sent_.push_back(cur);
                cur.clear();
            }
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) sent_.push_back(cur);
}

std::optional<std::wstring> Input::next() {
    if (!sent_.empty()) {
        std::wstring s = std::move(sent_.front());
        sent_.pop_front();
        return s;
    }
    if (!queued_.empty()) {
        std::wstring s = std::move(queued_.front());
        queued_.pop_front();
        return s;
    }
    if (source_) return source_();
    return std::nullopt;
}

void Input::noteEndOfInputPrompt() {
    // A thousand prompts in a row after the input has ended cannot be a user's intent.
    if (++endPrompts_ >= 1000 && runaway_) runaway_();
}

Input& input() {
    static Input in;
    return in;
}

bool isCancelLine(const std::wstring& line) {
    return line == kCancelLine || line.find(wchar_t(27)) != std::wstring::npos;
}

Answer ask(const wchar_t* prompt) {
    if (prompt) commandLine().write(prompt);
    std::optional<std::wstring> line = input().next();
    Answer a;
    if (!line)
        input().noteEndOfInputPrompt();
    else
        input().noteAnswer();
    if (!line || isCancelLine(*line)) {
        a.cancelled = true;
        if (input().echo()) commandLine().write(L"*Cancel*\n");
        return a;
    }
    a.text = *line;
    input().noteAnswerText(a.text);
    if (input().echo()) commandLine().write(a.text + L"\n");
    return a;
}

void refuseAnswer(const std::wstring& why) {
    commandLine().write(L"\n" + why);
    input().tellRefusal(why);
}

namespace {

std::wstring trim(const std::wstring& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::iswspace(static_cast<wint_t>(s[b]))) ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

} // namespace
} // namespace ed

int acedGetInt(const wchar_t* prompt, int* result) {
    for (;;) {
        ed::Answer a = ed::ask(prompt);
        if (a.cancelled) return RTCAN;
        std::wstring t = ed::trim(a.text);
        if (t.empty()) return RTNONE;
        wchar_t* end = nullptr;
        errno = 0;
        long v = std::wcstol(t.c_str(), &end, 10);
        if (end && *end == 0 && errno == 0 && v >= INT_MIN && v <= INT_MAX) {
            if (result) *result = static_cast<int>(v);
            return RTNORM;
        }
        ed::refuseAnswer(L"Requires an integer value.");
    }
}

int acedGetReal(const wchar_t* prompt, double* result) {
    for (;;) {
        ed::Answer a = ed::ask(prompt);
        if (a.cancelled) return RTCAN;
        std::wstring t = ed::trim(a.text);
        if (t.empty()) return RTNONE;
        wchar_t* end = nullptr;
        errno = 0;
        double v = std::wcstod(t.c_str(), &end);
        // wcstod also reads "inf", "nan" and hexadecimal ("0x1A"), which no user means as a distance.
        bool finite = v == v && v - v == 0.0;
        const bool decimal = t.find_first_not_of(L"0123456789+-.eE") == std::wstring::npos;
        if (end && *end == 0 && errno == 0 && finite && decimal) {
            if (result) *result = v;
            return RTNORM;
        }
        ed::refuseAnswer(L"Requires numeric value.");
    }
}

int acedGetString(int cronly, const wchar_t* prompt, wchar_t* result, size_t bufsize) {
    if (!result || bufsize == 0) return RTERROR;
    ed::Answer a = ed::ask(prompt);
    if (a.cancelled) {
        result[0] = 0;
        return RTCAN;
    }
    std::wstring text = a.text;
    if (!cronly) {
        size_t sp = text.find(L' ');
        if (sp != std::wstring::npos) {
            std::wstring rest = text.substr(sp + 1);
            text.resize(sp);
            if (!rest.empty()) ed::input().pushFront(rest);
        }
    }
    int rc = RTNORM;
    if (text.size() >= bufsize) {
        text.resize(bufsize - 1);
        rc = RTINPUTTRUNCATED;
    }
    std::wmemcpy(result, text.c_str(), text.size() + 1);
    return rc;
}

int acedGetString(int cronly, const wchar_t* prompt, wchar_t* result) {
    if (!result) return RTERROR;
    int rc = acedGetString(cronly, prompt, result, 133);
    return rc == RTINPUTTRUNCATED ? RTNORM : rc;
}
