// What only the ODBC road has, through tovi against Debian's SQLite ODBC
// driver: data definition committing the transaction, cursors closed before a
// re-execution, parameters and columns bound once (and nothing left pointing at
// a binding that went), bound values in error texts, failing drivers.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>

#include <memory>
#include <string>

#include "support/odbc_registry.hpp"
#include "support/temp_dir.hpp"

namespace {

tovi_test::odbc_registry registry(TOVI_TEST_SQLITE_ODBC_DRIVER);  // before any ODBC call

class OdbcDriver : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        url_ = std::make_unique<tovi::uurl_t>("/ODBC/SQLite3 ODBC Driver", "", "",
                                              dir_.file("odbc.db"));
        ds_ = std::make_unique<tovi::udata_source>(*url_);
    }
    void TearDown() override {
        ds_.reset();
        url_.reset();
        tovi::api::fini();
    }
    void exec(const std::string& sql) {
        tovi::statement st(*ds_, 1);
        st.execute(sql);
    }
    long count(const std::string& table, tovi::data_source& source) {
        tovi::statement st(source, 1);
        long n = -1;
        st.parse("SELECT COUNT(*) FROM " + table);
        st >> n;
        st.execute();
        EXPECT_TRUE(st.next());
        return n;
    }

    tovi_test::temp_dir dir_;
    std::unique_ptr<tovi::uurl_t> url_;
    std::unique_ptr<tovi::udata_source> ds_;
};

// Guards: DDL discarding pending work (found by a user: committed work lost).
TEST_F(OdbcDriver, DataDefinitionCommitsPendingWorkThenItself) {
    exec("CREATE TABLE kept(a INTEGER)");
    tovi::transaction tx(*ds_);
    tovi::statement st(tx, 1);
    st.execute("INSERT INTO kept VALUES(1)");
    st.execute("CREATE TABLE made(a INTEGER)");  // commits the pending insert first

    // Both are committed before the transaction ends: a second connection sees them.
    tovi::uurl_t other_url("/ODBC/SQLite3 ODBC Driver", "other", "", dir_.file("odbc.db"));
    tovi::udata_source other(other_url);
    EXPECT_EQ(count("made", other), 0);
    EXPECT_EQ(count("kept", other), 1);
}

// Guards: executing a query whose cursor is still open failing with "invalid cursor
// state" or resuming mid-result.
TEST_F(OdbcDriver, AnOpenSelectRunsAgainFromItsFirstRow) {
    exec("CREATE TABLE rows3(a INTEGER)");
    exec("INSERT INTO rows3 VALUES(1)");
    exec("INSERT INTO rows3 VALUES(2)");
    exec("INSERT INTO rows3 VALUES(3)");
    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT a FROM rows3 WHERE a >= :low ORDER BY a");
    long low = 1, a = 0;
    sel << low;
    sel >> a;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(a, 1);
    low = 2;
    sel.execute();  // the first cursor still has rows
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(a, 2);
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(a, 3);
    EXPECT_FALSE(sel.next());
}

// Guards: the driver writing into a freed binding's buffer (use after free).
// Parameters and columns stay bound across executions to buffers the bindings
// own; when a binding goes, nothing native may still point at it (the
// sanitizer build sees any such read or write).
TEST_F(OdbcDriver, BindingsThatGoLeaveNothingBoundBehind) {
    exec("CREATE TABLE pairs(a INTEGER, b INTEGER, d REAL, w TIMESTAMP)");
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO pairs VALUES(:a, :b, :d, :w)");
    long a = 1;
    double d = 0.5;
    tm when{};
    tovi::string2tm("2024-Feb-29 10:11:12", when);
    auto b = std::make_unique<tovi::long_t>(10);
    ins << a << *b << d << when;
    for (; a <= 3; ++a) ins.execute();             // bound once, read at each execution
    b.reset();                                     // its binding goes with it
    EXPECT_THROW(ins.execute(), tovi::exception);  // a parameter has no value now

    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT a, b, d, w FROM pairs ORDER BY a");
    long got_a = 0;
    double got_d = 0;
    tm got_w{};
    auto got_b = std::make_unique<tovi::long_t>();
    sel >> got_a >> *got_b >> got_d >> got_w;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(got_a, 1);
    EXPECT_EQ(long(*got_b), 10);
    EXPECT_EQ(got_d, 0.5);
    EXPECT_EQ(tovi::tm2string(got_w), "2024-Feb-29 10:11:12");
    got_b.reset();  // its column is unbound before the next fetch
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(got_a, 2);
}

