#include "cad/editor/EdCodes.h"
#include "cad/editor/EdPrintf.h"

#include <gtest/gtest.h>

using ed::formatMsV;

TEST(MsFormat, WideAndNarrowStrings) {
    EXPECT_EQ(formatMsV(L"[%s]", L"wide"), L"[wide]");
    EXPECT_EQ(formatMsV(L"[%S]", "narrow"), L"[narrow]");
    EXPECT_EQ(formatMsV(L"[%hs|%ls]", "n", L"w"), L"[n|w]");
    EXPECT_EQ(formatMsV(L"[%-6s|%6s]", L"ab", L"cd"), L"[ab    |    cd]");
    EXPECT_EQ(formatMsV(L"[%.2s]", L"abcdef"), L"[ab]");
    EXPECT_EQ(formatMsV(L"%c%C", L'x', 'y'), L"xy");
    EXPECT_EQ(formatMsV(L"%s", static_cast<const wchar_t*>(nullptr)), L"(null)");
    // Windows-1252 narrow text.
    EXPECT_EQ(formatMsV(L"%S", "\x80"), L"\u20AC");
}

TEST(MsFormat, NumbersUseTheCLocale) {
    EXPECT_EQ(formatMsV(L"%i|%d|%05d|%x|%X", 42, -7, 3, 255, 255), L"42|-7|00003|ff|FF");
    EXPECT_EQ(formatMsV(L"%.2f|%e", 1234.5, 0.5), L"1234.50|5.000000e-01");
    EXPECT_EQ(formatMsV(L"%*d|%.*f", 4, 1, 1, 2.25), L"   1|2.2");
    EXPECT_EQ(formatMsV(L"%I64d|%lld|%hd", 1LL << 40, -(1LL << 40), 70000), L"1099511627776|-1099511627776|4464");
    EXPECT_EQ(formatMsV(L"%u%%", 100u), L"100%");
}

TEST(MsFormat, UnknownConversionsStandAsWritten) {
    EXPECT_EQ(formatMsV(L"a%bc %d", 5), L"a%bc 5");
    EXPECT_EQ(formatMsV(L"%n%d", 9), L"%n9");
    EXPECT_EQ(formatMsV(L"tail %"), L"tail %");
}

TEST(CommandLine, CapturesAndForwardsOutput) {
    std::wstring forwarded;
    ed::commandLine().clear();
    ed::commandLine().setSink([&](const std::wstring& s) { forwarded += s; });
    EXPECT_EQ(acutPrintf(L"Count: %i\n", 3), RTNORM);
    EXPECT_EQ(ed::commandLine().text(), L"Count: 3\n");
    EXPECT_EQ(forwarded, L"Count: 3\n");
    ed::commandLine().setSink(nullptr);
    ed::commandLine().clear();
}
