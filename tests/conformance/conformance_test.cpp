// The driver contract, the same checks for every driver: round trips of every
// binding kind with NULLs, wide integers, large objects at their edges, dates,
// transactions and classified errors.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "conformance_fixture.hpp"
#include "support/seeded_random.hpp"
#include "support/shop_schema.hpp"

#include <boost/filesystem/operations.hpp>

using tovi_conformance::Conformance;
using tovi_conformance::driver_case;

TEST_P(Conformance, ScalarsRoundTripWithNulls) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE kinds(i " + c.integer_type + ", b " + c.integer_type + ", r " + c.real_type +
         ", t " + c.text_type + ", d " + c.date_type + ")");
    tovi::statement ins(*ds, 1);
    ins.parse("INSERT INTO kinds VALUES(:i, :b, :r, :t, :d)");
    tovi::long_t i;
    tovi::bool_t b;
    tovi::double_t r;
    tovi::string_t t(100);
    tovi::date_time_t d;
    ins << i << b << r << t << d;
    i = 5000000000L;  // beyond 32 bits
    b = true;
    r = 0.1 + 0.2;
    t = std::string("it's \xC3\xA4 text");
    tm when{};
    tovi::string2tm("2004-02-29 13:05:00", when);
    d = tovi::date_time_t(when);
    ins.execute();
    i.is_null = b.is_null = r.is_null = t.is_null = d.is_null = true;
    ins.execute();
    i = -9223372036854775807L - 1;
    ins.execute();

    tovi::statement sel(*ds, 1);
    sel.parse("SELECT i, b, r, t, d FROM kinds ORDER BY " + nulls_first("i"));
    tovi::long_t oi;
    tovi::bool_t ob;
    tovi::double_t orr;
    tovi::string_t ot(100);
    tovi::date_time_t od;
    sel >> oi >> ob >> orr >> ot >> od;
    sel.execute();
    ASSERT_TRUE(sel.next());  // NULLs sort first
    EXPECT_TRUE(oi.is_null && ob.is_null && orr.is_null && ot.is_null && od.is_null);
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(oi.value, -9223372036854775807L - 1);
    ASSERT_TRUE(sel.next());
    EXPECT_FALSE(oi.is_null);
    EXPECT_EQ(oi.value, 5000000000L);
    EXPECT_TRUE(ob.value);
    if (GetParam().has("exact_doubles"))
        EXPECT_EQ(orr.value, 0.1 + 0.2);
    else
        EXPECT_NEAR(orr.value, 0.1 + 0.2, 1e-14);
    EXPECT_EQ(ot.value, "it's \xC3\xA4 text");
    EXPECT_EQ(tovi::tm2string(od.value), "2004-Feb-29 13:05:00");
    EXPECT_FALSE(sel.next());
    EXPECT_EQ(oi.value, 5000000000L);  // nothing changed by the last, empty fetch
}

TEST_P(Conformance, PlainVariablesAndVariants) {
    exec("CREATE TABLE plain(i " + GetParam().integer_type + ", t " + GetParam().text_type + ")");
    tovi::statement ins(*ds, 1);
    ins.parse("INSERT INTO plain VALUES(:i, :t)");
    _variant_t vi(7L), vt("seven");
    ins << vi << vt;
    ins.execute();
    vi.Clear();
    vt.Clear();
    ins.execute();  // empty variants go out as NULL

    tovi::statement sel(*ds, 1);
    sel.parse("SELECT i, t FROM plain ORDER BY " + nulls_first("i"));
    long plain = 42;
    std::string text = "untouched";
    sel >> plain >> text;
    sel.execute();
    EXPECT_THROW(sel.next(), tovi::value_is_null);  // NULL into a plain variable
    EXPECT_EQ(plain, 42);

    tovi::statement again(*ds, 1);
    again.parse("SELECT i, t FROM plain ORDER BY " + nulls_first("i"));
    _variant_t oi(1L), ot("x");
    again >> oi >> ot;
    again.execute();
    ASSERT_TRUE(again.next());
    EXPECT_EQ(oi.vt, VT_EMPTY);  // NULL clears a variant
    EXPECT_EQ(ot.vt, VT_EMPTY);
    ASSERT_TRUE(again.next());
    EXPECT_EQ(long(oi), 7);
    EXPECT_EQ(tovi::variant2string(ot), "seven");
}

