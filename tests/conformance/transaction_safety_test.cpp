// What every driver owes the application's transactions: work ends as the
// application said (a transaction destroyed unended is rolled back), data
// definition never discards pending work, and a commit never cuts a result set
// short without a word.
#include <string>

#include <boost/filesystem/operations.hpp>

#include "conformance_fixture.hpp"

using tovi_conformance::Conformance;
using tovi_conformance::driver_case;

TEST_P(Conformance, ATransactionDestroyedUnendedIsRolledBack) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE t(a " + c.integer_type + ")");
    {
        tovi::transaction tx(*ds);
        tovi::statement st(tx, 1);
        st.execute("INSERT INTO t VALUES(1)");
    }
    EXPECT_EQ(count("t"), 0);

    // A statement's transaction of its own, where it has one (not a connection's).
    if (ds->get_connection().get_default_transaction() == nullptr) {
        {
            tovi::statement st(*ds, 1);
            st.execute("INSERT INTO t VALUES(2)");
        }
        EXPECT_EQ(count("t"), 0);
    }

    // A statement that only read, destroyed while an explicit transaction has
    // pending work, leaves that work alone.
    tovi::transaction tx(*ds);
    tovi::statement ins(tx, 1);
    ins.execute("INSERT INTO t VALUES(3)");
    {
        tovi::statement read(*ds, 1);
        read.execute("SELECT a FROM t");
    }
    tx.commit();
    EXPECT_EQ(count("t"), 1);
}

TEST_P(Conformance, DataDefinitionKeepsPendingWork) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE kept(a " + c.integer_type + ")");
    tovi::transaction tx(*ds);
    tovi::statement st(tx, 1);
    st.execute("INSERT INTO kept VALUES(1)");
    st.execute("CREATE TABLE made(a " + c.integer_type + ")");
    st.execute("INSERT INTO kept VALUES(2)");
    tx.commit();
    EXPECT_EQ(count("kept"), 2);
    EXPECT_EQ(count("made"), 0);
}

TEST_P(Conformance, AResultSetIsNeverCutShortByItsTransactionsEnd) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE six(a " + c.integer_type + ")");
    {
        tovi::transaction tx(*ds);
        tovi::statement ins(tx, 1);
        for (int i = 1; i <= 6; ++i)
            ins.execute("INSERT INTO six VALUES(" + std::to_string(i) + ")");
        tx.commit();
    }
    // Each row's work is committed (or rolled back) inside the fetch loop: the
    // loop reads all six rows, or the fetch after the end says the result set
    // was closed. It never just ends early.
    for (const bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        tovi::transaction tx(*ds);
        tovi::statement q(tx, 1);
        tovi::statement work(tx, 1);
        q.parse("SELECT a FROM six ORDER BY a");
        long a = 0;
        q >> a;
        q.execute();
        int rows = 0;
        std::string closed;
        try {
            while (q.next()) {
                ++rows;
                EXPECT_EQ(a, rows);
                work.execute("UPDATE six SET a = a WHERE a = " + std::to_string(a));
                if (commit)
                    tx.commit();
                else
                    tx.rollback();
            }
        } catch (const tovi::bad_operation& e) {
            closed = e.get_error_text();
        }
        if (closed.empty()) {
            EXPECT_EQ(rows, 6);
        } else {
            EXPECT_NE(closed.find("closed by the end of its transaction"), std::string::npos)
                << closed;
        }
    }
}

namespace {
// How many of the process's open files are `path` or lie below it.
int open_files_at(const std::string& path) {
    int n = 0;
    for (const auto& fd : boost::filesystem::directory_iterator("/proc/self/fd")) {
        boost::system::error_code error;
        const boost::filesystem::path target = boost::filesystem::read_symlink(fd.path(), error);
        if (!error && target.string().rfind(path, 0) == 0) ++n;
    }
    return n;
}
}  // namespace

TEST_P(Conformance, FiniClosesThePooledConnections) {
    exec("CREATE TABLE t(a " + GetParam().integer_type + ")");
    ds.reset();  // its connection goes back to the pool, open
    tovi::api::fini();
    // A file database is closed: nothing of the process holds it open.
    if (database.rfind(dir.path(), 0) == 0) {
        EXPECT_EQ(open_files_at(database), 0);
    }
}

// What a commit says is kept outlives the connection: whatever ran on the
// connection before, and whatever another transaction of it did after.
TEST_P(Conformance, CommittedWorkOutlivesItsConnection) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE t(a " + c.integer_type + ")");
    if (c.commit_after_ddl || ds->get_connection().get_default_transaction() != nullptr) {
        tovi::statement st(*ds, 1);
        st.trans->commit();
    }
    {
        tovi::statement read(*ds, 1);
        read.execute("SELECT a FROM t");
    }
    tovi::transaction t1(*ds);
    tovi::statement in1(t1, 1);
    in1.execute("INSERT INTO t VALUES(1)");
    t1.commit();
    {
        tovi::transaction t2(*ds);
        tovi::statement in2(t2, 1);
        in2.execute("INSERT INTO t VALUES(2)");
        t2.rollback();
    }
    // A new connection after the library closed every pooled one.
    ds.reset();
    tovi::api::fini();
    tovi::api::init();
    ds = std::make_unique<tovi::udata_source>(*url);
    EXPECT_EQ(count("t"), 1);
}
