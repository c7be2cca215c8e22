#pragma once
// The register as the tests see it: procedure objects on the test server, a staging database whose
// writers record what the server received and whose readers return rows the tests lay out, the
// debug log of the calls, and the module's exception chains read back.
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Globals.h"
#include "core/KelmoExceptions.h"
#include "database/StoredProcedure.h"
#include "module/database/ServerLogin.h"
#include "support/AdoServer.h"
#include "xml/MsXml.h"

inline void PrintTo(const CString& text, std::ostream* out) {
    *out << '"' << text.ToUtf8() << '"';
}

namespace registertest {

using kelmo::test::pgQuery;
using kelmo::test::pgServer;

using serverlogin::password;
using serverlogin::server;
using serverlogin::user;

// Ids of this process, so that test programs running side by side keep to their own rows.
inline int localId(int n) {
    return 800000 + (::getpid() % 10000) * 100 + n;
}
inline std::string str(int n) {
    return std::to_string(n);
}

// The database the writers of the staging side record into and its readers answer from.
constexpr const char* kStage = "registerstage2";

// Creates the staging database once per cluster: the register's procedure names, each writer taking
// every argument as text (the in-out location id and the take-off answer keep their types) and
// recording what arrived, each reader answering from a table of rows.
void ensureStageDatabase();

// A procedure object on the register ("vxr") or on the staging database.
inline std::unique_ptr<CStoredProcedure> connect(const wchar_t* database) {
    return std::make_unique<CStoredProcedure>(server(), database, user(), password(), 10);
}

// A procedure object whose connection is gone.
struct Disconnected : CStoredProcedure {
    Disconnected() : CStoredProcedure(server(), L"vxr", user(), password(), 10) {
        connection->Close();
        connected = 0;
    }
};

// The server process behind a procedure object on the staging database.
int backendPid(CStoredProcedure* procedure);

// One call as the staging server received it: the procedure and "name=value" per argument in the
// procedure's own order ("name=<null>" when nothing was sent).
struct ReceivedCall {
    std::string procedure;
    std::vector<std::string> arguments;
};
std::vector<ReceivedCall> receivedCalls(int pid);

// One call as the debug log records it: the execution used, the procedure, and each parameter in
// the order it was bound as "name type size".
struct LoggedCall {
    std::wstring execution;
    std::wstring procedure;
    std::vector<std::wstring> parameters;
};

// Writes the debug log of the calls made while it lives, and reads it back.
class DebugLog {
public:
    DebugLog();
    ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;
    std::vector<LoggedCall> calls();

private:
    std::filesystem::path m_folder;
};

// Runs `call`, expecting a module exception; gives the outermost level's class name and method, the
// innermost level's class name, and deletes the chain.
struct Failure {
    bool thrown = false;
    std::string outerClass;
    std::wstring outerMethod;
    std::string innerClass;
};
Failure failureOf(const std::function<void()>& call);

} // namespace registertest

#define REGISTER_REQUIRE_PG()                                                             \
    do {                                                                                  \
        if (!::kelmo::test::pgServer()) GTEST_SKIP() << "KELMO_PG* not set: no database"; \
    } while (0)
