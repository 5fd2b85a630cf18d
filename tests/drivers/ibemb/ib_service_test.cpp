// The service manager's name for each protocol, from real URLs where they give
// one (no remote server needed: only the name is checked).
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include "ib_service.hpp"

// Guards: the service manager asked for on the wrong host, port or protocol.
TEST(IbService, ManagerNamesByProtocol) {
    EXPECT_EQ(tovi::ib::service_manager_name(
                  tovi::uurl_t("/InterBase/myhost/3050", "", "", "db").get_service()),
              "myhost/3050:service_mgr");
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

// Guards: a server's database opened as a local file of the same path.
// A server's database is asked for on the URL's host and port, never as a local
// file of the same path; the embedded engine opens local files only.
TEST(IbService, DatabasePathsByProtocol) {
    auto path = [](const std::string& url, bool embedded) {
        return tovi::ib::database_path(tovi::uurl_t(url, "", "", "/data/x.fdb").get_service(),
                                       embedded);
    };
    EXPECT_EQ(path("/InterBase/myhost/3050", false), "myhost/3050:/data/x.fdb");
    EXPECT_EQ(path("/InterBase", false), "/data/x.fdb");
    EXPECT_EQ(path("/InterBase_EMB", true), "/data/x.fdb");
    EXPECT_EQ(path("/InterBase_EMB/myhost/3050", true), "/data/x.fdb");
    EXPECT_EQ(
        tovi::ib::database_path(
            tovi::service_t("x.fdb", "", "h", static_cast<tovi::network_protocol_t>(3), 0), false),
        "\\\\h\\x.fdb");
}
