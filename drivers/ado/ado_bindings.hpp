// One binding class per value kind. Every binding keeps its value in a
// VARIANT: a parameter's goes into the command's parameter (or the new row's
// field) at each execution; a column's comes from the current row's field after
// each fetch. Dates travel as OLE dates, large objects as text or byte arrays.
#ifndef TOVI_DRIVERS_ADO_ADO_BINDINGS_HPP
#define TOVI_DRIVERS_ADO_ADO_BINDINGS_HPP

#include <string>

#include "ado_statement.hpp"

namespace tovi::ado {

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
class binding : public tovi::driver::typed_binding<driver, T, Free> {
public:
    using tovi::driver::typed_binding<driver, T, Free>::typed_binding;
    void get_value() override;
    void set_value() override;

private:
    _variant_t value_;
};

// Large objects: clobs through set_variant_from_str, blobs as byte arrays.
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
    _variant_t value_;
};

struct binding_kinds : tovi::driver::typed_binding_set<binding, lob_binding> {};

}  // namespace tovi::ado

#endif
