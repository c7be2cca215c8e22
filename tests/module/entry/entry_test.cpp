// The module as the host loads it: host detection, the command table and its registration order,
// the extension-module record, the host folder and the first-run preferences.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cad/HostApplicationServices.h"
#include "cad/RxRegistry.h"
#include "classlib/DialogDriver.h"
#include "core/DocData.h"
#include "core/Globals.h"
#include "core/HostApplication.h"
#include "entry/KelmoEntry.h"
#include "support/EntryFixture.h"

namespace {

using kelmo_test::ModuleFixture;
namespace fs = std::filesystem;

struct Row {
    std::wstring group, global, local;
    int flags;
};

const int S = ACRX_CMD_SESSION;

const std::vector<Row> fullTable = {
    {L"KELMO_COMMANDS", L"mbe", L"kelmoBrenvik", 0},
    {L"KELMO_COMMANDS", L"mbh", L"kelmoBlockHyperlink", 0},
    {L"KELMO_COMMANDS", L"mbc", L"kelmoBlockCreate", 0},
    {L"KELMO_COMMANDS", L"mgabc", L"kelmoGrossAreaBlockCreate", S},
    {L"KELMO_COMMANDS", L"mdb", L"kelmoDeleteBlock", S},
    {L"KELMO_COMMANDS", L"mcsv", L"kelmoCommaSeperatedValues", S},
    {L"KELMO_COMMANDS", L"mlbd", L"kelmoLegendBlockDefine", S},
    {L"KELMO_COMMANDS", L"mpbd", L"kelmoPieBlockDefine", S},
    {L"KELMO_COMMANDS", L"mgr", L"kelmoGraphicReport", S},
    {L"KELMO_COMMANDS", L"magr", L"kelmoApplyGraphicReport", S},
    {L"KELMO_COMMANDS", L"mfrs", L"mfrs", S},
    {L"KELMO_COMMANDS", L"mlmc", L"kelmoLegendMarkerCreate", 0},
    {L"KELMO_COMMANDS", L"mpmc", L"kelmoPieMarkerCreate", 0},
    {L"KELMO_UTIL", L"mus", L"kelmoUpdateSpaces", S},
    {L"KELMO_UTIL", L"msxta", L"kelmoSyncXDataToAttributes", S},
    {L"KELMO_UTIL", L"mut", L"kelmoUpdateText", S},
    {L"KELMO_UTIL", L"maux", L"kelmoAuxilarator", S},
    {L"KELMO_UTIL", L"mrt", L"kelmoRefreshTags", S},
    {L"KELMO_UTIL", L"mbta", L"kelmoBlankThirdAttribute", S},
    {L"KELMO_DIAG", L"mlb", L"kelmoListBlocks", S},
    {L"KELMO_ADMIN", L"mprefs", L"kelmoPreferences", 0},
    {L"KELMO_HELP", L"m?", L"mhelp", S},
    {L"KELMO_HELP", L"md?", L"mdiagnosticshelp", S},
    {L"KELMO_SECRET", L"msc_has", L"msc_has", S},
    {L"KELMO_SECRET", L"msc_hs", L"msc_hs", S},
    {L"KELMO_SECRET", L"msc_isc", L"msc_isc", S},
    {L"KELMO_SECRET", L"msc_cal", L"msc_cal", S},
    {L"KELMO_SECRET", L"msc_dsd", L"msc_dsd", S},
    {L"KELMO_TEST", L"test", L"test", S},
    {L"KELMO_DIAGNOSTICS", L"mda", L"kelmoDiagnosticAll", S},
    {L"KELMO_DIAGNOSTICS", L"md1", L"kelmoDiagnosticBasic", S},
    {L"KELMO_DIAGNOSTICS", L"md3", L"kelmoDiagnosticDialog", S},
    {L"KELMO_DIAGNOSTICS", L"md4", L"kelmoDiagnosticErrorsA", S},
    {L"KELMO_DIAGNOSTICS", L"md5", L"kelmoDiagnosticErrorsB", S},
    {L"KELMO_DIAGNOSTICS", L"md6", L"kelmoDiagnosticErrorsC", S},
    {L"KELMO_DIAGNOSTICS", L"md7", L"kelmoDiagnosticErrorsD", S},
    {L"KELMO_DIAGNOSTICS", L"md8", L"kelmoDiagnosticUserInput", S},
    {L"KELMO_DIAGNOSTICS", L"md9", L"kelmoDiagnosticXML", S},
};

std::vector<Row> registered() {
    std::vector<Row> rows;
    for (const AcEdCommand* command : acedRegCmds()->commands()) {
        const std::wstring group = command->groupName();
        if (group.rfind(L"KELMO_", 0) == 0) {
            rows.push_back({group, command->globalName(), command->localName(), command->commandFlags()});
        }
    }
    return rows;
}

void expectTable(const std::vector<Row>& expected) {
    const std::vector<Row> rows = registered();
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(rows[i].group, expected[i].group);
        EXPECT_EQ(rows[i].global, expected[i].global);
        EXPECT_EQ(rows[i].local, expected[i].local);
        EXPECT_EQ(rows[i].flags, expected[i].flags);
    }
}

