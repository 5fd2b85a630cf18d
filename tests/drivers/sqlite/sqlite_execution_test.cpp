// Running SQL through the real SQLite driver: what a text may hold, which texts
// return rows, transactions SQLite ends by itself, locks and error texts.
#include "sqlite_fixture.hpp"

#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using SqliteExecution = tovi_test::sqlite_fixture;

// SQLite's busy handler sleeps through the VFS between tries: a default VFS whose
// xSleep says so is the signal that a connection waits for a lock.
struct lock_waits {
    std::mutex mutex;
    std::condition_variable changed;
    bool waiting = false;  // a connection slept waiting for a lock
    bool done = false;     // the writer under test has finished, however
};
lock_waits waits;
sqlite3_vfs* real_vfs = nullptr;
sqlite3_vfs signalling_vfs{};
int signalling_sleep(sqlite3_vfs*, int microseconds) {
    {
        std::lock_guard<std::mutex> lock(waits.mutex);
        waits.waiting = true;
    }
    waits.changed.notify_all();
    return real_vfs->xSleep(real_vfs, microseconds);
}
// Installed before any connection opens (the driver shares this process's SQLite).
const bool signalling_vfs_installed = [] {
    real_vfs = sqlite3_vfs_find(nullptr);
    signalling_vfs = *real_vfs;
    signalling_vfs.zName = "tovi-test-lock-waits";
    signalling_vfs.xSleep = signalling_sleep;
    return sqlite3_vfs_register(&signalling_vfs, 1) == SQLITE_OK;
}();

// Guards: a second statement in one text silently not run (SQLite prepares only the
// first).
TEST_F(SqliteExecution, TextWithASecondStatementIsRefused) {
    exec("CREATE TABLE t(a INTEGER)");
    tovi::statement st(*ds, 1);
    try {
        st.execute("INSERT INTO t VALUES(1); INSERT INTO t VALUES(2)");
        FAIL() << "the second statement was dropped silently";
    } catch (const tovi::bad_sql& e) {
        EXPECT_NE(e.get_error_text().find("INSERT INTO t VALUES(2)"), std::string::npos)
            << e.get_error_text();
    }
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), 0);

    // Blanks, comments and semicolons after the statement are fine.
    st.execute("INSERT INTO t VALUES(3);  ;\n -- done\n /* really */ ;");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), 1);

    // A text with no statement at all says so.
    const std::string empty = error_of([&] { st.execute("-- only a comment"); });
    EXPECT_NE(empty.find("holds no SQL statement"), std::string::npos) << empty;
    EXPECT_THROW(st.execute("  ;  "), tovi::bad_sql);
}

// Guards: rows of a PRAGMA, WITH or RETURNING statement lost because the first word is
// no SELECT.
TEST_F(SqliteExecution, EveryStatementThatReturnsRowsIsAQuery) {
    exec("CREATE TABLE t(a INTEGER)");
    exec("INSERT INTO t VALUES(4)");
    exec("PRAGMA user_version = 9");
    const char* queries[][2] = {
        {"WITH w(x) AS (SELECT a FROM t) SELECT x FROM w", "4"},
        {"VALUES (1)", "1"},
        {"PRAGMA user_version", "9"},
        {"/* c */ SELECT 5", "5"},
        {"  select 6", "6"},
    };
    for (const auto& q : queries) {
        SCOPED_TRACE(q[0]);
        tovi::statement st(*ds, 1);
        std::string value;
        st.parse(q[0]);
        st >> value;
        st.execute();
        ASSERT_TRUE(st.next());
        EXPECT_EQ(value, q[1]);
        EXPECT_FALSE(st.next());
    }
}

// Guards: tovi's transaction believed open after SQLite rolled it back itself, then
// committing later work into nothing.
TEST_F(SqliteExecution, TransactionSqliteRolledBackIsOverInToviToo) {
    exec("CREATE TABLE t(a INTEGER PRIMARY KEY)");
    tovi::statement st(*ds, 1);
    long a = 1;
    st.parse("INSERT INTO t VALUES(:a)");
    st << a;
    st.execute();
    tovi::statement clash(*ds, 1);
    EXPECT_THROW(clash.execute("INSERT OR ROLLBACK INTO t VALUES(1)"), tovi::dup_value_on_index);
    EXPECT_NO_THROW(st.trans->rollback());
    // The next change opens a new transaction, which a rollback then undoes.
    a = 2;
    st.execute();
    st.trans->rollback();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), 0);
}

