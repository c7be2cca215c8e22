#include "database/StoredProcedure.h"

#include "core/KelmoExceptions.h"
#include "core/Log.h"
#include "core/XMLUtilities.h"
#include "database/DatabaseCatch.h"
#include "win/Process.h"

KELMO_SOURCE_FILE(L"StoredProcedure.cpp");

CStoredProcedure::CStoredProcedure(CString server, CString database, CString user, CString password, int seconds)
    : CDataServices(server, database, user, password, seconds), name(L""), parameters(nullptr), timeout(seconds) {}

CStoredProcedure::~CStoredProcedure() = default;

void CStoredProcedure::setName(const _bstr_t& procedureName) {
    name = procedureName;
}

_bstr_t CStoredProcedure::getName() {
    return name;
}

void CStoredProcedure::setParameters(CParameters* list) {
    parameters = list;
}

CParameters* CStoredProcedure::getParameters() {
    return parameters;
}

void CStoredProcedure::setTimeout(int seconds) {
    timeout = seconds;
}

int CStoredProcedure::getTimeout() {
    return timeout;
}

CString CStoredProcedure::errorState() {
    if (!connection) return CString();
    ErrorsPtr errors = connection->GetErrors();
    if (errors->GetCount() == 0) return CString();
    return CString(static_cast<const wchar_t*>(errors->GetItem(_variant_t(0L))->GetSQLState()));
}

bool CStoredProcedure::connectionLost() {
    if (!connection) return false;
    ErrorsPtr errors = connection->GetErrors();
    for (long i = 0; i < errors->GetCount(); ++i) {
        // SQL state class 08: connection exceptions.
        const CString state(static_cast<const wchar_t*>(errors->GetItem(_variant_t(i))->GetSQLState()));
        if (state.Left(2) == L"08") return true;
    }
    return false;
}

void CStoredProcedure::keepThisSessionOpen() {
    // Asked of the settings the server has: one that knows no idle time-out never ends an idle session.
    // Run with the calls' own time-out, which the session then keeps.
    connection->PutCommandTimeout(timeout);
    connection->Execute(_bstr_t(L"SELECT set_config(name, '0', false) FROM pg_settings "
                                L"WHERE name = 'idle_session_timeout'"),
                        nullptr, adCmdText);
}

void CStoredProcedure::keepSessionsOpen() {
    KELMO_TRY
        requireConnection(L"CStoredProcedure::keepSessionsOpen");
        keepThisSessionOpen();
        keepOpen = true;
    KELMO_CATCH_COM(L"CStoredProcedure::keepSessionsOpen", kelmo::catchClassLib)
}

void CStoredProcedure::markSessions(const CString& function, const CString& argument) {
    KELMO_TRY
        requireConnection(L"CStoredProcedure::markSessions");
        CString text = argument;
        text.Replace(L"'", L"''");
        const CString statement = L"SELECT \"" + function + L"\"('" + text + L"')";
        name = _bstr_t(static_cast<LPCWSTR>(function));
        failedState.Empty();
        connection->PutCommandTimeout(timeout);
        try {
            connection->Execute(_bstr_t(static_cast<LPCWSTR>(statement)), nullptr, adCmdText);
        } catch (const _com_error&) {
            failedState = errorState();
            throw;
        }
        sessionMark = statement;
    KELMO_CATCH_COM(L"CStoredProcedure::markSessions", kelmo::catchClassLib)
}

void CStoredProcedure::sessionRenewed() {
    if (keepOpen) keepThisSessionOpen();
    if (!sessionMark.IsEmpty()) {
        connection->PutCommandTimeout(timeout);
        connection->Execute(_bstr_t(static_cast<LPCWSTR>(sessionMark)), nullptr, adCmdText);
    }
    if (sessionHold == nullptr || renewing) return;
    // The hold's calls run on this object: the call waiting to run again keeps its own name, list and
    // time-out.
    const _bstr_t waitingName = name;
    CParameters* const waitingParameters = parameters;
    const int waitingTimeout = timeout;
    renewing = true;
    try {
        sessionHold->takeAgain(this);
    } catch (...) {
        renewing = false;
        name = waitingName;
        parameters = waitingParameters;
        timeout = waitingTimeout;
        throw;
    }
    renewing = false;
    name = waitingName;
    parameters = waitingParameters;
    timeout = waitingTimeout;
}

