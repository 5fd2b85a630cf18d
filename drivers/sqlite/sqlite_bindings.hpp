// One binding class per value kind: values to parameters before execution,
// columns to values after each fetch.
#ifndef TOVI_DRIVERS_SQLITE_SQLITE_BINDINGS_HPP
#define TOVI_DRIVERS_SQLITE_SQLITE_BINDINGS_HPP

#include <sqlite3.h>

#include <string>

#include <tovi/driver/value_rules.hpp>
#include "sqlite_statement.hpp"

namespace tovi::sqlite {

// What the SQLite bindings share: the native statement, the parameter number
// and the checked bind call.
template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
class binding : public tovi::driver::typed_binding<driver, T, Free> {
public:
    using tovi::driver::typed_binding<driver, T, Free>::typed_binding;

protected:
    sqlite3_stmt* native() const { return this->statement_->current(); }
    int parameter() const { return this->position + 1; }
    void check(int rc) const {
        if (rc != SQLITE_OK) fail(rc);
    }
    // A NULL column, or one of another kind than the variable's: the NULL rule,
    // then the framework's rules. Out of line, so that the usual case needs no
    // frame.
    __attribute__((noinline)) void fetch_other(sqlite3_value* v, int type);
    // Binding failures (a position beyond the markers, a value too big) are
    // native failures like any other: classified, with the statement's context.
    [[noreturn]] __attribute__((noinline, cold)) void fail(int rc) const;
    // Binds NULL when the owner is NULL; true then.
    bool bind_null_if_owner_null() {
        this->null_mark = this->owner_is_null();
        if (this->null_mark) check(sqlite3_bind_null(native(), parameter()));
        return this->null_mark;
    }
};

// Whole numbers, bound and read at 64 bits. Booleans: 1 or 0 out, non-zero is
// true in.
class integer_binding : public binding<long, &impl::value_factory::free_long_impl> {
public:
    using binding::binding;
    void get_value() override;
    void set_value() override;
};

class boolean_binding : public binding<bool, &impl::value_factory::free_long_impl> {
public:
    using binding::binding;
    void get_value() override;
    void set_value() override;
};

class real_binding : public binding<double, &impl::value_factory::free_double_impl> {
public:
    using binding::binding;
    void get_value() override;
    void set_value() override;
};

class text_binding : public binding<std::string, &impl::value_factory::free_string_impl> {
public:
    using binding::binding;
    void get_value() override;
    void set_value() override;
};

// Dates: seconds since the epoch in integer columns, or text; years 100 to 9999.
class date_time_binding : public binding<tm, &impl::value_factory::free_date_time_impl> {
public:
    using binding::binding;
    void get_value() override;
    void set_value() override;
};

class variant_binding : public binding<_variant_t, &impl::value_factory::free_variant_impl> {
public:
    using binding::binding;
    void get_value() override;
    void set_value() override;

private:
    tovi::driver::scalar scratch_;  // the variant's value, converted
};

// Large objects: a pending buffer sent as text or blob; a fetched column copied.
class lob_binding : public tovi::driver::lob_binding_base<driver> {
public:
    using lob_binding_base::get_value;  // the whole-object text forms stay visible
    using lob_binding_base::lob_binding_base;
    using lob_binding_base::set_value;
    void get_value() override;
    void set_value() override;

protected:
    void bind_now(const std::string& data) override;

private:
    sqlite3_stmt* native() const { return statement_->current(); }
    void bind_bytes(const std::string& bytes, sqlite3_destructor_type lifetime);
};

struct binding_kinds
    : tovi::driver::binding_set<boolean_binding, integer_binding, real_binding, text_binding,
                                date_time_binding, lob_binding, variant_binding> {};

}  // namespace tovi::sqlite

#endif
