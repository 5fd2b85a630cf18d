// What a value means between tovi and a native API, written once for every
// driver: the canonical kinds a native value takes, how a fetched value of one
// kind reads into an application variable of another (exactly, or
// tovi::bad_value_conversion; never rounded, cut or zero), what a variant binds
// as, the range of dates, and how a bound value prints in an error.
#ifndef TOVI_DRIVER_VALUE_RULES_HPP
#define TOVI_DRIVER_VALUE_RULES_HPP

#include <cstddef>
#include <string>
#include <type_traits>

#include <tovi/tovi.hpp>

namespace tovi::driver {

enum class value_kind : unsigned char { null, integer, real, text, bytes, date_time, boolean };

// A fetched native value in its canonical kind. Text and bytes point into the
// driver's row or buffer, valid until its next fetch.
struct cell {
    value_kind kind = value_kind::null;
    long integer = 0;  // integer; boolean: 1 or 0
    double real = 0;
    const char* data = nullptr;  // text, bytes
    std::size_t size = 0;
    tm date{};                      // date_time
    unsigned long nanoseconds = 0;  // date_time: the fraction of its second
};

// Whether a column of kind `column` read into a T goes through read_into rather
// than the engine's own cast into T: engines round fractions away, read
// unparsable text as 0 or NULL, and print reals and dates each in its own way.
// Integers into doubles they convert exactly. null: a kind the driver leaves to
// its engine (a blob, say).
template <class T>
bool reads_through_rules(value_kind column) {
    if (column == value_kind::null) return false;
    if constexpr (std::is_same_v<T, long> || std::is_same_v<T, bool>)
        return column != value_kind::integer && column != value_kind::boolean;
    if constexpr (std::is_same_v<T, double>)
        return column != value_kind::real && column != value_kind::integer;
    if constexpr (std::is_same_v<T, std::string>)
        return column != value_kind::text && column != value_kind::bytes;
    return false;
}

// A fetched value into the application's kinds. The cell holds a value (the
// NULL rule is the binding's); a kind that does not convert without loss is
// tovi::bad_value_conversion.
void read_into(const cell& c, long& out);
void read_into(const cell& c, bool& out);
void read_into(const cell& c, double& out);
void read_into(const cell& c, std::string& out);
void read_into(const cell& c, tm& out);
void read_into(const cell& c, _variant_t& out);

// A double that is a whole number in range; else bad_value_conversion.
long whole_number(double v);
// Decimal text (blanks around it allowed) that is a whole number in range.
long whole_number(const char* text, std::size_t size);
// Decimal text (blanks around it allowed) that is a number, in the C locale.
double real_number(const char* text, std::size_t size);
// The shortest text that reads back as exactly `v` ("2.5", "-0.1", "1e+300").
std::string real_text(double v);
// "YYYY-MM-DD HH:MM:SS", what dates read as text on every road, followed by the
// fraction of the second when there is one (".5", ".123456"), so no digit of the
// engine's is lost.
std::string date_text(const tm& t, unsigned long nanoseconds = 0);
// The text a driver read from a column of kind `kind` in the engine's own words,
// in the words every road uses: reals shortest-exact, dates as date_text,
// booleans TRUE or FALSE. Text that does not parse as the kind stays as it is
// (an engine without types may hold any text in any column).
void normalise_text(value_kind kind, std::string& text);
// Dates travel for years 100 to 9999 (what OLE Automation and every engine
// here hold); outside, bad_value_conversion before anything is sent.
void check_date(const tm& t);

// What a variant binds as: its value in canonical form.
struct scalar {
    value_kind kind = value_kind::null;
    long integer = 0;
    double real = 0;
    std::string text;  // text, bytes
    tm date{};
};
// VT_EMPTY, VT_NULL, VT_UNKNOWN: null; the integer types: integer; VT_BOOL:
// boolean; VT_R4, VT_R8, VT_CY, VT_DECIMAL: real; VT_DATE: date_time; VT_BSTR:
// text; a byte array: bytes. Any other type: bad_value_conversion.
void from_variant(const _variant_t& v, scalar& out);
// A variant's value as a cell, for read_into when a driver binds the parameter's
// own kind (valid while `s` is).
cell as_cell(const scalar& s);

// Bound values as error contexts show them: NULL, numbers, 'text' (its first 64
// bytes), TRUE or FALSE, dates as date_text, <Binary Data>.
std::string printable(long v);
std::string printable(bool v);
std::string printable(double v);
std::string printable(const std::string& v);
std::string printable(const tm& v);
std::string printable(const _variant_t& v);

}  // namespace tovi::driver

#endif
