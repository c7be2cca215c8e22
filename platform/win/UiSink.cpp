#include "win/UiSink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <mutex>

#include "win/ComTypes.h"
#include "win/Encoding.h"
#include "win/Module.h"

namespace win {
namespace {

std::mutex g_sinkMutex;
UiSink* g_sink = nullptr;
std::wstring g_appName = L"cadhost";

} // namespace

int UiSink::messageBox(HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
    const std::string line = "[" + toUtf8(caption) + "] " + toUtf8(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return defaultButton(type);
}

bool UiSink::chooseFile(const FileDialogRequest&, std::wstring&) {
    return false;
}
bool UiSink::browseForFolder(const std::wstring&, std::wstring&) {
    return false;
}
bool UiSink::hasPendingMessage() {
    return false;
}
void UiSink::valueRefused() {}

bool UiSink::pumpMessage() {
    return true;
}

UiSink& defaultUiSink() {
    static UiSink sink;
    return sink;
}

UiSink& uiSink() {
    std::lock_guard lock(g_sinkMutex);
    return g_sink ? *g_sink : defaultUiSink();
}

UiSink* setUiSink(UiSink* sink) {
    std::lock_guard lock(g_sinkMutex);
    UiSink* previous = g_sink ? g_sink : &defaultUiSink();
    g_sink = sink == &defaultUiSink() ? nullptr : sink;
    return previous;
}

int defaultButton(UINT type) {
    static constexpr int kButtons[][3] = {
        {IDOK, IDOK, IDOK},                 // MB_OK
        {IDOK, IDCANCEL, IDCANCEL},         // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},       // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},            // MB_YESNOCANCEL
        {IDYES, IDNO, IDNO},                // MB_YESNO
        {IDRETRY, IDCANCEL, IDCANCEL},      // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE}, // MB_CANCELTRYCONTINUE
    };
    const UINT kind = type & MB_TYPEMASK;
    if (kind > 6) return IDOK;
    UINT which = (type & MB_DEFMASK) >> 8;
    if (which > 2) which = 0; // a default button the box does not have falls back to the first
    return kButtons[kind][which];
}

bool pumpMessage() {
    return uiSink().pumpMessage();
}

void setApplicationName(const std::wstring& name) {
    std::lock_guard lock(g_sinkMutex);
    g_appName = name;
}

std::wstring applicationName() {
    std::lock_guard lock(g_sinkMutex);
    return g_appName;
}

} // namespace win

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    // A null caption is shown as "Error", as Windows does.
    return win::uiSink().messageBox(owner, text ? text : L"", caption ? caption : L"Error", type);
}

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    return win::uiSink().messageBox(owner, win::fromUtf8(text ? text : ""), caption ? win::fromUtf8(caption) : L"Error",
                                    type);
}

int AfxMessageBox(LPCTSTR text, UINT type, UINT) {
    return win::uiSink().messageBox(nullptr, text ? text : L"", win::applicationName(), type);
}

int AfxMessageBox(UINT idPrompt, UINT type, UINT helpId) {
    const std::wstring text = win::loadString(win::resourceModule(), idPrompt);
    return AfxMessageBox(text.c_str(), type, helpId);
}

BOOL PeekMessageW(LPMSG msg, HWND, UINT, UINT, UINT) {
    if (msg) std::memset(msg, 0, sizeof(MSG));
    return win::uiSink().hasPendingMessage() ? TRUE : FALSE;
}

namespace {
// An item list here is a marked, terminated wide path in task memory.
constexpr std::uint32_t kListMark = 0x4C444950u;
struct ListHead {
    std::uint32_t mark;
    std::uint32_t length;
};
} // namespace

PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info) {
    std::wstring path;
    const std::wstring title = info && info->lpszTitle ? info->lpszTitle : L"";
    if (!win::uiSink().browseForFolder(title, path)) return nullptr;
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    if (info && info->pszDisplayName) {
        const auto slash = path.find_last_of(L"\\/");
        std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
        if (name.empty()) name = path;
        name = name.substr(0, MAX_PATH - 1);
        std::wmemcpy(info->pszDisplayName, name.c_str(), name.size() + 1);
    }
    auto* block = static_cast<char*>(CoTaskMemAlloc(sizeof(ListHead) + (path.size() + 1) * sizeof(wchar_t)));
    if (!block) return nullptr;
    auto* head = reinterpret_cast<ListHead*>(block);
    head->mark = kListMark;
    head->length = static_cast<std::uint32_t>(path.size());
    std::wmemcpy(reinterpret_cast<wchar_t*>(block + sizeof(ListHead)), path.c_str(), path.size() + 1);
    return reinterpret_cast<PIDLIST_ABSOLUTE>(block);
}

BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path) {
    if (!list || !path) return FALSE;
    const auto* head = reinterpret_cast<const ListHead*>(list);
    if (head->mark != kListMark || head->length >= MAX_PATH) {
        path[0] = 0;
        return FALSE;
    }
    const auto* text = reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(list) + sizeof(ListHead));
    std::wmemcpy(path, text, head->length + 1);
    return TRUE;
}
