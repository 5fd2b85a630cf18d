// tovi's OLE Automation stand-in: the platform's basic types, at global scope
// with the platform's names so that code written against OLE Automation compiles
// unchanged. Only what tovi uses.
#ifndef TOVI_OLEAUTO_TYPES_HPP
#define TOVI_OLEAUTO_TYPES_HPP

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using INT = int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using HRESULT = std::int32_t;
using DOUBLE = double;
// Days since 30 December 1899; the fraction is the time of day.
using DATE = double;

// Calendar fields of an instant, as the platform lays them out.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;      // 1 to 12
    WORD wDayOfWeek;  // 0 = Sunday
    WORD wDay;        // 1 to 31
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

#endif
