// The service manager's names.
#include "ib_service.hpp"

namespace tovi::ib {

std::string service_manager_name(const service_t& s) {
    if (s.host.empty()) return "service_mgr";
    switch (static_cast<int>(s.protocol)) {  // 3: named pipes, 4: SPX
        case np_default:
            return "service_mgr";
        case np_tcp_port:
            return s.host + ":service_mgr";
        case 3:
            return "\\\\" + s.host + "\\service_mgr";
        case 4:
            return s.host + "@service_mgr";
        default:
            return s.host;
    }
}

}  // namespace tovi::ib
