// The driver framework: everything generic a driver module stands on. A driver
// names its own classes in a traits struct and derives them from the bases
// here; it writes only its native work. See docs/writing-a-driver.md.
//
//   struct my_driver {
//       using connection  = my::connection;    // : connection_base<my_driver>
//       using transaction = my::transaction;   // : transaction_base<my_driver>
//       using statement   = my::statement;     // : statement_base<my_driver>
//       using factory     = binding_factory<my_driver>;
//       using bindings    = my::binding_kinds; // boolean, integer, real, text,
//                                              // date_time, lob, variant
//       using repository_key = one_repository; // or repository_per_provider
//       static constexpr const char* tag = "tovi_my";  // in error contexts
//       static constexpr bool start_on_create = true;  // call start() at creation
//       static constexpr bool reset_on_release = true; // reset() when handed back
//       static void check_service(const svc_provider_t&, const service_t&) {} // refuse a bad
//       service
//   };
//   TOVI_DRIVER_CREATE_DATA_SOURCE(my_driver)          // in module.cpp
//
// Repository, database and data source (driver_repository.hpp) need nothing
// more. The statement provides ready_for_binding() (prepared and reset for a
// new run) for the bind factory.
#ifndef TOVI_DRIVERS_COMMON_FRAMEWORK_HPP
#define TOVI_DRIVERS_COMMON_FRAMEWORK_HPP

#include "binding_base.hpp"
#include "binding_factory.hpp"
#include "connection_base.hpp"
#include "driver_repository.hpp"
#include "error_context.hpp"
#include "module_cleanup.hpp"
#include "repository_holder.hpp"
#include "script_base.hpp"
#include "statement_base.hpp"
#include "statement_cache.hpp"
#include "transaction_base.hpp"

#endif
