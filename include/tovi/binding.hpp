/// @file
/// The binding contract between the core and every driver module.
///
/// A statement has two factories: one for its parameters (direction `in` or
/// `in_out`) and one for its result columns (`out`). Each item bound with << or >>
/// gets one driver-side binding from its factory's make_*_impl. The core never
/// touches a database buffer: it creates bindings, asks the factory to move data
/// (get_value: application -> driver; set_value: driver -> application) and
/// disposes of them.
///
/// Ownership: a binding is owned by the application value that asked for it, or,
/// for a plain variable, by the statement; it is freed only through its factory's
/// matching free_*_impl, whichever side goes first (see impl::value_t::destroy).
/// Positions count from 0 in the order of binding. Not thread-safe.
///
/// Driver modules derive from these classes; their virtual slot order is the
/// interface between separately built modules and must not change.
#ifndef TOVI_BINDING_HPP
#define TOVI_BINDING_HPP

#include <ctime>
#include <string>
#include <vector>

#include <tovi/config.hpp>

class _variant_t;

namespace tovi {

class value_t;
class bool_t;
class long_t;
class double_t;
class string_t;
class date_time_t;
class lob_t;

/// Which way a factory's bindings move data.
enum Direction {
    in = 1,      ///< a statement's input parameters
    out = 2,     ///< a statement's result columns
    in_out = 3,  ///< parameters that may also return values
};

/// The synchronisation interface of a binding.
///
/// Contract. Called by the binding's factory walks only: get_value before every
/// execution (in list order, after the statement is ready for binding),
/// set_value after every fetched row (columns) or execution (in/out
/// parameters). A failure is a tovi::exception (a native one translated with the
/// statement's context); the walk stops there and the statement stays usable.
class TOVI_API ValueSync {
public:
    virtual ~ValueSync();
    virtual void setup();  ///< does nothing by default
    /// Copy the application's value (and NULL state) into the driver's buffer.
    /// The application's storage must stay valid until the execution ends.
    virtual void get_value() = 0;
    /// Copy the driver's value into the application; nothing for direction `in`.
    /// NULL without an owner to record it: tovi::value_is_null.
    virtual void set_value() = 0;
    /// Make the recorded position agree with the current index in the factory.
    virtual void sync_position() = 0;
};

namespace impl {

class value_factory;

/// A binding. Drivers derive from it (through their own classes).
class TOVI_API value_t : public ValueSync {
public:
    /// A binding made by `factory` for `owner` (null for a plain variable).
    value_t(value_factory& factory, tovi::value_t* owner);

    /// A printable form of the bound value, for error messages ("" by default).
    virtual std::string as_string() const;
    /// Dispose of this binding through its factory's free_*_impl of its kind.
    virtual void release() = 0;

    /// The factory stops listing this binding; the object stays alive.
    void unbind();
    /// Ends this binding: through the owner (which forgets it first) when there is
    /// one, else directly. Either way exactly one free_*_impl runs.
    void destroy();

    value_factory* factory;  ///< never null
    tovi::value_t* owner;    ///< null for a plain variable

protected:
    ~value_t() override;
};

/// A large-object binding with piecewise access (offsets and lengths in bytes;
/// what they count from is the driver's). Unsupported operations throw
/// tovi::not_implemented.
class TOVI_API lob_t : public value_t {
public:
    /// A binding made by `factory` for `owner`.
    lob_t(value_factory& factory, tovi::value_t* owner);

