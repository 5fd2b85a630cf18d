// The service manager's name for each protocol, from real URLs where they give
// one (no remote server needed: only the name is checked).
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include "ib_service.hpp"

TEST(IbService, ManagerNamesByProtocol) {
    EXPECT_EQ(tovi::ib::service_manager_name(
                  tovi::uurl_t("/InterBase/myhost/3050", "", "", "db").get_service()),
              "myhost:service_mgr");
    EXPECT_EQ(tovi::ib::service_manager_name(
                  tovi::uurl_t("/InterBase_EMB", "", "", "x.fdb").get_service()),
              "service_mgr");
    auto named = [](int protocol, const std::string& host) {
        return tovi::ib::service_manager_name(
            tovi::service_t("db", "", host, static_cast<tovi::network_protocol_t>(protocol), 0));
    };
    EXPECT_EQ(named(1, "h"), "service_mgr");
    EXPECT_EQ(named(2, "h"), "h:service_mgr");
    EXPECT_EQ(named(3, "h"), "\\\\h\\service_mgr");  // the URL never names 4 (SPX)
    EXPECT_EQ(named(0, "h"), "h");                   // no network protocol: the host alone
    EXPECT_EQ(named(2, ""), "service_mgr");          // no host: this machine
}
