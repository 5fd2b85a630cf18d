/// @file
/// Conversions between the forms a date takes: a C `tm`, a time_t (seconds since
/// 1970 UTC, through local time), an OLE Automation date (days since 30 December
/// 1899) and text ("2004-Feb-29 13:05:00").
///
/// The numeric conversions throw tovi::bad_value_conversion when a value cannot be
/// represented. The text conversions throw std::out_of_range (the date library's
/// own errors: year, month and day out of range, a day not in its month, text that
/// does not parse). Local time follows the process's TZ setting.
#ifndef TOVI_DATE_CONV_HPP
#define TOVI_DATE_CONV_HPP

#include <ctime>
#include <string>

#include <tovi/config.hpp>

namespace tovi {

/// mktime of `t` as local time (`t` itself is not changed).
TOVI_API long tm2time_t(const tm& t);
/// localtime of `t`, all nine fields; `out` is unchanged on failure.
TOVI_API void time_t2tm(const long& t, tm& out);
/// The OLE Automation date of `t`'s date and time of day.
TOVI_API double tm2double_time(const tm& t);
/// Date and time of day of `d` into `out`; tm_wday, tm_yday and tm_isdst keep
/// the values `out` had.
TOVI_API void double_time2tm(double d, tm& out);
/// `d` read as local time (daylight saving decided by the C library).
TOVI_API long double_time2time_t(double d);
/// The platform's date (days since 30 December 1899) of the calendar time `t`, as local time.
TOVI_API double time_t2double_time(const long& t);
/// "YYYY-Mon-DD HH:MM:SS"; tm_wday, tm_yday and tm_isdst are ignored.
TOVI_API std::string tm2string(const tm& t);
/// Parses "YYYY-MM-DD HH:MM:SS[.fff]" (numeric or English three-letter month);
/// fills all nine fields, tm_isdst = -1.
TOVI_API void string2tm(const std::string& s, tm& out);

}  // namespace tovi

#endif
