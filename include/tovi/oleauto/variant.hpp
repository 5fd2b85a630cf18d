// VARIANT, its services and _variant_t: tovi's universal value carrier.
//
// The C-style services are noexcept and return HRESULTs; _variant_t is the one
// place that turns a failed service call into a _com_error.
#ifndef TOVI_OLEAUTO_VARIANT_HPP
#define TOVI_OLEAUTO_VARIANT_HPP

#include <string>

#include <tovi/config.hpp>
#include <tovi/oleauto/bstr.hpp>
#include <tovi/oleauto/types.hpp>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"  // anonymous structs, as the platform has
#endif

struct VARIANT {
    union {
        struct {
            VARTYPE vt;
            WORD wReserved1;
            WORD wReserved2;
            WORD wReserved3;
            union {
                LONGLONG llVal;
                LONG lVal;
                BYTE bVal;
                SHORT iVal;
                FLOAT fltVal;
                DOUBLE dblVal;
                VARIANT_BOOL boolVal;
                SCODE scode;
                CY cyVal;
                DATE date;
                BSTR bstrVal;
                IUnknown* punkVal;
                SAFEARRAY* parray;
                CHAR cVal;
                USHORT uiVal;
                ULONG ulVal;
                ULONGLONG ullVal;
                INT intVal;
                UINT uintVal;
            };
        };
        DECIMAL decVal;  // its first 16 bits are vt: set vt after decVal
    };
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

using VARIANTARG = VARIANT;

TOVI_API void VariantInit(VARIANT* pvarg) noexcept;
// Frees what the variant owns (BSTR, array) and makes it VT_EMPTY.
TOVI_API HRESULT VariantClear(VARIANT* pvarg) noexcept;
// Clears `dest`, then makes it a deep copy of `src`.
TOVI_API HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) noexcept;
// Converts `src` to type `vt` into `dest` (which may be `src`). wFlags must be 0.
// Numbers round half to even; out of range fails with DISP_E_OVERFLOW; text that
// is not a number (or date) and pairs not converted fail with DISP_E_TYPEMISMATCH.
// Text is read and written in the C locale. On failure `dest` is unchanged.
TOVI_API HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT wFlags,
                                   VARTYPE vt) noexcept;

class TOVI_API _variant_t : public VARIANT {
public:
    _variant_t() noexcept;
    _variant_t(const VARIANT& src);
    _variant_t(const _variant_t& src);
    _variant_t(_variant_t&& src) noexcept;
    // Takes `src` over (copy = false; `src` is left VT_EMPTY) or copies it.
    _variant_t(VARIANT& src, bool copy);
    _variant_t(short value, VARTYPE vt = VT_I2);
    _variant_t(int value, VARTYPE vt = VT_I4);
    // VT_I4 when the value fits in 32 bits, else VT_I8 (long is 64 bits here).
    _variant_t(long value, VARTYPE vt = VT_I4);
    _variant_t(long long value);
    _variant_t(unsigned char value);
    _variant_t(char value);
    _variant_t(unsigned short value);
    _variant_t(unsigned int value);
    _variant_t(float value);
    // VT_R8, or VT_DATE when asked.
    _variant_t(double value, VARTYPE vt = VT_R8);
    _variant_t(bool value);
    _variant_t(const DECIMAL& value);
    _variant_t(const char* text);
    _variant_t(const wchar_t* text);
    _variant_t(const _bstr_t& text);
    ~_variant_t();

    _variant_t& operator=(const VARIANT& src);
    _variant_t& operator=(const _variant_t& src);
    _variant_t& operator=(_variant_t&& src) noexcept;

    // Converts in place (or from `src` into this) with VariantChangeType.
    void ChangeType(VARTYPE vt, const _variant_t* src = nullptr);
    void Clear();
    VARIANT Detach() noexcept;
    void Attach(VARIANT& src) noexcept;
    void SetString(const char* text);

    // Conversions through ChangeType; throw _com_error when it fails.
    operator long() const;
    operator double() const;
    operator bool() const;
    operator _bstr_t() const;
};

#endif
