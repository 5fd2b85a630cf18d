// tovi_odbc.so through unixODBC and Debian's SQLite ODBC driver.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>

#include "support/odbc_registry.hpp"
#include "support/temp_dir.hpp"

namespace {

tovi_test::odbc_registry registry(TOVI_TEST_SQLITE_ODBC_DRIVER);  // before any ODBC call

class OdbcDriver : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        url = std::make_unique<tovi::uurl_t>("/ODBC/SQLite3 ODBC Driver", "", "",
                                             dir.file("odbc.db"));
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
    tovi_test::temp_dir dir;
    std::unique_ptr<tovi::uurl_t> url;
    std::unique_ptr<tovi::udata_source> ds;
};

TEST_F(OdbcDriver, RoundTripsAndClassifiedErrors) {
    exec("CREATE TABLE t(a INTEGER PRIMARY KEY, s TEXT, r REAL)");
    tovi::statement ins(*ds, 1);
    long a = 0;
    std::string s;
    double r = 0;
    ins.parse("INSERT INTO t VALUES(:a, :s, :r)");
    ins << a << s << r;
    for (tovi::auto_trans tr(*ins.trans); tr.pending; tr.pending = false) {
        a = 5000000000L;             // beyond 32 bits
        s = std::string(5000, 'x');  // beyond one 4096-byte piece
        r = 0.25;
        ins.execute();
        a = 2;
        s = "two";
        ins.execute();
    }
    tovi::statement sel(*ds, 1);
    long oa = 0;
    std::string os;
    tovi::double_t orr;
    sel.parse("SELECT a, s, r FROM t ORDER BY a");
    sel >> oa >> os >> orr;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(oa, 2);
    EXPECT_EQ(os, "two");
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(oa, 5000000000L);
    EXPECT_EQ(os, std::string(5000, 'x'));
    EXPECT_EQ(orr.value, 0.25);
    EXPECT_FALSE(sel.next());

    EXPECT_THROW(exec("INSERT INTO t VALUES(2, 'again', 0)"), tovi::dup_value_on_index);
    EXPECT_THROW(exec("SELECT * FROM nowhere"), tovi::no_schema_obj_found);
}

}  // namespace
