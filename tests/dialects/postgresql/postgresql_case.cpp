// PostgreSQL in the conformance suite: the test run's own server, through
// unixODBC and psqlODBC, with the PostgreSQL dialect.
#include "conformance.hpp"
#include "support/odbc_registry.hpp"
#include "support/pg_server.hpp"

TOVI_CONFORMANCE_CASE(postgresql) {
    tovi_test::process_registry().add("PostgreSQL Unicode", TOVI_TEST_PSQLODBC_DRIVER);
    const tovi_test::pg_server server(TOVI_TEST_PG_SERVER_ENV);
    tovi_conformance::driver_case c;
    c.name = "postgresql";
    c.url = server.url();
    c.user = server.user;
    c.password = server.password;
    const std::string database = server.database;
    c.database = [database](const std::string&) { return database; };
    c.integer_type = "BIGINT";
    c.real_type = "DOUBLE PRECISION";
    c.text_type = "TEXT";
    c.blob_type = "BYTEA";
    c.date_type = "TIMESTAMP";
    c.context_database = "127.0.0.1";  // the ODBC driver names the server
    c.set_up = [server] { server.reset(TOVI_TEST_PG_SERVER_SCRIPT); };
    c.lacks("variant_doubles", "the ODBC driver binds no VT_R8 variant");
    c.lacks("second_database", "the test server has one database for the tests");
    c.lacks("any_credentials", "the server checks every user name and password");
    return c;
}
