// Text conversions: every number in a drawing, file or report passes through these.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CoreTestSupport.h"
#include "core/KelmoExceptions.h"
#include "core/Utilities.h"

namespace {

struct IntCase {
    const wchar_t* text;
    int expected;
};

TEST(Conversions, TextToIntReadsOnlyNumericTextAndSaturates) {
    const IntCase cases[] = {
        {L"", 0},
        {L"-", 0},
        {L".", 0},
        {L"-.", 0},
        {L"-7", -7},
        {L"42", 42},
        {L"12.7", 12},
        {L"-12.7", -12},
        {L"1,500", 1},
        {L",", 0},
        {L"12a", 0},
        {L" 5", 0},
        {L"+1", 0},
        {L"1e5", 0},
        {L"1-", 0},
        {L"1.2.3", 0},
        {L"3000000000", 2147483647},
        {L"-3000000000", -2147483647 - 1},
        {L"99999999999999999999999999", 2147483647},
    };
    for (const IntCase& c : cases) {
        EXPECT_EQ(CUtilities::CStringToInt(c.text), c.expected) << "text: '" << CString(c.text).ToUtf8() << "'";
    }
    EXPECT_EQ(CUtilities::CStringToLong(L"-3000000000"), -2147483647 - 1);
    EXPECT_EQ(CUtilities::CStringToInt64(L"3000000000"), 3000000000LL);
    EXPECT_EQ(CUtilities::CStringToInt64(L"-99999999999999999999"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(CUtilities::CStringToInt64(L"99999999999999999999"), std::numeric_limits<std::int64_t>::max());
}

TEST(Conversions, TextToDoubleReadsTheLeadingNumber) {
    const struct {
        const wchar_t* text;
        double expected;
    } cases[] = {
        {L"", 0.0},
        {L"  -1.5e2xyz", -150.0},
        {L"12.5 m", 12.5},
        {L"1,5", 1.0},
        {L"letters", 0.0},
        {L".25", 0.25},
        {L"-0.5", -0.5},
        // Only sign, digits, point, fraction and exponent: no words, no hexadecimal, nothing endless.
        {L"inf", 0.0},
        {L"-infinity", 0.0},
        {L"nan", 0.0},
        {L" NAN(1)", 0.0},
        {L"0x1A", 0.0},
        {L"0x1p3", 0.0},
        {L"+2.5", 2.5},
        {L"1e", 1.0},
        {L"3E+2", 300.0},
        {L"7.e1", 70.0},
        {L".e1", 0.0},
        {L"1e999", 0.0},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(CUtilities::CStringToDouble(c.text), c.expected) << CString(c.text).ToUtf8();
    }
}

struct WholeCase {
    const wchar_t* text;
    bool read;
    double expected;
};

TEST(Conversions, ANumberIsReadFromItsWholeTextOrNotAtAll) {
    const WholeCase cases[] = {
        {L"1092.50", true, 1092.5},
        {L"1,092.50", true, 1092.5},
        {L"1.092,50", true, 1092.5},
        {L"2,75", true, 2.75},
        {L" 42.5 ", true, 42.5},
        {L"-3", true, -3},
        {L"+3", true, 3},
        {L".5", true, 0.5},
        {L"1.092", true, 1.092}, // a point alone is the module's own decimal sign
        {L"0,092", true, 0.092},
        {L"1234,567", true, 1234.567},
        {L"1,234,567", true, 1234567},
        {L"1.234.567,5", true, 1234567.5},
        {L"1.5e3", true, 1500},
        {L"1,092", false, 0}, // a thousand and ninety-two, or one and a bit
        {L"12,345", false, 0},
        {L"1,2.5", false, 0},
        {L"1.2.3", false, 0},
        {L"1,234.5,6", false, 0},
        {L"12 sq.m.", false, 0},
        {L"12abc", false, 0},
        {L"0x1A", false, 0},
        {L"1e999", false, 0},
        {L"1,5e3", false, 0},
        {L"1e", false, 0},
        {L"nan", false, 0},
        {L"inf", false, 0},
        {L"", false, 0},
        {L"-", false, 0},
        {L".", false, 0},
        {L"1 000", false, 0},
        // A thousands group led by a zero, thousands before an exponent, and a number too small to hold.
        {L"0,123,456", false, 0},
        {L"0.123.456", false, 0},
        {L"0.123,5", false, 0},
        {L"1.000.000e3", false, 0},
        {L"1e-400", false, 0},
        {L"-0.5e-400", false, 0},
        {L"0e-400", true, 0},
        {L"-0.000", true, 0},
        {L"1e-300", true, 1e-300},
        {L"1.000e3", true, 1000},
        {L"10,123,456", true, 10123456},
    };
    for (const WholeCase& c : cases) {
        double value = -99.0;
        EXPECT_EQ(CUtilities::readWholeNumber(c.text, value), c.read) << CString(c.text).ToUtf8();
        EXPECT_DOUBLE_EQ(value, c.read ? c.expected : -99.0) << CString(c.text).ToUtf8();
    }
}

TEST(Conversions, TextToBoolAcceptsOnlyTheExactYesForms) {
    for (const wchar_t* yes : {L"1", L"t", L"tr", L"tru", L"true", L"y", L"ye", L"yes"}) {
        EXPECT_TRUE(CUtilities::CStringToBOOL(yes)) << CString(yes).ToUtf8();
    }
    for (const wchar_t* no : {L"", L"0", L"True", L"Y", L"YES", L" yes", L"yes ", L"no", L"2"}) {
        EXPECT_FALSE(CUtilities::CStringToBOOL(no)) << CString(no).ToUtf8();
    }
}

struct DoubleCase {
    double value;
    int decimals;
    const wchar_t* expected;
};

TEST(Conversions, DoubleToTextRoundsHalfAwayFromZeroOnTheExactValue) {
    const DoubleCase cases[] = {
        {2.675, 2, L"2.67"}, // stored just below 2.675
        {0.125, 2, L"0.13"}, // an exact half goes away from zero
        {-0.125, 2, L"-0.13"}, {1234.5678, 2, L"1234.57"},
        {0.05, 2, L"0.05"},    {0.0, 2, L"0.00"},
        {7.0, 3, L"7.000"},    {2.5, 0, L"3"},
        {-2.5, 0, L"-3"},      {-0.4, 0, L"-0"},
        {0.4, 0, L"0"},        {0.005, 2, L"0.01"},
        {-0.006, 2, L"-0.01"}, {-0.001, 2, L"-0.00"},
        {9.999, 2, L"10.00"},  {99.5, 0, L"100"},
        {0.0004, 2, L"0.00"},  {1.005, 2, L"1.00"},
        {250.0, 2, L"250.00"}, {1000.4, 0, L"1000"},
        {500.0, 2, L"500.00"}, {1e20, 1, L"100000000000000000000.0"},
    };
    for (const DoubleCase& c : cases) {
        EXPECT_EQ(CUtilities::DoubleToCString(c.value, c.decimals), CString(c.expected))
            << c.value << " with " << c.decimals;
    }
    // Far along the exact expansion: 0.30000000000000004440..., 24.01000000000000156319...
    EXPECT_EQ(CUtilities::DoubleToCString(0.1 + 0.2, 17), CString(L"0.30000000000000004"));
    EXPECT_EQ(CUtilities::DoubleToCString(24.01, 15), CString(L"24.010000000000002"));
}

TEST(Conversions, DoubleToTextWithNegativeDecimalsUsesTheGeneralForm) {
    EXPECT_EQ(CUtilities::DoubleToCString(1234.5678, -1), CString(L"1234.57"));
    EXPECT_EQ(CUtilities::DoubleToCString(0.5, -5), CString(L"0.5"));
    EXPECT_EQ(CUtilities::DoubleToCString(100.0, -1), CString(L"100"));
    const CString exponent = CUtilities::DoubleToCString(1234567.0, -1);
    EXPECT_EQ(exponent.Left(9), CString(L"1.23457e+")) << exponent.ToUtf8();
}

TEST(Conversions, DoubleToTextIsBoundedForAnyPrecisionAFileMayHold) {
    // A preferences file can hold any precision; none may crash or grow without bound.
    const CString huge = CUtilities::DoubleToCString(1.5, 1000000);
    EXPECT_EQ(huge.Left(4), CString(L"1.50"));
    EXPECT_EQ(huge.GetLength(), 2 + CUtilities::maxDecimals);
    const CString tiny = CUtilities::DoubleToCString(std::numeric_limits<double>::denorm_min(), 1000000);
    EXPECT_EQ(tiny.GetLength(), 2 + CUtilities::maxDecimals);
    // The smallest number, 4.94065...e-324, to its last place but one.
    EXPECT_EQ(CUtilities::DoubleToCString(std::numeric_limits<double>::denorm_min(), 324),
              CString(L"0.") + CString(L'0', 323) + CString(L"5"));
    const CString widest = CUtilities::DoubleToCString(-std::numeric_limits<double>::max(), 1000000);
    EXPECT_EQ(widest.GetLength(), 1 + 309 + 1 + CUtilities::maxDecimals);
    EXPECT_EQ(CUtilities::DoubleToCString(2.5, std::numeric_limits<int>::min()), CString(L"2.5"));
    EXPECT_FALSE(CUtilities::DoubleToCString(std::nan(""), 2).IsEmpty());
}

TEST(Conversions, RoundingThroughText) {
    EXPECT_EQ(CUtilities::DoubleToInt(2.5), 3);
    EXPECT_EQ(CUtilities::DoubleToInt(-2.5), -3);
    EXPECT_EQ(CUtilities::DoubleToInt(-0.4), 0);
    EXPECT_EQ(CUtilities::DoubleToInt(1e30), 2147483647);
    EXPECT_EQ(CUtilities::DoubleToInt(-1e30), -2147483647 - 1);
    EXPECT_DOUBLE_EQ(CUtilities::roundDouble(1.005, 2), 1.0);
    EXPECT_DOUBLE_EQ(CUtilities::roundDouble(2.345, 1), 2.3);
    EXPECT_DOUBLE_EQ(CUtilities::roundDouble(0.125, 2), 0.13);
    EXPECT_DOUBLE_EQ(CUtilities::roundDouble(1234.5678, -1), 1234.57);
}

TEST(Conversions, NumericTextChecksAndCleanUp) {
    for (const wchar_t* yes : {L"1,500", L",", L"-,", L"-12.5", L"0", L".5"}) {
        EXPECT_TRUE(CUtilities::isNumeric(yes)) << CString(yes).ToUtf8();
    }
    const struct {
        const wchar_t* text;
        const wchar_t* expected;
    } cleaned[] = {
        {L"", L"0"}, {L"x", L""}, {L"1-2", L"12"}, {L"-12.5.3 m", L"-12.53"}, {L"1,2a", L"1,2"},
    };
    for (const auto& c : cleaned) {
        CString text = c.text;
        CUtilities::makeNumeric(text);
        EXPECT_EQ(text, CString(c.expected)) << CString(c.text).ToUtf8();
    }
    EXPECT_EQ(CUtilities::padding(3, L"ab"), CString(L"ababab"));
    EXPECT_EQ(CUtilities::padding(-2, L"ab"), CString(L""));
}

TEST(Conversions, OccurrenceCountSkipsTheFirstCharacterAndCountsOverlaps) {
    EXPECT_EQ(CUtilities::occurrenceCount(L",", L"a,b,c"), 2);
    EXPECT_EQ(CUtilities::occurrenceCount(L":", L"C:\\a:b"), 2);
    EXPECT_EQ(CUtilities::occurrenceCount(L":", L":a"), 0);
    EXPECT_EQ(CUtilities::occurrenceCount(L"aa", L"aaaa"), 2);
    EXPECT_EQ(CUtilities::occurrenceCount(L"", L"abc"), 0);
}

TEST(Conversions, HexadecimalText) {
    EXPECT_EQ(CUtilities::_httoi(L"1a2F"), 6703);
    EXPECT_EQ(CUtilities::_httoi(L"0x10"), 16);
    EXPECT_EQ(CUtilities::_httoi(L"12G4"), 18);
    EXPECT_EQ(CUtilities::_httoi(L""), 0);
    EXPECT_EQ(CUtilities::_httoi(L"0x"), 0);
    EXPECT_EQ(CUtilities::_httoi(L"G1"), 0);
    EXPECT_EQ(CUtilities::_httoi(L"1FFFFFFFF"), -1); // only the low 32 bits are kept
}

TEST(Conversions, ColourTextSetsTheComponents) {
    for (const wchar_t* text : {L"#ff8000", L"FF8000", L"#FF8000", L" #FF8000 ", L"\t#ff8000\n"}) {
        AcCmColor colour;
        CUtilities::hashColourToAcad(text, colour);
        EXPECT_EQ(colour.red(), 255);
        EXPECT_EQ(colour.green(), 128);
        EXPECT_EQ(colour.blue(), 0);
    }
    AcCmColor colour;
    colour.setRGB(10, 11, 12);
    EXPECT_EQ(CUtilities::acadColourToHash(colour), CString(L"#0A0B0C"));
    colour.setRGB(255, 128, 0);
    EXPECT_EQ(CUtilities::acadColourToHash(colour), CString(L"#FF8000"));
}

TEST(Conversions, BadColourTextOfWrongLengthRaisesTheColourErrorItself) {
    for (const wchar_t* text : {L"", L"#", L"##ff8000", L"#12345", L"#1234567"}) {
        AcCmColor colour;
        try {
            CUtilities::hashColourToAcad(text, colour);
            ADD_FAILURE() << "accepted " << CString(text).ToUtf8();
        } catch (CEXInvalidHexColour* error) {
            EXPECT_EQ(error->getDescription(), L"Invalid Hex Colour - " + CString(text));
            error->deleteException();
        } catch (CEXKelmo* error) {
            // "##ff8000" fails the digit check first: a wrapped chain.
            EXPECT_EQ(CString(text), CString(L"##ff8000"));
            error->deleteException();
        }
    }
}

TEST(Conversions, ColourTextWithAForeignDigitGivesAThreeLevelChain) {
    AcCmColor colour;
    try {
        CUtilities::hashColourToAcad(L"#12345g", colour);
        FAIL() << "accepted";
    } catch (CEXKelmo* error) {
        EXPECT_EQ(error->getProcSig(), CString(L"CUtilities::hashColourToAcad"));
        EXPECT_EQ(error->getClass(), CString(L"Utilities"));
        CEXKelmo* second = error->getInnerException();
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->getProcSig(), CString(L"CUtilities::validteHexString"));
        CEXKelmo* first = second->getInnerException();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->getInnerException(), nullptr);
        EXPECT_EQ(first->getSource(), CString(L"CUtilities"));
        EXPECT_EQ(first->getDescription(), CString(L"Invalid Hex Colour - 12345G"));
        EXPECT_EQ(first->getSeverity(), 2);
        error->deleteException();
    }
}

TEST(Conversions, InvalidSymbolCharactersAreReplaced) {
    CUtilities utilities;
    CString name = L"A/B (1)";
    utilities.replaceInvalidCharacters(name, L"_");
    EXPECT_EQ(name, CString(L"A_B _1_"));
    name = L"\\/:*?\"<>|=';(),[x]_y";
    utilities.replaceInvalidCharacters(name, L"_");
    EXPECT_EQ(name, CString(L"_______________[x]_y"));
}

TEST(Conversions, NarrowTextUsesTheWindowsCodePage) {
    const std::string narrow = CUtilities::CStringToSTDString(L"m\u00b2 \u20ac \u4e00");
    EXPECT_EQ(narrow, std::string("m\xb2 \x80 ?"));
}

} // namespace
