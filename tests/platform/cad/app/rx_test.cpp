#include "cad/app/RxDynamicLinker.h"
#include "cad/app/RxRegistry.h"
#include "win/Encoding.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

int g_calls = 0;
void countCall() {
    ++g_calls;
}

class CommandStack : public ::testing::Test {
protected:
    void SetUp() override {
        stack()->removeGroup(L"T_A");
        stack()->removeGroup(L"T_B");
        stack()->clearHistory();
    }
    void TearDown() override { SetUp(); }
    static AcEdCommandStack* stack() { return AcEdCommandStack::cast(acrxSysRegistry()->at(ACRX_COMMAND_DOCK)); }
};

TEST_F(CommandStack, IsFoundInTheRegistryAndFindsCommandsByEitherNameInAnyCase) {
    ASSERT_EQ(stack(), acedRegCmds());
    ASSERT_EQ(stack()->addCommand(L"T_A", L"mbc", L"kelmoBlockCreate", ACRX_CMD_MODAL, countCall), Acad::eOk);
    ASSERT_EQ(stack()->addCommand(L"T_A", L"mlb", L"kelmoListBlocks", ACRX_CMD_SESSION, countCall), Acad::eOk);
    AcEdCommand* byGlobal = stack()->lookup(L"MBC");
    AcEdCommand* byLocal = stack()->lookup(L"KELMOBLOCKCREATE");
    ASSERT_NE(byGlobal, nullptr);
    EXPECT_EQ(byGlobal, byLocal);
    EXPECT_EQ(stack()->lookupLocalCmd(L"mbc"), nullptr);
    EXPECT_EQ(stack()->lookup(L"_kelmoBlockCreate"), nullptr); // an underscore asks for the global name
    EXPECT_EQ(stack()->lookup(L"_mbc"), byGlobal);
    EXPECT_EQ(stack()->lookup(L"mlb")->commandFlags(), ACRX_CMD_SESSION);
    byGlobal->functionAddr()();
    EXPECT_EQ(g_calls, 1);
}

TEST_F(CommandStack, RefusesADuplicateGlobalNameAndBadRegistrations) {
    ASSERT_EQ(stack()->addCommand(L"T_A", L"mus", L"kelmoUpdateSpaces", 0, countCall), Acad::eOk);
    AcEdCommand* ret = reinterpret_cast<AcEdCommand*>(1);
    EXPECT_EQ(stack()->addCommand(L"T_B", L"MUS", L"other", 0, countCall, nullptr, -1, nullptr, &ret),
              Acad::eDuplicateKey);
    EXPECT_EQ(ret, nullptr);
    EXPECT_EQ(stack()->lookup(L"other"), nullptr);
    EXPECT_EQ(stack()->addCommand(L"T_B", L"", L"x", 0, countCall), Acad::eInvalidInput);
    EXPECT_EQ(stack()->addCommand(L"T_B", L"a b", L"x", 0, countCall), Acad::eInvalidInput);
    EXPECT_EQ(stack()->addCommand(L"T_B", L"nofn", L"x", 0, nullptr), Acad::eInvalidInput);
    EXPECT_EQ(std::wstring(stack()->lookup(L"mus")->groupName()), L"T_A");
}

TEST_F(CommandStack, RemovingAGroupRemovesOnlyItsCommandsAndIsRecorded) {
    stack()->addCommand(L"T_A", L"a1", L"a1", 0, countCall);
    stack()->addCommand(L"T_A", L"a2", L"a2", 0, countCall);
    stack()->addCommand(L"T_B", L"b1", L"b1", 0, countCall);
    EXPECT_EQ(stack()->removeGroup(L"t_a"), Acad::eOk);
    EXPECT_EQ(stack()->lookup(L"a1"), nullptr);
    EXPECT_EQ(stack()->lookup(L"a2"), nullptr);
    EXPECT_NE(stack()->lookup(L"b1"), nullptr);
    EXPECT_EQ(stack()->removeGroup(L"T_NONE"), Acad::eKeyNotFound);
    EXPECT_EQ(stack()->removedGroups(), (std::vector<std::wstring>{L"t_a", L"T_NONE"}));
    // The global name is free again.
    EXPECT_EQ(stack()->addCommand(L"T_B", L"a1", L"a1", 0, countCall), Acad::eOk);
}

