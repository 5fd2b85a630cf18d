// A statement: a named prepared statement per cached text, prepared on the
// server at its first execution (with the types its parameters are bound as)
// and again only when those types change; one round trip per execution. The
// rows of a query arrive with the execution and are read from the client;
// those of a query read in bulk stream in one by one as they are fetched.
#ifndef TOVI_DRIVERS_PGSQL_PGSQL_STATEMENT_HPP
#define TOVI_DRIVERS_PGSQL_PGSQL_STATEMENT_HPP

#include <libpq-fe.h>

#include <deque>
#include <string>
#include <vector>

#include "pgsql_markers.hpp"
#include "pgsql_transaction.hpp"

namespace tovi::pgsql {

class statement : public tovi::driver::statement_base<driver>, private row_stream {
public:
    statement(const data_aware_command* command, unsigned int options, transaction& owner);
    ~statement() override;

    void prepare(const std::string& sql) override;
    void execute() override;
    // Forgets the rows; no rows until the statement is executed again.
    void reset() override;
    // A query with rows left: they are the client's (a streamed query's rest
    // is read in before the commit is sent), so a commit does not end them.
    bool reading() const { return !at_end && result_ != nullptr; }
    void flush() override {}
    bool next() override {
        if (at_end | define_.changed()) return next_unusual();
        if (++row_ < rows_) return true;
        return past_end();
    }
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }
    void ready_for_binding() {
        if (!parameters_counted()) count_parameters();
    }
    // The session went away: the prepared statement with it.
    void abandon() noexcept;
    // Bulk work: rows after the first sent in pipeline mode, a chunk per flush
    // (a command with no rows); anything else row by row.
    void execute_bulk(impl::bulk_vector* const* in, std::size_t count, std::size_t rows,
                      std::size_t& row) override;
    // The next execution streams its rows (libpq's single-row mode): a result
    // of any size is read a row at a time, never held whole.
    void rows_fetched_in_bulk() override { stream_next_ = true; }

    // A parameter, as the bindings set it for the next execution (`data` stays
    // valid until then). A type unlike the one prepared prepares the text again.
    void set_parameter(unsigned short p, const char* data, int length, int format, Oid type) {
        values_[p] = data;
        lengths_[p] = length;
        formats_[p] = format;
        if (types_[p] != type) retype(p, type);
    }
    // NULL, of the type the parameter had (no new preparation for a NULL).
    void set_null(unsigned short p) { values_[p] = nullptr; }
    // The rows of the last execution, the current one and its columns' kinds.
    const PGresult* rows() const { return result_; }
    int row() const { return row_; }
    tovi::driver::value_kind column_kind(int c) const {
        return kinds_[static_cast<std::size_t>(c)];
    }
    connection& session() const { return session_; }

private:
    __attribute__((noinline)) void count_parameters() {
        parameters_counted(bind_.size(), static_cast<std::size_t>(markers_));
    }
    void prepare_native();
    bool prepared() const { return !retyped_ && !ddl_ && !name_.empty(); }
    __attribute__((noinline)) void execute_unusual();
    // What the execution returned, other than a command's success: rows, or a
    // failure (`more`: a result after the first, when there was one).
    __attribute__((noinline)) void executed(PGresult* r, PGresult* more);
    __attribute__((noinline)) void retype(unsigned short p, Oid type) {
        types_[p] = type;
        retyped_ = true;
    }
    void clear_rows() noexcept;
    // The rows of a query's result, from its first row on.
    void take_rows(PGresult* r);
    // Sends the execution with its rows to stream; a result other than a row
    // (no rows, a failure) as any execution's.
    void start_stream();
    // The next row of a streamed query, or its end (false) or failure.
    bool next_streamed();
    void read_rest() override;
    // Sends rows [row, end) in pipeline mode, then reads their results; `row`
    // ends at `end`, or at the failing row. False when a row needs another
    // preparation (its parameter's type changed): it is bound, not sent.
    bool pipeline(impl::bulk_vector* const* in, std::size_t count, std::size_t& row,
                  std::size_t end);
    __attribute__((noinline)) bool next_unusual();
    __attribute__((noinline)) bool past_end();
    [[noreturn]] __attribute__((noinline, cold)) void failed(const PGresult* r);

    connection& session_;
    std::string pg_sql_;  // with $n markers
    int markers_ = 0;
    bool ddl_ = false;
    bool begins_ = false;   // its execution begins a native transaction
    std::string name_;      // the server's prepared statement; empty: none yet
    std::string key_;       // what it was prepared for (see connection::keep_prepared)
    bool retyped_ = false;  // a parameter's type changed since the preparation
    std::vector<const char*> values_;
    std::vector<int> lengths_;
    std::vector<int> formats_;
    std::vector<Oid> types_;
    PGresult* result_ = nullptr;
    int row_ = -1;
    int rows_ = 0;
    bool stream_next_ = false;          // the next execution streams its rows
    bool streaming_ = false;            // the rest of its rows are on the session
    std::deque<PGresult*> read_ahead_;  // or read in already, the last one closing them
    std::vector<tovi::driver::value_kind> kinds_;
    binding_factory bind_;
    binding_factory define_;
};

}  // namespace tovi::pgsql

#endif
