#include "cad/EdCodes.h"
#include "cad/EdWildcard.h"

#include <gtest/gtest.h>

using ed::wildcardMatch;

TEST(Wildcard, StarsQuestionMarksAndCase) {
  EXPECT_TRUE(wildcardMatch(L"ROOM-101", L"ROOM-*"));
  EXPECT_TRUE(wildcardMatch(L"room-101", L"ROOM-*"));
  EXPECT_TRUE(wildcardMatch(L"ROOM-", L"ROOM-*"));
  EXPECT_FALSE(wildcardMatch(L"XROOM-1", L"ROOM-*"));
  EXPECT_TRUE(wildcardMatch(L"A1B", L"A?B"));
  EXPECT_FALSE(wildcardMatch(L"AB", L"A?B"));
  EXPECT_TRUE(wildcardMatch(L"abcabd", L"*ab?"));
  EXPECT_TRUE(wildcardMatch(L"", L"*"));
  EXPECT_FALSE(wildcardMatch(L"", L"?"));
  EXPECT_TRUE(wildcardMatch(L"MARKER-LEGEND", L"MARKER-LEGEND"));
  EXPECT_FALSE(wildcardMatch(L"MARKER-LEGENDS", L"MARKER-LEGEND"));
}

TEST(Wildcard, NegationAppliesToItsAlternative) {
  EXPECT_FALSE(wildcardMatch(L"ROOM-12", L"~ROOM-*"));
  EXPECT_TRUE(wildcardMatch(L"DESK", L"~ROOM-*"));
  EXPECT_TRUE(wildcardMatch(L"ROOMS", L"~ROOM-*"));
  EXPECT_FALSE(wildcardMatch(L"room-a", L"~ROOM-*"));
  EXPECT_TRUE(wildcardMatch(L"ROOM-1", L"~ROOM-*,ROOM-1"));
}

TEST(Wildcard, ClassesSetsAlternativesAndEscape) {
  EXPECT_TRUE(wildcardMatch(L"L7", L"L#"));
  EXPECT_FALSE(wildcardMatch(L"LX", L"L#"));
  EXPECT_TRUE(wildcardMatch(L"Lx", L"L@"));
  EXPECT_FALSE(wildcardMatch(L"L1", L"L@"));
  EXPECT_TRUE(wildcardMatch(L"A-B", L"A.B"));
  EXPECT_FALSE(wildcardMatch(L"AxB", L"A.B"));
  EXPECT_TRUE(wildcardMatch(L"WALL", L"DOOR,WALL,WINDOW"));
  EXPECT_FALSE(wildcardMatch(L"FLOOR", L"DOOR,WALL,WINDOW"));
  EXPECT_TRUE(wildcardMatch(L"B", L"[ABC]"));
  EXPECT_TRUE(wildcardMatch(L"q", L"[p-r]"));
  EXPECT_FALSE(wildcardMatch(L"s", L"[p-r]"));
  EXPECT_TRUE(wildcardMatch(L"D", L"[~ABC]"));
  EXPECT_FALSE(wildcardMatch(L"A", L"[~ABC]"));
  EXPECT_TRUE(wildcardMatch(L"X,Y", L"[,]"  ) == false);
  EXPECT_TRUE(wildcardMatch(L"A,B", L"A`,B"));
  EXPECT_TRUE(wildcardMatch(L"*A", L"`*A"));
  EXPECT_FALSE(wildcardMatch(L"BA", L"`*A"));
  EXPECT_TRUE(wildcardMatch(L"~X", L"`~X"));
  EXPECT_TRUE(wildcardMatch(L"A,", L"A[,]"));
}

TEST(Wildcard, SdkEntryReturnsStatusCodes) {
  EXPECT_EQ(acutWcMatch(L"INSERT", L"INS*"), RTNORM);
  EXPECT_EQ(acutWcMatch(L"LINE", L"INS*"), RTERROR);
  EXPECT_EQ(acutWcMatch(nullptr, L"*"), RTERROR);
}
