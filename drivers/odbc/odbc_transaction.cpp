// Manual-commit transactions.
#include "odbc_transaction.hpp"

#include "odbc_bindings.hpp"  // the framework instantiates every class of the driver here

namespace tovi::odbc {

transaction::transaction(impl::TxnType type, connection& owner_) : transaction_base(type, owner_) {}

void transaction::end(SQLSMALLINT how) {
    for_each_in_use([](statement& s) { s.reset(); });
    cache.purge();
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, owner.dbc.get(), how);
    if (rc == SQL_ERROR) owner.check_alive();
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

void transaction::commit() {
    end(SQL_COMMIT);
}
void transaction::rollback() {
    end(SQL_ROLLBACK);
}

}  // namespace tovi::odbc
