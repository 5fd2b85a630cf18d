// Transactions on the ADO connection.
#include "ado_transaction.hpp"

#include "ado_bindings.hpp"  // the framework instantiates every class of the driver here

namespace tovi::ado {

transaction::transaction(impl::TxnType type, connection& owner_) : transaction_base(type, owner_) {}

void transaction::fail(const adodb::com_error& cause) {
    owner.fail(&cause, "");
}

void transaction::begin() {
    if (active) return;
    try {
        owner.ado().BeginTrans();
    } catch (const adodb::com_error& e) {
        fail(e);
    }
    active = true;
}

void transaction::commit() {
    if (!active) return;
    try {
        owner.ado().CommitTrans();
    } catch (const adodb::com_error& e) {
        fail(e);
    }
    active = false;
}

void transaction::rollback() {
    if (!active) return;
    active = false;  // over whatever the engine says
    try {
        owner.ado().RollbackTrans();
    } catch (const adodb::com_error& e) {
        fail(e);
    }
}

}  // namespace tovi::ado
