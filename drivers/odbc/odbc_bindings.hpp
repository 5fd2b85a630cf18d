// One binding class per value kind. Parameters are bound before every
// execution (to the application's storage or a buffer of the binding); columns
// are read with SQLGetData after each fetch.
#ifndef TOVI_DRIVERS_ODBC_ODBC_BINDINGS_HPP
#define TOVI_DRIVERS_ODBC_ODBC_BINDINGS_HPP

#include <string>

#include "odbc_statement.hpp"

namespace tovi::odbc {

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
class binding : public tovi::driver::typed_binding<driver, T, Free> {
public:
    using tovi::driver::typed_binding<driver, T, Free>::typed_binding;
    void get_value() override;
    void set_value() override;

private:
    SQLLEN indicator_ = 0;
    std::string scratch_;  // text of a variant, or a boolean's and a date's buffer
};

using integer_binding = binding<long, &impl::value_factory::free_long_impl>;
using boolean_binding = binding<bool, &impl::value_factory::free_long_impl>;
using real_binding = binding<double, &impl::value_factory::free_double_impl>;
using text_binding = binding<std::string, &impl::value_factory::free_string_impl>;
using date_time_binding = binding<tm, &impl::value_factory::free_date_time_impl>;
using variant_binding = binding<_variant_t, &impl::value_factory::free_variant_impl>;

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

struct binding_kinds
    : tovi::driver::binding_set<boolean_binding, integer_binding, real_binding, text_binding,
                                date_time_binding, lob_binding, variant_binding> {};

}  // namespace tovi::odbc

#endif
