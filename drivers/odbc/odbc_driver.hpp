// tovi_odbc.so: any database through an ODBC 3 driver manager (unixODBC), on
// the driver framework. This header names the driver's classes:
//
//   odbc_connection     the environment per ODBC driver name, connections
//   odbc_transaction    manual commit: SQLEndTran
//   odbc_statement      prepared statements, executed and fetched
//   odbc_bindings       one binding class per value kind
//   odbc_handle         handles and the return-code rule
//   odbc_connection_string   the connection string per kind of source
#ifndef TOVI_DRIVERS_ODBC_ODBC_DRIVER_HPP
#define TOVI_DRIVERS_ODBC_ODBC_DRIVER_HPP

#include <tovi/driver/framework.hpp>
#include "odbc_handle.hpp"

namespace tovi::odbc {

class connection;
class transaction;
class statement;
struct binding_kinds;

// One ODBC environment per repository (per ODBC driver name).
struct environment {
    explicit environment(const svc_provider_t& provider);
    handle env;
};

struct driver {
    using connection = odbc::connection;
    using transaction = odbc::transaction;
    using statement = odbc::statement;
    using factory = tovi::driver::binding_factory<driver>;
    using bindings = binding_kinds;
    using repository_key = tovi::driver::repository_per_provider;
    using repository_state = environment;
    static constexpr const char* tag = "tovi_odbc";
    static constexpr bool start_on_create = true;
    static constexpr bool reset_on_release = true;
    static void check_service(const svc_provider_t& p, const service_t& s);
};

using binding_factory = driver::factory;

}  // namespace tovi::odbc

#endif
