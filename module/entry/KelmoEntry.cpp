#include "entry/KelmoEntry.h"

#include <vector>

#include "cad/app/HostUi.h"
#include "cad/app/RxDynamicLinker.h"
#include "commands/Brenvik.h"
#include "core/DocData.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "resources/KelmoResources.h"
#include "win/Module.h"
#include "win/Win32.h"

// The module's global objects. The server preferences, the folder and path strings, the asset
// filter and the preference-file texts are defined with the core services; these follow them, in
// the order the host detection, the resource record and the document reactor need.
CHostApplication g_hostApplication;
CKelmoExtensionModule g_extensionModule;
AsdkDataManager<CDocData> g_docDataManager;

namespace {

constexpr DWORD processDetach = 0;
constexpr DWORD processAttach = 1;
constexpr int apiVersion = 20;
constexpr Adesk::Int32 modal = ACRX_CMD_MODAL;
constexpr Adesk::Int32 session = ACRX_CMD_SESSION;

struct CommandRow {
    const wchar_t* group;
    const wchar_t* globalName;
    const wchar_t* localName;
    Adesk::Int32 flags;
    AcRxFunctionPtr function;
    bool fullHostOnly;
};

// In registration order.
const CommandRow commandTable[] = {
    {L"KELMO_COMMANDS", L"mbe", L"kelmoBrenvik", modal, Brenvik, false},
    {L"KELMO_COMMANDS", L"mbh", L"kelmoBlockHyperlink", modal, blockHyperlink, false},
    {L"KELMO_COMMANDS", L"mbc", L"kelmoBlockCreate", modal, blockCreate, false},
    {L"KELMO_COMMANDS", L"mgabc", L"kelmoGrossAreaBlockCreate", session, grossAreaBlockCreate, false},
    {L"KELMO_COMMANDS", L"mdb", L"kelmoDeleteBlock", session, blockDelete, false},
    {L"KELMO_COMMANDS", L"mcsv", L"kelmoCommaSeperatedValues", session, createRoomAreaCSV, false},
    {L"KELMO_COMMANDS", L"mlbd", L"kelmoLegendBlockDefine", session, legendBlockDefine, false},
    {L"KELMO_COMMANDS", L"mpbd", L"kelmoPieBlockDefine", session, pieBlockDefine, false},
    {L"KELMO_COMMANDS", L"mgr", L"kelmoGraphicReport", session, graphicReport, false},
    {L"KELMO_COMMANDS", L"magr", L"kelmoApplyGraphicReport", session, applyGraphicReport, false},
    {L"KELMO_COMMANDS", L"mfrs", L"mfrs", session, kelmoFindReplaceStub, false},
    {L"KELMO_COMMANDS", L"mlmc", L"kelmoLegendMarkerCreate", modal, legendMarkerBlockCreate, true},
    {L"KELMO_COMMANDS", L"mpmc", L"kelmoPieMarkerCreate", modal, pieMarkerBlockCreate, true},
    {L"KELMO_UTIL", L"mus", L"kelmoUpdateSpaces", session, updateSpaces, false},
    {L"KELMO_UTIL", L"msxta", L"kelmoSyncXDataToAttributes", session, syncXDataToAttributes, false},
    {L"KELMO_UTIL", L"mut", L"kelmoUpdateText", session, updateTextSize, false},
    {L"KELMO_UTIL", L"maux", L"kelmoAuxilarator", session, kelmoAuxilarator, false},
    {L"KELMO_UTIL", L"mrt", L"kelmoRefreshTags", session, kelmoRefreshTags, false},
    {L"KELMO_UTIL", L"mbta", L"kelmoBlankThirdAttribute", session, blankThirdAttribute, false},
    {L"KELMO_DIAG", L"mlb", L"kelmoListBlocks", session, listBlockNameIdentifier, false},
    {L"KELMO_ADMIN", L"mprefs", L"kelmoPreferences", modal, editPreferences, false},
    {L"KELMO_HELP", L"m?", L"mhelp", session, commandHelp, false},
    {L"KELMO_HELP", L"md?", L"mdiagnosticshelp", session, diagnosticsHelp, false},
    {L"KELMO_SECRET", L"msc_has", L"msc_has", session, hatchAllSpaces, false},
    {L"KELMO_SECRET", L"msc_hs", L"msc_hs", session, hatchSpace, false},
    {L"KELMO_SECRET", L"msc_isc", L"msc_isc", session, kelmoTorvexConversion, false},
    {L"KELMO_SECRET", L"msc_cal", L"msc_cal", session, checkAttributeLayers, false},
    {L"KELMO_SECRET", L"msc_dsd", L"msc_dsd", session, displaySpaceDetails, false},
    {L"KELMO_TEST", L"test", L"test", session, test, false},
    {L"KELMO_DIAGNOSTICS", L"mda", L"kelmoDiagnosticAll", session, diagnosticAll, false},
    {L"KELMO_DIAGNOSTICS", L"md1", L"kelmoDiagnosticBasic", session, diagnosticBasic, false},
    {L"KELMO_DIAGNOSTICS", L"md3", L"kelmoDiagnosticDialog", session, diagnosticDialog, false},
    {L"KELMO_DIAGNOSTICS", L"md4", L"kelmoDiagnosticErrorsA", session, diagnosticErrorsA, false},
    {L"KELMO_DIAGNOSTICS", L"md5", L"kelmoDiagnosticErrorsB", session, diagnosticErrorsB, false},
    {L"KELMO_DIAGNOSTICS", L"md6", L"kelmoDiagnosticErrorsC", session, diagnosticErrorsC, false},
    {L"KELMO_DIAGNOSTICS", L"md7", L"kelmoDiagnosticErrorsD", session, diagnosticErrorsD, false},
    {L"KELMO_DIAGNOSTICS", L"md8", L"kelmoDiagnosticUserInput", session, diagnosticUserInput, false},
    {L"KELMO_DIAGNOSTICS", L"md9", L"kelmoDiagnosticXML", session, diagnosticXML, false},
};

AcEdCommandStack* commandStack() {
    return AcEdCommandStack::cast(acrxSysRegistry()->at(ACRX_COMMAND_DOCK));
}

// The full path of the host executable. The buffer grows until the path fits: a cut path would
// give a wrong host folder.
CString hostExecutablePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        SetLastError(0);
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return CString();
        }
        const bool cut = GetLastError() == ERROR_INSUFFICIENT_BUFFER || length >= buffer.size();
        if (!cut) {
            return CString(buffer.data(), static_cast<int>(length));
        }
        if (buffer.size() >= 32768) {
            return CString();
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

CKelmoExtensionModule::CKelmoExtensionModule()
    : m_bAttached(FALSE), m_hDefaultResource(nullptr), m_hModuleResource(nullptr), m_initCount(0) {}

CKelmoExtensionModule::~CKelmoExtensionModule() {
    DetachInstance();
}

BOOL CKelmoExtensionModule::AttachInstance(HINSTANCE hInstance) {
    if (m_bAttached) {
        return FALSE;
    }
    ++m_initCount;
    m_bAttached = AfxInitExtensionModule(m_module, static_cast<HMODULE>(hInstance));
    if (m_bAttached) {
        m_hDefaultResource = AfxGetResourceHandle();
        m_hModuleResource = hInstance;
        // The chain entry is deleted by the class library when the module is detached.
        new CDynLinkLibrary(m_module);
    }
    return m_bAttached;
}

void CKelmoExtensionModule::DetachInstance() {
    if (m_bAttached) {
        AfxTermExtensionModule(m_module, FALSE);
        m_bAttached = FALSE;
    }
}

void addCommand(const wchar_t* groupName, const wchar_t* globalName, const wchar_t* localName, Adesk::Int32 flags,
                AcRxFunctionPtr function, int localNameResourceId) {
    CString local = localName;
    if (localNameResourceId != -1) {
        wchar_t buffer[64] = {0};
        LoadStringW(g_extensionModule.ModuleResourceInstance(), static_cast<UINT>(localNameResourceId), buffer, 64);
        local = buffer;
    }
    commandStack()->addCommand(groupName, globalName, local, flags, function, nullptr, -1);
}

void initApplication() {
    const CString executable = hostExecutablePath();
    const int cut = executable.ReverseFind(L'\\');
    g_hostDirectory = cut >= 0 ? executable.Left(cut) : CString();

    checkPreferencesExist();

    const bool fullHost = g_hostApplication.isFullVersion();
    for (const CommandRow& row : commandTable) {
        if (row.fullHostOnly && !fullHost) {
            continue;
        }
        // A name another application holds already is refused by the host; the rest go on.
        commandStack()->addCommand(row.group, row.globalName, row.localName, row.flags, row.function, nullptr, -1);
    }
}

void unloadApplication() {
    for (const wchar_t* group : kelmoCommandGroups) {
        commandStack()->removeGroup(group);
    }
}

extern "C" BOOL DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID) {
    if (dwReason == processAttach) {
        AfxRegisterResources(hInstance, &kelmoResources());
        g_extensionModule.AttachInstance(hInstance);
        InitAcUiDLL();
    } else if (dwReason == processDetach) {
        g_extensionModule.DetachInstance();
        AfxUnregisterResources(hInstance);
    }
    return TRUE;
}

extern "C" AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId) {
    switch (msg) {
        case AcRx::kInitAppMsg: {
            AcRxDynamicLinker* linker = AcRxDynamicLinker::cast(acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER));
            linker->unlockApplication(appId);
            linker->registerAppMDIAware(appId);
            initApplication();
            break;
        }
        case AcRx::kUnloadAppMsg:
            unloadApplication();
            break;
        default:
            break;
    }
    return AcRx::kRetOK;
}

extern "C" int acrxGetApiVersion() {
    return apiVersion;
}
