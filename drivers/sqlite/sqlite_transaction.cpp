// Native transactions: BEGIN at the first change, COMMIT, ROLLBACK.
#include "sqlite_transaction.hpp"

#include <cstring>

#include "sqlite_bindings.hpp"  // the framework instantiates every class of the driver here
#include "sqlite_errors.hpp"

namespace tovi::sqlite {

transaction::transaction(impl::TxnType type, connection& owner_)
    : transaction_base(type, owner_), active_(false), db_(owner_.db) {}

void transaction::begin() {
    // Another transaction of this connection (or SQL text) has one open: join it.
    if (sqlite3_get_autocommit(db_) == 0) {
        active_ = true;
        return;
    }
    exception e("", 0);
    if (!run(db_, "BEGIN", e)) fail(e);
    active_ = true;
}

void transaction::ended() noexcept {
    active_ = false;
    owner.for_each_transaction([](transaction& t) { t.active_ = false; });
}

void transaction::native_state_changed() noexcept {
    if (sqlite3_get_autocommit(db_) != 0) ended();
}

void transaction::end(const char* sql) {
    if (!active_) return;
    const bool commit = std::strcmp(sql, "COMMIT") == 0;
    try {
        // Statements in use would keep the transaction busy: they are reset and
        // the free ones dropped. A query with rows left reads on past a commit
        // (SQLite keeps it open); one a rollback ends says so at its next fetch.
        end_statements(commit);
    } catch (const exception& e) {
        fail(e);
    }
    // SQLite may have ended it already (rolled back after a failure).
    if (sqlite3_get_autocommit(db_) != 0) {
        ended();
        return;
    }
    exception e("", 0);
    if (!run(db_, sql, e)) {
        native_state_changed();
        fail(e);
    }
    ended();
}

void transaction::commit() {
    end("COMMIT");
}
void transaction::rollback() {
    end("ROLLBACK");
}

void transaction::finish() {
    if (!active_) return;
    bool shared = false;
    owner.for_each_transaction(
        [&](transaction& t) { shared = shared || (&t != this && t.active_); });
    if (shared || sqlite3_get_autocommit(db_) != 0) {
        // Over already, or another transaction still works in it: its to end.
        active_ = false;
        if (!shared) ended();
        return;
    }
    // Rolled back, as an RAII guard does: ending it with END committed the
    // half-done work of a block an exception left.
    exception e("", 0);
    if (!run(db_, "ROLLBACK", e)) {
        native_state_changed();
        fail(e);
    }
    ended();
}

}  // namespace tovi::sqlite
