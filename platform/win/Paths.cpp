#include "win/Paths.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cwctype>
#include <map>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "win/Encoding.h"
#include "win/TempNames.h"
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

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t utf8Sequence(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range: no overlong forms, no surrogates
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80) return 0;
    return length;
}

// The key a name is matched by: Windows file names are case-blind. A byte that is no part of a
// well-formed UTF-8 character keys as a lone surrogate, which no well-formed name decodes to: a name
// that is not UTF-8 ("caf\xe9.pdf") never matches one that is ("caf\uFFFD.pdf"), nor one with
// another such byte.
std::wstring caseKey(const char* name) {
    const std::string_view text(name);
    std::wstring key;
    key.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8Sequence(text.substr(i));
        if (length == 0) {
            key.push_back(static_cast<wchar_t>(0xDC00 | static_cast<unsigned char>(text[i])));
            ++i;
            continue;
        }
        key += fromUtf8(text.substr(i, length));
        i += length;
    }
    for (auto& c : key) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return key;
}

// The names of the folders read to match a name's case, kept current by inotify: a name missing
// from a folder of 100,000 files then costs what it costs in an empty one, where reading the whole
// folder for every new output file made a batch run slower the fuller its output folder grew.
// Without inotify (or past its limits) every miss reads the folder, as before.
class FolderNames {
public:
    // The spelling of `name` in `folder` found without regard to case; false when none is there.
    bool find(const std::string& folder, const std::string& name, std::string& found) {
        std::lock_guard lock(mutex_);
        drain();
        Folder* known = watched(folder);
        if (!known) return scan(folder, name, found);
        known->lastUse = ++clock_;
        const auto it = known->names.find(caseKey(name.c_str()));
        if (it == known->names.end() || it->second.empty()) return false;
        found = it->second.front();
        return true;
    }

    // The names in `folder` that begin with `prefix`; false when the folder cannot be watched.
    bool startingWith(const std::string& folder, const std::string& prefix, std::vector<std::string>& found) {
        std::lock_guard lock(mutex_);
        drain();
        Folder* known = watched(folder);
        if (!known) return false;
        known->lastUse = ++clock_;
        const std::wstring key = caseKey(prefix.c_str());
        for (auto it = known->names.lower_bound(key); it != known->names.end() && it->first.starts_with(key); ++it)
            for (const std::string& name : it->second)
                if (name.starts_with(prefix)) found.push_back(name);
        return true;
    }

private:
    struct Folder {
        int wd = -1;
        std::uint64_t lastUse = 0;
        std::map<std::wstring, std::vector<std::string>> names; // by case key, in order for prefixes
    };
    static constexpr std::size_t kMostFolders = 16;

    static bool scan(const std::string& folder, const std::string& name, std::string& found) {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) return false;
        const std::wstring wanted = caseKey(name.c_str());
        bool matched = false;
        while (const dirent* e = ::readdir(dir)) {
            if (caseKey(e->d_name) == wanted) {
                found = e->d_name;
                matched = true;
                break;
            }
        }
        ::closedir(dir);
        return matched;
    }

    static void add(Folder& f, const char* name) {
        auto& spellings = f.names[caseKey(name)];
        if (std::find(spellings.begin(), spellings.end(), name) == spellings.end()) spellings.emplace_back(name);
    }
    static void remove(Folder& f, const char* name) {
        const auto it = f.names.find(caseKey(name));
        if (it == f.names.end()) return;
        std::erase(it->second, std::string(name));
        if (it->second.empty()) f.names.erase(it);
    }

    void forget(int wd, bool unwatch) {
        const auto path = pathOf_.find(wd);
        if (path == pathOf_.end()) return;
        if (unwatch) ::inotify_rm_watch(fd_, wd);
        folders_.erase(path->second);
        pathOf_.erase(path);
    }

    void forgetAll() {
        while (!pathOf_.empty()) forget(pathOf_.begin()->first, true);
    }

    // Applies what happened in the watched folders since the last look.
    void drain() {
        if (fd_ < 0) return;
        alignas(inotify_event) char buffer[64 * 1024];
        for (;;) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got <= 0) return;
            for (ssize_t at = 0; at < got;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
                if (e->mask & IN_Q_OVERFLOW) {
                    forgetAll(); // events were lost: read the folders again when next asked
                    continue;
                }
                const auto path = pathOf_.find(e->wd);
                if (path == pathOf_.end()) continue;
                if (e->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                    forget(e->wd, !(e->mask & IN_IGNORED));
                    continue;
                }
                if (!e->len) continue;
                Folder& f = folders_[path->second];
                if (e->mask & (IN_CREATE | IN_MOVED_TO)) add(f, e->name);
                // Two names swapped at once (a file placed over another) report each name moved away and
                // back: a name that is there now stays.
                struct stat there {};
                if ((e->mask & (IN_DELETE | IN_MOVED_FROM)) &&
                    ::lstat((path->second == "/" ? "/" : path->second + "/").append(e->name).c_str(), &there) != 0)
                    remove(f, e->name);
            }
        }
    }

    // The folder's names, read now and watched from then on; null when it cannot be watched.
    Folder* watched(const std::string& folder) {
        if (const auto it = folders_.find(folder); it != folders_.end()) return &it->second;
        if (fd_ < 0 && !failed_) {
            fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
            failed_ = fd_ < 0;
        }
        if (fd_ < 0) return nullptr;
        if (folders_.size() >= kMostFolders) {
            const auto oldest = std::min_element(folders_.begin(), folders_.end(), [](const auto& a, const auto& b) {
                return a.second.lastUse < b.second.lastUse;
            });
            forget(oldest->second.wd, true);
        }
        // Watched before it is read, so nothing done in between is missed.
        const int wd = ::inotify_add_watch(
            fd_, folder.c_str(),
            IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
        if (wd < 0) return nullptr;
        if (pathOf_.count(wd)) return nullptr; // the same folder by another path: not kept twice
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) {
            ::inotify_rm_watch(fd_, wd);
            return nullptr;
        }
        Folder& f = folders_[folder];
        f.wd = wd;
        pathOf_[wd] = folder;
        while (const dirent* e = ::readdir(dir)) add(f, e->d_name);
        ::closedir(dir);
        return &f;
    }

    std::mutex mutex_;
    int fd_ = -1;
    bool failed_ = false;
    std::uint64_t clock_ = 0;
    std::unordered_map<std::string, Folder> folders_;
    std::unordered_map<int, std::string> pathOf_;
};

