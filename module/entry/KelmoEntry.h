#pragma once
// The module's entry: the dynamic-library attach, the host's load and unload messages, and the
// registration of the command table with the host's command stack.
#include "cad/app/RxRegistry.h"
#include "classlib/Resources.h"

// The module's extension-module record: puts the module's own dialog templates and strings on the
// class library's resource chain while the library is attached.
class CKelmoExtensionModule {
public:
    CKelmoExtensionModule();
    ~CKelmoExtensionModule();
    CKelmoExtensionModule(const CKelmoExtensionModule&) = delete;
    CKelmoExtensionModule& operator=(const CKelmoExtensionModule&) = delete;

    // FALSE, doing nothing, when it is attached already.
    BOOL AttachInstance(HINSTANCE hInstance);
    void DetachInstance();

    BOOL IsAttached() const { return m_bAttached; }
    HINSTANCE DefaultResourceInstance() const { return m_hDefaultResource; }
    HINSTANCE ModuleResourceInstance() const { return m_hModuleResource; }
    // How often the class library was asked to initialise the record.
    int InitCount() const { return m_initCount; }

private:
    BOOL m_bAttached;
    HINSTANCE m_hDefaultResource;
    HINSTANCE m_hModuleResource;
    AFX_EXTENSION_MODULE m_module;
    int m_initCount;
};

extern CKelmoExtensionModule g_extensionModule;

// Every command group, in the order they are removed at unload.
inline constexpr const wchar_t* kelmoCommandGroups[] = {
    L"KELMO_COMMANDS", L"KELMO_UTIL",   L"KELMO_DIAG", L"KELMO_ADMIN",
    L"KELMO_HELP",     L"KELMO_SECRET", L"KELMO_TEST", L"KELMO_DIAGNOSTICS",
};

void initApplication();
void unloadApplication();
// Registers one command; with a resource id other than -1 the local name comes from the module's
// own string table.
void addCommand(const wchar_t* groupName, const wchar_t* globalName, const wchar_t* localName, Adesk::Int32 flags,
                AcRxFunctionPtr function, int localNameResourceId = -1);

extern "C" {
BOOL DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID lpReserved);
AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId);
int acrxGetApiVersion();
}
