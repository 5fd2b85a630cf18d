// value_t: NULL state, bindings and the generic conversions through visitors.
#include <tovi/conversions.hpp>
#include <tovi/exception.hpp>
#include <tovi/value.hpp>

#include "binding_rules.hpp"

namespace tovi {

value_factory_acceptor::~value_factory_acceptor() = default;

value_t::value_t() : is_null(true) {}

value_t::value_t(const value_t& other) : value_factory_acceptor(other), is_null(other.is_null) {}

value_t::~value_t() {
    // Subclasses dispose of their bindings first; this only catches what is left.
    dispose_bindings();
}

value_t& value_t::operator=(const value_t& other) {
    if (this != &other) is_null = other.is_null;
    return *this;
}

value_t& value_t::operator=(long v) {
    set_value(v);
    return *this;
}

value_t& value_t::operator=(double v) {
    set_value(v);
    return *this;
}

value_t& value_t::operator=(const std::string& v) {
    set_value(v);
    return *this;
}

void value_t::destroy_impl(impl::value_t* binding) {
    auto it = bindings.find(binding->factory);
    if (it != bindings.end() && it->second == binding) bindings.erase(it);
    binding->release();
}

void detail::refuse_second_binding(long earlier_index, impl::value_t* fresh) {
    fresh->unbind();
    fresh->release();
    throw bad_operation("The value is already bound to this statement (position " +
                            std::to_string(earlier_index + 1) +
                            "); bind a second value for a second marker.",
                        0);
}

void value_t::record_binding(impl::value_factory& factory, impl::value_t* binding) {
    auto it = bindings.find(&factory);
    if (it == bindings.end()) {
        bindings.emplace(&factory, binding);
        return;
    }
    impl::value_t* earlier = it->second;
    if (earlier == binding) return;
    if (factory.index_of(earlier) >= 0)
        detail::refuse_second_binding(factory.index_of(earlier), binding);
    it->second = binding;
    earlier->release();
}

void value_t::unbind_all() {
    for (auto& entry : bindings) entry.second->unbind();
}

void value_t::destroy_all() {
    while (!bindings.empty()) {
        impl::value_t* binding = bindings.begin()->second;
        const std::size_t before = bindings.size();
        binding->destroy();
        // A destroy_impl that did not forget the binding must not loop forever.
        if (bindings.size() == before) bindings.erase(bindings.begin());
    }
}

void value_t::dispose_bindings() noexcept {
    try {
        unbind_all();
    } catch (...) {
    }
    while (!bindings.empty()) {
        impl::value_t* binding = bindings.begin()->second;
        const std::size_t before = bindings.size();
        try {
            binding->destroy();
        } catch (...) {
        }
        // Whatever happened, this entry is done with: never loop on it.
        if (bindings.size() >= before) {
            auto it = bindings.begin();
            while (it != bindings.end() && it->second != binding) ++it;
            bindings.erase(it != bindings.end() ? it : bindings.begin());
        }
    }
}

void value_t::set_value(const _variant_t& v) {
    variant_set visitor(v);
    accept(visitor);
}

void value_t::set_value(const std::string& v) {
    string_set visitor(v);
    accept(visitor);
    is_null = false;
}

void value_t::set_value(double v) {
    double_set visitor(v);
    accept(visitor);
    is_null = false;
}

void value_t::set_value(long v) {
    long_set visitor(v);
    accept(visitor);
    is_null = false;
}

value_t::operator long() {
    long_get visitor;
    accept(visitor);
    return visitor.result;
}

value_t::operator double() {
    double_get visitor;
    accept(visitor);
    return visitor.result;
}

value_t::operator std::string() {
    string_get visitor;
    accept(visitor);
    return visitor.result;
}

value_t::operator _variant_t() {
    variant_get visitor;
    accept(visitor);
    return visitor.result;
}

value_visitor::~value_visitor() = default;
void value_visitor::visit_bool_t(bool_t&) {}
void value_visitor::visit_long_t(long_t&) {}
void value_visitor::visit_double_t(double_t&) {}
void value_visitor::visit_string_t(string_t&) {}
void value_visitor::visit_date_time_t(date_time_t&) {}
void value_visitor::visit_clob_t(clob_t&) {}
void value_visitor::visit_blob_t(blob_t&) {}
void value_visitor::visit_cursor_t(cursor_t&) {}

}  // namespace tovi
