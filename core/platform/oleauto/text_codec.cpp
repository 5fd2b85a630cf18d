// UTF-8 <-> UTF-32 / UTF-16 with escapes for stray bytes (lossless both ways).
#include <tovi/oleauto/text_codec.hpp>

namespace tovi {

namespace {

constexpr char32_t escape_base = 0xDC00;  // stray byte b becomes U+DC00 + b (b >= 0x80)
constexpr char32_t replacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i]; advances i. Invalid input yields the
// escape of its first byte and advances by one.
char32_t decode_utf8(const unsigned char* text, std::size_t bytes, std::size_t& i) {
    const unsigned char lead = text[i];
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    std::size_t extra;
    char32_t cp;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return escape_base + lead;
    }
    if (bytes - i <= extra) {
        ++i;
        return escape_base + lead;
    }
    for (std::size_t k = 1; k <= extra; ++k) {
        const unsigned char c = text[i + k];
        if ((c & 0xC0) != 0x80) {
            ++i;
            return escape_base + lead;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not valid UTF-8.
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return escape_base + lead;
    }
    i += extra + 1;
    return cp;
}

void encode_utf8(char32_t cp, std::string& out) {
    if (cp >= escape_base + 0x80 && cp <= escape_base + 0xFF) {
        out += static_cast<char>(cp - escape_base);
        return;
    }
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = replacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::wstring mb_to_wide(const char* text, std::size_t bytes) {
    std::wstring out;
    out.reserve(bytes);
    const auto* data = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t i = 0; i < bytes;) out += static_cast<wchar_t>(decode_utf8(data, bytes, i));
    return out;
}

std::string wide_to_mb(const wchar_t* text, std::size_t chars) {
    std::string out;
    out.reserve(chars);
    for (std::size_t i = 0; i < chars; ++i) encode_utf8(static_cast<char32_t>(text[i]), out);
    return out;
}

std::u16string mb_to_utf16(const char* text, std::size_t bytes) {
    std::u16string out;
    out.reserve(bytes);
    const auto* data = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t i = 0; i < bytes;) {
        char32_t cp = decode_utf8(data, bytes, i);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);  // escapes stay single units
        }
    }
    return out;
}

std::string utf16_to_mb(const char16_t* text, std::size_t units) {
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        encode_utf8(cp, out);
    }
    return out;
}

}  // namespace tovi
