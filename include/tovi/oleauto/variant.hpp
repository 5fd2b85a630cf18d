/// @file
/// VARIANT, its services and _variant_t: tovi's universal value carrier.
///
/// The C-style services are noexcept and return HRESULTs; _variant_t is the one
/// place that turns a failed service call into a _com_error.
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

/// A typed value of OLE Automation: the type code `vt` and the value, laid out as
/// on the platform.
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
        DECIMAL decVal;  ///< its first 16 bits are vt: set vt after decVal
    };
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

/// The platform's name for a VARIANT passed as an argument.
using VARIANTARG = VARIANT;

/// Makes the variant VT_EMPTY without freeing anything it held.
TOVI_API void VariantInit(VARIANT* pvarg) noexcept;
/// Frees what the variant owns (BSTR, array) and makes it VT_EMPTY.
TOVI_API HRESULT VariantClear(VARIANT* pvarg) noexcept;
/// Clears `dest`, then makes it a deep copy of `src`.
TOVI_API HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) noexcept;
/// Converts `src` to type `vt` into `dest` (which may be `src`). wFlags must be 0.
/// Numbers round half to even; out of range fails with DISP_E_OVERFLOW; text that
/// is not a number (or date) and pairs not converted fail with DISP_E_TYPEMISMATCH.
/// Text is read and written in the C locale. On failure `dest` is unchanged.
TOVI_API HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT wFlags,
                                   VARTYPE vt) noexcept;

/// Owns a VARIANT: copies are deep, the destructor clears it. Throws _com_error when
/// a service fails.
class TOVI_API _variant_t : public VARIANT {
public:
    /// VT_EMPTY.
    _variant_t() noexcept;
    /// A deep copy of `src`; a move takes it over and leaves `src` VT_EMPTY.
    ///@{
    _variant_t(const VARIANT& src);
    _variant_t(const _variant_t& src);
    _variant_t(_variant_t&& src) noexcept;
    ///@}
    /// Takes `src` over (copy = false; `src` is left VT_EMPTY) or copies it.
    _variant_t(VARIANT& src, bool copy);
    /// VT_I2 (or VT_BOOL when asked).
    _variant_t(short value, VARTYPE vt = VT_I2);
    /// VT_I4 (or another integer type when asked).
    _variant_t(int value, VARTYPE vt = VT_I4);
    /// VT_I4 when the value fits in 32 bits, else VT_I8 (long is 64 bits here).
    _variant_t(long value, VARTYPE vt = VT_I4);
    _variant_t(long long value);       ///< VT_I8
    _variant_t(unsigned char value);   ///< VT_UI1
    _variant_t(char value);            ///< VT_I1
    _variant_t(unsigned short value);  ///< VT_UI2
    _variant_t(unsigned int value);    ///< VT_UI4
    _variant_t(float value);           ///< VT_R4
    /// VT_R8, or VT_DATE when asked.
    _variant_t(double value, VARTYPE vt = VT_R8);
    _variant_t(bool value);            ///< VT_BOOL
    _variant_t(const DECIMAL& value);  ///< VT_DECIMAL
    /// VT_BSTR holding a copy of the text.
    ///@{
    _variant_t(const char* text);
    _variant_t(const wchar_t* text);
    _variant_t(const _bstr_t& text);
    ///@}
    ~_variant_t();

    /// Clears this variant, then copies `src` deeply (or takes it over).
    ///@{
    _variant_t& operator=(const VARIANT& src);
    _variant_t& operator=(const _variant_t& src);
    _variant_t& operator=(_variant_t&& src) noexcept;
    ///@}

    /// Converts in place (or from `src` into this) with VariantChangeType.
    void ChangeType(VARTYPE vt, const _variant_t* src = nullptr);
    /// VariantClear: frees what it holds; VT_EMPTY after.
    void Clear();
    /// Gives up the value: the caller clears the result; this becomes VT_EMPTY.
    VARIANT Detach() noexcept;
    /// Clears this variant and takes `src` over; `src` is left VT_EMPTY.
    void Attach(VARIANT& src) noexcept;
    /// Clears this variant and makes it VT_BSTR holding a copy of `text`.
    void SetString(const char* text);

    /// Conversions through ChangeType; throw _com_error when it fails.
    ///@{
    operator long() const;
    operator double() const;
    operator bool() const;
    operator _bstr_t() const;
    ///@}
};

#endif
