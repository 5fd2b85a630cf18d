// A test driver on the driver framework. Its "native API" is a row of cells: what
// the next fetch delivers (`row`), what the last execution sent (`sent`). The
// framework does the rest, as for every real driver: the factory's bookkeeping,
// NULL rules, conversions, large-object buffers, disposal. The factory counts
// every make_*_impl and free_*_impl so tests can check disposal.
#ifndef TOVI_TESTS_SUPPORT_TEST_DRIVER_HPP
#define TOVI_TESTS_SUPPORT_TEST_DRIVER_HPP

#include <tovi/driver/binding_base.hpp>
#include <tovi/driver/binding_factory.hpp>
#include <tovi/driver/value_rules.hpp>
#include <tovi/tovi.hpp>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tovi_test {

// One native column or parameter: SQL NULL, a text, or a variant.
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

class test_record;
class test_factory;
template <class T, void (tovi::impl::value_factory::*Free)(tovi::impl::value_t*)>
class scalar_binding;
class lob_binding;

struct test_driver {
    using statement = test_record;
    using factory = tovi::driver::binding_factory<test_driver>;
    using bindings = tovi::driver::typed_binding_set<scalar_binding, lob_binding>;
};

// The factory of a test record (or of a module's statement, `owner` null: nothing
// is sent then).
class test_factory : public tovi::driver::binding_factory<test_driver> {
    using base = tovi::driver::binding_factory<test_driver>;

public:
    explicit test_factory(tovi::Direction d, test_record* owner = nullptr) : base(d, owner) {}

    tovi::impl::value_t* make_bool_impl(bool& d, tovi::bool_t* o) override {
        return made_one("bool", base::make_bool_impl(d, o));
    }
    tovi::impl::value_t* make_long_impl(long& d, tovi::long_t* o) override {
        return made_one("long", base::make_long_impl(d, o));
    }
    tovi::impl::value_t* make_long_vf_impl(long& d, tovi::long_t* o) override {
        return made_one("long_vf", base::make_long_vf_impl(d, o));
    }
    tovi::impl::value_t* make_double_impl(double& d, tovi::double_t* o) override {
        return made_one("double", base::make_double_impl(d, o));
    }
    tovi::impl::value_t* make_string_impl(std::string& d, tovi::string_t* o) override {
        return made_one("string", base::make_string_impl(d, o));
    }
    tovi::impl::value_t* make_date_time_impl(tm& d, tovi::date_time_t* o) override {
        return made_one("date_time", base::make_date_time_impl(d, o));
    }
    tovi::impl::lob_t* make_clob_impl(tovi::lob_t* o) override {
        return made_one("clob", base::make_clob_impl(o));
    }
    tovi::impl::lob_t* make_blob_impl(tovi::lob_t* o) override {
        return made_one("blob", base::make_blob_impl(o));
    }
    tovi::impl::value_t* make_variant_impl(_variant_t& d, tovi::value_t* o) override {
        return made_one("variant", base::make_variant_impl(d, o));
    }
    // (The framework frees booleans through free_long_impl, as their storage.)
    void free_long_impl(tovi::impl::value_t* b) override {
        count_free("long");
        base::free_long_impl(b);
    }
    void free_long_vf_impl(tovi::impl::value_t* b) override {
        count_free("long_vf");
        base::free_long_vf_impl(b);
    }
    void free_double_impl(tovi::impl::value_t* b) override {
        count_free("double");
        base::free_double_impl(b);
    }
    void free_string_impl(tovi::impl::value_t* b) override {
        count_free("string");
        base::free_string_impl(b);
    }
    void free_date_time_impl(tovi::impl::value_t* b) override {
        count_free("date_time");
        base::free_date_time_impl(b);
    }
    void free_variant_impl(tovi::impl::value_t* b) override {
        count_free("variant");
        base::free_variant_impl(b);
    }
    void free_clob_impl(tovi::impl::lob_t* b) override {
        count_free("clob");
        base::free_clob_impl(b);
    }
    void free_blob_impl(tovi::impl::lob_t* b) override {
        count_free("blob");
        base::free_blob_impl(b);
    }

    // The cell at `position` of what execution sent, made room for.
    cell& sent_at(std::size_t position) {
        if (sent.size() <= position) sent.resize(position + 1);
        return sent[position];
    }
    int total_made() const { return count(made); }
    int total_freed() const { return count(freed); }

