// The native PostgreSQL driver against a real server: what it sends (binary
// parameters, named prepared statements), what it reads, how the server's errors
// arrive, and how its connections survive a server that goes away.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/pg_fixture.hpp"

namespace {

std::string native_url(const tovi_test::pg_server& s) {
    return "/PostgreSQL/127.0.0.1/" + s.port;
}

class Pgsql : public tovi_test::pg_database_test {
protected:
    std::string url() const override { return native_url(server_); }
    // The first column of the first row of `sql`, as text.
    std::string text_of(const std::string& sql, tovi::data_source* on = nullptr) {
        tovi::statement st(on != nullptr ? *on : *ds_, 1);
        tovi::string_t v(1000);
        st.parse(sql);
        st >> v;
        st.execute();
        EXPECT_TRUE(st.next()) << sql;
        st.trans->commit();
        return v.is_null ? "NULL" : v.value;
    }
    long backend_pid(tovi::data_source& on) {
        return std::strtol(text_of("SELECT pg_backend_pid()", &on).c_str(), nullptr, 10);
    }
};

tm date(int y, int mo, int d, int h, int mi, int s) {
    tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

std::string text(const tm& t) {
    char out[64];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return out;
}

// Guards: a parameter sent in the wrong binary form (byte order, epoch, type), or
// as text where the server would read it another way.
// What the server receives: each kind with the type it is sent as, and the
// values at the edges of those types back unchanged.
TEST_F(Pgsql, ParametersArriveWithTheirTypesAndEdgeValues) {
    tovi::statement st(*ds_, 1);
    st.parse(
        "SELECT pg_typeof(:l)::text, pg_typeof(:d)::text, pg_typeof(:t)::text, "
        "pg_typeof(:b)::text");
    long l = 1;
    double d = 1;
    tm t = date(2000, 1, 1, 0, 0, 0);
    tovi::blob_t b;
    st << l << d << t << b;
    b.set_entire(std::string(1, '\x01'));
    std::string types[4];
    st >> types[0] >> types[1] >> types[2] >> types[3];
    st.execute();
    ASSERT_TRUE(st.next());
    EXPECT_EQ(types[0], "bigint");
    EXPECT_EQ(types[1], "double precision");
    EXPECT_EQ(types[2], "timestamp without time zone");
    EXPECT_EQ(types[3], "bytea");
    // Text goes untyped: the server reads it as the column's type.
    exec("CREATE TABLE typed(n INTEGER, at TIMESTAMP)");
    tovi::statement texts(*ds_, 1);
    texts.parse("INSERT INTO typed VALUES(:n, :at)");
    std::string n = "42", at = "2024-01-02 03:04:05";
    texts << n << at;
    texts.execute();
    texts.trans->commit();
    EXPECT_EQ(text_of("SELECT n + 1 FROM typed"), "43");

    exec("CREATE TABLE edges(l BIGINT, d DOUBLE PRECISION, t TIMESTAMP, i INTEGER, f BOOLEAN)");
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO edges VALUES(:l, :d, :t, :i, :f)");
    long il = 0, ii = 0;
    double id = 0;
    tm it{};
    tovi::bool_t ib;
    ins << il << id << it << ii << ib;
    const struct {
        long l;
        double d;
        tm t;
    } rows[] = {
        // in the order of l
        {LONG_MIN, -DBL_MAX, date(100, 1, 1, 0, 0, 0)},
        {-1, DBL_TRUE_MIN, date(1999, 12, 31, 23, 59, 59)},
        {0, -0.0, date(2024, 2, 29, 12, 30, 1)},
        {LONG_MAX, DBL_MAX, date(9999, 12, 31, 23, 59, 59)},
    };
    for (const auto& r : rows) {
        il = r.l;
        id = r.d;
        it = r.t;
        ii = r.l == -1 ? -1 : 7;  // a bigint into an integer column
        ib = r.l > 0;             // a bool into a boolean column
        ins.execute();
    }
    ins.trans->commit();

    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT l, d, t, i, f FROM edges ORDER BY l");
    long ol = 0, oi = 0;
    double od = 0;
    tm ot{};
    tovi::bool_t ob;
    sel >> ol >> od >> ot >> oi >> ob;
    sel.execute();
    for (const auto& r : rows) {
        ASSERT_TRUE(sel.next());
        EXPECT_EQ(ol, r.l);
        EXPECT_EQ(od, r.d);
        EXPECT_EQ(std::signbit(od), std::signbit(r.d));
        EXPECT_EQ(text(ot), text(r.t));
        EXPECT_EQ(oi, r.l == -1 ? -1 : 7);
        EXPECT_EQ(ob.value, r.l > 0);
    }
    EXPECT_FALSE(sel.next());
}

// Guards: NULL parameters sent as values, or NULL columns read as 0 or "".
TEST_F(Pgsql, NullsTravelBothWaysForEveryKind) {
    exec("CREATE TABLE n(l BIGINT, d DOUBLE PRECISION, t TIMESTAMP, s TEXT, b BYTEA, f BOOLEAN)");
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO n VALUES(:l, :d, :t, :s, :b, :f)");
    tovi::long_t l;
    tovi::double_t d;
    tovi::date_time_t t;
    tovi::string_t s(10);
    tovi::blob_t b;
    tovi::bool_t f;
    ins << l << d << t << s << b << f;
    l.is_null = d.is_null = t.is_null = s.is_null = b.is_null = f.is_null = true;
    ins.execute();
    ins.trans->commit();
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM n WHERE l IS NULL AND d IS NULL AND t IS NULL AND s "
                      "IS NULL AND b IS NULL AND f IS NULL"),
              "1");
    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT l, d, t, s, b, f FROM n");
    tovi::long_t ol;
    tovi::double_t od;
    tovi::date_time_t ot;
    tovi::string_t os(10);
    tovi::blob_t ob;
    tovi::bool_t of;
    sel >> ol >> od >> ot >> os >> ob >> of;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_TRUE(ol.is_null && od.is_null && ot.is_null && os.is_null && ob.is_null && of.is_null);
}

