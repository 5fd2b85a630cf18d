// The eight conversion visitors: one rule per (native form, value class) pair.
#include <tovi/conversions.hpp>
#include <tovi/date_conv.hpp>
#include <tovi/exception.hpp>
#include <tovi/oleauto/com_error.hpp>
#include <tovi/values.hpp>

#include <boost/lexical_cast.hpp>
#include <charconv>
#include <cmath>

namespace tovi {

namespace {

// Doubles cross into text with 16 significant digits, so a double that needs 17
// comes back rounded (0.1 + 0.2 reads as 0.3).
std::string double_text(double v) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::general, 16);
    return std::string(buffer, result.ptr);
}

double through_text(double v) {
    const std::string text = double_text(v);
    double back = v;
    std::from_chars(text.data(), text.data() + text.size(), back);
    return back;
}

// A double converts to long only when it is a whole number within range.
bool whole_long(double v, long& out) {
    if (!std::isfinite(v) || std::trunc(v) != v) return false;
    if (v < -9223372036854775808.0 || v >= 9223372036854775808.0) return false;
    out = static_cast<long>(v);
    return true;
}

long long_from_double(double v) {
    long out;
    if (!whole_long(v, out)) throw boost::bad_lexical_cast(typeid(double), typeid(long));
    return out;
}

void require_value(const value_t& v) {
    if (v.is_null) throw value_is_null(0);
}

// Runs a getter rule: NULL becomes bad_value_conversion built on the
// value_is_null entry; any other failure a fresh bad_value_conversion.
template <class Rule>
void getter(Rule rule) {
    try {
        rule();
    } catch (const value_is_null& e) {
        throw bad_value_conversion(e, 0);
    } catch (...) {
        throw bad_value_conversion(0);
    }
}

_variant_t changed(const _variant_t& v, VARTYPE vt) {
    _variant_t out;
    out.ChangeType(vt, &v);
    return out;
}

bool is_null_type(VARTYPE t) {
    return t == VT_EMPTY || t == VT_NULL || t == VT_UNKNOWN;
}

// VT_I8 joins the integers: long is 64 bits and its variants are VT_I8 past 32 bits.
bool is_integer_type(VARTYPE t) {
    return t == VT_I1 || t == VT_I2 || t == VT_I4 || t == VT_I8 || t == VT_UI1 || t == VT_UI2 ||
           t == VT_UI4;
}

bool is_real_type(VARTYPE t) {
    return t == VT_R4 || t == VT_R8 || t == VT_DATE;
}

// Scalars that read as numbers or text.
bool is_scalar_type(VARTYPE t) {
    return is_integer_type(t) || is_real_type(t) || t == VT_DECIMAL || t == VT_BSTR;
}

bool is_byte_array_type(VARTYPE t) {
    if (!(t & VT_ARRAY)) return false;
    switch (t & VT_TYPEMASK) {
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_DATE:
        case VT_BSTR:
        case VT_BOOL:
        case VT_VARIANT:
        case VT_DECIMAL:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
            return (t & ~(VT_ARRAY | VT_TYPEMASK)) == 0;
        default:
            return false;
    }
}

// The text of a scalar variant, or "Yes"/"No" for a boolean; false otherwise.
bool variant_text(const _variant_t& v, std::string& text) {
    if (v.vt == VT_BOOL) {
        text = v.boolVal != VARIANT_FALSE ? "Yes" : "No";
        return true;
    }
    if (!is_scalar_type(v.vt)) return false;
    text = variant2string(changed(v, VT_BSTR));
    return true;
}

}  // namespace

// --- long_get

void long_get::visit_bool_t(bool_t& v) {
    getter([&] {
        require_value(v);
        result = v.value ? 1 : 0;
    });
}
void long_get::visit_long_t(long_t& v) {
    getter([&] {
        require_value(v);
        result = v.value;
    });
}
void long_get::visit_double_t(double_t& v) {
    getter([&] {
        require_value(v);
        result = long_from_double(v.value);
    });
}
void long_get::visit_string_t(string_t& v) {
    getter([&] {
        require_value(v);
        result = boost::lexical_cast<long>(v.value);
    });
}
void long_get::visit_date_time_t(date_time_t& v) {
    getter([&] {
        require_value(v);
        result = tm2time_t(v.value);
    });
}
void long_get::visit_clob_t(clob_t& v) {
    getter([&] { result = boost::lexical_cast<long>(v.get_entire()); });
}
void long_get::visit_blob_t(blob_t& v) {
    getter([&] { result = boost::lexical_cast<long>(v.get_entire()); });
}

