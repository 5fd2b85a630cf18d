// SQLite failures as tovi exceptions.
#ifndef TOVI_DRIVERS_SQLITE_SQLITE_ERRORS_HPP
#define TOVI_DRIVERS_SQLITE_SQLITE_ERRORS_HPP

#include <sqlite3.h>

#include <tovi/tovi.hpp>

namespace tovi::sqlite {

// Native failure: sqlite3_errmsg of the connection (SQLite's text for the code
// without one), with the SQLite code.
exception native_error(sqlite3* db, int code);

// Runs SQL that returns no rows. False on failure, with the native error in
// `failure`.
bool run(sqlite3* db, const char* sql, exception& failure);

}  // namespace tovi::sqlite

#endif