// Guards: a time-zone-aware column shifted by the client's zone, a fraction of a
// second dropped, NUMERIC's exact digits rounded through a double.
TEST_F(Pgsql, TimestampsWithAndWithoutZoneAndNumericDigits) {
    exec("CREATE TABLE times(plain TIMESTAMP, zoned TIMESTAMPTZ, exact NUMERIC, day DATE)");
    exec("SET TIME ZONE 'Europe/Berlin'");  // the session's, for the zoned column
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO times VALUES(:p, :z, 12345678901234567890.0123456789, :d)");
    tm p = date(2024, 7, 1, 12, 0, 0), z = p, d = date(2024, 7, 1, 0, 0, 0);
    ins << p << z << d;
    ins.execute();
    ins.trans->commit();

    // The zoned value is the session's wall-clock time: 10:00 in UTC.
    EXPECT_EQ(text_of("SELECT (zoned AT TIME ZONE 'UTC')::text FROM times"), "2024-07-01 10:00:00");
    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT plain, zoned, exact, day, plain + interval '0.25 second' FROM times");
    tm op{}, oz{}, od{};
    std::string exact, fraction;
    sel >> op >> oz >> exact >> od >> fraction;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(tovi::tm2string(op), "2024-Jul-01 12:00:00");
    EXPECT_EQ(tovi::tm2string(oz), "2024-Jul-01 12:00:00");
    EXPECT_EQ(tovi::tm2string(od), "2024-Jul-01 00:00:00");
    EXPECT_EQ(exact, "12345678901234567890.0123456789");
    EXPECT_EQ(fraction, "2024-07-01 12:00:00.25");

    // NUMERIC into a long only when it is a whole number.
    tovi::statement whole(*ds_, 1);
    long n = 0;
    whole.parse("SELECT 42::numeric");
    whole >> n;
    whole.execute();
    ASSERT_TRUE(whole.next());
    EXPECT_EQ(n, 42);
    tovi::statement half(*ds_, 1);
    half.parse("SELECT 2.5::numeric");
    half >> n;
    half.execute();
    EXPECT_THROW(half.next(), tovi::bad_value_conversion);
}

// Guards: bytea bytes mangled by escaping, a large value cut or copied wrongly.
// Every byte value survives, and a 50 MB value round-trips whole.
TEST_F(Pgsql, ByteaKeepsEveryByteAndFiftyMegabytes) {
    exec("CREATE TABLE blobs(id INTEGER, b BYTEA)");
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    std::string big(50 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) >> 3);
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO blobs VALUES(:id, :b)");
    long id = 0;
    tovi::blob_t b;
    ins << id << b;
    for (const std::string* value : {&all, &big}) {
        ++id;
        b.set_entire(*value);
        ins.execute();
    }
    ins.trans->commit();
    EXPECT_EQ(text_of("SELECT length(b) FROM blobs WHERE id = 2"), std::to_string(big.size()));

    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT b, b FROM blobs ORDER BY id");
    tovi::blob_t ob;
    std::string as_text;
    sel >> ob >> as_text;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(ob.get_entire(), all);
    EXPECT_EQ(as_text, all);
    ASSERT_TRUE(sel.next());
    EXPECT_TRUE(ob.get_entire() == big);
}

