// A statement: lazily prepared native statements, reset and reused through the
// transaction's cache; stepping for execution and fetching. And its
// description, which has no column metadata.
#ifndef TOVI_DRIVERS_SQLITE_SQLITE_STATEMENT_HPP
#define TOVI_DRIVERS_SQLITE_SQLITE_STATEMENT_HPP

#include <sqlite3.h>

#include "sqlite_transaction.hpp"

namespace tovi::sqlite {

class statement : public tovi::driver::statement_base<driver> {
public:
    statement(const data_aware_command* command, unsigned int options, transaction& owner);
    ~statement() override;

    void prepare(const std::string& sql) override;
    void execute() override;
    // Back to the start; no rows until the statement is executed again.
    void reset() override;
    // A query with rows left to read: SQLite keeps it open across a commit.
    bool reading() const;
    void flush() override {}
    bool next() override;
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }
    // A new command binds from scratch: the earlier command's values are cleared.
    void reused();
    // Bulk work: the application's vectors bound and read with SQLite's own
    // calls; other kinds (dates, a column of another type) through the bindings.
    void execute_bulk(impl::bulk_vector* const* in, std::size_t count, std::size_t rows,
                      std::size_t& row) override;
    std::size_t fetch_bulk(impl::bulk_vector* const* out, std::size_t count,
                           std::size_t n) override;

    // Before binding: reset a prepared statement, else prepare one.
    void ready_for_binding() {
        if (native_ != nullptr && !stepping_) {  // the usual case: healthy, reset for its next run
            const int rc = sqlite3_reset(native_);
            if (rc != SQLITE_OK) reset_failed(rc);
            at_end = false;
        } else {
            ensure_prepared();
        }
        if (!parameters_counted()) count_parameters();
    }
    // The native statement (prepared by ready_for_binding or execute).
    sqlite3_stmt* current() const { return native_; }
    // Bound text need not be copied when the statement runs to its end within
    // execute() (anything that returns no rows): the application's storage is read
    // then and bound afresh before the next run. A query is stepped later, by
    // next(), while the application may change its strings: SQLite copies them.
    sqlite3_destructor_type bind_lifetime() const {
        return query_ ? SQLITE_TRANSIENT : SQLITE_STATIC;
    }

protected:
    impl::describe* make_describe() override;
    void destroy_describe(impl::describe* d) override;

private:
    void ensure_prepared();
    __attribute__((noinline)) void count_parameters() {
        parameters_counted(bind_.size(), static_cast<std::size_t>(markers_));
    }
    int step();
    __attribute__((noinline)) bool next_unusual();
    // One step of a query: true at a row; at its end false (at_end set), a failure raised.
    bool step_to_row() {
        const int rc = sqlite3_step(native_);
        return rc == SQLITE_ROW || stepped_past_end(rc);
    }
    __attribute__((noinline)) bool stepped_past_end(int rc);
    // Cold paths, out of line: a failed step or reset, translated with the
    // statement's context; too many defines.
    [[noreturn]] __attribute__((noinline, cold)) void step_failed(int rc);
    [[noreturn]] __attribute__((noinline, cold)) void reset_failed(int rc);
    // Refuses text after the first statement other than blanks, comments and ";".
    void check_tail(const char* tail, const char* end);
    void finalize() noexcept;
    sqlite3* db() const { return owner->db(); }

    sqlite3_stmt* native_;
    bool stepping_;     // the last step failed: prepare again before reuse
    bool ddl_;          // the kind, decided once at prepare
    bool query_;        // the native statement returns rows (whatever its first word)
    bool pending_row_;  // execute() already stepped to the first row; next() hands it out
    int columns_;       // result columns of the native statement
    int markers_ = 0;   // its parameter markers
    binding_factory bind_;
    binding_factory define_;
};

// A description of a statement: no column metadata, no rows.
class describe : public impl::describe {
public:
    explicit describe(const recordset_t& source);
    bool next() override { return false; }
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }

private:
    binding_factory bind_;
    binding_factory define_;
};

}  // namespace tovi::sqlite

#endif
