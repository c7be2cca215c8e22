#pragma once
// Text conversions. Every number the module writes into a drawing, an XML file, the preferences file
// or the command line, and reads back, passes through here. Bad numeric text is never an error: it
// reads as 0. Only the colour operations raise errors.
#include <cstdint>
#include <string>

#include "classlib/Afx.h"
#include "core/HostCalls.h"

class CUtilities {
public:
    CUtilities() = default;
    virtual ~CUtilities() = default;

    static int CStringToInt(CString text);
    static LONG CStringToLong(CString text);
    static std::int64_t CStringToInt64(CString text);
    static double CStringToDouble(CString text);
    static BOOL CStringToBOOL(CString text);
    // A number read from its whole text or not at all: blanks around it, a sign, digits with a decimal
    // point or comma, thousands grouped where no other reading is possible ("1,092.50", "1.092,50").
    // False, with the value untouched, for "1,092" (which reading?), "0,123,456", "12abc", "0x1A", an
    // infinite one or one too small to hold ("1e-400").
    static bool readWholeNumber(CString text, double& value);

    static CString IntToCString(int value);
    static CString LongToCString(LONG value);
    // Fixed decimals, a half rounded away from zero on the exact binary value; a negative count
    // gives the general form "%-g".
    static CString DoubleToCString(double value, int decimals);
    static int DoubleToInt(double value);
    static CString BoolToCString(BOOL value);

    static CString padding(int count, CString text);
    // The first character of the text that Windows-1252, the code page of the module's 8-bit files,
    // has no byte for; 0 when it holds them all.
    static wchar_t firstNotInWindows1252(const CString& text);
    static BOOL isNumeric(CString text);
    static void makeNumeric(CString& text);
    static double roundDouble(double value, int decimals);
    static int occurrenceCount(CString substring, CString text);
    static std::string CStringToSTDString(CString text);

    static void hashColourToAcad(CString colour, AcCmColor& acadColour);
    static CString acadColourToHash(const AcCmColor& acadColour);
    static int _httoi(const wchar_t* text);

    void replaceInvalidCharacters(CString& text, CString replacement);

    static void parseHashString(CString colour, CString& red, CString& green, CString& blue);
    static void validteHexString(CString text);

    // Decimals beyond this are not written: no double has more significant digits after the point.
    static constexpr int maxDecimals = 340;
};