// Guards: a statement prepared again for every execution or every transaction,
// prepared statements piling up on the server after their statements are gone.
// One named prepared statement per text: reused by the next transaction's
// statement of that text; data definition forgets them all, and the server
// drops them with the next commit.
TEST_F(Pgsql, OneServerStatementPerTextOutlivesItsTransaction) {
    exec("CREATE TABLE t(a BIGINT)");
    auto prepared = [&](tovi::transaction& tx) {
        tovi::statement st(tx, 1);
        std::string names;
        st.parse(
            "SELECT string_agg(name, ',') FROM pg_prepared_statements WHERE statement LIKE "
            "'INSERT%'");
        tovi::string_t found(1000);
        st >> found;
        st.execute();
        EXPECT_TRUE(st.next());
        return found.is_null ? std::string() : found.value;
    };
    auto insert_three = [&](tovi::transaction& tx, long from) {
        tovi::statement ins(tx, 1);
        ins.parse("INSERT INTO t VALUES(:a)");
        long a = 0;
        ins << a;
        for (a = from; a < from + 3; ++a) ins.execute();
    };
    std::string first;
    {
        tovi::transaction tx(*ds_);
        insert_three(tx, 1);
        first = prepared(tx);
        EXPECT_EQ(first.find(','), std::string::npos) << first;  // one, for three runs
        tx.commit();
    }
    {
        tovi::transaction tx(*ds_);  // a new transaction, a new cache
        insert_three(tx, 4);
        EXPECT_EQ(prepared(tx), first);  // the same server statement
        tovi::statement(tx, 1).execute("CREATE TABLE u(a BIGINT)");
        tx.commit();
    }
    tovi::transaction next(*ds_);
    EXPECT_EQ(prepared(next), "");
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM t"), "6");
}

// Guards: the server's detail, hint and position lost; the wrong class; a
// password in an error text.
TEST_F(Pgsql, ServerErrorsArriveWithTheirFieldsAndContext) {
    exec("CREATE TABLE k(a INTEGER PRIMARY KEY)");
    exec("INSERT INTO k VALUES(1)");
    const std::string context = "[Driver: tovi_PGSQL; Database: '" + database_ +
                                "'; Server: '127.0.0.1:" + server_.port + "']";
    try {
        exec("INSERT INTO k VALUES(1)");
        ADD_FAILURE() << "a duplicate key was stored";
    } catch (const tovi::dup_value_on_index& e) {
        const std::string text = e.get_error_text();
        EXPECT_NE(text.find("DETAIL: Key (a)=(1) already exists."), std::string::npos) << text;
        EXPECT_NE(text.find("(SQLSTATE 23505)"), std::string::npos) << text;
        EXPECT_NE(text.find("[Statement: 'INSERT INTO k VALUES(1)']" + context), std::string::npos)
            << text;
    }
    try {
        exec("SELECT a FROM k WHERE");
        ADD_FAILURE() << "bad SQL ran";
    } catch (const tovi::bad_sql& e) {
        EXPECT_NE(e.get_error_text().find("At character 22 of the statement."), std::string::npos)
            << e.get_error_text();
    }

    tovi::uurl_t wrong(native_url(server_), server_.user, "not-" + server_.password, database_);
    try {
        tovi::udata_source other(wrong);
        tovi::statement st(other, 1);
        ADD_FAILURE() << "a wrong password connected";
    } catch (const tovi::permission_denied& e) {
        const std::string text = e.get_error_text();
        EXPECT_NE(text.find("password authentication failed"), std::string::npos) << text;
        EXPECT_EQ(text.find(server_.password), std::string::npos) << text;
        EXPECT_EQ(text.find("LOCATION"), std::string::npos) << text;
    }
}

