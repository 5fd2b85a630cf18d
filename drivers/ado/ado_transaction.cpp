// Transactions on the ADO connection.
#include "ado_transaction.hpp"

#include "ado_bindings.hpp"  // the framework instantiates every class of the driver here

namespace tovi::ado {

transaction::transaction(impl::TxnType type, connection& owner_) : transaction_base(type, owner_) {}

void transaction::fail(const adodb::com_error& cause) {
    owner.fail(&cause, "");
}

// One native transaction per connection, which every transaction of the
// connection shares (ADO's are nested levels: a second BeginTrans nested inside
// the first, and a commit then ended only the inner level, which the outer one
// rolled back at close).
void transaction::begin() {
    if (active) return;
    if (!owner.native_open) {
        try {
            owner.ado().BeginTrans();
        } catch (const adodb::com_error& e) {
            fail(e);
        }
        owner.native_open = true;
    }
    active = true;
}

void transaction::end(bool commit) {
    if (!active) return;
    // Over for every transaction of the connection, whatever the engine says.
    owner.for_each_transaction([](transaction& t) { t.active = false; });
    if (!owner.native_open) return;
    owner.native_open = false;
    try {
        if (commit)
            owner.ado().CommitTrans();
        else
            owner.ado().RollbackTrans();
    } catch (const adodb::com_error& e) {
        fail(e);
    }
}

void transaction::commit() {
    end(true);
}

void transaction::rollback() {
    end(false);
}

void transaction::finish() {
    if (!active) return;
    bool shared = false;
    owner.for_each_transaction(
        [&](transaction& t) { shared = shared || (&t != this && t.active); });
    if (shared) {
        active = false;  // another transaction still works in it: its to end
        return;
    }
    rollback();
}

}  // namespace tovi::ado
