// Value conversions between variants and the text form the server reads and writes.
#include "ado/AdoInternal.h"

#include "win/Encoding.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <limits>

namespace ADODB {

namespace {

// Catalogue type ids of the server's built-in types.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700, kFloat8 = 701, kBpchar = 1042,
              kDate = 1082, kTimestamp = 1114, kTimestampTz = 1184, kNumeric = 1700;

// Days from 1 March of year 0 arithmetic: the proleptic Gregorian calendar.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp + (mp < 10 ? 3 : -9);
    y += m <= 2;
}

const long long kOleEpoch = daysFromCivil(1899, 12, 30);

std::wstring parameterLabel(const Parameter& parameter) {
    return parameter.name().empty() ? std::wstring(L"(unnamed)") : parameter.name();
}

bool isNullVariant(const VARIANT& v) {
    return v.vt == VT_EMPTY || v.vt == VT_NULL || (v.vt == VT_ERROR); // VT_ERROR: a missing argument
}

bool variantInteger(const VARIANT& v, long long& out) {
    switch (v.vt) {
        case VT_I1:
            out = v.cVal;
            return true;
        case VT_UI1:
            out = v.bVal;
            return true;
        case VT_I2:
            out = v.iVal;
            return true;
        case VT_UI2:
            out = v.uiVal;
            return true;
        case VT_I4:
            out = v.lVal;
            return true;
        case VT_UI4:
            out = v.ulVal;
            return true;
        case VT_INT:
            out = v.intVal;
            return true;
        case VT_UINT:
            out = v.uintVal;
            return true;
        case VT_I8:
            out = v.llVal;
            return true;
        case VT_UI8:
            if (v.ullVal > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) return false;
            out = static_cast<long long>(v.ullVal);
            return true;
        case VT_BOOL:
            out = v.boolVal != 0 ? 1 : 0;
            return true;
        case VT_R4:
        case VT_R8: {
            const double d = v.vt == VT_R4 ? v.fltVal : v.dblVal;
            if (!std::isfinite(d) || d < -9.2e18 || d > 9.2e18) return false;
            out = std::llround(d);
            return true;
        }
        case VT_BSTR: {
            if (v.bstrVal == nullptr) return false;
            std::string text = utf8(v.bstrVal);
            char* end = nullptr;
            errno = 0;
            out = std::strtoll(text.c_str(), &end, 10);
            return errno == 0 && end != text.c_str() && *end == '\0';
        }
        default:
            return false;
    }
}

bool variantDouble(const VARIANT& v, double& out) {
    switch (v.vt) {
        case VT_R4:
            out = v.fltVal;
            return true;
        case VT_R8:
        case VT_DATE:
            out = v.vt == VT_DATE ? v.date : v.dblVal;
            return true;
        case VT_BSTR: {
            if (v.bstrVal == nullptr) return false;
            std::string text = utf8(v.bstrVal);
            char* end = nullptr;
            out = std::strtod(text.c_str(), &end);
            return end != text.c_str() && *end == '\0';
        }
        default: {
            long long i = 0;
            if (!variantInteger(v, i)) return false;
            out = static_cast<double>(i);
            return true;
        }
    }
}

std::wstring variantText(const VARIANT& v) {
    if (v.vt == VT_BSTR) return v.bstrVal ? std::wstring(v.bstrVal) : std::wstring();
    _variant_t copy(v);
    copy.ChangeType(VT_BSTR);
    return copy.bstrVal ? std::wstring(copy.bstrVal) : std::wstring();
}

std::string formatDouble(double d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", d);
    return buffer;
}

[[noreturn]] void refuse(HRESULT code, const Parameter& parameter, const std::wstring& why) {
    raise(code, L"Parameter " + parameterLabel(parameter) + L": " + why);
}

std::string integerText(const Parameter& parameter, long long low, long long high) {
    long long value = 0;
    if (!variantInteger(parameter.GetValue(), value))
        refuse(adErrCantConvertValue, parameter, L"the value is not a whole number.");
    if (value < low || value > high)
        refuse(adErrDataOverflow, parameter,
               L"the value " + std::to_wstring(value) + L" is outside " + std::to_wstring(low) + L".." +
                   std::to_wstring(high) + L".");
    return std::to_string(value);
}

std::string numericText(const Parameter& parameter) {
    double value = 0;
    if (!variantDouble(parameter.GetValue(), value) || !std::isfinite(value))
        refuse(adErrCantConvertValue, parameter, L"the value is not a number.");
    const int precision = parameter.GetPrecision();
    const int scale = parameter.GetNumericScale();
    if (precision == 0) return formatDouble(value);
    if (scale > precision) refuse(adErrParameterNotDefined, parameter, L"its scale exceeds its precision.");
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", scale, value);
    // The digits before the point must fit the precision left over by the scale.
    const char* p = buffer[0] == '-' ? buffer + 1 : buffer;
    int whole = 0;
    while (p[whole] >= '0' && p[whole] <= '9') ++whole;
    if (whole == 1 && p[0] == '0') whole = 0;
    if (whole > precision - scale)
        refuse(adErrDataOverflow, parameter,
               L"the value " + wide(buffer) + L" does not fit numeric(" + std::to_wstring(precision) + L"," +
                   std::to_wstring(scale) + L").");
    return buffer;
}

} // namespace

