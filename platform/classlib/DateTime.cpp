#include "classlib/DateTime.h"

#include <cmath>
#include <cwctype>
#include <vector>

#include "classlib/Exceptions.h"

namespace {

const wchar_t* const kDayNames[7] = {L"Sunday",   L"Monday", L"Tuesday", L"Wednesday",
                                     L"Thursday", L"Friday", L"Saturday"};
const wchar_t* const kMonthNames[12] = {L"January", L"February", L"March",     L"April",   L"May",      L"June",
                                        L"July",    L"August",   L"September", L"October", L"November", L"December"};

constexpr long long kSecondsPerDay = 86400;
constexpr long kDay0FromEpoch = -25569; // 30 December 1899 counted from 1 January 1970
constexpr double kMinDate = -657434.0;  // 1 January 100
constexpr double kMaxDate = 2958466.0;  // 1 January 10000 (exclusive)

long long floorDiv(long long a, long long b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

// Days since 1 January 1970 of a proleptic Gregorian date.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = floorDiv(y, 400);
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = floorDiv(z, 146097);
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

bool isLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// An automation date as a point on a straight time line (before day 0 the fraction counts forward).
double toLinear(double dt) {
    if (dt >= 0) return dt;
    const double day = std::trunc(dt);
    return day + (day - dt);
}

double fromLinear(double x) {
    if (x >= 0) return x;
    const double day = std::floor(x);
    const double time = x - day;
    return time == 0 ? day : day - time;
}

bool inRange(double dt) {
    return !std::isnan(dt) && dt >= kMinDate && dt < kMaxDate;
}

void appendNumber(std::wstring& out, long long v, int digits, bool noPad) {
    std::wstring s = std::to_wstring(v < 0 ? -v : v);
    if (!noPad && static_cast<int>(s.size()) < digits)
        s.insert(0, static_cast<size_t>(digits - static_cast<int>(s.size())), L'0');
    if (v < 0) out += L'-';
    out += s;
}

} // namespace

namespace classlib {

std::wstring formatTime(const wchar_t* format, const std::tm& t) {
    std::wstring out;
    if (!format) return out;
    const int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
    const int year = t.tm_year + 1900;
    const int wday = ((t.tm_wday % 7) + 7) % 7;
    const int mon = ((t.tm_mon % 12) + 12) % 12;
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%') {
            out += *p;
            continue;
        }
        const wchar_t* start = p;
        bool alt = false;
        if (p[1] == L'#') {
            alt = true;
            ++p;
        }
        const wchar_t c = *++p;
        switch (c) {
            case L'a':
                out.append(kDayNames[wday], 3);
                break;
            case L'A':
                out += kDayNames[wday];
                break;
            case L'b':
            case L'h':
                out.append(kMonthNames[mon], 3);
                break;
            case L'B':
                out += kMonthNames[mon];
                break;
            case L'c':
                if (alt)
                    out += formatTime(L"%A, %B %#d, %Y %H:%M:%S", t);
                else
                    out += formatTime(L"%m/%d/%y %H:%M:%S", t);
                break;
            case L'C':
                appendNumber(out, year / 100, 2, alt);
                break;
            case L'd':
                appendNumber(out, t.tm_mday, 2, alt);
                break;
            case L'D':
                out += formatTime(L"%m/%d/%y", t);
                break;
            case L'e': {
                std::wstring n = std::to_wstring(t.tm_mday);
                if (!alt && n.size() < 2) n.insert(0, 1, L' ');
                out += n;
                break;
            }
            case L'F':
                out += formatTime(L"%Y-%m-%d", t);
                break;
            case L'H':
                appendNumber(out, t.tm_hour, 2, alt);
                break;
            case L'I':
                appendNumber(out, hour12, 2, alt);
                break;
            case L'j':
                appendNumber(out, t.tm_yday + 1, 3, alt);
                break;
            case L'm':
                appendNumber(out, mon + 1, 2, alt);
                break;
            case L'M':
                appendNumber(out, t.tm_min, 2, alt);
                break;
            case L'n':
                out += L'\n';
                break;
            case L'p':
                out += t.tm_hour < 12 ? L"AM" : L"PM";
                break;
            case L'r':
                out += formatTime(L"%I:%M:%S %p", t);
                break;
            case L'R':
                out += formatTime(L"%H:%M", t);
                break;
            case L'S':
                appendNumber(out, t.tm_sec, 2, alt);
                break;
            case L't':
                out += L'\t';
                break;
            case L'T':
                out += formatTime(L"%H:%M:%S", t);
                break;
            case L'u':
                appendNumber(out, wday == 0 ? 7 : wday, 1, alt);
                break;
            case L'U':
                appendNumber(out, (t.tm_yday + 7 - wday) / 7, 2, alt);
                break;
            case L'w':
                appendNumber(out, wday, 1, alt);
                break;
            case L'W':
                appendNumber(out, (t.tm_yday + 7 - (wday + 6) % 7) / 7, 2, alt);
                break;
            case L'x':
                if (alt)
                    out += formatTime(L"%A, %B %#d, %Y", t);
                else
                    out += formatTime(L"%m/%d/%y", t);
                break;
            case L'X':
                out += formatTime(L"%H:%M:%S", t);
                break;
            case L'y':
                appendNumber(out, ((year % 100) + 100) % 100, 2, alt);
                break;
            case L'Y':
                appendNumber(out, year, 4, alt);
                break;
            case L'%':
                out += L'%';
                break;
            default:
                // Not a code: the text stands as written.
                if (c == L'\0') {
                    out.append(start, p);
                    return out;
                }
                out.append(start, p + 1);
                break;
        }
    }
    return out;
}

} // namespace classlib

