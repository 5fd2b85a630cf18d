// A test driver's side of the binding contract, written as a driver module writes
// it: a value_factory subclass whose bindings keep a position, copy values to and
// from a "native" row of text cells, and are freed through the factory.
// It counts every make_*_impl and free_*_impl so tests can check disposal.
#ifndef TOVI_TESTS_SUPPORT_TEST_DRIVER_HPP
#define TOVI_TESTS_SUPPORT_TEST_DRIVER_HPP

#include <tovi/tovi.hpp>

#include <charconv>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tovi_test {

// One native column or parameter: SQL NULL or a text, or a variant.
struct cell {
    bool null = true;
    std::string text;
    _variant_t variant;

    static cell of(const std::string& t) {
        cell c;
        c.null = false;
        c.text = t;
        return c;
    }
    static cell sql_null() { return cell(); }
};

class test_factory;

// Text forms of the native cells, per kind of application storage.
inline std::string encode(long v) {
    return std::to_string(v);
}
inline std::string encode(bool v) {
    return v ? "1" : "0";
}
inline std::string encode(const std::string& v) {
    return v;
}
inline std::string encode(const tm& v) {
    return tovi::tm2string(v);
}
inline std::string encode(double v) {
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, r.ptr);
}
inline void decode(const std::string& t, long& v) {
    v = std::stol(t);
}
inline void decode(const std::string& t, bool& v) {
    v = t == "1";
}
inline void decode(const std::string& t, std::string& v) {
    v = t;
}
inline void decode(const std::string& t, tm& v) {
    tovi::string2tm(t, v);
}
inline void decode(const std::string& t, double& v) {
    std::from_chars(t.data(), t.data() + t.size(), v);
}

class test_binding_base : public tovi::impl::value_t {
public:
    test_binding_base(test_factory& f, tovi::value_t* owner, const char* kind);
    ~test_binding_base() override = default;
    void sync_position() override;
    void release() override;

    test_factory& owner_factory;
    const char* kind;
    long position;  // count of bindings before this one, at creation
};

class test_factory : public tovi::impl::value_factory {
public:
    explicit test_factory(tovi::Direction d) : value_factory(d) {}

    tovi::impl::value_t* make_bool_impl(bool& data, tovi::bool_t* owner) override;
    void free_bool_impl(tovi::impl::value_t* b) override { free("bool", b); }
    tovi::impl::value_t* make_long_impl(long& data, tovi::long_t* owner) override;
    void free_long_impl(tovi::impl::value_t* b) override { free("long", b); }
    tovi::impl::value_t* make_long_vf_impl(long& data, tovi::long_t* owner) override;
    void free_long_vf_impl(tovi::impl::value_t* b) override { free("long_vf", b); }
    tovi::impl::value_t* make_double_impl(double& data, tovi::double_t* owner) override;
    void free_double_impl(tovi::impl::value_t* b) override { free("double", b); }
    tovi::impl::value_t* make_string_impl(std::string& data, tovi::string_t* owner) override;
    void free_string_impl(tovi::impl::value_t* b) override { free("string", b); }
    tovi::impl::value_t* make_date_time_impl(tm& data, tovi::date_time_t* owner) override;
    void free_date_time_impl(tovi::impl::value_t* b) override { free("date_time", b); }
    tovi::impl::lob_t* make_clob_impl(tovi::lob_t* owner) override;
    void free_clob_impl(tovi::impl::lob_t* b) override;
    tovi::impl::lob_t* make_blob_impl(tovi::lob_t* owner) override;
    void free_blob_impl(tovi::impl::lob_t* b) override;
    tovi::impl::value_t* make_variant_impl(_variant_t& data, tovi::value_t* owner) override;
    void free_variant_impl(tovi::impl::value_t* b) override { free("variant", b); }

    template <class B>
    B* add(B* binding, const char* kind) {
        ++made[kind];
        add_binding(binding);
        if (direction != tovi::in) bindings_changed = true;
        return binding;
    }
    void free(const char* kind, tovi::impl::value_t* b) {
        ++freed[kind];
        if (on_free) on_free(kind);
        delete static_cast<test_binding_base*>(b);
    }
    bool changed() const { return bindings_changed; }
    int total_made() const { return count(made); }
    int total_freed() const { return count(freed); }