std::string utf8(const std::wstring& text) {
    return win::toUtf8(text);
}
std::wstring wide(const char* text) {
    return text ? win::fromUtf8(text) : std::wstring();
}
std::wstring wide(const std::string& text) {
    return win::fromUtf8(text);
}

namespace {

// The length of the UTF-8 sequence at text (overlong forms, surrogates and code points past U+10FFFF
// are none); 0 when there is none.
std::size_t sequenceAt(const unsigned char* text) {
    const unsigned char b = text[0];
    if (b < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text[1] < low || text[1] > high) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if ((text[k] & 0xC0) != 0x80) return 0;
    return length;
}

} // namespace

bool wellFormedUtf8(const char* text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        const std::size_t n = sequenceAt(p);
        if (n == 0) return false;
        p += n;
    }
    return true;
}

std::wstring shownBytes(const char* text) {
    std::string shown;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        const std::size_t n = sequenceAt(p);
        if (n == 0) {
            static const char digits[] = "0123456789ABCDEF";
            shown += "\\x";
            shown += digits[*p >> 4];
            shown += digits[*p & 15];
            ++p;
            continue;
        }
        shown.append(reinterpret_cast<const char*>(p), n);
        p += n;
    }
    return wide(shown);
}

std::string oleDateToText(double date) {
    double whole = std::trunc(date);
    double fraction = std::fabs(date - whole);
    long long ms = std::llround(fraction * 86400000.0);
    if (ms >= 86400000) { // rounding reached the next day
        ms -= 86400000;
        whole += date < 0 ? -1 : 1;
    }
    long long y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(kOleEpoch + static_cast<long long>(whole), y, m, d);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02lld:%02lld:%02lld.%03lld", y, m, d, ms / 3600000,
                  ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
    return buffer;
}

bool textToOleDate(const std::string& text, double& date) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, consumed = 0;
    double s = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d%n", &y, &mo, &d, &consumed) != 3) return false;
    const char* rest = text.c_str() + consumed;
    if (*rest == ' ' || *rest == 'T') {
        if (std::sscanf(rest + 1, "%d:%d:%lf", &h, &mi, &s) != 3) return false;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31) return false;
    const long long days = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) - kOleEpoch;
    const double fraction = (h * 3600.0 + mi * 60.0 + s) / 86400.0;
    date = days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
    return true;
}