// --- long_set

void long_set::visit_bool_t(bool_t& v) {
    v.value = source != 0;
    v.is_null = false;
}
void long_set::visit_long_t(long_t& v) {
    v.set_value(source);
}
void long_set::visit_double_t(double_t& v) {
    v.set_value(static_cast<double>(source));
}
void long_set::visit_string_t(string_t& v) {
    v.set_value(std::to_string(source));
}
void long_set::visit_date_time_t(date_time_t& v) {
    time_t2tm(source, v.value);
    v.is_null = false;
}
void long_set::visit_clob_t(clob_t& v) {
    v.set_value(std::to_string(source));
}
void long_set::visit_blob_t(blob_t& v) {
    v.set_value(std::to_string(source));
}

// --- double_get

void double_get::visit_bool_t(bool_t& v) {
    getter([&] {
        require_value(v);
        result = v.value ? 1.0 : 0.0;
    });
}
void double_get::visit_long_t(long_t& v) {
    getter([&] {
        require_value(v);
        result = static_cast<double>(v.value);
    });
}
void double_get::visit_double_t(double_t& v) {
    getter([&] {
        require_value(v);
        result = through_text(v.value);
    });
}
void double_get::visit_string_t(string_t& v) {
    getter([&] {
        require_value(v);
        result = boost::lexical_cast<double>(v.value);
    });
}
void double_get::visit_date_time_t(date_time_t& v) {
    // No handler here: a NULL date reports value_is_null itself.
    require_value(v);
    result = tm2double_time(v.value);
}
void double_get::visit_clob_t(clob_t& v) {
    getter([&] { result = boost::lexical_cast<double>(v.get_entire()); });
}
void double_get::visit_blob_t(blob_t& v) {
    getter([&] { result = boost::lexical_cast<double>(v.get_entire()); });
}

// --- double_set

void double_set::visit_bool_t(bool_t& v) {
    v.value = source != 0.0;
    v.is_null = false;
}
void double_set::visit_long_t(long_t& v) {
    v.set_value(long_from_double(source));
}
void double_set::visit_double_t(double_t& v) {
    v.set_value(source);
}
void double_set::visit_string_t(string_t& v) {
    v.set_value(double_text(source));
}
void double_set::visit_date_time_t(date_time_t& v) {
    time_t2tm(double_time2time_t(source), v.value);
    v.is_null = false;
}
void double_set::visit_clob_t(clob_t& v) {
    v.set_value(double_text(source));
}
void double_set::visit_blob_t(blob_t& v) {
    v.set_value(double_text(source));
}

// --- string_get

void string_get::visit_bool_t(bool_t& v) {
    getter([&] { result = v.is_null ? "NULL" : v.value ? "TRUE" : "FALSE"; });
}
void string_get::visit_long_t(long_t& v) {
    getter([&] { result = v.is_null ? "NULL" : std::to_string(v.value); });
}
void string_get::visit_double_t(double_t& v) {
    getter([&] { result = v.is_null ? "NULL" : double_text(v.value); });
}
void string_get::visit_string_t(string_t& v) {
    getter([&] { result = v.is_null ? "NULL" : v.value; });
}
void string_get::visit_date_time_t(date_time_t& v) {
    getter([&] { result = v.is_null ? "NULL" : tm2string(v.value); });
}
void string_get::visit_clob_t(clob_t& v) {
    getter([&] { result = v.is_null ? "NULL" : "<clob_t>"; });
}
void string_get::visit_blob_t(blob_t& v) {
    getter([&] { result = v.is_null ? "NULL" : "<blob_t>"; });
}

// --- string_set

void string_set::visit_bool_t(bool_t& v) {
    if (source == "TRUE") {
        v.value = true;
        v.is_null = false;
    } else if (source == "FALSE") {
        v.value = false;
        v.is_null = false;
    } else {
        v.is_null = true;
    }
}
void string_set::visit_long_t(long_t& v) {
    v.set_value(boost::lexical_cast<long>(source));
}
void string_set::visit_double_t(double_t& v) {
    v.set_value(boost::lexical_cast<double>(source));
}
void string_set::visit_string_t(string_t& v) {
    v.set_value(source);
}
void string_set::visit_date_time_t(date_time_t&) {
    throw not_implemented(0);
}
void string_set::visit_clob_t(clob_t&) {
    throw bad_value_conversion(0);
}
void string_set::visit_blob_t(blob_t&) {
    throw bad_value_conversion(0);
}

