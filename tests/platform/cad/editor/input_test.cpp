#include "cad/editor/EdCodes.h"
#include "cad/editor/EdInput.h"
#include "cad/editor/EdPrintf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class EditorInput : public ::testing::Test {
protected:
    void SetUp() override {
        ed::input().clear();
        ed::input().setSource(nullptr);
        ed::commandLine().clear();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(EditorInput, IntegerAsksAgainOnTextThatIsNoNumber) {
    ed::input().queue(L"ten");
    ed::input().queue(L"1.5");
    ed::input().queue(L" 12 ");
    int v = 0;
    EXPECT_EQ(acedGetInt(L"\nCount: ", &v), RTNORM);
    EXPECT_EQ(v, 12);
    EXPECT_EQ(ed::commandLine().text(),
              L"\nCount: \nRequires an integer value.\nCount: \nRequires an integer value.\nCount: ");
}

TEST_F(EditorInput, RealAsksAgainAndRefusesInfinity) {
    ed::input().queue(L"abc");
    ed::input().queue(L"inf");
    ed::input().queue(L"2.5e1");
    double v = 0;
    EXPECT_EQ(acedGetReal(L"\nSize: ", &v), RTNORM);
    EXPECT_DOUBLE_EQ(v, 25.0);
    EXPECT_EQ(ed::commandLine().text(), L"\nSize: \nRequires numeric value.\nSize: \nRequires numeric value.\nSize: ");
}

TEST_F(EditorInput, RealTakesOnlyADecimalReadWhole) {
    for (const wchar_t* refused : {L"0x1A", L"0x1p3", L"1e-400", L"1,250", L"12mm", L"nan"}) ed::input().queue(refused);
    ed::input().queue(L"+3e2");
    double v = 0;
    EXPECT_EQ(acedGetReal(L"", &v), RTNORM);
    EXPECT_DOUBLE_EQ(v, 300.0);
    std::wstring asked;
    for (int i = 0; i < 6; ++i) asked += L"\nRequires numeric value.";
    EXPECT_EQ(ed::commandLine().text(), asked);
}

TEST_F(EditorInput, EnterGivesNoneAndKeepsTheValue) {
    ed::input().queue(L"");
    ed::input().queue(L"");
    int i = 7;
    double d = 1.5;
    EXPECT_EQ(acedGetInt(L"", &i), RTNONE);
    EXPECT_EQ(acedGetReal(L"", &d), RTNONE);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(d, 1.5);
}

TEST_F(EditorInput, CancelAndEndOfInputEndEveryPrompt) {
    int i = 0;
    double d = 0;
    wchar_t buf[133] = L"x";
    for (const wchar_t* cancel : {L"*Cancel*", L"\x1b"}) {
        ed::input().queue(cancel);
        EXPECT_EQ(acedGetInt(L"", &i), RTCAN);
        ed::input().queue(cancel);
        EXPECT_EQ(acedGetReal(L"", &d), RTCAN);
        ed::input().queue(cancel);
        EXPECT_EQ(acedGetString(1, L"", buf), RTCAN);
    }
    // Nothing queued and no source: the end of input.
    EXPECT_EQ(acedGetInt(L"", &i), RTCAN);
    EXPECT_EQ(acedGetReal(L"", &d), RTCAN);
    EXPECT_EQ(acedGetString(0, L"", buf), RTCAN);
    EXPECT_EQ(buf[0], L'\0');
}

TEST_F(EditorInput, StringsWithAndWithoutBlanks) {
    wchar_t buf[133];
    ed::input().queue(L"Room 101");
    ed::input().queue(L"Room 101");
    EXPECT_EQ(acedGetString(1, L"", buf), RTNORM);
    EXPECT_EQ(std::wstring(buf), L"Room 101");
    // Without blanks allowed, a blank ends the answer and the rest is the next input.
    EXPECT_EQ(acedGetString(0, L"", buf), RTNORM);
    EXPECT_EQ(std::wstring(buf), L"Room");
    EXPECT_EQ(acedGetString(0, L"", buf), RTNORM);
    EXPECT_EQ(std::wstring(buf), L"101");
}

TEST_F(EditorInput, LongAnswersNeverOverrunTheBuffer) {
    std::wstring longText(300, L'a');
    wchar_t buf[133 + 8];
    for (wchar_t& c : buf) c = L'#';
    ed::input().queue(longText);
    EXPECT_EQ(acedGetString(1, L"", buf), RTNORM);
    EXPECT_EQ(std::wstring(buf).size(), 132u);
    EXPECT_EQ(buf[133], L'#');
    wchar_t small[8];
    ed::input().queue(L"123456789");
    EXPECT_EQ(acedGetString(1, L"", small, 8), RTINPUTTRUNCATED);
    EXPECT_EQ(std::wstring(small), L"1234567");
    ed::input().queue(std::wstring(132, L'b'));
    EXPECT_EQ(acedGetString(1, L"", buf), RTNORM);
    EXPECT_EQ(std::wstring(buf), std::wstring(132, L'b'));
}

TEST_F(EditorInput, SentTextComesFirstAndEscapeCancels) {
    int calls = 0;
    ed::input().setSource([&]() -> std::optional<std::wstring> {
        ++calls;
        return std::wstring(L"5");
    });
    ed::input().queue(L"4");
    ed::input().send(L"\x1b");
    int v = 0;
    EXPECT_EQ(acedGetInt(L"", &v), RTCAN);
    EXPECT_EQ(acedGetInt(L"", &v), RTNORM);
    EXPECT_EQ(v, 4);
    EXPECT_EQ(acedGetInt(L"", &v), RTNORM);
    EXPECT_EQ(v, 5);
    EXPECT_EQ(calls, 1);
}

} // namespace

namespace {

TEST(EditorRunaway, PromptsAfterTheEndOfInputAreCountedUntilTheHostStepsIn) {
    ed::input().clear();
    ed::input().setSource(nullptr);
    int calls = 0;
    ed::input().setRunawayHandler([&] { ++calls; });
    wchar_t buf[133];
    for (int i = 0; i < 999; ++i) EXPECT_EQ(acedGetString(1, L"", buf), RTCAN);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(acedGetString(1, L"", buf), RTCAN);
    EXPECT_EQ(calls, 1);
    // An answer starts the count again.
    ed::input().queue(L"x");
    EXPECT_EQ(acedGetString(1, L"", buf), RTNORM);
    EXPECT_EQ(acedGetString(1, L"", buf), RTCAN);
    EXPECT_EQ(calls, 1);
    ed::input().setRunawayHandler(nullptr);
    ed::commandLine().clear();
}

} // namespace
