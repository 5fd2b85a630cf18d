// VariantChangeType: conversions between the scalar variant types tovi uses,
// with the platform's rules (round half to even, overflow and type-mismatch
// failures) and text in the C locale.
#include <tovi/oleauto/text_codec.hpp>
#include <tovi/oleauto/variant.hpp>
#include <tovi/oleauto/variant_time.hpp>

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

using u128 = unsigned __int128;

// An exact decimal number: (-1)^negative * digits * 10^exponent; digits has no
// leading zeros ("" is zero).
struct number {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

bool is_blank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && is_blank(s[b])) ++b;
    while (e > b && is_blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// [+-] digits [. digits] [(e|E) [+-] digits], surrounded by blanks.
bool parse_number(const std::string& raw, number& out) {
    const std::string s = trimmed(raw);
    std::size_t i = 0;
    number n;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) n.negative = s[i++] == '-';
    bool any_digit = false;
    int fraction_digits = 0;
    bool in_fraction = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            any_digit = true;
            if (!(n.digits.empty() && c == '0')) n.digits += c;
            if (in_fraction) ++fraction_digits;
        } else if (c == '.' && !in_fraction) {
            in_fraction = true;
        } else {
            break;
        }
    }
    if (!any_digit) return false;
    long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool negative_exponent = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative_exponent = s[i++] == '-';
        if (i == s.size() || !std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
            if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
        if (negative_exponent) exponent = -exponent;
    }
    if (i != s.size()) return false;
    // Digits were kept without leading zeros; fraction digits scale them down.
    n.exponent = static_cast<int>(exponent) - fraction_digits;
    if (n.digits.empty()) n.exponent = 0;
    out = n;
    return true;
}

// Rounds half to even to an integer magnitude; false when it exceeds `limit`.
bool round_to_integer(const number& n, u128 limit, u128& magnitude) {
    magnitude = 0;
    if (n.digits.empty()) return true;
    const long length = static_cast<long>(n.digits.size());
    const long integer_digits = length + n.exponent;
    if (integer_digits > 39) return false;
    for (long k = 0; k < integer_digits; ++k) {
        const int d = k < length ? n.digits[static_cast<std::size_t>(k)] - '0' : 0;
        if (magnitude > (limit - static_cast<u128>(d)) / 10) return false;
        magnitude = magnitude * 10 + static_cast<u128>(d);
    }
    if (integer_digits < length) {
        // The dropped part decides: above half rounds up, half rounds to even.
        const long first = integer_digits < 0 ? -1 : integer_digits;
        int decider = first >= 0 ? n.digits[static_cast<std::size_t>(first)] - '0' : 0;
        bool rest_nonzero = false;
        for (long k = (first >= 0 ? first + 1 : 0); k < length; ++k)
            if (n.digits[static_cast<std::size_t>(k)] != '0') rest_nonzero = true;
        if (first < 0) {  // every digit is below the first decimal place
            decider = 0;
            rest_nonzero = true;
        }
        const bool up = decider > 5 || (decider == 5 && (rest_nonzero || (magnitude & 1)));
        if (up) {
            if (magnitude == limit) return false;
            ++magnitude;
        }
    }
    return true;
}

HRESULT number_to_int64(const number& n, long long& out) {
    const u128 limit = n.negative ? u128(1) << 63 : (u128(1) << 63) - 1;
    u128 magnitude;
    if (!round_to_integer(n, limit, magnitude)) return DISP_E_OVERFLOW;
    out = n.negative ? static_cast<long long>(-static_cast<__int128>(magnitude))
                     : static_cast<long long>(magnitude);
    return S_OK;
}

HRESULT number_to_double(const number& n, double& out) {
    if (n.digits.empty()) {
        out = n.negative ? -0.0 : 0.0;
        return S_OK;
    }
    const std::string text = n.digits + "e" + std::to_string(n.exponent);
    double value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small rounds to zero; too large overflows.
        if (static_cast<long>(n.digits.size()) + n.exponent > 0) return DISP_E_OVERFLOW;
        value = 0;
    } else if (result.ec != std::errc()) {
        return DISP_E_TYPEMISMATCH;
    }
    out = n.negative ? -value : value;
    return S_OK;
}

