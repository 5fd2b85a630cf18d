// Connections, transactions, the database, the repository and the data source.
#include "sqlite_driver.hpp"

namespace tovi::sqlite {

// --- connection

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
    char* message = nullptr;
    rc = sqlite3_exec(db, "PRAGMA synchronous = OFF;", nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) {
        exception e = native_error(db, rc);
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

transaction::transaction(impl::TxnType type, connection& owner_)
    : transaction_base(type, owner_), active_(false), db_(owner_.db) {}

transaction::~transaction() = default;

driver::statement_base* transaction::new_statement(const data_aware_command* command) {
    return new statement(command, 1, *this);
}

void transaction::begin() {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, "BEGIN", nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) fail(native_error(db_, rc));
    active_ = true;
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
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) fail(native_error(db_, rc));
    active_ = false;
}

void transaction::commit() { end("COMMIT"); }
void transaction::rollback() { end("ROLLBACK"); }

void transaction::finish() {
    if (!active_) return;
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, "END", nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc != SQLITE_OK) fail(native_error(db_, rc));
    active_ = false;
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
    // Hold the descriptor for the duration of the call.
    const boost::shared_ptr<server_t> held = server;
    Repository& r = driver::repository_holder::instance().get("", held, provider, &make_repository);
    return r.get_database(service);
}

}  // namespace tovi::sqlite
