// The value rules every driver shares.
#include <tovi/driver/value_rules.hpp>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tovi::driver {

namespace {

[[noreturn]] __attribute__((cold, noinline)) void refuse(const std::string& why) {
    throw bad_value_conversion(exception(why, 0));
}

// `text` without the blanks around it (CHAR columns come padded).
void trim(const char*& text, std::size_t& size) {
    while (size > 0 && (*text == ' ' || *text == '\t')) {
        ++text;
        --size;
    }
    while (size > 0 && (text[size - 1] == ' ' || text[size - 1] == '\t')) --size;
}

// After a leading "+" (from_chars takes none), unless a sign follows it.
const char* plus_skipped(const char* text, std::size_t size) {
    if (text == nullptr || size == 0 || *text != '+') return text;
    return size > 1 && (text[1] == '-' || text[1] == '+') ? text : text + 1;
}

std::string quoted(const char* text, std::size_t size) {
    constexpr std::size_t limit = 64;
    std::string out = "'";
    out.append(text, std::min(size, limit));
    if (size > limit) out += "...";
    return out + "'";
}

}  // namespace

long whole_number(double v) {
    // 2^63 itself is no long; the largest double below it is.
    constexpr double above = 9223372036854775808.0;
    if (!(v >= -above && v < above) || std::trunc(v) != v)
        refuse("The number " + real_text(v) + " is no whole number that fits a long.");
    return static_cast<long>(v);
}

long whole_number(const char* text, std::size_t size) {
    trim(text, size);
    long v = 0;
    const char* begin = plus_skipped(text, size);
    const auto [end, error] = std::from_chars(begin, text + size, v);
    if (size == 0 || error != std::errc() || end != text + size)
        refuse("The text " + quoted(text, size) + " is no whole number that fits a long.");
    return v;
}

double real_number(const char* text, std::size_t size) {
    trim(text, size);
    double v = 0;
    const char* begin = plus_skipped(text, size);
    const auto [end, error] = std::from_chars(begin, text + size, v);
    if (size == 0 || error != std::errc() || end != text + size)
        refuse("The text " + quoted(text, size) + " is no number.");
    return v;
}

std::string real_text(double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

std::string date_text(const tm& t, unsigned long nanoseconds) {
    char text[96];
    int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                          t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    if (nanoseconds != 0 && nanoseconds < 1000000000UL && n > 0 &&
        n < static_cast<int>(sizeof text) - 11) {
        n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ".%09lu",
                           nanoseconds);
        while (text[n - 1] == '0') text[--n] = '\0';
    }
    return text;
}

void normalise_text(value_kind kind, std::string& text) {
    switch (kind) {
        case value_kind::real: {
            double v = 0;
            const char* begin = text.data();
            std::size_t size = text.size();
            trim(begin, size);
            const auto [end, error] = std::from_chars(begin, begin + size, v);
            if (size > 0 && error == std::errc() && end == begin + size) text = real_text(v);
            return;
        }
        case value_kind::date_time: {
            tm t{};
            int consumed = 0;
            if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%n", &t.tm_year, &t.tm_mon, &t.tm_mday,
                            &t.tm_hour, &t.tm_min, &t.tm_sec, &consumed) != 6)
                return;
            unsigned long nanoseconds = 0;
            std::size_t at = static_cast<std::size_t>(consumed);
            if (at < text.size() && text[at] == '.') {
                unsigned long scale = 100000000UL;
                for (++at; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
                     ++at, scale /= 10)
                    nanoseconds += static_cast<unsigned long>(text[at] - '0') * scale;
            }
            if (at != text.size()) return;
            t.tm_year -= 1900;
            t.tm_mon -= 1;
            text = date_text(t, nanoseconds);
            return;
        }
        case value_kind::boolean:
            if (text == "1" || text == "t" || text == "true" || text == "TRUE") {
                text = "TRUE";
            } else if (text == "0" || text == "f" || text == "false" || text == "FALSE") {
                text = "FALSE";
            }
            return;
        default:
            return;
    }
}

void check_date(const tm& t) {
    const long year = static_cast<long>(t.tm_year) + 1900;
    if (year < 100 || year > 9999)
        refuse("The date " + date_text(t) + " is outside the years 100 to 9999.");
}

void read_into(const cell& c, long& out) {
    switch (c.kind) {
        case value_kind::integer:
        case value_kind::boolean:
            out = c.integer;
            return;
        case value_kind::real:
            out = whole_number(c.real);
            return;
        case value_kind::text:
            out = whole_number(c.data, c.size);
            return;
        case value_kind::date_time:
            out = tm2time_t(c.date);
            return;
        default:
            refuse("Bytes are no number.");
    }
}

void read_into(const cell& c, bool& out) {
    switch (c.kind) {
        case value_kind::integer:
        case value_kind::boolean:
            out = c.integer != 0;
            return;
        case value_kind::real:
            out = c.real != 0.0;
            return;
        case value_kind::text: {
            const char* text = c.data;
            std::size_t size = c.size;
            trim(text, size);
            const std::string word(text, size);
            if (word == "TRUE" || word == "true") {
                out = true;
            } else if (word == "FALSE" || word == "false") {
                out = false;
            } else {
                out = whole_number(text, size) != 0;
            }
            return;
        }
        default:
            refuse("Only numbers and the texts TRUE and FALSE read as booleans.");
    }
}

