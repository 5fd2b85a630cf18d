// The names under which a service's database and service manager are attached.
#ifndef TOVI_DRIVERS_IBEMB_IB_SERVICE_HPP
#define TOVI_DRIVERS_IBEMB_IB_SERVICE_HPP

#include <string>

#include <tovi/tovi.hpp>

namespace tovi::ib {

// By the service's protocol: "service_mgr" on this machine (no host, or the
// default protocol), "host[/port]:service_mgr" over TCP/IP, "\\\\host\\service_mgr"
// over named pipes, "host@service_mgr" over SPX, the host alone otherwise.
std::string service_manager_name(const service_t& s);
// The database file (the service's server) in the same forms, on the service's
// host: "host[/port]:file" over TCP/IP. An embedded engine gets the file alone.
std::string database_path(const service_t& s, bool embedded);

}  // namespace tovi::ib

#endif