    std::map<std::string, int> made, freed;
    std::function<void(const std::string&)> on_free;  // told of every free
    std::vector<cell> row;                            // what set_value() delivers, by position
    std::vector<cell> sent;                           // what get_value() sent, by position

private:
    static int count(const std::map<std::string, int>& m) {
        int n = 0;
        for (const auto& e : m) n += e.second;
        return n;
    }
};

inline test_binding_base::test_binding_base(test_factory& f, tovi::value_t* owner, const char* k)
    : tovi::impl::value_t(f, owner),
      owner_factory(f),
      kind(k),
      position(static_cast<long>(f.size())) {}

inline void test_binding_base::sync_position() {
    position = owner_factory.index_of(this);
}

inline void test_binding_base::release() {
    const std::string k = kind;
    if (k == "bool")
        owner_factory.free_bool_impl(this);
    else if (k == "long")
        owner_factory.free_long_impl(this);
    else if (k == "long_vf")
        owner_factory.free_long_vf_impl(this);
    else if (k == "double")
        owner_factory.free_double_impl(this);
    else if (k == "string")
        owner_factory.free_string_impl(this);
    else if (k == "date_time")
        owner_factory.free_date_time_impl(this);
    else if (k == "variant")
        owner_factory.free_variant_impl(this);
}

template <class T>
class scalar_binding : public test_binding_base {
public:
    scalar_binding(test_factory& f, T& data_, tovi::value_t* owner, const char* k)
        : test_binding_base(f, owner, k), data(data_) {}

    void get_value() override {
        cell c;
        if (!(owner != nullptr && owner->is_null)) c = cell::of(encode(data));
        if (owner_factory.sent.size() <= static_cast<std::size_t>(position))
            owner_factory.sent.resize(position + 1);
        owner_factory.sent[position] = c;
    }
    void set_value() override {
        if (owner_factory.get_direction() == tovi::in) return;
        const cell& c = owner_factory.row.at(position);
        if (owner != nullptr) owner->is_null = c.null;
        if (c.null) {
            if (owner == nullptr) throw tovi::value_is_null(0);
            return;
        }
        decode(c.text, data);
    }
    std::string as_string() const override { return encode(data); }

    T& data;
};

class variant_binding : public test_binding_base {
public:
    variant_binding(test_factory& f, _variant_t& data_, tovi::value_t* owner)
        : test_binding_base(f, owner, "variant"), data(data_) {}
    void get_value() override {
        cell c;
        c.variant = data;
        c.null = data.vt == VT_EMPTY || data.vt == VT_NULL;
        if (owner_factory.sent.size() <= static_cast<std::size_t>(position))
            owner_factory.sent.resize(position + 1);
        owner_factory.sent[position] = c;
    }
    void set_value() override {
        if (owner_factory.get_direction() == tovi::in) return;
        const cell& c = owner_factory.row.at(position);
        if (c.null)
            data.Clear();
        else
            data = c.variant;
    }
    _variant_t& data;
};

class lob_binding : public tovi::impl::lob_t {
public:
    lob_binding(test_factory& f, tovi::lob_t* owner, const char* k)
        : tovi::impl::lob_t(f, owner),
          owner_factory(f),
          kind(k),
          position(static_cast<long>(f.size())) {}
    ~lob_binding() override = default;

