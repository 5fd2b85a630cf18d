/// @file
/// Transactions. tovi::transaction is a thin handle naming a data source and a
/// driver-side transaction that the data source's connection keeps. auto_trans
/// commits when its block completes and rolls back when an exception leaves it:
///
/// @code
/// for (tovi::auto_trans at(t); at.pending; at.pending = false) {
///     ...work...    // completes: the flag is cleared and `at` commits
/// }                 // an exception leaves: the flag is still set, `at` rolls back
/// @endcode
///
/// Not thread-safe.
#ifndef TOVI_TRANSACTION_HPP
#define TOVI_TRANSACTION_HPP

#include <string>

#include <tovi/config.hpp>
#include <tovi/repository.hpp>

namespace tovi {

class data_aware_command;
class data_source;
class statement;

namespace impl {

class statement;

/// A driver's transaction. Drivers derive from it; the slot order is part of the
/// interface between separately built modules.
///
/// Contract. Created by the driver's connection::create_transaction, destroyed
/// by its destroy_transaction (finish() first); the connection keeps it in its
/// list meanwhile. Used by one thread at a time. Failures are tovi::exceptions,
/// classified by the dialect, with the transaction's or statement's context.
class TOVI_API transaction {
public:
    /// A transaction of kind `t`; statement-kind ones start with auto_commit set.
    explicit transaction(TxnType t);
    /// Called only by the driver's own destroy_transaction.
    virtual ~transaction();
    /// Drivers count uses with it; returns 0. Never throws.
    virtual int enter() = 0;
    /// Called by tovi::statement::parse: a prepared driver statement for `sql`
    /// bound to `command`, a free one from the cache or a new one. The statement
    /// stays the driver's: the core hands it back with release_statement and
    /// never deletes it; it is valid until then. A failure (the dialect refusing
    /// the text, a native prepare) leaves nothing handed out.
    virtual statement* acquire_statement(const std::string& sql,
                                         const data_aware_command* command) = 0;
    /// Called when a tovi::statement is re-parsed or destroyed, after its
    /// bindings are gone: takes `s` back (reset, into the cache). A failure
    /// still leaves `s` taken back.
    virtual void release_statement(statement* s) = 0;
    /// Called by the driver right after creation (see the framework's
    /// start_on_create); a failure means the transaction is not created.
    virtual void start() = 0;
    /// Called by tovi::transaction::commit/rollback and auto_trans, any number of
    /// times; nothing to end is no error. On failure the native transaction may
    /// or may not be open still: a driver that can tell (SQLite can) makes its
    /// state agree, so that a later rollback() succeeds.
    virtual void commit() = 0;
    /// Like commit(), ending the native transaction without its changes.
    virtual void rollback() = 0;
    /// Called by destroy_transaction before deletion: ends what is open (the
    /// SQLite driver keeps the changes). A failure propagates after deletion.
    virtual void finish() = 0;

    /// Uses counted by the driver (enter()).
    int use_count;
    /// The kind: explicit, statement or connection.
    TxnType type;
    bool auto_commit;  ///< true for a statement's own transaction
};

}  // namespace impl

/// An application's transaction on a data source (see auto_trans for the usual block).
class TOVI_API transaction {
public:
    /// A new explicit transaction on the data source's connection (connecting first
    /// if needed).
    explicit transaction(data_source& ds);
    /// Adopts `t`; acquires nothing.
    transaction(data_source& ds, impl::transaction& t);
    /// A new statement-kind transaction on the connection `s` works on.
    explicit transaction(statement& s);
    /// Releases the driver-side transaction unless it is a connection's own;
    /// neither commits nor rolls back (the driver's finish decides). Statements
    /// and scripts still working in it are ended first (their driver statements
    /// handed back; using them raises bad_operation). Never throws.
    ///
    /// Destroying the data source first is allowed: the transaction is then
    /// rolled back and left inert (commit() and rollback() raise bad_operation),
    /// and destroying it afterwards is harmless.
    ~transaction();
    transaction(const transaction&) = delete;
    transaction& operator=(const transaction&) = delete;

    /// Commits the work so far (see impl::transaction::commit for failures).
    void commit();
    /// Rolls back the work so far.
    void rollback();
    /// Whether statements commit after each execution in this transaction.
    bool is_auto_commit() const;
    /// Changes that for later executions.
    void set_auto_commit(bool b);

    /// The data source it was made on.
    data_source& get_data_source() const { return source; }
    /// The driver's transaction.
    impl::transaction* get_impl() const { return impl; }

private:
    void depend_on_source();
    static void end_with_source(void* self);
    impl::transaction& live() const;

    data_source& source;
    impl::transaction* impl;
};

/// Commits on normal exit of its scope once `pending` was cleared, else rolls
/// back. A failed commit is thrown from the destructor when no other exception
/// is on its way (see ~auto_trans()); a failed rollback never is.
class TOVI_API auto_trans {
public:
    /// Guards `t`; the block must clear `pending` (or call done()) to commit.
    explicit auto_trans(transaction& t) : pending(true), trans(&t) {}
    /// Rolls back while `pending` (quietly: an exception is on its way). Commits
    /// otherwise, and a failed commit propagates when no other exception is in
    /// flight: the block's work is not done, and saying nothing would lose it.
    ~auto_trans() noexcept(false);
    auto_trans(const auto_trans&) = delete;
    auto_trans& operator=(const auto_trans&) = delete;
    /// Marks the work complete: the destructor commits.
    void done() { pending = false; }

    /// True until the block's work completes; the destructor rolls back while set.
    bool pending;
    /// The guarded transaction (not owned).
    transaction* trans;
};

/// The loop flag of a run-once transaction block.
class TOVI_API trans_block {
public:
    trans_block() : flag(true) {}
    ~trans_block() = default;
    /// Set until the block's first pass clears it.
    bool flag;
};

}  // namespace tovi

#endif
