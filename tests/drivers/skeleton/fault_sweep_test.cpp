// Fault injection in SQLite's manner: the skeleton driver fails its N-th native
// operation, for N = 1, 2, ... until a run meets no failure. Every run must end
// in success or a clean tovi::exception, and afterwards the data source, its
// pool and its statement cache still work and no committed row is lost.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>

#include "modules/fault_plan.hpp"
#include "support/temp_dir.hpp"

namespace {

using tovi_test::faults;

// Creates t, inserts three rows in one transaction, reads them back, then
// deletes them in a transaction it rolls back. True when it ran to its end.
bool workload(tovi::data_source& ds) {
    tovi::statement st(ds, 1);
    st.execute("CREATE TABLE IF NOT EXISTS t(a INTEGER, s TEXT, b BLOB)");
    st.trans->commit();
    long a = 0;
    std::string s;
    tovi::blob_t b;
    st.parse("INSERT INTO t VALUES(:a, :s, :b)");
    st << a << s << b;
    for (tovi::auto_trans tr(*st.trans); tr.pending; tr.pending = false) {
        for (a = 1; a <= 3; ++a) {
            s = "row " + std::to_string(a);
            b.set_entire(std::string(static_cast<std::size_t>(a), '\x01'));
            st.execute();
        }
    }
    tovi::statement q(ds, 1);
    long sum = 0, x = 0;
    q.parse("SELECT a FROM t");
    q >> x;
    q.execute();
    while (q.next()) sum += x;
    if (sum == 0 || sum % 6 != 0) ADD_FAILURE() << "read back " << sum;  // 1 + 2 + 3 per run
    tovi::transaction tx(ds);
    tovi::statement d(tx, 1);
    d.execute("DELETE FROM t");
    tx.rollback();
    return true;
}

long rows(tovi::data_source& ds) {
    tovi::statement st(ds, 1);
    st.execute("CREATE TABLE IF NOT EXISTS t(a INTEGER, s TEXT, b BLOB)");
    long n = -1;
    st.parse("SELECT COUNT(*) FROM t");
    st >> n;
    st.execute();
    EXPECT_TRUE(st.next());
    return n;
}

// The statement cache's statistics as an error context shows them, from a
// statement that fails on a fresh statement object: one statement in use (the
// failing one) whatever failed before.
std::string statistics(tovi::data_source& ds) {
    tovi::statement st(ds, 1);
    try {
        st.execute("SELECT * FROM nowhere");
    } catch (const tovi::exception& e) {
        const std::string text = e.get_error_text();
        const auto at = text.find("[Statement cache statistic - ");
        return at == std::string::npos ? text : text.substr(at, text.find(']', at) - at + 1);
    }
    return "no failure";
}

// Guards: a native call failing at any point leaking, crashing or leaving a half-done
// statement (the framework's error paths, through the skeleton).
TEST(FaultSweep, EveryNativeFailureEndsCleanly) {
    long n = 1;
    for (; n < 500; ++n) {
        SCOPED_TRACE("failing native operation " + std::to_string(n));
        tovi_test::temp_dir dir;
        tovi::api::init();
        tovi::uurl_t url("/SQLITE_EMB", "", "", dir.file("f.db"));
        auto ds = std::make_unique<tovi::udata_source>(url);
        faults().arm(n);
        bool completed = false;
        std::string failure;
        try {
            completed = workload(*ds);
        } catch (const tovi::exception& e) {
            failure = e.get_error_text();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "not a tovi::exception: " << e.what();
        }
        const long injected = faults().injected;
        faults().disarm();
        if (!completed) {
            EXPECT_NE(failure.find("injected"), std::string::npos) << failure;
        }

        // The same data source works on: its connection, pool and cache, and
        // the cache counts no statement in use that nobody holds.
        const std::string cache = statistics(*ds);
        EXPECT_NE(cache.find("Statements in use: 1;"), std::string::npos) << cache;
        const long after = rows(*ds);
        EXPECT_TRUE(after == 0 || after == 3) << after;
        if (completed) {
            EXPECT_EQ(after, 3);
        }
        EXPECT_NO_THROW(workload(*ds));
        ds.reset();
        tovi::api::fini();

        // A new process's view: what was committed is there.
        tovi::api::init();
        {
            tovi::udata_source again(url);
            const long final_rows = rows(again);
            EXPECT_TRUE(final_rows == after + 3) << final_rows;
        }
        tovi::api::fini();
        if (injected == 0) break;  // N is past the workload's last native operation
    }
    EXPECT_GT(n, 20);  // the workload makes many native calls
    EXPECT_LT(n, 500);
}

}  // namespace

namespace {

// Guards: a failed commit at the end of an auto_trans block reported as success.
// The commit at the end of an auto_trans block fails: the block must not look
// as if it succeeded (the rows are not there).
TEST(FaultSweep, FailedCommitOfAnAutoTransBlockIsReported) {
    tovi_test::temp_dir dir;
    tovi::api::init();
    {
        tovi::uurl_t url("/SQLITE_EMB", "", "", dir.file("c.db"));
        tovi::udata_source ds(url);
        tovi::statement st(ds, 1);
        st.execute("CREATE TABLE t(a INTEGER)");
        faults().arm(1, tovi_test::op_bit(tovi_test::native_op::commit));
        try {
            for (tovi::auto_trans tr(*st.trans); tr.pending; tr.pending = false)
                st.execute("INSERT INTO t VALUES(1)");
            ADD_FAILURE() << "the failed commit was swallowed";
        } catch (const tovi::exception& e) {
            EXPECT_NE(e.get_error_text().find("injected commit failure"), std::string::npos)
                << e.get_error_text();
        }
        faults().disarm();
        st.trans->rollback();
        EXPECT_EQ(rows(ds), 0);
        // An exception leaving the block still rolls back quietly, even if the
        // rollback fails too: the block's own exception is the one that arrives.
        faults().arm(1, tovi_test::op_bit(tovi_test::native_op::rollback));
        try {
            for (tovi::auto_trans tr(*st.trans); tr.pending; tr.pending = false) {
                st.execute("INSERT INTO t VALUES(2)");
                throw std::runtime_error("abandon");
            }
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "abandon");
        }
        faults().disarm();
    }
    tovi::api::fini();
}

}  // namespace
