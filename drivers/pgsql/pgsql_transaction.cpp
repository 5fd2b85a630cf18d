// Native transactions: BEGIN at the first statement, COMMIT, ROLLBACK.
#include "pgsql_transaction.hpp"

#include "pgsql_bindings.hpp"  // the framework instantiates every class of the driver here
#include "pgsql_errors.hpp"

namespace tovi::pgsql {

using tovi::driver::native_exception;

transaction::transaction(impl::TxnType type, connection& owner_) : transaction_base(type, owner_) {}

void transaction::begin() {
    PGconn* c = owner.native();
    if (c != nullptr && !owner.lost() && PQtransactionStatus(c) != PQTRANS_IDLE) {
        active_ = true;  // another transaction of this connection began it: joined
        return;
    }
    try {
        owner.reconnect_if_lost();
        // Statements forgotten outside transactions go now, before they pile up
        // (one the application deallocated itself would fail the rest: no matter).
        if (owner.deallocations().size() > 1024) {
            try {
                owner.run(owner.deallocations().substr(1));
            } catch (const native_exception&) {
                if (owner.lost()) throw;
            }
            owner.deallocations_sent();
        }
        try {
            owner.run("BEGIN");
        } catch (const native_exception&) {
            // Closed by the server while idle: nothing had begun, so a fresh
            // session loses nothing.
            if (!owner.lost()) throw;
            owner.reconnect_if_lost();
            owner.run("BEGIN");
        }
    } catch (const native_exception& e) {
        fail(e);
    }
    active_ = true;
}

void transaction::ended() noexcept {
    owner.for_each_transaction([](transaction& t) { t.active_ = false; });
}

void transaction::lost() {
    owner.mark_lost();
    ended();
    fail(native_exception(owner.lost_text(), 0, "08006"));
}

void transaction::session_lost() {
    bool working = false;
    owner.for_each_transaction([&](const transaction& t) { working = working || t.active_; });
    if (working) lost();
    try {
        owner.reconnect_if_lost();
    } catch (const native_exception& e) {
        fail(e);
    }
}

void transaction::end(bool commit) {
    if (!active_) return;
    // Rows are held by the client: a query with rows left reads on, every other
    // statement in use is reset. The free ones stay prepared (the server keeps
    // prepared statements across transactions).
    try {
        end_statements(true, true);
    } catch (const exception& e) {
        fail(e);
    }
    owner.settle();  // a query's rows still arriving: read in, the session's state known
    if (owner.lost()) lost();
    PGconn* c = owner.native();
    if (PQtransactionStatus(c) == PQTRANS_IDLE) {  // ended by SQL text of the application
        ended();
        return;
    }
    std::string tag;
    try {
        tag = owner.run(std::string(commit ? "COMMIT" : "ROLLBACK") + owner.deallocations());
        owner.deallocations_sent();
    } catch (const native_exception& e) {
        if (owner.lost()) lost();
        ended();
        fail(e);
    }
    ended();
    // The server answers COMMIT of a failed transaction with ROLLBACK: a commit
    // that stored nothing must not look like one that did.
    if (commit && tag == "ROLLBACK")
        fail(native_exception(
            "The transaction was rolled back, not committed: one of its statements failed, "
            "and PostgreSQL then refuses the rest of the transaction. Nothing of it is stored.",
            0, "25P02"));
}

void transaction::commit() {
    end(true);
}
void transaction::rollback() {
    end(false);
}

void transaction::finish() {
    if (!active_) return;
    bool shared = false;
    owner.for_each_transaction(
        [&](transaction& t) { shared = shared || (&t != this && t.active_); });
    if (shared) {
        active_ = false;  // another transaction still works in it: its to end
        return;
    }
    // A lost session has rolled back by itself.
    if (owner.lost()) {
        ended();
        return;
    }
    // Rolled back, as an RAII guard does.
    end(false);
}

}  // namespace tovi::pgsql
