/// @file
/// OLE Automation dates: conversions between a DATE and calendar fields.
/// Day 0 is 30 December 1899; a negative date counts days back from it while its
/// fraction still moves forward through the day (-1.25 is 29 December 1899, 06:00).
/// The range is the platform's: years 100 to 9999.
#ifndef TOVI_OLEAUTO_VARIANT_TIME_HPP
#define TOVI_OLEAUTO_VARIANT_TIME_HPP

#include <tovi/config.hpp>
#include <tovi/oleauto/types.hpp>

/// Fills `st` from `vtime`, rounded to the nearest second (milliseconds are 0).
/// Returns non-zero on success and 0 for a date out of range or not a number.
TOVI_API INT VariantTimeToSystemTime(DOUBLE vtime, LPSYSTEMTIME st) noexcept;

/// `*vtime` from the date and time of `st`; wDayOfWeek and wMilliseconds are
/// ignored. Returns non-zero on success and 0 for fields out of range.
TOVI_API INT SystemTimeToVariantTime(LPSYSTEMTIME st, DOUBLE* vtime) noexcept;

#endif