// A small module built for the test with the system compiler: it records the messages it
// gets in an environment variable and registers one command while loaded.
class Linker : public ::testing::Test {
protected:
    static std::string buildModule(const std::string& name, const std::string& body) {
        namespace fs = std::filesystem;
        fs::path dir = fs::temp_directory_path() / ("kelmo-linker-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        fs::path src = dir / (name + ".cpp"), lib = dir / ("lib" + name + ".so");
        std::ofstream(src) << body;
        std::string cmd = "c++ -std=c++20 -shared -fPIC -o " + lib.string() + " " + src.string() + " -I" +
                          KELMO_SOURCE_DIR "/platform 2>&1";
        if (std::system(cmd.c_str()) != 0) return {};
        return lib.string();
    }
};

const char* kModule = R"(
#include "cad/app/RxDynamicLinker.h"
#include <cstdlib>
#include <string>
static void hello() {}
static void note(const char* what) {
  std::string s = std::getenv("KELMO_LINKER_LOG") ? std::getenv("KELMO_LINKER_LOG") : "";
  setenv("KELMO_LINKER_LOG", (s + what).c_str(), 1);
}
extern "C" BOOL DllMain(HINSTANCE, DWORD reason, LPVOID) {
  note(reason == 1 ? "attach," : reason == 0 ? "detach," : "other,");
  return TRUE;
}
extern "C" AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* app) {
  if (msg == AcRx::kInitAppMsg) {
    note("init,");
    AcRxDynamicLinker* l = AcRxDynamicLinker::cast(acrxSysRegistry()->at(ACRX_DYNAMIC_LINKER));
    l->unlockApplication(app);
    l->registerAppMDIAware(app);
    acedRegCmds()->addCommand(L"T_MOD", L"hello", L"hello", 0, hello);
  } else if (msg == AcRx::kUnloadAppMsg) {
    note("unload,");
    acedRegCmds()->removeGroup(L"T_MOD");
  }
  return AcRx::kRetOK;
}
)";

TEST_F(Linker, SendsAttachLoadUnloadAndDetachInOrder) {
    std::string lib = buildModule("linkmod", kModule);
    if (lib.empty()) GTEST_SKIP() << "no C++ compiler to build the test module";
    unsetenv("KELMO_LINKER_LOG");
    std::wstring path = win::fromUtf8(lib);
    ASSERT_TRUE(acrxDynamicLinker->loadModule(path.c_str())) << win::toUtf8(acrxDynamicLinker->lastError());
    EXPECT_STREQ(getenv("KELMO_LINKER_LOG"), "attach,init,");
    EXPECT_NE(acedRegCmds()->lookup(L"hello"), nullptr);
    EXPECT_FALSE(acrxDynamicLinker->isApplicationLocked(path.c_str()));
    EXPECT_TRUE(acrxDynamicLinker->isAppMDIAware(L"liblinkmod.so"));
    ASSERT_TRUE(acrxDynamicLinker->unloadModule(path.c_str()));
    EXPECT_STREQ(getenv("KELMO_LINKER_LOG"), "attach,init,unload,detach,");
    EXPECT_EQ(acedRegCmds()->lookup(L"hello"), nullptr);
    EXPECT_TRUE(acrxDynamicLinker->loadedModules().empty());
}

TEST_F(Linker, ALockedModuleStaysUntilTheHostEnds) {
    std::string body = kModule;
    body.replace(body.find("l->unlockApplication(app);"), 26, "");
    std::string lib = buildModule("lockedmod", body);
    if (lib.empty()) GTEST_SKIP() << "no C++ compiler to build the test module";
    std::wstring path = win::fromUtf8(lib);
    ASSERT_TRUE(acrxDynamicLinker->loadModule(path.c_str()));
    EXPECT_FALSE(acrxDynamicLinker->unloadModule(path.c_str()));
    EXPECT_EQ(acrxDynamicLinker->loadedModules().size(), 1u);
    acrxDynamicLinker->unloadAll();
    EXPECT_TRUE(acrxDynamicLinker->loadedModules().empty());
}

TEST_F(Linker, AModuleStillLoadedWhenTheProcessCallsExitIsUnloadedFirst) {
    // A library that gives up calls exit(): the module must hear of it before the host's statics go.
    std::string body = kModule;
    body.replace(body.find("static void note(const char* what) {"), 36,
                 "#include <fstream>\nstatic void note(const char* what) {\n"
                 "  if (const char* f = std::getenv(\"KELMO_LINKER_FILE\")) std::ofstream(f, std::ios::app) << what;");
    std::string lib = buildModule("exitmod", body);
    if (lib.empty()) GTEST_SKIP() << "no C++ compiler to build the test module";
    std::string log = lib + ".log";
    std::filesystem::remove(log);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("KELMO_LINKER_FILE", log.c_str(), 1);
        std::wstring path = win::fromUtf8(lib);
        std::exit(acrxDynamicLinker->loadModule(path.c_str()) ? 0 : 9);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::ifstream in(log);
    std::string seen((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(seen, "attach,init,unload,detach,");
}

TEST_F(Linker, RefusesWhatIsNoModule) {
    EXPECT_FALSE(acrxDynamicLinker->loadModule(L"/nonexistent/libnothing.so"));
    EXPECT_FALSE(acrxDynamicLinker->lastError().empty());
    std::string lib = buildModule("plainlib", "extern \"C\" int nothing() { return 0; }\n");
    if (lib.empty()) GTEST_SKIP();
    std::wstring path = win::fromUtf8(lib);
    EXPECT_FALSE(acrxDynamicLinker->loadModule(path.c_str()));
    EXPECT_NE(acrxDynamicLinker->lastError().find(L"acrxEntryPoint"), std::wstring::npos);
    EXPECT_TRUE(acrxDynamicLinker->loadedModules().empty());
}

} // namespace
