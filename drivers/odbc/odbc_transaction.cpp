// Manual-commit transactions.
#include "odbc_transaction.hpp"

#include "odbc_bindings.hpp"  // the framework instantiates every class of the driver here

namespace tovi::odbc {

transaction::transaction(impl::TxnType type, connection& owner_) : transaction_base(type, owner_) {}

void transaction::end(SQLSMALLINT how) {
    // The native end comes first: nothing may touch the session before it says
    // whether the work is kept (freeing an executed statement let psqlODBC drop
    // the transaction of a lost server, and the commit then reported success).
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, owner.dbc.get(), how);
    if (rc == SQL_ERROR) owner.check_alive();
    // Cursors the driver keeps across the end read on; the others are closed,
    // and their next fetch says so. The free statements go.
    end_statements(rc != SQL_ERROR && owner.keeps_cursors(how));
    if (rc == SQL_ERROR && owner.lost()) {
        try {
            owner.dbc.check(rc);
        } catch (const exception& e) {
            throw exception(e, owner.lost_text(), 0);
        }
    }
    owner.dbc.check(rc);
    // One native transaction per connection: it ended for every transaction.
    owner.for_each_transaction([](transaction& t) { t.changed_ = false; });
}

void transaction::finish() {
    if (!changed_) return;
    bool shared = false;
    owner.for_each_transaction(
        [&](transaction& t) { shared = shared || (&t != this && t.changed_); });
    changed_ = false;
    if (!shared) end(SQL_ROLLBACK);
}

void transaction::release_statement(impl::statement* s) {
    auto* own = static_cast<statement*>(s);  // handed out by acquire_statement
    if (own->abandoned()) {
        cache.discard(own);
        return;
    }
    transaction_base::release_statement(s);
}

void transaction::commit() {
    end(SQL_COMMIT);
}
void transaction::rollback() {
    end(SQL_ROLLBACK);
}

}  // namespace tovi::odbc
