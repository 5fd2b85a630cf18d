// What every driver owes the application's transactions: work ends as the
// application said (a transaction destroyed unended is rolled back), data
// definition never discards pending work, and a commit never cuts a result set
// short without a word.
#include <string>

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
