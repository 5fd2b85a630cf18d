// The bases of a driver's bindings, with the rules every driver shares: the
// binding's statement and position, its owner's NULL flag (the NULL rule on
// fetch: the owner records it; without an owner a NULL column is
// tovi::value_is_null), the direction guard and release() through the factory's
// free function of the binding's kind. Large objects add the pending buffer an
// application fills before execution and the fetched copy of a column.
#ifndef TOVI_DRIVER_BINDING_BASE_HPP
#define TOVI_DRIVER_BINDING_BASE_HPP

#include <algorithm>
#include <string>

#include <tovi/tovi.hpp>

#include <tovi/driver/value_rules.hpp>

namespace tovi::driver {

// The NULL rule on fetch, for every binding: the owner records the column's NULL
// state; without an owner a NULL column is tovi::value_is_null. True when the
// column holds a value.
template <class Owner>
inline bool record_fetched_null(Owner* owner, bool is_null) {
    if (owner != nullptr)
        owner->is_null = is_null;
    else if (is_null)
        throw value_is_null(0);
    return !is_null;
}

template <class D>
class binding_base : public impl::value_t {
public:
    using factory_type = typename D::factory;
    using statement_type = typename D::statement;

    binding_base(factory_type& f, tovi::value_t* owner_, unsigned short position_)
        : impl::value_t(f, owner_),
          position(position_),
          null_mark(false),
          statement_(f.get_statement()) {}
    ~binding_base() override = default;

    void sync_position() override {
        position = static_cast<unsigned short>(factory->index_of(this));
    }

protected:
    // Parameters flow only in; columns only out.
    bool is_parameter() const { return factory->get_direction() == in; }
    // The bind rule of scalars: true when the owner is NULL (bind NULL then).
    bool owner_is_null() const { return owner != nullptr && owner->is_null; }
    // Records a fetched column's NULL state (on the owner, or
    // tovi::value_is_null without one); true when the column holds a value.
    bool record_null(bool is_null) { return record_fetched_null(owner, is_null); }
    // A fetched value: the owner is not NULL.
    void record_value() {
        if (owner != nullptr) owner->is_null = false;
    }

    unsigned short position;  // counted from 0
    bool null_mark;           // bound as NULL in the last binding
    statement_type*
        statement_;  // the statement whose factory made this binding (null: a describe's)
};

// A binding of application storage `T`, released through the factory's `Free`.
template <class D, class T, void (impl::value_factory::*Free)(impl::value_t*)>
class typed_binding : public binding_base<D> {
public:
    typed_binding(typename D::factory& f, T& data, tovi::value_t* owner_, unsigned short position_)
        : binding_base<D>(f, owner_, position_), data_(data) {}
    void release() override { (this->factory->*Free)(this); }
    // The bound value as error contexts show it, alike on every road.
    std::string as_string() const override {
        return this->owner_is_null() ? "NULL" : printable(data_);
    }

protected:
    T& data_;
};

// Instantiates a driver's scalar binding template (a typed_binding with the
// driver's get_value/set_value defined in its .cpp) for every scalar kind, with the
// free function each kind is released through. Use once, in that .cpp.
#define TOVI_DRIVER_SCALAR_BINDINGS(TEMPLATE)                                             \
    template class TEMPLATE<long, &::tovi::impl::value_factory::free_long_impl>;          \
    template class TEMPLATE<bool, &::tovi::impl::value_factory::free_long_impl>;          \
    template class TEMPLATE<double, &::tovi::impl::value_factory::free_double_impl>;      \
    template class TEMPLATE<std::string, &::tovi::impl::value_factory::free_string_impl>; \
    template class TEMPLATE<tm, &::tovi::impl::value_factory::free_date_time_impl>;       \
    template class TEMPLATE<_variant_t, &::tovi::impl::value_factory::free_variant_impl>

// A large object: a pending buffer before execution (set_length, set_portion,
// append_portion, set_entire), the fetched column's copy after a fetch. The driver binds and
// fetches (get_value, set_value) and binds given bytes at once (bind_now).
template <class D>
class lob_binding_base : public impl::lob_t {
public:
    using factory_type = typename D::factory;
    using statement_type = typename D::statement;

    lob_binding_base(factory_type& f, tovi::lob_t* owner_, unsigned short position_, bool is_blob_)
        : impl::lob_t(f, owner_),
          position(position_),
          is_blob(is_blob_),
          state(0),
          has_data(false),
          fetched(false),
          empty(true),
          statement_(f.get_statement()) {}
    ~lob_binding_base() override = default;
    // Both forms of each: the whole-object text ones and the synchronisation slots.
    using impl::lob_t::get_value;
    using impl::lob_t::set_value;

    void sync_position() override {
        state = 0;
        has_data = false;
        fetched = false;
        buffer.clear();
        empty = true;
        position = static_cast<unsigned short>(factory->index_of(this));
    }
    void release() override {
        if (is_blob)
            factory->free_blob_impl(this);
        else
            factory->free_clob_impl(this);
    }
    unsigned get_length() override { return static_cast<unsigned>(buffer.size()); }
    void set_length(unsigned length) override {
        if (fetched) return;
        buffer.resize(length);
        state = 1;
        empty = false;
    }
    std::string get_portion(unsigned offset, unsigned length) override {
        if (offset >= buffer.size()) return std::string();
        return buffer.substr(offset, length);
    }
    // Into the start of the caller's buffer, at most its size; the bytes read.
    unsigned get_portion(unsigned offset, std::string& into) override {
        if (offset >= buffer.size()) return 0;
        const std::size_t n = std::min(into.size(), buffer.size() - offset);
        into.replace(0, n, buffer, offset, n);
        return static_cast<unsigned>(n);
    }
    void set_portion(unsigned offset, const std::string& data) override {
        // A fetched object stands for the row's column: it has no buffer to change.
        if (fetched) throw not_implemented(0);
        if (buffer.size() < std::size_t(offset) + data.size())
            buffer.resize(std::size_t(offset) + data.size());
        buffer.replace(offset, data.size(), data);
        pending();
    }
    // Adds `data` at the end of the pending buffer (a fetched object has none).
    void append_portion(const std::string& data) override {
        if (fetched) throw not_implemented(0);
        buffer += data;
        pending();
    }
    std::string get_entire() override { return buffer; }
    void set_entire(const std::string& data) override {
        if (fetched) {
            bind_now(data);  // `data` is the caller's, gone after the call
            return;
        }
        buffer = data;
        pending();
    }

protected:
    // Binds a copy of `data` as this parameter at once.
    virtual void bind_now(const std::string& data) = 0;
    // Nothing to send: NULL, or never given data.
    bool sends_null() const {
        return (owner != nullptr && owner->is_null) || (!fetched && (empty || state == 0));
    }
    // The NULL rule on fetch (see binding_base::record_null).
    bool record_null(bool is_null) { return record_fetched_null(owner, is_null); }

    unsigned short position;
    bool is_blob;
    int state;  // 0 empty, 1 length set, 2 data pending
    bool has_data;
    bool fetched;        // `buffer` holds the last fetched row's column
    std::string buffer;  // pending data, or the fetched column's copy
    bool empty;
    statement_type* statement_;

private:
    void pending() {
        has_data = true;
        state = 2;
        empty = false;
    }
};

}  // namespace tovi::driver

#endif
