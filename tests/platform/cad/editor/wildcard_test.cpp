#include "cad/editor/EdCodes.h"
#include "cad/editor/EdWildcard.h"

#include <gtest/gtest.h>

using ed::wildcardMatch;

namespace {

struct Case {
    const wchar_t* text;
    const wchar_t* pattern;
    bool matches;
};

void expectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases)
        EXPECT_EQ(wildcardMatch(c.text, c.pattern), c.matches)
            << "\"" << c.text << "\" against \"" << c.pattern << "\"";
}

} // namespace

TEST(Wildcard, StarsQuestionMarksAndCase) {
    expectAll({
        {L"ROOM-101", L"ROOM-*", true},
        {L"room-101", L"ROOM-*", true},
        {L"ROOM-", L"ROOM-*", true},
        {L"XROOM-1", L"ROOM-*", false},
        {L"A1B", L"A?B", true},
        {L"AB", L"A?B", false},
        {L"abcabd", L"*ab?", true},
        {L"", L"*", true},
        {L"", L"?", false},
        {L"MARKER-LEGEND", L"MARKER-LEGEND", true},
        {L"MARKER-LEGENDS", L"MARKER-LEGEND", false},
    });
}

TEST(Wildcard, NegationAppliesToItsAlternative) {
    expectAll({
        {L"ROOM-12", L"~ROOM-*", false},
        {L"DESK", L"~ROOM-*", true},
        {L"ROOMS", L"~ROOM-*", true},
        {L"room-a", L"~ROOM-*", false},
        {L"ROOM-1", L"~ROOM-*,ROOM-1", true},
    });
}

TEST(Wildcard, ClassesSetsAlternativesAndEscape) {
    expectAll({
        {L"L7", L"L#", true},
        {L"LX", L"L#", false},
        {L"Lx", L"L@", true},
        {L"L1", L"L@", false},
        {L"A-B", L"A.B", true},
        {L"AxB", L"A.B", false},
        {L"WALL", L"DOOR,WALL,WINDOW", true},
        {L"FLOOR", L"DOOR,WALL,WINDOW", false},
        {L"B", L"[ABC]", true},
        {L"q", L"[p-r]", true},
        {L"s", L"[p-r]", false},
        {L"D", L"[~ABC]", true},
        {L"A", L"[~ABC]", false},
        {L"X,Y", L"[,]", false},
        {L"A,B", L"A`,B", true},
        {L"*A", L"`*A", true},
        {L"BA", L"`*A", false},
        {L"~X", L"`~X", true},
        {L"A,", L"A[,]", true},
    });
}

TEST(Wildcard, SdkEntryReturnsStatusCodes) {
    EXPECT_EQ(acutWcMatch(L"INSERT", L"INS*"), RTNORM);
    EXPECT_EQ(acutWcMatch(L"LINE", L"INS*"), RTERROR);
    EXPECT_EQ(acutWcMatch(nullptr, L"*"), RTERROR);
}
