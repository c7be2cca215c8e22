#pragma once
// Starting programs, waiting on them, and sleeping.
#include <string>
#include <string_view>
#include <vector>

#include "win/Files.h"
#include "win/Module.h"
#include "win/WinTypes.h"

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

constexpr DWORD NORMAL_PRIORITY_CLASS = 0x00000020;
constexpr DWORD CREATE_NEW_CONSOLE = 0x00000010;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000;
constexpr DWORD CREATE_UNICODE_ENVIRONMENT = 0x00000400;
constexpr DWORD STILL_ACTIVE = 259;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Starts the program without a shell and does not wait for it. The program is the application
// name when given, else the first word of the command line (split as Windows does); both and the
// current folder are Windows paths. Arguments that are absolute C: or Z: paths are handed over in
// their native form. A program without a folder is looked for in the current folder, then on
// PATH; a missing "name.exe" is tried as "name". The environment, when given, is a block of
// "name=value" strings ending in an empty one (wide with CREATE_UNICODE_ENVIRONMENT, else UTF-8).
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode);
BOOL CloseHandle(HANDLE object);

void Sleep(DWORD milliseconds);
DWORD SleepEx(DWORD milliseconds, BOOL alertable); // always 0: nothing queues callbacks here
DWORD GetTickCount();
ULONGLONG GetTickCount64();
DWORD GetCurrentProcessId();
// The machine's host name; FALSE with ERROR_BUFFER_OVERFLOW and the size needed when it does not fit.
BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size);

namespace win {
// The arguments of a command line as the Microsoft C runtime splits it: blanks separate; quotes
// group and are removed; 2n backslashes before a quote give n and the quote groups, 2n+1 give n
// and a literal quote; other backslashes are literal; "" inside quotes is a literal quote. The
// first word (the program) ends at the first blank outside quotes and keeps its backslashes.
std::vector<std::wstring> splitCommandLine(std::wstring_view commandLine);
} // namespace win