// Host detection runs as the module is mapped; these tests detect again under another product.
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
    struct Case {
        const wchar_t* product;
        int type;
        const wchar_t* name;
        bool full;
    } cases[] = {
        {L"AutoCAD 2015", 2, L"AutoCAD", true},
        {L"AUTOCAD LT 2015", 1, L"AutoCADLT", false},
        {L"Autodesk AutoCAD LT", 1, L"AutoCADLT", false},
        {L"BricsCAD V15", 3, L"BricsCAD", true},
        {L"bricscad and autocad", 2, L"AutoCAD", true},  // AutoCAD is tested first
        {L"AutoCADLT", 2, L"AutoCAD", true},             // "tocad lt" needs its blank
        {L"DraftSight 2015", 0, L"unknown <draftsight 2015>", false},
        {L"", 0, L"unknown <>", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product);
        HostScope scope(c.product);
        EXPECT_EQ(g_hostApplication.getHostType(), c.type);
        EXPECT_EQ(g_hostApplication.getProductName(), CString(c.name));
        EXPECT_EQ(g_hostApplication.isFullVersion(), c.full);
    }
}

TEST(HostDetection, FullVersionIsTheLoadedHostsWhateverObjectIsAsked) {
    CHostApplication lt;
    lt.detect(L"AutoCAD LT 2015", L"");
    ASSERT_EQ(lt.getHostType(), 1);
    // The host loaded with the tests is full AutoCAD.
    EXPECT_TRUE(lt.isFullVersion());
    HostScope scope(L"AutoCAD LT 2015");
    CHostApplication full;
    full.detect(L"AutoCAD 2015", L"");
    EXPECT_FALSE(full.isFullVersion());
}

class Entry : public ModuleFixture {};

TEST_F(Entry, LoadingUnderFullAutoCADRegistersAll38InTableOrder) {
    writePrefs("");
    ASSERT_EQ(acrxEntryPoint(AcRx::kInitAppMsg, nullptr), AcRx::kRetOK);
    expectTable(fullTable);
    for (const Row& row : fullTable) {
        const AcEdCommand* command = acedRegCmds()->lookupGlobalCmd(row.global.c_str());
        ASSERT_NE(command, nullptr) << row.global;
        EXPECT_EQ(command->functionCode(), -1);
        EXPECT_EQ(command->UIContext(), nullptr);
        EXPECT_NE(command->functionAddr(), nullptr);
    }
}

TEST_F(Entry, BricsCADRegistersTheMarkerCommandsToo) {
    writePrefs("");
    HostScope scope(L"BricsCAD V15");
    initApplication();
    expectTable(fullTable);
}

TEST_F(Entry, AutoCADLTAndUnknownHostsLeaveOutTheTwoMarkerCommands) {
    writePrefs("");
    std::vector<Row> without;
    for (const Row& row : fullTable) {
        if (row.global != L"mlmc" && row.global != L"mpmc") {
            without.push_back(row);
        }
    }
    for (const wchar_t* product : {L"AutoCAD LT 2015", L"SomeCAD 3"}) {
        SCOPED_TRACE(product);
        HostScope scope(product);
        initApplication();
        expectTable(without);
        EXPECT_EQ(acedRegCmds()->lookup(L"mlmc"), nullptr);
        EXPECT_EQ(acedRegCmds()->lookup(L"kelmoPieMarkerCreate"), nullptr);
        unloadApplication();
    }
}

TEST_F(Entry, UnloadRemovesEveryGroupInOrderWhetherOrNotItHasCommands) {
    writePrefs("");
    initApplication();
    acedRegCmds()->removeGroup(L"KELMO_TEST");  // a group that is empty by the time of unload
    acedRegCmds()->clearHistory();
    ASSERT_EQ(acrxEntryPoint(AcRx::kUnloadAppMsg, nullptr), AcRx::kRetOK);
    const std::vector<std::wstring> expected(std::begin(kelmoCommandGroups), std::end(kelmoCommandGroups));
    EXPECT_EQ(acedRegCmds()->removedGroups(), expected);
    EXPECT_EQ(expected.front(), L"KELMO_COMMANDS");
    EXPECT_EQ(expected.back(), L"KELMO_DIAGNOSTICS");
    EXPECT_TRUE(registered().empty());
}

TEST_F(Entry, ANameHeldByAnotherApplicationIsSkippedAndTheRestRegister) {
    writePrefs("");
    acedRegCmds()->addCommand(L"OTHER_APP", L"mdb", L"otherDelete", 0, [] {});
    initApplication();
    EXPECT_EQ(registered().size(), fullTable.size() - 1);
    EXPECT_NE(acedRegCmds()->lookup(L"md9"), nullptr);
    EXPECT_EQ(std::wstring(acedRegCmds()->lookup(L"mdb")->groupName()), L"OTHER_APP");
    acedRegCmds()->removeGroup(L"OTHER_APP");
}

