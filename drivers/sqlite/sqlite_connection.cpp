// Connections, transactions, the database, the repository and the data source.
#include "sqlite_driver.hpp"

namespace tovi::sqlite {

// --- connection

namespace {
// Runs a statement that returns no rows; false (and the native failure in `e`)
// when it fails.
bool run(sqlite3* db, const char* sql, exception* failure) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc == SQLITE_OK) return true;
    if (failure != nullptr) *failure = native_error(db, rc);
    return false;
}

// How long a connection waits for another's lock before it fails.
constexpr int busy_timeout_ms = 5000;
}  // namespace

connection::connection(DataBase& database_, const session_t& s)
    : tovi::connection(database_, s), db(nullptr), transactions(0) {
    const std::string& file = database_.get_service().server;
    int rc = sqlite3_open(file.c_str(), &db);
    if (rc != SQLITE_OK) {
        exception e = native_error(db, rc);
        sqlite3_close(db);
        db = nullptr;
        throw e;
    }
    // Writers on one file wait for each other before "database is locked".
    sqlite3_busy_timeout(db, busy_timeout_ms);
    exception e("", 0);
    if (!run(db, "PRAGMA synchronous = OFF;", &e)) {
        sqlite3_close(db);  // the destructor does not run for a throwing constructor
        db = nullptr;
        driver::server_of(*this).translate_error(e, "Database: '" + file + "'");
        throw e;
    }
}

connection::~connection() {
    if (db != nullptr) sqlite3_close(db);  // errors are of no use here
}

impl::transaction* connection::create_transaction(impl::TxnType type) {
    auto* t = new transaction(type, *this);
    try {
        t->start();
    } catch (...) {
        delete t;
        throw;
    }
    ++transactions;
    return t;
}

void connection::destroy_transaction(impl::transaction* t) {
    if (t == nullptr) return;
    try {
        t->finish();
    } catch (...) {
        delete t;
        --transactions;
        throw;
    }
    delete t;
    --transactions;
}

// --- transaction
//
// Every transaction of a connection shares its one SQLite session, so there is
// at most one native transaction: the first transaction to change data begins
// it, the others join it, and whichever commits or rolls back ends it for all.

transaction::transaction(impl::TxnType type, connection& owner_)
    : transaction_base(type, owner_), active_(false), db_(owner_.db) {}

transaction::~transaction() = default;

driver::statement_base* transaction::new_statement(const data_aware_command* command) {
    return new statement(command, 1, *this);
}

void transaction::begin() {
    // Another transaction of this connection (or SQL text) has one open: join it.
    if (sqlite3_get_autocommit(db_) == 0) {
        active_ = true;
        return;
    }
    exception e("", 0);
    if (!run(db_, "BEGIN", &e)) fail(e);
    active_ = true;
}

void transaction::ended() noexcept {
    active_ = false;
    for (impl::transaction* t : owner.get_transactions()) static_cast<transaction*>(t)->active_ = false;
}

void transaction::native_state_changed() noexcept {
    if (sqlite3_get_autocommit(db_) != 0) ended();
}

void transaction::end(const char* sql) {
    if (!active_) return;
    try {
        // Open cursors would keep the transaction busy: reset what is in use and
        // drop the free statements.
        for (impl::string_stmt* s : cache.in_use()) static_cast<statement*>(s)->reset();
        cache.purge();
    } catch (const exception& e) {
        fail(e);
    }
    // SQLite may have ended it already (rolled back after a failure).
    if (sqlite3_get_autocommit(db_) != 0) {
        ended();
        return;
    }
    exception e("", 0);
    if (!run(db_, sql, &e)) {
        native_state_changed();
        fail(e);
    }
    ended();
}

void transaction::commit() { end("COMMIT"); }
void transaction::rollback() { end("ROLLBACK"); }

void transaction::finish() {
    if (!active_) return;
    if (sqlite3_get_autocommit(db_) != 0) {
        ended();
        return;
    }
    // Another transaction of the connection still works in the shared native
    // one: leave it to that transaction to end.
    for (impl::transaction* t : owner.get_transactions())
        if (t != this && static_cast<transaction*>(t)->active_) {
            active_ = false;
            return;
        }
    exception e("", 0);
    if (!run(db_, "END", &e)) {
        native_state_changed();
        fail(e);
    }
    ended();
}

// --- database, repository, data source

tovi::connection* database::create_connection(const session_t& s) { return new connection(*this, s); }

void database::destroy_connection(tovi::connection* c) { delete c; }

repository::~repository() = default;

DataBase* repository::create_database(const service_t& s) { return new database(*this, s); }

void repository::destroy_database(DataBase* db) { delete db; }

namespace {
Repository* make_repository(const boost::shared_ptr<server_t>& server, const svc_provider_t& provider) {
    return new repository(server, provider);
}
}  // namespace

DataBase* data_source::locate_database() {
    if (service.server.empty())
        throw ds_exception(
            "No SQLite database is named: an empty name would open a private temporary database, "
            "lost when the connection closes. Name a database file, or \":memory:\" for an "
            "in-memory database.");
    // Hold the descriptor for the duration of the call.
    const boost::shared_ptr<server_t> held = server;
    Repository& r = driver::repository_holder::instance().get("", held, provider, &make_repository);
    return r.get_database(service);
}

}  // namespace tovi::sqlite