// Guards: a COPY with the client's data leaving the session stuck in it; the
// server's notices printed on the application's standard error.
TEST_F(Pgsql, CopyWithTheClientsDataIsRefusedAndTheSessionGoesOn) {
    testing::internal::CaptureStderr();
    exec("DROP TABLE IF EXISTS c");  // the server notes that it does not exist
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    exec("CREATE TABLE c(a INTEGER)");
    exec("INSERT INTO c VALUES(1)");
    for (const char* sql : {"COPY c TO STDOUT", "COPY c FROM STDIN"}) {
        SCOPED_TRACE(sql);
        tovi::statement st(*ds_, 1);
        EXPECT_THROW(st.execute(sql), tovi::bad_sql);
        st.trans->rollback();
        EXPECT_EQ(text_of("SELECT COUNT(*) FROM c"), "1");
    }
}

// Guards: a commit reported as a success after the server rolled the transaction
// back, work of a failed transaction half kept.
TEST_F(Pgsql, ACommitAfterAFailedStatementRaisesAndKeepsNothing) {
    exec("CREATE TABLE k(a INTEGER PRIMARY KEY)");
    tovi::transaction tx(*ds_);
    tovi::statement st(tx, 1);
    st.execute("INSERT INTO k VALUES(1)");
    EXPECT_THROW(st.execute("INSERT INTO k VALUES(1)"), tovi::dup_value_on_index);
    try {
        st.execute("INSERT INTO k VALUES(2)");
        ADD_FAILURE() << "a statement ran in an aborted transaction";
    } catch (const tovi::exception& e) {
        EXPECT_NE(e.get_error_text().find("25P02"), std::string::npos) << e.get_error_text();
    }
    try {
        tx.commit();
        ADD_FAILURE() << "the commit of an aborted transaction succeeded";
    } catch (const tovi::exception& e) {
        EXPECT_NE(e.get_error_text().find("rolled back, not committed"), std::string::npos)
            << e.get_error_text();
    }
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM k"), "0");
    tovi::transaction again(*ds_);  // the next transaction works
    tovi::statement(again, 1).execute("INSERT INTO k VALUES(3)");
    again.commit();
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM k"), "1");
}

// Guards: bulk rows sent in a pipeline lost or run twice across its chunks; a
// parameter whose type a leading NULL left open sent unprepared; a row that
// cannot be bound mid-pipeline misnamed, or the rows sent before it dropped.
TEST_F(Pgsql, BulkPipelinesChunksAroundALeadingNullAndABadRow) {
    // A number into a text column: the server takes it as text only if told it
    // is a number (a NULL in the first row leaves the type to the server).
    exec("CREATE TABLE p(id BIGINT PRIMARY KEY, r DOUBLE PRECISION, t TEXT, n TEXT)");
    std::vector<long> ids;
    std::vector<std::optional<double>> reals;
    std::vector<std::string> texts;
    std::vector<std::optional<long>> numbers;
    for (long i = 0; i < 2500; ++i) {
        ids.push_back(i);
        reals.push_back(i == 0 || i == 1700 ? std::nullopt : std::optional<double>(i * 0.5));
        texts.push_back("t" + std::to_string(i));
        numbers.push_back(i == 0 ? std::nullopt : std::optional<long>(i));
    }
    {
        tovi::transaction tx(*ds_);
        tovi::statement st(tx, 1);
        st.parse("INSERT INTO p VALUES(?, ?, ?, ?)");
        tovi::bulk in(st);
        in << ids << reals << texts << numbers;
        in.execute();
        tx.commit();
    }
    EXPECT_EQ(text_of("SELECT COUNT(*) || ' ' || SUM(id) || ' ' || SUM(r)::BIGINT || ' ' || "
                      "COUNT(r) || ' ' || COUNT(n) FROM p WHERE t = 't' || id AND "
                      "(n = id::TEXT OR n IS NULL)"),
              "2500 3123750 1561025 2498 2499");

    for (long& id : ids) id += 10000;
    texts[1500] = std::string("bad\0byte", 8);  // no text PostgreSQL takes
    tovi::transaction tx(*ds_);
    tovi::statement st(tx, 1);
    st.parse("INSERT INTO p VALUES(?, ?, ?, ?)");
    tovi::bulk in(st);
    in << ids << reals << texts << numbers;
    try {
        in.execute();
        ADD_FAILURE() << "a text with a NUL byte was sent";
    } catch (const tovi::bad_value& e) {
        EXPECT_NE(e.get_error_text().find("Row 1500 of 2500 failed"), std::string::npos)
            << e.get_error_text();
    }
    tovi::statement count(tx, 1);
    tovi::long_t n;
    count.parse("SELECT COUNT(*) FROM p WHERE id >= 10000");
    count >> n;
    count.execute();
    ASSERT_TRUE(count.next());
    EXPECT_EQ(n.value, 1500);  // the rows before the bad one, in the transaction
    tx.rollback();
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM p"), "2500");
}