_RecordsetPtr CStoredProcedure::execute(const wchar_t* variant, bool bindParameters, _CommandPtr& command) {
    const CString method = CString(L"CStoredProcedure::") + variant;
    failedState.Empty();
    for (int attempt = 0;; ++attempt) {
        requireConnection(method.GetString());
        try {
            // A call run again runs on a new session: it is made ready first, and one that could not be
            // (its mark refused, say) is made ready before whichever call comes next.
            if (attempt > 0 || (sessionUnready && !renewing)) {
                sessionUnready = true;
                sessionRenewed();
                if (!renewing) sessionUnready = false;
            }
        } catch (const _com_error& error) {
            if (!connectionLost()) {
                failedState = errorState();
                throw;
            }
            if (attempt >= reconnectTries) throw new CEXConnection(error, KELMO_BANNER, kelmoSourceFile, method);
            Sleep(static_cast<DWORD>(250) << attempt);
            continue;
        }
        command.CreateInstance(L"ADODB.Command", nullptr, CLSCTX_ALL);
        command->PutRefActiveConnection(connection);
        command->PutCommandType(adCmdStoredProc);
        command->PutCommandTimeout(timeout);
        command->PutCommandText(name);
        if (bindParameters && parameters != nullptr && parameters->getCount() > 0)
            parameters->addParametersToCommand(command);
        if (!g_debugLogPath.IsEmpty()) {
            CLog log;
            log.writeToXMLDebugLog(g_debugLogPath, variant, serialize(CString(KELMO_NAMESPACE_URI) + L"/debugging"));
        }
        try {
            return command->Execute(nullptr, nullptr, adCmdStoredProc);
        } catch (const _com_error& error) {
            failedState = errorState();
            if (reconnectTries <= 0 || !connectionLost()) throw;
            if (attempt >= reconnectTries) throw new CEXConnection(error, KELMO_BANNER, kelmoSourceFile, method);
            // The next call makes a new connection first.
            Sleep(static_cast<DWORD>(250) << attempt);
        }
    }
}

_RecordsetPtr CStoredProcedure::execSPReturnParas() {
    KELMO_TRY
        _CommandPtr command;
        return execute(L"execSPReturnParas", true, command);
    KELMO_CATCH_COM(L"CStoredProcedure::execSPReturnParas", kelmo::catchClassLib)
}

void CStoredProcedure::execSPNoReturnNoParas() {
    KELMO_TRY
        _CommandPtr command;
        execute(L"execSPNoReturnNoParas", false, command);
    KELMO_CATCH_COM(L"CStoredProcedure::execSPNoReturnNoParas", kelmo::catchClassLib)
}

void CStoredProcedure::execSPNoReturnParas() {
    KELMO_TRY
        _CommandPtr command;
        execute(L"execSPNoReturnParas", true, command);
    KELMO_CATCH_COM(L"CStoredProcedure::execSPNoReturnParas", kelmo::catchClassLib)
}

void CStoredProcedure::execSPNoReturnParasReturn() {
    KELMO_TRY
        _CommandPtr command;
        execute(L"execSPNoReturnParasReturn", true, command);
        if (parameters != nullptr) parameters->getOutputParametersFromCommand(command);
    KELMO_CATCH_COM(L"CStoredProcedure::execSPNoReturnParasReturn", kelmo::catchClassLib)
}

_RecordsetPtr CStoredProcedure::execSPReturnNoParas() {
    KELMO_TRY
        _CommandPtr command;
        return execute(L"execSPReturnNoParas", false, command);
    KELMO_CATCH_COM(L"CStoredProcedure::execSPReturnNoParas", kelmo::catchClassLib)
}

IXMLDOMNodePtr CStoredProcedure::serialize(CString namespaceURI) {
    KELMO_TRY
        CXMLUtilities xml;
        IXMLDOMNodePtr node = xml.createNode(L"storedProcedure", namespaceURI);
        node->appendChild(xml.createNode(L"name", CString(static_cast<const wchar_t*>(name)), namespaceURI));
        node->appendChild(
            xml.createUniversalTimeNode(CString(KELMO_NAMESPACE_URI) + L"/errors", COleDateTime::GetCurrentTime()));
        if (parameters != nullptr) node->appendChild(parameters->serialize(namespaceURI));
        return node;
    KELMO_CATCH_COM(L"CStoredProcedure::serialize", kelmo::catchClassLib)
}
