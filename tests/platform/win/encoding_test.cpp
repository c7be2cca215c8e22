#include "win/Encoding.h"

#include <gtest/gtest.h>

TEST(Encoding, Utf8RoundTripsEveryPlane) {
    const std::wstring text = L"a\u00B2\u20AC\U0001F600z";
    const std::string utf8 = win::toUtf8(text);
    EXPECT_EQ(utf8, "a\xC2\xB2\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(win::fromUtf8(utf8), text);
}

TEST(Encoding, MalformedUtf8BecomesReplacementWithoutSwallowingText) {
    // Truncated sequence, overlong form, stray continuation byte, encoded surrogate.
    EXPECT_EQ(win::fromUtf8("a\xE2\x82"), L"a\uFFFD");
    EXPECT_EQ(win::fromUtf8("\xC0\xAFx"), L"\uFFFD\uFFFDx");
    EXPECT_EQ(win::fromUtf8("\x80y"), L"\uFFFDy");
    EXPECT_EQ(win::fromUtf8("\xE2\x82x"), L"\uFFFDx");
    EXPECT_EQ(win::fromUtf8("\xED\xA0\x80"), L"\uFFFD");
    EXPECT_EQ(win::toUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(Encoding, Cp1252BothWays) {
    EXPECT_EQ(win::toCp1252(L"m\u00B2 \u20AC \u2013"), "m\xB2 \x80 \x96");
    EXPECT_EQ(win::fromCp1252("m\xB2 \x80 \x96 \x81"), L"m\u00B2 \u20AC \u2013 \u0081");
    EXPECT_EQ(win::toCp1252(L"\u4E2D\U0001F600"), "??");
    for (int b = 1; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(win::toCp1252(win::fromCp1252(one)), one) << b;
    }
}