// Guards: a bulk fetch of a large result held whole in the client from the
// execution on. The query below stops at row 20 000 until the lock is freed:
// its first rows can be fetched only if they are read as they arrive (else the
// execution waits for the whole result, and the server's statement_timeout
// ends it).
TEST_F(Pgsql, BulkFetchStreamsTheRowsAsTheyArrive) {
    text_of("SELECT pg_advisory_lock(4242)");  // held by this session until freed
    auto reader = source("?statement_timeout=30");
    tovi::statement st(*reader, 1);
    st.parse(
        "SELECT i, CASE WHEN i = 20000 THEN pg_advisory_lock_shared(4242)::TEXT END "
        "FROM generate_series(1, 30000) i");
    std::vector<long> ids;
    std::vector<std::optional<std::string>> locked;
    tovi::bulk out(st);
    out >> ids >> locked;
    out.execute();
    ASSERT_EQ(out.fetch(1000), 1000u);
    EXPECT_EQ(ids.front(), 1);
    EXPECT_EQ(ids.back(), 1000);
    text_of("SELECT pg_advisory_unlock(4242)");
    long rows = 1000, sum = 500500;
    while (const std::size_t n = out.fetch(4096)) {
        rows += static_cast<long>(n);
        for (const long id : ids) sum += id;
    }
    EXPECT_EQ(rows, 30000);
    EXPECT_EQ(sum, 30000L * 30001 / 2);
}

// Guards: a session left busy with a streamed query (another statement, a
// commit refused by libpq), rows lost when something else runs, a failure in
// the middle of the rows not raised, an abandoned query's rest left unread.
TEST_F(Pgsql, StreamedRowsSurviveOtherStatementsACommitAFailureAndAbandonment) {
    exec("CREATE TABLE s(a INTEGER)");
    std::vector<long> ids;
    long sum = 0;
    {
        tovi::transaction tx(*ds_);
        tovi::statement st(tx, 1);
        st.parse("SELECT i FROM generate_series(1, 5000) i");
        tovi::bulk out(st);
        out >> ids;
        out.execute();
        ASSERT_EQ(out.fetch(1000), 1000u);
        for (const long id : ids) sum += id;
        tovi::statement insert(tx, 1);  // the same session, mid-stream
        insert.execute("INSERT INTO s VALUES(1)");
        ASSERT_EQ(out.fetch(1000), 1000u);
        for (const long id : ids) sum += id;
        tx.commit();  // the rows stay readable, as a whole result's would
        while (out.fetch(1000) != 0)
            for (const long id : ids) sum += id;
    }
    EXPECT_EQ(sum, 5000L * 5001 / 2);
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM s"), "1");

    {
        tovi::transaction tx(*ds_);
        tovi::statement st(tx, 1);
        st.parse("SELECT 1000 / (3000 - i) FROM generate_series(1, 5000) i");
        tovi::bulk out(st);
        out >> ids;
        out.execute();
        std::size_t read = 0;
        try {
            while (const std::size_t n = out.fetch(1000)) read += n;
            ADD_FAILURE() << "the division by zero at row 3000 was not raised";
        } catch (const tovi::exception& e) {
            EXPECT_NE(e.get_error_text().find("division by zero"), std::string::npos)
                << e.get_error_text();
        }
        EXPECT_LT(read, 3000u);
        tx.rollback();
    }

    {
        tovi::statement st(*ds_, 1);
        st.parse("SELECT i FROM generate_series(1, 200000) i");
        tovi::bulk out(st);
        out >> ids;
        out.execute();
        ASSERT_EQ(out.fetch(10), 10u);
    }  // abandoned with most of its rows unread
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM s"), "1");
}

// Guards: a pooled connection whose backend was terminated handed out dead; the
// session's name not set.
// An idle pooled connection the server ended: the next data source gets a fresh
// one and works; sessions carry the program's name.
TEST_F(Pgsql, ATerminatedIdlePooledConnectionIsReplaced) {
    EXPECT_EQ(text_of("SELECT application_name FROM pg_stat_activity WHERE pid = "
                      "pg_backend_pid()"),
              "pgsql_driver_test");
    const long pid = backend_pid(*ds_);
    ds_.reset();                                // back to the pool, idle
    auto killer = source("?pool_idle_keep=0");  // another database entry: another pool
    EXPECT_EQ(
        text_of("SELECT pg_terminate_backend(" + std::to_string(pid) + ", 10000)", killer.get()),
        "TRUE");  // returns once the backend is gone
    ds_ = source();
    EXPECT_NE(backend_pid(*ds_), pid);
    exec("CREATE TABLE after(a INTEGER)");
}

