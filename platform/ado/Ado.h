#pragma once
// ADO-shaped database access over libpq: connection, command, parameters, record set and errors.
//
// A stored procedure named `name` or `[schema]..[name]` runs as the PostgreSQL function or procedure
// of that name; parameters are matched by name without their "@". A function's rows come back as an
// open record set; a procedure's OUT and INOUT values are copied into the output parameters.
// Record sets are fully fetched, so a second command may run on the connection while one is read.
// Every failure is a `_com_error` with the server's (or this layer's) message and source "PostgreSQL".
#include "win/ComTypes.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

enum DataTypeEnum {
    adEmpty = 0,
    adSmallInt = 2,
    adInteger = 3,
    adSingle = 4,
    adDouble = 5,
    adDate = 7,
    adBSTR = 8,
    adBoolean = 11,
    adDecimal = 14,
    adTinyInt = 16,
    adUnsignedTinyInt = 17,
    adBigInt = 20,
    adChar = 129,
    adWChar = 130,
    adNumeric = 131,
    adDBDate = 133,
    adDBTimeStamp = 135,
    adVarChar = 200,
    adLongVarChar = 201,
    adVarWChar = 202,
    adLongVarWChar = 203,
};

enum ParameterDirectionEnum {
    adParamUnknown = 0,
    adParamInput = 1,
    adParamOutput = 2,
    adParamInputOutput = 3,
    adParamReturnValue = 4,
};

enum CommandTypeEnum {
    adCmdUnspecified = -1,
    adCmdText = 1,
    adCmdTable = 2,
    adCmdStoredProc = 4,
    adCmdUnknown = 8,
};

enum ObjectStateEnum {
    adStateClosed = 0,
    adStateOpen = 1,
};

enum ExecuteOptionEnum {
    adOptionUnspecified = -1,
    adExecuteNoRecords = 0x80,
};

// The error codes this layer raises besides E_FAIL (a failure the server reported).
constexpr HRESULT adErrItemNotFound = static_cast<HRESULT>(0x800A0CC1u);
constexpr HRESULT adErrNoCurrentRecord = static_cast<HRESULT>(0x800A0BCDu);
constexpr HRESULT adErrObjectClosed = static_cast<HRESULT>(0x800A0E78u);
constexpr HRESULT adErrObjectOpen = static_cast<HRESULT>(0x800A0E79u);
constexpr HRESULT adErrProviderNotFound = static_cast<HRESULT>(0x800A0E7Au);
constexpr HRESULT adErrInvalidConnection = static_cast<HRESULT>(0x800A0E7Du);
constexpr HRESULT adErrInvalidArgument = static_cast<HRESULT>(0x800A0BB9u);
constexpr HRESULT adErrParameterNotDefined = static_cast<HRESULT>(0x800A0D5Du);
constexpr HRESULT adErrCantConvertValue = static_cast<HRESULT>(0x80040E07u);
constexpr HRESULT adErrDataOverflow = static_cast<HRESULT>(0x80040E57u);
constexpr HRESULT adErrQueryTimeout = static_cast<HRESULT>(0x80040E31u);
constexpr HRESULT XACT_E_NOTRANSACTION = static_cast<HRESULT>(0x8004D00Eu);
constexpr HRESULT XACT_E_XTIONEXISTS = static_cast<HRESULT>(0x8004D013u);
constexpr HRESULT XACT_E_COMMITFAILED = static_cast<HRESULT>(0x8004D001u);

namespace ADODB {

class Connection;
class Command;
class Parameter;
class Parameters;
class Recordset;
class Field;
class Fields;
class Error;
class Errors;

// A counted reference in the manner of the COM smart pointers: empty until CreateInstance or an
// assignment; using an empty one raises the invalid-pointer COM error.
template <class T>
class Ptr {
public:
    Ptr() = default;
    Ptr(std::nullptr_t) {}
    explicit Ptr(std::shared_ptr<T> object) : object_(std::move(object)) {}

    // Any class context is fine; the programmatic id, when given, must name this class.
    HRESULT CreateInstance(const wchar_t* progId = nullptr, void* outer = nullptr, DWORD context = CLSCTX_ALL);

