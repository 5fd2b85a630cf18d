// PostgreSQL in the conformance suite: the test run's own server, through
// unixODBC and psqlODBC, with the PostgreSQL dialect.
#include "conformance.hpp"
#include "support/odbc_registry.hpp"
#include "support/pg_server.hpp"

TOVI_CONFORMANCE_CASE(postgresql) {
    tovi_test::process_registry().add("PostgreSQL Unicode", TOVI_TEST_PSQLODBC_DRIVER);
    const tovi_test::pg_server server(TOVI_TEST_PG_SERVER_ENV, TOVI_TEST_PG_SERVER_SCRIPT);
    tovi_conformance::driver_case c;
    c.name = "postgresql";
    c.url = server.url();
    tovi_test::use_test_server(c, server);
    c.context_database = "127.0.0.1";  // the ODBC driver names the server
    c.lacks("bulk_names_failing_row",
            "psqlODBC runs a parameter array as one batch: when a row fails it reports every "
            "row failed and rolls the transaction back, savepoints with it");
    return c;
}
