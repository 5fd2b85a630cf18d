// Date conversions: C library local time, OLE Automation dates, boost text forms.
#include <tovi/date_conv.hpp>
#include <tovi/exception.hpp>
#include <tovi/oleauto/variant_time.hpp>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <stdexcept>

namespace tovi {

namespace {

SYSTEMTIME system_time_from_tm(const tm& t) {
    SYSTEMTIME st{};
    // Out-of-range fields must fail, not wrap into a valid WORD.
    auto field = [](long v) {
        if (v < 0 || v > 0xFFFF) throw bad_value_conversion();
        return static_cast<WORD>(v);
    };
    st.wYear = field(t.tm_year + 1900L);
    st.wMonth = field(t.tm_mon + 1L);
    st.wDay = field(t.tm_mday);
    st.wHour = field(t.tm_hour);
    st.wMinute = field(t.tm_min);
    st.wSecond = field(t.tm_sec);
    return st;
}

double system_time_to_double(SYSTEMTIME st) {
    double d = 0;
    if (!SystemTimeToVariantTime(&st, &d)) throw bad_value_conversion();
    return d;
}

SYSTEMTIME double_to_system_time(double d) {
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(d, &st)) throw bad_value_conversion();
    return st;
}

}  // namespace

long tm2time_t(const tm& t) {
    tm copy = t;
    // -1 is also one second before the epoch: only a failed call leaves the
    // weekday unset.
    copy.tm_wday = -1;
    const std::time_t result = std::mktime(&copy);
    if (result == static_cast<std::time_t>(-1) && copy.tm_wday == -1) throw bad_value_conversion();
    return static_cast<long>(result);
}

void time_t2tm(const long& t, tm& out) {
    const std::time_t when = static_cast<std::time_t>(t);
    tm local{};
    if (localtime_r(&when, &local) == nullptr) throw bad_value_conversion();
    out = local;
}

double tm2double_time(const tm& t) {
    return system_time_to_double(system_time_from_tm(t));
}

void double_time2tm(double d, tm& out) {
    const SYSTEMTIME st = double_to_system_time(d);
    out.tm_year = st.wYear - 1900;
    out.tm_mon = st.wMonth - 1;
    out.tm_mday = st.wDay;
    out.tm_hour = st.wHour;
    out.tm_min = st.wMinute;
    out.tm_sec = st.wSecond;
}

long double_time2time_t(double d) {
    const SYSTEMTIME st = double_to_system_time(d);
    tm local{};
    local.tm_year = st.wYear - 1900;
    local.tm_mon = st.wMonth - 1;
    local.tm_mday = st.wDay;
    local.tm_hour = st.wHour;
    local.tm_min = st.wMinute;
    local.tm_sec = st.wSecond;
    local.tm_isdst = -1;
    return tm2time_t(local);
}

double time_t2double_time(const long& t) {
    tm local{};
    time_t2tm(t, local);
    return tm2double_time(local);
}

namespace {
// The date library computes with the fields as they are: extreme values
// overflow inside it. Refuse them first, with the library's own errors.
void check_fields(const tm& t) {
    const long year = t.tm_year + 1900L;
    if (year < 1400 || year > 9999) throw boost::gregorian::bad_year();
    if (t.tm_mon < 0 || t.tm_mon > 11) throw boost::gregorian::bad_month();
    if (t.tm_mday < 1 || t.tm_mday > 31) throw boost::gregorian::bad_day_of_month();
    if (t.tm_hour < 0 || t.tm_hour > 23 || t.tm_min < 0 || t.tm_min > 59 || t.tm_sec < 0 ||
        t.tm_sec > 60)
        throw std::out_of_range("Time of day is out of range 00:00:00..23:59:60");
}

// Digit runs longer than any field (four digits of a year; a fraction of a second
// aside) are no date, and would overflow the parser's integers.
void check_text(const std::string& s) {
    std::size_t run = 0;
    bool fraction = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++run > 4 && !fraction)
                throw std::out_of_range("Cannot parse the date and time text '" + s + "'");
        } else {
            fraction = c == '.';
            run = 0;
        }
    }
}
}  // namespace

std::string tm2string(const tm& t) {
    check_fields(t);
    return boost::posix_time::to_simple_string(boost::posix_time::ptime_from_tm(t));
}

void string2tm(const std::string& s, tm& out) {
    check_text(s);
    boost::posix_time::ptime instant;
    try {
        instant = boost::posix_time::time_from_string(s);
    } catch (const std::out_of_range&) {
        throw;
    } catch (const std::exception&) {
        // The parser reports some malformed texts as a failed lexical cast; every
        // unparsable text is one kind of error to our callers.
        throw std::out_of_range("Cannot parse the date and time text '" + s + "'");
    }
    out = boost::posix_time::to_tm(instant);
}

}  // namespace tovi
