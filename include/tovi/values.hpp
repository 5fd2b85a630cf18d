/// @file
/// tovi's typed values: bool_t, long_t (and gen::long_t), double_t, string_t,
/// date_time_t, the large objects clob_t and blob_t, and cursor_t.
///
/// Each holds its data and a NULL flag (a new value is NULL). The exact-type
/// readers (`operator long() const` on a long_t, and so on) throw
/// tovi::value_is_null for a NULL value; the generic conversions of value_t follow
/// the conversion rules. long is 64 bits here and survives every conversion that
/// can hold it.
#ifndef TOVI_VALUES_HPP
#define TOVI_VALUES_HPP

#include <ctime>
#include <iosfwd>
#include <string>

#include <tovi/config.hpp>
#include <tovi/oleauto/bstr.hpp>
#include <tovi/recordset.hpp>
#include <tovi/value.hpp>

namespace tovi {

/// A boolean.
class TOVI_API bool_t : public value_t {
public:
    bool_t();
    /// Holds `v`, not NULL.
    bool_t(bool v);
    /// The data and NULL state of `other`; no bindings.
    bool_t(const bool_t& other);
    ~bool_t() override;
    /// The assignments of value_t (set_value() from a number or text).
    using value_t::operator=;
    /// The data and NULL state of `other`; the bindings stay.
    bool_t& operator=(const bool_t& other) = default;

    void make_impl(impl::value_factory& factory) override;
    void accept(value_visitor& visitor) override;

    bool value;  ///< the data; meaningless while is_null
};

/// A 64-bit integer.
class TOVI_API long_t : public value_t {
public:
    long_t();
    /// Holds `v`, not NULL.
    long_t(long v);
    /// The data and NULL state of `other`; no bindings.
    long_t(const long_t& other);
    ~long_t() override;
    /// The assignments of value_t (set_value() from a number or text).
    using value_t::operator=;
    /// The data and NULL state of `other`; the bindings stay.
    long_t& operator=(const long_t& other) = default;

    void make_impl(impl::value_factory& factory) override;
    void accept(value_visitor& visitor) override;
    using value_t::set_value;
    void set_value(long v) override;
    using value_t::operator long;
    /// The stored number; tovi::value_is_null when NULL.
    virtual operator long() const;

    long value;  ///< the data; meaningless while is_null
};

namespace gen {
/// A long_t bound through the factory's make_long_vf_impl.
class TOVI_API long_t : public tovi::long_t {
public:
    long_t();
    /// Holds `v`, not NULL.
    long_t(long v);
    /// The data and NULL state of `other`; no bindings.
    long_t(const long_t& other);
    ~long_t() override;
    /// The assignments of tovi::long_t.
    using tovi::long_t::operator=;
    /// The data and NULL state of `other`; the bindings stay.
    long_t& operator=(const long_t& other) = default;

    void make_impl(impl::value_factory& factory) override;
};
}  // namespace gen

/// A double-precision number.
class TOVI_API double_t : public value_t {
public:
    double_t();
    /// Holds `v`, not NULL.
    double_t(double v);
    /// The data and NULL state of `other`; no bindings.
    double_t(const double_t& other);
    ~double_t() override;
    /// The assignments of value_t (set_value() from a number or text).
    using value_t::operator=;
    /// The data and NULL state of `other`; the bindings stay.
    double_t& operator=(const double_t& other) = default;

    void make_impl(impl::value_factory& factory) override;
    void accept(value_visitor& visitor) override;
    using value_t::set_value;
    void set_value(double v) override;
    using value_t::operator double;
    /// The stored number; tovi::value_is_null when NULL.
    virtual operator double() const;

    double value;  ///< the data; meaningless while is_null
};

/// Text with a maximum length that drivers may use to size buffers; the value
/// itself never cuts a longer text.
class TOVI_API string_t : public value_t {
public:
    /// NULL, with room for `max_length` bytes.
    explicit string_t(long max_length);
    /// Holds `v`, not NULL, with room for `max_length` bytes.
    string_t(const std::string& v, long max_length);
    /// The data, maximum length and NULL state of `other`; no bindings.
    string_t(const string_t& other);
    ~string_t() override;
    /// The assignments of value_t (set_value() from a number or text).
    using value_t::operator=;
    /// The data and NULL state of `other`; the bindings stay.
    string_t& operator=(const string_t& other) = default;

    void make_impl(impl::value_factory& factory) override;
    void accept(value_visitor& visitor) override;
    using value_t::set_value;
    void set_value(const _variant_t& v) override;
    void set_value(const std::string& v) override;
    using value_t::operator std::string;
    /// The stored text; tovi::value_is_null when NULL.
    virtual operator std::string() const;
    /// The text as a COM string; tovi::value_is_null when NULL.
    operator _bstr_t() const;

