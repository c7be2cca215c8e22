#pragma once
// The user interface reaches the host through one replaceable sink: message boxes, the file and
// folder choosers and the message pump. cadhost and tests install their own.
#include <string>

#include "win/WinTypes.h"

namespace win {

// What a file dialog asks; the filter is the "Description|*.ext|...||" form.
struct FileDialogRequest {
    bool open = true; // false: a save dialog
    std::wstring title;
    std::wstring initialFolder;
    std::wstring fileName;
    std::wstring defaultExtension;
    std::wstring filter;
    DWORD flags = 0;
};

struct UiSink {
    virtual ~UiSink() = default;
    // Returns the button pressed (IDOK, IDYES ...).
    virtual int messageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
    // Fills `path` and returns true, or returns false for cancel.
    virtual bool chooseFile(const FileDialogRequest& request, std::wstring& path);
    virtual bool browseForFolder(const std::wstring& title, std::wstring& path);
    // The message pump: whether a message waits, and handling one (false when it was the quit message).
    virtual bool hasPendingMessage();
    virtual bool pumpMessage();
    // A dialog refused a value typed into it (the message box that said why has been shown): the action
    // that gave it was not applied.
    virtual void valueRefused();
};

// The default sink prints "[caption] text" on standard error and answers with the default
// button; the choosers cancel; the queue is always empty.
UiSink& defaultUiSink();
UiSink& uiSink();
// Installs a sink (not owned); null puts the default back. Returns the previous sink.
UiSink* setUiSink(UiSink* sink);

// Installs a sink for the lifetime of this object, then puts the previous one back.
class UiSinkScope {
public:
    explicit UiSinkScope(UiSink* sink) : previous_(setUiSink(sink)) {}
    ~UiSinkScope() { setUiSink(previous_); }
    UiSinkScope(const UiSinkScope&) = delete;
    UiSinkScope& operator=(const UiSinkScope&) = delete;

private:
    UiSink* previous_;
};

// The button a message box of this type answers with when the user just presses Enter.
int defaultButton(UINT type);

// The message pump the class library's thread object uses.
bool pumpMessage();

// The caption of AfxMessageBox: the application's name.
void setApplicationName(const std::wstring& name);
std::wstring applicationName();

} // namespace win

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type); // UTF-8 texts
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT idPrompt, UINT type = MB_OK, UINT helpId = static_cast<UINT>(-1));

BOOL PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);

// The shell's folder browser.
struct ITEMIDLIST;
using LPITEMIDLIST = ITEMIDLIST*;
using LPCITEMIDLIST = const ITEMIDLIST*;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
using BFFCALLBACK = int (*)(HWND, UINT, LPARAM, LPARAM);

struct BROWSEINFOW {
    HWND hwndOwner;
    PCIDLIST_ABSOLUTE pidlRoot;
    LPWSTR pszDisplayName; // receives the chosen folder's name, MAX_PATH characters
    LPCWSTR lpszTitle;
    UINT ulFlags;
    BFFCALLBACK lpfn;
    LPARAM lParam;
    int iImage;
};
using LPBROWSEINFOW = BROWSEINFOW*;

constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;

// The result is freed with CoTaskMemFree (or the shell allocator's Free); null for cancel.
PIDLIST_ABSOLUTE SHBrowseForFolderW(LPBROWSEINFOW info);
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE list, LPWSTR path);
