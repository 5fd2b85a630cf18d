// Bindings: parameters sent in binary where the type has a fixed binary form
// (int8, float8, bytea, timestamp) and as text otherwise; columns read by their
// type from the rows' text. A bool goes as the text "1" or "0" of no stated
// type: the server reads it as the column's type, an integer or a boolean
// (every road binds a bool as 0 or 1; a binary boolean fits no integer column).
#ifndef TOVI_DRIVERS_PGSQL_PGSQL_BINDINGS_HPP
#define TOVI_DRIVERS_PGSQL_PGSQL_BINDINGS_HPP

#include "pgsql_statement.hpp"

namespace tovi::pgsql {

// Scalars: one class per kind over the framework's typed binding.
template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
class binding : public tovi::driver::typed_binding<driver, T, Free> {
public:
    using tovi::driver::typed_binding<driver, T, Free>::typed_binding;
    void get_value() override;
    void set_value() override;

private:
    char binary_[8] = {};           // a parameter's binary form
    tovi::driver::scalar variant_;  // a variant parameter's value
    std::string bytes_;             // a fetched bytea column read into a variant
};

class lob_binding : public tovi::driver::lob_binding_base<driver> {
public:
    using lob_binding_base::get_value;
    using lob_binding_base::lob_binding_base;
    using lob_binding_base::set_value;
    void get_value() override;
    void set_value() override;

protected:
    void bind_now(const std::string& data) override;

private:
    void send(const std::string& data);
    std::string bound_;  // what bind_now was given
};

struct binding_kinds : tovi::driver::typed_binding_set<binding, lob_binding> {};

}  // namespace tovi::pgsql

#endif
