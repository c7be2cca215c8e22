#include "win/Win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::vector<std::wstring> split(const wchar_t* line) {
    return win::splitCommandLine(line);
}
using Args = std::vector<std::wstring>;
} // namespace

TEST(CommandLine, QuotesAndBackslashesSplitAsWindowsDoes) {
    EXPECT_EQ(split(L"\"C:\\Program Files\\app.exe\" \"C:\\out\\rooms.csv\""),
              (Args{L"C:\\Program Files\\app.exe", L"C:\\out\\rooms.csv"}));
    EXPECT_EQ(split(L"a.exe  one\ttwo  "), (Args{L"a.exe", L"one", L"two"}));
    EXPECT_EQ(split(L"p \"a b\" c"), (Args{L"p", L"a b", L"c"}));
    EXPECT_EQ(split(L"p a\\\\\\b"), (Args{L"p", L"a\\\\\\b"}));         // backslashes alone are literal
    EXPECT_EQ(split(L"p a\\\\\\\"b"), (Args{L"p", L"a\\\"b"}));         // 2n+1 before a quote: literal quote
    EXPECT_EQ(split(L"p \"a\\\\\" b"), (Args{L"p", L"a\\", L"b"}));     // 2n before a quote: it closes
    EXPECT_EQ(split(L"p \"C:\\dir\\\\\""), (Args{L"p", L"C:\\dir\\"})); // a quoted folder ending in "\\"
    EXPECT_EQ(split(L"p \"a\"\"b\""), (Args{L"p", L"a\"b"}));           // "" inside quotes
    EXPECT_EQ(split(L"p \"\""), (Args{L"p", L""}));                     // an empty argument survives
    EXPECT_EQ(split(L"C:\\a\\\"b c\" d"), (Args{L"C:\\a\\b c", L"d"})); // the program keeps backslashes
}

TEST(Process, StartsWithoutAShellInTheGivenFolder) {
    const fs::path root = fs::temp_directory_path() / ("winproc_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "work");
    win::setCDrive(root.string());
    ASSERT_TRUE(fs::exists("/bin/sh"));

    // The shell only runs because it is the program; its argument arrives unsplit and unexpanded.
    std::wstring cmd =
        L"\"Z:\\bin\\sh\" -c \"pwd > here.txt; printf '%s' \\\"$1\\\" > arg.txt\" sh \"C:\\work\\a b.txt\"";
    STARTUPINFOW si;
    GetStartupInfoW(&si);
    si.dwFlags |= STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOW;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, L"C:\\work",
                               &si, &pi))
        << GetLastError();
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(CloseHandle(pi.hProcess));
    EXPECT_TRUE(CloseHandle(pi.hThread));
    EXPECT_FALSE(CloseHandle(pi.hThread));

    std::ifstream here(root / "work" / "here.txt");
    std::string line;
    std::getline(here, line);
    EXPECT_EQ(fs::canonical(line), fs::canonical(root / "work"));
    std::ifstream arg(root / "work" / "arg.txt");
    std::getline(arg, line);
    EXPECT_EQ(line, (root / "work" / "a b.txt").string()); // a C: path argument arrives native
    fs::remove_all(root);
}

TEST(Process, MissingProgramOrFolderFails) {
    PROCESS_INFORMATION pi{};
    std::wstring cmd = L"\"Z:\\no\\such\\program.exe\" x";
    EXPECT_FALSE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    cmd = L"no-such-program-anywhere.exe";
    EXPECT_FALSE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    cmd = L"Z:\\bin\\sh -c true";
    EXPECT_FALSE(
        CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, L"Z:\\no\\folder", nullptr, &pi));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
}

TEST(Modules, HostFileNameAndStringTables) {
    wchar_t buf[MAX_PATH];
    ASSERT_EQ(GetModuleFileNameW(nullptr, buf, MAX_PATH), 22u);
    EXPECT_STREQ(buf, L"C:\\CadHost\\cadhost.exe");
    wchar_t small[8];
    EXPECT_EQ(GetModuleFileNameW(nullptr, small, 8), 8u);
    EXPECT_STREQ(small, L"C:\\CadH");
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    HMODULE m = win::registerModule(L"C:\\CadHost\\kelmo.arx", {{101, L"kelmoBrenvik"}, {102, L"A longer text"}});
    EXPECT_EQ(GetModuleHandleW(L"KELMO.ARX"), m);
    EXPECT_EQ(GetModuleHandleW(L"c:/cadhost/kelmo.arx"), m);
    EXPECT_EQ(GetModuleHandleW(nullptr), win::hostModule());
    EXPECT_EQ(GetModuleHandleW(L"other.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);

    wchar_t text[64];
    EXPECT_EQ(LoadStringW(m, 101, text, 64), 12);
    EXPECT_STREQ(text, L"kelmoBrenvik");
    EXPECT_EQ(LoadStringW(m, 102, text, 5), 4);
    EXPECT_STREQ(text, L"A lo");
    EXPECT_EQ(LoadStringW(m, 999, text, 64), 0);
    EXPECT_STREQ(text, L"");
    const wchar_t* direct = nullptr;
    EXPECT_EQ(LoadStringW(m, 101, reinterpret_cast<LPWSTR>(&direct), 0), 12);
    EXPECT_EQ(std::wstring(direct, 12), L"kelmoBrenvik");
    win::unregisterModule(m);
    EXPECT_EQ(GetModuleHandleW(L"kelmo.arx"), nullptr);
}

TEST(Sleeping, SleepExWaitsAndReturnsZero) {
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(SleepEx(30, FALSE), 0u);
    EXPECT_GE(GetTickCount64() - start, 30u);
}

TEST(Process, ExitCodesTimeoutsAndEnvironment) {
    const fs::path root = fs::temp_directory_path() / ("winproc2_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    win::setCDrive(root.string());

    std::wstring cmd = L"Z:\\bin\\sh -c \"sleep 0.3; exit 3\"";
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &pi));
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 0), WAIT_TIMEOUT); // the caller is not held up
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(pi.hProcess, &code));
    EXPECT_EQ(code, 3u);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);

    // A wide environment block replaces the inherited one; the application name wins over the
    // command line's first word.
    const wchar_t env[] = L"KELMO_TEST=v\u00E9\0PATH=/bin:/usr/bin\0";
    cmd = L"ignored -c \"printf '%s' \\\"$KELMO_TEST\\\" > env.txt\"";
    ASSERT_TRUE(CreateProcessW(L"Z:\\bin\\sh", cmd.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                               const_cast<wchar_t*>(env), L"C:\\", nullptr, &pi));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    std::ifstream in(root / "env.txt");
    std::string value;
    std::getline(in, value);
    EXPECT_EQ(value, "v\xC3\xA9");
    fs::remove_all(root);
}
