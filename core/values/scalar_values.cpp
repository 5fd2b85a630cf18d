// bool_t, long_t, gen::long_t, double_t, string_t and date_time_t.
#include <tovi/date_conv.hpp>
#include <tovi/exception.hpp>
#include <tovi/values.hpp>

#include <boost/date_time/posix_time/posix_time.hpp>
#include <istream>
#include <ostream>

namespace tovi {

// --- bool_t

bool_t::bool_t() : value(false) {}
bool_t::bool_t(bool v) : value(v) {
    is_null = false;
}
bool_t::bool_t(const bool_t& other) : value_t(other), value(other.value) {}
bool_t::~bool_t() {
    dispose_bindings();
}

void bool_t::make_impl(impl::value_factory& factory) {
    record_binding(factory, factory.make_bool_impl(value, this));
}

void bool_t::accept(value_visitor& visitor) {
    visitor.visit_bool_t(*this);
}

// --- long_t

long_t::long_t() : value(0) {}
long_t::long_t(long v) : value(v) {
    is_null = false;
}
long_t::long_t(const long_t& other) : value_t(other), value(other.value) {}
long_t::~long_t() {
    dispose_bindings();
}

void long_t::make_impl(impl::value_factory& factory) {
    record_binding(factory, factory.make_long_impl(value, this));
}

void long_t::accept(value_visitor& visitor) {
    visitor.visit_long_t(*this);
}

void long_t::set_value(long v) {
    value = v;
    is_null = false;
}

long_t::operator long() const {
    if (is_null) throw value_is_null(0);
    return value;
}

gen::long_t::long_t() = default;
gen::long_t::long_t(long v) : tovi::long_t(v) {}
gen::long_t::long_t(const long_t& other) : tovi::long_t(other) {}
gen::long_t::~long_t() {
    dispose_bindings();
}

void gen::long_t::make_impl(impl::value_factory& factory) {
    record_binding(factory, factory.make_long_vf_impl(value, this));
}

// --- double_t

double_t::double_t() : value(0.0) {}
double_t::double_t(double v) : value(v) {
    is_null = false;
}
double_t::double_t(const double_t& other) : value_t(other), value(other.value) {}
double_t::~double_t() {
    dispose_bindings();
}

void double_t::make_impl(impl::value_factory& factory) {
    record_binding(factory, factory.make_double_impl(value, this));
}

void double_t::accept(value_visitor& visitor) {
    visitor.visit_double_t(*this);
}

void double_t::set_value(double v) {
    value = v;
    is_null = false;
}

double_t::operator double() const {
    if (is_null) throw value_is_null(0);
    return value;
}

// --- string_t

string_t::string_t(long max_length_) : max_length(max_length_) {}

string_t::string_t(const std::string& v, long max_length_) : value(v), max_length(max_length_) {
    is_null = false;
}

string_t::string_t(const string_t& other)
    : value_t(other), value(other.value), max_length(other.max_length) {}

string_t::~string_t() {
    dispose_bindings();
}

void string_t::make_impl(impl::value_factory& factory) {
    record_binding(factory, factory.make_string_impl(value, this));
}

void string_t::accept(value_visitor& visitor) {
    visitor.visit_string_t(*this);
}

void string_t::set_value(const _variant_t& v) {
    value_t::set_value(v);
}

void string_t::set_value(const std::string& v) {
    value = v;
    is_null = false;
}

string_t::operator std::string() const {
    if (is_null) throw value_is_null(0);
    return value;
}

string_t::operator _bstr_t() const {
    if (is_null) throw value_is_null(0);
    return _bstr_t(value);
}

// --- date_time_t

namespace {
tm epoch_tm() {
    tm t{};
    t.tm_year = 70;
    t.tm_mday = 1;
    t.tm_wday = 4;  // 1 January 1970 was a Thursday
    t.tm_yday = 0;
    t.tm_isdst = 0;
    return t;
}
}  // namespace

date_time_t::date_time_t() : value(epoch_tm()) {}

date_time_t::date_time_t(const tm& t) : value(t) {
    is_null = false;
}

date_time_t::date_time_t(const long& t) : value(epoch_tm()) {
    time_t2tm(t, value);
    is_null = false;
}

date_time_t::date_time_t(const date_time_t& other) : value_t(other), value(other.value) {}

date_time_t::~date_time_t() {
    dispose_bindings();
}

void date_time_t::make_impl(impl::value_factory& factory) {
    record_binding(factory, factory.make_date_time_impl(value, this));
}

void date_time_t::accept(value_visitor& visitor) {
    visitor.visit_date_time_t(*this);
}

void date_time_t::set_value(const _variant_t& v) {
    value_t::set_value(v);
}

std::ostream& operator<<(std::ostream& os, const date_time_t& v) {
    if (v.is_null) return os << "NULL";
    return os << tm2string(v.value);
}

std::istream& operator>>(std::istream& is, date_time_t& v) {
    boost::posix_time::ptime instant(boost::posix_time::not_a_date_time);
    is >> instant;
    v.value = boost::posix_time::to_tm(instant);  // throws for not-a-date-time
    v.is_null = false;
    return is;
}

}  // namespace tovi
