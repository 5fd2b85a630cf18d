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
#ifndef TOVI_DRIVER_FRAMEWORK_HPP
#define TOVI_DRIVER_FRAMEWORK_HPP

#include <tovi/driver/binding_base.hpp>
#include <tovi/driver/binding_factory.hpp>
#include <tovi/driver/connection_base.hpp>
#include <tovi/driver/driver_repository.hpp>
#include <tovi/driver/error_context.hpp>
#include <tovi/driver/module_cleanup.hpp>
#include <tovi/driver/repository_holder.hpp>
#include <tovi/driver/script_base.hpp>
#include <tovi/driver/statement_base.hpp>
#include <tovi/driver/statement_cache.hpp>
#include <tovi/driver/transaction_base.hpp>

#endif
