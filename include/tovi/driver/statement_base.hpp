// The base of a driver's statement for SQL text: the common preparation (error
// context, cache key, the dialect's kind, "?" markers) and the statement's error
// texts. The driver adds its native prepare, execute, reset and next. Bulk work
// runs here, row by row through the driver's own bindings, unless the driver
// has a native path.
#ifndef TOVI_DRIVER_STATEMENT_BASE_HPP
#define TOVI_DRIVER_STATEMENT_BASE_HPP

#include <string>

#include <tovi/tovi.hpp>

#include <tovi/driver/error_context.hpp>

namespace tovi::driver {

template <class D>
class statement_base : public impl::string_stmt, public impl::bulk_statement {
public:
    using transaction_type = typename D::transaction;

    statement_base(const data_aware_command* command_, unsigned int options_,
                   transaction_type& owner_)
        : string_stmt(command_, options_), owner(&owner_), kind(stmt_other), at_end(true) {}

    // The common steps: context, key, kind (from the dialect) and the SQL text
    // with ":name" markers turned into "?". No native call.
    void prepare(const std::string& sql) override {
        const connection& c = owner->get_owner();
        context = "[Statement: '" + sql_for_context(sql) + "'][Driver: " + D::tag +
                  "; Database: '" + database_name(c) + "']";
        key = sql;
        kind = server_of(c).get_sql_support()->get_statement_type(sql);
        const sql_support* syntax = server_of(c).get_sql_support();
        const auto* quoting = dynamic_cast<const quoting_support*>(syntax);
        native_sql = utils::split_sql_param(sql, ":", "?",
                                            quoting != nullptr && quoting->postgresql_quoting());
    }
    int control(int) override { return 0; }
    // Slot 7, an operation drivers add after the core's slots: not supported.
    virtual void unsupported_operation() { throw not_implemented(0); }

    // Bulk work: each row through the bound values, in the driver, which saves
    // the core's calls per row.
    void execute_bulk(impl::bulk_vector* const* in, std::size_t count, std::size_t rows,
                      std::size_t& row) override {
        execute_rows(in, count, 0, rows, row);
    }
    // Row `row` of the vectors into the bound values, and bound.
    void bind_row(impl::bulk_vector* const* in, std::size_t count, std::size_t row) {
        for (std::size_t c = 0; c < count; ++c) in[c]->load(row);
        get_bind().get_value();
    }
    // Rows [first, rows) one execution each, as single rows run: a driver's
    // native path falls back on it for what it does not send itself.
    void execute_rows(impl::bulk_vector* const* in, std::size_t count, std::size_t first,
                      std::size_t rows, std::size_t& row) {
        for (row = first; row < rows; ++row) {
            bind_row(in, count, row);
            execute();
        }
    }
    std::size_t fetch_bulk(impl::bulk_vector* const* out, std::size_t count,
                           std::size_t n) override {
        impl::value_factory& define = get_define();
        std::size_t got = 0;
        while (got < n && next()) {
            define.set_value();
            for (std::size_t c = 0; c < count; ++c) out[c]->store();
            ++got;
        }
        return got;
    }

    // The cache hands this statement to a new command (not virtual: the
    // transaction calls it on D::statement, which may hide it).
    void reused() {}

    // The statement's context followed by the cache's statistics.
    std::string plain_context() const { return context + owner->get_cache().statistics(); }
    // The plain context, then the values bound to the parameters, printed as on
    // every road ("[Input data: 7, 'text', NULL]").
    std::string error_context() const {
        std::string text = plain_context();
        impl::value_factory& inputs = const_cast<statement_base*>(this)->get_bind();
        if (inputs.size() != 0) text += "[Input data: " + inputs.as_string() + "]";
        return text;
    }
    // Translates `e` with the statement's context; never returns.
    [[noreturn]] void fail(const exception& e) const {
        translate(owner->get_owner(), e, error_context());
    }
    // Throws `e`, already classified by tovi itself, with the statement's context
    // added after its message.
    template <class E>
    [[noreturn]] void raise(E e) const {
        e.set_data(error_context(), 0);
        throw e;
    }

    // The end of the transaction (a commit, a rollback, data definition) closes
    // this statement's cursor: if rows were left, the next fetch raises instead
    // of reading as the end of the result set. A driver's execute() clears it.
    void closed_by_transaction() {
        if (!at_end) cursor_closed = true;
        at_end = true;
    }
    // For a driver's next(): whether there are no more rows (at_end); raises
    // bad_operation when the transaction's end closed the cursor with rows left.
    // Costs the fetch of a row nothing beyond the at_end test.
    bool no_more_rows() const {
        if (!at_end) return false;
        if (cursor_closed) cursor_was_closed();
        return true;
    }
    // The parameter bindings or the markers changed (a binding came or went, the
    // text was prepared again): they are counted again before the next binding.
    void parameters_changed() { parameters_counted_ = false; }
    // Before binding, with a driver's out-of-line count_parameters():
    //     if (!parameters_counted()) count_parameters();
    // so that a statement run again and again pays one test of a flag.
    bool parameters_counted() const { return parameters_counted_; }
    // check_parameter_count, then remembered until the next change.
    void parameters_counted(std::size_t given, std::size_t markers) {
        check_parameter_count(given, markers);
        parameters_counted_ = true;
    }
    // Every marker takes exactly one value: bad_operation before the statement
    // runs otherwise (an engine would run a missing one as NULL, or drop a spare).
    void check_parameter_count(std::size_t markers) {
        check_parameter_count(get_bind().size(), markers);
    }
    // The same, for a driver that knows its bind factory (no virtual call).
    void check_parameter_count(std::size_t given, std::size_t markers) const {
        if (given != markers) wrong_parameter_count(given, markers);
    }
    [[noreturn]] __attribute__((cold, noinline)) void wrong_parameter_count(
        std::size_t given, std::size_t markers) const {
        raise(bad_operation(std::string(given > markers ? "Too many" : "Too few") +
                                " input bindings: " + std::to_string(given) + " for " +
                                std::to_string(markers) + " parameters.",
                            0));
    }
    // Columns bound beyond the result's: bad_operation.
    void check_column_count(std::size_t columns) {
        const std::size_t bound = get_define().size();
        if (bound > columns) too_many_columns(bound, columns);
    }
    [[noreturn]] __attribute__((cold, noinline)) void too_many_columns(std::size_t bound,
                                                                       std::size_t columns) const {
        raise(bad_operation("Result column " + std::to_string(bound) +
                                " is bound, but the query returns " + std::to_string(columns) +
                                " columns.",
                            0));
    }
    [[noreturn]] __attribute__((cold, noinline)) void cursor_was_closed() const {
        raise(
            bad_operation("The result set was closed by the end of its transaction (a commit, "
                          "a rollback or data definition) before its last row.",
                          0));
    }

    transaction_type* owner;
    std::string native_sql;  // the SQL text with "?" markers
    statement_type kind;     // as the dialect classifies the text
    std::string context;
    bool at_end;                 // no (more) rows until the statement is executed
    bool cursor_closed = false;  // see closed_by_transaction()

private:
    bool parameters_counted_ = false;  // see parameters_counted()
};

}  // namespace tovi::driver

#endif
