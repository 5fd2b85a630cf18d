// PostgreSQL in the conformance suite: the test run's own server, through
// unixODBC and psqlODBC, with the PostgreSQL dialect.
#include <memory>
#include <string>
#include <vector>

#include "conformance.hpp"
#include "support/odbc_registry.hpp"
#include "support/pg_server.hpp"

TOVI_CONFORMANCE_CASE(postgresql) {
    tovi_test::process_registry().add("PostgreSQL Unicode", TOVI_TEST_PSQLODBC_DRIVER);
    const tovi_test::pg_server server(TOVI_TEST_PG_SERVER_ENV, TOVI_TEST_PG_SERVER_SCRIPT);
    tovi_conformance::driver_case c;
    c.name = "postgresql";
    c.url = server.url();
    c.user = server.user;
    c.password = server.password;
    // A database of each check's own (checks run at the same time), and of each
    // further directory a check asks for one in.
    auto made = std::make_shared<std::vector<std::string>>();
    c.database = [server, made](const std::string& dir) {
        made->push_back(server.create(dir));
        return made->back();
    };
    c.tear_down = [server, made] {
        for (const std::string& name : *made) server.drop(name);
        made->clear();
    };
    c.integer_type = "BIGINT";
    c.real_type = "DOUBLE PRECISION";
    c.text_type = "TEXT";
    c.blob_type = "BYTEA";
    c.boolean_type = "BOOLEAN";
    c.date_type = "TIMESTAMP";
    c.context_database = "127.0.0.1";  // the ODBC driver names the server
    c.lacks("any_credentials", "the server checks every user name and password");
    c.lacks("database_file", "the database is the server's, not a file this process opens");
    return c;
}
