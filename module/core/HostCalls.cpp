#include "core/HostCalls.h"

#include <cstdarg>
#include <cstdio>

#ifdef KELMO_LOCAL_COMMAND_LINE
namespace kelmo {
std::wstring& localCommandLine() {
    static std::wstring text;
    return text;
}
} // namespace kelmo

int acutPrintf(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    CString text;
    text.FormatV(format, args);
    va_end(args);
    kelmo::localCommandLine() += static_cast<const wchar_t*>(text);
    std::fputs(text.ToUtf8().c_str(), stdout);
    return text.GetLength();
}
#endif

CString hostBrowseForFile(const CString& title, const CString& initialFolder, CString& fileTitle,
                          const CString& filter) {
    win::FileDialogRequest request;
    request.open = true;
    request.title = static_cast<const wchar_t*>(title);
    request.initialFolder = static_cast<const wchar_t*>(initialFolder);
    request.fileName = static_cast<const wchar_t*>(fileTitle);
    request.filter = static_cast<const wchar_t*>(filter);
    request.flags = 1; // the read-only box starts ticked
    std::wstring path;
    if (!win::uiSink().chooseFile(request, path)) {
        return CString();
    }
    // The dialog writes the chosen file's name into the file-title field.
    const std::size_t slash = path.find_last_of(L"\\/");
    fileTitle = path.substr(slash == std::wstring::npos ? 0 : slash + 1).c_str();
    return path.c_str();
}

CString hostBrowseForFolder(const CString& title) {
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) {
        return CString();
    }
    CString folder;
    BROWSEINFOW info = {};
    wchar_t displayName[MAX_PATH + 1] = {0};
    info.pszDisplayName = displayName;
    info.lpszTitle = title;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (chosen != nullptr) {
        wchar_t path[MAX_PATH + 1] = {0};
        if (SHGetPathFromIDListW(chosen, path)) {
            path[MAX_PATH] = 0;
            folder = path;
        }
        allocator->Free(chosen);
    }
    allocator->Release();
    return folder;
}
