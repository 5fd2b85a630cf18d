// The executable and bindable interfaces and the << / >> binding operators.
#include <tovi/oleauto/variant.hpp>
#include <tovi/recordset.hpp>
#include <tovi/value.hpp>

namespace tovi {

command::~command() = default;
data_aware_t::~data_aware_t() = default;
record_t::~record_t() = default;
data_aware_command::~data_aware_command() = default;

impl::describe* recordset_t::make_describe() {
    return nullptr;
}
void recordset_t::destroy_describe(impl::describe*) {}

multiple_recordset_t::~multiple_recordset_t() = default;
bool multiple_recordset_t::next_recordset() {
    return false;
}

// A plain variable's binding has no owner: the statement disposes of it.
data_aware_t& operator<<(data_aware_t& d, long& x) {
    d.get_bind().make_long_impl(x, nullptr);
    return d;
}

data_aware_t& operator<<(data_aware_t& d, double& x) {
    d.get_bind().make_double_impl(x, nullptr);
    return d;
}

data_aware_t& operator<<(data_aware_t& d, tm& x) {
    d.get_bind().make_date_time_impl(x, nullptr);
    return d;
}

data_aware_t& operator<<(data_aware_t& d, std::string& x) {
    d.get_bind().make_string_impl(x, nullptr);
    return d;
}

data_aware_t& operator<<(data_aware_t& d, _variant_t& x) {
    d.get_bind().make_variant_impl(x, nullptr);
    return d;
}

data_aware_t& operator<<(data_aware_t& d, value_factory_acceptor& v) {
    v.make_impl(d.get_bind());
    return d;
}

record_t& operator>>(record_t& r, long& x) {
    r.get_define().make_long_impl(x, nullptr);
    return r;
}

record_t& operator>>(record_t& r, double& x) {
    r.get_define().make_double_impl(x, nullptr);
    return r;
}

record_t& operator>>(record_t& r, tm& x) {
    r.get_define().make_date_time_impl(x, nullptr);
    return r;
}

record_t& operator>>(record_t& r, std::string& x) {
    r.get_define().make_string_impl(x, nullptr);
    return r;
}

record_t& operator>>(record_t& r, _variant_t& x) {
    r.get_define().make_variant_impl(x, nullptr);
    return r;
}

record_t& operator>>(record_t& r, value_factory_acceptor& v) {
    v.make_impl(r.get_define());
    return r;
}

}  // namespace tovi
