// The server descriptor interfaces.
#include <tovi/server.hpp>

namespace tovi {
server_t::~server_t() = default;
sql_support::~sql_support() = default;
drop_support::~drop_support() = default;
quoting_support::~quoting_support() = default;
}  // namespace tovi
