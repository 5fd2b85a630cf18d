// SQLite failures as tovi exceptions: the connection's message and the code.
#include "sqlite_driver.hpp"

namespace tovi::sqlite {

exception native_error(sqlite3* db, int code) {
    const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return exception(message != nullptr ? message : "unknown SQLite error", code);
}

}  // namespace tovi::sqlite