    T* operator->() const {
        if (!object_) _com_issue_error(E_POINTER);
        return object_.get();
    }
    T& operator*() const { return *operator->(); }
    T* GetInterfacePtr() const { return object_.get(); }
    explicit operator bool() const { return static_cast<bool>(object_); }
    bool operator!() const { return !object_; }
    bool operator==(std::nullptr_t) const { return !object_; }
    bool operator!=(std::nullptr_t) const { return static_cast<bool>(object_); }
    bool operator==(const Ptr& other) const { return object_ == other.object_; }
    void Release() { object_.reset(); }
    const std::shared_ptr<T>& shared() const { return object_; }

private:
    std::shared_ptr<T> object_;
};

using _ConnectionPtr = Ptr<Connection>;
using _CommandPtr = Ptr<Command>;
using _ParameterPtr = Ptr<Parameter>;
using ParametersPtr = Ptr<Parameters>;
using _RecordsetPtr = Ptr<Recordset>;
using FieldPtr = Ptr<Field>;
using FieldsPtr = Ptr<Fields>;
using ErrorPtr = Ptr<Error>;
using ErrorsPtr = Ptr<Errors>;

class Error {
public:
    Error(HRESULT number, std::wstring description, std::wstring sqlState)
        : number_(number), description_(std::move(description)), sqlState_(std::move(sqlState)) {}
    long GetNumber() const { return number_; }
    _bstr_t GetDescription() const { return _bstr_t(description_.c_str()); }
    _bstr_t GetSource() const { return _bstr_t(L"PostgreSQL"); }
    _bstr_t GetSQLState() const { return _bstr_t(sqlState_.c_str()); }
    // The server gives no numbers of its own, only the five-character state.
    long GetNativeError() const { return 0; }

private:
    HRESULT number_;
    std::wstring description_;
    std::wstring sqlState_;
};

class Errors {
public:
    long GetCount() const { return static_cast<long>(items_.size()); }
    ErrorPtr GetItem(const _variant_t& index) const;
    void Clear() { items_.clear(); }
    void add(ErrorPtr error) { items_.push_back(std::move(error)); }

private:
    std::vector<ErrorPtr> items_;
};

// Connection-string keywords: Provider (any), Data Source / Server (a host name, "host,port", or the
// folder of a Unix socket), Initial Catalog / Database, User Id / UID, Password / PWD,
// Connect Timeout. Values may be quoted with " or ' (the quote doubled inside) so that they can hold
// ";", "=", quotes and blanks. Each value reaches libpq as its own keyword.
class Connection {
public:
    static constexpr const wchar_t* kClassName = L"Connection";
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void PutConnectionString(const _bstr_t& text);
    _bstr_t GetConnectionString() const;
    void PutConnectionTimeout(long seconds);
    long GetConnectionTimeout() const { return connectionTimeout_; }
    void PutCommandTimeout(long seconds);
    long GetCommandTimeout() const { return commandTimeout_; }

    HRESULT Open(const _bstr_t& connectionString = _bstr_t(L""), const _bstr_t& userId = _bstr_t(L""),
                 const _bstr_t& password = _bstr_t(L""), long options = adOptionUnspecified);
    HRESULT Close();
    long GetState() const;
    _bstr_t GetVersion() const;
    _bstr_t GetDefaultDatabase() const;
    ErrorsPtr GetErrors() const { return errors_; }

    // Transactions on the session. BeginTrans starts one and gives its level (1): the server has
    // no nesting, so a second BeginTrans raises. CommitTrans makes the work permanent; a commit
    // the server turned into a rollback (a statement of the transaction failed) raises.
    // RollbackTrans undoes the work. Both raise when no transaction is open; after either the
    // session is out of the transaction, whatever the outcome.
    long BeginTrans();
    HRESULT CommitTrans();
    HRESULT RollbackTrans();
    bool inTransaction() const;

    // Runs SQL text (several statements allowed); the last statement's rows come back.
    _RecordsetPtr Execute(const _bstr_t& text, VARIANT* recordsAffected = nullptr, long options = adOptionUnspecified);

    // For this layer's commands.
    struct Routine;
    struct Result;
    Result run(const std::string& sql, const std::vector<const char*>& values, long timeout);
    // The stored procedure's description, looked up within the command's time-out.
    const Routine& routine(const std::wstring& commandText, long timeout);
    // Raises the failure of a statement the server never answered (SQL state 08006).
    [[noreturn]] void unanswered(long timeout);
    [[noreturn]] void fail(HRESULT code, const std::wstring& description, const std::wstring& sqlState = L"");
    void clearErrors() { errors_->Clear(); }

private:
    struct Native;
    std::unique_ptr<Native> native_;
    std::wstring connectionString_;
    long connectionTimeout_ = 15;
    long commandTimeout_ = 30;
    ErrorsPtr errors_;
};

class Parameter {
public:
    static constexpr const wchar_t* kClassName = L"Parameter";
    Parameter() = default;
    Parameter(const _bstr_t& name, DataTypeEnum type, ParameterDirectionEnum direction, long size,
              const _variant_t& value);

    _bstr_t GetName() const { return _bstr_t(name_.c_str()); }
    void PutName(const _bstr_t& name);
    DataTypeEnum GetType() const { return type_; }
    void PutType(DataTypeEnum type) { type_ = type; }
    ParameterDirectionEnum GetDirection() const { return direction_; }
    void PutDirection(ParameterDirectionEnum direction) { direction_ = direction; }
    long GetSize() const { return size_; }
    void PutSize(long size) { size_ = size; }
    unsigned char GetPrecision() const { return precision_; }
    void PutPrecision(unsigned char precision) { precision_ = precision; }
    unsigned char GetNumericScale() const { return numericScale_; }
    void PutNumericScale(unsigned char scale) { numericScale_ = scale; }
    _variant_t GetValue() const { return value_; }
    void PutValue(const _variant_t& value) { value_ = value; }