// Guards: work after a full-disk failure lost with the failed transaction.
TEST_F(SqliteExecution, FullDatabaseMidTransactionLosesNothingOfLaterWork) {
    exec("CREATE TABLE t(a INTEGER, pad TEXT)");
    tovi::statement st(*ds, 1);
    st.execute("PRAGMA max_page_count = 40");
    long a = 0;
    std::string pad(3000, 'p');
    st.parse("INSERT INTO t VALUES(:a, :pad)");
    st << a << pad;
    bool full = false;
    for (a = 0; a < 1000 && !full; ++a) {
        try {
            st.execute();
        } catch (const tovi::exception& e) {
            full = true;
            EXPECT_EQ(e.get_entry(0).code, SQLITE_FULL) << e.get_error_text();
        }
    }
    ASSERT_TRUE(full);
    EXPECT_NO_THROW(st.trans->rollback());
    const long before = scalar("SELECT COUNT(*) FROM t");
    EXPECT_EQ(before, 0);  // SQLite rolled the whole transaction back
    pad = "short";
    for (a = 0; a < 5; ++a) st.execute();
    st.trans->rollback();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), before);
    for (a = 0; a < 20; ++a) st.execute();
    st.trans->commit();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), before + 20);
}

// Guards: a failed first statement leaving BEGIN open, holding the write lock.
TEST_F(SqliteExecution, FailedStatementLeavesNoTransactionBehind) {
    exec("CREATE TABLE t(a INTEGER NOT NULL)");
    {
        tovi::statement st(*ds, 1);
        EXPECT_THROW(st.execute("INSERT INTO t VALUES(NULL)"), tovi::exception);
    }
    tovi::transaction tx(*ds);
    tovi::statement s2(tx, 1);
    EXPECT_NO_THROW(s2.execute("INSERT INTO t VALUES(1)"));
    tx.commit();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), 1);
}

// Guards: an empty name opening a throw-away temporary database whose data vanishes.
TEST_F(SqliteExecution, EmptyDatabaseNameIsRefused) {
    tovi::uurl_t empty("/SQLITE", "", "", "");
    try {
        tovi::udata_source source(empty);
        source.get_connection();
        FAIL() << "an empty database name opened a throw-away database";
    } catch (const tovi::ds_exception& e) {
        EXPECT_NE(std::string(e.what()).find(":memory:"), std::string::npos) << e.what();
    }
    tovi::uurl_t memory("/SQLITE", "", "", ":memory:");
    tovi::udata_source source(memory);
    tovi::statement st(source, 1);
    EXPECT_NO_THROW(st.execute("CREATE TABLE m(a INTEGER)"));
}

// Guards: a second writer failing at once with SQLITE_BUSY instead of waiting for the
// lock.
TEST_F(SqliteExecution, WritersWaitForEachOthersLocks) {
    exec("CREATE TABLE t(a INTEGER)");
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("main.db").c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_TRUE(signalling_vfs_installed);
    // The lock goes once the writer below waits for it (or has failed).
    std::thread release([other] {
        std::unique_lock<std::mutex> lock(waits.mutex);
        waits.changed.wait_for(lock, std::chrono::seconds(30),
                               [] { return waits.waiting || waits.done; });
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    tovi::statement st(*ds, 1);
    EXPECT_NO_THROW(st.execute("INSERT INTO t VALUES(1)"));  // waits, then runs
    {
        std::lock_guard<std::mutex> lock(waits.mutex);
        EXPECT_TRUE(waits.waiting) << "the writer never waited for the lock";
        waits.done = true;
    }
    waits.changed.notify_all();
    release.join();
    sqlite3_close(other);
    st.trans->commit();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), 1);
}

// Guards: an error message as long as a huge SQL text.
TEST_F(SqliteExecution, ErrorContextShowsAtMost64KiBOfSql) {
    const std::string sql = "SELECT " + std::string(200000, '(');
    const std::string text = error_of([&] { exec(sql); });
    EXPECT_LT(text.size(), 70000u);
    EXPECT_NE(text.find(std::string(100, '(') + "...'"), std::string::npos);
}

}  // namespace
