/// @file
/// Statements: tovi::statement runs SQL text on a data source or inside an
/// explicit transaction; the database work is done by a driver statement
/// (impl::string_stmt) handed out by the transaction's driver side.
///
/// @code
/// tovi::statement st(ds, 1);
/// st.parse("INSERT INTO t VALUES(:a, :b)");
/// st << a << b;          // parameters, in position order
/// st.execute();
/// st.parse("SELECT a FROM t");
/// st >> x;               // result columns, in position order
/// st.execute();
/// while (st.next()) use(x);
/// @endcode
///
/// Every parse() disposes of the earlier bindings. Using a statement before
/// parse() throws tovi::bad_operation. Not thread-safe.
#ifndef TOVI_STATEMENT_HPP
#define TOVI_STATEMENT_HPP

#include <string>

#include <tovi/config.hpp>
#include <tovi/recordset.hpp>
#include <tovi/transaction.hpp>

namespace tovi {

class data_source;

namespace impl {

/// The primary interface of a driver statement; its slot order is part of the
/// interface between separately built modules.
///
/// Contract. A driver statement belongs to its transaction's cache (see
/// impl::transaction::acquire_statement); the core calls it from one thread.
/// Every failure is a tovi::exception translated by the dialect with the
/// statement's context ("[Statement: '...'][Driver: ...; Database: '...']" and
/// the cache statistics). A failed execute or next leaves the statement usable:
/// the next execute starts afresh.
class TOVI_API executable {
public:
    /// Called by the driver's cache only (eviction, purge, destruction); never
    /// throws.
    virtual ~executable();
    /// Called by tovi::statement::execute after the bind factory's get_value and
    /// before its set_value: runs the statement. A query may leave its rows to
    /// next(); anything else runs to its end here.
    virtual void execute() = 0;
    /// Called by the driver's transaction when the statement is handed back, and
    /// by a commit or rollback: back to the start, with no rows until the next
    /// execute (next() returns false).
    virtual void reset() = 0;
    /// Called by tovi::statement::flush; drivers with nothing to send do nothing.
    virtual void flush() = 0;
    /// The key a driver caches the statement under ("" by default).
    virtual std::string get_key() const;
};

/// A driver-side statement: its recordset part gives the bind and define
/// factories and the row stepping.
class TOVI_API statement : public executable, public recordset_t {
public:
    ~statement() override;
    using recordset_t::get_bind;
    using recordset_t::get_define;
};

/// The base of every driver's statement for SQL text.
class TOVI_API string_stmt : public statement {
public:
    /// Records the command it serves and the options it was made with.
    string_stmt(const data_aware_command* command, unsigned int options);
    ~string_stmt() override;
    std::string get_key() const override { return key; }
    /// Called once, by the cache, right after creation: records the text (the
    /// cache key), its kind from the dialect and the native text. May prepare
    /// natively or leave that to the first use; a failure destroys the statement.
    virtual void prepare(const std::string& sql) = 0;
    /// A driver-defined control operation; the core never calls it.
    virtual int control(int argument) = 0;

    /// The application's statement this one serves (not owned).
    const data_aware_command* command;
    /// The SQL text as given, the cache key.
    std::string key;
    /// Unused; zero.
    int reserved;
    /// The options of the tovi::statement that asked for it.
    unsigned int options;
};

}  // namespace impl

/// A statement in the application: parse, bind with << and >>, execute, step with next().
///
/// Parameters and result columns bind with the operators of data_aware_t:
/// `st << value` binds the next marker of the parsed text to `value` (read at each
/// execute()), `st >> variable` the next result column to `variable` (written at
/// each next()); both take plain variables (long, double, bool, std::string, tm,
/// _variant_t) and tovi's typed values, which carry their own NULL flag.
///
/// `options` is handed to the driver's statement and not read by tovi's drivers:
/// pass 1, as every example does.
class TOVI_API statement : public data_aware_command {
public:
    /// On the data source's connection: in its connection-wide transaction if it
    /// has one, else in a transaction of the statement's own.
    statement(data_source& source, unsigned int options);
    /// Inside an application's transaction (never freed by the statement).
    statement(transaction& t, unsigned int options);
    /// Disposes of the bindings, hands the driver statement back and ends a
    /// transaction the statement made itself. Never throws.
    ~statement() override;
    statement(const statement&) = delete;
    statement& operator=(const statement&) = delete;

    /// Hands back any earlier driver statement (its bindings go), then takes a prepared
    /// one for `sql` from the transaction's cache. Fails with tovi::bad_operation
    /// when the statement works in no transaction.
    void parse(const std::string& sql);
    /// Sends the parameters, executes, lets output parameters flow back.
    void execute() override;
    /// parse(sql), then execute().
    void execute(const std::string& sql);
    /// Fetches the next row into the bound columns; false (and nothing changed)
    /// when there is none.
    bool next() override;
    /// Sends what the driver holds back; most drivers have nothing to send.
    void flush();
    /// True once parse() succeeded.
    bool is_parsed() const { return impl != nullptr; }
    /// The driver's statement, or null before parse().
    impl::statement* get_impl() const { return impl; }

    /// The options given at construction; the core does not read them.
    unsigned int options;
    /// The transaction the statement works in: open an auto_trans block on it.
    transaction* trans;

protected:
    impl::value_factory& get_bind() override;
    impl::value_factory& get_define() override;
    /// Disposes of the bindings and hands the driver statement back; the first failure
    /// is rethrown after both steps ran.
    void cancel();

private:
    impl::statement& parsed() const;
    static void end_with_transaction(void* self);

    impl::statement* impl;
    bool owns_trans;
};

}  // namespace tovi

#endif