std::optional<std::string> parameterText(const Parameter& parameter) {
    const _variant_t value = parameter.GetValue();
    if (isNullVariant(value)) return std::nullopt;
    switch (parameter.GetType()) {
        case adBoolean: {
            long long flag = 0;
            if (value.vt == VT_BSTR) {
                std::wstring t = variantText(value);
                if (t == L"true" || t == L"True" || t == L"TRUE") return std::string("true");
                if (t == L"false" || t == L"False" || t == L"FALSE") return std::string("false");
            }
            if (!variantInteger(value, flag)) refuse(adErrCantConvertValue, parameter, L"the value is not a boolean.");
            return std::string(flag != 0 ? "true" : "false");
        }
        case adTinyInt:
        case adUnsignedTinyInt:
            return integerText(parameter, 0, 255);
        case adSmallInt:
            return integerText(parameter, -32768, 32767);
        case adInteger:
            return integerText(parameter, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
        case adBigInt:
            return integerText(parameter, std::numeric_limits<long long>::min(), std::numeric_limits<long long>::max());
        case adNumeric:
        case adDecimal:
            return numericText(parameter);
        case adSingle:
        case adDouble: {
            double d = 0;
            if (!variantDouble(value, d)) refuse(adErrCantConvertValue, parameter, L"the value is not a number.");
            return formatDouble(d);
        }
        case adChar:
        case adWChar:
        case adVarChar:
        case adVarWChar:
        case adBSTR:
        case adLongVarChar:
        case adLongVarWChar: {
            std::wstring text = variantText(value);
            const bool limited = parameter.GetType() != adLongVarChar && parameter.GetType() != adLongVarWChar &&
                                 parameter.GetType() != adBSTR;
            if (limited && parameter.GetSize() <= 0)
                refuse(adErrParameterNotDefined, parameter, L"a text parameter needs a size above 0.");
            if (limited && static_cast<long>(text.size()) > parameter.GetSize())
                refuse(adErrDataOverflow, parameter,
                       L"the text has " + std::to_wstring(text.size()) + L" characters, more than its size " +
                           std::to_wstring(parameter.GetSize()) + L"; it would be cut.");
            return utf8(text);
        }
        case adDate:
        case adDBDate:
        case adDBTimeStamp: {
            if (value.vt == VT_BSTR) return utf8(variantText(value));
            double d = 0;
            if (value.vt != VT_DATE && !variantDouble(value, d))
                refuse(adErrCantConvertValue, parameter, L"the value is not a date.");
            if (value.vt == VT_DATE) d = value.date;
            if (!std::isfinite(d) || d < -657434.0 || d > 2958465.999999)
                refuse(adErrDataOverflow, parameter, L"the date is outside the years 100 to 9999.");
            return oleDateToText(d);
        }
        default:
            refuse(adErrParameterNotDefined, parameter,
                   L"its data type " + std::to_wstring(parameter.GetType()) + L" is not supported.");
    }
}

DataTypeEnum columnType(Oid type) {
    switch (type) {
        case kBool:
            return adBoolean;
        case kInt2:
            return adSmallInt;
        case kInt4:
        case kOid:
            return adInteger;
        case kInt8:
            return adBigInt;
        case kFloat4:
            return adSingle;
        case kFloat8:
            return adDouble;
        case kNumeric:
            return adNumeric;
        case kDate:
            return adDBDate;
        case kTimestamp:
        case kTimestampTz:
            return adDBTimeStamp;
        case kBpchar:
            return adChar;
        default:
            return adVarWChar;
    }
}

_variant_t columnValue(const char* text, Oid type) {
    _variant_t v;
    if (text == nullptr) {
        v.vt = VT_NULL;
        return v;
    }
    switch (columnType(type)) {
        case adBoolean:
            return _variant_t(text[0] == 't');
        case adSmallInt:
            return _variant_t(static_cast<short>(std::atoi(text)));
        case adInteger:
            return _variant_t(static_cast<long>(std::strtol(text, nullptr, 10)));
        case adBigInt: {
            v.vt = VT_I8;
            v.llVal = std::strtoll(text, nullptr, 10);
            return v;
        }
        case adSingle:
        case adDouble:
        case adNumeric:
            return _variant_t(std::strtod(text, nullptr));
        case adDBDate:
        case adDBTimeStamp: {
            double d = 0;
            if (!textToOleDate(text, d)) return _variant_t(wide(text).c_str());
            v.vt = VT_DATE;
            v.date = d;
            return v;
        }
        default:
            return _variant_t(wide(text).c_str());
    }
}

_variant_t outputValue(const char* text, Oid type, DataTypeEnum declared) {
    _variant_t natural = columnValue(text, type);
    if (natural.vt == VT_NULL) return natural;
    VARTYPE target = VT_EMPTY;
    switch (declared) {
        case adBoolean:
            target = VT_BOOL;
            break;
        case adTinyInt:
        case adUnsignedTinyInt:
            target = VT_UI1;
            break;
        case adSmallInt:
            target = VT_I2;
            break;
        case adInteger:
            target = VT_I4;
            break;
        case adBigInt:
            target = VT_I8;
            break;
        case adSingle:
        case adDouble:
        case adNumeric:
        case adDecimal:
            target = VT_R8;
            break;
        case adDate:
        case adDBDate:
        case adDBTimeStamp:
            target = VT_DATE;
            break;
        default:
            target = VT_BSTR;
            break;
    }
    if (natural.vt != target) {
        try {
            natural.ChangeType(target);
        } catch (const _com_error&) {
            raise(adErrCantConvertValue,
                  L"The output value \"" + wide(text) + L"\" cannot be converted to the parameter's type.");
        }
    }
    return natural;
}

void splitRoutineName(const std::wstring& text, std::wstring& schema, std::wstring& name) {
    std::vector<std::wstring> parts(1);
    bool bracket = false, quote = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (bracket) {
            if (c == L']') {
                if (i + 1 < text.size() && text[i + 1] == L']') {
                    parts.back() += L']';
                    ++i;
                } else {
                    bracket = false;
                }
            } else {
                parts.back() += c;
            }
        } else if (quote) {
            if (c == L'"') {
                if (i + 1 < text.size() && text[i + 1] == L'"') {
                    parts.back() += L'"';
                    ++i;
                } else {
                    quote = false;
                }
            } else {
                parts.back() += c;
            }
        } else if (c == L'[') {
            bracket = true;
        } else if (c == L'"') {
            quote = true;
        } else if (c == L'.') {
            parts.emplace_back();
        } else if (!std::iswspace(c)) {
            parts.back() += c;
        }
    }
    name = parts.back();
    schema.clear();
    // name, schema.name, schema..name (the empty middle part), database.schema.name
    if (parts.size() == 2) schema = parts[0];
    if (parts.size() >= 3)
        schema = !parts[parts.size() - 2].empty() ? parts[parts.size() - 2] : parts[parts.size() - 3];
}

