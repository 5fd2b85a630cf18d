// tovi_sqlite.so: SQLite 3 database files through the SQLite C library, on the
// driver framework. This header names the driver's classes for the framework;
// each lives in its own file pair:
//
//   sqlite_connection   opens and closes the database file
//   sqlite_transaction  BEGIN at the first change, COMMIT, ROLLBACK
//   sqlite_statement    lazily prepared, reset and reused native statements
//   sqlite_bindings     one binding class per value kind
//   sqlite_errors       SQLite failures as tovi exceptions
#ifndef TOVI_DRIVERS_SQLITE_SQLITE_DRIVER_HPP
#define TOVI_DRIVERS_SQLITE_SQLITE_DRIVER_HPP

#include <tovi/driver/framework.hpp>

namespace tovi::sqlite {

class connection;
class transaction;
class statement;
struct binding_kinds;

// The driver's traits (see framework.hpp).
struct driver {
    using connection = sqlite::connection;
    using transaction = sqlite::transaction;
    using statement = sqlite::statement;
    using factory = tovi::driver::binding_factory<driver>;
    using bindings = binding_kinds;
    using repository_key = tovi::driver::one_repository;
    static constexpr const char* tag = "tovi_sqlite";
    static constexpr bool start_on_create = true;
    static constexpr bool reset_on_release = true;
    // tovi::ds_exception for an empty database name: SQLite would open a private
    // temporary database whose data vanish with the connection.
    static void check_service(const svc_provider_t&, const service_t& s);
};

using binding_factory = driver::factory;

}  // namespace tovi::sqlite

#endif