TEST_P(Conformance, LargeObjectsAtTheirEdges) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE lobs(n " + c.integer_type + ", c " +
         (c.clob_type.empty() ? c.text_type : c.clob_type) + ", b " + c.blob_type + ")");
    std::mt19937 rng = tovi_test::seeded_engine();
    // Around the first and the later pieces drivers read (1024, 4096), SQLite's
    // page, and the text/array line of variants (512000).
    const std::size_t sizes[] = {0,    1,    1023,  1024,  1025,  4094,   4095,   4096,
                                 4097, 4098, 65535, 65536, 65537, 511999, 512000, 5 * 1024 * 1024};
    tovi::statement ins(*ds, 1);
    ins.parse("INSERT INTO lobs VALUES(:n, :c, :b)");
    long n = 0;
    tovi::clob_t text;
    tovi::blob_t bytes;
    ins << n << text << bytes;
    std::vector<std::string> texts, blobs;
    for (std::size_t size : sizes) {
        std::string t(size, 'x'), b(size, '\0');
        for (char& ch : t) ch = static_cast<char>('a' + rng() % 26);
        for (char& ch : b) ch = static_cast<char>(rng() % 256);
        texts.push_back(t);
        blobs.push_back(b);
        text.set_entire(t);
        bytes.set_entire(b);
        ins.execute();
        ++n;
    }
    // Built piece by piece: what is appended follows what was there.
    text.set_entire("ab");
    text.append_portion("cd");
    bytes.set_entire(std::string("\0", 1));
    bytes.append_portion(std::string("\xff\0", 2));
    ins.execute();
    texts.push_back("abcd");
    blobs.push_back(std::string("\0\xff\0", 3));
    tovi::statement sel(*ds, 1);
    sel.parse("SELECT n, c, b FROM lobs ORDER BY n");
    long on = 0;
    tovi::clob_t oc;
    tovi::blob_t ob;
    sel >> on >> oc >> ob;
    sel.execute();
    for (std::size_t k = 0; k < texts.size(); ++k) {
        ASSERT_TRUE(sel.next());
        EXPECT_EQ(on, static_cast<long>(k));
        EXPECT_EQ(oc.get_length(), texts[k].size());
        EXPECT_TRUE(oc.get_entire() == texts[k]) << "text of " << texts[k].size() << " bytes";
        EXPECT_TRUE(ob.get_entire() == blobs[k]) << "blob of " << blobs[k].size() << " bytes";
    }
    std::string into(3, '.');  // the last row's "abcd": a portion into a buffer
    EXPECT_EQ(oc.get_portion(2, into), 2u);
    EXPECT_EQ(into, "cd.");
    EXPECT_FALSE(sel.next());
}

