// lob_t, clob_t, blob_t: large objects reached through their single binding.
#include <tovi/exception.hpp>
#include <tovi/values.hpp>

#include "binding_rules.hpp"

namespace tovi {

lob_t::lob_t() : binding(nullptr) {}

lob_t::~lob_t() {
    if (binding == nullptr) return;
    try {
        binding->unbind();
        binding->destroy();  // reaches destroy_impl, which forgets it
    } catch (...) {
    }
    binding = nullptr;
}

impl::lob_t& lob_t::bound() const {
    if (binding == nullptr) throw bad_operation("The large object is not bound to a statement.", 0);
    return *binding;
}

void lob_t::record_lob_binding(impl::lob_t* fresh) {
    impl::lob_t* earlier = binding;
    if (earlier != nullptr && earlier != fresh && earlier->factory == fresh->factory &&
        fresh->factory->index_of(earlier) >= 0) {
        detail::refuse_second_binding(fresh->factory->index_of(earlier), fresh);
    }
    binding = fresh;
    if (earlier != nullptr && earlier != fresh) {
        earlier->unbind();
        earlier->release();
    }
}

void lob_t::destroy_impl(impl::value_t* b) {
    if (b == binding) binding = nullptr;
    b->release();
}

void lob_t::set_value(const _variant_t& v) {
    value_t::set_value(v);
}

void lob_t::set_value(const std::string& data) {
    set_entire(data);
}

lob_t::operator std::string() {
    return get_entire();
}

unsigned lob_t::get_length() const {
    if (is_null) throw value_is_null(0);
    return bound().get_length();
}

void lob_t::set_length(unsigned n) {
    bound().set_length(n);
    is_null = false;
}

unsigned lob_t::get_portion(unsigned offset, std::string& buffer) {
    if (is_null) throw value_is_null(0);
    return bound().get_portion(offset, buffer);
}

std::string lob_t::get_portion(unsigned offset, unsigned length) {
    if (is_null) throw value_is_null(0);
    return bound().get_portion(offset, length);
}

void lob_t::append_portion(const std::string& data) {
    bound().append_portion(data);
    is_null = false;
}

void lob_t::set_portion(unsigned offset, const std::string& data) {
    bound().set_portion(offset, data);
    is_null = false;
}

std::string lob_t::get_entire() {
    if (is_null) throw value_is_null(0);
    return bound().get_entire();
}

void lob_t::set_entire(const std::string& data) {
    bound().set_entire(data);
    is_null = false;
}

void clob_t::make_impl(impl::value_factory& factory) {
    record_lob_binding(factory.make_clob_impl(this));
}

void clob_t::accept(value_visitor& visitor) {
    visitor.visit_clob_t(*this);
}

void blob_t::make_impl(impl::value_factory& factory) {
    record_lob_binding(factory.make_blob_impl(this));
}

void blob_t::accept(value_visitor& visitor) {
    visitor.visit_blob_t(*this);
}

}  // namespace tovi