void read_into(const cell& c, double& out) {
    switch (c.kind) {
        case value_kind::integer:
        case value_kind::boolean:
            out = static_cast<double>(c.integer);
            return;
        case value_kind::real:
            out = c.real;
            return;
        case value_kind::text:
            out = real_number(c.data, c.size);
            return;
        case value_kind::date_time:
            out = tm2double_time(c.date);
            return;
        default:
            refuse("Bytes are no number.");
    }
}

void read_into(const cell& c, std::string& out) {
    switch (c.kind) {
        case value_kind::integer: {
            char text[24];
            out.assign(text, std::to_chars(text, text + sizeof text, c.integer).ptr);
            return;
        }
        case value_kind::boolean:
            out = c.integer != 0 ? "TRUE" : "FALSE";
            return;
        case value_kind::real:
            out = real_text(c.real);
            return;
        case value_kind::date_time:
            out = date_text(c.date, c.nanoseconds);
            return;
        default:
            out.assign(c.data != nullptr ? c.data : "", c.size);
    }
}

void read_into(const cell& c, tm& out) {
    switch (c.kind) {
        case value_kind::date_time:
            out = c.date;
            return;
        case value_kind::integer:  // seconds since the epoch, as SQLite keeps dates
            time_t2tm(c.integer, out);
            return;
        case value_kind::text: {
            const char* text = c.data;
            std::size_t size = c.size;
            trim(text, size);
            long seconds = 0;
            const auto [end, error] = std::from_chars(text, text + size, seconds);
            if (size > 0 && error == std::errc() && end == text + size) {
                time_t2tm(seconds, out);
                return;
            }
            try {
                string2tm(std::string(text, size), out);
            } catch (const std::exception&) {
                refuse("The text " + quoted(text, size) + " is no date.");
            }
            return;
        }
        default:
            refuse("Only dates, seconds since the epoch and date texts read as dates.");
    }
}

void read_into(const cell& c, _variant_t& out) {
    switch (c.kind) {
        case value_kind::integer:
            if (out.vt == VT_BOOL)  // a boolean variant keeps its type
                out.boolVal = c.integer != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            else
                out = _variant_t(c.integer);
            return;
        case value_kind::boolean:
            out = _variant_t(c.integer != 0);
            return;
        case value_kind::real:
            out = _variant_t(c.real);
            return;
        case value_kind::text:
            set_variant_from_str(out, static_cast<unsigned>(c.size),
                                 c.data != nullptr ? c.data : "");
            return;
        case value_kind::bytes:
            set_variant_from_raw(out, static_cast<unsigned>(c.size), c.data);
            return;
        case value_kind::date_time:
            out = _variant_t(tm2double_time(c.date), VT_DATE);
            return;
        case value_kind::null:
            out.Clear();
            return;
    }
}

void from_variant(const _variant_t& v, scalar& out) {
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_UNKNOWN:
            out.kind = value_kind::null;
            return;
        case VT_I1:
            // NOLINTNEXTLINE(bugprone-signed-char-misuse): a signed byte
            out.integer = static_cast<signed char>(v.cVal);
            break;
        case VT_UI1:
            out.integer = v.bVal;
            break;
        case VT_I2:
            out.integer = v.iVal;
            break;
        case VT_UI2:
            out.integer = v.uiVal;
            break;
        case VT_I4:
            out.integer = v.lVal;
            break;
        case VT_UI4:
            out.integer = v.ulVal;
            break;
        case VT_I8:
            out.integer = v.llVal;
            break;
        case VT_BOOL:
            out.kind = value_kind::boolean;
            out.integer = v.boolVal != VARIANT_FALSE ? 1 : 0;
            return;
        case VT_R4:
            out.kind = value_kind::real;
            out.real = v.fltVal;
            return;
        case VT_R8:
            out.kind = value_kind::real;
            out.real = v.dblVal;
            return;
        case VT_CY:
        case VT_DECIMAL: {
            _variant_t real;
            real.ChangeType(VT_R8, &v);
            out.kind = value_kind::real;
            out.real = real.dblVal;
            return;
        }
        case VT_DATE:
            out.kind = value_kind::date_time;
            double_time2tm(v.date, out.date);
            return;
        case VT_BSTR:
            out.kind = value_kind::text;
            out.text = variant2string(v);
            return;
        case VT_ARRAY | VT_UI1:
            out.kind = value_kind::bytes;
            out.text = safearray_to_raw(v.parray);
            return;
        default:
            refuse("A variant of type " + std::to_string(v.vt) + " has no value to bind.");
    }
    out.kind = value_kind::integer;
}

cell as_cell(const scalar& s) {
    cell c;
    c.kind = s.kind;
    c.integer = s.integer;
    c.real = s.real;
    c.data = s.text.data();
    c.size = s.text.size();
    c.date = s.date;
    return c;
}

std::string printable(long v) {
    return std::to_string(v);
}

std::string printable(bool v) {
    return v ? "TRUE" : "FALSE";
}

std::string printable(double v) {
    return real_text(v);
}

std::string printable(const std::string& v) {
    return quoted(v.data(), v.size());
}

std::string printable(const tm& v) {
    return date_text(v);
}

std::string printable(const _variant_t& v) {
    scalar s;
    try {
        from_variant(v, s);
    } catch (const exception&) {
        return "(variant)";
    }
    switch (s.kind) {
        case value_kind::null:
            return "NULL";
        case value_kind::integer:
            return printable(s.integer);
        case value_kind::boolean:
            return printable(s.integer != 0);
        case value_kind::real:
            return printable(s.real);
        case value_kind::text:
            return printable(s.text);
        case value_kind::date_time:
            return printable(s.date);
        case value_kind::bytes:
            break;
    }
    return "<Binary Data>";
}

}  // namespace tovi::driver
