#include "classlib/Resources.h"

#include <algorithm>
#include <map>
#include <string>

#include "win/Module.h"

namespace {

struct ResourceState {
    std::map<HINSTANCE, const RESOURCETABLE*> tables;
    HINSTANCE resourceHandle = nullptr; // null: the host's
    std::vector<CDynLinkLibrary*> libraries;
    HINSTANCE lastExtension = nullptr;
};

ResourceState& state() {
    static ResourceState s;
    return s;
}

const RESOURCETABLE* tableOf(HINSTANCE h) {
    auto it = state().tables.find(h);
    return it == state().tables.end() ? nullptr : it->second;
}

// The search chain without repeats.
std::vector<HINSTANCE> searchOrder() {
    std::vector<HINSTANCE> order;
    auto add = [&](HINSTANCE h) {
        if (std::find(order.begin(), order.end(), h) == order.end()) order.push_back(h);
    };
    add(AfxGetResourceHandle());
    for (CDynLinkLibrary* lib : state().libraries) add(lib->m_hResource);
    add(AfxGetInstanceHandle());
    return order;
}

template <class T, class Pick>
const T* findAlong(HINSTANCE* found, Pick pick) {
    for (HINSTANCE h : searchOrder()) {
        if (const RESOURCETABLE* t = tableOf(h)) {
            if (const T* r = pick(*t)) {
                if (found) *found = h;
                return r;
            }
        }
    }
    return nullptr;
}

} // namespace

void AfxRegisterResources(HINSTANCE hInstance, const RESOURCETABLE* table) {
    if (!hInstance) hInstance = AfxGetInstanceHandle();
    if (table)
        state().tables[hInstance] = table;
    else
        state().tables.erase(hInstance);
}

void AfxUnregisterResources(HINSTANCE hInstance) {
    AfxRegisterResources(hInstance, nullptr);
}

HINSTANCE AfxGetInstanceHandle() {
    return win::hostModule();
}

HINSTANCE AfxGetResourceHandle() {
    return state().resourceHandle ? state().resourceHandle : AfxGetInstanceHandle();
}

void AfxSetResourceHandle(HINSTANCE hInstance) {
    state().resourceHandle = hInstance;
    // Message boxes and strings loaded by id follow the same handle.
    win::setResourceModule(hInstance);
}

const DLGTEMPLATEDEF* AfxFindDialogTemplate(UINT id, HINSTANCE* found) {
    return findAlong<DLGTEMPLATEDEF>(found, [id](const RESOURCETABLE& t) -> const DLGTEMPLATEDEF* {
        for (const DLGTEMPLATEDEF& d : t.dialogs)
            if (d.id == id) return &d;
        return nullptr;
    });
}

const MENUDEF* AfxFindMenu(UINT id, HINSTANCE* found) {
    return findAlong<MENUDEF>(found, [id](const RESOURCETABLE& t) -> const MENUDEF* {
        for (const MENUDEF& m : t.menus)
            if (m.id == id) return &m;
        return nullptr;
    });
}

const wchar_t* AfxFindStringIn(HINSTANCE hInstance, UINT id) {
    if (const RESOURCETABLE* t = tableOf(hInstance))
        for (const STRINGDEF& s : t->strings)
            if (s.id == id) return s.text;
    return nullptr;
}

const wchar_t* AfxFindString(UINT id, HINSTANCE* found) {
    for (HINSTANCE h : searchOrder()) {
        const wchar_t* s = AfxFindStringIn(h, id);
        if (!s) {
            // A module's string table registered with its file name.
            static thread_local std::wstring loaded;
            loaded = win::loadString(h, id);
            if (!loaded.empty()) s = loaded.c_str();
        }
        if (s) {
            if (found) *found = h;
            return s;
        }
    }
    return nullptr;
}

std::vector<const wchar_t*> AfxFindDialogInit(HINSTANCE hInstance, UINT dialogId, int controlId) {
    std::vector<const wchar_t*> out;
    if (const RESOURCETABLE* t = tableOf(hInstance))
        for (const DLGINITDEF& d : t->dialogInits)
            if (d.dialogId == dialogId && d.controlId == controlId)
                out.insert(out.end(), d.strings.begin(), d.strings.end());
    return out;
}

BOOL AfxInitExtensionModule(AFX_EXTENSION_MODULE& module, HMODULE hModule) {
    if (module.bInitialized) return TRUE;
    module.hModule = hModule;
    module.hResource = hModule;
    module.bInitialized = TRUE;
    state().lastExtension = hModule;
    return TRUE;
}

void AfxTermExtensionModule(AFX_EXTENSION_MODULE& module, BOOL /*bAll*/) {
    if (!module.bInitialized) return;
    // Copy first: each destructor takes itself off the chain.
    std::vector<CDynLinkLibrary*> mine;
    for (CDynLinkLibrary* lib : state().libraries)
        if (lib->m_hModule == module.hModule) mine.push_back(lib);
    for (CDynLinkLibrary* lib : mine) delete lib;
    if (state().lastExtension == module.hModule) state().lastExtension = nullptr;
    if (state().resourceHandle == module.hResource) AfxSetResourceHandle(nullptr);
    module.bInitialized = FALSE;
}

CDynLinkLibrary::CDynLinkLibrary(AFX_EXTENSION_MODULE& module, BOOL)
    : m_hModule(module.hModule), m_hResource(module.hResource) {
    state().libraries.push_back(this);
}

CDynLinkLibrary::~CDynLinkLibrary() {
    auto& libs = state().libraries;
    libs.erase(std::remove(libs.begin(), libs.end(), this), libs.end());
}

CAcModuleResourceOverride::CAcModuleResourceOverride(HINSTANCE hInstance) : m_previous(state().resourceHandle) {
    if (!hInstance) hInstance = state().lastExtension;
    if (hInstance) AfxSetResourceHandle(hInstance);
}

CAcModuleResourceOverride::~CAcModuleResourceOverride() {
    AfxSetResourceHandle(m_previous);
}