    const std::wstring& name() const { return name_; }

private:
    std::wstring name_;
    DataTypeEnum type_ = adEmpty;
    ParameterDirectionEnum direction_ = adParamInput;
    long size_ = 0;
    unsigned char precision_ = 0;
    unsigned char numericScale_ = 0;
    _variant_t value_;
};

class Parameters {
public:
    HRESULT Append(const _ParameterPtr& parameter);
    // By ordinal or by name (with its "@", compared without regard to case).
    _ParameterPtr GetItem(const _variant_t& index) const;
    long GetCount() const { return static_cast<long>(items_.size()); }
    HRESULT Delete(const _variant_t& index);
    const std::vector<_ParameterPtr>& items() const { return items_; }

private:
    long find(const _variant_t& index) const;
    std::vector<_ParameterPtr> items_;
};

class Command {
public:
    static constexpr const wchar_t* kClassName = L"Command";
    Command();

    void PutRefActiveConnection(const _ConnectionPtr& connection) { connection_ = connection; }
    void PutActiveConnection(const _ConnectionPtr& connection) { connection_ = connection; }
    _ConnectionPtr GetActiveConnection() const { return connection_; }
    void PutCommandType(CommandTypeEnum type) { type_ = type; }
    CommandTypeEnum GetCommandType() const { return type_; }
    void PutCommandTimeout(long seconds);
    long GetCommandTimeout() const { return timeout_; }
    void PutCommandText(const _bstr_t& text);
    _bstr_t GetCommandText() const { return _bstr_t(text_.c_str()); }

    _ParameterPtr CreateParameter(const _bstr_t& name, DataTypeEnum type, ParameterDirectionEnum direction, long size,
                                  const _variant_t& value = _variant_t());
    ParametersPtr GetParameters() const { return parameters_; }

    _RecordsetPtr Execute(VARIANT* recordsAffected = nullptr, VARIANT* parameters = nullptr,
                          long options = adOptionUnspecified);

private:
    _RecordsetPtr executeProcedure(Connection& connection, VARIANT* recordsAffected);
    _ConnectionPtr connection_;
    CommandTypeEnum type_ = adCmdUnknown;
    long timeout_ = 30;
    std::wstring text_;
    ParametersPtr parameters_;
};

class Field {
public:
    Field(std::shared_ptr<const Recordset> owner, long column) : owner_(std::move(owner)), column_(column) {}
    _bstr_t GetName() const;
    DataTypeEnum GetType() const;
    // The value in the record set's current row.
    _variant_t GetValue() const;

private:
    std::shared_ptr<const Recordset> owner_;
    long column_;
};

class Fields {
public:
    explicit Fields(std::shared_ptr<const Recordset> owner) : owner_(std::move(owner)) {}
    long GetCount() const;
    // By ordinal or by the exact column name.
    FieldPtr GetItem(const _variant_t& index) const;

private:
    std::shared_ptr<const Recordset> owner_;
};

class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    static constexpr const wchar_t* kClassName = L"Recordset";
    Recordset();

    long GetState() const { return open_ ? adStateOpen : adStateClosed; }
    VARIANT_BOOL GetBOF() const;
    VARIANT_BOOL GetEOF() const;
    VARIANT_BOOL GetadoEOF() const { return GetEOF(); }
    HRESULT MoveNext();
    HRESULT MoveFirst();
    HRESULT Close();
    long GetRecordCount() const;
    FieldsPtr GetFields() const;
    _variant_t GetCollect(const _variant_t& index) const;

    // For this layer: an open set of rows.
    // A value the database gave as text that is not UTF-8 is held as why, raised when it is read.
    void fill(std::vector<std::wstring> names, std::vector<DataTypeEnum> types,
              std::vector<std::vector<_variant_t>> rows, std::map<std::pair<long, long>, std::wstring> unreadable = {});
    long column(const _variant_t& index) const;
    const std::vector<std::wstring>& names() const { return names_; }
    const std::vector<DataTypeEnum>& types() const { return types_; }
    _variant_t current(long column) const;

private:
    void requireOpen() const;
    bool open_ = false;
    long position_ = 0;
    std::vector<std::wstring> names_;
    std::vector<DataTypeEnum> types_;
    std::vector<std::vector<_variant_t>> rows_;
    std::map<std::pair<long, long>, std::wstring> unreadable_; // by row and column
};

bool matchesProgId(const wchar_t* progId, const wchar_t* className);

template <class T>
HRESULT Ptr<T>::CreateInstance(const wchar_t* progId, void*, DWORD) {
    if constexpr (requires { T::kClassName; }) {
        if (progId != nullptr && !matchesProgId(progId, T::kClassName)) return REGDB_E_CLASSNOTREG;
    } else {
        if (progId != nullptr) return REGDB_E_CLASSNOTREG; // made by this layer only
    }
    object_ = std::make_shared<T>();
    return S_OK;
}

} // namespace ADODB

using ADODB::_CommandPtr;
using ADODB::_ConnectionPtr;
using ADODB::_ParameterPtr;
using ADODB::_RecordsetPtr;
using ADODB::ErrorPtr;
using ADODB::ErrorsPtr;
using ADODB::FieldPtr;
using ADODB::FieldsPtr;
using ADODB::ParametersPtr;
