#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

#include "classlib/DateTime.h"
#include "classlib/Exceptions.h"

namespace {

TEST(OleDateTime, DayCountFromTheEndOf1899) {
    EXPECT_DOUBLE_EQ(COleDateTime(1899, 12, 30, 0, 0, 0).m_dt, 0.0);
    EXPECT_DOUBLE_EQ(COleDateTime(1900, 1, 1, 18, 0, 0).m_dt, 2.75);
    EXPECT_DOUBLE_EQ(COleDateTime(2014, 10, 3, 0, 0, 0).m_dt, 41915.0);
    // Before day 0 the fraction still counts forward from midnight.
    const COleDateTime before(1899, 12, 29, 6, 0, 0);
    EXPECT_DOUBLE_EQ(before.m_dt, -1.25);
    EXPECT_EQ(before.GetDay(), 29);
    EXPECT_EQ(before.GetHour(), 6);
    EXPECT_TRUE(before < COleDateTime(1899, 12, 29, 7, 0, 0));

    const COleDateTime d(41915.5 + 1.0 / 86400 * 15);
    EXPECT_EQ(d.GetYear(), 2014);
    EXPECT_EQ(d.GetMonth(), 10);
    EXPECT_EQ(d.GetDay(), 3);
    EXPECT_EQ(d.GetHour(), 12);
    EXPECT_EQ(d.GetMinute(), 0);
    EXPECT_EQ(d.GetSecond(), 15);
    EXPECT_EQ(d.GetDayOfWeek(), 6); // a Friday
    EXPECT_EQ(d.GetDayOfYear(), 276);
    EXPECT_EQ(COleDateTime(2000, 2, 29, 23, 59, 59).GetDay(), 29); // rounding keeps the last second
}

TEST(OleDateTime, InvalidAndNullStates) {
    COleDateTime d;
    EXPECT_EQ(d.SetDateTime(2015, 2, 29, 0, 0, 0), 1);
    EXPECT_EQ(d.GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(d.GetYear(), -1);
    EXPECT_EQ(d.Format(L"%Y"), L"Invalid DateTime");
    EXPECT_EQ(COleDateTime(2014, 13, 1, 0, 0, 0).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(2014, 1, 1, 24, 0, 0).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(99, 1, 1, 0, 0, 0).GetStatus(), COleDateTime::invalid);
    EXPECT_EQ(COleDateTime(1e9).GetStatus(), COleDateTime::invalid);

    COleDateTime n(2014, 1, 1, 0, 0, 0);
    n.SetStatus(COleDateTime::null);
    EXPECT_EQ(n.Format(L"%Y"), L"");
    EXPECT_EQ(n.GetMonth(), -1);
    EXPECT_EQ((n + COleDateTimeSpan(1.0)).GetStatus(), COleDateTime::null);
    EXPECT_EQ((d + COleDateTimeSpan(1.0)).GetStatus(), COleDateTime::invalid);
}

TEST(OleDateTime, FormatIsEnglishWhateverTheLocale) {
    std::setlocale(LC_ALL, "fr_FR.UTF-8"); // no effect when the machine lacks it; either way names stay English
    const COleDateTime d(2014, 10, 3, 14, 5, 9);
    EXPECT_EQ(d.Format(L"%A %d %B %Y %H:%M:%S"), L"Friday 03 October 2014 14:05:09");
    EXPECT_EQ(d.Format(L"%a %b %#d %I %p %j %y %%"), L"Fri Oct 3 02 PM 276 14 %");
    EXPECT_EQ(d.Format(L"%c|%x|%X"), L"10/03/14 14:05:09|10/03/14|14:05:09");
    EXPECT_EQ(d.Format(L"%#x"), L"Friday, October 3, 2014");
    EXPECT_EQ(d.Format(L"%Q %"), L"%Q %"); // an unknown code stands as written
    EXPECT_EQ(d.Format(), L"10/3/2014 2:05:09 PM");
    EXPECT_EQ(COleDateTime(2014, 10, 3, 0, 0, 0).Format(), L"10/3/2014");
    EXPECT_EQ(COleDateTime(1899, 12, 30, 0, 30, 0).Format(), L"12:30:00 AM");
    std::setlocale(LC_ALL, "C");
}

TEST(OleDateTime, ParseDateTimeForms) {
    struct Case {
        const wchar_t* text;
        int y, mo, d, h, mi, s;
    };
    const Case cases[] = {
        {L"Oct  3 2014", 2014, 10, 3, 0, 0, 0},
        {L"Oct 3, 2014 12:30", 2014, 10, 3, 12, 30, 0},
        {L"3 October 2014", 2014, 10, 3, 0, 0, 0},
        {L"Friday, October 03, 2014 1:02:03 PM", 2014, 10, 3, 13, 2, 3},
        {L"2014-10-03 12:30:00", 2014, 10, 3, 12, 30, 0},
        {L"2014-10-03T12:30:00.250", 2014, 10, 3, 12, 30, 0},
        {L"10/03/2014", 2014, 10, 3, 0, 0, 0},
        {L"25/12/2014", 2014, 12, 25, 0, 0, 0},
        {L"03.10.2014", 2014, 10, 3, 0, 0, 0},
        {L"03-Oct-14", 2014, 10, 3, 0, 0, 0},
        {L"12/31/99 12:00 am", 1999, 12, 31, 0, 0, 0},
        {L"23:59:59", 1899, 12, 30, 23, 59, 59},
    };
    for (const Case& c : cases) {
        COleDateTime d;
        EXPECT_TRUE(d.ParseDateTime(c.text)) << c.text;
        EXPECT_EQ(d.GetStatus(), COleDateTime::valid) << c.text;
        EXPECT_EQ(d, COleDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s)) << c.text;
    }
    const wchar_t* bad[] = {L"",
                            L"   ",
                            L"2014-02-30",
                            L"13:61",
                            L"hello",
                            L"10/03",
                            L"1/2/3/4",
                            L"Oct Nov 3 2014",
                            L"99999999999999999999",
                            L"0:00 pm"};
    for (const wchar_t* text : bad) {
        COleDateTime d(2014, 1, 1, 0, 0, 0);
        EXPECT_FALSE(d.ParseDateTime(text)) << text;
        EXPECT_EQ(d.GetStatus(), COleDateTime::invalid) << text;
    }
    COleDateTime onlyDate;
    ASSERT_TRUE(onlyDate.ParseDateTime(L"2014-10-03 12:30", COleDateTime::VAR_DATEVALUEONLY));
    EXPECT_DOUBLE_EQ(onlyDate.m_dt, 41915.0);
}

TEST(OleDateTime, SpansAndArithmetic) {
    const COleDateTime a(2014, 10, 3, 12, 0, 0);
    const COleDateTime b = a + COleDateTimeSpan(1, 13, 30, 15);
    EXPECT_EQ(b, COleDateTime(2014, 10, 5, 1, 30, 15));
    const COleDateTimeSpan s = b - a;
    EXPECT_EQ(s.GetDays(), 1);
    EXPECT_EQ(s.GetHours(), 13);
    EXPECT_EQ(s.GetMinutes(), 30);
    EXPECT_EQ(s.GetSeconds(), 15);
    EXPECT_EQ(s.Format(L"%D days %H:%M:%S"), L"1 days 13:30:15");
    EXPECT_EQ(COleDateTime(1899, 12, 30, 0, 0, 0) - COleDateTimeSpan(0.25), COleDateTime(1899, 12, 29, 18, 0, 0));
}

TEST(Time, CTimeFieldsAndSpans) {
    setenv("TZ", "UTC", 1);
    tzset();
    const CTime t(2014, 10, 3, 12, 30, 5);
    EXPECT_EQ(t.GetTime(), 1412339405);
    EXPECT_EQ(t.GetDayOfWeek(), 6);
    EXPECT_EQ(t.Format(L"%Y-%m-%d %H:%M:%S"), L"2014-10-03 12:30:05");
    const CTimeSpan span = CTime(2014, 10, 4, 13, 31, 6) - t;
    EXPECT_EQ(span.GetDays(), 1);
    EXPECT_EQ(span.GetHours(), 1);
    EXPECT_EQ(span.Format(L"%D/%H/%M/%S"), L"1/01/01/01");
    EXPECT_EQ(COleDateTime(t.GetTime()), COleDateTime(2014, 10, 3, 12, 30, 5));
    try {
        CTime bad(2014, 2, 30, 25, 0, 0);
        ADD_FAILURE() << "no exception";
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
}

} // namespace
