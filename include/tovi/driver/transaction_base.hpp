// The base of a driver's transaction: its statement cache, the hand-out and
// take-back of the driver's statements and scripts, and the transaction's error
// context. The driver adds start, commit, rollback and finish.
#ifndef TOVI_DRIVER_TRANSACTION_BASE_HPP
#define TOVI_DRIVER_TRANSACTION_BASE_HPP

#include <memory>
#include <string>

#include <tovi/tovi.hpp>

#include <tovi/driver/error_context.hpp>
#include <tovi/driver/script_base.hpp>
#include <tovi/driver/statement_cache.hpp>

namespace tovi::driver {

template <class D>
class transaction_base : public impl::transaction, public sql::impl::script_factory {
public:
    using connection_type = typename D::connection;
    using statement_class = typename D::statement;

    transaction_base(impl::TxnType type, connection_type& owner_)
        : impl::transaction(type), owner(owner_), cache(50) {}

    int enter() override { return ++use_count, 0; }
    // Slot 8, after the core's: the counterpart of enter().
    virtual void leave() { --use_count; }

    // A free statement of `sql` from the cache (handed to `command`), or a new,
    // prepared one. A failing prepare leaves nothing behind.
    impl::statement* acquire_statement(const std::string& sql,
                                       const data_aware_command* command) override {
        return cache.acquire(
            sql,
            [&](const std::string& text) {
                std::unique_ptr<statement_class> s(new statement_class(command, 1, self()));
                s->prepare(text);
                return s.release();
            },
            [&](impl::string_stmt* free) {
                auto* s = static_cast<statement_class*>(free);  // the cache holds only ours
                s->command = command;
                s->owner = &self();
                s->reused();
            });
    }
    // reset() (unless D::reset_on_release is false), then back into the cache.
    // A statement whose reset fails is destroyed (its native state is unknown),
    // never left counted as in use; the failure then propagates.
    void release_statement(impl::statement* s) override {
        auto* own = static_cast<statement_class*>(s);  // handed out by acquire_statement
        if (D::reset_on_release) {
            try {
                own->reset();
            } catch (...) {
                cache.discard(own);
                throw;
            }
        }
        cache.release(own);
    }

    // Scripts run their texts through acquire_statement (see script_base.hpp).
    sql::impl::script* create_script(data_aware_command* command) override {
        return new script_base<D>(command, self());
    }
    void release_script(sql::impl::script* s) override { delete s; }

    // "Database: '<name>'; " + statistics, for transaction operations.
    std::string context() const {
        return "Database: '" + database_name(owner) + "'; " + cache.statistics();
    }
    // Translates `e` with the transaction's context; never returns.
    [[noreturn]] void fail(const exception& e) const { translate(owner, e, context()); }

    // Calls `f` with every statement handed out and not yet released.
    template <class F>
    void for_each_in_use(F f) const {
        for (impl::string_stmt* s : cache.in_use()) f(*static_cast<statement_class*>(s));
    }

    // What the end of the native transaction (a commit or rollback) does to the
    // statements: with `keep_reading`, a query with rows left reads on (its
    // engine keeps the cursor); every other statement in use is reset and its
    // next fetch says the end closed it; the free ones go, unless `keep_free`
    // (an engine whose prepared statements outlive the transaction). The
    // driver's statement offers reading(), reset() and closed_by_transaction().
    void end_statements(bool keep_reading, bool keep_free = false) {
        for_each_in_use([keep_reading](statement_class& s) {
            if (keep_reading && s.reading()) return;
            s.closed_by_transaction();
            s.reset();
        });
        if (!keep_free) cache.purge();
    }

    connection_type& get_owner() const { return owner; }
    statement_cache& get_cache() { return cache; }
    const statement_cache& get_cache() const { return cache; }

protected:
    connection_type& owner;
    statement_cache cache;

private:
    typename D::transaction& self() { return static_cast<typename D::transaction&>(*this); }
};

}  // namespace tovi::driver

#endif
