// The driver contract, the same checks for every driver: round trips of every
// binding kind with NULLs, wide integers, large objects at their edges, dates,
// transactions and classified errors.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>

#include "conformance.hpp"
#include "support/seeded_random.hpp"
#include "support/temp_dir.hpp"

using tovi_conformance::driver_case;

namespace {

class Conformance : public ::testing::TestWithParam<driver_case> {
protected:
    void SetUp() override {
        tovi::api::init();
        const driver_case& c = GetParam();
        database = c.database(dir.path());
        url = std::make_unique<tovi::uurl_t>(c.url, c.user, c.password, database);
        ds = std::make_unique<tovi::udata_source>(*url);
    }
    void TearDown() override {
        ds.reset();
        url.reset();
        tovi::api::fini();
    }
    void exec(const std::string& sql) {
        tovi::statement st(*ds, 1);
        st.execute(sql);
    }
    long count(const std::string& table) {
        tovi::statement st(*ds, 1);
        long n = -1;
        st.parse("SELECT COUNT(*) FROM " + table);
        st >> n;
        st.execute();
        EXPECT_TRUE(st.next());
        return n;
    }

    tovi_test::temp_dir dir;
    std::string database;
    std::unique_ptr<tovi::uurl_t> url;
    std::unique_ptr<tovi::udata_source> ds;
};

}  // namespace

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
    sel.parse("SELECT i, b, r, t, d FROM kinds ORDER BY i");
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
    EXPECT_EQ(orr.value, 0.1 + 0.2);
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
    sel.parse("SELECT i, t FROM plain ORDER BY i");
    long plain = 42;
    std::string text = "untouched";
    sel >> plain >> text;
    sel.execute();
    EXPECT_THROW(sel.next(), tovi::value_is_null);  // NULL into a plain variable
    EXPECT_EQ(plain, 42);

    tovi::statement again(*ds, 1);
    again.parse("SELECT i, t FROM plain ORDER BY i");
    _variant_t oi(1L), ot("x");
    again >> oi >> ot;
    again.execute();
    ASSERT_TRUE(again.next());
    EXPECT_EQ(oi.vt, VT_EMPTY);  // NULL clears a variant
    EXPECT_EQ(ot.vt, VT_EMPTY);
    ASSERT_TRUE(again.next());
    EXPECT_EQ(long(oi), 7);
    EXPECT_EQ(tovi::variant2string(ot), "seven");

    _variant_t real(2.5);
    tovi::statement bad(*ds, 1);
    bad.parse("INSERT INTO plain(i) VALUES(:i)");
    bad << real;
    if (!GetParam().variant_doubles) {
        EXPECT_THROW(bad.execute(), tovi::bad_value_conversion);
    }
}

TEST_P(Conformance, LargeObjectsAtTheirEdges) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE lobs(n " + c.integer_type + ", c " + c.text_type + ", b " + c.blob_type + ")");
    std::mt19937 rng = tovi_test::seeded_engine();
    const std::size_t sizes[] = {0, 1, 4094, 4095, 4096, 4097, 4098, 65534, 65535, 65536, 65537,
                                 511999, 512000, 5 * 1024 * 1024};
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
        EXPECT_NE(e.get_error_text().find("[Statement: 'INSERT INTO uniq VALUES(1)']"), std::string::npos);
        EXPECT_NE(e.get_error_text().find("[Statement cache statistic - "), std::string::npos);
    }
    EXPECT_THROW(exec("SELECT * FROM missing_table"), tovi::no_schema_obj_found);
    EXPECT_THROW(exec("CREATE TABLE uniq(a INTEGER)"), tovi::schema_obj_already_exists);
    EXPECT_THROW(exec("   "), tovi::bad_operation);
}

INSTANTIATE_TEST_SUITE_P(Drivers, Conformance, ::testing::ValuesIn(tovi_conformance::all_cases()),
                         [](const ::testing::TestParamInfo<driver_case>& info) { return info.param.name; });