std::vector<std::pair<std::wstring, std::wstring>> parseConnectionString(const std::wstring& text) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    size_t i = 0;
    auto trim = [](std::wstring s) {
        size_t b = 0, e = s.size();
        while (b < e && std::iswspace(s[b])) ++b;
        while (e > b && std::iswspace(s[e - 1])) --e;
        return s.substr(b, e - b);
    };
    while (i < text.size()) {
        const size_t eq = text.find(L'=', i);
        const size_t semi = text.find(L';', i);
        if (eq == std::wstring::npos || (semi != std::wstring::npos && semi < eq)) {
            std::wstring rest = trim(text.substr(i, semi == std::wstring::npos ? std::wstring::npos : semi - i));
            if (!rest.empty()) raise(adErrInvalidArgument, L"Connection string: \"" + rest + L"\" has no value.");
            if (semi == std::wstring::npos) break;
            i = semi + 1;
            continue;
        }
        std::wstring key = trim(text.substr(i, eq - i));
        for (auto& c : key) c = static_cast<wchar_t>(std::towlower(c));
        i = eq + 1;
        while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
        std::wstring value;
        if (i < text.size() && (text[i] == L'"' || text[i] == L'\'')) {
            const wchar_t q = text[i++];
            bool closed = false;
            while (i < text.size()) {
                if (text[i] == q) {
                    if (i + 1 < text.size() && text[i + 1] == q) {
                        value += q;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed)
                raise(adErrInvalidArgument, L"Connection string: the value of \"" + key + L"\" has no closing quote.");
            while (i < text.size() && std::iswspace(text[i])) ++i;
            if (i < text.size() && text[i] != L';')
                raise(adErrInvalidArgument, L"Connection string: text follows the quoted value of \"" + key + L"\".");
            if (i < text.size()) ++i;
        } else {
            const size_t end = text.find(L';', i);
            value = trim(text.substr(i, end == std::wstring::npos ? std::wstring::npos : end - i));
            i = end == std::wstring::npos ? text.size() : end + 1;
        }
        if (key.empty()) raise(adErrInvalidArgument, L"Connection string: a value without a keyword.");
        pairs.emplace_back(key, value);
    }
    return pairs;
}

} // namespace ADODB
