// tovi_ado.so: databases behind an ADO provider (the Jet provider of tovi's
// ADO stand-in, adodb/), on the driver framework. This header names the
// driver's classes:
//
//   ado_connection    an ADODB.Connection (the Jet file created when missing)
//   ado_transaction   BeginTrans at the first execution that needs it
//   ado_statement     an ADODB.Command and its ADODB.Recordset
//   ado_bindings      one binding class per value kind, values as VARIANTs
//   ado_insert        INSERT texts rewritten into row insertion
//   ado_errors        the Errors collection as a tovi::exception
#ifndef TOVI_DRIVERS_ADO_ADO_DRIVER_HPP
#define TOVI_DRIVERS_ADO_ADO_DRIVER_HPP

#include <tovi/driver/framework.hpp>
#include "adodb.hpp"

namespace tovi::ado {

class connection;
class transaction;
class statement;
class insert_factory;
struct binding_kinds;

struct driver {
    using connection = ado::connection;
    using transaction = ado::transaction;
    using statement = ado::statement;
    using factory = tovi::driver::binding_factory<driver>;
    using bindings = binding_kinds;
    using repository_key = tovi::driver::repository_per_provider;
    static constexpr const char* tag = "tovi_ado";
    static constexpr bool start_on_create = true;
    static constexpr bool reset_on_release = true;
    static void check_service(const svc_provider_t&, const service_t&) {}
};

using binding_factory = driver::factory;

}  // namespace tovi::ado

#endif
