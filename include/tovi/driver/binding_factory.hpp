// A statement's bind (direction in) or define (direction out) factory, typed to
// the driver: slots 1 to 18 make the driver's binding classes, named in
// D::bindings (boolean, integer, real, text, date_time, lob, variant); every
// free slot deletes. Before binding, the factory has its statement get ready
// (D::statement::ready_for_binding: prepared, or reset for a new run), then binds
// every value in list order.
#ifndef TOVI_DRIVER_BINDING_FACTORY_HPP
#define TOVI_DRIVER_BINDING_FACTORY_HPP

#include <tovi/tovi.hpp>

#include <tovi/driver/binding_base.hpp>

namespace tovi::driver {

// The binding classes of a driver, by kind (D::bindings derives from it).
template <class Boolean, class Integer, class Real, class Text, class DateTime, class Lob,
          class Variant>
struct binding_set {
    using boolean = Boolean;
    using integer = Integer;
    using real = Real;
    using text = Text;
    using date_time = DateTime;
    using lob = Lob;
    using variant = Variant;
};

// The set of a driver whose scalar bindings are one template over the
// application's type and its free function (typed_binding's parameters), with a
// large-object class beside it.
template <template <class T, void (impl::value_factory::*Free)(impl::value_t*)> class B, class Lob>
struct typed_binding_set : binding_set<B<bool, &impl::value_factory::free_long_impl>,
                                       B<long, &impl::value_factory::free_long_impl>,
                                       B<double, &impl::value_factory::free_double_impl>,
                                       B<std::string, &impl::value_factory::free_string_impl>,
                                       B<tm, &impl::value_factory::free_date_time_impl>, Lob,
                                       B<_variant_t, &impl::value_factory::free_variant_impl>> {};

template <class D>
class binding_factory : public impl::value_factory {
public:
    using statement_type = typename D::statement;
    using kinds = typename D::bindings;

    // `owner` is null for a description's factories (nothing is bound natively).
    binding_factory(Direction d, statement_type* owner) : value_factory(d), owner_(owner) {}

    impl::value_t* make_bool_impl(bool& data, bool_t* owner) override {
        return add(new typename kinds::boolean(*this, data, owner, position()));
    }
    void free_bool_impl(impl::value_t* b) override { forget(b); }
    impl::value_t* make_long_impl(long& data, long_t* owner) override {
        return add(new typename kinds::integer(*this, data, owner, position()));
    }
    void free_long_impl(impl::value_t* b) override { forget(b); }
    impl::value_t* make_long_vf_impl(long& data, long_t* owner) override {
        return add(new typename kinds::integer(*this, data, owner, position()));
    }
    void free_long_vf_impl(impl::value_t* b) override { forget(b); }
    impl::value_t* make_double_impl(double& data, double_t* owner) override {
        return add(new typename kinds::real(*this, data, owner, position()));
    }
    void free_double_impl(impl::value_t* b) override { forget(b); }
    impl::value_t* make_string_impl(std::string& data, string_t* owner) override {
        return add(new typename kinds::text(*this, data, owner, position()));
    }
    void free_string_impl(impl::value_t* b) override { forget(b); }
    impl::value_t* make_date_time_impl(tm& data, date_time_t* owner) override {
        return add(new typename kinds::date_time(*this, data, owner, position()));
    }
    void free_date_time_impl(impl::value_t* b) override { forget(b); }
    impl::lob_t* make_clob_impl(tovi::lob_t* owner) override {
        return add(new typename kinds::lob(*this, owner, position(), false));
    }
    void free_clob_impl(impl::lob_t* b) override { forget_lob(b); }
    impl::lob_t* make_blob_impl(tovi::lob_t* owner) override {
        return add(new typename kinds::lob(*this, owner, position(), true));
    }
    void free_blob_impl(impl::lob_t* b) override { forget_lob(b); }
    impl::value_t* make_variant_impl(_variant_t& data, tovi::value_t* owner) override {
        return add(new typename kinds::variant(*this, data, owner, position()));
    }
    void free_variant_impl(impl::value_t* b) override { forget(b); }

    // Parameters: the statement gets ready, then every value is bound. Nothing
    // for columns or a description.
    void get_value() override {
        if (direction == out || owner_ == nullptr) return;
        owner_->ready_for_binding();
        for (impl::value_t* b : bindings) b->get_value();
    }
    // Columns: every fetched value into its binding. Nothing flows back into
    // parameters (direction in): the walk is skipped.
    void set_value() override {
        if (direction == in) return;
        for (impl::value_t* b : bindings) b->set_value();
    }

    statement_type* get_statement() const { return owner_; }
    // Whether bindings were added since clear_changed() (columns only).
    bool changed() const { return bindings_changed; }
    void clear_changed() { bindings_changed = false; }

private:
    unsigned short position() const { return static_cast<unsigned short>(bindings.size()); }
    template <class B>
    B* add(B* binding) {
        add_binding(binding);
        if (direction != in) bindings_changed = true;
        parameters_changed();
        return binding;
    }
    // A parameter came or went: the statement counts its parameters again.
    void parameters_changed() {
        if (owner_ != nullptr && direction != out) owner_->parameters_changed();
    }
    void forget(impl::value_t* b) {
        parameters_changed();
        dispose(b);
    }
    void forget_lob(impl::lob_t* b) {
        parameters_changed();
        dispose_lob(b);
    }
    // Every binding derives from binding_base<D> (large objects from
    // lob_binding_base<D>), whose destructors are public; null is ignored.
    static void dispose(impl::value_t* b) { delete static_cast<binding_base<D>*>(b); }
    static void dispose_lob(impl::lob_t* b) { delete static_cast<lob_binding_base<D>*>(b); }

    statement_type* owner_;
};

}  // namespace tovi::driver

#endif
