// What only the SQLite driver has: its native statement reuse seen from inside
// SQLite, native transactions, dates in integer and text columns, native errors.
// (What every driver owes is in the conformance suite.)
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>

#include "sqlite_fixture.hpp"

using tovi_test::sqlite_spy;

namespace {

using SqliteDriver = tovi_test::sqlite_fixture;

}  // namespace

// Guards: BEGIN sent before any change (readers locking writers out) and the
// synchronous setting lost.
TEST_F(SqliteDriver, OpensWithSynchronousOffAndBeginsAtTheFirstChange) {
    sqlite_spy::instance().clear();
    exec("CREATE TABLE t(a INTEGER)");
    EXPECT_EQ(sqlite_spy::instance().count("PRAGMA synchronous = OFF;"), 1);
    tovi::statement st(*ds, 1);
    st.trans->commit();  // nothing changed yet: no COMMIT
    EXPECT_EQ(sqlite_spy::instance().count("COMMIT"), 0);
    st.execute("SELECT a FROM t");
    EXPECT_EQ(sqlite_spy::instance().count("BEGIN"), 0);  // a query starts nothing
    st.execute("INSERT INTO t VALUES(1)");
    st.execute("INSERT INTO t VALUES(2)");
    EXPECT_EQ(sqlite_spy::instance().count("BEGIN"), 1);
    st.trans->commit();
    EXPECT_EQ(sqlite_spy::instance().count("COMMIT"), 1);
    st.trans->rollback();  // nothing open: nothing sent
    EXPECT_EQ(sqlite_spy::instance().count("ROLLBACK"), 0);
}

// Guards: a statement prepared again at each execution (the speed the cache exists
// for).
TEST_F(SqliteDriver, ReexecutionResetsInsteadOfPreparingAgain) {
    exec("CREATE TABLE t(a INTEGER)");
    tovi::statement st(*ds, 1);
    long a = 0;
    st.parse("INSERT INTO t VALUES(:a)");
    st << a;
    for (a = 0; a < 3; ++a) st.execute();
    EXPECT_EQ(sqlite_spy::instance().runs("INSERT INTO t VALUES(?)"), 3);

    tovi::statement q(*ds, 1);
    long n = 0;
    q.parse("SELECT COUNT(*) FROM t");
    q >> n;
    for (int i = 0; i < 2; ++i) {
        q.execute();
        ASSERT_TRUE(q.next());
        EXPECT_EQ(n, 3);
    }
    EXPECT_EQ(sqlite_spy::instance().runs("SELECT COUNT(*) FROM t"), 2);
    // Re-parsing the same text takes the cached statement back: still one object.
    q.parse("SELECT COUNT(*) FROM t");
    q >> n;
    q.execute();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(sqlite_spy::instance().prepared("SELECT COUNT(*) FROM t").size(), 1u);
    EXPECT_EQ(sqlite_spy::instance().runs("SELECT COUNT(*) FROM t"), 3);
}

// Guards: a schema change kept in the statement cache.
// A schema change is prepared afresh every time, never kept in the cache.
TEST_F(SqliteDriver, DdlIsPreparedAgain) {
    exec("CREATE TABLE u(a INTEGER PRIMARY KEY)");
    tovi::statement st(*ds, 1);
    st.execute("CREATE INDEX ix_u ON u(a)");
    EXPECT_TRUE(sqlite_spy::instance().prepared("CREATE INDEX ix_u ON u(a)").empty());
}

// Guards: dates in integer columns (seconds) and text columns read as the wrong date.
TEST_F(SqliteDriver, DatesThroughIntegerAndTextColumns) {
    setenv("TZ", "UTC", 1);
    tzset();
    exec("CREATE TABLE d(i INTEGER, t TEXT, r REAL)");
    tm when{};
    tovi::string2tm("2004-02-29 13:05:00", when);
    tovi::statement ins(*ds, 1);
    ins.parse("INSERT INTO d VALUES(:i, :t, 1.5)");
    ins << when << when;  // stored as seconds; the TEXT column keeps their text
    ins.execute();
    exec("INSERT INTO d VALUES(0, '2001-Jan-02 03:04:05', 0)");

    tovi::statement sel(*ds, 1);
    tm i{}, t{};
    sel.parse("SELECT i, t FROM d ORDER BY i DESC");
    sel >> i >> t;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(tovi::tm2string(i), "2004-Feb-29 13:05:00");
    EXPECT_EQ(tovi::tm2string(t), "2004-Feb-29 13:05:00");
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(tovi::tm2string(i), "1970-Jan-01 00:00:00");
    EXPECT_EQ(tovi::tm2string(t), "2001-Jan-02 03:04:05");

    tovi::statement real(*ds, 1);
    tm r{};
    real.parse("SELECT r FROM d");
    real >> r;
    real.execute();
    EXPECT_THROW(real.next(), tovi::bad_value_conversion);
}

// Guards: large-object portions read past their end, and writes to a fetched one
// silently ignored.
TEST_F(SqliteDriver, UnfetchedLargeObjectPortions) {
    exec("CREATE TABLE l(c TEXT)");
    tovi::statement st(*ds, 1);
    st.parse("INSERT INTO l VALUES(:c)");
    tovi::clob_t c;
    st << c;
    c.set_entire("abcdef");
    EXPECT_EQ(c.get_portion(3, 2), "de");
    EXPECT_EQ(c.get_length(), 6u);
    c.set_portion(6, "gh");
    c.set_length(7);
    EXPECT_EQ(c.get_entire(), "abcdefg");
    st.execute();
    c.is_null = true;  // NULL goes out as NULL, not as the last value
    st.execute();

    tovi::statement sel(*ds, 1);
    tovi::clob_t out;
    sel.parse("SELECT c FROM l ORDER BY c");
    sel >> out;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_TRUE(out.is_null);
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(out.get_portion(2, 3), "cde");
    EXPECT_EQ(out.get_length(), 7u);
    EXPECT_THROW(out.set_portion(0, "x"), tovi::not_implemented);
    EXPECT_THROW(out.append_portion("x"), tovi::not_implemented);
}

// Guards: an open failure that does not say why or which file (found by a new user).
TEST_F(SqliteDriver, OpenFailureIsTheNativeErrorWithWhyAndWhichFile) {
    open("no/such/dir/x.db");
    try {
        ds->get_connection();
        FAIL();
    } catch (const tovi::exception& e) {
        EXPECT_EQ(e.get_entry(0).code, SQLITE_CANTOPEN);
        EXPECT_EQ(e.get_error_text(),
                  "unable to open database file\nNo such file or directory\n"
                  "[Driver: tovi_sqlite; Database: '" +
                      dir.file("no/such/dir/x.db") + "']\n");
    }
}
