#include <gtest/gtest.h>

#include "cad/AcDb.h"

namespace {

TEST(Resbuf, BuildListCarriesEachValueKind) {
    ads_point pt = {1.5, 2.5, 3.5};
    resbuf* rb = acutBuildList(RTSTR, L"text", RTSHORT, 12, RTREAL, 0.25, RT3DPOINT, pt, RTLONG, -70000, 1070, -3, 1071,
                               123456, 1010, pt, 1040, 9.75, RTLB, RTLE, 0);
    ASSERT_NE(rb, nullptr);
    resbuf* r = rb;
    EXPECT_EQ(r->restype, RTSTR);
    EXPECT_STREQ(r->resval.rstring, L"text");
    r = r->rbnext;
    EXPECT_EQ(r->resval.rint, 12);
    r = r->rbnext;
    EXPECT_DOUBLE_EQ(r->resval.rreal, 0.25);
    r = r->rbnext;
    EXPECT_DOUBLE_EQ(r->resval.rpoint[2], 3.5);
    r = r->rbnext;
    EXPECT_EQ(r->resval.rlong, -70000);
    r = r->rbnext;
    EXPECT_EQ(r->resval.rint, -3);
    r = r->rbnext;
    EXPECT_EQ(r->resval.rlong, 123456);
    r = r->rbnext;
    EXPECT_DOUBLE_EQ(r->resval.rpoint[0], 1.5);
    r = r->rbnext;
    EXPECT_DOUBLE_EQ(r->resval.rreal, 9.75);
    r = r->rbnext;
    EXPECT_EQ(r->restype, RTLB);
    r = r->rbnext;
    EXPECT_EQ(r->restype, RTLE);
    EXPECT_EQ(r->rbnext, nullptr);
    acutRelRb(rb);

    // Strings are copied: the caller's buffer may go away.
    std::wstring temp = L"temporary";
    resbuf* s = acutBuildList(1000, temp.c_str(), RTNONE);
    temp.assign(L"changed!!");
    EXPECT_STREQ(s->resval.rstring, L"temporary");
    resbuf* dup = acutRbDup(s);
    acutRelRb(s);
    EXPECT_STREQ(dup->resval.rstring, L"temporary");
    acutRelRb(dup);

    // A code that carries no known value ends the build with nothing.
    EXPECT_EQ(acutBuildList(4999, 1, 0), nullptr);
    EXPECT_EQ(acutBuildList(0), nullptr);
}

TEST(Resbuf, RoundTripThroughStoredValues) {
    ads_point pt = {1, 2, 3};
    resbuf* rb = acutBuildList(1001, L"APP", 1000, L"a", 1010, pt, 1070, 5, 1071, 70000, 1040, 2.5, 0);
    AcDbRbValues values = acdbRbToValues(rb);
    ASSERT_EQ(values.size(), 6u);
    EXPECT_EQ(values[3].integer, 5);
    EXPECT_EQ(values[4].integer, 70000);
    resbuf* back = acdbValuesToRb(values);
    EXPECT_EQ(acdbRbToValues(back), values);
    acutRelRb(rb);
    acutRelRb(back);
}

TEST(Arrays, LengthFindAndRemove) {
    AcDbIntArray a(0, 8);
    EXPECT_TRUE(a.isEmpty());
    a.append(3);
    a.append(5);
    a.append(3);
    EXPECT_EQ(a.length(), 3);
    EXPECT_EQ(a.find(3), 0);
    int at = -1;
    EXPECT_TRUE(a.find(3, at, 1));
    EXPECT_EQ(at, 2);
    EXPECT_FALSE(a.find(9, at));
    EXPECT_TRUE(a.contains(5));
    EXPECT_TRUE(a.remove(5));
    EXPECT_FALSE(a.remove(5));
    a.removeAt(0);
    EXPECT_EQ(a.length(), 1);
    EXPECT_EQ(a[0], 3);
    EXPECT_THROW(a.at(4), std::out_of_range);
    a.setLogicalLength(0);
    EXPECT_TRUE(a.isEmpty());
}

TEST(Handles, ParseAndPrint) {
    EXPECT_EQ(AcDbHandle(L"  1F ").value(), 0x1Fu);
    EXPECT_TRUE(AcDbHandle(L"1F,").isNull());
    EXPECT_TRUE(AcDbHandle(L"12345678901234567").isNull()); // more than 64 bits
    EXPECT_EQ(AcDbHandle(L"FFFFFFFFFFFFFFFF").value(), 0xFFFFFFFFFFFFFFFFull);
    EXPECT_EQ(AcDbHandle("a0").value(), 0xA0u);
    ACHAR buf[17];
    ASSERT_TRUE(AcDbHandle(0xABCDEF).getIntoAsciiBuffer(buf, 17));
    EXPECT_STREQ(buf, L"ABCDEF");
    ACHAR tiny[3];
    EXPECT_FALSE(AcDbHandle(0xABCDEF).getIntoAsciiBuffer(tiny, 3));
    EXPECT_EQ(AcDbHandle(1, 2).value(), 0x200000001ull);
}

TEST(StatusTexts, NamesAndUnknowns) {
    EXPECT_STREQ(acadErrorStatusText(Acad::eOk), L"eOk");
    EXPECT_STREQ(acadErrorStatusText(Acad::eHatchTooDense), L"eHatchTooDense");
    EXPECT_STREQ(acadErrorStatusText(Acad::eAmbiguousOutput), L"eAmbiguousOutput");
    EXPECT_STREQ(acadErrorStatusText(Acad::eLockViolation), L"eLockViolation");
    EXPECT_STREQ(acadErrorStatusText(Acad::ErrorStatus(99999)), L"Unknown error status");
}

TEST(Colours, PaletteRoundTrips) {
    for (int i = 1; i <= 255; ++i) {
        Adesk::UInt32 rgb = AcCmEntityColor::lookUpRGB(Adesk::UInt8(i));
        Adesk::UInt8 back =
            AcCmEntityColor::lookUpACI(Adesk::UInt8(rgb >> 16), Adesk::UInt8(rgb >> 8), Adesk::UInt8(rgb));
        // Some palette entries repeat a colour; the match must at least give the same RGB.
        EXPECT_EQ(AcCmEntityColor::lookUpRGB(back), rgb) << i;
    }
    EXPECT_EQ(AcCmEntityColor::lookUpRGB(5), 0x0000FFu);
    EXPECT_EQ(AcCmEntityColor::lookUpRGB(7), 0xFFFFFFu);
    AcCmColor c;
    c.setColorMethod(AcCmEntityColor::kByColor);
    EXPECT_EQ(int(c.colorMethod()), 194);
    EXPECT_EQ(c.setColorIndex(300), Acad::eInvalidInput);
    // Turning an index colour into a true colour keeps what is shown.
    AcCmColor red;
    red.setColorIndex(1);
    red.setColorMethod(AcCmEntityColor::kByColor);
    EXPECT_EQ(red.trueColor(), 0xFF0000u);
    red.setRGB(0, 0, 255);
    red.setColorMethod(AcCm::kByACI);
    EXPECT_EQ(red.colorIndex(), 5);
}

} // namespace
