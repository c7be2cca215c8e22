#include "core/Utilities.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <string>
#include <limits>
#include <locale.h>
#include <vector>

#include "core/Catch.h"
#include "core/KelmoExceptions.h"

KELMO_SOURCE_FILE(L"Utilities.cpp");

namespace {

bool isDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

// The leading integer of a text already known to be numeric: an optional "-", then digits up to the
// first other character; beyond the range the result is the nearest limit.
std::int64_t leadingInteger(const CString& text, std::int64_t lowest, std::int64_t highest) {
    int i = 0;
    const int length = text.GetLength();
    const bool negative = length > 0 && text[0] == L'-';
    if (negative) {
        ++i;
    }
    // Magnitudes are capped just past the widest limit, so nothing overflows.
    const std::uint64_t cap = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1u;
    std::uint64_t magnitude = 0;
    for (; i < length && isDigit(text[i]); ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - L'0');
        if (magnitude > (cap - digit) / 10u) {
            magnitude = cap;
        } else {
            magnitude = magnitude * 10u + digit;
        }
    }
    if (negative) {
        const std::uint64_t limit = static_cast<std::uint64_t>(-(lowest + 1)) + 1u;
        if (magnitude >= limit) {
            return lowest;
        }
        return -static_cast<std::int64_t>(magnitude);
    }
    if (magnitude >= static_cast<std::uint64_t>(highest)) {
        return highest;
    }
    return static_cast<std::int64_t>(magnitude);
}

locale_t cLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// The leading real of a text as plain decimal: blanks skipped, an optional sign, digits with an
// optional point and fraction, an optional exponent. Words such as "inf" or "nan" and hexadecimal
// forms are no numbers here; empty when the text does not start with one.
std::string leadingReal(const CString& text) {
    const int length = text.GetLength();
    int i = 0;
    while (i < length && std::iswspace(text[i])) ++i;
    std::string number;
    if (i < length && (text[i] == L'+' || text[i] == L'-')) number += static_cast<char>(text[i++]);
    bool digits = false;
    while (i < length && isDigit(text[i])) {
        number += static_cast<char>(text[i++]);
        digits = true;
    }
    if (i < length && text[i] == L'.') {
        number += '.';
        ++i;
        while (i < length && isDigit(text[i])) {
            number += static_cast<char>(text[i++]);
            digits = true;
        }
    }
    if (!digits) return std::string();
    if (i < length && (text[i] == L'e' || text[i] == L'E')) {
        int j = i + 1;
        std::string exponent = "e";
        if (j < length && (text[j] == L'+' || text[j] == L'-')) exponent += static_cast<char>(text[j++]);
        bool exponentDigits = false;
        while (j < length && isDigit(text[j])) {
            exponent += static_cast<char>(text[j++]);
            exponentDigits = true;
        }
        // "1e" or "1e+" end before the "e".
        if (exponentDigits) number += exponent;
    }
    return number;
}

// The digits after the point of a magnitude's exact decimal expansion: as many as its binary fraction
// has bits, at most 1074 (the smallest subnormal).
int exactFractionDigits(double magnitude) {
    if (magnitude == 0.0 || !std::isfinite(magnitude)) return 0;
    int exponent = 0;
    const double mantissa = std::frexp(magnitude, &exponent);
    auto bits = static_cast<std::uint64_t>(std::ldexp(mantissa, 53));
    int lowest = exponent - 53;
    while ((bits & 1u) == 0) {
        bits >>= 1;
        ++lowest;
    }
    return std::min(std::max(-lowest, 0), 1074);
}

// 309 digits before the point, the point, and the most digits after it either the expansion or the
// widest precision asks for.
constexpr std::size_t kWidestExpansion = 309 + 1 + 1074 + 8;

// Adds one unit in the last place of a string of decimal digits; may grow it by a leading "1".
void incrementDigits(std::string& digits) {
    for (std::size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return;
        }
    }
    digits.insert(digits.begin(), '1');
}