TEST_P(Conformance, TransactionsKeepDataSafe) {
    exec("CREATE TABLE safe(a " + GetParam().integer_type + ")");
    tovi::statement st(*ds, 1);
    st.parse("INSERT INTO safe VALUES(:a)");
    long a = 1;
    st << a;
    for (tovi::auto_trans t(*st.trans); t.pending; t.pending = false) st.execute();
    try {
        for (tovi::auto_trans t(*st.trans); t.pending; t.pending = false) {
            a = 2;
            st.execute();
            throw std::runtime_error("abandon");
        }
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(count("safe"), 1);
}

TEST_P(Conformance, ErrorsArriveClassified) {
    exec("CREATE TABLE uniq(a " + GetParam().integer_type + " PRIMARY KEY)");
    exec("INSERT INTO uniq VALUES(1)");
    try {
        exec("INSERT INTO uniq VALUES(1)");
        FAIL();
    } catch (const tovi::dup_value_on_index& e) {
        ASSERT_GE(e.get_count(), 3);
        EXPECT_NE(e.get_entry(0).code, 0);  // the driver's own message comes first
        EXPECT_NE(e.get_error_text().find(context_start("INSERT INTO uniq VALUES(1)")),
                  std::string::npos)
            << e.get_error_text();
        EXPECT_NE(e.get_error_text().find("[Statement cache statistic - "), std::string::npos);
    }
    after_failure();
    EXPECT_THROW(exec("SELECT * FROM missing_table"), tovi::no_schema_obj_found);
    after_failure();
    EXPECT_THROW(exec("CREATE TABLE uniq(a INTEGER)"), tovi::schema_obj_already_exists);
    after_failure();
    EXPECT_THROW(exec("   "), tovi::bad_operation);
}

// The statement cache every driver has, seen through its statistics in error
// contexts: purges on DDL and on commit. (Eviction: statement_cache_test.)
TEST_P(Conformance, CacheStatisticsCountThePurgesOnDdlAndCommit) {
    TOVI_REQUIRE("lazy_prepare");  // the numbers below count a text that fails in execution
    tovi::statement st(*ds, 1);
    // A fresh transaction whose first statement fails during execution.
    const std::string first = error_of([&] { st.execute("INSERT INTO nowhere VALUES(1)"); });
    EXPECT_NE(first.find(context_start("INSERT INTO nowhere VALUES(1)")), std::string::npos)
        << first;
    EXPECT_NE(
        first.find(context_end("INSERT INTO nowhere VALUES(1)") +
                   "[Statement cache statistic - Statements in use: 1; Statements in cache: 0; "
                   "SQL in cache: 1; Allocated query number: 1]"),
        std::string::npos)
        << first;
    after_failure();

    // A DDL statement empties the free lists (it is itself cached on release).
    st.execute("CREATE TABLE t(a " + GetParam().integer_type + ")");
    const std::string after_ddl = error_of([&] { st.execute("SELECT * FROM nowhere"); });
    EXPECT_NE(after_ddl.find("Statements in cache: 1; SQL in cache: 2; Allocated query number: 2]"),
              std::string::npos)
        << after_ddl;

    // So does a commit.
    TOVI_REQUIRE("commit_purges_cache");
    st.execute("INSERT INTO t VALUES(1)");
    st.parse("SELECT a FROM t");
    st.parse("SELECT 1");
    st.trans->commit();
    const std::string after_commit = error_of([&] { st.execute("SELECT * FROM nowhere"); });
    EXPECT_NE(
        after_commit.find("Statements in cache: 1; SQL in cache: 2; Allocated query number: 2]"),
        std::string::npos)
        << after_commit;
}

TEST_P(Conformance, FailedExecutionRunsAgainAfterwards) {
    exec("CREATE TABLE u(a " + GetParam().integer_type + " PRIMARY KEY)");
    tovi::statement st(*ds, 1);
    long a = 1;
    st.parse("INSERT INTO u VALUES(:a)");
    st << a;
    st.execute();
    commit_pending();
    EXPECT_THROW(st.execute(), tovi::dup_value_on_index);
    after_failure();
    a = 2;
    EXPECT_NO_THROW(st.execute());  // the same statement, prepared afresh if it must be
    EXPECT_EQ(count("u"), 2);
}

TEST_P(Conformance, DataSourcesShareTheModuleRepository) {
    TOVI_REQUIRE("second_database");
    const std::string other_dir = dir.file("other");
    boost::filesystem::create_directory(other_dir);
    tovi::uurl_t other_url(GetParam().url, GetParam().user, GetParam().password,
                           GetParam().database(other_dir));
    tovi::udata_source other(other_url);
    tovi::connection& a = ds->get_connection();
    tovi::connection& b = other.get_connection();
    EXPECT_NE(&a.get_database(), &b.get_database());
    EXPECT_EQ(&a.get_database().get_repository(), &b.get_database().get_repository());

    // A connection given back is what the next data source of that database gets,
    // and never one of another database.
    exec("CREATE TABLE only_in_the_first(a " + GetParam().integer_type + ")");
    ds->release_connection();
    auto same = second_source(GetParam().user, GetParam().password);
    EXPECT_EQ(&same->get_connection(), &a);
    same.reset();
    other.release_connection();
    tovi::udata_source another(other_url);
    EXPECT_NE(&another.get_connection(), &a);
    tovi::statement st(another, 1);
    EXPECT_THROW(st.execute("SELECT a FROM only_in_the_first"), tovi::no_schema_obj_found);
}

TEST_P(Conformance, PooledConnectionsAreReusedOnlyForTheSameCredentials) {
    TOVI_REQUIRE("any_credentials");
    auto connection_of = [&](const std::string& user, const std::string& password) {
        auto source = second_source(user, password);
        tovi::connection* c = &source->get_connection();
        source->release_connection();  // back to the pool for the next request
        return c;
    };
    tovi::connection* tiger = connection_of("scott", "tiger");
    EXPECT_EQ(connection_of("SCOTT", "tiger"), tiger);  // user names ignore case
    EXPECT_NE(connection_of("scott", "TIGER"), tiger);  // passwords do not
    tovi::connection* ab_c = connection_of("a/b", "c");
    EXPECT_NE(connection_of("a", "b/c"), ab_c);
    EXPECT_EQ(connection_of("a/b", "c"), ab_c);
}

TEST_P(Conformance, TransactionsAreSeenFromASecondConnection) {
    TOVI_REQUIRE("concurrent_readers");
    exec("CREATE TABLE seen(a " + GetParam().integer_type + ")");
    auto other = second_source(GetParam().user, GetParam().password);
    auto count_in = [](tovi::data_source& source) {
        tovi::statement st(source, 1);
        long n = -1;
        st.parse("SELECT COUNT(*) FROM seen");
        st >> n;
        st.execute();
        EXPECT_TRUE(st.next());
        return n;
    };
    tovi::transaction tx(*ds);
    tovi::statement st(tx, 1);
    st.execute("INSERT INTO seen VALUES(1)");
    EXPECT_EQ(count_in(*other), 0);  // not yet committed
    tx.commit();
    EXPECT_EQ(count_in(*other), 1);
    st.execute("INSERT INTO seen VALUES(2)");
    tx.rollback();
    EXPECT_EQ(count_in(*other), 1);
}

TEST_P(Conformance, ForeignKeysOfTheDialectHold) {
    // The schema as the SQL builder and this database's dialect print it.
    sql::Database db("d");
    sql::table_t parent = db.SCHEMA("s").TABLE("P");
    parent.FIELD("ID").TYPE("UNIQUEID");
    sql::table_t child = db.SCHEMA("s").TABLE("C");
    child.FIELD("PID").TYPE("INTEGER");
    db +=
        sql::Relationship("FK", db).FOREIGN_KEY(child.FIELD("PID")).REFERENCES(parent.FIELD("ID"));
    std::unique_ptr<tovi::server_t> server(url->make_server());
    std::unique_ptr<sql::create_visitor> v(server->get_sql_support()->make_create_visitor());
    v->set_callback([&](const std::string& text) { exec(text); });
    db.accept(*v);
    v->execute();
    exec("INSERT INTO P VALUES(1)");
    exec("INSERT INTO C VALUES(1)");
    commit_pending();
    EXPECT_THROW(exec("INSERT INTO C VALUES(2)"), tovi::integrity_violation);
    after_failure();
    EXPECT_THROW(exec("DELETE FROM P"), tovi::integrity_violation);
}

// A schema created by one script, used, dropped by another, created again.
TEST_P(Conformance, ScriptsCreateAndDropASchema) {
    TOVI_REQUIRE("scripts");
    sql::Database db = tovi_test::shop_schema();
    run_script(sql::Create(db));
    exec("INSERT INTO CUSTOMERS VALUES(1, 'Ada')");
    exec("INSERT INTO ORDERS VALUES(10, 1)");
    exec("INSERT INTO LINES VALUES(100, 10)");
    exec("INSERT INTO LINES VALUES(101, 10)");
    commit_pending();
    EXPECT_THROW(exec("INSERT INTO ORDERS VALUES(11, 99)"), tovi::integrity_violation);
    after_failure();
    EXPECT_THROW(exec("DELETE FROM CUSTOMERS WHERE ID = 1"), tovi::integrity_violation);
    after_failure();
    EXPECT_THROW(exec("INSERT INTO CUSTOMERS VALUES(1, 'Again')"), tovi::dup_value_on_index);
    after_failure();
    exec("DELETE FROM ORDERS WHERE ID = 10");
    EXPECT_EQ(count("LINES"), 0);  // the cascade
    EXPECT_EQ(count("CUSTOMERS"), 1);

    // The data source's work is committed before its tables go (Firebird keeps
    // the tables of uncommitted work in use).
    tovi::statement done(*ds, 1);
    done.trans->commit();
    run_script(sql::Drop(db));
    EXPECT_THROW(exec("SELECT * FROM CUSTOMERS"), tovi::no_schema_obj_found);
    EXPECT_THROW(exec("SELECT * FROM LINES"), tovi::no_schema_obj_found);

    run_script(sql::Create(db));  // nothing of the first schema is left in the way
    exec("INSERT INTO CUSTOMERS VALUES(2, 'Grace')");
    EXPECT_EQ(count("CUSTOMERS"), 1);
}

// Keys the database numbers, 64-bit columns and text without a size, through two
// rounds of Create and Drop: each Drop takes away all its Create made.
TEST_P(Conformance, NumberedKeysAndWideColumnsSurviveCreateAndDropTwice) {
    TOVI_REQUIRE("scripts");
    sql::Database db("notes");
    sql::table_t notes = db.SCHEMA("s").TABLE("NOTES");
    notes.FIELD("ID").TYPE("UNIQUEID");
    notes.FIELD("BIG").TYPE("LONG");
    notes.FIELD("BODY").TYPE("VARCHAR");
    const long wide = GetParam().has("wide_portable_long") ? 1L << 40 : 1L << 30;
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        run_script(sql::Create(db));
        {
            tovi::transaction tx(*ds);
            tovi::statement ins(tx, 1);
            ins.parse("INSERT INTO NOTES(ID, BIG, BODY) VALUES(:id, :big, :body)");
            long id = 100, big = wide;
            std::string body = "explicit";
            ins << id << big << body;
            ins.execute();
            tovi::statement numbered(tx, 1);
            numbered.parse("INSERT INTO NOTES(BIG, BODY) VALUES(1, 'numbered')");
            numbered.execute();
            tx.commit();
        }
        {
            tovi::statement sel(*ds, 1);
            sel.parse("SELECT ID, BIG, BODY FROM NOTES ORDER BY BIG DESC");
            tovi::long_t id, big;
            std::string body;
            sel >> id >> big >> body;
            sel.execute();
            ASSERT_TRUE(sel.next());
            EXPECT_EQ(body, "explicit");
            EXPECT_EQ(id.value, 100) << "the explicit key was replaced";
            EXPECT_EQ(big.value, wide);
            ASSERT_TRUE(sel.next());
            EXPECT_EQ(body, "numbered");
            EXPECT_FALSE(id.is_null);
            EXPECT_NE(id.value, 100);
            EXPECT_FALSE(sel.next());
            sel.trans->commit();
        }  // a statement in use keeps its table in use (Firebird)
        run_script(sql::Drop(db));
        EXPECT_THROW(exec("SELECT * FROM NOTES"), tovi::no_schema_obj_found);
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, Conformance, ::testing::ValuesIn(tovi_conformance::all_cases()),
                         [](const ::testing::TestParamInfo<driver_case>& info) {
                             return info.param.name;
                         });
