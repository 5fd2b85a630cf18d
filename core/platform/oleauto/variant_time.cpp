// OLE Automation date arithmetic on the proleptic Gregorian calendar.
#include <tovi/oleauto/variant_time.hpp>

#include <cmath>

namespace {

constexpr long seconds_per_day = 86400;
constexpr int min_year = 100;
constexpr int max_year = 9999;

// Days from 1970-01-01 to y-m-d (H. Hinnant's algorithm; valid far beyond our range).
long days_from_civil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void civil_from_days(long z, long& y, unsigned& m, unsigned& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool is_leap(long y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned days_in_month(long y, unsigned m) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : days[m - 1];
}

// Day 0 of OLE Automation dates, counted from 1970-01-01.
const long ole_epoch = days_from_civil(1899, 12, 30);

}  // namespace

INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME st) noexcept {
    if (st == nullptr || !std::isfinite(vtime)) return 0;
    // The first and last representable instants: 1 January 100 and 31 December 9999.
    static const double lowest = static_cast<double>(days_from_civil(min_year, 1, 1) - ole_epoch);
    static const double highest =
        static_cast<double>(days_from_civil(max_year, 12, 31) - ole_epoch + 1);
    if (vtime <= lowest - 1.0 || vtime >= highest) return 0;

    const double whole = std::trunc(vtime);
    long day = static_cast<long>(whole);
    long second = std::lround(std::fabs(vtime - whole) * seconds_per_day);
    if (second >= seconds_per_day) {  // rounded up to the next midnight
        second -= seconds_per_day;
        ++day;
    }
    long year;
    unsigned month, mday;
    civil_from_days(day + ole_epoch, year, month, mday);
    if (year < min_year || year > max_year) return 0;

    st->wYear = static_cast<WORD>(year);
    st->wMonth = static_cast<WORD>(month);
    st->wDay = static_cast<WORD>(mday);
    // 1970-01-01 was a Thursday.
    const long days_since_epoch = day + ole_epoch;
    st->wDayOfWeek = static_cast<WORD>(((days_since_epoch % 7) + 7 + 4) % 7);
    st->wHour = static_cast<WORD>(second / 3600);
    st->wMinute = static_cast<WORD>(second / 60 % 60);
    st->wSecond = static_cast<WORD>(second % 60);
    st->wMilliseconds = 0;
    return 1;
}

INT SystemTimeToVariantTime(LPSYSTEMTIME st, DOUBLE* vtime) noexcept {
    if (st == nullptr || vtime == nullptr) return 0;
    if (st->wYear < min_year || st->wYear > max_year || st->wMonth < 1 || st->wMonth > 12 ||
        st->wDay < 1 || st->wDay > days_in_month(st->wYear, st->wMonth) || st->wHour > 23 ||
        st->wMinute > 59 || st->wSecond > 59)
        return 0;
    const long day = days_from_civil(st->wYear, st->wMonth, st->wDay) - ole_epoch;
    const double fraction =
        static_cast<double>(st->wHour * 3600L + st->wMinute * 60L + st->wSecond) / seconds_per_day;
    // Before day 0 the fraction still counts forward through the day.
    *vtime = day >= 0 ? static_cast<double>(day) + fraction : static_cast<double>(day) - fraction;
    return 1;
}