// ---------------------------------------------------------------- CTimeSpan, CTime

CTimeSpan::CTimeSpan(LONG days, int hours, int minutes, int seconds)
    : m_span(static_cast<time_t>(days) * 86400 + static_cast<time_t>(hours) * 3600 + static_cast<time_t>(minutes) * 60 +
             seconds) {}

namespace {

std::wstring formatSpan(const wchar_t* format, long long days, long long hours, long long minutes, long long seconds) {
    std::wstring out;
    for (const wchar_t* p = format ? format : L""; *p; ++p) {
        if (*p != L'%' || p[1] == L'\0') {
            out += *p;
            continue;
        }
        switch (*++p) {
            case L'D':
                appendNumber(out, days, 1, false);
                break;
            case L'H':
                appendNumber(out, hours, 2, false);
                break;
            case L'M':
                appendNumber(out, minutes, 2, false);
                break;
            case L'S':
                appendNumber(out, seconds, 2, false);
                break;
            case L'%':
                out += L'%';
                break;
            default:
                out += L'%';
                out += *p;
                break;
        }
    }
    return out;
}

} // namespace

CString CTimeSpan::Format(LPCTSTR format) const {
    return CString(formatSpan(format, GetDays(), GetHours(), GetMinutes(), GetSeconds()).c_str());
}

CTime::CTime(int year, int month, int day, int hour, int minute, int second, int dst) {
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59)
        AfxThrowInvalidArgException();
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = dst;
    m_time = mktime(&t);
    if (m_time == static_cast<time_t>(-1)) AfxThrowInvalidArgException();
}

CTime CTime::GetCurrentTime() {
    return CTime(time(nullptr));
}

std::tm CTime::local() const {
    std::tm t{};
    localtime_r(&m_time, &t);
    return t;
}

int CTime::GetYear() const {
    return local().tm_year + 1900;
}
int CTime::GetMonth() const {
    return local().tm_mon + 1;
}
int CTime::GetDay() const {
    return local().tm_mday;
}
int CTime::GetHour() const {
    return local().tm_hour;
}
int CTime::GetMinute() const {
    return local().tm_min;
}
int CTime::GetSecond() const {
    return local().tm_sec;
}
int CTime::GetDayOfWeek() const {
    return local().tm_wday + 1;
}

CString CTime::Format(LPCTSTR format) const {
    return CString(classlib::formatTime(format, local()).c_str());
}

CString CTime::FormatGmt(LPCTSTR format) const {
    std::tm t{};
    gmtime_r(&m_time, &t);
    return CString(classlib::formatTime(format, t).c_str());
}

// ---------------------------------------------------------------- COleDateTimeSpan

