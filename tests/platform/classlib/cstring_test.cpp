#include <gtest/gtest.h>

#include <clocale>

#include "classlib/Afx.h"

namespace {

TEST(CStringClamp, LeftRightMidNeverThrow) {
    const CString s(L"abcdef");
    EXPECT_EQ(s.Left(-3), L"");
    EXPECT_EQ(s.Left(100), L"abcdef");
    EXPECT_EQ(s.Right(2), L"ef");
    EXPECT_EQ(s.Right(-1), L"");
    EXPECT_EQ(s.Right(99), L"abcdef");
    EXPECT_EQ(s.Mid(4), L"ef");
    EXPECT_EQ(s.Mid(-2, 3), L"abc");
    EXPECT_EQ(s.Mid(5, 100), L"f");
    EXPECT_EQ(s.Mid(6), L"");
    EXPECT_EQ(s.Mid(100, 2), L"");
    EXPECT_EQ(s.Mid(2, -5), L"");
    EXPECT_EQ(s.Mid(1, 0x7fffffff), L"bcdef"); // first + count would overflow an int
}

TEST(CStringClamp, IndexOutOfRangeThrowsInvalidArg) {
    CString s(L"ab");
    EXPECT_EQ(s[1], L'b');
    try {
        s.SetAt(2, L'x');
        FAIL() << "no exception";
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
    try {
        (void)s.GetAt(-1);
        FAIL() << "no exception";
    } catch (CException* e) {
        e->Delete();
    }
}

TEST(CStringFormat, WideRulesForText) {
    CString name(L"Room 1");
    CString s;
    s.Format(L"[%s] [%S] [%10s] [%-6s|] [%.2s]", name, "narrow", L"right", L"ab", L"xyz");
    EXPECT_EQ(s, L"[Room 1] [narrow] [     right] [ab    |] [xy]");
    s.Format(L"%s", static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(s, L"(null)");
    s.Format(L"%c%C%lc", L'\x00b2', 'A', L'z');
    EXPECT_EQ(s,
              L"\x00b2"
              L"Az");
}

TEST(CStringFormat, Integers) {
    CString s;
    s.Format(L"%i|%d|%5d|%-5d|%05d|%+d|% d|%.3d|%x|%X|%#x|%o|%u", 42, -7, 12, 12, -12, 3, 3, 5, 255, 255, 255, 8, 7u);
    EXPECT_EQ(s, L"42|-7|   12|12   |-0012|+3| 3|005|ff|FF|0xff|10|7");
    s.Format(L"%u %x", -1, -1);
    EXPECT_EQ(s, L"4294967295 ffffffff");
    s.Format(L"%ld %lld %I64d %I64u", 123456L, -9000000000LL, 9000000000LL, 18446744073709551615ULL);
    EXPECT_EQ(s, L"123456 -9000000000 9000000000 18446744073709551615");
    s.Format(L"%*d|%-*d|%.*d", 4, 1, 3, 2, 3, 7);
    EXPECT_EQ(s, L"   1|2  |007");
    s.Format(L"%*d", -4, 1); // a negative '*' width left-aligns
    EXPECT_EQ(s, L"1   ");
    s.Format(L"%hd %hhu", 65537, 257);
    EXPECT_EQ(s, L"1 1");
    s.Format(L"%.0d|%d", 0, static_cast<size_t>(5000000000ULL));
    EXPECT_EQ(s, L"|5000000000");
}

TEST(CStringFormat, FloatsUseThePointWhateverTheLocale) {
    // A locale with a decimal comma, when the machine has one, must not change the output.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    CString s;
    s.Format(L"%.2f|%f|%e|%g|%-8g|%G|%8.3f|%+.1f", 3.14159, 1.5, 12345.678, 0.0001, 2.5, 1e20, -2.0, 2.0);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(s, L"3.14|1.500000|1.234568e+04|0.0001|2.5     |1E+20|  -2.000|+2.0");
    s.Format(L"%.2f%%", 12);
    EXPECT_EQ(s, L"12.00%");
}

TEST(CStringFormat, UnknownConversionStandsAsWritten) {
    CString s;
    s.Format(L"a%bc %d", 5);
    EXPECT_EQ(s, L"a%bc 5");
    s.Format(L"%5k|%d|end%", 9);
    EXPECT_EQ(s, L"%5k|9|end%");
    s.Format(L"%d %d", 1); // a missing argument formats as zero, never reads past the list
    EXPECT_EQ(s, L"1 0");
}

TEST(CStringFormat, HugeWidthAndPrecisionDoNotOverflow) {
    CString s;
    s.Format(L"%5000d", 7);
    ASSERT_EQ(s.GetLength(), 5000);
    EXPECT_EQ(s.Right(2), L" 7");
    s.Format(L"%.100000f", 1.0);
    ASSERT_EQ(s.GetLength(), 100002);
    EXPECT_EQ(s.Left(4), L"1.00");
    s.Format(L"%-3000s|", L"x");
    EXPECT_EQ(s.GetLength(), 3001);
    s.Format(L"%.300f", 1e300);
    EXPECT_EQ(s.GetLength(), 301 + 301);
    try {
        s.Format(L"%99999999999999999999d", 1);
        FAIL() << "no exception";
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
}

TEST(CStringFormat, AppendFormatAndVaList) {
    CString s(L"n=");
    s.AppendFormat(L"%d", 3);
    s.AppendFormat(L"/%s", CString(L"x"));
    EXPECT_EQ(s, L"n=3/x");
    s.Format(L"%s+%s", s, s); // the string itself as an argument
    EXPECT_EQ(s, L"n=3/x+n=3/x");
    s.AppendFormat(L"%s", s);
    EXPECT_EQ(s, L"n=3/x+n=3/xn=3/x+n=3/x");
    struct Helper {
        static CString viaList(const wchar_t* format, ...) {
            va_list args;
            va_start(args, format);
            CString out;
            out.FormatV(format, args);
            va_end(args);
            return out;
        }
    };
    EXPECT_EQ(Helper::viaList(L"%s-%S-%ld-%.1f-%c", L"w", "n", 5L, 2.25, L'q'), L"w-n-5-2.2-q");
}

TEST(CStringSearch, FindAndReverseFind) {
    const CString s(L"a.b.c");
    EXPECT_EQ(s.Find(L'.'), 1);
    EXPECT_EQ(s.Find(L'.', 2), 3);
    EXPECT_EQ(s.Find(L'.', 99), -1);
    EXPECT_EQ(s.Find(L'.', -4), 1);
    EXPECT_EQ(s.Find(L"b.c"), 2);
    EXPECT_EQ(s.Find(L"", 5), 5);
    EXPECT_EQ(s.Find(L"x"), -1);
    EXPECT_EQ(s.ReverseFind(L'.'), 3);
    EXPECT_EQ(s.FindOneOf(L"cb"), 2);
    EXPECT_EQ(s.FindOneOf(L""), -1);
}

TEST(CStringEdit, ReplaceRemoveInsertDelete) {
    CString s(L"aaa");
    EXPECT_EQ(s.Replace(L"aa", L"b"), 1); // left to right, no overlap
    EXPECT_EQ(s, L"ba");
    EXPECT_EQ(s.Replace(L"", L"x"), 0);
    s = L"a-b-c";
    EXPECT_EQ(s.Replace(L"-", L"--"), 2);
    EXPECT_EQ(s, L"a--b--c");
    EXPECT_EQ(s.Replace(L'-', L'+'), 4);
    EXPECT_EQ(s.Remove(L'+'), 4);
    EXPECT_EQ(s, L"abc");
    EXPECT_EQ(s.Insert(99, L"!"), 4);
    EXPECT_EQ(s.Insert(-1, L'<'), 5);
    EXPECT_EQ(s, L"<abc!");
    EXPECT_EQ(s.Delete(3, 100), 3);
    EXPECT_EQ(s.Delete(10), 3);
    EXPECT_EQ(s, L"<ab");
    s = L"self";
    s.Replace(L"self", s.GetString()); // replacement text inside the string itself
    EXPECT_EQ(s, L"self");
}

TEST(CStringEdit, TrimCaseAndCompare) {
    CString s(L" \t x y \r\n");
    EXPECT_EQ(s.Trim(), L"x y");
    s = L"--x--";
    EXPECT_EQ(s.TrimLeft(L'-'), L"x--");
    EXPECT_EQ(s.TrimRight(L"-x"), L"");
    s = L"Abc";
    EXPECT_EQ(s.MakeUpper(), L"ABC");
    EXPECT_EQ(s.MakeLower(), L"abc");
    EXPECT_EQ(CString(L"abc").CompareNoCase(L"ABC"), 0);
    EXPECT_LT(CString(L"abc").Compare(L"abd"), 0);
    EXPECT_TRUE(CString(L"b") > L"a");
    EXPECT_TRUE(CString("x") == "x");
}

TEST(CStringTokenize, SkipsRunsOfDelimitersAndEnds) {
    const CString s(L",,a,,b c,");
    int pos = 0;
    EXPECT_EQ(s.Tokenize(L", ", pos), L"a");
    EXPECT_EQ(s.Tokenize(L", ", pos), L"b");
    EXPECT_EQ(s.Tokenize(L", ", pos), L"c");
    EXPECT_NE(pos, -1);
    EXPECT_EQ(s.Tokenize(L", ", pos), L"");
    EXPECT_EQ(pos, -1);

    int all = 0;
    EXPECT_EQ(CString(L",,,").Tokenize(L",", all), L"");
    EXPECT_EQ(all, -1);

    // Without delimiters the rest is one token and the loop still ends.
    int p = 1;
    EXPECT_EQ(CString(L"xyz").Tokenize(L"", p), L"yz");
    EXPECT_EQ(CString(L"xyz").Tokenize(L"", p), L"");
    EXPECT_EQ(p, -1);

    EXPECT_EQ(CString(L"12ab").SpanIncluding(L"0123456789"), L"12");
    EXPECT_EQ(CString(L"ab;cd").SpanExcluding(L";"), L"ab");
    EXPECT_EQ(CString(L"abc").SpanExcluding(L""), L"abc");
}

TEST(CStringBuffer, GetBufferReleaseBuffer) {
    CString s(L"ab");
    wchar_t* buf = s.GetBuffer(10);
    wcscpy(buf, L"hello");
    s.ReleaseBuffer();
    EXPECT_EQ(s, L"hello");
    EXPECT_EQ(s.GetLength(), 5);
    buf = s.GetBuffer();
    buf[1] = L'a';
    s.ReleaseBuffer(3);
    EXPECT_EQ(s, L"hal");
    const wchar_t* p = s;
    EXPECT_EQ(std::wcslen(p), 3u);
}

TEST(CStringEncoding, Utf8AndWindows1252) {
    EXPECT_EQ(CString("m\xC2\xB2"), L"m\x00b2"); // UTF-8
    EXPECT_EQ(CString("m\xB2"), L"m\xfffd");     // not UTF-8
    EXPECT_EQ(CString(L"m\x00b2\x20ac").ToWindows1252(), std::string("m\xB2\x80"));
    EXPECT_EQ(CString::FromWindows1252("\x80\x93"), L"\x20ac\x201c");
    EXPECT_EQ(CString(L"\x4e2d").ToWindows1252(), "?");
    EXPECT_EQ(CString(L"\x00e9\x4e2d").ToUtf8(), "\xC3\xA9\xE4\xB8\xAD");
}

} // namespace
