// A transaction. Every transaction of a connection shares its one SQLite
// session, so there is at most one native transaction: the first transaction to
// change data begins it, the others join it, and whichever commits or rolls back
// ends it for all.
#ifndef TOVI_DRIVERS_SQLITE_SQLITE_TRANSACTION_HPP
#define TOVI_DRIVERS_SQLITE_SQLITE_TRANSACTION_HPP

#include <sqlite3.h>

#include "sqlite_connection.hpp"

namespace tovi::sqlite {

class transaction : public tovi::driver::transaction_base<driver> {
public:
    transaction(impl::TxnType type, connection& owner);
    void start() override {}
    // COMMIT / ROLLBACK when a native transaction is open (statements in use are
    // reset and the free ones dropped first).
    void commit() override;
    void rollback() override;
    // Rolls back an open native transaction, unless another transaction of the
    // connection still works in it.
    void finish() override;

    // BEGIN, unless this transaction's work is already in an open native one.
    void activate() {
        if (!active_) begin();
    }
    // After a failure: SQLite may have rolled its transaction back by itself
    // (a full disk, INSERT OR ROLLBACK, ...). Every transaction of the
    // connection then knows that nothing is open any more.
    void native_state_changed() noexcept;
    sqlite3* db() const { return db_; }

private:
    void begin();
    void end(const char* sql);
    // The native transaction is over: no transaction of the connection is active.
    void ended() noexcept;

    bool active_;
    sqlite3* db_;
};

}  // namespace tovi::sqlite

#endif
