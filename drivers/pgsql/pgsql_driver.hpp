// tovi_PGSQL.so: PostgreSQL servers through libpq, on the driver framework.
// This header names the driver's classes for the framework; each lives in its
// own file pair:
//
//   pgsql_connection   connects (keyword/value parameters), reconnects a lost
//                      connection at its next transaction, answers the pool's check
//   pgsql_transaction  BEGIN at the first statement, COMMIT, ROLLBACK
//   pgsql_statement    named prepared statements, one round trip per execution
//   pgsql_bindings     parameters in binary where a type has a fixed binary form,
//                      columns read by their type
//   pgsql_errors       a failed result as a native_exception with its SQLSTATE
#ifndef TOVI_DRIVERS_PGSQL_PGSQL_DRIVER_HPP
#define TOVI_DRIVERS_PGSQL_PGSQL_DRIVER_HPP

#include <tovi/driver/framework.hpp>

namespace tovi::pgsql {

class connection;
class transaction;
class statement;
struct binding_kinds;

// The driver's traits (see framework.hpp).
struct driver {
    using connection = pgsql::connection;
    using transaction = pgsql::transaction;
    using statement = pgsql::statement;
    using factory = tovi::driver::binding_factory<driver>;
    using bindings = binding_kinds;
    using repository_key = tovi::driver::one_repository;
    static constexpr const char* tag = "tovi_PGSQL";
    static constexpr bool start_on_create = true;
    static constexpr bool reset_on_release = true;
    // The database name with its options ("sales?connect_timeout=5"); the pool
    // takes its settings from them too.
    static const std::string& options_of(const service_t& s) { return s.server; }
    static void check_service(const svc_provider_t&, const service_t& s);
};

using binding_factory = driver::factory;

}  // namespace tovi::pgsql

#endif
