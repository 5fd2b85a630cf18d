/// @file
/// Text conversions between tovi's 8-bit text (the "ANSI code page": UTF-8 here),
/// wide text (wchar_t, UTF-32) and UTF-16 code units (what 16-bit wide APIs use).
/// Bytes that are not valid UTF-8 become U+DC80..U+DCFF and turn back into the
/// same bytes, so text survives a round trip whatever it holds.
#ifndef TOVI_OLEAUTO_TEXT_CODEC_HPP
#define TOVI_OLEAUTO_TEXT_CODEC_HPP

#include <cstddef>
#include <string>

#include <tovi/config.hpp>

namespace tovi {

/// `bytes` bytes of 8-bit text as wide text.
TOVI_API std::wstring mb_to_wide(const char* text, std::size_t bytes);
/// `chars` wide characters as 8-bit text.
TOVI_API std::string wide_to_mb(const wchar_t* text, std::size_t chars);
/// `bytes` bytes of 8-bit text as UTF-16 code units.
TOVI_API std::u16string mb_to_utf16(const char* text, std::size_t bytes);
/// `units` UTF-16 code units as 8-bit text.
TOVI_API std::string utf16_to_mb(const char16_t* text, std::size_t units);

/// The whole of `text` as wide text.
inline std::wstring mb_to_wide(const std::string& text) {
    return mb_to_wide(text.data(), text.size());
}
/// The whole of `text` as 8-bit text.
inline std::string wide_to_mb(const std::wstring& text) {
    return wide_to_mb(text.data(), text.size());
}

}  // namespace tovi

#endif
