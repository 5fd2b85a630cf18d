// The names under which the engine is asked for a database and its service manager.
#include "ib_service.hpp"

namespace tovi::ib {

namespace {

// `name` on the service's host, in the form of its protocol.
std::string on_host(const service_t& s, const std::string& name) {
    if (s.host.empty()) return name;
    switch (static_cast<int>(s.protocol)) {  // 3: named pipes, 4: SPX
        case np_default:
            return name;
        case np_tcp_port:
            return s.host + (s.port != 0 ? "/" + std::to_string(s.port) : "") + ":" + name;
        case 3:
            return "\\\\" + s.host + "\\" + name;
        case 4:
            return s.host + "@" + name;
        default:
            return std::string();
    }
}

}  // namespace

std::string service_manager_name(const service_t& s) {
    const std::string name = on_host(s, "service_mgr");
    return name.empty() ? s.host : name;
}

std::string database_path(const service_t& s, bool embedded) {
    if (embedded) return s.server;  // the engine in this process opens local files only
    const std::string name = on_host(s, s.server);
    return name.empty() ? s.server : name;
}

}  // namespace tovi::ib
