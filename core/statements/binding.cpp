// The core's half of the binding contract: bindings, large-object bindings and
// the factory's list, walks and disposal.
#include <tovi/binding.hpp>
#include <tovi/exception.hpp>
#include <tovi/value.hpp>

#include <algorithm>
#include <exception>

namespace tovi {

ValueSync::~ValueSync() = default;
void ValueSync::setup() {}

namespace impl {

value_t::value_t(value_factory& factory_, tovi::value_t* owner_)
    : factory(&factory_), owner(owner_) {}

value_t::~value_t() = default;

std::string value_t::as_string() const {
    return std::string();
}

void value_t::unbind() {
    factory->unbindValue(this);
}

void value_t::destroy() {
    if (owner != nullptr)
        owner->destroy_impl(this);
    else
        release();
}

lob_t::lob_t(value_factory& factory_, tovi::value_t* owner_) : value_t(factory_, owner_) {}
lob_t::~lob_t() = default;

unsigned lob_t::get_length() {
    throw not_implemented(0);
}
void lob_t::set_length(unsigned) {
    throw not_implemented(0);
}
std::string lob_t::get_portion(unsigned, unsigned) {
    throw not_implemented(0);
}
unsigned lob_t::get_portion(unsigned, std::string&) {
    throw not_implemented(0);
}
void lob_t::append_portion(const std::string&) {
    throw not_implemented(0);
}
void lob_t::set_portion(unsigned, const std::string&) {
    throw not_implemented(0);
}
std::string lob_t::get_entire() {
    throw not_implemented(0);
}
void lob_t::set_entire(const std::string&) {
    throw not_implemented(0);
}
std::string lob_t::get_value() const {
    return const_cast<lob_t*>(this)->get_entire();
}
void lob_t::set_value(const std::string& data) {
    set_entire(data);
}

namespace {
[[noreturn]] void invalid_binding() {
    throw bad_operation("Invalid data binding operation.", 0);
}
}  // namespace

value_factory::value_factory(Direction direction_)
    : direction(direction_), bindings_changed(false) {}

value_factory::~value_factory() = default;

value_t* value_factory::make_bool_impl(bool&, bool_t*) {
    invalid_binding();
}
void value_factory::free_bool_impl(value_t*) {
    invalid_binding();
}
value_t* value_factory::make_long_impl(long&, long_t*) {
    invalid_binding();
}
void value_factory::free_long_impl(value_t*) {
    invalid_binding();
}
value_t* value_factory::make_long_vf_impl(long&, long_t*) {
    invalid_binding();
}
void value_factory::free_long_vf_impl(value_t*) {
    invalid_binding();
}
value_t* value_factory::make_double_impl(double&, double_t*) {
    invalid_binding();
}
void value_factory::free_double_impl(value_t*) {
    invalid_binding();
}
value_t* value_factory::make_string_impl(std::string&, string_t*) {
    invalid_binding();
}
void value_factory::free_string_impl(value_t*) {
    invalid_binding();
}
value_t* value_factory::make_date_time_impl(tm&, date_time_t*) {
    invalid_binding();
}
void value_factory::free_date_time_impl(value_t*) {
    invalid_binding();
}
lob_t* value_factory::make_clob_impl(tovi::lob_t*) {
    invalid_binding();
}
void value_factory::free_clob_impl(lob_t*) {
    invalid_binding();
}
lob_t* value_factory::make_blob_impl(tovi::lob_t*) {
    invalid_binding();
}
void value_factory::free_blob_impl(lob_t*) {
    invalid_binding();
}
value_t* value_factory::make_variant_impl(_variant_t&, tovi::value_t*) {
    invalid_binding();
}
void value_factory::free_variant_impl(value_t*) {
    invalid_binding();
}

void value_factory::get_value() {
    call_getValue();
}
void value_factory::set_value() {
    call_setValue();
}
void value_factory::setup() {
    call_setup();
}

void value_factory::call_getValue() {
    for (value_t* binding : bindings) binding->get_value();
}

void value_factory::call_setValue() {
    for (value_t* binding : bindings) binding->set_value();
}

void value_factory::call_setup() {
    for (value_t* binding : bindings) binding->setup();
}

void value_factory::call_syncPosition() {
    for (value_t* binding : bindings) binding->sync_position();
}

void value_factory::destroy_all_bindings() {
    // Take the list first: disposal must neither see nor disturb it.
    std::vector<value_t*> listed;
    listed.swap(bindings);
    bindings_changed = false;
    std::exception_ptr first_failure;
    for (value_t* binding : listed) {
        try {
            binding->destroy();
        } catch (...) {
            if (!first_failure) first_failure = std::current_exception();
        }
    }
    if (first_failure) std::rethrow_exception(first_failure);
}

void value_factory::unbindValue(value_t* binding) {
    auto it = std::find(bindings.begin(), bindings.end(), binding);
    if (it != bindings.end()) bindings.erase(it);
}

std::string value_factory::as_string() const {
    std::string text;
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        if (i != 0) text += ", ";
        text += bindings[i]->as_string();
    }
    return text;
}

long value_factory::index_of(const value_t* binding) const {
    auto it = std::find(bindings.begin(), bindings.end(), binding);
    return it == bindings.end() ? -1 : static_cast<long>(it - bindings.begin());
}

}  // namespace impl
}  // namespace tovi
