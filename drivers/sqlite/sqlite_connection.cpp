// Opening and closing a database file; the driver's service check.
#include "sqlite_connection.hpp"

#include "sqlite_bindings.hpp"  // the framework instantiates every class of the driver here
#include "sqlite_errors.hpp"

#include <cstring>

namespace tovi::sqlite {

namespace {
// How long a connection waits for another's lock before it fails.
constexpr int busy_timeout_ms = 5000;
}  // namespace

void driver::check_service(const svc_provider_t&, const service_t& s) {
    if (s.server.empty())
        throw ds_exception(
            "No SQLite database is named: an empty name would open a private temporary database, "
            "lost when the connection closes. Name a database file, or \":memory:\" for an "
            "in-memory database.");
}

connection::connection(DataBase& database_, const session_t& s)
    : connection_base(database_, s), db(nullptr) {
    const std::string& file = database_.get_service().server;
    const int rc = sqlite3_open(file.c_str(), &db);
    if (rc != SQLITE_OK) {
        exception e = native_error(db, rc);
        // SQLite's "unable to open database file" says neither which file nor why.
        const int system_error = db != nullptr ? sqlite3_system_errno(db) : 0;
        if (system_error != 0) e = exception(e, std::strerror(system_error), rc);
        sqlite3_close(db);
        db = nullptr;
        throw exception(e, std::string("[Driver: ") + driver::tag + "; Database: '" + file + "']",
                        rc);
    }
    // Writers on one file wait for each other before "database is locked".
    sqlite3_busy_timeout(db, busy_timeout_ms);
    exception e("", 0);
    if (!run(db, "PRAGMA synchronous = OFF;", e)) {
        sqlite3_close(db);  // the destructor does not run for a throwing constructor
        db = nullptr;
        tovi::driver::server_of(*this).translate_error(e, "Database: '" + file + "'");
        throw e;
    }
}

connection::~connection() {
    if (db != nullptr) sqlite3_close(db);  // errors are of no use here
}

}  // namespace tovi::sqlite