    std::string value;  ///< the data; meaningless while is_null
    long max_length;    ///< bytes a driver reserves for it
};

/// A date and time held as a C `tm`; the default is 1 January 1970, midnight, NULL.
class TOVI_API date_time_t : public value_t {
public:
    date_time_t();
    /// Holds `t`, not NULL.
    date_time_t(const tm& t);
    /// From a time_t, in local time; tovi::bad_value_conversion when it cannot be.
    date_time_t(const long& t);
    /// The data and NULL state of `other`; no bindings.
    date_time_t(const date_time_t& other);
    ~date_time_t() override;
    /// The assignments of value_t (set_value() from a number or text).
    using value_t::operator=;
    /// The data and NULL state of `other`; the bindings stay.
    date_time_t& operator=(const date_time_t& other) = default;

    void make_impl(impl::value_factory& factory) override;
    void accept(value_visitor& visitor) override;
    using value_t::set_value;
    void set_value(const _variant_t& v) override;

    tm value;  ///< the data; meaningless while is_null
};

/// "NULL", or the text form "2004-Feb-29 13:05:00".
TOVI_API std::ostream& operator<<(std::ostream& os, const date_time_t& v);
/// Reads a date and time with the stream's date-time facet. A text that is not a
/// date throws std::out_of_range ("tm unable to handle date value of ...") and
/// leaves `v` unchanged.
TOVI_API std::istream& operator>>(std::istream& is, date_time_t& v);

/// A large object: its content lives in the driver and is reached through its one
/// binding, piece by piece or whole (offsets and lengths in bytes). Readers throw
/// tovi::value_is_null when NULL; any access before the object is bound throws
/// tovi::bad_operation. Neither copyable nor assignable.
class TOVI_API lob_t : public value_t {
public:
    void destroy_impl(impl::value_t* binding) override;
    using value_t::set_value;
    void set_value(const _variant_t& v) override;
    void set_value(const std::string& data) override;  ///< set_entire
    operator std::string() override;                   ///< get_entire
    /// The assignments of value_t (set_value() from a number or text).
    using value_t::operator=;

    /// The length of the object.
    unsigned get_length() const;
    /// Cuts the object to `n` bytes (or extends it, where the driver can).
    void set_length(unsigned n);
    /// Reads from `offset` into `buffer`, returning the bytes read; no driver
    /// implements it yet (tovi::not_implemented).
    unsigned get_portion(unsigned offset, std::string& buffer);
    /// Up to `length` bytes from `offset`.
    std::string get_portion(unsigned offset, unsigned length);
    /// Adds `data` at the end.
    void append_portion(const std::string& data);
    /// Overwrites from `offset` with `data`.
    void set_portion(unsigned offset, const std::string& data);
    /// The whole object.
    std::string get_entire();
    /// get_entire().
    std::string get_value() { return get_entire(); }
    /// Replaces the whole object with `data`.
    void set_entire(const std::string& data);

    /// True once a statement has bound the object.
    bool is_bound() const { return binding != nullptr; }

    /// A copy would share the binding.
    lob_t(const lob_t&) = delete;
    lob_t& operator=(const lob_t&) = delete;

protected:
    lob_t();
    ~lob_t() override;
    /// Records `fresh` as the binding; an earlier one is unbound and released.
    void record_lob_binding(impl::lob_t* fresh);

    impl::lob_t* binding;  ///< the one binding, or null

private:
    impl::lob_t& bound() const;
};

/// A large text object.
class TOVI_API clob_t : public lob_t {
public:
    clob_t() = default;
    void make_impl(impl::value_factory& factory) override;
    void accept(value_visitor& visitor) override;
    /// The assignments of value_t (set_value() from a number or text).
    using value_t::operator=;
};

/// A large binary object.
class TOVI_API blob_t : public lob_t {
public:
    blob_t() = default;
    void make_impl(impl::value_factory& factory) override;
    void accept(value_visitor& visitor) override;
    /// The assignments of value_t (set_value() from a number or text).
    using value_t::operator=;
};

/// A value whose content is a set of rows. Abstract: subclasses give the
/// factories. It is not bound through a factory and visits nothing.
class TOVI_API cursor_t : public value_t, public recordset_t {
public:
    cursor_t();
    ~cursor_t() override;
    void make_impl(impl::value_factory& factory) override;
    void accept(value_visitor& visitor) override;
    bool next() override;  ///< no rows
};

}  // namespace tovi

#endif
