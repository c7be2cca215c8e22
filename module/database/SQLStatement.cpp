#include "database/SQLStatement.h"

#include "core/KelmoExceptions.h"
#include "database/DatabaseCatch.h"

KELMO_SOURCE_FILE(L"SQLStatement.cpp");

CSQLStatement::CSQLStatement(CString server, CString database, CString user, CString password, int timeout)
    : CDataServices(server, database, user, password, timeout) {}

CSQLStatement::~CSQLStatement() = default;

_RecordsetPtr CSQLStatement::execSQLReturn(CString sql) {
    const wchar_t* method = L"CSQLStatement::execSQLReturn";
    try {
        requireConnection(method);
        _variant_t affected(0L);
        return connection->Execute(_bstr_t(static_cast<LPCWSTR>(sql)), &affected, adCmdUnspecified);
    } catch (const _com_error& error) {
        throw new CEXSQLStatement(error, sql, KELMO_BANNER, kelmoSourceFile, method);
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, method, kelmo::catchClassLib);
    }
}

int CSQLStatement::execSQLNoReturn(CString sql) {
    const wchar_t* method = L"CSQLStatement::execSQLNoReturn";
    try {
        requireConnection(method);
        _variant_t affected(0L);
        connection->Execute(_bstr_t(static_cast<LPCWSTR>(sql)), &affected, adCmdUnspecified);
        return 1;
    } catch (const _com_error& error) {
        throw new CEXSQLStatement(error, sql, KELMO_BANNER, kelmoSourceFile, method);
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, method, kelmo::catchClassLib);
    }
}
