#pragma once
// Dates and times of the class library: the automation date (days since 30 December 1899) and time_t-based
// CTime, with spans. Formatting uses English names whatever the process locale.
#include <ctime>

#include "classlib/CString.h"

using DATE = double;

// A time_t span in seconds.
class CTimeSpan {
public:
    CTimeSpan() = default;
    CTimeSpan(time_t seconds) : m_span(seconds) {}
    CTimeSpan(LONG days, int hours, int minutes, int seconds);

    LONGLONG GetDays() const { return m_span / 86400; }
    LONGLONG GetTotalHours() const { return m_span / 3600; }
    LONG GetHours() const { return static_cast<LONG>(GetTotalHours() - GetDays() * 24); }
    LONGLONG GetTotalMinutes() const { return m_span / 60; }
    LONG GetMinutes() const { return static_cast<LONG>(GetTotalMinutes() - GetTotalHours() * 60); }
    LONGLONG GetTotalSeconds() const { return m_span; }
    LONG GetSeconds() const { return static_cast<LONG>(GetTotalSeconds() - GetTotalMinutes() * 60); }
    time_t GetTimeSpan() const { return m_span; }
    // %D days, %H hours, %M minutes, %S seconds, %% a percent sign.
    CString Format(LPCTSTR format) const;

    CTimeSpan operator+(CTimeSpan o) const { return CTimeSpan(m_span + o.m_span); }
    CTimeSpan operator-(CTimeSpan o) const { return CTimeSpan(m_span - o.m_span); }
    CTimeSpan& operator+=(CTimeSpan o) {
        m_span += o.m_span;
        return *this;
    }
    CTimeSpan& operator-=(CTimeSpan o) {
        m_span -= o.m_span;
        return *this;
    }
    auto operator<=>(const CTimeSpan&) const = default;

private:
    time_t m_span = 0;
};

// A moment as time_t; the calendar fields are local time.
class CTime {
public:
    CTime() = default;
    CTime(time_t t) : m_time(t) {}
    // Local time; a field out of range throws CInvalidArgException*.
    CTime(int year, int month, int day, int hour, int minute, int second, int dst = -1);

    static CTime GetCurrentTime();
    time_t GetTime() const { return m_time; }
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const; // 1 is Sunday
    // strftime codes, local time / UTC.
    CString Format(LPCTSTR format) const;
    CString FormatGmt(LPCTSTR format) const;

    CTime operator+(CTimeSpan s) const { return CTime(m_time + s.GetTimeSpan()); }
    CTime operator-(CTimeSpan s) const { return CTime(m_time - s.GetTimeSpan()); }
    CTimeSpan operator-(CTime o) const { return CTimeSpan(m_time - o.m_time); }
    CTime& operator+=(CTimeSpan s) {
        m_time += s.GetTimeSpan();
        return *this;
    }
    CTime& operator-=(CTimeSpan s) {
        m_time -= s.GetTimeSpan();
        return *this;
    }
    auto operator<=>(const CTime&) const = default;

private:
    std::tm local() const;
    time_t m_time = 0;
};

class COleDateTimeSpan {
public:
    enum DateTimeSpanStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTimeSpan() = default;
    COleDateTimeSpan(double days) : m_span(days) {}
    COleDateTimeSpan(LONG days, int hours, int minutes, int seconds) { SetDateTimeSpan(days, hours, minutes, seconds); }

    void SetDateTimeSpan(LONG days, int hours, int minutes, int seconds);
    DateTimeSpanStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeSpanStatus s) { m_status = s; }

    double GetTotalDays() const { return m_span; }
    double GetTotalHours() const { return m_span * 24; }
    double GetTotalMinutes() const { return m_span * 24 * 60; }
    double GetTotalSeconds() const { return m_span * 24 * 60 * 60; }
    LONG GetDays() const;
    LONG GetHours() const;
    LONG GetMinutes() const;
    LONG GetSeconds() const;
    // %D days, %H hours, %M minutes, %S seconds, %% a percent sign.
    CString Format(LPCTSTR format) const;

    operator double() const { return m_span; }
    COleDateTimeSpan operator+(const COleDateTimeSpan& o) const;
    COleDateTimeSpan operator-(const COleDateTimeSpan& o) const;
    COleDateTimeSpan operator-() const;
    bool operator==(const COleDateTimeSpan& o) const { return m_status == o.m_status && m_span == o.m_span; }
    bool operator<(const COleDateTimeSpan& o) const { return m_span < o.m_span; }
    bool operator>(const COleDateTimeSpan& o) const { return m_span > o.m_span; }

    double m_span = 0.0;
    DateTimeSpanStatus m_status = valid;

private:
    long long totalSeconds() const;
};

// An automation date: days since 30 December 1899; the fraction is the time of day (for dates before
// that day the fraction still counts forward from midnight). Valid from 1 January 100 to 31 December 9999.
class COleDateTime {
public:
    enum DateTimeStatus { error = -1, valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    COleDateTime(DATE value);
    COleDateTime(int year, int month, int day, int hour, int minute, int second) {
        SetDateTime(year, month, day, hour, minute, second);
    }
    // Local time of a time_t.
    COleDateTime(time_t value) { *this = value; }
    COleDateTime& operator=(DATE value);
    COleDateTime& operator=(time_t value);

    static COleDateTime GetCurrentTime();

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus s) { m_status = s; }
    // Each returns 0, or 1 (and the status invalid) when a field is out of range.
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);
    int SetDate(int year, int month, int day) { return SetDateTime(year, month, day, 0, 0, 0); }
    int SetTime(int hour, int minute, int second) { return SetDateTime(1899, 12, 30, hour, minute, second); }

    // The calendar fields, or -1 when the status is not valid.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const; // 1 is Sunday
    int GetDayOfYear() const;

    // strftime codes with English names. Invalid gives "Invalid DateTime", null an empty text.
    CString Format(LPCTSTR format) const;
    // The plain form "M/D/YYYY h:mm:ss AM" (the date alone at midnight, the time alone on day 0).
    CString Format(DWORD flags = 0, DWORD locale = 0) const;

    enum { VAR_TIMEVALUEONLY = 0x1, VAR_DATEVALUEONLY = 0x2 };
    // The same forms whatever the user's locale; see the class library's README for the list. On failure
    // returns false and the status becomes invalid.
    bool ParseDateTime(LPCTSTR text, DWORD flags = 0, DWORD locale = 0);

    operator DATE() const { return m_dt; }
    COleDateTime operator+(const COleDateTimeSpan& s) const;
    COleDateTime operator-(const COleDateTimeSpan& s) const;
    COleDateTime& operator+=(const COleDateTimeSpan& s) { return *this = *this + s; }
    COleDateTime& operator-=(const COleDateTimeSpan& s) { return *this = *this - s; }
    COleDateTimeSpan operator-(const COleDateTime& o) const;
    bool operator==(const COleDateTime& o) const { return m_status == o.m_status && m_dt == o.m_dt; }
    bool operator!=(const COleDateTime& o) const { return !(*this == o); }
    bool operator<(const COleDateTime& o) const;
    bool operator>(const COleDateTime& o) const { return o < *this; }
    bool operator<=(const COleDateTime& o) const { return !(o < *this); }
    bool operator>=(const COleDateTime& o) const { return !(*this < o); }

    DATE m_dt = 0.0;
    DateTimeStatus m_status = valid;

private:
    bool fields(std::tm& out) const;
};

namespace classlib {
// strftime over broken-down time with English names and '#' (no leading zeros); a code it does not know
// is written as it stands.
std::wstring formatTime(const wchar_t* format, const std::tm& t);
} // namespace classlib
