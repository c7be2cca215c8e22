// The module as the host loads it: host detection, the command table by host, the unload, the
// extension-module record, the host folder and the first-run preferences.
#include <gtest/gtest.h>

#include "cad/app/HostApplicationServices.h"
#include "classlib/DialogDriver.h"
#include "core/DocData.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "entry/KelmoEntry.h"
#include "support/EntryFixture.h"

namespace {

namespace fs = std::filesystem;
using classlib::DialogDriver;

// Group, global name, local name and flags of every command, in registration order.
const std::wstring fullTable =
    LR"(KELMO_COMMANDS mbe kelmoBrenvik 0
KELMO_COMMANDS mbh kelmoBlockHyperlink 0
KELMO_COMMANDS mbc kelmoBlockCreate 0
KELMO_COMMANDS mgabc kelmoGrossAreaBlockCreate 200000
KELMO_COMMANDS mdb kelmoDeleteBlock 200000
KELMO_COMMANDS mcsv kelmoCommaSeperatedValues 200000
KELMO_COMMANDS mlbd kelmoLegendBlockDefine 200000
KELMO_COMMANDS mpbd kelmoPieBlockDefine 200000
KELMO_COMMANDS mgr kelmoGraphicReport 200000
KELMO_COMMANDS magr kelmoApplyGraphicReport 200000
KELMO_COMMANDS mfrs mfrs 200000
KELMO_COMMANDS mlmc kelmoLegendMarkerCreate 0
KELMO_COMMANDS mpmc kelmoPieMarkerCreate 0
KELMO_UTIL mus kelmoUpdateSpaces 200000
KELMO_UTIL msxta kelmoSyncXDataToAttributes 200000
KELMO_UTIL mut kelmoUpdateText 200000
KELMO_UTIL maux kelmoAuxilarator 200000
KELMO_UTIL mrt kelmoRefreshTags 200000
KELMO_UTIL mbta kelmoBlankThirdAttribute 200000
KELMO_DIAG mlb kelmoListBlocks 200000
KELMO_ADMIN mprefs kelmoPreferences 0
KELMO_HELP m? mhelp 200000
KELMO_HELP md? mdiagnosticshelp 200000
KELMO_SECRET msc_has msc_has 200000
KELMO_SECRET msc_hs msc_hs 200000
KELMO_SECRET msc_isc msc_isc 200000
KELMO_SECRET msc_cal msc_cal 200000
KELMO_SECRET msc_dsd msc_dsd 200000
KELMO_TEST test test 200000
KELMO_DIAGNOSTICS mda kelmoDiagnosticAll 200000
KELMO_DIAGNOSTICS md1 kelmoDiagnosticBasic 200000
KELMO_DIAGNOSTICS md3 kelmoDiagnosticDialog 200000
KELMO_DIAGNOSTICS md4 kelmoDiagnosticErrorsA 200000
KELMO_DIAGNOSTICS md5 kelmoDiagnosticErrorsB 200000
KELMO_DIAGNOSTICS md6 kelmoDiagnosticErrorsC 200000
KELMO_DIAGNOSTICS md7 kelmoDiagnosticErrorsD 200000
KELMO_DIAGNOSTICS md8 kelmoDiagnosticUserInput 200000
KELMO_DIAGNOSTICS md9 kelmoDiagnosticXML 200000
)";

std::wstring registered() {
    std::wstring rows;
    for (const AcEdCommand* c : acedRegCmds()->commands()) {
        const bool ours = std::wstring(c->groupName()).rfind(L"KELMO_", 0) == 0;
        if (ours && c->functionCode() == -1 && c->UIContext() == nullptr && c->functionAddr() != nullptr) {
            wchar_t flags[16];
            swprintf(flags, 16, L"%x", static_cast<unsigned>(c->commandFlags()));
            rows +=
                std::wstring(c->groupName()) + L" " + c->globalName() + L" " + c->localName() + L" " + flags + L"\n";
        }
    }
    return rows;
}

// Detects the host again under another product, for the length of a test.
class HostScope {
public:
    explicit HostScope(const std::wstring& product) : m_saved(g_hostApplication) {
        acdbHostApplicationServices()->setProduct(product);
        g_hostApplication = CHostApplication();
    }
    ~HostScope() {
        acdbHostApplicationServices()->setProduct(L"AutoCAD 2015");
        g_hostApplication = m_saved;
    }

private:
    CHostApplication m_saved;
};

TEST(HostDetection, NamesTheHostFromTheProductText) {
    struct {
        const wchar_t *product, *name;
        int type;
    } cases[] = {
        {L"AutoCAD 2015", L"AutoCAD", 2},  {L"AUTOCAD LT 2015", L"AutoCADLT", 1},
        {L"BricsCAD V15", L"BricsCAD", 3}, {L"bricscad and autocad", L"AutoCAD", 2},
        {L"AutoCADLT", L"AutoCAD", 2},     {L"DraftCAD 2015", L"unknown <draftcad 2015>", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.product);
        HostScope scope(c.product);
        EXPECT_EQ(g_hostApplication.getHostType(), c.type);
        EXPECT_EQ(g_hostApplication.getProductName(), CString(c.name));
        EXPECT_EQ(g_hostApplication.isFullVersion(), c.type > 1);
        // Asked of any object, the answer is the loaded host's.
        CHostApplication other;
        other.detect(c.type > 1 ? L"AutoCAD LT" : L"AutoCAD", L"");
        EXPECT_EQ(other.isFullVersion(), c.type > 1);
    }
}

