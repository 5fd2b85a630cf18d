/// @file
/// tovi's OLE Automation stand-in: the platform's basic types, type codes and
/// result codes, at global scope with the platform's names and values, so that
/// code written against OLE Automation compiles unchanged. Only what tovi uses.
#ifndef TOVI_OLEAUTO_TYPES_HPP
#define TOVI_OLEAUTO_TYPES_HPP

#include <cstdint>

/// The platform's scalar types, with its names and sizes.
///@{
using BYTE = std::uint8_t;
using CHAR = char;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using INT = int;
using UINT = unsigned int;
using LONG = std::int32_t;  ///< 32 bits, as on the platform; C++ `long` is 64 here
using ULONG = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using FLOAT = float;
using DOUBLE = double;
using HRESULT = std::int32_t;
using SCODE = std::int32_t;
using PVOID = void*;
using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
///@}
/// Length-prefixed wide text; a null BSTR is the empty text.
using BSTR = OLECHAR*;
/// A VARIANT's type code (VARENUM values).
using VARTYPE = std::uint16_t;
/// A VARIANT's boolean: VARIANT_TRUE or VARIANT_FALSE.
using VARIANT_BOOL = std::int16_t;
/// Days since 30 December 1899; the fraction is the time of day.
using DATE = double;

struct IUnknown;  ///< opaque: tovi creates no COM objects of its own

constexpr VARIANT_BOOL VARIANT_TRUE = -1;  ///< true, all bits set
constexpr VARIANT_BOOL VARIANT_FALSE = 0;  ///< false

/// The VARIANT type codes tovi uses, with the platform's values.
enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_ARRAY = 0x2000,
    VT_TYPEMASK = 0xfff,
};

/// Result codes, with the platform's values.
///@{
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
constexpr HRESULT DISP_E_OVERFLOW = static_cast<HRESULT>(0x8002000Au);
constexpr HRESULT DISP_E_BADINDEX = static_cast<HRESULT>(0x8002000Bu);
constexpr HRESULT DISP_E_ARRAYISLOCKED = static_cast<HRESULT>(0x8002000Du);
///@}

/// True for a success code (S_OK, S_FALSE).
constexpr bool SUCCEEDED(HRESULT hr) {
    return hr >= 0;
}
/// True for a failure code.
constexpr bool FAILED(HRESULT hr) {
    return hr < 0;
}

/// A fixed-point number: 96-bit magnitude, a power-of-ten scale (0 to 28) and a sign.
/// Its first 16 bits overlay VARIANT's type code, as on the platform.
struct DECIMAL {
    USHORT wReserved;  ///< VARIANT's type code when inside one
    BYTE scale;        ///< the power of ten to divide by
    BYTE sign;         ///< DECIMAL_NEG or 0
    ULONG Hi32;        ///< the magnitude's top 32 bits
    ULONGLONG Lo64;    ///< the magnitude's low 64 bits
};
constexpr BYTE DECIMAL_NEG = 0x80;  ///< DECIMAL::sign of a negative number

/// Currency: a 64-bit integer scaled by 10000.
union CY {
    LONGLONG int64;  ///< the amount times 10000
};

/// Calendar fields of an instant, as the platform lays them out.
struct SYSTEMTIME {
    WORD wYear;          ///< e.g. 2004
    WORD wMonth;         ///< 1 to 12
    WORD wDayOfWeek;     ///< 0 = Sunday
    WORD wDay;           ///< 1 to 31
    WORD wHour;          ///< 0 to 23
    WORD wMinute;        ///< 0 to 59
    WORD wSecond;        ///< 0 to 59
    WORD wMilliseconds;  ///< 0 to 999
};
using LPSYSTEMTIME = SYSTEMTIME*;  ///< the platform's pointer name

/// The extent of one dimension of a SAFEARRAY.
struct SAFEARRAYBOUND {
    ULONG cElements;  ///< number of elements
    LONG lLbound;     ///< index of the first
};

/// A self-describing array (one dimension here); made and freed by the SafeArray* services.
struct SAFEARRAY {
    USHORT cDims;                 ///< number of dimensions: 1
    USHORT fFeatures;             ///< the element type's feature flags
    ULONG cbElements;             ///< size of one element in bytes
    ULONG cLocks;                 ///< SafeArrayAccessData calls not yet undone
    PVOID pvData;                 ///< the elements
    SAFEARRAYBOUND rgsabound[1];  ///< the extent of each dimension
};

#endif
