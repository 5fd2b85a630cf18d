// The native PostgreSQL driver in the conformance suite: the test run's own
// server through libpq.
#include "conformance.hpp"
#include "support/pg_server.hpp"

TOVI_CONFORMANCE_CASE(pgsql) {
    const tovi_test::pg_server server(TOVI_TEST_PG_SERVER_ENV, TOVI_TEST_PG_SERVER_SCRIPT);
    tovi_conformance::driver_case c;
    c.name = "pgsql";
    c.url = "/PostgreSQL/127.0.0.1/" + server.port;
    tovi_test::use_test_server(c, server);
    c.context_server = "127.0.0.1:" + server.port;
    c.lacks("statements_fail_alone",
            "PostgreSQL aborts the whole transaction at a failed statement (psqlODBC hides it "
            "with a savepoint round trip per statement)");
    c.lacks("commit_purges_cache",
            "the server keeps prepared statements across transactions: the cache stays");
    return c;
}
