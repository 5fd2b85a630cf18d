// A transaction. Every transaction of a connection shares its one session, so
// there is at most one native transaction: the first to need one sends BEGIN,
// the others join, and whichever commits or rolls back ends it for all. Data
// definition runs inside it (PostgreSQL's DDL is transactional). A statement
// that fails aborts it, as PostgreSQL does: the statements after it fail until
// a rollback, and a commit then raises.
#ifndef TOVI_DRIVERS_PGSQL_PGSQL_TRANSACTION_HPP
#define TOVI_DRIVERS_PGSQL_PGSQL_TRANSACTION_HPP

#include "pgsql_connection.hpp"

namespace tovi::pgsql {

class transaction : public tovi::driver::transaction_base<driver> {
public:
    transaction(impl::TxnType type, connection& owner);
    void start() override {}
    // COMMIT / ROLLBACK when a native transaction is open. A commit the server
    // turned into a rollback (a statement of the transaction had failed) raises.
    void commit() override;
    void rollback() override;
    // Rolls back an open native transaction, unless another transaction of the
    // connection still works in it.
    void finish() override;

    // BEGIN, unless this transaction's work is already in an open native one.
    // A connection the server closed while idle connects again first.
    void activate() {
        if (!active_) begin();
    }

    // Before a statement runs: a session the server closed connects again when
    // no work of a transaction was in it; otherwise lost().
    void ensure_session() {
        if (owner.lost()) session_lost();
    }
    // The session went away with work of a transaction in it: every
    // transaction of the connection forgets it, and the one error says so.
    [[noreturn]] void lost();
    // The native transaction is over: no transaction of the connection is active.
    void ended() noexcept;

private:
    void begin();
    void end(bool commit);
    __attribute__((noinline)) void session_lost();

    bool active_ = false;
};

}  // namespace tovi::pgsql

#endif