TEST_F(Entry, OtherMessagesDoNothingAndAnswerOk) {
    EXPECT_EQ(acrxEntryPoint(AcRx::kLoadDwgMsg, nullptr), AcRx::kRetOK);
    EXPECT_TRUE(registered().empty());
    EXPECT_FALSE(fs::exists(hostFolder()));
    EXPECT_GT(acrxGetApiVersion(), 0);
}

TEST_F(Entry, TheHostFolderIsTheExecutablesAndTheModuleFoldersAreMade) {
    g_hostDirectory = L"stale";
    writePrefs("");
    initApplication();
    EXPECT_EQ(g_hostDirectory, CString(L"C:\\CadHost"));
    EXPECT_EQ(g_tempDirectory, CString(L"C:\\CadHost\\kelmo\\temp\\"));
    EXPECT_TRUE(fs::is_directory(hostFolder() / "kelmo" / "temp"));
    EXPECT_TRUE(fs::is_directory(hostFolder() / "kelmo" / "prefs"));
    EXPECT_TRUE(g_debugLogPath.IsEmpty());
    EXPECT_TRUE(g_assetFilter.IsEmpty());
}

TEST_F(Entry, FirstLoadAsksForPreferencesShowingTheDefaultsAndOkWritesTheFile) {
    std::wstring shown;
    onDialog([&](HWND) { shown = dumpCurrent(); });
    onDialog([](HWND d) { classlib::DialogDriver::enter(d); });
    initApplication();
    EXPECT_NE(shown.find(L"\"Brenvik - Preferences\" modal"), std::wstring::npos) << shown;
    // The first-run values are replaced by the defaults: zoom border 1000, not 0.
    EXPECT_NE(shown.find(L"292 edit \"1000\""), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"291 edit \"250\""), std::wstring::npos) << shown;
    EXPECT_NE(shown.find(L"330 edit \"NONE\""), std::wstring::npos) << shown;
    EXPECT_EQ(readPrefs(), kelmo_test::defaultPrefsFile);
    EXPECT_EQ(registered().size(), fullTable.size());

    // The next load finds the file and asks nothing.
    unloadApplication();
    bool asked = false;
    onDialog([&](HWND d) { asked = d != nullptr; });
    initApplication();
    classlib::DialogDriver::pumpOne();
    EXPECT_FALSE(asked);
}

TEST_F(Entry, EscapeAtFirstLoadLeavesNoFileAndTheNextLoadAsksAgain) {
    onDialog([](HWND d) { classlib::DialogDriver::escape(d); });
    initApplication();
    EXPECT_FALSE(fs::exists(prefsFile()));
    EXPECT_EQ(registered().size(), fullTable.size());  // the load goes on
    unloadApplication();

    int asked = 0;
    onDialog([&](HWND d) {
        asked += d != nullptr;
        classlib::DialogDriver::enter(d);
    });
    initApplication();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(readPrefs(), kelmo_test::defaultPrefsFile);
}

TEST_F(Entry, AnEmptyPreferencesFileCountsAsPresent) {
    writePrefs("");
    initApplication();
    EXPECT_TRUE(host->messageBoxes().empty());
    EXPECT_EQ(readPrefs(), "");
}

TEST_F(Entry, TheFirstRunCheckBalancesTheResourceStack) {
    const size_t depth = acDocManager->resourceDepth();
    initApplication();  // the dialog is cancelled: nothing answers it
    EXPECT_EQ(acDocManager->resourceDepth(), depth);
}

TEST(ExtensionModule, ASecondAttachIsRefusedWithoutInitialisingAgain) {
    CKelmoExtensionModule record;
    int tag = 0;
    HINSTANCE instance = &tag;
    EXPECT_FALSE(record.IsAttached());
    EXPECT_TRUE(record.AttachInstance(instance));
    EXPECT_EQ(record.ModuleResourceInstance(), instance);
    EXPECT_FALSE(record.AttachInstance(instance));
    EXPECT_EQ(record.InitCount(), 1);
    record.DetachInstance();
    EXPECT_FALSE(record.IsAttached());
    record.DetachInstance();  // a second detach does nothing
    EXPECT_TRUE(record.AttachInstance(instance));
    EXPECT_EQ(record.InitCount(), 2);
}

TEST(ExtensionModule, DllMainAnswersTrueForEveryReason) {
    int tag = 0;
    HINSTANCE instance = &tag;
    EXPECT_TRUE(DllMain(instance, 2, nullptr));  // thread attach: nothing
    EXPECT_TRUE(DllMain(instance, 3, nullptr));
}

class DocumentData : public kelmo_test::HostFixture {};

TEST_F(DocumentData, ForgetsADocumentWhenTheHostDestroysIt) {
    AsdkDataManager<CDocData> manager;
    AcApDocument* second = host->addDocument(L"second.dxf");
    manager.docData(doc());
    const size_t before = g_docDataManager.getCount();
    manager.documentToBeDestroyed(second);  // no entry: nothing changes
    EXPECT_EQ(manager.getCount(), 1u);
    acDocManager->closeDocument(doc());
    EXPECT_EQ(manager.getCount(), 0u);
    EXPECT_EQ(g_docDataManager.getCount(), before);
}

} // namespace