long long COleDateTimeSpan::totalSeconds() const {
    return std::llround(m_span * 86400.0);
}
LONG COleDateTimeSpan::GetDays() const {
    return static_cast<LONG>(totalSeconds() / kSecondsPerDay);
}
LONG COleDateTimeSpan::GetHours() const {
    return static_cast<LONG>(totalSeconds() / 3600 % 24);
}
LONG COleDateTimeSpan::GetMinutes() const {
    return static_cast<LONG>(totalSeconds() / 60 % 60);
}
LONG COleDateTimeSpan::GetSeconds() const {
    return static_cast<LONG>(totalSeconds() % 60);
}

void COleDateTimeSpan::SetDateTimeSpan(LONG days, int hours, int minutes, int seconds) {
    m_span = days + hours / 24.0 + minutes / 1440.0 + seconds / 86400.0;
    m_status = valid;
}

CString COleDateTimeSpan::Format(LPCTSTR format) const {
    if (m_status == null) return CString();
    if (m_status != valid) return CString(L"Invalid DateTimeSpan");
    return CString(formatSpan(format, GetDays(), GetHours(), GetMinutes(), GetSeconds()).c_str());
}

COleDateTimeSpan COleDateTimeSpan::operator+(const COleDateTimeSpan& o) const {
    COleDateTimeSpan r(m_span + o.m_span);
    if (m_status != valid || o.m_status != valid)
        r.m_status = (m_status == null || o.m_status == null) ? null : invalid;
    return r;
}

COleDateTimeSpan COleDateTimeSpan::operator-(const COleDateTimeSpan& o) const {
    return *this + (-o);
}

COleDateTimeSpan COleDateTimeSpan::operator-() const {
    COleDateTimeSpan r(-m_span);
    r.m_status = m_status;
    return r;
}

// ---------------------------------------------------------------- COleDateTime

COleDateTime::COleDateTime(DATE value) {
    *this = value;
}

COleDateTime& COleDateTime::operator=(DATE value) {
    m_dt = value;
    m_status = inRange(value) ? valid : invalid;
    return *this;
}

COleDateTime& COleDateTime::operator=(time_t value) {
    std::tm t{};
    if (!localtime_r(&value, &t)) {
        m_dt = 0;
        m_status = invalid;
        return *this;
    }
    SetDateTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return *this;
}

COleDateTime COleDateTime::GetCurrentTime() {
    return COleDateTime(time(nullptr));
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour < 0 ||
        hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        m_dt = 0;
        m_status = invalid;
        return 1;
    }
    const double days = static_cast<double>(
        daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kDay0FromEpoch);
    const double time = (hour * 3600 + minute * 60 + second) / 86400.0;
    m_dt = fromLinear(days + time);
    m_status = valid;
    return 0;
}

bool COleDateTime::fields(std::tm& out) const {
    if (m_status != valid || !inRange(m_dt)) return false;
    const long long total = std::llround(toLinear(m_dt) * 86400.0);
    const long long days = floorDiv(total, kSecondsPerDay);
    const long long secs = total - days * kSecondsPerDay;
    int y = 0, m = 0, d = 0;
    civilFromDays(days + kDay0FromEpoch, y, m, d);
    out = std::tm{};
    out.tm_year = y - 1900;
    out.tm_mon = m - 1;
    out.tm_mday = d;
    out.tm_hour = static_cast<int>(secs / 3600);
    out.tm_min = static_cast<int>(secs / 60 % 60);
    out.tm_sec = static_cast<int>(secs % 60);
    out.tm_wday = static_cast<int>(((days % 7) + 7 + 6) % 7); // day 0 was a Saturday
    out.tm_yday = static_cast<int>(days + kDay0FromEpoch - daysFromCivil(y, 1, 1));
    return true;
}

int COleDateTime::GetYear() const {
    std::tm t;
    return fields(t) ? t.tm_year + 1900 : -1;
}
int COleDateTime::GetMonth() const {
    std::tm t;
    return fields(t) ? t.tm_mon + 1 : -1;
}
int COleDateTime::GetDay() const {
    std::tm t;
    return fields(t) ? t.tm_mday : -1;
}
int COleDateTime::GetHour() const {
    std::tm t;
    return fields(t) ? t.tm_hour : -1;
}
int COleDateTime::GetMinute() const {
    std::tm t;
    return fields(t) ? t.tm_min : -1;
}
int COleDateTime::GetSecond() const {
    std::tm t;
    return fields(t) ? t.tm_sec : -1;
}
int COleDateTime::GetDayOfWeek() const {
    std::tm t;
    return fields(t) ? t.tm_wday + 1 : -1;
}
int COleDateTime::GetDayOfYear() const {
    std::tm t;
    return fields(t) ? t.tm_yday + 1 : -1;
}

