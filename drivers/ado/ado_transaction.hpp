// A transaction: BeginTrans on the connection at the first execution that needs
// one (begin), CommitTrans or RollbackTrans at its end; a transaction destroyed
// without commit rolls back. The statement cache outlives commits and rollbacks
// (an ADO recordset survives them).
#ifndef TOVI_DRIVERS_ADO_ADO_TRANSACTION_HPP
#define TOVI_DRIVERS_ADO_ADO_TRANSACTION_HPP

#include "ado_connection.hpp"

namespace tovi::ado {

class transaction : public tovi::driver::transaction_base<driver> {
public:
    transaction(impl::TxnType type, connection& owner);
    void start() override {}
    void commit() override;
    void rollback() override;
    void finish() override { rollback(); }

    // Begins the native transaction unless it is active.
    void begin();
    bool active = false;

private:
    [[noreturn]] void fail(const adodb::com_error& cause);
};

}  // namespace tovi::ado

#endif
