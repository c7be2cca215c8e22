// Commands and their parameters: a stored procedure becomes one CALL or SELECT with its values bound.
#include "ado/AdoInternal.h"

#include <cwctype>

namespace ADODB {

namespace {

bool sameName(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

std::wstring withoutAt(const std::wstring& name) {
    return !name.empty() && name[0] == L'@' ? name.substr(1) : name;
}

std::string quoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

bool ordinal(const _variant_t& index, long& out) {
    switch (index.vt) {
        case VT_I2:
            out = index.iVal;
            return true;
        case VT_I4:
            out = index.lVal;
            return true;
        case VT_INT:
            out = index.intVal;
            return true;
        case VT_UI1:
            out = index.bVal;
            return true;
        case VT_I8:
            out = static_cast<long>(index.llVal);
            return true;
        default:
            return false;
    }
}

} // namespace

Parameter::Parameter(const _bstr_t& name, DataTypeEnum type, ParameterDirectionEnum direction, long size,
                     const _variant_t& value)
    : type_(type), direction_(direction), size_(size), value_(value) {
    PutName(name);
}

void Parameter::PutName(const _bstr_t& name) {
    const wchar_t* text = static_cast<const wchar_t*>(name);
    name_ = text ? text : L"";
}

HRESULT Parameters::Append(const _ParameterPtr& parameter) {
    if (!parameter) raise(E_POINTER, L"A parameter to append is required.");
    if (parameter->GetDirection() < adParamInput || parameter->GetDirection() > adParamReturnValue)
        raise(adErrParameterNotDefined, L"Parameter " + parameter->name() + L": its direction " +
                                            std::to_wstring(parameter->GetDirection()) + L" is not valid.");
    items_.push_back(parameter);
    return S_OK;
}

long Parameters::find(const _variant_t& index) const {
    long i = 0;
    if (ordinal(index, i)) return i >= 0 && i < GetCount() ? i : -1;
    if (index.vt == VT_BSTR && index.bstrVal) {
        for (size_t k = 0; k < items_.size(); ++k)
            if (sameName(items_[k]->name(), index.bstrVal)) return static_cast<long>(k);
    }
    return -1;
}

_ParameterPtr Parameters::GetItem(const _variant_t& index) const {
    const long i = find(index);
    if (i < 0)
        raise(adErrItemNotFound,
              L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
    return items_[static_cast<size_t>(i)];
}

HRESULT Parameters::Delete(const _variant_t& index) {
    const long i = find(index);
    if (i < 0)
        raise(adErrItemNotFound,
              L"Item cannot be found in the collection corresponding to the requested name or ordinal.");
    items_.erase(items_.begin() + i);
    return S_OK;
}

Command::Command() {
    parameters_.CreateInstance();
}

void Command::PutCommandTimeout(long seconds) {
    if (seconds < 0) raise(adErrInvalidArgument, L"The command timeout cannot be negative.");
    timeout_ = seconds;
}

void Command::PutCommandText(const _bstr_t& text) {
    const wchar_t* t = static_cast<const wchar_t*>(text);
    text_ = t ? t : L"";
}

_ParameterPtr Command::CreateParameter(const _bstr_t& name, DataTypeEnum type, ParameterDirectionEnum direction,
                                       long size, const _variant_t& value) {
    if (size < 0) raise(adErrInvalidArgument, L"A parameter's size cannot be negative.");
    return _ParameterPtr(std::make_shared<Parameter>(name, type, direction, size, value));
}

_RecordsetPtr Command::Execute(VARIANT* recordsAffected, VARIANT*, long options) {
    if (!connection_ || connection_->GetState() != adStateOpen)
        raise(adErrInvalidConnection,
              L"The connection cannot be used to perform this operation. It is either closed or invalid in this "
              L"context.");
    Connection& connection = *connection_;
    connection.clearErrors();
    const long type = options != adOptionUnspecified ? (options & 0x0F) : static_cast<long>(type_);
    if (type == adCmdStoredProc) return executeProcedure(connection, recordsAffected);
    if (parameters_->GetCount() > 0)
        raise(adErrInvalidArgument, L"Parameters are supported for stored procedures only.");
    Connection::Result r = connection.run(utf8(text_), {}, timeout_);
    recordsAffectedFromResult(recordsAffected, r);
    return recordsetFromResult(r);
}

_RecordsetPtr Command::executeProcedure(Connection& connection, VARIANT* recordsAffected) {
    const Connection::Routine& routine = connection.routine(text_, timeout_);
    const auto& arguments = routine.arguments;

    // Each parameter takes the argument of its name; the name is the procedure's, without the "@".
    std::vector<const Parameter*> bound(arguments.size(), nullptr);
    std::vector<std::pair<const Parameter*, size_t>> outputs;
    for (const auto& p : parameters_->items()) {
        if (p->GetDirection() == adParamReturnValue) continue;
        const std::wstring name = withoutAt(p->name());
        size_t match = arguments.size();
        for (size_t i = 0; i < arguments.size(); ++i)
            if (arguments[i].mode != 't' && sameName(wide(arguments[i].name), name)) match = i;
        if (match == arguments.size())
            connection.fail(
                E_FAIL,
                L"Procedure or function '" + routine.displayName + L"' has no parameter named '" + p->name() + L"'.",
                L"42883");
        if (bound[match])
            connection.fail(E_FAIL,
                            L"Procedure or function '" + routine.displayName + L"': the parameter '" + p->name() +
                                L"' was given more than once.",
                            L"42P08");
        bound[match] = p.GetInterfacePtr();
        if (p->GetDirection() == adParamOutput || p->GetDirection() == adParamInputOutput)
            outputs.emplace_back(p.GetInterfacePtr(), match);
    }

    std::vector<std::optional<std::string>> texts;
    texts.reserve(arguments.size());
    std::string sql = routine.isProcedure ? "CALL " : "SELECT * FROM ";
    sql += routine.qualifiedName + "(";
    bool first = true;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const auto& a = arguments[i];
        std::string value;
        if (a.mode == 't') continue;
        if (a.mode == 'o') {
            if (!routine.isProcedure) continue; // a function's OUT arguments are its result columns
            value = "NULL";                     // a procedure's must be given; their value is not read
        } else if (!bound[i] || bound[i]->GetDirection() == adParamOutput) {
            if (!routine.isProcedure || a.mode != 'b') continue; // left to the argument's default
            value = "NULL";
        } else {
            texts.push_back(parameterText(*bound[i]));
            value = "$" + std::to_string(texts.size());
        }
        if (!first) sql += ", ";
        first = false;
        sql += quoteIdentifier(a.name) + " => " + value;
    }
    sql += ")";

    std::vector<const char*> values;
    values.reserve(texts.size());
    for (const auto& t : texts) values.push_back(t ? t->c_str() : nullptr);
    Connection::Result r = values.empty() ? connection.run(sql, {}, timeout_) : connection.run(sql, values, timeout_);
    recordsAffectedFromResult(recordsAffected, r);

    PGresult* res = r.result.get();
    if (!outputs.empty() && PQresultStatus(res) == PGRES_TUPLES_OK && PQntuples(res) > 0) {
        for (const auto& [parameter, index] : outputs) {
            const int column = PQfnumber(res, quoteIdentifier(arguments[index].name).c_str());
            if (column < 0) continue;
            const char* text = PQgetisnull(res, 0, column) ? nullptr : PQgetvalue(res, 0, column);
            const_cast<Parameter*>(parameter)->PutValue(outputValue(text, PQftype(res, column), parameter->GetType()));
        }
    }
    for (const auto& p : parameters_->items())
        if (p->GetDirection() == adParamReturnValue) p->PutValue(_variant_t(0L));
    if (routine.isProcedure) {
        _RecordsetPtr closed;
        closed.CreateInstance();
        return closed;
    }
    return recordsetFromResult(r);
}

} // namespace ADODB