CString COleDateTime::Format(LPCTSTR format) const {
    if (m_status == null) return CString();
    std::tm t;
    if (!fields(t)) return CString(L"Invalid DateTime");
    return CString(classlib::formatTime(format, t).c_str());
}

CString COleDateTime::Format(DWORD flags, DWORD) const {
    if (m_status == null) return CString();
    std::tm t;
    if (!fields(t)) return CString(L"Invalid DateTime");
    const bool dayZero = std::trunc(m_dt) == 0;
    const bool midnight = t.tm_hour == 0 && t.tm_min == 0 && t.tm_sec == 0;
    std::wstring out;
    if ((flags & VAR_TIMEVALUEONLY) == 0 && (!dayZero || (flags & VAR_DATEVALUEONLY)))
        out = classlib::formatTime(L"%#m/%#d/%Y", t);
    if ((flags & VAR_DATEVALUEONLY) == 0 && (!midnight || (flags & VAR_TIMEVALUEONLY) || dayZero)) {
        if (!out.empty()) out += L' ';
        out += classlib::formatTime(L"%#I:%M:%S %p", t);
    }
    return CString(out.c_str());
}

namespace {

struct Token {
    enum Kind { Number, Word, Sep } kind;
    std::wstring text;
    long long value = 0;
};

int monthFromWord(const std::wstring& w) {
    if (w.size() < 3) return 0;
    for (int i = 0; i < 12; ++i) {
        std::wstring name(kMonthNames[i]);
        for (auto& c : name) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        if (name.compare(0, w.size(), w) == 0 || (w == L"sept" && i == 8)) return i + 1;
    }
    return 0;
}

bool isDayWord(const std::wstring& w) {
    if (w.size() < 3) return false;
    for (const wchar_t* name : kDayNames) {
        std::wstring n(name);
        for (auto& c : n) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
        if (n.compare(0, w.size(), w) == 0) return true;
    }
    return false;
}

int windowYear(const Token& t) {
    if (t.text.size() <= 2) return static_cast<int>(t.value < 30 ? 2000 + t.value : 1900 + t.value);
    return static_cast<int>(t.value);
}

} // namespace

