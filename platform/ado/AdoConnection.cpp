// The connection: an OLE DB connection string taken apart into libpq keywords, and one server session.
#include "ado/AdoInternal.h"

#include <poll.h>

#include <cerrno>
#include <chrono>
#include <cwctype>
#include <unordered_map>

namespace ADODB {

struct Connection::Native {
    PGconn* conn = nullptr;
    long statementTimeout = -1; // seconds as last set on the session; -1 unknown
    bool inTransaction = false;
    bool silent = false; // the server stopped answering: the session is given up
    std::unordered_map<std::wstring, Routine> routines;

    ~Native() {
        if (conn) PQfinish(conn);
    }
};

namespace {

std::wstring lower(std::wstring text) {
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// A database in SQL_ASCII keeps text as the bytes it was given. Asked for UTF-8 the server refuses a
// whole result for one value that is not; taken as stored, each value is checked where it is read, so
// that one unreadable value fails the reading of that value alone.
void takeTextAsStored(PGconn* conn) {
    const char* encoding = PQparameterStatus(conn, "server_encoding");
    if (encoding && std::string(encoding) == "SQL_ASCII") PQsetClientEncoding(conn, "SQL_ASCII");
}

std::wstring trimmedMessage(const char* message) {
    std::wstring text = wide(message ? message : "");
    while (!text.empty() && std::iswspace(text.back())) text.pop_back();
    return text.empty() ? std::wstring(L"The server reported an error without a message.") : text;
}

std::string quoteIdentifier(const std::wstring& name) {
    std::string out = "\"";
    for (char c : utf8(name)) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

} // namespace

bool matchesProgId(const wchar_t* progId, const wchar_t* className) {
    const std::wstring id = lower(progId);
    const std::wstring base = lower(std::wstring(L"ADODB.") + className);
    return id == base || (id.size() > base.size() && id.compare(0, base.size() + 1, base + L".") == 0);
}

ErrorPtr Errors::GetItem(const _variant_t& index) const {
    long i = 0;
    try {
        i = static_cast<long>(index);
    } catch (const _com_error&) {
        raise(adErrItemNotFound,
              L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
    }
    if (i < 0 || i >= GetCount())
        raise(adErrItemNotFound,
              L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return items_[static_cast<size_t>(i)];
}

Connection::Connection() : native_(std::make_unique<Native>()) {
    errors_.CreateInstance();
}

Connection::~Connection() = default;

void Connection::PutConnectionString(const _bstr_t& text) {
    if (GetState() == adStateOpen) raise(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    connectionString_ = static_cast<const wchar_t*>(text) ? static_cast<const wchar_t*>(text) : L"";
}

_bstr_t Connection::GetConnectionString() const {
    return _bstr_t(connectionString_.c_str());
}

void Connection::PutConnectionTimeout(long seconds) {
    if (seconds < 0) raise(adErrInvalidArgument, L"The connection timeout cannot be negative.");
    connectionTimeout_ = seconds;
}

void Connection::PutCommandTimeout(long seconds) {
    if (seconds < 0) raise(adErrInvalidArgument, L"The command timeout cannot be negative.");
    commandTimeout_ = seconds;
}

long Connection::GetState() const {
    return native_->conn ? adStateOpen : adStateClosed;
}

_bstr_t Connection::GetVersion() const {
    return _bstr_t(L"6.1");
}

_bstr_t Connection::GetDefaultDatabase() const {
    if (!native_->conn) return _bstr_t(L"");
    return _bstr_t(wide(PQdb(native_->conn)).c_str());
}

void Connection::fail(HRESULT code, const std::wstring& description, const std::wstring& sqlState) {
    errors_->add(ErrorPtr(std::make_shared<Error>(code, description, sqlState)));
    raise(code, description);
}

HRESULT Connection::Open(const _bstr_t& connectionString, const _bstr_t& userId, const _bstr_t& password, long) {
    if (GetState() == adStateOpen) raise(adErrObjectOpen, L"Operation is not allowed when the object is open.");
    errors_->Clear();
    const wchar_t* given = static_cast<const wchar_t*>(connectionString);
    if (given && *given) connectionString_ = given;

    std::wstring host, port, database, user, secret;
    for (const auto& [key, value] : parseConnectionString(connectionString_)) {
        if (key == L"provider" || key == L"persist security info") continue;
        if (key == L"data source" || key == L"server" || key == L"address" || key == L"addr") {
            host = value;
            const size_t comma = host.rfind(L',');
            if (comma != std::wstring::npos) {
                port = host.substr(comma + 1);
                host.erase(comma);
            }
        } else if (key == L"initial catalog" || key == L"database") {
            database = value;
        } else if (key == L"user id" || key == L"uid" || key == L"user") {
            user = value;
        } else if (key == L"password" || key == L"pwd") {
            secret = value;
        } else if (key == L"connect timeout" || key == L"connection timeout" || key == L"timeout") {
            connectionTimeout_ = std::wcstol(value.c_str(), nullptr, 10);
        } else {
            fail(adErrInvalidArgument, L"Connection string: the keyword \"" + key + L"\" is not supported.");
        }
    }
    // The arguments of Open take the place of the string's user and password when given.
    const wchar_t* u = static_cast<const wchar_t*>(userId);
    const wchar_t* p = static_cast<const wchar_t*>(password);
    if (u && *u) user = u;
    if (p && *p) secret = p;

    const std::string hostText = utf8(host), portText = utf8(port), dbText = utf8(database), userText = utf8(user),
                      passwordText = utf8(secret), timeoutText = std::to_string(connectionTimeout_);
    std::vector<const char*> keys, values;
    auto put = [&](const char* k, const std::string& v) {
        if (v.empty()) return;
        keys.push_back(k);
        values.push_back(v.c_str());
    };
    put("host", hostText);
    put("port", portText);
    put("dbname", dbText);
    put("user", userText);
    put("password", passwordText);
    if (connectionTimeout_ > 0) put("connect_timeout", timeoutText);
    keys.push_back("client_encoding");
    values.push_back("UTF8");
    keys.push_back("fallback_application_name");
    values.push_back("cadhost");
    keys.push_back(nullptr);
    values.push_back(nullptr);

    PGconn* conn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (conn == nullptr) fail(E_OUTOFMEMORY, L"Out of memory while connecting.");
    if (PQstatus(conn) != CONNECTION_OK) {
        std::wstring message = trimmedMessage(PQerrorMessage(conn));
        PQfinish(conn);
        fail(E_FAIL, message, L"08001");
    }
    takeTextAsStored(conn);
    native_->conn = conn;
    native_->statementTimeout = -1;
    native_->routines.clear();
    return S_OK;
}

HRESULT Connection::Close() {
    if (!native_->conn) raise(adErrObjectClosed, L"Operation is not allowed when the object is closed.");
    PQfinish(native_->conn); // the server rolls back an open transaction
    native_->conn = nullptr;
    native_->routines.clear();
    native_->inTransaction = false;
    return S_OK;
}

bool Connection::inTransaction() const {
    return native_->inTransaction;
}

long Connection::BeginTrans() {
    errors_->Clear();
    if (native_->inTransaction) fail(XACT_E_XTIONEXISTS, L"Only one transaction can be active on this session.");
    // Transaction statements keep the session's timeout as it is: in a failed transaction the
    // server takes nothing but the statement that ends it.
    run("BEGIN", {}, native_->statementTimeout);
    native_->inTransaction = true;
    return 1;
}

HRESULT Connection::CommitTrans() {
    errors_->Clear();
    if (!native_->inTransaction) fail(XACT_E_NOTRANSACTION, L"No transaction is active.");
    Result r;
    try {
        r = run("COMMIT", {}, native_->statementTimeout);
    } catch (...) {
        native_->inTransaction = false;
        native_->statementTimeout = -1;
        throw;
    }
    native_->inTransaction = false;
    // The server answers a commit of a failed transaction by rolling it back.
    if (std::string(PQcmdStatus(r.result.get())) == "ROLLBACK") {
        native_->statementTimeout = -1;
        fail(XACT_E_COMMITFAILED,
             L"The transaction could not be committed: a statement in it failed, and its work was rolled back.");
    }
    return S_OK;
}

HRESULT Connection::RollbackTrans() {
    errors_->Clear();
    if (!native_->inTransaction) fail(XACT_E_NOTRANSACTION, L"No transaction is active.");
    native_->inTransaction = false;
    try {
        run("ROLLBACK", {}, native_->statementTimeout);
    } catch (...) {
        native_->statementTimeout = -1;
        throw;
    }
    native_->statementTimeout = -1; // settings made inside the transaction went with it
    return S_OK;
}

namespace {

// The SQL state of a failed command. However the server put it, a command that lost the session
// failed for the connection (08006): the session closed under it, or the server said it is ending
// the session (57P01 to 57P04) before libpq saw the socket close.
std::wstring failedState(PGconn* conn, const PGresult* result) {
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const std::string text = state ? state : "";
    if (PQstatus(conn) != CONNECTION_OK || text.starts_with("57P0")) return L"08006";
    return wide(text.c_str());
}

// How long the client waits for the answer to a statement the server stops at `timeout` seconds: as
// long again (a second at least) for the answer to arrive. 0 when the statement has no time-out.
std::chrono::milliseconds answerLimit(long timeout) {
    if (timeout <= 0) return std::chrono::milliseconds(0);
    return std::chrono::seconds(timeout + std::max(timeout, 1L));
}

// Sends the statement and waits for its last result, at most `limit` (none when 0). A server that
// stops answering without closing the connection gives no result: `silent` is set and null returned.
PGresult* exchange(PGconn* conn, const std::string& sql, const std::vector<const char*>& values,
                   std::chrono::milliseconds limit, bool& silent) {
    const bool sent = values.empty() ? PQsendQuery(conn, sql.c_str()) != 0
                                     : PQsendQueryParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                                         values.data(), nullptr, nullptr, 0) != 0;
    if (!sent) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    PGresult* last = nullptr;
    for (;;) {
        while (PQisBusy(conn)) {
            int wait = -1;
            if (limit.count() > 0) {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
                if (left.count() <= 0) {
                    silent = true;
                    PQclear(last);
                    return nullptr;
                }
                wait = static_cast<int>(std::min<long long>(left.count(), 60000));
            }
            pollfd socket{PQsocket(conn), POLLIN, 0};
            const int ready = ::poll(&socket, 1, wait);
            if (ready < 0 && errno != EINTR) break;
            if (ready > 0 && !PQconsumeInput(conn)) break; // the connection broke: the result says so
        }
        PGresult* result = PQgetResult(conn);
        if (result == nullptr) return last;
        PQclear(last);
        last = result;
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COPY_IN || status == PGRES_COPY_OUT || status == PGRES_COPY_BOTH) return last;
    }
}

} // namespace

Connection::Result Connection::run(const std::string& sql, const std::vector<const char*>& values, long timeout) {
    if (!native_->conn)
        fail(adErrInvalidConnection,
             L"The connection cannot be used to perform this operation. It is either closed or invalid in this "
             L"context.");
    if (native_->silent || PQstatus(native_->conn) != CONNECTION_OK) {
        // A new session would run the rest of a transaction's work outside it.
        if (native_->inTransaction) {
            native_->inTransaction = false;
            fail(adErrInvalidConnection, L"The connection was lost during a transaction; its work was not saved.");
        }
        native_->silent = false;
        PQreset(native_->conn);
        // A new session starts with the server's defaults.
        native_->statementTimeout = -1;
        if (PQstatus(native_->conn) != CONNECTION_OK)
            fail(E_FAIL, trimmedMessage(PQerrorMessage(native_->conn)), L"08001");
        takeTextAsStored(native_->conn);
    }
    if (timeout != native_->statementTimeout) {
        const std::string ms = std::to_string(static_cast<long long>(timeout) * 1000);
        PGresult* set = exchange(native_->conn, "SELECT set_config('statement_timeout', $1, false)", {ms.c_str()},
                                 answerLimit(timeout), native_->silent);
        if (native_->silent) unanswered(timeout);
        const bool ok = PQresultStatus(set) == PGRES_TUPLES_OK;
        const std::wstring sqlState = ok ? L"" : failedState(native_->conn, set);
        PQclear(set);
        if (!ok) fail(E_FAIL, trimmedMessage(PQerrorMessage(native_->conn)), sqlState);
        native_->statementTimeout = timeout;
    }
    PGresult* raw = exchange(native_->conn, sql, values, answerLimit(timeout), native_->silent);
    if (native_->silent) unanswered(timeout);
    std::shared_ptr<PGresult> result(raw, PQclear);
    const ExecStatusType status = raw ? PQresultStatus(raw) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY) {
        const std::wstring sqlState = failedState(native_->conn, raw);
        const std::wstring message = trimmedMessage(raw ? PQresultErrorMessage(raw) : PQerrorMessage(native_->conn));
        fail(sqlState == L"57014" ? adErrQueryTimeout : E_FAIL, message, sqlState);
    }
    return Result{result};
}

void Connection::unanswered(long timeout) {
    // The next command makes a new session, as for a connection the server closed.
    fail(E_FAIL,
         L"The server did not answer within " + std::to_wstring(answerLimit(timeout).count() / 1000) +
             L" seconds; the connection is given up.",
         L"08006");
}

const Connection::Routine& Connection::routine(const std::wstring& commandText, long timeout) {
    const std::wstring key = lower(commandText);
    auto found = native_->routines.find(key);
    if (found != native_->routines.end()) return found->second;

    std::wstring schema, name;
    splitRoutineName(commandText, schema, name);
    if (name.empty()) fail(adErrInvalidArgument, L"The command text names no stored procedure.");
    const std::string schemaText = utf8(schema), nameText = utf8(name);
    // Names compare without regard to case, as the register's server did; an exact match wins.
    const char* sql =
        "SELECT n.nspname, p.proname, p.prokind, coalesce(p.proargnames, '{}'), "
        "coalesce(p.proargmodes::text[], '{}'), p.pronargs, (p.proname = $2) AS exact "
        "FROM pg_proc p JOIN pg_namespace n ON n.oid = p.pronamespace "
        "WHERE lower(p.proname) = lower($2) AND p.prokind IN ('f', 'p') AND "
        "CASE WHEN $1 = '' THEN n.nspname = ANY (current_schemas(false)) ELSE lower(n.nspname) = lower($1) END "
        "ORDER BY exact DESC, array_position(current_schemas(false), n.nspname)";
    Result r = run(sql, {schemaText.c_str(), nameText.c_str()}, timeout);
    PGresult* res = r.result.get();
    if (PQntuples(res) == 0) fail(E_FAIL, L"Could not find stored procedure '" + commandText + L"'.", L"42883");
    if (PQntuples(res) > 1 && std::string(PQgetvalue(res, 0, 6)) == std::string(PQgetvalue(res, 1, 6)))
        fail(E_FAIL, L"The stored procedure name '" + commandText + L"' is ambiguous.", L"42725");

    Routine routine;
    routine.qualifiedName =
        quoteIdentifier(wide(PQgetvalue(res, 0, 0))) + "." + quoteIdentifier(wide(PQgetvalue(res, 0, 1)));
    routine.displayName = commandText;
    routine.isProcedure = PQgetvalue(res, 0, 2)[0] == 'p';
    // Arrays arrive in the server's text form: {a,"b c",...}
    auto parseArray = [](const char* text) {
        std::vector<std::string> items;
        std::string cur;
        bool quoted = false, any = false;
        for (const char* p = text; *p; ++p) {
            const char c = *p;
            if (quoted) {
                if (c == '\\' && p[1])
                    cur += *++p;
                else if (c == '"')
                    quoted = false;
                else
                    cur += c;
            } else if (c == '"') {
                quoted = true;
                any = true;
            } else if (c == ',' || c == '}') {
                if (any || !cur.empty()) items.push_back(cur);
                cur.clear();
                any = false;
            } else if (c != '{') {
                cur += c;
                any = true;
            }
        }
        return items;
    };
    const std::vector<std::string> names = parseArray(PQgetvalue(res, 0, 3));
    const std::vector<std::string> modes = parseArray(PQgetvalue(res, 0, 4));
    const size_t count =
        std::max(names.size(), modes.empty() ? static_cast<size_t>(std::atoi(PQgetvalue(res, 0, 5))) : modes.size());
    for (size_t i = 0; i < count; ++i) {
        Routine::Argument a;
        a.name = i < names.size() ? names[i] : std::string();
        a.mode = i < modes.size() && !modes[i].empty() ? modes[i][0] : 'i';
        routine.arguments.push_back(a);
    }
    return native_->routines.emplace(key, std::move(routine)).first->second;
}

namespace {

_RecordsetPtr recordsetFrom(const Connection::Result& r) {
    _RecordsetPtr rs;
    rs.CreateInstance();
    PGresult* res = r.result.get();
    if (PQresultStatus(res) != PGRES_TUPLES_OK) return rs; // closed: the statement gave no rows
    const int columns = PQnfields(res), rows = PQntuples(res);
    std::vector<std::wstring> names;
    std::vector<DataTypeEnum> types;
    for (int c = 0; c < columns; ++c) {
        names.push_back(wide(PQfname(res, c)));
        types.push_back(columnType(PQftype(res, c)));
    }
    std::vector<std::vector<_variant_t>> data(static_cast<size_t>(rows));
    std::map<std::pair<long, long>, std::wstring> unreadable;
    for (int row = 0; row < rows; ++row) {
        auto& cells = data[static_cast<size_t>(row)];
        cells.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            const char* text = PQgetisnull(res, row, c) ? nullptr : PQgetvalue(res, row, c);
            if (text && !wellFormedUtf8(text) && (types[c] == adVarWChar || types[c] == adChar)) {
                // Raised when the value is read, so that the other rows and columns stay readable.
                unreadable.emplace(std::make_pair(row, c),
                                   L"The text in column " + names[c] + L" is not UTF-8: \"" + shownBytes(text) + L"\"");
                _variant_t error;
                error.vt = VT_ERROR;
                error.scode = adErrCantConvertValue;
                cells.push_back(error);
                continue;
            }
            cells.push_back(columnValue(text, PQftype(res, c)));
        }
    }
    rs->fill(std::move(names), std::move(types), std::move(data), std::move(unreadable));
    return rs;
}

void setAffected(VARIANT* recordsAffected, const Connection::Result& r) {
    if (!recordsAffected) return;
    const char* n = PQcmdTuples(r.result.get());
    VariantClear(recordsAffected);
    recordsAffected->vt = VT_I4;
    recordsAffected->lVal = (n && *n) ? std::atoi(n) : -1;
}

} // namespace

_RecordsetPtr recordsetFromResult(const Connection::Result& r) {
    return recordsetFrom(r);
}
void recordsAffectedFromResult(VARIANT* recordsAffected, const Connection::Result& r) {
    setAffected(recordsAffected, r);
}

_RecordsetPtr Connection::Execute(const _bstr_t& text, VARIANT* recordsAffected, long) {
    errors_->Clear();
    const wchar_t* t = static_cast<const wchar_t*>(text);
    Result r = run(utf8(t ? t : L""), {}, commandTimeout_);
    setAffected(recordsAffected, r);
    return recordsetFrom(r);
}

} // namespace ADODB

namespace ADODB {

void raise(HRESULT code, const std::wstring& description) {
    throw _com_error(code, win::makeErrorInfo(description, L"PostgreSQL"));
}

} // namespace ADODB