number decimal_to_number(const DECIMAL& d) {
    u128 mantissa = (u128(d.Hi32) << 64) | d.Lo64;
    number n;
    n.negative = (d.sign & DECIMAL_NEG) != 0;
    std::string reversed;
    while (mantissa != 0) {
        reversed += static_cast<char>('0' + static_cast<int>(mantissa % 10));
        mantissa /= 10;
    }
    n.digits.assign(reversed.rbegin(), reversed.rend());
    n.exponent = n.digits.empty() ? 0 : -static_cast<int>(d.scale);
    return n;
}

HRESULT number_to_decimal(number n, DECIMAL& out) {
    // Drop trailing zeros into the exponent, then fit the scale into 0..28 and
    // the magnitude into 96 bits, rounding half to even where digits must go.
    while (!n.digits.empty() && n.digits.back() == '0') {
        n.digits.pop_back();
        ++n.exponent;
    }
    if (n.digits.empty()) {
        out = DECIMAL{};
        return S_OK;
    }
    const u128 limit = (u128(1) << 96) - 1;
    int scale = n.exponent < 0 ? -n.exponent : 0;
    if (scale > 28) scale = 28;
    u128 mantissa = 0;
    for (;;) {
        number shifted = n;
        shifted.negative = false;
        shifted.exponent += scale;
        if (round_to_integer(shifted, limit, mantissa)) break;
        if (scale == 0) return DISP_E_OVERFLOW;
        --scale;
    }
    out = DECIMAL{};
    out.scale = static_cast<BYTE>(scale);
    out.sign = n.negative && mantissa != 0 ? DECIMAL_NEG : 0;
    out.Hi32 = static_cast<ULONG>(mantissa >> 64);
    out.Lo64 = static_cast<ULONGLONG>(mantissa);
    return S_OK;
}

std::string number_to_text(const number& n) {
    if (n.digits.empty()) return "0";
    std::string text = n.negative ? "-" : "";
    const long length = static_cast<long>(n.digits.size());
    if (n.exponent >= 0) {
        text += n.digits + std::string(static_cast<std::size_t>(n.exponent), '0');
        return text;
    }
    const long integer_digits = length + n.exponent;
    std::string integer = integer_digits > 0 ? n.digits.substr(0, integer_digits) : "0";
    std::string fraction =
        integer_digits >= 0
            ? n.digits.substr(static_cast<std::size_t>(integer_digits))
            : std::string(static_cast<std::size_t>(-integer_digits), '0') + n.digits;
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    text += integer;
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

std::string double_to_text(double value, int precision) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    std::string text(buffer, result.ptr);
    for (char& c : text)
        if (c == 'e') c = 'E';
    return text;
}

HRESULT double_to_int64(double value, long long& out) {
    if (std::isnan(value)) return DISP_E_OVERFLOW;
    const double rounded = std::nearbyint(value);  // the default mode: half to even
    if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
        return DISP_E_OVERFLOW;
    out = static_cast<long long>(rounded);
    return S_OK;
}

// OLE Automation dates span 1 January 100 to 31 December 9999.
bool date_in_range(double value) {
    return value > -657435.0 && value < 2958466.0;
}

