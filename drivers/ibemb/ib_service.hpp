// The name under which a service's service manager is attached.
#ifndef TOVI_DRIVERS_IBEMB_IB_SERVICE_HPP
#define TOVI_DRIVERS_IBEMB_IB_SERVICE_HPP

#include <string>

#include <tovi/tovi.hpp>

namespace tovi::ib {

// By the service's protocol: "service_mgr" on this machine (no host, or the
// default protocol), "host:service_mgr" over TCP/IP, "\\\\host\\service_mgr" over
// named pipes, "host@service_mgr" over SPX, the host alone otherwise.
std::string service_manager_name(const service_t& s);

}  // namespace tovi::ib

#endif
