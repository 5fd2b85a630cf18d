// The shared driver body: module clean-up, repositories, transactions with their
// statement cache, statement preparation and error contexts.
#include "framework.hpp"

#include <deque>
#include <mutex>
#include <typeinfo>

namespace tovi::driver {

// --- module-wide state

namespace {

std::deque<void (*)()>* cleanup_callbacks = nullptr;

// Runs the callbacks when the module is unloaded (its static destructors run).
struct module_unload {
    ~module_unload() { run_module_cleanup(); }
} unload_hook;

repository_holder* holder = nullptr;
bool cleaned = false;

}  // namespace

void register_module_cleanup(void (*fn)()) {
    if (cleanup_callbacks == nullptr) cleanup_callbacks = new std::deque<void (*)()>();
    cleanup_callbacks->push_back(fn);
}

void run_module_cleanup() noexcept {
    if (cleanup_callbacks == nullptr) return;
    try {
        while (!cleanup_callbacks->empty()) {
            void (*fn)() = cleanup_callbacks->back();
            cleanup_callbacks->pop_back();
            fn();
        }
    } catch (...) {
        // An escaping exception ends the walk.
    }
    delete cleanup_callbacks;
    cleanup_callbacks = nullptr;
}

repository_holder& repository_holder::instance() {
    if (holder == nullptr) {
        cleaned = false;
        holder = new repository_holder();
        register_module_cleanup(&repository_holder::cleanup);
    }
    return *holder;
}

void repository_holder::cleanup() {
    if (holder == nullptr || cleaned) return;
    repository_holder* h = holder;
    holder = nullptr;
    cleaned = true;
    for (auto& entry : h->repositories_) {
        try {
            entry.second->close();
        } catch (const exception& e) {
            utils::reportError(0, e.get_error_text().c_str());
        } catch (...) {
        }
    }
    delete h;
}

Repository& repository_holder::get(const std::string& key, const boost::shared_ptr<server_t>& server,
                                   const svc_provider_t& provider, factory make) {
    // Data sources on several threads reach the module's repositories at once.
    static std::mutex lock_;
    std::lock_guard<std::mutex> lock(lock_);
    auto it = repositories_.find(key);
    if (it != repositories_.end()) return *it->second;
    std::unique_ptr<Repository> repository(make(server, provider));
    repository->open();
    Repository& r = *repository;
    repositories_.emplace(key, std::move(repository));
    return r;
}

server_t& server_of(const connection& c) {
    return *c.get_database().get_repository().get_server();
}

void translate(const connection& c, const exception& e, const std::string& context) {
    try {
        server_of(c).translate_error(e, context);
    } catch (exception& classified) {
        // A classified error says where it happened too, after the driver's own
        // message (an unclassified one already ends with the context).
        if (typeid(classified) != typeid(exception) && !context.empty()) classified.set_data(context, 0);
        throw;
    }
    throw exception(e, context, 0);  // a translator that returned: keep the error
}

const std::string& database_name(const connection& c) {
    return c.get_database().get_service().server;
}

std::string sql_for_context(const std::string& sql) {
    constexpr std::size_t limit = 64 * 1024;
    if (sql.size() <= limit) return sql;
    return sql.substr(0, limit) + "...";
}

// --- transactions

transaction_base::transaction_base(impl::TxnType type, connection& owner_)
    : impl::transaction(type), owner(owner_), cache(50) {}

transaction_base::~transaction_base() = default;

impl::statement* transaction_base::acquire_statement(const std::string& sql,
                                                     const data_aware_command* command) {
    return cache.acquire(
        sql,
        [&](const std::string& text) {
            std::unique_ptr<statement_base> s(new_statement(command));
            s->prepare(text);
            return s.release();
        },
        [&](impl::string_stmt* reused) {
            auto* s = static_cast<statement_base*>(reused);
            s->command = command;
            s->owner = this;
            s->reused();
        });
}

void transaction_base::release_statement(impl::statement* s) {
    auto* statement = static_cast<statement_base*>(s);
    if (reset_on_release()) statement->reset();
    cache.release(statement);
}

std::string transaction_base::context() const {
    return "Database: '" + database_name(owner) + "'; " + cache.statistics();
}

void transaction_base::fail(const exception& e) const { translate(owner, e, context()); }

// --- statements

statement_base::statement_base(const data_aware_command* command_, unsigned int options_,
                               transaction_base& owner_)
    : string_stmt(command_, options_), owner(&owner_), kind(stmt_other), at_end(false) {}

void statement_base::prepare(const std::string& sql) {
    const connection& c = owner->get_owner();
    context = "[Statement: '" + sql_for_context(sql) + "'][Driver: " + driver_tag() + "; Database: '" +
              database_name(c) + "']";
    key = sql;
    kind = server_of(c).get_sql_support()->get_statement_type(sql);
    native_sql = utils::split_sql_param(sql, ":", "?");
}

void statement_base::unsupported_operation() { throw not_implemented(0); }

std::string statement_base::error_context() const {
    return context + owner->get_cache().statistics();
}

void statement_base::fail(const exception& e) const {
    translate(owner->get_owner(), e, error_context());
}

}  // namespace tovi::driver
