#include "win/Paths.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <mutex>
#include <vector>

#include "win/Encoding.h"
#include "win/WinApi.h"

namespace win {
namespace {

std::mutex g_driveMutex;
std::string g_cDrive;       // absolute, no trailing slash
bool g_cDriveReady = false; // created on disk

std::string homeFolder() {
    if (const char* home = ::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

std::string currentFolder() {
    std::vector<char> buf(4096);
    while (!::getcwd(buf.data(), buf.size())) {
        if (errno != ERANGE) return "/";
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

// Lexical clean-up of an absolute native path: no "." or "..", no doubled or trailing slash.
std::string normaliseNative(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= path.size()) {
        const std::size_t j = path.find('/', i);
        const std::string part = path.substr(i, j == std::string::npos ? std::string::npos : j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        if (j == std::string::npos) break;
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

void makeFolders(const std::string& path) {
    std::string partial;
    std::size_t i = 1;
    while (i <= path.size()) {
        std::size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        partial = path.substr(0, j);
        ::mkdir(partial.c_str(), 0777);
        i = j + 1;
    }
}

std::string cDriveLocked() {
    if (g_cDrive.empty()) g_cDrive = normaliseNative(homeFolder() + "/.cadhost/c");
    if (!g_cDriveReady) {
        makeFolders(g_cDrive + "/CadHost");
        g_cDriveReady = true;
    }
    return g_cDrive;
}

bool isDirectory(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

// The entry of `folder` whose name equals `name` but for case, or `name` itself.
std::string matchCase(const std::string& folder, const std::string& name) {
    const std::string candidate = (folder == "/" ? "" : folder) + "/" + name;
    if (exists(candidate) || !isDirectory(folder)) return name;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return name;
    const std::wstring wanted = fromUtf8(name);
    std::string found = name;
    while (const dirent* e = ::readdir(dir)) {
        const std::wstring entry = fromUtf8(e->d_name);
        if (entry.size() != wanted.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < entry.size() && same; ++k)
            same = std::towlower(static_cast<wint_t>(entry[k])) == std::towlower(static_cast<wint_t>(wanted[k]));
        if (same) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool isDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool fail(DWORD* error, DWORD code) {
    if (error) *error = code;
    return false;
}

} // namespace

void setCDrive(const std::string& nativeDir) {
    std::lock_guard lock(g_driveMutex);
    std::string dir = nativeDir;
    if (dir.empty() || dir[0] != '/') dir = currentFolder() + "/" + dir;
    g_cDrive = normaliseNative(dir);
    g_cDriveReady = false;
}

std::string cDrive() {
    std::lock_guard lock(g_driveMutex);
    return cDriveLocked();
}

bool mapToNative(const wchar_t* windowsPath, std::string& nativeOut, DWORD* error) {
    if (!windowsPath || !*windowsPath) return fail(error, ERROR_PATH_NOT_FOUND);
    std::wstring path(windowsPath);
    for (auto& c : path)
        if (c == L'/') c = L'\\';

    // Long-path prefix "\\?\" names the same path.
    if (path.rfind(L"\\\\?\\", 0) == 0) path.erase(0, 4);
    if (path.rfind(L"\\\\", 0) == 0) return fail(error, ERROR_BAD_NETPATH);

    std::string base; // native folder the remaining components are taken from
    std::string root; // the drive's root, which ".." never climbs above
    std::wstring rest;
    if (path.size() >= 2 && path[1] == L':' && isDriveLetter(path[0])) {
        const wchar_t drive = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(path[0])));
        if (drive == L'Z')
            base = "/";
        else if (drive == L'C')
            base = cDrive();
        else
            return fail(error, ERROR_PATH_NOT_FOUND);
        // A drive-relative form "C:name" is taken from the drive's root.
        rest = path.substr(2);
    } else if (path[0] == L'\\') {
        const std::wstring here = nativeToWindows(currentFolder());
        std::wstring drive = here.substr(0, 2);
        return mapToNative((drive + path).c_str(), nativeOut, error);
    } else {
        base = currentFolder();
        rest = path;
        const std::string c = cDrive();
        if (base == c || base.rfind(c + "/", 0) == 0) root = c;
    }
    if (root.empty()) root = base == cDrive() ? base : std::string("/");

    // Split into components and check each name.
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= rest.size()) {
        std::size_t j = rest.find(L'\\', i);
        if (j == std::wstring::npos) j = rest.size();
        const std::wstring part = rest.substr(i, j - i);
        for (wchar_t c : part) {
            if (c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' || c == L'*')
                return fail(error, ERROR_INVALID_NAME);
        }
        if (!part.empty()) parts.push_back(toUtf8(part));
        i = j + 1;
    }

    std::string native = normaliseNative(base);
    const std::string driveRoot = normaliseNative(root);
    for (const auto& part : parts) {
        if (part == ".") continue;
        if (part == "..") {
            // ".." never climbs above the drive's root.
            if (native != driveRoot && native != "/")
                native = native.substr(0, std::max<std::size_t>(1, native.rfind('/')));
            continue;
        }
        const std::string name = matchCase(native, part);
        native = (native == "/" ? "" : native) + "/" + name;
    }
    nativeOut = native;
    if (error) *error = ERROR_SUCCESS;
    return true;
}

std::wstring nativeToWindows(const std::string& nativePath) {
    std::string abs = nativePath;
    if (abs.empty() || abs[0] != '/') abs = currentFolder() + "/" + abs;
    abs = normaliseNative(abs);
    const std::string c = cDrive();
    std::string tail;
    std::wstring drive;
    if (abs == c || (abs.size() > c.size() && abs.compare(0, c.size(), c) == 0 && abs[c.size()] == '/')) {
        drive = L"C:";
        tail = abs.substr(c.size());
    } else {
        drive = L"Z:";
        tail = abs;
    }
    std::wstring out = drive + fromUtf8(tail);
    for (auto& ch : out)
        if (ch == L'/') ch = L'\\';
    if (out.size() == 2) out += L'\\';
    return out;
}

} // namespace win
