// A statement: prepared once (FreeTDS: after every reset), executed with bound
// parameters, fetched row by row.
#ifndef TOVI_DRIVERS_ODBC_ODBC_STATEMENT_HPP
#define TOVI_DRIVERS_ODBC_ODBC_STATEMENT_HPP

#include <functional>

#include "odbc_transaction.hpp"

namespace tovi::odbc {

class statement : public tovi::driver::statement_base<driver> {
public:
    statement(const data_aware_command* command, unsigned int options, transaction& owner);
    void prepare(const std::string& sql) override;
    void execute() override;
    // Cancels and closes the cursor; no rows until the next execute.
    void reset() override;
    void flush() override {}
    bool next() override;
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }
    // A new command binds from scratch: the earlier command's parameters go.
    void reused() {
        params_reset_ = true;
        columns_bound_ = true;
    }
    // Before the parameters bind: prepared (FreeTDS: again after a reset), and
    // the native parameters cleared when a binding went.
    void ready_for_binding() {
        if (abandoned_) was_abandoned();
        if (!prepared_ && !eager_prepare_) native_prepare();
        if (!parameters_counted()) count_parameters();
        if (params_reset_) reset_parameters();
    }
    // Parameters bound in an earlier generation bind again.
    unsigned parameter_generation() const { return generation_; }
    // Whether the engine behind the driver keeps any value in any column (SQLite).
    bool typeless() const;
    // A binding is gone: nothing native may point to its buffers any more.
    void binding_gone(bool parameter) {
        if (parameter)
            params_reset_ = true;
        else
            columns_bound_ = true;
    }

    // Bulk work: commands through parameter arrays, a chunk of rows per
    // execution; anything else row by row.
    void execute_bulk(impl::bulk_vector* const* in, std::size_t count, std::size_t rows,
                      std::size_t& row) override;
    // Queries whose columns are of their vectors' kinds through row arrays, a
    // chunk of rows per SQLFetch; anything else row by row.
    std::size_t fetch_bulk(impl::bulk_vector* const* out, std::size_t count,
                           std::size_t n) override;

    // A query with rows left to read.
    bool reading() const { return cursor_state_ == 2 && !at_end; }

    // The connection was lost while this statement was in use and connects
    // again: the native statement goes now, and every later use raises (it never
    // runs on the new session); handed back, it is destroyed, not cached.
    void abandon();
    bool abandoned() const { return abandoned_; }

    SQLHSTMT stmt() const { return stmt_.get(); }
    // The return-code rule for a call on this statement, translated with its context.
    SQLRETURN check(SQLRETURN rc) { return plain_success(rc) ? rc : check_rest(rc); }
    // The bound values, then the statement's context and the cache's statistics.
    std::string error_context() const;
    [[noreturn]] void fail(const exception& e) const;

private:
    SQLRETURN check_rest(SQLRETURN rc);
    [[noreturn]] void was_abandoned() const;
    void native_prepare();
    void close_cursor();
    void reset_parameters();
    SQLRETURN bounded_execute() {
        return bounded([this] { return SQLExecute(stmt()); });
    }
    // After SQLExecute: sends the large objects it asks for; the final code.
    SQLRETURN send_data(SQLRETURN rc);
    // check(call()), within the connection's statement time limit when it has
    // one; without one it costs a test.
    template <class F>
    SQLRETURN bounded(F call) {
        if (!limited_) return check(call());
        return check_within_limit(call);
    }
    SQLRETURN check_within_limit(const std::function<SQLRETURN()>& call);

    bool eager_prepare_;
    bool abandoned_ = false;
    bool changes_data_ = false;
    bool limited_;  // the connection has a statement time limit (fixed for its life)
    bool prepared_ = false;
    bool columns_bound_ = true;  // the columns are (re)bound before the next fetch
    int markers_ = -1;           // parameter markers of the prepared text (-1: unknown)
    __attribute__((noinline)) void count_parameters() {
        // A driver that cannot count its markers leaves the count to the engine.
        const std::size_t given = bind_.size();
        parameters_counted(given, markers_ >= 0 ? static_cast<std::size_t>(markers_) : given);
    }
    int cursor_state_ = 0;       // 0 none, 1 closed, 2 open
    bool params_reset_ = false;  // the native parameters are cleared before the next binding
    unsigned generation_ = 1;
    handle stmt_;
    binding_factory bind_;
    binding_factory define_;
};

}  // namespace tovi::odbc

#endif