// Date text: [date][( |T)time] where date is Y-M-D, Y/M/D or M/D/Y (the month
// as a number or an English name) and time is H:M[:S[.fraction]] [AM|PM].
bool parse_date_text(const std::string& raw, double& out) {
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::string s = trimmed(raw);
    std::size_t i = 0;
    auto read_int = [&](long& v, std::size_t max_digits) {
        std::size_t start = i;
        v = 0;
        while (i < s.size() && i - start < max_digits &&
               std::isdigit(static_cast<unsigned char>(s[i])))
            v = v * 10 + (s[i++] - '0');
        return i > start;
    };
    auto read_month_name = [&](long& v) {
        std::size_t start = i;
        while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) ++i;
        if (i - start < 3) return false;
        std::string name = s.substr(start, 3);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (int m = 0; m < 12; ++m)
            if (name == months[m]) {
                v = m + 1;
                return true;
            }
        return false;
    };

    SYSTEMTIME st{};
    st.wYear = 1899;
    st.wMonth = 12;
    st.wDay = 30;
    bool have_date = false, have_time = false;

    long a = 0;
    const std::size_t start = i;
    if (read_int(a, 4) && i < s.size() && (s[i] == '-' || s[i] == '/')) {
        const bool year_first = i - start >= 3;
        const char separator = s[i++];
        long b = 0, c = 0;
        if (!(read_int(b, 2) || read_month_name(b))) return false;
        if (i >= s.size() || s[i] != separator) return false;
        ++i;
        if (!read_int(c, 4)) return false;
        long year, month, day;
        if (year_first) {
            year = a, month = b, day = c;
        } else {  // month first, as the C locale writes dates
            month = a, day = b, year = c;
        }
        if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
            return false;
        st.wYear = static_cast<WORD>(year);
        st.wMonth = static_cast<WORD>(month);
        st.wDay = static_cast<WORD>(day);
        have_date = true;
        if (i < s.size() && (s[i] == ' ' || s[i] == 'T')) {
            ++i;
            while (i < s.size() && s[i] == ' ') ++i;
        }
    } else {
        i = start;  // not a date: maybe a time
    }

    if (i < s.size()) {
        long h = 0, m = 0, sec = 0;
        if (!read_int(h, 2) || i >= s.size() || s[i] != ':') return false;
        ++i;
        if (!read_int(m, 2)) return false;
        if (i < s.size() && s[i] == ':') {
            ++i;
            if (!read_int(sec, 2)) return false;
            if (i < s.size() && s[i] == '.') {  // fractions of a second are dropped
                ++i;
                long ignored;
                if (!read_int(ignored, 9)) return false;
            }
        }
        while (i < s.size() && s[i] == ' ') ++i;
        if (i + 2 <= s.size()) {
            const std::string suffix = s.substr(i, 2);
            const bool am = suffix == "AM" || suffix == "am", pm = suffix == "PM" || suffix == "pm";
            if (am || pm) {
                if (h < 1 || h > 12) return false;
                h = h % 12 + (pm ? 12 : 0);
                i += 2;
            }
        }
        if (i != s.size() || h > 23 || m > 59 || sec > 59) return false;
        st.wHour = static_cast<WORD>(h);
        st.wMinute = static_cast<WORD>(m);
        st.wSecond = static_cast<WORD>(sec);
        have_time = true;
    }
    if (!have_date && !have_time) return false;
    return SystemTimeToVariantTime(&st, &out) != 0;
}

HRESULT date_to_text(double value, std::string& out) {
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(value, &st)) return DISP_E_OVERFLOW;
    char buffer[64];
    const bool day_zero = st.wYear == 1899 && st.wMonth == 12 && st.wDay == 30;
    const bool midnight = st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0;
    if (day_zero)
        std::snprintf(buffer, sizeof buffer, "%02u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
    else if (midnight)
        std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u", st.wYear, st.wMonth, st.wDay);
    else
        std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02u %02u:%02u:%02u", st.wYear, st.wMonth,
                      st.wDay, st.wHour, st.wMinute, st.wSecond);
    out = buffer;
    return S_OK;
}

bool equal_nocase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

// The source, read once into the form its type calls for.
struct source_value {
    enum kind_t { integer, real, decimal, text } kind = integer;
    long long i = 0;
    double r = 0;
    number n;
    std::string s;
};

bool read_source(const VARIANT& in, source_value& v) {
    switch (in.vt) {
        case VT_EMPTY:
            v.kind = source_value::integer;
            v.i = 0;
            return true;
        case VT_I1:
            // VT_I1 is signed: the sign extension is meant.
            v.i = static_cast<signed char>(in.cVal);  // NOLINT(bugprone-signed-char-misuse)
            return true;
        case VT_I2:
            v.i = in.iVal;
            return true;
        case VT_I4:
            v.i = in.lVal;
            return true;
        case VT_I8:
            v.i = in.llVal;
            return true;
        case VT_UI1:
            v.i = in.bVal;
            return true;
        case VT_UI2:
            v.i = in.uiVal;
            return true;
        case VT_UI4:
            v.i = in.ulVal;
            return true;
        case VT_BOOL:
            v.i = in.boolVal != VARIANT_FALSE ? -1 : 0;
            return true;
        case VT_R4:
            v.kind = source_value::real;
            v.r = in.fltVal;
            return true;
        case VT_R8:
            v.kind = source_value::real;
            v.r = in.dblVal;
            return true;
        case VT_DATE:
            v.kind = source_value::real;
            v.r = in.date;
            return true;
        case VT_DECIMAL:
            v.kind = source_value::decimal;
            v.n = decimal_to_number(in.decVal);
            return true;
        case VT_BSTR:
            v.kind = source_value::text;
            v.s = tovi::wide_to_mb(in.bstrVal, SysStringLen(in.bstrVal));
            return true;
        default:
            return false;
    }
}

