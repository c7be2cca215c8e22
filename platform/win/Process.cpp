#include "win/Process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <cwchar>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "win/Encoding.h"
#include "win/Paths.h"
#include "win/WinApi.h"

extern char** environ;

namespace {

// A started program; a waiter thread reaps it so that none is left a zombie.
struct ProcessState {
    pid_t pid = 0;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int exitCode = 0;
};

// Handles given out for processes and their (stand-in) main threads.
struct HandleEntry {
    std::shared_ptr<ProcessState> process;
    bool isThread = false;
};

std::mutex g_handleMutex;
std::set<HandleEntry*> g_handles;

HandleEntry* lookup(HANDLE h) {
    std::lock_guard lock(g_handleMutex);
    auto it = g_handles.find(static_cast<HandleEntry*>(h));
    return it == g_handles.end() ? nullptr : *it;
}

HANDLE newHandle(std::shared_ptr<ProcessState> p, bool thread) {
    auto* e = new HandleEntry{std::move(p), thread};
    std::lock_guard lock(g_handleMutex);
    g_handles.insert(e);
    return e;
}

bool isBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

bool isExecutableFile(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

bool endsWithExe(const std::wstring& s) {
    if (s.size() < 4) return false;
    std::wstring tail = s.substr(s.size() - 4);
    for (auto& c : tail) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return tail == L".exe";
}

bool isDrivePath(const std::wstring& s) {
    if (s.size() < 3 || s[1] != L':' || (s[2] != L'\\' && s[2] != L'/')) return false;
    const wchar_t d = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(s[0])));
    return d == L'C' || d == L'Z';
}

// Finds the program's native path, or returns the Windows error.
DWORD resolveProgram(const std::wstring& program, const std::string& workFolder, std::string& native) {
    std::vector<std::wstring> candidates{program};
    if (endsWithExe(program)) candidates.push_back(program.substr(0, program.size() - 4));
    const bool hasFolder = program.find_first_of(L"\\/:") != std::wstring::npos;
    DWORD error = ERROR_FILE_NOT_FOUND;
    for (const auto& candidate : candidates) {
        if (hasFolder) {
            DWORD e = 0;
            std::string p;
            if (!win::mapToNative(candidate.c_str(), p, &e)) {
                error = e;
                continue;
            }
            if (isExecutableFile(p)) {
                native = p;
                return ERROR_SUCCESS;
            }
            struct stat st {};
            if (::stat(p.c_str(), &st) == 0)
                error = ERROR_ACCESS_DENIED;
            else if (error != ERROR_ACCESS_DENIED)
                error = win::errorFromErrno(ENOENT, p);
            continue;
        }
        const std::string name = win::toNative(candidate);
        std::vector<std::string> folders{workFolder};
        const char* path = std::getenv("PATH");
        std::string list = path ? path : "/usr/local/bin:/usr/bin:/bin";
        for (std::size_t i = 0; i <= list.size();) {
            std::size_t j = list.find(':', i);
            if (j == std::string::npos) j = list.size();
            if (j > i) folders.push_back(list.substr(i, j - i));
            i = j + 1;
        }
        for (const auto& f : folders) {
            const std::string p = f + "/" + name;
            if (isExecutableFile(p)) {
                native = p;
                return ERROR_SUCCESS;
            }
        }
    }
    return error;
}

} // namespace

