/// @file
/// BSTR services and _bstr_t. A BSTR is wide text (wchar_t, 32 bits here) with
/// its length stored in front of it; it may hold NUL characters. A null BSTR is
/// the empty text.
#ifndef TOVI_OLEAUTO_BSTR_HPP
#define TOVI_OLEAUTO_BSTR_HPP

#include <string>

#include <tovi/config.hpp>
#include <tovi/oleauto/types.hpp>

/// A new BSTR holding the NUL-terminated `text`; null when out of memory.
TOVI_API BSTR SysAllocString(const OLECHAR* text) noexcept;
/// A new BSTR of `len` characters of `text` (NUL characters when `text` is null);
/// null when out of memory.
TOVI_API BSTR SysAllocStringLen(const OLECHAR* text, UINT len) noexcept;
/// `len` BYTES of `bytes`, stored as they are (no conversion).
TOVI_API BSTR SysAllocStringByteLen(const char* bytes, UINT len) noexcept;
/// Frees a BSTR; a null one is ignored.
TOVI_API void SysFreeString(BSTR text) noexcept;
/// Length in characters; 0 for a null BSTR.
TOVI_API UINT SysStringLen(BSTR text) noexcept;
/// Length in bytes; 0 for a null BSTR.
TOVI_API UINT SysStringByteLen(BSTR text) noexcept;

/// Owns one BSTR; copies are deep. Converts from and to the multibyte text of
/// the "ANSI code page" (UTF-8 here). Throws _com_error(E_OUTOFMEMORY) when an
/// allocation fails.
class TOVI_API _bstr_t {
public:
    _bstr_t() noexcept = default;
    /// Copies multibyte text (implicit, like the platform's).
    _bstr_t(const char* text);  // NOLINT
    /// Copies wide text.
    _bstr_t(const wchar_t* text);
    /// Copies multibyte text, embedded NULs included.
    _bstr_t(const std::string& text);
    /// Takes `text` over (copy = false) or copies it.
    _bstr_t(BSTR text, bool copy);
    /// Deep copies; a move takes the text over and leaves `other` empty.
    ///@{
    _bstr_t(const _bstr_t& other);
    _bstr_t(_bstr_t&& other) noexcept;
    _bstr_t& operator=(const _bstr_t& other);
    _bstr_t& operator=(_bstr_t&& other) noexcept;
    ///@}
    ~_bstr_t();

    /// Characters, not bytes.
    UINT length() const noexcept { return SysStringLen(bstr_); }
    /// The owned BSTR (may be null), still owned.
    BSTR GetBSTR() const noexcept { return bstr_; }
    /// A new copy the caller frees with SysFreeString.
    BSTR copy() const;
    /// Gives up ownership.
    BSTR Detach() noexcept;
    /// Frees the owned text and takes `text` over.
    void Attach(BSTR text) noexcept;

    /// Never null: the empty text for a null BSTR.
    operator const wchar_t*() const noexcept;
    /// The whole text as multibyte text (embedded NULs kept).
    std::string str() const;

    /// Compares the texts character by character (a null BSTR equals the empty text).
    ///@{
    bool operator==(const _bstr_t& other) const noexcept;
    bool operator!=(const _bstr_t& other) const noexcept { return !(*this == other); }
    ///@}

private:
    BSTR bstr_ = nullptr;
};

#endif