// Digits grouped by a thousands separator: a first group of one to three digits, not led by a zero
// ("0,123,456" groups nothing), then groups of three.
bool groupedDigits(const std::wstring& part, wchar_t separator, std::string& digits) {
    if (!part.empty() && part[0] == L'0') return false;
    std::size_t group = 0;
    bool first = true;
    for (wchar_t c : part) {
        if (c == separator) {
            if (group == 0 || group > 3 || (!first && group != 3)) return false;
            first = false;
            group = 0;
        } else if (isDigit(c)) {
            digits += static_cast<char>(c);
            ++group;
        } else {
            return false;
        }
    }
    return !first && group == 3;
}

bool plainDigits(const std::wstring& part, std::string& digits) {
    for (wchar_t c : part) {
        if (!isDigit(c)) return false;
        digits += static_cast<char>(c);
    }
    return true;
}

// The plain decimal form of a number written with a point or a comma as its decimal sign and
// perhaps the other as its thousands separator; empty when the text is no such number or could be
// read two ways.
std::string plainDecimal(const std::wstring& body) {
    const std::size_t points = static_cast<std::size_t>(std::count(body.begin(), body.end(), L'.'));
    const std::size_t commas = static_cast<std::size_t>(std::count(body.begin(), body.end(), L','));
    wchar_t decimal = 0;
    wchar_t thousands = 0;
    if (commas == 0 && points > 0) {
        // "1.092" is a decimal, as the module writes it; "1.234.567" groups thousands.
        if (points == 1)
            decimal = L'.';
        else
            thousands = L'.';
    } else if (points == 0 && commas > 0) {
        if (commas > 1) {
            thousands = L',';
        } else {
            const std::size_t comma = body.find(L',');
            const std::wstring whole = body.substr(0, comma);
            // "1,092" is a thousand and ninety-two or one and a bit: it is not read.
            if (body.size() - comma - 1 == 3 && !whole.empty() && whole.size() <= 3 && whole[0] != L'0')
                return std::string();
            decimal = L',';
        }
    } else if (commas > 0) {
        // Both: the last one is the decimal sign, and only once.
        decimal = body.find_last_of(L".,") == body.rfind(L'.') ? L'.' : L',';
        thousands = decimal == L'.' ? L',' : L'.';
        if (std::count(body.begin(), body.end(), decimal) != 1) return std::string();
    }
    const std::size_t at = decimal ? body.find(decimal) : std::wstring::npos;
    const std::wstring whole = body.substr(0, at);
    const std::wstring fraction = at == std::wstring::npos ? std::wstring() : body.substr(at + 1);
    std::string digits;
    if (thousands ? !groupedDigits(whole, thousands, digits) : !plainDigits(whole, digits)) return std::string();
    std::string fractionDigits;
    if (!plainDigits(fraction, fractionDigits)) return std::string();
    if (digits.empty() && fractionDigits.empty()) return std::string();
    return (digits.empty() ? std::string("0") : digits) + (fractionDigits.empty() ? "" : "." + fractionDigits);
}

