// What no driver may do to its caller whatever the caller does: crash when
// objects are destroyed in the "wrong" order, read a binding that is gone, or
// run less SQL than it was given.
#include <memory>
#include <string>
#include <vector>

#include "conformance_fixture.hpp"

using tovi_conformance::Conformance;
using tovi_conformance::driver_case;

namespace {

// The text of the bad_operation `f` raises, or what else happened.
std::string bad_operation_of(const std::function<void()>& f) {
    try {
        f();
    } catch (const tovi::bad_operation& e) {
        return e.get_error_text();
    } catch (const tovi::exception& e) {
        return "another error: " + e.get_error_text();
    }
    return "(no error)";
}

}  // namespace

TEST_P(Conformance, ObjectsMayBeDestroyedInAnyOrder) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE t(a " + c.integer_type + ")");

    // A data source destroyed under a transaction with pending work and a
    // statement: the work is rolled back, both are left inert and go quietly.
    auto tx = std::make_unique<tovi::transaction>(*ds);
    auto in_tx = std::make_unique<tovi::statement>(*tx, 1);
    in_tx->execute("INSERT INTO t VALUES(1)");
    in_tx->parse("SELECT a FROM t");
    in_tx->execute();
    auto own = std::make_unique<tovi::statement>(*ds, 1);
    own->parse("SELECT a FROM t");
    ds.reset();
    EXPECT_NE(bad_operation_of([&] { tx->commit(); }).find("data source was destroyed"),
              std::string::npos);
    EXPECT_NE(bad_operation_of([&] { in_tx->next(); }).find("works in no transaction"),
              std::string::npos);
    EXPECT_NE(bad_operation_of([&] { own->execute("SELECT a FROM t"); }).find("no transaction"),
              std::string::npos);
    tx.reset();  // before its statement
    in_tx.reset();
    own.reset();

    ds = std::make_unique<tovi::udata_source>(*url);
    EXPECT_EQ(count("t"), 0) << "the ended transaction's insert was rolled back";

    // A statement outliving its transaction hands its driver statement back
    // when the transaction goes; the data source works on.
    tovi::statement orphan(*std::make_unique<tovi::transaction>(*ds), 1);
    EXPECT_NE(bad_operation_of([&] { orphan.execute("SELECT a FROM t"); }).find("no transaction"),
              std::string::npos);
    {
        auto t2 = std::make_unique<tovi::transaction>(*ds);
        tovi::statement late(*t2, 1);
        late.parse("INSERT INTO t VALUES(2)");
        late.execute();
        t2->commit();
        t2.reset();
        EXPECT_NE(bad_operation_of([&] { late.execute(); }).find("no transaction"),
                  std::string::npos);
    }
    EXPECT_EQ(count("t"), 1);
}

TEST_P(Conformance, AStatementFromTheCacheHoldsNothingOfAnEarlierOne) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE pair(a " + c.integer_type + ", b " + c.integer_type + ", t " + c.text_type +
         ")");
    const std::string insert = "INSERT INTO pair(a, b, t) VALUES(:a, :b, :t)";
    tovi::transaction tx(*ds);
    {
        tovi::statement first(tx, 1);
        first.parse(insert);
        long a = 1, b = 2;
        std::string t = "a text that goes with its statement";
        first << a << b << t;
        first.execute();
    }
    // The same text again, handed out by the cache, binds only :a. The other
    // parameters are NULL, or the execution fails; never what the first
    // statement's bindings held.
    bool stored = true;
    {
        tovi::statement second(tx, 1);
        second.parse(insert);
        long a = 31;
        second << a;
        try {
            second.execute();
        } catch (const tovi::exception&) {
            stored = false;
        }
    }
    tx.commit();
    tovi::statement sel(*ds, 1);
    sel.parse("SELECT b, t FROM pair WHERE a = 31");
    tovi::long_t b;
    tovi::string_t t(100);
    sel >> b >> t;
    sel.execute();
    if (stored) {
        ASSERT_TRUE(sel.next());
        EXPECT_TRUE(b.is_null) << "b = " << b.value;
        EXPECT_TRUE(t.is_null) << "t = " << std::string(t);
    }
    EXPECT_FALSE(sel.next());
}

TEST_P(Conformance, SqlTextWithANulByteIsRefusedBeforeItRuns) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE t(a " + c.integer_type + ")");
    exec("INSERT INTO t VALUES(1)");
    const std::string insert("INSERT INTO t VALUES(2)\0; DROP TABLE t", 38);
    const std::string select("SELECT a FROM t WHERE a = 2\0 OR 1=1", 35);
    for (const std::string& sql : {insert, select}) {
        tovi::statement st(*ds, 1);
        try {
            st.execute(sql);
            ADD_FAILURE() << "ran: " << sql.c_str();
        } catch (const tovi::bad_sql& e) {
            EXPECT_NE(
                e.get_error_text().find("NUL byte at position " + std::to_string(sql.find('\0'))),
                std::string::npos)
                << e.get_error_text();
        }
    }
    EXPECT_EQ(count("t"), 1);
}

TEST_P(Conformance, QueriesReturnRowsWhateverPrecedesTheirFirstWord) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE t(a " + c.integer_type + ")");
    exec("INSERT INTO t VALUES(7)");
    std::vector<std::string> queries = {"/* the one row */ SELECT a FROM t",
                                        "-- the one row\nSELECT a FROM t", "  \n\tSELECT a FROM t"};
    if (c.has("with_queries")) queries.push_back("WITH w AS (SELECT a FROM t) SELECT a FROM w");
    for (const std::string& sql : queries) {
        SCOPED_TRACE(sql);
        tovi::statement st(*ds, 1);
        long a = 0;
        st.parse(sql);
        st >> a;
        st.execute();
        ASSERT_TRUE(st.next());
        EXPECT_EQ(a, 7);
        EXPECT_FALSE(st.next());
    }
}

TEST_P(Conformance, ANulByteInsideTextIsKeptOrRefusedNeverCut) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE t(n " + c.integer_type + ", s " + c.text_type + ", c " +
         (c.clob_type.empty() ? c.text_type : c.clob_type) + ")");
    const std::string text("ab\0cd", 5);
    tovi::statement ins(*ds, 1);
    ins.parse("INSERT INTO t VALUES(1, :s, :c)");
    tovi::string_t s(100);
    tovi::clob_t clob;
    ins << s << clob;
    s = text;
    clob.set_entire(text);
    try {
        ins.execute();
    } catch (const tovi::bad_value& e) {
        // Refused: the engine cannot store it; nothing is stored.
        ins.trans->rollback();
        EXPECT_EQ(count("t"), 0) << e.get_error_text();
        return;
    }
    tovi::statement sel(*ds, 1);
    sel.parse("SELECT s, c FROM t");
    tovi::string_t out_s(100);
    tovi::clob_t out_c;
    sel >> out_s >> out_c;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(std::string(out_s), text);
    EXPECT_EQ(out_c.get_entire(), text);
}