namespace win {

std::vector<std::wstring> splitCommandLine(std::wstring_view line) {
    std::vector<std::wstring> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    // The program: up to the first blank outside quotes, backslashes literal.
    {
        std::wstring program;
        bool quoted = false;
        while (i < n && (quoted || !isBlank(line[i]))) {
            if (line[i] == L'"')
                quoted = !quoted;
            else
                program.push_back(line[i]);
            ++i;
        }
        args.push_back(program);
    }
    for (;;) {
        while (i < n && isBlank(line[i])) ++i;
        if (i >= n) break;
        std::wstring arg;
        bool quoted = false;
        while (i < n && (quoted || !isBlank(line[i]))) {
            if (line[i] == L'\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2) {
                        arg.push_back(L'"');
                        ++i;
                    }
                    // An even count leaves the quote to toggle below.
                } else {
                    arg.append(slashes, L'\\');
                }
                continue;
            }
            if (line[i] == L'"') {
                if (quoted && i + 1 < n && line[i + 1] == L'"') {
                    arg.push_back(L'"');
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg.push_back(line[i]);
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

} // namespace win

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                    DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION info) {
    if ((!applicationName || !*applicationName) && (!commandLine || !*commandLine)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<std::wstring> args = win::splitCommandLine(commandLine ? commandLine : L"");
    const std::wstring program = applicationName && *applicationName ? std::wstring(applicationName) : args[0];
    if (program.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }

    std::string workFolder;
    if (currentDirectory && *currentDirectory) {
        DWORD e = 0;
        if (!win::mapToNative(currentDirectory, workFolder, &e)) {
            SetLastError(e);
            return FALSE;
        }
        struct stat st {};
        if (::stat(workFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            SetLastError(ERROR_DIRECTORY);
            return FALSE;
        }
    } else {
        char buf[4096];
        workFolder = ::getcwd(buf, sizeof buf) ? buf : "/";
    }

    std::string nativeProgram;
    if (const DWORD e = resolveProgram(program, workFolder, nativeProgram); e != ERROR_SUCCESS) {
        SetLastError(e);
        return FALSE;
    }

    std::vector<std::string> argv8;
    argv8.push_back(nativeProgram);
    for (std::size_t k = 1; k < args.size(); ++k) {
        std::string native;
        if (isDrivePath(args[k]) && win::mapToNative(args[k].c_str(), native, nullptr))
            argv8.push_back(native);
        else
            argv8.push_back(win::toNative(args[k]));
    }
    std::vector<char*> argv;
    for (auto& a : argv8) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> env8;
    std::vector<char*> envp;
    char** envToUse = environ;
    if (environment) {
        if (creationFlags & CREATE_UNICODE_ENVIRONMENT) {
            for (const wchar_t* p = static_cast<const wchar_t*>(environment); *p; p += std::wcslen(p) + 1)
                env8.push_back(win::toUtf8(p));
        } else {
            for (const char* p = static_cast<const char*>(environment); *p; p += std::strlen(p) + 1)
                env8.emplace_back(p);
        }
        for (auto& e : env8) envp.push_back(e.data());
        envp.push_back(nullptr);
        envToUse = envp.data();
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, workFolder.c_str());
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, nativeProgram.c_str(), &actions, nullptr, argv.data(), envToUse);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        SetLastError(rc == ENOEXEC ? ERROR_BAD_EXE_FORMAT : win::errorFromErrno(rc, nativeProgram));
        return FALSE;
    }

    auto state = std::make_shared<ProcessState>();
    state->pid = pid;
    std::thread([state] {
        int status = 0;
        while (::waitpid(state->pid, &status, 0) < 0 && errno == EINTR) {}
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        state->finished.notify_all();
    }).detach();

    if (info) {
        info->hProcess = newHandle(state, false);
        info->hThread = newHandle(state, true);
        info->dwProcessId = static_cast<DWORD>(pid);
        info->dwThreadId = static_cast<DWORD>(pid);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
    HandleEntry* e = lookup(object);
    if (!e) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    auto state = e->process;
    std::unique_lock lock(state->mutex);
    if (milliseconds == INFINITE) {
        state->finished.wait(lock, [&] { return state->done; });
        return WAIT_OBJECT_0;
    }
    return state->finished.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return state->done; })
               ? WAIT_OBJECT_0
               : WAIT_TIMEOUT;
}

BOOL GetExitCodeProcess(HANDLE process, LPDWORD exitCode) {
    HandleEntry* e = lookup(process);
    if (!e || !exitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(e->process->mutex);
    *exitCode = e->process->done ? static_cast<DWORD>(e->process->exitCode) : STILL_ACTIVE;
    return TRUE;
}

BOOL CloseHandle(HANDLE object) {
    std::unique_ptr<HandleEntry> entry;
    {
        std::lock_guard lock(g_handleMutex);
        auto it = g_handles.find(static_cast<HandleEntry*>(object));
        if (it == g_handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        entry.reset(*it);
        g_handles.erase(it);
    }
    return TRUE;
}

void Sleep(DWORD milliseconds) {
    if (milliseconds == INFINITE) {
        for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD SleepEx(DWORD milliseconds, BOOL) {
    Sleep(milliseconds);
    return 0;
}

ULONGLONG GetTickCount64() {
    return static_cast<ULONGLONG>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

DWORD GetTickCount() {
    return static_cast<DWORD>(GetTickCount64());
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(::getpid());
}

BOOL GetComputerNameW(LPWSTR buffer, LPDWORD size) {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) {
        win::setLastErrorFromErrno();
        return FALSE;
    }
    const std::wstring name = win::fromUtf8(host);
    if (size == nullptr || buffer == nullptr || *size <= name.size()) {
        if (size != nullptr) *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::wmemcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return TRUE;
}