// Guards: idle connections kept open for ever beyond what the pool needs.
TEST_F(Pgsql, IdleConnectionsBeyondTheLimitAreClosed) {
    const std::string own = "?pool_idle_keep=1&pool_idle_timeout=0";
    auto sessions = [&] {
        return text_of("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = '" + database_ +
                       "' AND pid <> pg_backend_pid()");
    };
    {
        auto a = source(own), b = source(own), c = source(own);
        a->get_connection();
        b->get_connection();
        c->get_connection();
        EXPECT_EQ(sessions(), "3");
    }  // all three back: only the most recent one stays
    // A closed session's row goes when its backend has exited: read until it has.
    std::string left = sessions();
    for (int i = 0; i < 100000 && left != "1"; ++i) left = sessions();
    EXPECT_EQ(left, "1");
}

// Guards: two threads with a data source each corrupting one another's work.
TEST_F(Pgsql, TwoThreadsWithADataSourceEach) {
    exec("CREATE TABLE shared(thread INTEGER, n INTEGER)");
    auto work = [&](int thread, std::unique_ptr<tovi::udata_source> ds) {
        tovi::transaction tx(*ds);
        tovi::statement ins(tx, 1);
        ins.parse("INSERT INTO shared VALUES(:t, :n)");
        long t = thread, n = 0;
        ins << t << n;
        for (n = 0; n < 500; ++n) ins.execute();
        tx.commit();
    };
    std::thread one(work, 1, source()), two(work, 2, source());
    one.join();
    two.join();
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM shared WHERE thread = 1"), "500");
    EXPECT_EQ(text_of("SELECT COUNT(*) FROM shared WHERE thread = 2"), "500");
}

// Guards: work lost silently when the server restarts, a data source or the pool
// stuck with a dead session afterwards.
// The server restarts in the middle of a transaction: its commit raises one
// error naming the lost connection; the data source's next transaction works,
// and so does a new data source from the pool.
TEST(PgsqlServerRestart, WorkInFlightFailsOnceAndEverythingAfterWorks) {
    tovi_test::own_pg_server server(TOVI_TEST_PG_SERVER_SCRIPT);
    ASSERT_EQ(server("start"), 0);
    tovi::api::init();
    {
        const tovi_test::pg_server own = server.described();
        tovi::uurl_t url(native_url(own), own.user, own.password, own.database);
        {
            tovi::udata_source idle(url);
            tovi::statement(idle, 1).execute("CREATE TABLE t(a INTEGER)");
        }  // a connection waits in the pool
        tovi::udata_source ds(url);
        {
            tovi::transaction tx(ds);
            tovi::statement st(tx, 1);
            st.execute("INSERT INTO t VALUES(1)");
            ASSERT_EQ(server("pause"), 0);
            ASSERT_EQ(server("resume"), 0);
            try {
                tx.commit();
                ADD_FAILURE() << "a commit on a restarted server succeeded";
            } catch (const tovi::exception& e) {
                EXPECT_NE(e.get_error_text().find("was lost"), std::string::npos)
                    << e.get_error_text();
            }
        }
        {
            tovi::transaction tx(ds);
            tovi::statement(tx, 1).execute("INSERT INTO t VALUES(2)");
            tx.commit();
        }
        tovi::udata_source fresh(url);  // the pooled connection died with the server
        tovi::statement st(fresh, 1);
        long n = 0;
        st.parse("SELECT COUNT(*) FROM t");
        st >> n;
        st.execute();
        ASSERT_TRUE(st.next());
        EXPECT_EQ(n, 1);
    }
    tovi::api::fini();
}

// Guards: a runaway statement holding a session for ever.
TEST_F(Pgsql, AStatementPastItsLimitIsATimeOut) {
    auto limited = source("?statement_timeout=1");
    tovi::statement st(*limited, 1);
    EXPECT_THROW(st.execute("SELECT pg_sleep(30)"), tovi::timed_out);
    st.trans->rollback();
    EXPECT_EQ(text_of("SELECT 1", limited.get()), "1");
}

}  // namespace
