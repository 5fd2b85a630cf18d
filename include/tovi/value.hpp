/// @file
/// The base of tovi's typed values: a value with its own NULL flag, bindable to
/// any number of statements (one binding per statement direction), convertible to
/// and from long, double, text and _variant_t by one rule per pair (the
/// conversion visitors), and inspectable through a value_visitor.
///
/// A value owns the bindings it asked for. It may die before the statements it is
/// bound to (they stop listing its bindings) or after them (they dispose of the
/// bindings and the value forgets them). Copies and assignments never copy
/// bindings. Not thread-safe.
#ifndef TOVI_VALUE_HPP
#define TOVI_VALUE_HPP

#include <map>
#include <string>

#include <tovi/binding.hpp>
#include <tovi/config.hpp>
#include <tovi/oleauto/variant.hpp>

namespace tovi {

class bool_t;
class long_t;
class double_t;
class string_t;
class date_time_t;
class clob_t;
class blob_t;
class cursor_t;
class value_visitor;

/// Anything that can be bound through a factory.
class TOVI_API value_factory_acceptor {
public:
    value_factory_acceptor() = default;
    /// Copies nothing: bindings are never copied.
    ///@{
    value_factory_acceptor(const value_factory_acceptor&) = default;
    value_factory_acceptor& operator=(const value_factory_acceptor&) { return *this; }
    ///@}
    virtual ~value_factory_acceptor();
    /// Asks `factory` for a binding of this value's kind and records it.
    virtual void make_impl(impl::value_factory& factory) = 0;
    /// Forgets `binding`, then releases it.
    virtual void destroy_impl(impl::value_t* binding) = 0;
};

/// A typed value with its own NULL flag (a new one is NULL), bindable to any
/// number of statements at once; see values.hpp for the classes.
class TOVI_API value_t : public value_factory_acceptor {
public:
    value_t();
    ~value_t() override;

    void make_impl(impl::value_factory& factory) override = 0;
    void destroy_impl(impl::value_t* binding) override;
    /// Calls the visitor's slot for this value's class.
    virtual void accept(value_visitor& visitor) = 0;

    /// Setters through the conversion visitors. The long, double and text forms
    /// clear the NULL flag; the variant form lets the variant decide (empty or
    /// null variants make the value NULL).
    ///@{
    virtual void set_value(const _variant_t& v);
    virtual void set_value(const std::string& v);
    virtual void set_value(double v);
    virtual void set_value(long v);
    ///@}
    /// Generic conversions through the conversion visitors: they throw
    /// tovi::bad_value_conversion where a rule fails (a NULL value among them).
    ///@{
    virtual operator long();
    virtual operator double();
    virtual operator std::string();
    virtual operator _variant_t();
    ///@}

    /// Copies the NULL state only: data is copied by the subclasses' own
    /// assignment, bindings never.
    value_t& operator=(const value_t& other);
    /// set_value(v).
    ///@{
    value_t& operator=(long v);
    value_t& operator=(double v);
    value_t& operator=(const std::string& v);
    value_t& operator=(int v) { return *this = static_cast<long>(v); }
    value_t& operator=(const char* v) { return *this = std::string(v); }
    ///@}

    /// Number of statements this value is bound to.
    std::size_t binding_count() const { return bindings.size(); }

protected:
    /// No bindings; the NULL state of `other`.
    value_t(const value_t& other);

    /// Records a new binding for its factory; an earlier binding for the same
    /// factory is unbound and released first, so it never calls back a dead owner.
    void record_binding(impl::value_factory& factory, impl::value_t* binding);
    /// The factories stop listing this value's bindings (the map is kept).
    void unbind_all();
    /// Ends every binding through destroy() (which reaches destroy_impl).
    void destroy_all();
    /// unbind_all() then destroy_all(), dropping errors: what destructors do.
    void dispose_bindings() noexcept;

    std::map<impl::value_factory*, impl::value_t*> bindings;  ///< one binding per factory

public:
    /// True while the value is NULL. Drivers set it through a binding's owner.
    bool is_null;
};

/// Inspects a value by its class; every default does nothing. A gen::long_t is
/// visited as a long_t. cursor_t::accept visits nothing.
class TOVI_API value_visitor {
public:
    virtual ~value_visitor();
    /// Called by accept() of the value's class; does nothing by default.
    ///@{
    virtual void visit_bool_t(bool_t& v);
    virtual void visit_long_t(long_t& v);
    virtual void visit_double_t(double_t& v);
    virtual void visit_string_t(string_t& v);
    virtual void visit_date_time_t(date_time_t& v);
    virtual void visit_clob_t(clob_t& v);
    virtual void visit_blob_t(blob_t& v);
    virtual void visit_cursor_t(cursor_t& v);
    ///@}
};

}  // namespace tovi

#endif
