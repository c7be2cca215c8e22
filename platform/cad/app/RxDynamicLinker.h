#pragma once
// Loading modules: a shared library opened with dlopen, told of its attach through DllMain
// and of its load and unload through acrxEntryPoint. Both are looked up by their C names.
#include <string>
#include <vector>

#include "cad/app/RxRegistry.h"

class AcRxDynamicLinker : public AcRxObject {
public:
    static AcRxDynamicLinker* cast(const AcRxObject* p);

    // A module may be unloaded before the host ends only once it has unlocked itself.
    bool unlockApplication(void* appId) const;
    bool lockApplication(void* appId) const;
    bool isApplicationLocked(const ACHAR* name) const;
    bool registerAppMDIAware(void* appId) const;
    bool registerAppNotMDIAware(void* appId) const;
    bool isAppMDIAware(const ACHAR* name) const;

    // Loads a module given by its native or Windows-form path. False with a reason in
    // lastError() when the library cannot be opened, has no acrxEntryPoint, or refuses the load.
    bool loadModule(const ACHAR* fileName, bool printit = false, bool asCmd = false);
    // Sends the unload message and closes the library. A locked module is kept unless forced.
    bool unloadModule(const ACHAR* fileName, bool asCmd = false, bool force = false);
    // Unloads every module, newest first, locked or not (the host is ending).
    void unloadAll();
    std::vector<std::wstring> loadedModules() const;
    const std::wstring& lastError() const { return lastError_; }

    struct Module;

private:
    Module* find(const ACHAR* name) const;
    Module* fromAppId(void* appId) const;
    bool unload(Module* m);
    std::vector<Module*> modules_;
    std::wstring lastError_;
};

AcRxDynamicLinker* acrxDynamicLinkerPtr();
#define acrxDynamicLinker acrxDynamicLinkerPtr()