// Guards: a variant bound as the wrong SQL type or read back as another.
// Variants bind by their type and read by the column's SQL type.
TEST_F(OdbcDriver, VariantsBothWays) {
    exec("CREATE TABLE v(n INTEGER, i INTEGER, r REAL, t TEXT, b BLOB, w TIMESTAMP)");
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO v(n, i) VALUES(:n, :i)");
    long n = 0;
    _variant_t value;
    ins << n << value;
    auto put = [&](VARTYPE type, auto set) {
        value.Clear();
        value.vt = type;
        set(value);
        ++n;
        ins.execute();
    };
    put(VT_I1, [](_variant_t& v) { v.cVal = -5; });
    put(VT_UI1, [](_variant_t& v) { v.bVal = 250; });
    put(VT_I2, [](_variant_t& v) { v.iVal = -30000; });
    put(VT_UI2, [](_variant_t& v) { v.uiVal = 60000; });
    put(VT_I4, [](_variant_t& v) { v.lVal = -2000000000; });
    put(VT_UI4, [](_variant_t& v) { v.ulVal = 4000000000u; });
    put(VT_BOOL, [](_variant_t& v) { v.boolVal = VARIANT_TRUE; });
    value.Clear();
    value.vt = VT_ERROR;  // holds no value to bind
    EXPECT_THROW(ins.execute(), tovi::bad_value_conversion);

    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT i FROM v ORDER BY n");
    _variant_t got;
    sel >> got;
    sel.execute();
    for (long expected : {-5L, 250L, -30000L, 60000L, -2000000000L, 4000000000L, 1L}) {
        ASSERT_TRUE(sel.next());
        EXPECT_EQ(long(got), expected);
    }
    EXPECT_FALSE(sel.next());

    exec("INSERT INTO v(n, r, b, w) VALUES(100, 2.5, x'00ff', '2024-02-29 10:11:12')");
    tovi::statement text(*ds_, 1);
    text.parse("UPDATE v SET t = :t WHERE n = 100");
    _variant_t words("words");
    text << words;
    text.execute();
    tovi::statement cols(*ds_, 1);
    cols.parse("SELECT r, t, b FROM v WHERE n = 100");
    _variant_t r, t, b;
    cols >> r >> t >> b;
    cols.execute();
    ASSERT_TRUE(cols.next());
    EXPECT_EQ(double(r), 2.5);
    EXPECT_EQ(tovi::variant2string(t), "words");
    EXPECT_EQ(b.vt, VT_ARRAY | VT_UI1);

    tovi::statement dates(*ds_, 1);
    dates.parse("SELECT w FROM v WHERE n = 100");
    _variant_t w;
    dates >> w;
    dates.execute();
    ASSERT_TRUE(dates.next());  // a timestamp column reads as an OLE date
    EXPECT_EQ(w.vt, VT_DATE);
    tm when{};
    tovi::double_time2tm(w.date, when);
    EXPECT_EQ(tovi::tm2string(when), "2024-Feb-29 10:11:12");
}

// Guards: text in a number or date column read as NULL through SQLite's ODBC driver.
// SQLite keeps any text in any column, and its ODBC driver types a column by its
// declaration: read as text, what it holds comes back whole (no cast to the
// declared type turns it into NULL), and a timestamp keeps its fraction.
TEST_F(OdbcDriver, TextInTypedColumnsOfATypelessEngineReadsBackWhole) {
    exec("CREATE TABLE loose(n INTEGER, r REAL, d TIMESTAMP)");
    exec("INSERT INTO loose VALUES(1, 'abc', 'not a date')");
    exec("INSERT INTO loose VALUES(2, 2.5, '2024-02-29 12:00:00.250')");
    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT r, d FROM loose ORDER BY n");
    std::string r, d;
    sel >> r >> d;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(r, "abc");
    EXPECT_EQ(d, "not a date");
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(r, "2.5");
    EXPECT_EQ(d, "2024-02-29 12:00:00.25");

    // Read into numbers, dates and variants, such text is refused as on the
    // native road, not read as NULL (the driver's cast gives NULL for it); a
    // variant takes the text; a real NULL stays NULL.
    exec("INSERT INTO loose VALUES(3, NULL, NULL)");
    const auto read = [&](const char* column, long n, auto& variable) {
        tovi::statement q(*ds_, 1);
        q.parse(std::string("SELECT ") + column + " FROM loose WHERE n = " + std::to_string(n));
        q >> variable;
        q.execute();
        return q.next();
    };
    double real = 0;
    long whole = 0;
    tm date{};
    EXPECT_THROW(read("r", 1, real), tovi::bad_value_conversion);
    EXPECT_THROW(read("r", 1, whole), tovi::bad_value_conversion);
    EXPECT_THROW(read("d", 1, date), tovi::bad_value_conversion);
    _variant_t variant;
    ASSERT_TRUE(read("r", 1, variant));
    EXPECT_EQ(variant.vt, VT_BSTR);
    tovi::double_t null_real;
    ASSERT_TRUE(read("r", 3, null_real));
    EXPECT_TRUE(null_real.is_null);
}