    std::map<std::string, int> made, freed;
    std::function<void(const std::string&)> on_free;  // told of every free
    std::vector<cell> row;                            // what set_value() delivers, by position
    std::vector<cell> sent;                           // what get_value() sent, by position

private:
    template <class B>
    B* made_one(const char* kind, B* binding) {
        ++made[kind];
        return binding;
    }
    void count_free(const char* kind) {
        ++freed[kind];
        if (on_free) on_free(kind);
    }
    static int count(const std::map<std::string, int>& m) {
        int n = 0;
        for (const auto& e : m) n += e.second;
        return n;
    }
};

// A binding's position, for tests (the framework keeps it protected).
struct positioned {
    virtual ~positioned() = default;
    virtual long where() const = 0;
};
inline long position_of(const tovi::impl::value_t* b) {
    return dynamic_cast<const positioned&>(*b).where();
}

// The native text of each kind of application storage.
inline std::string native_text(long v) {
    return std::to_string(v);
}
inline std::string native_text(bool v) {
    return v ? "1" : "0";
}
inline std::string native_text(double v) {
    return tovi::driver::real_text(v);
}
inline std::string native_text(const std::string& v) {
    return v;
}
inline std::string native_text(const tm& v) {
    tovi::driver::check_date(v);
    return tovi::driver::date_text(v);
}

template <class T, void (tovi::impl::value_factory::*Free)(tovi::impl::value_t*)>
class scalar_binding : public tovi::driver::typed_binding<test_driver, T, Free>, public positioned {
    using base = tovi::driver::typed_binding<test_driver, T, Free>;

public:
    using base::base;
    long where() const override { return this->position; }

    void get_value() override {
        cell c;
        if constexpr (std::is_same_v<T, _variant_t>) {
            tovi::driver::scalar s;
            tovi::driver::from_variant(this->data_, s);  // refuses what cannot be sent
            c.null = s.kind == tovi::driver::value_kind::null;
            c.variant = this->data_;
        } else if (!this->owner_is_null()) {
            c = cell::of(native_text(this->data_));
        }
        native().sent_at(this->position) = c;
    }
    void set_value() override {
        const cell& c = native().row.at(this->position);
        if constexpr (std::is_same_v<T, _variant_t>) {
            if (c.null) {  // a variant reads NULL as empty
                if (this->owner != nullptr) this->owner->is_null = true;
                this->data_.Clear();
                return;
            }
        } else if (!this->record_null(c.null)) {
            return;
        }
        if (c.variant.vt != VT_EMPTY) {
            tovi::driver::scalar s;
            tovi::driver::from_variant(c.variant, s);
            tovi::driver::read_into(tovi::driver::as_cell(s), this->data_);
        } else {
            tovi::driver::cell text;
            text.kind = tovi::driver::value_kind::text;
            text.data = c.text.data();
            text.size = c.text.size();
            tovi::driver::read_into(text, this->data_);
        }
        this->record_value();
    }

private:
    test_factory& native() const { return static_cast<test_factory&>(*this->factory); }
};

class lob_binding : public tovi::driver::lob_binding_base<test_driver> {
public:
    using lob_binding_base::lob_binding_base;

    void get_value() override {
        native().sent_at(position) = sends_null() ? cell::sql_null() : cell::of(buffer);
    }
    void set_value() override {
        const cell& c = native().row.at(position);
        fetched = true;
        if (record_null(c.null)) buffer = c.text;
    }

protected:
    void bind_now(const std::string& data) override { native().sent_at(position) = cell::of(data); }

private:
    test_factory& native() const { return static_cast<test_factory&>(*this->factory); }
};

// A statement-like recordset over the test factories: execute() sends the
// parameters, next() delivers the queued rows into the bound columns.
class test_record : public tovi::recordset_t {
public:
    test_record() : bind(tovi::in, this), define(tovi::out, this) {}
    ~test_record() override {
        bind.destroy_all_bindings();
        define.destroy_all_bindings();
    }
    void execute() { bind.get_value(); }
    bool next() override {
        if (next_row >= rows.size()) return false;
        define.row = rows[next_row++];
        define.set_value();
        return true;
    }
    // What the framework asks of a driver's statement.
    void ready_for_binding() {}
    void parameters_changed() {}

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