    void get_value() override {
        cell c;
        if (!owner->is_null) c = cell::of(content);
        if (owner_factory.sent.size() <= static_cast<std::size_t>(position))
            owner_factory.sent.resize(position + 1);
        owner_factory.sent[position] = c;
    }
    void set_value() override {
        if (owner_factory.get_direction() == tovi::in) return;
        const cell& c = owner_factory.row.at(position);
        owner->is_null = c.null;
        if (!c.null) content = c.text;
    }
    void sync_position() override { position = owner_factory.index_of(this); }
    void release() override {
        if (std::string(kind) == "clob")
            owner_factory.free_clob_impl(this);
        else
            owner_factory.free_blob_impl(this);
    }
    unsigned get_length() override { return static_cast<unsigned>(content.size()); }
    void set_length(unsigned n) override { content.resize(n); }
    std::string get_portion(unsigned offset, unsigned length) override {
        return offset >= content.size() ? std::string() : content.substr(offset, length);
    }
    unsigned get_portion(unsigned offset, std::string& buffer) override {
        const std::string part = get_portion(offset, static_cast<unsigned>(buffer.size()));
        buffer.replace(0, part.size(), part);
        return static_cast<unsigned>(part.size());
    }
    void append_portion(const std::string& data) override { content += data; }
    void set_portion(unsigned offset, const std::string& data) override {
        if (content.size() < offset + data.size()) content.resize(offset + data.size());
        content.replace(offset, data.size(), data);
    }
    std::string get_entire() override { return content; }
    void set_entire(const std::string& data) override { content = data; }

    test_factory& owner_factory;
    const char* kind;
    long position;
    std::string content;
};

inline tovi::impl::value_t* test_factory::make_bool_impl(bool& data, tovi::bool_t* owner) {
    return add(new scalar_binding<bool>(*this, data, owner, "bool"), "bool");
}
inline tovi::impl::value_t* test_factory::make_long_impl(long& data, tovi::long_t* owner) {
    return add(new scalar_binding<long>(*this, data, owner, "long"), "long");
}
inline tovi::impl::value_t* test_factory::make_long_vf_impl(long& data, tovi::long_t* owner) {
    return add(new scalar_binding<long>(*this, data, owner, "long_vf"), "long_vf");
}
inline tovi::impl::value_t* test_factory::make_double_impl(double& data, tovi::double_t* owner) {
    return add(new scalar_binding<double>(*this, data, owner, "double"), "double");
}
inline tovi::impl::value_t* test_factory::make_string_impl(std::string& data,
                                                           tovi::string_t* owner) {
    return add(new scalar_binding<std::string>(*this, data, owner, "string"), "string");
}
inline tovi::impl::value_t* test_factory::make_date_time_impl(tm& data, tovi::date_time_t* owner) {
    return add(new scalar_binding<tm>(*this, data, owner, "date_time"), "date_time");
}
inline tovi::impl::lob_t* test_factory::make_clob_impl(tovi::lob_t* owner) {
    return add(new lob_binding(*this, owner, "clob"), "clob");
}
inline tovi::impl::lob_t* test_factory::make_blob_impl(tovi::lob_t* owner) {
    return add(new lob_binding(*this, owner, "blob"), "blob");
}
inline void test_factory::free_clob_impl(tovi::impl::lob_t* b) {
    ++freed["clob"];
    if (on_free) on_free("clob");
    delete static_cast<lob_binding*>(b);
}
inline void test_factory::free_blob_impl(tovi::impl::lob_t* b) {
    ++freed["blob"];
    if (on_free) on_free("blob");
    delete static_cast<lob_binding*>(b);
}
inline tovi::impl::value_t* test_factory::make_variant_impl(_variant_t& data,
                                                            tovi::value_t* owner) {
    return add(new variant_binding(*this, data, owner), "variant");
}

// A statement-like recordset over the test factories: execute() sends the
// parameters, next() delivers the queued rows into the bound columns.
class test_record : public tovi::recordset_t {
public:
    test_record() : bind(tovi::in), define(tovi::out) {}
    ~test_record() override {
        bind.destroy_all_bindings();
        define.destroy_all_bindings();
    }
    void execute() {
        bind.get_value();
        bind.set_value();
    }
    bool next() override {
        if (next_row >= rows.size()) return false;
        define.row = rows[next_row++];
        define.set_value();
        return true;
    }

    test_factory bind;
    test_factory define;
    std::vector<std::vector<cell>> rows;
    std::size_t next_row = 0;

protected:
    tovi::impl::value_factory& get_bind() override { return bind; }
    tovi::impl::value_factory& get_define() override { return define; }
};

}  // namespace tovi_test

#endif
