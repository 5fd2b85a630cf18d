// A transaction: BeginTrans on the connection at the first execution that needs
// one (begin; the transactions of a connection share one native transaction),
// CommitTrans or RollbackTrans at its end; a transaction destroyed without commit
// rolls back. The statement cache outlives commits and rollbacks
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
    // Rolls back, unless another transaction of the connection still works in
    // the native transaction.
    void finish() override;

    // Joins the connection's native transaction, beginning it if none is open.
    void begin();
    bool active = false;

private:
    void end(bool commit);
    [[noreturn]] void fail(const adodb::com_error& cause);
};

}  // namespace tovi::ado

#endif
