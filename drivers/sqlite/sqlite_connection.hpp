// A connection: one open SQLite database file.
#ifndef TOVI_DRIVERS_SQLITE_SQLITE_CONNECTION_HPP
#define TOVI_DRIVERS_SQLITE_SQLITE_CONNECTION_HPP

#include <sqlite3.h>

#include "sqlite_driver.hpp"

namespace tovi::sqlite {

class connection : public tovi::driver::connection_base<driver> {
public:
    // Opens the database file (a failure leaves as the native error), sets the
    // busy timeout and switches synchronous writes off.
    connection(DataBase& db, const session_t& s);
    // Closes the database; errors are ignored.
    ~connection() override;

    sqlite3* db;
};

}  // namespace tovi::sqlite

#endif
