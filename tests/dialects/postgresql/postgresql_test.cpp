// PostgreSQL through ODBC against a real server: errors the server raises arrive
// classified, a scripted schema's foreign keys cascade, concurrent connections
// see only committed rows, and a lost server is an error, not a crash or a hang.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/odbc_registry.hpp"
#include "support/pg_fixture.hpp"
#include "support/temp_dir.hpp"

namespace {

tovi_test::odbc_registry& registry = []() -> tovi_test::odbc_registry& {
    tovi_test::process_registry().add("PostgreSQL Unicode", TOVI_TEST_PSQLODBC_DRIVER);
    return tovi_test::process_registry();
}();

class Postgresql : public tovi_test::pg_database_test {
protected:
    std::string url() const override { return server_.url(); }
    long count(const std::string& table, tovi::data_source& on) {
        tovi::statement st(on, 1);
        long n = -1;
        st.parse("SELECT COUNT(*) FROM " + table);
        st >> n;
        st.execute();
        EXPECT_TRUE(st.next());
        st.trans->commit();  // no snapshot kept open
        return n;
    }
};

// The exception `sql` raises, checked to be an `E` with the server's message and
// the statement's context.
template <class E>
void expect_error(Postgresql* test, const std::function<void()>& run, const std::string& message,
                  const std::string& statement) {
    (void)test;
    try {
        run();
        ADD_FAILURE() << "no error for " << statement;
    } catch (const E& e) {
        EXPECT_NE(e.get_error_text().find(message), std::string::npos) << e.get_error_text();
        EXPECT_NE(e.get_error_text().find("[Statement: '" + statement + "']"), std::string::npos)
            << e.get_error_text();
    } catch (const tovi::exception& e) {
        ADD_FAILURE() << "wrong class for " << statement << ": " << e.get_error_text();
    }
}

// Guards: a refused write not classified permission_denied, a refused login without the
// server's words.
// What the server refuses for want of a right: a write in a read-only
// transaction is permission_denied. A login with a wrong password fails with the
// server's words; psqlODBC reports every failed connection as SQLSTATE 08001,
// so the server's 28P01 never reaches the class.
TEST_F(Postgresql, RefusedWritesArePermissionDeniedAndRefusedLoginsSayWhy) {
    exec("CREATE TABLE kept(id INTEGER)");
    {
        tovi::transaction tx(*ds_);
        tovi::statement(tx, 1).execute("SET TRANSACTION READ ONLY");
        expect_error<tovi::permission_denied>(
            this, [&tx] { tovi::statement(tx, 1).execute("INSERT INTO kept VALUES(1)"); },
            "read-only transaction", "INSERT INTO kept VALUES(1)");
    }
    tovi::uurl_t wrong(server_.url(), server_.user, "not-" + server_.password, database_);
    try {
        tovi::udata_source other(wrong);
        count("kept", other);
        ADD_FAILURE() << "a wrong password connected";
    } catch (const tovi::exception& e) {
        EXPECT_NE(e.get_error_text().find("password authentication failed"), std::string::npos)
            << e.get_error_text();
    }
}

// Guards: uncommitted rows visible to another connection, a second writer not waiting.
// Two connections, one per thread: a row is seen by the other only after its
// commit; a second writer of a row waits for the first and then wins, nothing is
// corrupted.
TEST_F(Postgresql, ConcurrentConnectionsSeeOnlyCommittedRows) {
    exec("CREATE TABLE shared(id INTEGER PRIMARY KEY, v INTEGER)");
    exec("INSERT INTO shared VALUES(1, 0)");
    auto other = source();

    tovi::transaction first(*ds_);
    tovi::statement write(first, 1);
    write.execute("INSERT INTO shared VALUES(2, 0)");
    write.execute("UPDATE shared SET v = 1 WHERE id = 1");
    EXPECT_EQ(std::async(std::launch::async, [&] { return count("shared", *other); }).get(), 1);

    // The second writer of row 1 waits for the first transaction.
    auto second = std::async(std::launch::async, [&] {
        tovi::transaction tx(*other);
        tovi::statement st(tx, 1);
        st.execute("UPDATE shared SET v = 2 WHERE id = 1");
        tx.commit();
    });
    // Waiting is seen on the server: a lock not granted.
    auto watcher = source();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (count("pg_locks WHERE NOT granted", *watcher) == 0 &&
           std::chrono::steady_clock::now() < deadline &&
           second.wait_for(std::chrono::seconds(0)) == std::future_status::timeout) {
    }
    EXPECT_EQ(count("pg_locks WHERE NOT granted", *watcher), 1);
    EXPECT_EQ(second.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    first.commit();
    ASSERT_EQ(second.wait_for(std::chrono::seconds(30)), std::future_status::ready);
    second.get();
    EXPECT_EQ(count("shared", *other), 2);
    tovi::statement read(*ds_, 1);
    long v = -1;
    read.parse("SELECT v FROM shared WHERE id = 1");
    read >> v;
    read.execute();
    ASSERT_TRUE(read.next());
    EXPECT_EQ(v, 2);
}

// The URL of a server's test database through psqlODBC, with its credentials.
tovi::uurl_t url_of(const tovi_test::own_pg_server& server) {
    const tovi_test::pg_server own = server.described();
    return tovi::uurl_t(own.url(), own.user, own.password, own.database);
}

// Guards: a pooled connection whose server went away hanging or crashing instead of one
// error.
// A server of this test's own is stopped while a pooled connection is idle: the
// next use fails with a tovi::exception in bounded time; once the server is back
// a new data source works (on the same pooled connection, connected again).
TEST(PostgresqlServerLoss, AnIdleConnectionsLostServerIsAnError) {
    tovi_test::own_pg_server server(TOVI_TEST_PG_SERVER_SCRIPT);
    ASSERT_EQ(server("start"), 0);
    tovi::api::init();
    {
        tovi::uurl_t url = url_of(server);
        {
            tovi::udata_source ds(url);
            tovi::statement st(ds, 1);
            st.execute("CREATE TABLE t(a INTEGER)");
        }  // the connection goes back to the pool, idle
        ASSERT_EQ(server("pause"), 0);
        const auto start = std::chrono::steady_clock::now();
        try {
            tovi::udata_source ds(url);
            tovi::statement st(ds, 1);
            st.execute("INSERT INTO t VALUES(1)");
            ADD_FAILURE() << "a statement ran without a server";
        } catch (const tovi::exception& e) {
            EXPECT_NE(e.get_error_text().find("connection"), std::string::npos)
                << e.get_error_text();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));

        ASSERT_EQ(server("resume"), 0);
        tovi::udata_source ds(url);
        tovi::statement st(ds, 1);
        EXPECT_NO_THROW(st.execute("INSERT INTO t VALUES(2)"));
        st.trans->commit();
    }
    tovi::api::fini();
}

// Guards: a pooled connection whose backend the server ended handed out dead.
// The server ends an idle pooled session: the next data source gets a fresh
// connection and its statements run.
TEST_F(Postgresql, ATerminatedIdlePooledConnectionIsReplaced) {
    auto pid_of = [&](tovi::data_source& on) {
        tovi::statement st(on, 1);
        long pid = 0;
        st.parse("SELECT pg_backend_pid()");
        st >> pid;
        st.execute();
        EXPECT_TRUE(st.next());
        st.trans->commit();
        return pid;
    };
    const long pid = pid_of(*ds_);
    ds_.reset();  // back to the pool, idle
    {
        urls_.push_back(std::make_unique<tovi::uurl_t>(server_.url(), server_.user,
                                                       server_.password, "postgres"));
        tovi::udata_source other(*urls_.back());  // another database: another pool
        tovi::statement st(other, 1);
        std::string ended;
        // Returns once the backend is gone.
        st.parse("SELECT pg_terminate_backend(" + std::to_string(pid) + ", 10000)::text");
        st >> ended;
        st.execute();
        ASSERT_TRUE(st.next());
        EXPECT_EQ(ended, "true");
        st.trans->commit();
    }
    ds_ = source();
    EXPECT_NE(pid_of(*ds_), pid);
}

// Guards: rows of queries that do not start with SELECT lost.
// Forms that return rows beyond SELECT: a parenthesized query, TABLE, WITH, and a
// change with RETURNING (which still changes data: rolled back with the rest).
TEST_F(Postgresql, EveryFormThatReturnsRowsReturnsThem) {
    exec("CREATE TABLE t(a INTEGER)");
    exec("INSERT INTO t VALUES(7)");
    auto first = [&](const std::string& sql, tovi::transaction& tx) {
        tovi::statement st(tx, 1);
        long a = 0;
        st.parse(sql);
        st >> a;
        st.execute();
        EXPECT_TRUE(st.next()) << sql;
        return a;
    };
    tovi::transaction tx(*ds_);
    EXPECT_EQ(first("(SELECT a FROM t)", tx), 7);
    EXPECT_EQ(first("TABLE t", tx), 7);
    EXPECT_EQ(first("WITH x AS (SELECT 7 AS n) SELECT n FROM x", tx), 7);
    EXPECT_EQ(first("INSERT INTO t VALUES(8) RETURNING a", tx), 8);
    EXPECT_EQ(first("UPDATE t SET a = 9 WHERE a = 8 RETURNING a", tx), 9);
    tx.rollback();
    EXPECT_EQ(count("t", *ds_), 1);
}

// Guards: casts, quoted text and dollar quotes rewritten as parameter markers.
// SQL PostgreSQL users write daily reaches the server as written: a colon in a
// dollar-quoted literal, a cast, an array slice, a quoted identifier.
TEST_F(Postgresql, MarkersAreOnlyWhereTheyAreMarkers) {
    exec("CREATE TABLE notes(\"at:time\" TEXT, n INTEGER)");
    {
        tovi::statement ins(*ds_, 1);
        ins.parse("INSERT INTO notes VALUES($$meet at 10:30$$, :n::integer)");
        long n = 3;
        ins << n;
        ins.execute();
        ins.trans->commit();
    }
    tovi::statement sel(*ds_, 1);
    std::string text, slice;
    long n = 0;
    sel.parse("SELECT \"at:time\", n::text::integer, (ARRAY[1,2,3])[2:3]::text FROM notes");
    sel >> text >> n >> slice;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(text, "meet at 10:30");
    EXPECT_EQ(n, 3);
    EXPECT_EQ(slice, "{2,3}");
}

// Guards: a commit after the server lost the work reported as success.
// The server restarts under a transaction with pending work: its commit raises
// (the work is gone), it never reports success.
TEST(PostgresqlServerLoss, ACommitAfterTheServerRestartedRaises) {
    tovi_test::own_pg_server server(TOVI_TEST_PG_SERVER_SCRIPT);
    ASSERT_EQ(server("start"), 0);
    tovi::api::init();
    {
        tovi::uurl_t url = url_of(server);
        tovi::udata_source ds(url);
        {
            tovi::statement st(ds, 1);
            st.execute("CREATE TABLE t(a INTEGER)");
        }
        tovi::transaction tx(ds);
        {
            tovi::statement st(tx, 1);
            st.execute("INSERT INTO t VALUES(1)");
        }  // executed, and free in the cache
        ASSERT_EQ(server("pause"), 0);
        ASSERT_EQ(server("resume"), 0);
        EXPECT_THROW(tx.commit(), tovi::exception);
    }
    tovi::api::fini();
}

// Guards: a lost connection failing every later use instead of connecting again.
// The server restarts while a statement of the connection is still held: the
// first use afterwards is one error that names the lost connection, the next
// transaction works on a fresh connection (the held statement notwithstanding),
// and the held statement says it was lost, never runs on the new session.
TEST(PostgresqlServerLoss, ALostConnectionIsOneClearErrorThenConnectsAgain) {
    tovi_test::own_pg_server server(TOVI_TEST_PG_SERVER_SCRIPT);
    ASSERT_EQ(server("start"), 0);
    tovi::api::init();
    {
        tovi::uurl_t url = url_of(server);
        tovi::udata_source ds(url);
        tovi::statement held(ds, 1);
        held.execute("CREATE TABLE t(a INTEGER)");
        held.parse("SELECT COUNT(*) FROM t");
        long n = -1;
        held >> n;
        ASSERT_EQ(server("pause"), 0);
        ASSERT_EQ(server("resume"), 0);
        {
            tovi::statement first(ds, 1);
            try {
                first.execute("INSERT INTO t VALUES(1)");
                ADD_FAILURE() << "a statement ran on a connection whose server restarted";
            } catch (const tovi::exception& e) {
                EXPECT_NE(e.get_error_text().find("connection to 127.0.0.1:"), std::string::npos)
                    << e.get_error_text();
                EXPECT_NE(e.get_error_text().find("was lost"), std::string::npos)
                    << e.get_error_text();
            }
        }
        {
            tovi::transaction tx(ds);
            tovi::statement next(tx, 1);
            EXPECT_NO_THROW(next.execute("INSERT INTO t VALUES(2)"));
            tx.commit();
        }
        EXPECT_THROW(held.execute(), tovi::exception);  // its session is gone
        held.parse("SELECT COUNT(*) FROM t");
        held >> n;
        held.execute();
        ASSERT_TRUE(held.next());
        EXPECT_EQ(n, 1);  // the row of the fresh connection, nothing replayed
    }
    tovi::api::fini();
}

// Guards: the pool handing a connection to another server's data source.
// The pool keys on every part of the service: a data source for another port
// (nothing listens on port 1) never gets this server's pooled connection.
TEST_F(Postgresql, ADataSourceForAnotherPortNeverGetsThisServersConnection) {
    exec("CREATE TABLE t(a INTEGER)");
    ds_.reset();  // its connection goes back to the pool
    tovi::uurl_t elsewhere("/ODBC/PostgreSQL Unicode/127.0.0.1/1", server_.user, server_.password,
                           database_);
    try {
        tovi::udata_source ds(elsewhere);
        tovi::statement st(ds, 1);
        st.execute("SELECT a FROM t");
        ADD_FAILURE() << "ran on the server of another port";
    } catch (const tovi::exception& e) {
        EXPECT_NE(e.get_error_text().find("port 1 failed"), std::string::npos)
            << e.get_error_text();
    }
}

// Guards: row arrays losing, doubling or shifting rows across SQLFetch calls and
// chunks, NULLs read as values, a CHAR column's padding or a multi-byte text cut
// by a buffer sized in characters, a NULL into a plain vector read as 0, the
// single-row path broken after a bulk fetch.
TEST_F(Postgresql, BulkFetchReadsRowArraysWhole) {
    exec("CREATE TABLE ra(id BIGINT, v VARCHAR(5), c CHAR(3), r DOUBLE PRECISION, d TIMESTAMP)");
    exec(
        "INSERT INTO ra SELECT i, CASE WHEN i % 7 = 0 THEN NULL ELSE 'äöü' || (i % 100) END, "
        "'x', CASE WHEN i % 5 = 0 THEN NULL ELSE i * 0.25 END, "
        "TIMESTAMP '2001-02-03 04:05:06' + i * INTERVAL '1 day' FROM generate_series(0, 2499) i");
    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT id, v, c, r, d FROM ra ORDER BY id");
    std::vector<long> ids;
    std::vector<std::optional<std::string>> v;
    std::vector<std::string> c;
    std::vector<std::optional<double>> r;
    std::vector<tm> d;
    tovi::bulk out(sel);
    out >> ids >> v >> c >> r >> d;
    out.execute();
    ASSERT_EQ(out.fetch(7), 7u);
    long seen = 7;
    for (std::size_t got; (got = out.fetch(1000)) != 0;) {
        for (std::size_t k = 0; k < got; ++k, ++seen) {
            ASSERT_EQ(ids[k], seen);
            if (seen % 7 == 0)
                EXPECT_FALSE(v[k]) << seen;
            else
                EXPECT_EQ(v[k], "äöü" + std::to_string(seen % 100)) << seen;
            EXPECT_EQ(c[k], "x  ");
            EXPECT_EQ(r[k], seen % 5 == 0 ? std::nullopt : std::optional<double>(seen * 0.25));
            EXPECT_EQ(d[k].tm_sec, 6);
        }
    }
    EXPECT_EQ(seen, 2500);
    EXPECT_EQ(d.size(), 0u);

    // A NULL into a plain vector, then the same statement row by row.
    sel.parse("SELECT r FROM ra WHERE id IN (1, 5) ORDER BY id");
    {
        std::vector<double> plain;
        tovi::bulk nulls(sel);
        nulls >> plain;
        nulls.execute();
        EXPECT_THROW(nulls.fetch(10), tovi::value_is_null);
    }
    sel.parse("SELECT id FROM ra WHERE id < 3 ORDER BY id");
    long id = -1;
    sel >> id;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(id, 0);
}

// Guards: a connect to a server that never answers hanging for ever.
// A server that accepts the connection and never answers: the connect ends after
// its time limit with a time-out naming the address.
TEST(PostgresqlTimeouts, ASilentServerIsATimeOutNamingItsAddress) {
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(silent, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(silent, 8), 0);  // the kernel completes handshakes; nobody answers
    ASSERT_EQ(getsockname(silent, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));
    const std::string where = "127.0.0.1:" + port;

    tovi::api::init();
    const std::string url = "/ODBC/PostgreSQL Unicode/127.0.0.1/" + port;
    try {
        tovi::uurl_t u(url, "someone", "secret", "db?connect_timeout=2");
        tovi::udata_source ds(u);
        tovi::statement st(ds, 1);
        ADD_FAILURE() << "connected to a server that never answered";
    } catch (const tovi::timed_out& e) {
        EXPECT_NE(e.get_error_text().find("Connecting to " + where + " timed out after 2 s"),
                  std::string::npos)
            << e.get_error_text();
    }
    // Options that cannot be honoured are refused before any connection.
    for (const char* database : {"db?connect_timeout=soon", "db?statement_timeout=-1",
                                 "db?timeout=5", "db?connect_timeout=99999999"}) {
        SCOPED_TRACE(database);
        tovi::uurl_t u(url, "someone", "secret", database);
        EXPECT_THROW(
            {
                tovi::udata_source ds(u);
                tovi::statement st(ds, 1);
            },
            tovi::ds_exception);
    }
    tovi::api::fini();
    close(silent);
}

// Guards: a statement past its limit hanging, or its session reused mid-query.
// A statement past its limit: a running query is cancelled, a backend that does
// not answer at all has its connection cut. Either way a time-out, and the next
// statement runs on a new session.
TEST_F(Postgresql, AStatementPastItsLimitIsATimeOutOnASessionNotUsedAgain) {
    urls_.push_back(std::make_unique<tovi::uurl_t>(server_.url(), server_.user, server_.password,
                                                   database_ + "?statement_timeout=1"));
    tovi::udata_source ds(*urls_.back());
    auto backend = [&] {
        tovi::statement st(ds, 1);
        long pid = 0;
        st.parse("SELECT pg_backend_pid()");
        st >> pid;
        st.execute();
        EXPECT_TRUE(st.next());
        st.trans->commit();
        return pid;
    };
    auto expect_time_out = [&](const std::string& sql) {
        try {
            tovi::statement st(ds, 1);
            st.execute(sql);
            ADD_FAILURE() << "no time-out for " << sql;
        } catch (const tovi::timed_out& e) {
            EXPECT_NE(e.get_error_text().find("time limit of 1 s on 127.0.0.1:" + server_.port),
                      std::string::npos)
                << e.get_error_text();
            EXPECT_NE(e.get_error_text().find("[Statement: '" + sql + "']"), std::string::npos)
                << e.get_error_text();
        }
    };
    const long first = backend();
    expect_time_out("SELECT pg_sleep(60)");
    const long second = backend();
    EXPECT_NE(second, first);

    ASSERT_EQ(kill(static_cast<pid_t>(second), SIGSTOP), 0);
    expect_time_out("SELECT 1");
    kill(static_cast<pid_t>(second), SIGCONT);
    EXPECT_NE(backend(), second);
}

}  // namespace
