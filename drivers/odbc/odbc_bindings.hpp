// One binding class per value kind. Fixed-size parameters (integers, reals,
// booleans, dates) are bound once, to the application's storage or a buffer of
// the binding, and bound again only when the statement's parameters were reset;
// texts when their bytes move; variants and large objects at every execution.
// Fixed-size columns are bound with SQLBindCol before the first fetch; texts,
// variants and large objects are read with SQLGetData after each fetch.
#ifndef TOVI_DRIVERS_ODBC_ODBC_BINDINGS_HPP
#define TOVI_DRIVERS_ODBC_ODBC_BINDINGS_HPP

#include <string>

#include "odbc_statement.hpp"

namespace tovi::odbc {

// Character data through ODBC ends at a NUL byte (psqlODBC sends the text up to
// it; the SQLite ODBC driver reads it back so): such a value is refused, never cut.
[[noreturn]] __attribute__((cold, noinline)) void refuse_nul_at(std::size_t at);
// Runs at every execution that sends text: one memchr, the error out of line.
inline void refuse_nul(const std::string& text) {
    const char* nul = std::char_traits<char>::find(text.data(), text.size(), '\0');
    if (nul != nullptr) refuse_nul_at(static_cast<std::size_t>(nul - text.data()));
}
// A date as ODBC's timestamp (whole seconds), and back.
SQL_TIMESTAMP_STRUCT timestamp_of(const tm& t);
tm tm_of(const SQL_TIMESTAMP_STRUCT& stamp);

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
class binding : public tovi::driver::typed_binding<driver, T, Free> {
public:
    using tovi::driver::typed_binding<driver, T, Free>::typed_binding;
    ~binding() override;
    void setup() override;
    void get_value() override;
    void set_value() override;

private:
    // A column fetched in its own kind (other_), into the variable.
    // Out of line: the usual column needs neither the statement nor its number.
    __attribute__((noinline)) void read_other();
    // A fixed-size column that read as NULL: a typeless engine's driver reads text
    // it cannot cast so. True, with the text in scratch_, when the column holds
    // text after all.
    __attribute__((noinline)) bool text_behind_null(statement& st, SQLUSMALLINT column);
    // That text into the variable, by the value rules (refused unless it reads as one).
    void read_text_behind_null();
    // scratch_ as a text cell for the value rules.
    tovi::driver::cell scratch_text() const;
    // A fixed-size column read as NULL: the text behind it, or the NULL rule.
    __attribute__((noinline)) void fetched_null();
    // Binds the parameter (SQLBindParameter, number position + 1).
    void bind(SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits,
              void* value, SQLLEN length);

    SQLLEN indicator_ = 0;
    unsigned bound_in_ = 0;             // the statement's parameter generation bound in (0: none)
    const char* bound_text_ = nullptr;  // a text's bytes and length as last bound
    SQLLEN bound_length_ = -1;
    SQLBIGINT integer_ = 0;         // a boolean's buffer; an integer or boolean column's
    double real_ = 0;               // a real column's
    SQL_TIMESTAMP_STRUCT stamp_{};  // a date's buffer
    tovi::driver::scalar value_;    // a variant's value
    std::string scratch_;           // a text or byte column read into another kind
    tovi::driver::value_kind variant_kind_ = tovi::driver::value_kind::null;  // a variant column's
    // A column of another kind than the variable's: fetched in its own kind (the
    // driver's casts truncate, and read unparsable text as NULL), read by the
    // framework's rules. null: the variable's own kind.
    tovi::driver::value_kind other_ = tovi::driver::value_kind::null;
};

// Large objects: clobs as character data (bound as binary, a driver may store them
// as blobs), blobs as binary.
class lob_binding : public tovi::driver::lob_binding_base<driver> {
public:
    using lob_binding_base::get_value;
    using lob_binding_base::lob_binding_base;
    using lob_binding_base::set_value;
    void get_value() override;
    void set_value() override;
    // Sends the bytes of this data-at-execution parameter (SQLPutData).
    void put_data();

protected:
    void bind_now(const std::string& data) override;

private:
    SQLLEN indicator_ = 0;
    std::string sent_;
};

struct binding_kinds : tovi::driver::typed_binding_set<binding, lob_binding> {};

}  // namespace tovi::odbc

#endif
