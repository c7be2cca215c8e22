#include "database/DataServices.h"

#include "core/KelmoExceptions.h"
#include "core/Utilities.h"
#include "database/DatabaseCatch.h"

KELMO_SOURCE_FILE(L"DataServices.cpp");

namespace {

CString quoted(const CString& value) {
    const bool plain = value.FindOneOf(L";='\"") < 0 && value == CString(value).Trim();
    if (plain) return value;
    CString text = value;
    text.Replace(L"\"", L"\"\"");
    return L"\"" + text + L"\"";
}

} // namespace

CDataServices::CDataServices() : connected(0), comInitialised(false) {}

CString CDataServices::connectionString(CString server, CString database, CString user, CString password) {
    return L"Provider=SQLOLEDB;Data Source=" + quoted(server) + L";Initial Catalog=" + quoted(database) + L";User Id=" +
           quoted(user) + L";Password=" + quoted(password) + L";";
}

CDataServices::CDataServices(CString server, CString database, CString user, CString password, int timeout)
    : connected(0), comInitialised(false) {
    const wchar_t* method = L"CDataServices::CDataServices";
    try {
        const CString text = connectionString(server, database, user, password);
        CoInitialize(nullptr);
        comInitialised = true;
        const HRESULT created = connection.CreateInstance(L"ADODB.Connection", nullptr, CLSCTX_ALL);
        if (FAILED(created))
            throw _com_error(created, win::makeErrorInfo(L"The database connection object could not be created.",
                                                         L"ADODB.Connection"));
        connection->PutConnectionTimeout(timeout);
        connection->Open(_bstr_t(static_cast<LPCWSTR>(text)), _bstr_t(L""), _bstr_t(L""), 0);
        connected = 1;
    } catch (...) {
        // The destructor will not run: undo what was done before the failure is passed on.
        connection.Release();
        if (comInitialised) CoUninitialize();
        comInitialised = false;
        try {
            throw;
        } catch (const _com_error& error) {
            throw new CEXConnection(error, KELMO_BANNER, kelmoSourceFile, method);
        } catch (...) {
            kelmo::rethrowWrapped(kelmoSourceFile, method, kelmo::catchClassLib);
        }
    }
}

CDataServices::~CDataServices() {
    // A close that fails must not leave the destructor: the connection is dropped either way.
    if (connected == 1) {
        try {
            connection->Close();
        } catch (...) {}
    }
    connection.Release();
    if (comInitialised) CoUninitialize();
}

double CDataServices::getADOVersion() {
    KELMO_TRY
        double version = 0.0;
        if (connected == 1)
            version = CUtilities::CStringToDouble(CString(static_cast<const wchar_t*>(connection->GetVersion())));
        return version;
    KELMO_CATCH_ALSO(L"CDataServices::getADOVersion", kelmo::catchClassLib)
}

void CDataServices::requireConnection(const wchar_t* method) {
    if (connected == 1 && connection && connection->GetState() == adStateOpen) return;
    const _com_error error(adErrInvalidConnection,
                           win::makeErrorInfo(L"There is no open database connection to run on.", L"ADODB.Connection"));
    throw new CEXConnection(error, KELMO_BANNER, kelmoSourceFile, method);
}

void CDataServices::beginTrans() {
    KELMO_TRY
        requireConnection(L"CDataServices::beginTrans");
        connection->BeginTrans();
    KELMO_CATCH_COM(L"CDataServices::beginTrans", kelmo::catchClassLib)
}

void CDataServices::commitTrans() {
    KELMO_TRY
        requireConnection(L"CDataServices::commitTrans");
        connection->CommitTrans();
    KELMO_CATCH_COM(L"CDataServices::commitTrans", kelmo::catchClassLib)
}

void CDataServices::rollbackTrans() {
    KELMO_TRY
        requireConnection(L"CDataServices::rollbackTrans");
        connection->RollbackTrans();
    KELMO_CATCH_COM(L"CDataServices::rollbackTrans", kelmo::catchClassLib)
}
