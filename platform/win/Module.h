#pragma once
// Modules and their string tables. The host executable is module null, "C:\CadHost\cadhost.exe";
// a module (the add-in) registers its file name and string table when it is loaded.
#include <map>
#include <string>

#include "win/WinTypes.h"

namespace win {

using StringTable = std::map<UINT, std::wstring>;

// Registers a module by its Windows file name and returns its handle. Registering the same name
// again (compared without regard to case) replaces its table and returns the same handle.
HMODULE registerModule(const std::wstring& windowsFileName, StringTable strings = {});
void unregisterModule(HMODULE module);

// The host executable's module handle and file name.
HMODULE hostModule();
std::wstring hostExecutable();

// The module whose resources are used when none is named (AfxMessageBox with a string id).
// Defaults to the most recently registered module, else the host.
void setResourceModule(HMODULE module);
HMODULE resourceModule();

// A string of a module's table; empty when there is none.
std::wstring loadString(HMODULE module, UINT id);

} // namespace win

// Null names the host executable. Matched by full path or by file name, without regard to case.
HMODULE GetModuleHandleW(LPCWSTR moduleName);
// Copies the file name, truncated to size - 1 characters (then error 122), and returns its length.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
// Copies the string into the buffer (truncated to size - 1); size 0 gives a read-only pointer to
// the string in `buffer` (as an LPWSTR*). Returns the characters copied, 0 when there is none.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size);

struct STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX;
    DWORD dwY;
    DWORD dwXSize;
    DWORD dwYSize;
    DWORD dwXCountChars;
    DWORD dwYCountChars;
    DWORD dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput;
    HANDLE hStdOutput;
    HANDLE hStdError;
};
using LPSTARTUPINFOW = STARTUPINFOW*;

constexpr DWORD STARTF_USESHOWWINDOW = 0x00000001;
constexpr DWORD STARTF_USESTDHANDLES = 0x00000100;

void GetStartupInfoW(LPSTARTUPINFOW info);
