#pragma once
// Shared inside the database layer: libpq results, routine descriptions, value conversions.
#include "ado/Ado.h"

#include <libpq-fe.h>

#include <optional>
#include <string>
#include <vector>

namespace ADODB {

struct Connection::Routine {
    std::string qualifiedName; // quoted, ready for the statement
    std::wstring displayName;
    bool isProcedure = false;
    struct Argument {
        std::string name; // as the server declares it
        char mode = 'i';  // i in, o out, b inout, v variadic, t table column
    };
    std::vector<Argument> arguments;
};

struct Connection::Result {
    std::shared_ptr<PGresult> result;
};

// Raises the COM error every failure of this layer becomes.
[[noreturn]] void raise(HRESULT code, const std::wstring& description);

std::string utf8(const std::wstring& text);
std::wstring wide(const char* text);
std::wstring wide(const std::string& text);
// Whether the bytes are UTF-8 throughout; the bytes shown with each one that is not as "\xFC".
bool wellFormedUtf8(const char* text);
std::wstring shownBytes(const char* text);

// Dates as OLE automation day counts (days since 30 December 1899, the time as the fraction).
std::string oleDateToText(double date);
bool textToOleDate(const std::string& text, double& date);

// The text sent for a parameter's value, or nothing for SQL NULL. Raises for a value that does not
// fit the parameter's type or size.
std::optional<std::string> parameterText(const Parameter& parameter);

// A server value in text form, as a variant of the column's natural type.
DataTypeEnum columnType(Oid type);
_variant_t columnValue(const char* text, Oid type);
// An output value converted to the parameter's declared type.
_variant_t outputValue(const char* text, Oid type, DataTypeEnum declared);

// A result's rows as an open record set (a closed one when the statement gave no rows).
_RecordsetPtr recordsetFromResult(const Connection::Result& result);
void recordsAffectedFromResult(VARIANT* recordsAffected, const Connection::Result& result);

// Splits a stored-procedure name: `name`, `schema.name`, `[schema]..[name]`, `[db].[schema].[name]`.
void splitRoutineName(const std::wstring& text, std::wstring& schema, std::wstring& name);

// Parses an OLE DB connection string into keyword/value pairs (keywords lower-cased).
std::vector<std::pair<std::wstring, std::wstring>> parseConnectionString(const std::wstring& text);

} // namespace ADODB
