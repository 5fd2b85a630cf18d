// A statement: dynamic SQL prepared before its first binding, with input and
// output descriptor areas that the bindings fill.
#ifndef TOVI_DRIVERS_IBEMB_IB_STATEMENT_HPP
#define TOVI_DRIVERS_IBEMB_IB_STATEMENT_HPP

#include <vector>

#include "ib_transaction.hpp"

namespace tovi::ib {

// What the engine described of a variable: its type (nullable bit cleared),
// length and subtype.
struct described {
    short type = 0;
    short length = 0;
    short subtype = 0;
    short scale = 0;
};

class statement : public tovi::driver::statement_base<driver> {
public:
    statement(const data_aware_command* command, unsigned int options, transaction& owner);
    ~statement() override;
    // The common steps; CREATE texts keep their ":name" markers. No native call.
    void prepare(const std::string& sql) override;
    void execute() override;
    void reset() override {}
    void flush() override {}
    bool next() override;
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }

    // Before the parameters bind: prepared natively, and every binding's variable
    // filled once per use.
    void ready_for_binding();
    // A new use of the statement (handed out by the cache): the bindings fill
    // their variables again, and no row is read before its execution.
    void new_use() {
        bindings_ready_ = false;
        at_end = true;  // nothing to read of an earlier use's cursor before execute()
    }
    // A binding is gone: no variable may point at its buffers. Parameters are all
    // set up again before the next execution, columns before the next fetch.
    void binding_gone(bool parameter) {
        if (parameter)
            bindings_ready_ = false;
        else
            columns_gone_ = true;
    }
    // A full commit or rollback ended the transaction and with it any cursor.
    void transaction_ended() { closed_by_transaction_ = true; }

    // The variable of a parameter (input) or column (output) at `position`.
    XSQLVAR& variable(bool input, unsigned short position);
    const described& description(bool input, unsigned short position) const;
    isc_db_handle* db() { return &owner->get_owner().db; }
    isc_tr_handle* tr() { return &owner->tr; }
    // Translates the last call's failure with the statement's context.
    void check() {
        if (failed(status())) fail(native_error(status()));
    }

private:
    void native_prepare();
    void describe_outputs();
    void park_variables();
    void close_cursor();
    void execute_immediate();

    isc_stmt_handle stmt_ = 0;
    XSQLDA* in_ = nullptr;
    XSQLDA* out_ = nullptr;
    std::vector<described> in_types_, out_types_;
    // Buffers of the columns no binding asked for.
    std::vector<std::vector<char>> spare_;
    std::vector<short> spare_null_;
    // Buffers of the parameters no binding of this use set; always NULL.
    std::vector<std::vector<char>> in_spare_;
    short parked_null_ = -1;
    bool prepared_ = false;
    bool bindings_ready_ = false;
    bool columns_gone_ = false;  // see binding_gone()
    bool executed_ = false;      // a SELECT's cursor is open
    bool closed_by_transaction_ = false;
    binding_factory bind_;
    binding_factory define_;
};

}  // namespace tovi::ib

#endif
