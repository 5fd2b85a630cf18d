// tovi_ibemb.so: Firebird and InterBase databases through the Firebird client
// library, with the embedded engine in process, on the driver framework. This
// header names the driver's classes; each lives in its own file pair:
//
//   ib_status        the status vector, native errors, parameter buffers
//   ib_connection    attachment (a missing embedded database is created) and
//                    service manager
//   ib_transaction   one native transaction, committed and rolled back retaining
//   ib_statement     dynamic SQL with descriptor areas
//   ib_bindings      one binding class per value kind, blobs by segments
#ifndef TOVI_DRIVERS_IBEMB_IB_DRIVER_HPP
#define TOVI_DRIVERS_IBEMB_IB_DRIVER_HPP

#include <tovi/driver/framework.hpp>

namespace tovi::ib {

class connection;
class transaction;
class statement;
struct binding_kinds;

struct driver {
    using connection = ib::connection;
    using transaction = ib::transaction;
    using statement = ib::statement;
    using factory = tovi::driver::binding_factory<driver>;
    using bindings = binding_kinds;
    using repository_key = tovi::driver::one_repository;
    static constexpr const char* tag = "tovi_ib";
    // The native transaction starts in the transaction's constructor.
    static constexpr bool start_on_create = false;
    // Statements keep their preparation and cursor state when handed back.
    static constexpr bool reset_on_release = false;
    static void check_service(const svc_provider_t&, const service_t&) {}
};

using binding_factory = driver::factory;

}  // namespace tovi::ib

#endif
