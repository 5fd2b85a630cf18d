/// @file
/// The interfaces of everything executable and bindable: command (can be
/// executed), data_aware_t (has a parameter factory), record_t (adds a result
/// column factory), recordset_t (adds stepping through rows), and the stream
/// operators: << binds the next parameter, >> the next result column.
///
/// A plain variable bound with << or >> must outlive the statement's bindings
/// (until the statement is re-parsed or destroyed). Not thread-safe.
#ifndef TOVI_RECORDSET_HPP
#define TOVI_RECORDSET_HPP

#include <ctime>
#include <string>

#include <tovi/binding.hpp>
#include <tovi/config.hpp>

class _variant_t;

namespace tovi {

class value_factory_acceptor;
class describe;
class statement;

namespace impl {
class describe;
}

/// Something that can be executed.
class TOVI_API command {
public:
    virtual ~command();
    /// Runs it.
    virtual void execute() = 0;
};

/// Something parameters can be bound to with <<.
class TOVI_API data_aware_t {
public:
    virtual ~data_aware_t();

protected:
    /// The factory of the parameters.
    virtual impl::value_factory& get_bind() = 0;

    /// @cond internal
    friend class statement;
    friend class describe;
    friend TOVI_API data_aware_t& operator<<(data_aware_t&, long&);
    friend TOVI_API data_aware_t& operator<<(data_aware_t&, double&);
    friend TOVI_API data_aware_t& operator<<(data_aware_t&, tm&);
    friend TOVI_API data_aware_t& operator<<(data_aware_t&, std::string&);
    friend TOVI_API data_aware_t& operator<<(data_aware_t&, _variant_t&);
    friend TOVI_API data_aware_t& operator<<(data_aware_t&, value_factory_acceptor&);
    /// @endcond
};

/// Something result columns can be bound to with >>, as well as parameters.
class TOVI_API record_t : public data_aware_t {
public:
    ~record_t() override;  ///< out of line: the class's one home is libtovi.so

protected:
    /// The factory of the result columns.
    virtual impl::value_factory& get_define() = 0;

    /// @cond internal
    friend class statement;
    friend class describe;
    friend TOVI_API record_t& operator>>(record_t&, long&);
    friend TOVI_API record_t& operator>>(record_t&, double&);
    friend TOVI_API record_t& operator>>(record_t&, tm&);
    friend TOVI_API record_t& operator>>(record_t&, std::string&);
    friend TOVI_API record_t& operator>>(record_t&, _variant_t&);
    friend TOVI_API record_t& operator>>(record_t&, value_factory_acceptor&);
    /// @endcond
};

/// Rows to step through with next(), read into the bound columns.
class TOVI_API recordset_t : public record_t {
public:
    /// Fetches the next row into the bound columns; false when there is none, and
    /// then the bound values keep the last row. A driver statement returns false
    /// before its first execute and after a reset. Defining more columns than the
    /// result has is an error, not a NULL.
    virtual bool next() = 0;

protected:
    /// A description of this recordset's columns, or null when it cannot be
    /// described; owned by this recordset's module, freed through
    /// destroy_describe().
    virtual impl::describe* make_describe();
    /// Frees a description make_describe() made, in the module that made it (the
    /// core ends the description's bindings first).
    virtual void destroy_describe(impl::describe* d);

    friend class describe;
};

/// A recordset with several result sets.
class TOVI_API multiple_recordset_t : public recordset_t {
public:
    ~multiple_recordset_t() override;
    /// Moves to the next result set; the base has none.
    virtual bool next_recordset();
};

/// A command with parameters and result rows: what statements and scripts are.
class TOVI_API data_aware_command : public command, public recordset_t {
public:
    ~data_aware_command() override;  ///< out of line: the class's one home is libtovi.so
};

/// Bind the next parameter (<<) or result column (>>) to a plain variable or to
/// a typed value. Each returns its left operand.
///@{
TOVI_API data_aware_t& operator<<(data_aware_t& d, long& x);
TOVI_API data_aware_t& operator<<(data_aware_t& d, double& x);
TOVI_API data_aware_t& operator<<(data_aware_t& d, tm& x);
TOVI_API data_aware_t& operator<<(data_aware_t& d, std::string& x);
TOVI_API data_aware_t& operator<<(data_aware_t& d, _variant_t& x);
TOVI_API data_aware_t& operator<<(data_aware_t& d, value_factory_acceptor& v);
TOVI_API record_t& operator>>(record_t& r, long& x);
TOVI_API record_t& operator>>(record_t& r, double& x);
TOVI_API record_t& operator>>(record_t& r, tm& x);
TOVI_API record_t& operator>>(record_t& r, std::string& x);
TOVI_API record_t& operator>>(record_t& r, _variant_t& x);
TOVI_API record_t& operator>>(record_t& r, value_factory_acceptor& v);
///@}

}  // namespace tovi

#endif
