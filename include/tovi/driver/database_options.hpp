// Options a server road reads from the end of the database name, after "?", in
// the manner of a URI's query: "sales?connect_timeout=5&statement_timeout=60".
//
//   connect_timeout    seconds a connection may take to open (default 30)
//   statement_timeout  seconds one execution or fetch may take (default 0: no limit)
//   pool_ping_after    seconds a pooled connection may wait idle before it is
//                      pinged on reuse (default 30)
//   pool_idle_keep     idle connections per user kept however long they wait (2)
//   pool_idle_timeout  seconds after which the other idle connections close (300)
#ifndef TOVI_DRIVER_DATABASE_OPTIONS_HPP
#define TOVI_DRIVER_DATABASE_OPTIONS_HPP

#include <chrono>
#include <string>

#include <tovi/repository.hpp>

namespace tovi::driver {

struct database_options {
    std::string database;  // the name without its options
    std::chrono::seconds connect_timeout{30};
    std::chrono::seconds statement_timeout{0};
    pool_policy pool;
};

// Splits `database` into its name and options; an unknown option or a value that
// is not a whole number of seconds raises tovi::ds_exception saying which.
database_options parse_database_options(const std::string& database);

}  // namespace tovi::driver

#endif
