// How a native failure becomes a classified exception: the dialect behind a
// connection, the texts that say where a failure happened.
#ifndef TOVI_DRIVER_ERROR_CONTEXT_HPP
#define TOVI_DRIVER_ERROR_CONTEXT_HPP

#include <string>

#include <tovi/tovi.hpp>

namespace tovi::driver {

// The dialect's descriptor behind a connection.
server_t& server_of(const connection& c);
// Hands `e` and `context` to the dialect's translator, which throws; a
// classified error gets the context as its last entry too.
[[noreturn]] void translate(const connection& c, const exception& e, const std::string& context);

// The database name contexts show: the service's server.
const std::string& database_name(const connection& c);

// `sql` as error texts show it: a text over 64 KiB is cut to its first 64 KiB
// followed by "...", so a huge statement does not make a huger error.
std::string sql_for_context(const std::string& sql);

}  // namespace tovi::driver

#endif