bool COleDateTime::ParseDateTime(LPCTSTR text, DWORD flags, DWORD) {
    auto fail = [this] {
        m_dt = 0;
        m_status = invalid;
        return false;
    };
    std::vector<Token> tokens;
    for (const wchar_t* p = text ? text : L""; *p;) {
        const wchar_t c = *p;
        if (c >= L'0' && c <= L'9') {
            Token t{Token::Number, L""};
            while (*p >= L'0' && *p <= L'9') {
                t.text += *p++;
                if (t.text.size() > 9) return fail();
            }
            t.value = std::stoll(t.text);
            tokens.push_back(t);
        } else if (std::iswalpha(static_cast<wint_t>(c))) {
            Token t{Token::Word, L""};
            while (std::iswalpha(static_cast<wint_t>(*p)))
                t.text += static_cast<wchar_t>(std::towlower(static_cast<wint_t>(*p++)));
            tokens.push_back(t);
        } else if (c == L' ' || c == L'\t' || c == L',') {
            ++p;
        } else if (c == L'/' || c == L'-' || c == L'.' || c == L':') {
            tokens.push_back(Token{Token::Sep, std::wstring(1, c)});
            ++p;
        } else {
            return fail();
        }
    }

    // The time: h:mm[:ss[.fff]] [am|pm].
    bool hasTime = false;
    int hour = 0, minute = 0, second = 0;
    for (size_t i = 0; i + 2 < tokens.size(); ++i) {
        if (tokens[i].kind != Token::Number || tokens[i + 1].text != L":" || tokens[i + 2].kind != Token::Number)
            continue;
        size_t end = i + 3;
        hour = static_cast<int>(tokens[i].value);
        minute = static_cast<int>(tokens[i + 2].value);
        if (end + 1 < tokens.size() && tokens[end].text == L":" && tokens[end + 1].kind == Token::Number) {
            second = static_cast<int>(tokens[end + 1].value);
            end += 2;
            if (end + 1 < tokens.size() && tokens[end].text == L"." && tokens[end + 1].kind == Token::Number)
                end += 2; // fractions of a second are dropped
        }
        if (end < tokens.size() && (tokens[end].text == L"am" || tokens[end].text == L"pm")) {
            if (hour < 1 || hour > 12) return fail();
            hour = hour % 12 + (tokens[end].text == L"pm" ? 12 : 0);
            ++end;
        }
        // A 'T' joining an ISO date to its time.
        if (i > 0 && tokens[i - 1].text == L"t") {
            tokens.erase(tokens.begin() + static_cast<long>(i) - 1);
            --i;
            --end;
        }
        tokens.erase(tokens.begin() + static_cast<long>(i), tokens.begin() + static_cast<long>(end));
        hasTime = true;
        break;
    }

    // The date: what is left.
    std::vector<Token> numbers;
    int month = 0;
    wchar_t separator = 0;
    for (const Token& t : tokens) {
        if (t.kind == Token::Number) {
            numbers.push_back(t);
        } else if (t.kind == Token::Sep) {
            if (t.text == L":") return fail();
            if (!separator) separator = t.text[0];
        } else if (int m = monthFromWord(t.text)) {
            if (month) return fail();
            month = m;
        } else if (!isDayWord(t.text)) {
            return fail();
        }
    }

    int year = 1899, day = 30;
    const bool hasDate = month != 0 || !numbers.empty();
    if (month) {
        std::tm now{};
        const time_t clock = time(nullptr);
        localtime_r(&clock, &now);
        auto isYear = [](const Token& t) { return t.text.size() >= 3 || t.value > 31; };
        if (numbers.size() == 2) {
            const bool yearFirst = isYear(numbers[0]);
            day = static_cast<int>(numbers[yearFirst ? 1 : 0].value);
            year = windowYear(numbers[yearFirst ? 0 : 1]);
        } else if (numbers.size() == 1 && isYear(numbers[0])) {
            day = 1;
            year = windowYear(numbers[0]);
        } else if (numbers.size() == 1) {
            day = static_cast<int>(numbers[0].value);
            year = now.tm_year + 1900;
        } else {
            return fail();
        }
    } else if (numbers.size() == 3) {
        const Token& a = numbers[0];
        const Token& b = numbers[1];
        const Token& c = numbers[2];
        if (a.text.size() >= 3 || a.value > 31) { // year first: 2014-10-03
            year = windowYear(a);
            month = static_cast<int>(b.value);
            day = static_cast<int>(c.value);
        } else if (separator == L'.' || (a.value > 12 && b.value <= 12)) { // day first: 03.10.2014, 25/12/2014
            day = static_cast<int>(a.value);
            month = static_cast<int>(b.value);
            year = windowYear(c);
        } else { // month first: 10/03/2014
            month = static_cast<int>(a.value);
            day = static_cast<int>(b.value);
            year = windowYear(c);
        }
    } else if (!numbers.empty()) {
        return fail();
    } else {
        month = 12;
    }
    if (!hasDate && !hasTime) return fail();
    if (flags & VAR_TIMEVALUEONLY) {
        year = 1899;
        month = 12;
        day = 30;
    }
    if (flags & VAR_DATEVALUEONLY) hour = minute = second = 0;
    if (SetDateTime(year, month, day, hour, minute, second) != 0) return fail();
    return true;
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& s) const {
    COleDateTime r;
    if (m_status == null || s.m_status == COleDateTimeSpan::null) {
        r.m_status = null;
        return r;
    }
    if (m_status != valid || s.m_status != COleDateTimeSpan::valid) {
        r.m_status = invalid;
        return r;
    }
    r = fromLinear(toLinear(m_dt) + s.m_span);
    return r;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& s) const {
    return *this + (-s);
}

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& o) const {
    COleDateTimeSpan r(toLinear(m_dt) - toLinear(o.m_dt));
    if (m_status != valid || o.m_status != valid)
        r.m_status = (m_status == null || o.m_status == null) ? COleDateTimeSpan::null : COleDateTimeSpan::invalid;
    return r;
}

bool COleDateTime::operator<(const COleDateTime& o) const {
    return toLinear(m_dt) < toLinear(o.m_dt);
}
