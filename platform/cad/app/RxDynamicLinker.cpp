#include "cad/app/RxDynamicLinker.h"

#include "win/Encoding.h"
#include "win/Module.h"
#include "win/Paths.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

struct AcRxDynamicLinker::Module {
    std::wstring path; // as given
    std::wstring name; // file name, for look-ups
    void* handle = nullptr;
    HMODULE instance = nullptr; // the module's handle for resources and GetModuleHandle
    bool locked = true;
    bool mdiAware = false;
};

namespace {

using EntryPoint = AcRx::AppRetCode (*)(AcRx::AppMsgCode, void*);
using DllMainFn = BOOL (*)(HINSTANCE, DWORD, LPVOID);
constexpr DWORD kProcessDetach = 0;
constexpr DWORD kProcessAttach = 1;

std::string nativePath(const std::wstring& path) {
    bool windowsForm = path.size() >= 2 && path[1] == L':';
    std::string native;
    DWORD err = 0;
    if (windowsForm && win::mapToNative(path.c_str(), native, &err)) return native;
    return win::toNative(path);
}

std::wstring fileNameOf(const std::wstring& path) {
    size_t cut = path.find_last_of(L"/\\");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

} // namespace

AcRxDynamicLinker* AcRxDynamicLinker::cast(const AcRxObject* p) {
    return dynamic_cast<AcRxDynamicLinker*>(const_cast<AcRxObject*>(p));
}

AcRxDynamicLinker* acrxDynamicLinkerPtr() {
    static AcRxDynamicLinker* linker = new AcRxDynamicLinker(); // lives as long as the process
    return linker;
}

AcRxDictionary* acrxSysRegistry() {
    static AcRxDictionary* registry = [] {
        auto* d = new AcRxDictionary();
        d->atPut(ACRX_COMMAND_DOCK, acedRegCmds());
        d->atPut(ACRX_DYNAMIC_LINKER, acrxDynamicLinkerPtr());
        return d;
    }();
    return registry;
}

AcRxDynamicLinker::Module* AcRxDynamicLinker::fromAppId(void* appId) const {
    auto it = std::find(modules_.begin(), modules_.end(), static_cast<Module*>(appId));
    return it == modules_.end() ? nullptr : *it;
}

AcRxDynamicLinker::Module* AcRxDynamicLinker::find(const ACHAR* name) const {
    if (!name) return nullptr;
    std::wstring want = fileNameOf(name);
    for (Module* m : modules_)
        if (m->path == name || m->name == want) return m;
    return nullptr;
}

bool AcRxDynamicLinker::unlockApplication(void* appId) const {
    Module* m = fromAppId(appId);
    if (!m) return false;
    m->locked = false;
    return true;
}

bool AcRxDynamicLinker::lockApplication(void* appId) const {
    Module* m = fromAppId(appId);
    if (!m) return false;
    m->locked = true;
    return true;
}

bool AcRxDynamicLinker::isApplicationLocked(const ACHAR* name) const {
    Module* m = find(name);
    return m && m->locked;
}

bool AcRxDynamicLinker::registerAppMDIAware(void* appId) const {
    Module* m = fromAppId(appId);
    if (!m) return false;
    m->mdiAware = true;
    return true;
}

bool AcRxDynamicLinker::registerAppNotMDIAware(void* appId) const {
    Module* m = fromAppId(appId);
    if (!m) return false;
    m->mdiAware = false;
    return true;
}

bool AcRxDynamicLinker::isAppMDIAware(const ACHAR* name) const {
    Module* m = find(name);
    return m && m->mdiAware;
}

bool AcRxDynamicLinker::loadModule(const ACHAR* fileName, bool, bool) {
    lastError_.clear();
    if (!fileName || !*fileName) {
        lastError_ = L"no module file named";
        return false;
    }
    if (find(fileName)) return true; // already loaded
    std::string native = nativePath(fileName);
    void* handle = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        lastError_ = win::fromUtf8(why ? why : "cannot open the library");
        return false;
    }
    auto entry = reinterpret_cast<EntryPoint>(dlsym(handle, "acrxEntryPoint"));
    if (!entry) {
        lastError_ = std::wstring(fileName) + L": not a module (no acrxEntryPoint)";
        dlclose(handle);
        return false;
    }
    auto* m = new Module{fileName, fileNameOf(fileName), handle};
    m->instance = win::registerModule(win::nativeToWindows(native));
    modules_.push_back(m);
    if (auto dllMain = reinterpret_cast<DllMainFn>(dlsym(handle, "DllMain")))
        dllMain(m->instance, kProcessAttach, nullptr);
    if (entry(AcRx::kInitAppMsg, m) != AcRx::kRetOK) {
        lastError_ = std::wstring(fileName) + L": the module refused to load";
        unload(m);
        return false;
    }
    // However the process ends (a library calling exit() included), the module is unloaded
    // before anything made while it attached is destroyed: its own destructors still need it.
    std::atexit([] { acrxDynamicLinkerPtr()->unloadAll(); });
    return true;
}

bool AcRxDynamicLinker::unload(Module* m) {
    if (auto entry = reinterpret_cast<EntryPoint>(dlsym(m->handle, "acrxEntryPoint"))) entry(AcRx::kUnloadAppMsg, m);
    if (auto dllMain = reinterpret_cast<DllMainFn>(dlsym(m->handle, "DllMain")))
        dllMain(m->instance, kProcessDetach, nullptr);
    dlclose(m->handle);
    win::unregisterModule(m->instance);
    std::erase(modules_, m);
    delete m;
    return true;
}

bool AcRxDynamicLinker::unloadModule(const ACHAR* fileName, bool, bool force) {
    lastError_.clear();
    Module* m = find(fileName);
    if (!m) {
        lastError_ = std::wstring(fileName ? fileName : L"") + L": not loaded";
        return false;
    }
    if (m->locked && !force) {
        lastError_ = std::wstring(fileName) + L": the module is locked and cannot be unloaded";
        return false;
    }
    return unload(m);
}

void AcRxDynamicLinker::unloadAll() {
    while (!modules_.empty()) unload(modules_.back());
}

std::vector<std::wstring> AcRxDynamicLinker::loadedModules() const {
    std::vector<std::wstring> r;
    for (Module* m : modules_) r.push_back(m->path);
    return r;
}
