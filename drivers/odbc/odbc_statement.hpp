// A statement: prepared once (FreeTDS: after every reset), executed with bound
// parameters, fetched row by row.
#ifndef TOVI_DRIVERS_ODBC_ODBC_STATEMENT_HPP
#define TOVI_DRIVERS_ODBC_ODBC_STATEMENT_HPP

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
    void reused();
    void ready_for_binding() {
        if (!prepared_ && !eager_prepare_) native_prepare();
    }

    SQLHSTMT stmt() const { return stmt_.get(); }
    // The return-code rule for a call on this statement, translated with its context.
    SQLRETURN check(SQLRETURN rc);

private:
    void native_prepare();
    void close_cursor();
    // After SQLExecute: sends the large objects it asks for; the final code.
    SQLRETURN send_data(SQLRETURN rc);

    bool eager_prepare_;
    bool prepared_ = false;
    bool columns_bound_ = true;  // the columns are (re)bound before the next fetch
    int cursor_state_ = 0;       // 0 none, 1 closed, 2 open
    handle stmt_;
    binding_factory bind_;
    binding_factory define_;
};

}  // namespace tovi::odbc

#endif