// --- variant_get

void variant_get::visit_bool_t(bool_t& v) {
    result.Clear();
    if (!v.is_null) result = _variant_t(v.value);
}
void variant_get::visit_long_t(long_t& v) {
    result.Clear();
    if (!v.is_null) result = _variant_t(v.value);
}
void variant_get::visit_double_t(double_t& v) {
    result.Clear();
    if (!v.is_null) result = _variant_t(v.value);
}
void variant_get::visit_string_t(string_t& v) {
    result.Clear();
    if (!v.is_null) result = _variant_t(_bstr_t(v.value));
}
void variant_get::visit_date_time_t(date_time_t& v) {
    result.Clear();
    if (!v.is_null) result = _variant_t(static_cast<value_t&>(v).operator double());
}
void variant_get::visit_clob_t(clob_t& v) {
    result.Clear();
    if (!v.is_null) set_variant_from_str(result, v.get_entire());
}
void variant_get::visit_blob_t(blob_t& v) {
    result.Clear();
    if (!v.is_null) set_variant_from_raw(result, v.get_entire());
}
void variant_get::visit_cursor_t(cursor_t&) {
    throw bad_value_conversion(0);
}

// --- variant_set

void variant_set::visit_bool_t(bool_t& v) {
    const VARTYPE t = source.vt;
    if (is_null_type(t)) {
        v.is_null = true;
        return;
    }
    if (is_integer_type(t) || is_real_type(t))
        v.value = changed(source, VT_R8).dblVal != 0.0;
    else if (t == VT_BSTR)
        v.value = changed(source, VT_BOOL).boolVal == VARIANT_TRUE;
    else if (t == VT_BOOL)
        v.value = source.boolVal != VARIANT_FALSE;
    else
        throw bad_value_conversion(0);  // VT_DECIMAL, arrays and the rest
    v.is_null = false;
}

void variant_set::visit_long_t(long_t& v) {
    const VARTYPE t = source.vt;
    if (is_null_type(t))
        v.is_null = true;
    else if (is_scalar_type(t))
        v.set_value(static_cast<long>(changed(source, VT_I8).llVal));
    else if (t == VT_BOOL)
        v.set_value(source.boolVal != VARIANT_FALSE ? 1L : 0L);
    else
        throw bad_value_conversion(0);
}

void variant_set::visit_double_t(double_t& v) {
    const VARTYPE t = source.vt;
    if (is_null_type(t))
        v.is_null = true;
    else if (is_scalar_type(t))
        v.set_value(changed(source, VT_R8).dblVal);
    else if (t == VT_BOOL)
        v.set_value(source.boolVal != VARIANT_FALSE ? 1.0 : 0.0);
    else
        throw bad_value_conversion(0);
}

namespace {
// Text-like targets take a scalar's text; a blob also takes an array's bytes.
template <class Target>
void set_text_like(const _variant_t& source, Target& v, bool takes_arrays) {
    std::string text;
    if (is_null_type(source.vt))
        v.is_null = true;
    else if (takes_arrays && is_byte_array_type(source.vt))
        v.set_value(safearray_to_raw(source.parray));
    else if (variant_text(source, text))
        v.set_value(text);
    else
        throw bad_value_conversion(0);
}
}  // namespace

void variant_set::visit_string_t(string_t& v) {
    set_text_like(source, v, false);
}
void variant_set::visit_clob_t(clob_t& v) {
    set_text_like(source, v, false);
}
void variant_set::visit_blob_t(blob_t& v) {
    set_text_like(source, v, true);
}

void variant_set::visit_date_time_t(date_time_t& v) {
    const VARTYPE t = source.vt;
    if (is_null_type(t)) {
        v.is_null = true;
        return;
    }
    if (is_integer_type(t))
        time_t2tm(static_cast<long>(changed(source, VT_I8).llVal), v.value);
    else if (is_real_type(t) || t == VT_DECIMAL)
        double_time2tm(changed(source, VT_R8).dblVal, v.value);
    else if (t == VT_BSTR)
        double_time2tm(changed(source, VT_DATE).date, v.value);
    else
        throw bad_value_conversion(0);  // VT_BOOL, arrays and the rest
    v.is_null = false;
}

void variant_set::visit_cursor_t(cursor_t&) {
    throw bad_value_conversion(0);
}

}  // namespace tovi
