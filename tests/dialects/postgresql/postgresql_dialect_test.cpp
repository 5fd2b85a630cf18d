// The PostgreSQL dialect loaded as the real module: errors classify by the
// SQLSTATE the driver hands over, whatever the client library's wording.
#include <tovi/driver/native_exception.hpp>
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>

namespace {

std::string class_of(tovi::server_t& server, const tovi::exception& e) {
    try {
        server.translate_error(e, "[ctx]");
    } catch (const tovi::exception& thrown) {
        return typeid(thrown).name();
    }
    return "none";
}

TEST(PostgresqlDialect, ErrorsClassifyByTheSqlstateNotTheWording) {
    tovi::api::init();
    {
        std::unique_ptr<tovi::server_t> server(
            tovi::uurl_t("/ODBC/PostgreSQL Unicode/localhost", "", "", "db").make_server());
        using tovi::driver::native_exception;
        const struct {
            const char* state;
            const char* expected;
        } cases[] = {
            {"23505", typeid(tovi::dup_value_on_index).name()},
            {"42P01", typeid(tovi::no_schema_obj_found).name()},
            {"42P07", typeid(tovi::schema_obj_already_exists).name()},
            {"23503", typeid(tovi::integrity_violation).name()},
            {"23502", typeid(tovi::integrity_violation).name()},  // not null
            {"42601", typeid(tovi::bad_sql).name()},
            {"42501", typeid(tovi::permission_denied).name()},
            {"25006", typeid(tovi::permission_denied).name()},
            {"28P01", typeid(tovi::permission_denied).name()},
            {"22012", typeid(tovi::exception).name()},  // division by zero: no class of its own
        };
        for (const auto& c : cases)
            EXPECT_EQ(class_of(*server, native_exception("any words", 1, c.state)), c.expected)
                << c.state;
        // The text of one client library is no rule any more.
        EXPECT_EQ(class_of(*server, tovi::exception("SQLCode: 23505.Native error: 1.dup", 1)),
                  typeid(tovi::exception).name());
    }
    tovi::api::fini();
}

}  // namespace
