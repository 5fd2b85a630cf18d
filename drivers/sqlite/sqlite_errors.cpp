// SQLite failures as tovi exceptions.
#include "sqlite_errors.hpp"

namespace tovi::sqlite {

exception native_error(sqlite3* db, int code) {
    const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return exception(message != nullptr ? message : "unknown SQLite error", code);
}

bool run(sqlite3* db, const char* sql, exception& failure) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    sqlite3_free(message);
    if (rc == SQLITE_OK) return true;
    failure = native_error(db, rc);
    return false;
}

}  // namespace tovi::sqlite
