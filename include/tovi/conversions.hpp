/// @file
/// The conversion rules between tovi's values and the four native forms (long,
/// double, text, _variant_t): one getter and one setter visitor per form, so
/// every (form, value class) pair has exactly one rule. Plus the helpers that move
/// text and bytes between std::string, COM strings and byte SAFEARRAYs.
///
/// Getters: long_get, double_get and string_get report every failure as
/// tovi::bad_value_conversion (built on the tovi::value_is_null of a NULL value);
/// variant_get and all setters let their errors through as raised
/// (boost::bad_lexical_cast for text that is not a number, _com_error for a failed
/// variant conversion).
#ifndef TOVI_CONVERSIONS_HPP
#define TOVI_CONVERSIONS_HPP

#include <string>

#include <tovi/config.hpp>
#include <tovi/oleauto/variant.hpp>
#include <tovi/value.hpp>

namespace tovi {

/// Reads any value as a long into `result`, by the conversion rules.
class TOVI_API long_get : public value_visitor {
public:
    void visit_bool_t(bool_t& v) override;
    void visit_long_t(long_t& v) override;
    void visit_double_t(double_t& v) override;
    void visit_string_t(string_t& v) override;
    void visit_date_time_t(date_time_t& v) override;
    void visit_clob_t(clob_t& v) override;
    void visit_blob_t(blob_t& v) override;
    long result = 0;  ///< the visited value as a long
};

/// Stores a long (`source`) into any value, by the conversion rules.
class TOVI_API long_set : public value_visitor {
public:
    /// Stores `v`.
    explicit long_set(long v) : source(v) {}
    void visit_bool_t(bool_t& v) override;
    void visit_long_t(long_t& v) override;
    void visit_double_t(double_t& v) override;
    void visit_string_t(string_t& v) override;
    void visit_date_time_t(date_time_t& v) override;
    void visit_clob_t(clob_t& v) override;
    void visit_blob_t(blob_t& v) override;
    long source;  ///< what is stored
};

/// Reads any value as a double into `result`, by the conversion rules.
class TOVI_API double_get : public value_visitor {
public:
    void visit_bool_t(bool_t& v) override;
    void visit_long_t(long_t& v) override;
    void visit_double_t(double_t& v) override;
    void visit_string_t(string_t& v) override;
    void visit_date_time_t(date_time_t& v) override;
    void visit_clob_t(clob_t& v) override;
    void visit_blob_t(blob_t& v) override;
    double result = 0.0;  ///< the visited value as a double
};

/// Stores a double (`source`) into any value, by the conversion rules.
class TOVI_API double_set : public value_visitor {
public:
    /// Stores `v`.
    explicit double_set(double v) : source(v) {}
    void visit_bool_t(bool_t& v) override;
    void visit_long_t(long_t& v) override;
    void visit_double_t(double_t& v) override;
    void visit_string_t(string_t& v) override;
    void visit_date_time_t(date_time_t& v) override;
    void visit_clob_t(clob_t& v) override;
    void visit_blob_t(blob_t& v) override;
    double source;  ///< what is stored
};

/// Reads any value as text into `result`, by the conversion rules.
class TOVI_API string_get : public value_visitor {
public:
    void visit_bool_t(bool_t& v) override;
    void visit_long_t(long_t& v) override;
    void visit_double_t(double_t& v) override;
    void visit_string_t(string_t& v) override;
    void visit_date_time_t(date_time_t& v) override;
    void visit_clob_t(clob_t& v) override;
    void visit_blob_t(blob_t& v) override;
    std::string result;  ///< the visited value as text
};

/// Stores text (`source`) into any value, by the conversion rules.
class TOVI_API string_set : public value_visitor {
public:
    /// Stores `s`.
    explicit string_set(const std::string& s) : source(s) {}
    void visit_bool_t(bool_t& v) override;
    void visit_long_t(long_t& v) override;
    void visit_double_t(double_t& v) override;
    void visit_string_t(string_t& v) override;
    void visit_date_time_t(date_time_t& v) override;
    void visit_clob_t(clob_t& v) override;
    void visit_blob_t(blob_t& v) override;
    std::string source;  ///< what is stored
};

/// Reads any value as a variant into `result`, by the conversion rules.
class TOVI_API variant_get : public value_visitor {
public:
    void visit_bool_t(bool_t& v) override;
    void visit_long_t(long_t& v) override;
    void visit_double_t(double_t& v) override;
    void visit_string_t(string_t& v) override;
    void visit_date_time_t(date_time_t& v) override;
    void visit_clob_t(clob_t& v) override;
    void visit_blob_t(blob_t& v) override;
    void visit_cursor_t(cursor_t& v) override;  ///< tovi::bad_value_conversion
    _variant_t result;                          ///< the visited value as a variant
};

/// Stores a variant (`source`) into any value, by the conversion rules.
class TOVI_API variant_set : public value_visitor {
public:
    variant_set() = default;
    /// Stores `v`.
    explicit variant_set(const _variant_t& v) : source(v) {}
    /// Copies the variant to store.
    ///@{
    variant_set(const variant_set& other) = default;
    variant_set& operator=(const variant_set& other) = default;
    ///@}
    /// Replaces the variant to store.
    void set_value(const _variant_t& v) { source = v; }
    void visit_bool_t(bool_t& v) override;
    void visit_long_t(long_t& v) override;
    void visit_double_t(double_t& v) override;
    void visit_string_t(string_t& v) override;
    void visit_date_time_t(date_time_t& v) override;
    void visit_clob_t(clob_t& v) override;
    void visit_blob_t(blob_t& v) override;
    void visit_cursor_t(cursor_t& v) override;  ///< tovi::bad_value_conversion
    _variant_t source;                          ///< what is stored
};

/// The whole text of a VT_BSTR variant as multibyte text; tovi::bad_value_conversion
/// for any other type.
TOVI_API std::string variant2string(const _variant_t& v);
/// Text below 512000 bytes becomes VT_BSTR (result: its length in bytes); longer
/// text a VT_UI1 array of 2 * length + 2 bytes holding it as UTF-16 (result:
/// 2 * length).
///@{
TOVI_API unsigned int set_variant_from_str(_variant_t& v, const std::string& s);
TOVI_API unsigned int set_variant_from_str(_variant_t& v, unsigned int len, const char* text);
///@}
/// The bytes as a VT_UI1 array with lower bound 0; the result is the byte count.
///@{
TOVI_API unsigned int set_variant_from_raw(_variant_t& v, const std::string& bytes);
TOVI_API unsigned int set_variant_from_raw(_variant_t& v, unsigned int len, const char* data);
///@}
/// The UTF-16 text of an array made by set_variant_from_str (up to its first NUL).
TOVI_API std::string safearray_to_str(SAFEARRAY* a);
/// The array's bytes (elements times element size).
TOVI_API std::string safearray_to_raw(SAFEARRAY* a);
/// Copies the array's bytes into `buffer` and returns their count;
/// tovi::value_is_truncated, before copying, when `capacity` is smaller.
TOVI_API unsigned int safearray_to_raw(SAFEARRAY* a, unsigned int capacity, char* buffer);

}  // namespace tovi

#endif
