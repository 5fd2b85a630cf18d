// The native PostgreSQL driver in the conformance suite: the test run's own
// server through libpq.
#include <memory>
#include <string>
#include <vector>

#include "conformance.hpp"
#include "support/pg_server.hpp"

TOVI_CONFORMANCE_CASE(pgsql) {
    const tovi_test::pg_server server(TOVI_TEST_PG_SERVER_ENV, TOVI_TEST_PG_SERVER_SCRIPT);
    tovi_conformance::driver_case c;
    c.name = "pgsql";
    c.url = "/PostgreSQL/127.0.0.1/" + server.port;
    c.user = server.user;
    c.password = server.password;
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
    c.context_server = "127.0.0.1:" + server.port;
    c.lacks("any_credentials", "the server checks every user name and password");
    c.lacks("statements_fail_alone",
            "PostgreSQL aborts the whole transaction at a failed statement (psqlODBC hides it "
            "with a savepoint round trip per statement)");
    c.lacks("commit_purges_cache",
            "the server keeps prepared statements across transactions: the cache stays");
    c.lacks("database_file", "the database is the server's, not a file this process opens");
    return c;
}