    /// The length of the object.
    virtual unsigned get_length();
    /// Cuts the object to `length` (or extends it, where the driver can).
    virtual void set_length(unsigned length);
    /// Up to `length` bytes from `offset`.
    virtual std::string get_portion(unsigned offset, unsigned length);
    /// Reads from `offset` into `buffer`, returning the bytes read; no driver
    /// implements it yet (tovi::not_implemented).
    virtual unsigned get_portion(unsigned offset, std::string& buffer);
    /// Adds `data` at the end.
    virtual void append_portion(const std::string& data);
    /// Overwrites from `offset` with `data`.
    virtual void set_portion(unsigned offset, const std::string& data);
    /// The whole object.
    virtual std::string get_entire();
    /// Replaces the whole object with `data`.
    virtual void set_entire(const std::string& data);
    /// get_entire(). Const, because a non-const get_value() is the synchronisation
    /// slot of ValueSync (same parameters, other result: C++ allows only an overload).
    virtual std::string get_value() const;
    virtual void set_value(const std::string& data);  ///< set_entire(data)
    using value_t::get_value;
    using value_t::set_value;

protected:
    ~lob_t() override;
};

/// Creates, lists and synchronises the bindings of one statement and direction.
///
/// Contract. make_*_impl is called by << and >> (through a value's make_impl):
/// the new binding is owned by the value that asked (or, for a plain variable,
/// by the statement) and lives until free_*_impl of the same kind, which the
/// core calls when the value, the statement or the description goes, whichever
/// is first. get_value/set_value are called by tovi::statement around execute
/// and after each fetch (see ValueSync). A failing make_*_impl leaves nothing
/// listed.
/// The base make_*_impl / free_*_impl throw tovi::bad_operation "Invalid data
/// binding operation."; a driver overrides the kinds it supports. A driver's
/// make_*_impl creates the binding with position = current list size, appends it
/// (add_binding) and returns it; its free_*_impl deletes it.
class TOVI_API value_factory {
public:
    /// An empty factory for bindings of `direction`.
    explicit value_factory(Direction direction);
    /// Frees the list only: call destroy_all_bindings() first.
    virtual ~value_factory();
    /// A copy would list bindings it did not make.
    value_factory(const value_factory&) = delete;
    value_factory& operator=(const value_factory&) = delete;

    /// A binding of `data` for `owner` (null for a plain variable), and the
    /// matching disposal, one pair per kind of value.
    ///@{
    virtual value_t* make_bool_impl(bool& data, bool_t* owner);
    virtual void free_bool_impl(value_t* binding);
    virtual value_t* make_long_impl(long& data, long_t* owner);
    virtual void free_long_impl(value_t* binding);
    virtual value_t* make_long_vf_impl(long& data, long_t* owner);
    virtual void free_long_vf_impl(value_t* binding);
    virtual value_t* make_double_impl(double& data, double_t* owner);
    virtual void free_double_impl(value_t* binding);
    virtual value_t* make_string_impl(std::string& data, string_t* owner);
    virtual void free_string_impl(value_t* binding);
    virtual value_t* make_date_time_impl(tm& data, date_time_t* owner);
    virtual void free_date_time_impl(value_t* binding);
    virtual lob_t* make_clob_impl(tovi::lob_t* owner);
    virtual void free_clob_impl(lob_t* binding);
    virtual lob_t* make_blob_impl(tovi::lob_t* owner);
    virtual void free_blob_impl(lob_t* binding);
    virtual value_t* make_variant_impl(_variant_t& data, tovi::value_t* owner);
    virtual void free_variant_impl(value_t* binding);
    ///@}
    virtual void get_value();  ///< call_getValue()
    virtual void set_value();  ///< call_setValue()
    virtual void setup();      ///< call_setup()

    /// Walks over the listed bindings, first to last. An exception stops the walk.
    ///@{
    void call_getValue();
    void call_setValue();
    void call_setup();
    void call_syncPosition();
    void sync_position() { call_syncPosition(); }
    ///@}

    /// Ends every listed binding (each owner forgets it, each is freed through
    /// free_*_impl), then empties the list and clears bindings_changed. Every
    /// binding is ended even if one fails; the first failure is then rethrown.
    void destroy_all_bindings();
    /// Stops listing `binding` (the first entry equal to it); the rest keep their order.
    void unbindValue(value_t* binding);
    /// as_string() of every listed binding, joined with ", ".
    std::string as_string() const;

    /// The direction given at construction.
    Direction get_direction() const { return direction; }
    /// The listed bindings, in binding order.
    const std::vector<value_t*>& get_bindings() const { return bindings; }
    /// The number of listed bindings.
    std::size_t size() const { return bindings.size(); }
    /// Index of `binding` in the list, or -1.
    long index_of(const value_t* binding) const;

protected:
    /// Appends a new binding; drivers call it from make_*_impl.
    void add_binding(value_t* binding) { bindings.push_back(binding); }

    const Direction direction;       ///< see get_direction()
    std::vector<value_t*> bindings;  ///< not owned
    /// Set by drivers when an output factory gains a binding, cleared when they
    /// describe the bindings to the native API again.
    bool bindings_changed;
};

}  // namespace impl
}  // namespace tovi

#endif