bool isHexDigit(wchar_t c) {
    return isDigit(c) || (c >= L'A' && c <= L'F');
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Text to numbers

int CUtilities::CStringToInt(CString text) {
    KELMO_TRY
        if (!isNumeric(text)) {
            return 0;
        }
        return static_cast<int>(leadingInteger(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    KELMO_CATCH(L"CUtilities::CStringToInt")
}

LONG CUtilities::CStringToLong(CString text) {
    KELMO_TRY
        if (!isNumeric(text)) {
            return 0;
        }
        return static_cast<LONG>(
            leadingInteger(text, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()));
    KELMO_CATCH(L"CUtilities::CStringToLong")
}

std::int64_t CUtilities::CStringToInt64(CString text) {
    KELMO_TRY
        if (!isNumeric(text)) {
            return 0;
        }
        return leadingInteger(text, std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
    KELMO_CATCH(L"CUtilities::CStringToInt64")
}

double CUtilities::CStringToDouble(CString text) {
    KELMO_TRY
        const std::string number = leadingReal(text);
        if (number.empty()) return 0.0;
        const double value = strtod_l(number.c_str(), nullptr, cLocale());
        // A number too large to hold is as bad as no number.
        return std::isfinite(value) ? value : 0.0;
    KELMO_CATCH_ALSO(L"CUtilities::CStringToDouble", kelmo::catchStd)
}

bool CUtilities::readWholeNumber(CString text, double& value) {
    KELMO_TRY
        text.Trim();
        std::wstring body(static_cast<const wchar_t*>(text), static_cast<std::size_t>(text.GetLength()));
        std::string sign;
        if (!body.empty() && (body[0] == L'+' || body[0] == L'-')) {
            sign = body[0] == L'-' ? "-" : "";
            body.erase(0, 1);
        }
        // An exponent only after a number with a decimal point or none, as other programs write it.
        std::string exponent;
        const std::size_t e = body.find_first_of(L"eE");
        if (e != std::wstring::npos) {
            std::wstring power = body.substr(e + 1);
            body.erase(e);
            // Nor after thousands: "1.000.000e3" is no way anyone writes a number.
            if (body.find(L',') != std::wstring::npos || std::count(body.begin(), body.end(), L'.') > 1) return false;
            if (!power.empty() && (power[0] == L'+' || power[0] == L'-')) {
                exponent += static_cast<char>(power[0]);
                power.erase(0, 1);
            }
            if (power.empty() || !plainDigits(power, exponent)) return false;
            exponent = "e" + exponent;
        }
        const std::string number = plainDecimal(body);
        if (number.empty()) return false;
        const double read = strtod_l((sign + number + exponent).c_str(), nullptr, cLocale());
        // Too large, or too small to be told from 0 ("1e-400"): either is not the number written.
        if (!std::isfinite(read) || (read == 0.0 && number.find_first_not_of("0.") != std::string::npos)) return false;
        value = read;
        return true;
    KELMO_CATCH_ALSO(L"CUtilities::readWholeNumber", kelmo::catchStd)
}

BOOL CUtilities::CStringToBOOL(CString text) {
    KELMO_TRY
        for (const wchar_t* yes : {L"1", L"t", L"tr", L"tru", L"true", L"y", L"ye", L"yes"}) {
            if (text == yes) {
                return TRUE;
            }
        }
        return FALSE;
    KELMO_CATCH(L"CUtilities::CStringToBOOL")
}

// ---------------------------------------------------------------------------------------------------------
// Numbers to text

wchar_t CUtilities::firstNotInWindows1252(const CString& text) {
    const CString back(classlib::fromWindows1252(text.ToWindows1252().c_str()).c_str());
    for (int i = 0; i < text.GetLength(); ++i)
        if (i >= back.GetLength() || back[i] != text[i]) return text[i];
    return 0;
}

CString CUtilities::IntToCString(int value) {
    KELMO_TRY
        CString text;
        text.Format(L"%d", value);
        return text;
    KELMO_CATCH(L"CUtilities::IntToCString")
}

CString CUtilities::LongToCString(LONG value) {
    KELMO_TRY
        CString text;
        text.Format(L"%d", static_cast<int>(value));
        return text;
    KELMO_CATCH(L"CUtilities::LongToCString")
}

CString CUtilities::BoolToCString(BOOL value) {
    KELMO_TRY
        return value != 0 ? CString(L"1") : CString(L"0");
    KELMO_CATCH(L"CUtilities::BoolToCString")
}

CString CUtilities::DoubleToCString(double value, int decimals) {
    KELMO_TRY
        CString text;
        if (decimals < 0 || !std::isfinite(value)) {
            text.Format(L"%-g", value);
        } else {
            if (decimals > maxDecimals) {
                decimals = maxDecimals;
            }
            // The exact decimal expansion of the magnitude: a double whose lowest set bit stands at 2^-k
            // has exactly k digits after the point, so nothing is rounded here and ties are decided
            // below, away from zero.
            const double magnitude = std::fabs(value);
            const int exactDigits = std::max(exactFractionDigits(magnitude), decimals + 1);
            char buffer[kWidestExpansion];
            const char* const end =
                std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed, exactDigits).ptr;
            const char* const point = std::find(static_cast<const char*>(buffer), end, '.');
            std::string digits(static_cast<const char*>(buffer), point);
            digits.append(point + 1, static_cast<std::size_t>(decimals));
            if (point[1 + decimals] >= '5') incrementDigits(digits);
            const std::size_t wholeLength = digits.size() - static_cast<std::size_t>(decimals);
            // Digits, a sign and a point are ASCII: widened one by one.
            std::wstring result = value < 0 ? L"-" : L"";
            result.reserve(digits.size() + 2);
            result.append(digits.begin(), digits.begin() + static_cast<std::ptrdiff_t>(wholeLength));
            result += L'.';
            result.append(digits.begin() + static_cast<std::ptrdiff_t>(wholeLength), digits.end());
            text = CString(result.c_str(), static_cast<int>(result.size()));
        }
        if (!text.IsEmpty() && text[text.GetLength() - 1] == L'.') {
            text = text.Left(text.GetLength() - 1);
        }
        return text;
    KELMO_CATCH(L"CUtilities::DoubleToCString")
}

int CUtilities::DoubleToInt(double value) {
    KELMO_TRY
        return CStringToInt(DoubleToCString(value, 0));
    KELMO_CATCH(L"CUtilities::DoubleToInt")
}

double CUtilities::roundDouble(double value, int decimals) {
    KELMO_TRY
        return CStringToDouble(DoubleToCString(value, decimals));
    KELMO_CATCH(L"CUtilities::roundDouble")
}

// ---------------------------------------------------------------------------------------------------------
// Numeric text

BOOL CUtilities::isNumeric(CString text) {
    KELMO_TRY
        if (text.IsEmpty() || text == L"-" || text == L"." || text == L"-.") {
            return FALSE;
        }
        const CString accepted = L",0,1,2,3,4,5,6,7,8,9,-,.,";
        bool point = false;
        for (int i = 0; i < text.GetLength(); ++i) {
            const wchar_t c = text[i];
            if (accepted.Find(c) < 0) {
                return FALSE;
            }
            if (c == L'-' && i != 0) {
                return FALSE;
            }
            if (c == L'.') {
                if (point) {
                    return FALSE;
                }
                point = true;
            }
        }
        return TRUE;
    KELMO_CATCH_ALSO(L"CUtilities::isNumeric", kelmo::catchClassLib)
}

void CUtilities::makeNumeric(CString& text) {
    KELMO_TRY
        if (text.IsEmpty()) {
            text = L"0";
            return;
        }
        CString kept;
        bool point = false;
        for (int i = 0; i < text.GetLength(); ++i) {
            const wchar_t c = text[i];
            if (isDigit(c) || c == L',') {
                kept += c;
            } else if (c == L'-' && i == 0) {
                kept += c;
            } else if (c == L'.' && !point) {
                kept += c;
                point = true;
            }
        }
        text = kept;
    KELMO_CATCH_ALSO(L"CUtilities::makeNumeric", kelmo::catchClassLib)
}

CString CUtilities::padding(int count, CString text) {
    KELMO_TRY
        CString result;
        for (int i = 0; i < count; ++i) {
            result += text;
        }
        return result;
    KELMO_CATCH(L"CUtilities::padding")
}

int CUtilities::occurrenceCount(CString substring, CString text) {
    KELMO_TRY
        if (substring.IsEmpty()) {
            return 0;
        }
        // The search starts at index 1: an occurrence at the very start is not counted.
        int count = 0;
        int found = text.Find(substring, 1);
        while (found >= 0) {
            ++count;
            found = text.Find(substring, found + 1);
        }
        return count;
    KELMO_CATCH(L"CUtilities::occurrenceCount")
}

std::string CUtilities::CStringToSTDString(CString text) {
    KELMO_TRY
        return text.ToWindows1252();
    KELMO_CATCH(L"CUtilities::CStringToSTDString")
}

// ---------------------------------------------------------------------------------------------------------
// Colours

void CUtilities::parseHashString(CString colour, CString& red, CString& green, CString& blue) {
    // Blanks around a colour, as a file laid out for reading has them, are no part of it.
    colour.Trim();
    if (colour.IsEmpty()) {
        throw new CEXInvalidHexColour(L"CUtilities", kelmoSourceFile, L"CUtilities::parseHashString", colour);
    }
    CString hex = colour;
    hex.MakeUpper();
    if (hex[0] == L'#') {
        hex = hex.Mid(1);
    }
    validteHexString(hex);
    if (hex.GetLength() != 6) {
        throw new CEXInvalidHexColour(L"CUtilities", kelmoSourceFile, L"CUtilities::parseHashString", colour);
    }
    red = hex.Mid(0, 2);
    green = hex.Mid(2, 2);
    blue = hex.Mid(4, 2);
}

void CUtilities::validteHexString(CString text) {
    KELMO_TRY
        for (int i = 0; i < text.GetLength(); ++i) {
            if (!isHexDigit(text[i])) {
                throw new CEXInvalidHexColour(L"CUtilities", kelmoSourceFile, L"CUtilities::validteHexString", text);
            }
        }
    KELMO_CATCH(L"CUtilities::validteHexString")
}

void CUtilities::hashColourToAcad(CString colour, AcCmColor& acadColour) {
    try {
        CString red;
        CString green;
        CString blue;
        parseHashString(colour, red, green, blue);
        acadColour.setRGB(static_cast<Adesk::UInt8>(_httoi(red)), static_cast<Adesk::UInt8>(_httoi(green)),
                          static_cast<Adesk::UInt8>(_httoi(blue)));
    } catch (CEXInvalidHexColour*) {
        // The caller sees a bad colour text as itself, not wrapped.
        throw;
    } catch (...) {
        kelmo::rethrowWrapped(kelmoSourceFile, L"CUtilities::hashColourToAcad", kelmo::catchClassLib);
    }
}

CString CUtilities::acadColourToHash(const AcCmColor& acadColour) {
    KELMO_TRY
        CString text;
        text.Format(L"#%02X%02X%02X", static_cast<unsigned>(acadColour.red()),
                    static_cast<unsigned>(acadColour.green()), static_cast<unsigned>(acadColour.blue()));
        return text;
    KELMO_CATCH(L"CUtilities::acadColourToHash")
}

int CUtilities::_httoi(const wchar_t* text) {
    KELMO_TRY
        if (text == nullptr) {
            return 0;
        }
        CString hex = text;
        hex.MakeUpper();
        int i = 0;
        if (hex.GetLength() >= 2 && hex[0] == L'0' && hex[1] == L'X') {
            i = 2;
        }
        std::uint32_t value = 0;
        for (; i < hex.GetLength(); ++i) {
            const wchar_t c = hex[i];
            unsigned digit = 0;
            if (isDigit(c)) {
                digit = static_cast<unsigned>(c - L'0');
            } else if (c >= L'A' && c <= L'F') {
                digit = static_cast<unsigned>(c - L'A' + 10);
            } else {
                break;
            }
            value = value * 16u + digit;
        }
        return static_cast<int>(value);
    KELMO_CATCH(L"CUtilities::_httoi")
}

// ---------------------------------------------------------------------------------------------------------
// Symbol names

void CUtilities::replaceInvalidCharacters(CString& text, CString replacement) {
    const CString invalid = L"\\/:*?\"<>|=';(),";
    CString result;
    for (int i = 0; i < text.GetLength(); ++i) {
        const wchar_t c = text[i];
        if (invalid.Find(c) >= 0) {
            result += replacement;
        } else {
            result += c;
        }
    }
    text = result;
}