HRESULT to_int64(const source_value& v, long long& out) {
    switch (v.kind) {
        case source_value::integer:
            out = v.i;
            return S_OK;
        case source_value::real:
            return double_to_int64(v.r, out);
        case source_value::decimal:
            return number_to_int64(v.n, out);
        case source_value::text: {
            number n;
            if (!parse_number(v.s, n)) return DISP_E_TYPEMISMATCH;
            return number_to_int64(n, out);
        }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT to_double(const source_value& v, double& out) {
    switch (v.kind) {
        case source_value::integer:
            out = static_cast<double>(v.i);
            return S_OK;
        case source_value::real:
            out = v.r;
            return S_OK;
        case source_value::decimal:
            return number_to_double(v.n, out);
        case source_value::text: {
            number n;
            if (!parse_number(v.s, n)) return DISP_E_TYPEMISMATCH;
            return number_to_double(n, out);
        }
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT to_number(const source_value& v, number& out) {
    switch (v.kind) {
        case source_value::integer: {
            out = number{};
            out.negative = v.i < 0;
            const unsigned long long magnitude = v.i < 0
                                                     ? 0ull - static_cast<unsigned long long>(v.i)
                                                     : static_cast<unsigned long long>(v.i);
            if (magnitude != 0) out.digits = std::to_string(magnitude);
            return S_OK;
        }
        case source_value::real:
            if (!std::isfinite(v.r)) return DISP_E_OVERFLOW;
            // The platform keeps 15 significant digits of a double.
            return parse_number(double_to_text(v.r, 15), out) ? S_OK : DISP_E_TYPEMISMATCH;
        case source_value::decimal:
            out = v.n;
            return S_OK;
        case source_value::text:
            return parse_number(v.s, out) ? S_OK : DISP_E_TYPEMISMATCH;
    }
    return DISP_E_TYPEMISMATCH;
}

HRESULT to_integer_type(const source_value& v, VARTYPE vt, VARIANT& out) {
    long long value;
    HRESULT hr = to_int64(v, value);
    if (FAILED(hr)) return hr;
    auto fits = [value](long long lo, long long hi) { return value >= lo && value <= hi; };
    switch (vt) {
        case VT_I1:
            if (!fits(-128, 127)) return DISP_E_OVERFLOW;
            out.cVal = static_cast<CHAR>(value);
            break;
        case VT_I2:
            if (!fits(-32768, 32767)) return DISP_E_OVERFLOW;
            out.iVal = static_cast<SHORT>(value);
            break;
        case VT_I4:
            if (!fits(std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()))
                return DISP_E_OVERFLOW;
            out.lVal = static_cast<LONG>(value);
            break;
        case VT_I8:
            out.llVal = value;
            break;
        case VT_UI1:
            if (!fits(0, 255)) return DISP_E_OVERFLOW;
            out.bVal = static_cast<BYTE>(value);
            break;
        case VT_UI2:
            if (!fits(0, 65535)) return DISP_E_OVERFLOW;
            out.uiVal = static_cast<USHORT>(value);
            break;
        case VT_UI4:
            if (!fits(0, 4294967295LL)) return DISP_E_OVERFLOW;
            out.ulVal = static_cast<ULONG>(value);
            break;
        default:
            return DISP_E_TYPEMISMATCH;
    }
    out.vt = vt;
    return S_OK;
}

HRESULT to_text(const VARIANT& in, const source_value& v, VARIANT& out) {
    std::string text;
    switch (in.vt) {
        case VT_EMPTY:
            break;
        case VT_BOOL:
            text = in.boolVal != VARIANT_FALSE ? "True" : "False";
            break;
        case VT_R4:
            text = double_to_text(static_cast<double>(in.fltVal), 7);
            break;
        case VT_R8:
            text = double_to_text(in.dblVal, 15);
            break;
        case VT_DATE: {
            const HRESULT hr = date_to_text(in.date, text);
            if (FAILED(hr)) return hr;
            break;
        }
        case VT_DECIMAL:
            text = number_to_text(v.n);
            break;
        default:
            text = std::to_string(v.i);
            break;
    }
    const std::wstring wide = tovi::mb_to_wide(text);
    BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (b == nullptr) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    out.bstrVal = b;
    return S_OK;
}

bool supported(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_R4:
        case VT_R8:
        case VT_DATE:
        case VT_BSTR:
        case VT_BOOL:
        case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

HRESULT convert(const VARIANT& in, VARTYPE vt, VARIANT& out) {
    if (vt == VT_EMPTY) return S_OK;  // `out` is already empty
    if (vt == VT_NULL) {
        if (in.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
        out.vt = VT_NULL;
        return S_OK;
    }
    if (in.vt == VT_NULL || !supported(in.vt) || !supported(vt)) return DISP_E_TYPEMISMATCH;
    source_value v;
    if (!read_source(in, v)) return DISP_E_TYPEMISMATCH;

    switch (vt) {
        case VT_I1:
        case VT_I2:
        case VT_I4:
        case VT_I8:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
            return to_integer_type(v, vt, out);
        case VT_R4:
        case VT_R8: {
            double value;
            const HRESULT hr = to_double(v, value);
            if (FAILED(hr)) return hr;
            if (vt == VT_R4) {
                if (std::isfinite(value) && std::fabs(value) > FLT_MAX) return DISP_E_OVERFLOW;
                out.fltVal = static_cast<float>(value);
            } else {
                out.dblVal = value;
            }
            out.vt = vt;
            return S_OK;
        }
        case VT_DATE: {
            double value;
            if (v.kind == source_value::text) {
                if (!parse_date_text(v.s, value)) return DISP_E_TYPEMISMATCH;
            } else {
                const HRESULT hr = to_double(v, value);
                if (FAILED(hr)) return hr;
                if (!date_in_range(value)) return DISP_E_OVERFLOW;
            }
            out.date = value;
            out.vt = VT_DATE;
            return S_OK;
        }
        case VT_BOOL: {
            bool value;
            if (v.kind == source_value::text && equal_nocase(trimmed(v.s), "true")) {
                value = true;
            } else if (v.kind == source_value::text && equal_nocase(trimmed(v.s), "false")) {
                value = false;
            } else if (v.kind == source_value::integer) {
                value = v.i != 0;
            } else if (v.kind == source_value::real) {
                value = v.r != 0;
            } else {
                number n;
                const HRESULT hr = to_number(v, n);
                if (FAILED(hr)) return hr;
                value = !n.digits.empty();
            }
            out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
            out.vt = VT_BOOL;
            return S_OK;
        }
        case VT_BSTR:
            return to_text(in, v, out);
        case VT_DECIMAL: {
            number n;
            HRESULT hr = to_number(v, n);
            if (FAILED(hr)) return hr;
            DECIMAL d;
            hr = number_to_decimal(n, d);
            if (FAILED(hr)) return hr;
            out.decVal = d;
            out.vt = VT_DECIMAL;
            return S_OK;
        }
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

}  // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT wFlags, VARTYPE vt) noexcept {
    if (dest == nullptr || src == nullptr) return E_INVALIDARG;
    if (wFlags != 0) return E_INVALIDARG;
    if (src->vt == vt) return dest == src ? S_OK : VariantCopy(dest, src);
    VARIANT result;
    VariantInit(&result);
    HRESULT hr;
    try {
        hr = convert(*src, vt, result);
    } catch (...) {  // allocation failures inside the text work
        VariantClear(&result);
        return E_OUTOFMEMORY;
    }
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *dest = result;
    return S_OK;
}