class Entry : public kelmo_test::ModuleFixture {};

TEST_F(Entry, EachHostGetsItsCommandsInTableOrderAndUnloadRemovesEveryGroup) {
    writePrefs("");
    std::wstring without = fullTable;
    for (const wchar_t* row :
         {L"KELMO_COMMANDS mlmc kelmoLegendMarkerCreate 0\n", L"KELMO_COMMANDS mpmc kelmoPieMarkerCreate 0\n"}) {
        without.erase(without.find(row), std::wcslen(row));
    }
    for (const wchar_t* product : {L"AutoCAD 2015", L"BricsCAD V15", L"AutoCAD LT 2015", L"SomeCAD 3"}) {
        SCOPED_TRACE(product);
        HostScope scope(product);
        ASSERT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
        EXPECT_EQ(registered(), g_hostApplication.isFullVersion() ? fullTable : without);
        acedRegCmds()->removeGroup(L"KELMO_TEST"); // a group already empty at unload
        acedRegCmds()->clearHistory();
        ASSERT_EQ(acrxEntryPoint(AcRx::kUnloadAppMsg, nullptr), AcRx::kRetOK);
        EXPECT_EQ(acedRegCmds()->removedGroups(),
                  std::vector<std::wstring>(std::begin(kelmoCommandGroups), std::end(kelmoCommandGroups)));
        EXPECT_EQ(registered(), L"");
    }
}

TEST_F(Entry, TheHostFolderIsTheExecutablesAndTheModuleFoldersAreMade) {
    g_hostDirectory = L"stale";
    writePrefs(""); // present though empty: no dialog
    initApplication();
    EXPECT_EQ(g_hostDirectory, CString(L"C:\\CadHost"));
    EXPECT_EQ(g_tempDirectory, CString(L"C:\\CadHost\\kelmo\\temp\\"));
    EXPECT_TRUE(fs::is_directory(hostFolder() / "kelmo" / "temp"));
    EXPECT_EQ(readPrefs(), "");
    EXPECT_TRUE(g_debugLogPath.IsEmpty() && g_assetFilter.IsEmpty());
}

TEST_F(Entry, FirstLoadShowsTheDefaultsAndOkWritesTheFileSoTheNextLoadAsksNothing) {
    std::wstring shown;
    onDialog([&](HWND) { shown = dumpCurrent(); });
    onDialog([](HWND d) { DialogDriver::enter(d); });
    initApplication();
    // The first-run values are replaced by the file's defaults: zoom border 1000, not 0.
    EXPECT_NE(shown.find(L"\"Brenvik - Preferences\" modal"), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"292 edit \"1000\""), std::wstring::npos) << shown;
    EXPECT_EQ(readPrefs(), kelmo_test::defaultPrefsFile);

    unloadApplication();
    HWND asked = nullptr;
    onDialog([&](HWND d) { asked = d; });
    initApplication();
    DialogDriver::pumpOne();
    EXPECT_EQ(asked, nullptr);
}

TEST_F(Entry, EscapeAtFirstLoadLeavesNoFileAndTheNextLoadAsksAgain) {
    const size_t depth = acDocManager->resourceDepth();
    onDialog([](HWND d) { DialogDriver::escape(d); });
    initApplication();
    EXPECT_FALSE(fs::exists(prefsFile()));
    EXPECT_NE(acedRegCmds()->lookup(L"md9"), nullptr); // the load goes on
    EXPECT_EQ(acDocManager->resourceDepth(), depth);
    unloadApplication();
    onDialog([](HWND d) { DialogDriver::enter(d); });
    initApplication();
    EXPECT_EQ(readPrefs(), kelmo_test::defaultPrefsFile);
}

TEST(ExtensionModule, ASecondAttachIsRefusedWithoutInitialisingAgain) {
    CKelmoExtensionModule record;
    int tag = 0;
    EXPECT_TRUE(record.AttachInstance(&tag));
    EXPECT_EQ(record.ModuleResourceInstance(), &tag);
    EXPECT_FALSE(record.AttachInstance(&tag));
    EXPECT_EQ(record.InitCount(), 1);
    record.DetachInstance();
    record.DetachInstance();
    EXPECT_TRUE(record.AttachInstance(&tag));
    EXPECT_EQ(record.InitCount(), 2);
}

class DocumentData : public kelmo_test::HostFixture {};

TEST_F(DocumentData, ForgetsADocumentWhenTheHostDestroysIt) {
    AsdkDataManager<CDocData> manager;
    AcApDocument* second = host->addDocument(L"second.dxf");
    manager.docData(doc());
    manager.documentToBeDestroyed(second); // no entry: nothing changes
    EXPECT_EQ(manager.getCount(), 1u);
    acDocManager->closeDocument(doc());
    EXPECT_EQ(manager.getCount(), 0u);
}

} // namespace