// Never destroyed: paths may still be mapped while other statics are torn down at exit.
FolderNames& folderNames() {
    static auto* names = new FolderNames();
    return *names;
}

// The entry of `folder` whose name equals `name` but for case, or `name` itself.
std::string matchCase(const std::string& folder, const std::string& name) {
    const std::string candidate = (folder == "/" ? "" : folder) + "/" + name;
    if (exists(candidate) || !isDirectory(folder)) return name;
    std::string found;
    return folderNames().find(folder, name, found) ? found : name;
}

bool isDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool fail(DWORD* error, DWORD code) {
    if (error) *error = code;
    return false;
}

constexpr wchar_t kKeptByte = 0xDC00; // a stray byte b is kept as kKeptByte | b (b >= 0x80)

} // namespace

std::wstring fromNative(std::string_view name) {
    std::wstring wide;
    wide.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = utf8Sequence(name.substr(i));
        if (length == 0) {
            wide.push_back(static_cast<wchar_t>(kKeptByte | static_cast<unsigned char>(name[i])));
            ++i;
            continue;
        }
        wide += fromUtf8(name.substr(i, length));
        i += length;
    }
    return wide;
}

std::string toNative(std::wstring_view name) {
    std::string bytes;
    bytes.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        std::size_t end = i;
        while (end < name.size() && (name[end] < (kKeptByte | 0x80) || name[end] > (kKeptByte | 0xFF))) ++end;
        bytes += toUtf8(name.substr(i, end - i));
        for (i = end; i < name.size() && name[i] >= (kKeptByte | 0x80) && name[i] <= (kKeptByte | 0xFF); ++i)
            bytes.push_back(static_cast<char>(name[i] & 0xFF));
    }
    return bytes;
}

std::string shown(std::wstring_view text, bool lines) {
    std::string out;
    out.reserve(text.size());
    const auto escaped = [&](unsigned value) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", value & 0xFF);
        out += hex;
    };
    for (std::size_t i = 0; i < text.size();) {
        const wchar_t c = text[i];
        if (c >= (kKeptByte | 0x80) && c <= (kKeptByte | 0xFF)) {
            escaped(static_cast<unsigned>(c));
            ++i;
        } else if ((c < 0x20 && !(lines && (c == L'\n' || c == L'\t' ||
                                            (c == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')))) ||
                   (c >= 0x7F && c <= 0x9F)) {
            escaped(static_cast<unsigned>(c));
            ++i;
        } else if (c < 0x20) {
            out.push_back(static_cast<char>(c));
            ++i;
        } else {
            std::size_t end = i + 1;
            while (end < text.size() && text[end] >= 0x20 && !(text[end] >= 0x7F && text[end] <= 0x9F) &&
                   !(text[end] >= (kKeptByte | 0x80) && text[end] <= (kKeptByte | 0xFF)))
                ++end;
            out += toUtf8(text.substr(i, end - i));
            i = end;
        }
    }
    return out;
}

std::vector<std::string> namesStartingWith(const std::string& nativeFolder, const std::string& prefix) {
    std::vector<std::string> found;
    if (folderNames().startingWith(nativeFolder, prefix, found)) return found;
    if (DIR* dir = ::opendir(nativeFolder.c_str())) {
        while (const dirent* e = ::readdir(dir))
            if (std::string_view(e->d_name).starts_with(prefix)) found.emplace_back(e->d_name);
        ::closedir(dir);
    }
    return found;
}

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
        if (!part.empty()) parts.push_back(toNative(part));
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

namespace {

// Where a write would put the file: a link at its name followed (as every writer follows it), then its
// folder's links.
std::wstring nativeLocation(const std::string& native, bool anyCase = true) {
    const std::string file = linkedFile(native);
    if (file.empty()) return {};
    const auto slash = file.rfind('/');
    const std::string folder = slash == 0 ? "/" : file.substr(0, slash);
    char real[PATH_MAX];
    const std::string resolved = ::realpath(folder.c_str(), real) ? std::string(real) : normaliseNative(folder);
    const std::string place = (resolved == "/" ? "" : resolved) + "/" + file.substr(slash + 1);
    if (anyCase) return L"?" + caseKey(place.c_str());
    std::wstring bytes = L"=";
    for (const char c : place) bytes.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return bytes;
}

} // namespace

std::wstring fileIdentity(const wchar_t* windowsPath) {
    std::string native;
    if (!mapToNative(windowsPath, native, nullptr)) return {};
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0) return L"#" + std::to_wstring(st.st_dev) + L":" + std::to_wstring(st.st_ino);
    // Not there yet: where a write would put it.
    return nativeLocation(native);
}

std::wstring fileLocation(const wchar_t* windowsPath, bool anyCase) {
    std::string native;
    if (!mapToNative(windowsPath, native, nullptr)) return {};
    return nativeLocation(native, anyCase);
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
    std::wstring out = drive + fromNative(tail);
    for (auto& ch : out)
        if (ch == L'/') ch = L'\\';
    if (out.size() == 2) out += L'\\';
    return out;
}

} // namespace win
