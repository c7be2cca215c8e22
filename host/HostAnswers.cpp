#include "HostAnswers.h"

#include <cwctype>
#include <vector>

#include "cad/editor/EdInput.h"

namespace cadhost {
namespace {

std::wstring lower(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    size_t b = s.find_first_not_of(L" \t");
    size_t e = s.find_last_not_of(L" \t");
    return b == std::wstring::npos ? std::wstring() : s.substr(b, e - b + 1);
}

struct Button {
    const wchar_t* word;
    int id;
};

std::vector<Button> buttons(unsigned type) {
    switch (type & 0xF) {
        case kMbOkCancel:
            return {{L"ok", kIdOk}, {L"cancel", kIdCancel}};
        case kMbAbortRetryIgnore:
            return {{L"abort", kIdAbort}, {L"retry", kIdRetry}, {L"ignore", kIdIgnore}};
        case kMbYesNoCancel:
            return {{L"yes", kIdYes}, {L"no", kIdNo}, {L"cancel", kIdCancel}};
        case kMbYesNo:
            return {{L"yes", kIdYes}, {L"no", kIdNo}};
        case kMbRetryCancel:
            return {{L"retry", kIdRetry}, {L"cancel", kIdCancel}};
        default:
            return {{L"ok", kIdOk}};
    }
}

} // namespace

std::optional<int> messageBoxAnswer(const std::wstring& line, unsigned type) {
    std::wstring w = lower(line);
    std::vector<Button> b = buttons(type);
    if (w.empty()) return b[(type & 0xF00) == kMbDefButton2 && b.size() > 1 ? 1 : 0].id;
    for (const Button& x : b)
        if (w == x.word) return x.id;
    return std::nullopt;
}

int messageBoxNoAnswer(unsigned type) {
    std::vector<Button> b = buttons(type);
    for (const Button& x : b)
        if (x.id == kIdCancel) return kIdCancel;
    for (const Button& x : b)
        if (x.id == kIdNo) return kIdNo;
    return b.front().id;
}

std::wstring messageBoxChoices(unsigned type) {
    std::wstring s;
    for (const Button& x : buttons(type)) s += (s.empty() ? L"" : L"/") + std::wstring(x.word);
    return s;
}

std::optional<std::wstring> fileDialogAnswer(const std::wstring& line) {
    std::wstring w = lower(line);
    // "*Cancel*" cancels a chooser as it cancels a prompt: it is no file name.
    if (w.empty() || w == L"cancel" || ed::isCancelLine(line)) return std::nullopt;
    size_t b = line.find_first_not_of(L" \t");
    size_t e = line.find_last_not_of(L" \t");
    return line.substr(b, e - b + 1);
}

bool isMessageBoxWord(const std::wstring& word) {
    std::wstring w = lower(word);
    return w == L"ok" || w == L"yes" || w == L"no" || w == L"cancel" || w == L"abort" || w == L"retry" ||
           w == L"ignore";
}

} // namespace cadhost
