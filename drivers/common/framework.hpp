// The body every driver module shares: the module-wide repository holder and its
// clean-up at module unload, the transaction with its statement cache, the
// statement's common preparation and error contexts, and the factory template
// that fills the binding slots the same way in every driver.
//
// A driver derives its classes from these and adds only its native work.
#ifndef TOVI_DRIVERS_COMMON_FRAMEWORK_HPP
#define TOVI_DRIVERS_COMMON_FRAMEWORK_HPP

#include <map>
#include <memory>
#include <string>

#include <tovi/tovi.hpp>

#include "statement_cache.hpp"

namespace tovi::driver {

// --- module-wide state

// Registers a callback to run when this driver module is unloaded; callbacks run
// last-registered-first, and an exception ends the walk (and is swallowed).
void register_module_cleanup(void (*fn)());
// Runs the registered callbacks now (as the module's unload does).
void run_module_cleanup() noexcept;

// The module's repositories: one per key (the SQLite and Firebird drivers use a
// single key, the ODBC driver one per provider name).
class repository_holder {
public:
    using factory = Repository* (*)(const boost::shared_ptr<server_t>&, const svc_provider_t&);

    // The holder of this module, created (with its clean-up registered) on first use.
    static repository_holder& instance();
    // The repository under `key`, created from `server` and `provider` and
    // opened on first use.
    Repository& get(const std::string& key, const boost::shared_ptr<server_t>& server,
                    const svc_provider_t& provider, factory make);
    std::size_t size() const { return repositories_.size(); }

private:
    static void cleanup();
    std::map<std::string, std::unique_ptr<Repository>> repositories_;
};

// The dialect's descriptor behind a connection.
server_t& server_of(const connection& c);
// Hands `e` and `context` to the dialect's translator, which throws.
[[noreturn]] void translate(const connection& c, const exception& e, const std::string& context);

// --- transactions and statements

class statement_base;

// A driver transaction with its statement cache.
class transaction_base : public impl::transaction {
public:
    transaction_base(impl::TxnType type, connection& owner);
    ~transaction_base() override;

    int enter() override { return ++use_count, 0; }
    virtual void leave() { --use_count; }
    impl::statement* acquire_statement(const std::string& sql,
                                       const data_aware_command* command) override;
    // reset() (unless the driver says not to), then back into the cache.
    void release_statement(impl::statement* s) override;

    // A new driver statement for `command` (prepare() is called by the cache).
    virtual statement_base* new_statement(const data_aware_command* command) = 0;
    // Whether release_statement resets the statement first.
    virtual bool reset_on_release() const { return true; }

    // "Database: '<name>'; " + statistics, for transaction operations.
    std::string context() const;
    [[noreturn]] void fail(const exception& e) const;

    connection& get_owner() const { return owner; }
    statement_cache& get_cache() { return cache; }

protected:
    connection& owner;
    statement_cache cache;
};

// A driver statement for SQL text.
class statement_base : public impl::string_stmt {
public:
    statement_base(const data_aware_command* command, unsigned int options, transaction_base& owner);

    // The common steps: context, key, kind (from the dialect) and the SQL text
    // with ":" / "?" markers turned into "?".
    void prepare(const std::string& sql) override;
    int control(int) override { return 0; }
    // An operation the drivers add after the core's slots: not supported.
    virtual void unsupported_operation();
    // The cache hands this statement to a new command: nothing bound by an
    // earlier command may go out with the new one's execution.
    virtual void reused() {}

    // The statement's context followed by the cache's statistics.
    std::string error_context() const;
    // Translates `e` with the statement's context; never returns.
    [[noreturn]] void fail(const exception& e) const;
    // Throws `e`, already classified by tovi itself, with the statement's context
    // added after its message.
    template <class E>
    [[noreturn]] void raise(E e) const {
        e.set_data(error_context(), 0);
        throw e;
    }

    transaction_base* owner;
    std::string native_sql;
    statement_type kind;
    std::string context;
    bool at_end;

protected:
    // The driver's tag in contexts ("tovi_sqlite").
    virtual const char* driver_tag() const = 0;
};

// The database name contexts show: the service's server.
const std::string& database_name(const connection& c);

// `sql` as error texts show it: a text over 64 KiB is cut to its first 64 KiB
// followed by "...", so a huge statement does not make a huger error.
std::string sql_for_context(const std::string& sql);

// --- factories

// Fills factory slots 1 to 18 with the driver's binding classes. `Bindings`
// names them (integer for bool, long and long_vf; real; text; date_time; lob;
// variant, all derived from `base`) and constructs each as (factory, data, owner,
// position); `lob` as (factory, owner, position, is_blob). Bindings have public
// virtual destructors; free_*_impl deletes them (null is ignored).
template <class Bindings>
class basic_factory : public impl::value_factory {
public:
    using value_factory::value_factory;

    impl::value_t* make_bool_impl(bool& data, bool_t* owner) override {
        return add(new typename Bindings::boolean(*this, data, owner, position()));
    }
    void free_bool_impl(impl::value_t* b) override { dispose(b); }
    impl::value_t* make_long_impl(long& data, long_t* owner) override {
        return add(new typename Bindings::integer(*this, data, owner, position()));
    }
    void free_long_impl(impl::value_t* b) override { dispose(b); }
    impl::value_t* make_long_vf_impl(long& data, long_t* owner) override {
        return add(new typename Bindings::integer(*this, data, owner, position()));
    }
    void free_long_vf_impl(impl::value_t* b) override { dispose(b); }
    impl::value_t* make_double_impl(double& data, double_t* owner) override {
        return add(new typename Bindings::real(*this, data, owner, position()));
    }
    void free_double_impl(impl::value_t* b) override { dispose(b); }
    impl::value_t* make_string_impl(std::string& data, string_t* owner) override {
        return add(new typename Bindings::text(*this, data, owner, position()));
    }
    void free_string_impl(impl::value_t* b) override { dispose(b); }
    impl::value_t* make_date_time_impl(tm& data, date_time_t* owner) override {
        return add(new typename Bindings::date_time(*this, data, owner, position()));
    }
    void free_date_time_impl(impl::value_t* b) override { dispose(b); }
    impl::lob_t* make_clob_impl(tovi::lob_t* owner) override {
        return add(new typename Bindings::lob(*this, owner, position(), false));
    }
    void free_clob_impl(impl::lob_t* b) override { dispose_lob(b); }
    impl::lob_t* make_blob_impl(tovi::lob_t* owner) override {
        return add(new typename Bindings::lob(*this, owner, position(), true));
    }
    void free_blob_impl(impl::lob_t* b) override { dispose_lob(b); }
    impl::value_t* make_variant_impl(_variant_t& data, tovi::value_t* owner) override {
        return add(new typename Bindings::variant(*this, data, owner, position()));
    }
    void free_variant_impl(impl::value_t* b) override { dispose(b); }

    bool changed() const { return bindings_changed; }
    void clear_changed() { bindings_changed = false; }

private:
    unsigned short position() const { return static_cast<unsigned short>(bindings.size()); }

    template <class B>
    B* add(B* binding) {
        add_binding(binding);
        if (direction != in) bindings_changed = true;
        return binding;
    }
    static void dispose(impl::value_t* b) {
        if (b != nullptr) delete static_cast<typename Bindings::base*>(b);
    }
    static void dispose_lob(impl::lob_t* b) {
        if (b != nullptr) delete static_cast<typename Bindings::lob*>(b);
    }
};

}  // namespace tovi::driver

#endif
