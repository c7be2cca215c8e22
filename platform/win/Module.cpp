#include "win/Module.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <mutex>
#include <vector>

#include "win/WinApi.h"

namespace win {
namespace {

struct ModuleEntry {
    std::wstring fileName;
    StringTable strings;
};

// Handles are the addresses of these entries; the host has its own.
struct Modules {
    std::mutex mutex;
    ModuleEntry host{L"C:\\CadHost\\cadhost.exe", {}};
    std::vector<std::unique_ptr<ModuleEntry>> loaded;
    HMODULE resource = nullptr;
};

Modules& modules() {
    static Modules m;
    return m;
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i] == L'/' ? L'\\' : a[i];
        wchar_t y = b[i] == L'/' ? L'\\' : b[i];
        if (std::towlower(static_cast<wint_t>(x)) != std::towlower(static_cast<wint_t>(y))) return false;
    }
    return true;
}

std::wstring baseName(const std::wstring& path) {
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// With the lock held. Null names the host.
ModuleEntry* find(Modules& m, HMODULE h) {
    if (!h || h == static_cast<HMODULE>(&m.host)) return &m.host;
    for (auto& e : m.loaded)
        if (static_cast<HMODULE>(e.get()) == h) return e.get();
    return nullptr;
}

} // namespace

HMODULE registerModule(const std::wstring& windowsFileName, StringTable strings) {
    auto& m = modules();
    std::lock_guard lock(m.mutex);
    for (auto& e : m.loaded) {
        if (sameText(e->fileName, windowsFileName)) {
            e->strings = std::move(strings);
            return e.get();
        }
    }
    m.loaded.push_back(std::make_unique<ModuleEntry>(ModuleEntry{windowsFileName, std::move(strings)}));
    return m.loaded.back().get();
}

void unregisterModule(HMODULE module) {
    auto& m = modules();
    std::lock_guard lock(m.mutex);
    if (m.resource == module) m.resource = nullptr;
    std::erase_if(m.loaded, [module](const auto& e) { return static_cast<HMODULE>(e.get()) == module; });
}

HMODULE hostModule() {
    return &modules().host;
}
std::wstring hostExecutable() {
    return modules().host.fileName;
}

void setResourceModule(HMODULE module) {
    auto& m = modules();
    std::lock_guard lock(m.mutex);
    m.resource = module;
}

HMODULE resourceModule() {
    auto& m = modules();
    std::lock_guard lock(m.mutex);
    if (m.resource && find(m, m.resource)) return m.resource;
    return m.loaded.empty() ? static_cast<HMODULE>(&m.host) : static_cast<HMODULE>(m.loaded.back().get());
}

std::wstring loadString(HMODULE module, UINT id) {
    auto& m = modules();
    std::lock_guard lock(m.mutex);
    const ModuleEntry* e = find(m, module);
    if (!e) return std::wstring();
    auto it = e->strings.find(id);
    return it == e->strings.end() ? std::wstring() : it->second;
}

} // namespace win

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
    auto& m = win::modules();
    std::lock_guard lock(m.mutex);
    if (!moduleName) return &m.host;
    const std::wstring wanted = moduleName;
    const bool withFolder = wanted.find_first_of(L"\\/") != std::wstring::npos;
    auto matches = [&](const std::wstring& fileName) {
        if (withFolder) return win::sameText(fileName, wanted);
        const std::wstring base = win::baseName(fileName);
        // A name without an extension means a ".dll".
        return win::sameText(base, wanted) ||
               (wanted.find(L'.') == std::wstring::npos && win::sameText(base, wanted + L".dll"));
    };
    for (auto& e : m.loaded)
        if (matches(e->fileName)) return e.get();
    if (matches(m.host.fileName)) return &m.host;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    std::wstring name;
    {
        auto& m = win::modules();
        std::lock_guard lock(m.mutex);
        const win::ModuleEntry* e = win::find(m, module);
        if (!e) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        name = e->fileName;
    }
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (name.size() >= size) {
        std::wmemcpy(fileName, name.c_str(), size - 1);
        fileName[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::wmemcpy(fileName, name.c_str(), name.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(name.size());
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int size) {
    if (!buffer || size < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& m = win::modules();
    std::lock_guard lock(m.mutex);
    const win::ModuleEntry* e = win::find(m, instance);
    const std::wstring* text = nullptr;
    if (e) {
        auto it = e->strings.find(id);
        if (it != e->strings.end()) text = &it->second;
    }
    if (!text) {
        if (size > 0) buffer[0] = 0;
        SetLastError(e ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (size == 0) {
        // The read-only form: the table's own text, which lives while the module stays registered.
        *reinterpret_cast<const wchar_t**>(buffer) = text->c_str();
        return static_cast<int>(text->size());
    }
    const std::size_t n = std::min<std::size_t>(text->size(), static_cast<std::size_t>(size - 1));
    std::wmemcpy(buffer, text->c_str(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

void GetStartupInfoW(LPSTARTUPINFOW info) {
    if (!info) return;
    std::memset(info, 0, sizeof(STARTUPINFOW));
    info->cb = sizeof(STARTUPINFOW);
    info->wShowWindow = SW_SHOWNORMAL;
}