// Guards: an ODBC error context without the values that were bound.
TEST_F(OdbcDriver, ErrorsNameTheBoundValues) {
    exec("CREATE TABLE uniq(a INTEGER PRIMARY KEY, t TEXT)");
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO uniq VALUES(:a, :t)");
    long a = 7;
    std::string t = "seven";
    ins << a << t;
    ins.execute();
    try {
        ins.execute();
        FAIL() << "a duplicate key was stored";
    } catch (const tovi::dup_value_on_index& e) {
        EXPECT_NE(e.get_error_text().find("[Input data: 7, 'seven'][Statement: 'INSERT INTO uniq"),
                  std::string::npos)
            << e.get_error_text();
        // The driver's diagnostic, with the SQLSTATE and native code in front.
        EXPECT_EQ(e.get_entry(0).message.rfind("SQLCode: ", 0), 0u) << e.get_entry(0).message;
    }
}

// Guards: a diagnostic longer than the first buffer cut, and so no longer classified.
TEST_F(OdbcDriver, LongDiagnosticsArriveWholeAndClassified) {
    const std::string name = "t" + std::string(700, 'x');  // a message past 512 bytes
    try {
        exec("SELECT * FROM " + name);
        FAIL() << "read a table that does not exist";
    } catch (const tovi::no_schema_obj_found& e) {
        EXPECT_EQ(e.get_entry(0).message.rfind("SQLCode: HY000.Native error: 1.", 0), 0u)
            << e.get_entry(0).message;
        // unixODBC keeps the first 512 bytes of a driver's message; all of them arrive.
        EXPECT_NE(e.get_entry(0).message.find("no such table: " + name.substr(0, 480)),
                  std::string::npos)
            << e.get_entry(0).message;
    }
}

// Guards: a driver name the manager does not know, or whose library fails to load,
// reported without why.
TEST_F(OdbcDriver, DriversThatCannotOpenSayWhy) {
    // Known to the URL (an "SQLite3" name) but not installed, and a section without a library.
    for (const char* name : {"SQLite3 Missing", "SQLite3 Broken"}) {
        SCOPED_TRACE(name);
        tovi::uurl_t url(std::string("/ODBC/") + name, "", "", dir_.file("x.db"));
        try {
            tovi::udata_source ds(url);
            tovi::statement st(ds, 1);
            st.execute("SELECT 1");
            FAIL() << "connected through a driver that is not there";
        } catch (const tovi::exception& e) {
            EXPECT_NE(e.get_error_text().find("Can't open lib"), std::string::npos)
                << e.get_error_text();
        }
    }
    // A name tovi's tables do not know fails before any ODBC call, saying which
    // names are known; a known one whose dialect is not installed names the module.
    const auto refusal = [&](const std::string& name) {
        try {
            tovi::uurl_t url("/ODBC/" + name, "", "", dir_.file("x.db"));
            tovi::udata_source ds(url);
        } catch (const tovi::ds_exception& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    const std::string unknown = refusal("Nonesuch Driver");
    EXPECT_EQ(unknown.rfind("Unable to create an instance of the Data Source object. The ODBC "
                            "driver name 'Nonesuch Driver' is not one tovi knows",
                            0),
              0u)
        << unknown;
    EXPECT_NE(unknown.find("'PostgreSQL...', 'SQLite3...'."), std::string::npos) << unknown;
    EXPECT_EQ(unknown.find("'SQL Server'"), std::string::npos) << "its dialect is not installed";
    const std::string no_dialect = refusal("SQL Server/host");
    EXPECT_NE(no_dialect.find("The dialect module 'dialect_mssql.so' cannot be loaded"),
              std::string::npos)
        << no_dialect;
    // No database named: refused, not a private temporary database.
    EXPECT_THROW(
        {
            tovi::uurl_t unnamed("/ODBC/SQLite3 ODBC Driver", "", "", "");
            tovi::udata_source ds(unnamed);
            tovi::statement st(ds, 1);
        },
        tovi::ds_exception);
    // A file name with ";" (the driver would open the file named up to it).
    EXPECT_THROW(
        {
            tovi::uurl_t semicolon("/ODBC/SQLite3 ODBC Driver", "", "", dir_.file("a;b.db"));
            tovi::udata_source ds(semicolon);
            tovi::statement st(ds, 1);
        },
        tovi::ds_exception);
    EXPECT_FALSE(boost::filesystem::exists(dir_.file("a")));
    // A database file that cannot be made.
    tovi::uurl_t url("/ODBC/SQLite3 ODBC Driver", "", "", dir_.file("no/such/dir/x.db"));
    try {
        tovi::udata_source ds(url);
        tovi::statement st(ds, 1);
        st.execute("SELECT 1");
        FAIL() << "opened a database in a directory that does not exist";
    } catch (const tovi::exception& e) {
        EXPECT_NE(e.get_error_text().find("SQLCode: "), std::string::npos) << e.get_error_text();
    }
}

}  // namespace
