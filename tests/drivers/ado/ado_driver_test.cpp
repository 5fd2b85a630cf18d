// What only the ADO driver has, on the stand-in's Jet provider: the database
// file created on connection, INSERT texts rewritten into row insertion (with
// both statements and the row's values in error contexts), lazy native
// transactions, Jet's errors classified, and values as VARIANTs.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <boost/filesystem/operations.hpp>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace {

class AdoDriver : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        file_ = dir_.file("main.mdb");
        ds_ = open();
    }
    void TearDown() override {
        ds_.reset();
        urls_.clear();
        tovi::api::fini();
    }
    std::unique_ptr<tovi::udata_source> open() {
        urls_.push_back(
            std::make_unique<tovi::uurl_t>("/ADO/Microsoft.Jet.OLEDB.4.0", "", "", file_));
        return std::make_unique<tovi::udata_source>(*urls_.back());
    }
    void exec(const std::string& sql, tovi::data_source* ds = nullptr) {
        tovi::statement st(ds != nullptr ? *ds : *ds_, 1);
        st.execute(sql);
        st.trans->commit();
    }
    long count(const std::string& from, tovi::data_source* ds = nullptr) {
        tovi::statement st(ds != nullptr ? *ds : *ds_, 1);
        long n = -1;
        st.parse("SELECT COUNT(*) FROM " + from);
        st >> n;
        st.execute();
        EXPECT_TRUE(st.next());
        return n;
    }
    template <class E, class F>
    std::string error_of(F f) {
        try {
            f();
        } catch (const E& e) {
            return e.get_error_text();
        } catch (const tovi::exception& e) {
            ADD_FAILURE() << "another class: " << e.get_error_text();
            return "";
        }
        ADD_FAILURE() << "no error";
        return "";
    }

    tovi_test::temp_dir dir_;
    std::string file_;
    std::vector<std::unique_ptr<tovi::uurl_t>> urls_;
    std::unique_ptr<tovi::udata_source> ds_;
};

// Guards: a missing Jet file failing instead of being made, and commits one data
// source's connection keeps to itself.
TEST_F(AdoDriver, AMissingFileIsCreatedAndASecondSourceSeesCommittedRows) {
    EXPECT_FALSE(boost::filesystem::exists(file_));
    exec("CREATE TABLE t (a LONG, b Text(10), c LONG)");
    EXPECT_TRUE(boost::filesystem::exists(file_));
    auto other = open();
    exec("INSERT INTO t VALUES (1, 'one', 1)");
    EXPECT_EQ(count("t", other.get()), 1);
    // A transaction destroyed without commit rolls back, as the other source sees.
    {
        tovi::transaction tx(*ds_);
        tovi::statement st(tx, 1);
        st.execute("INSERT INTO t VALUES (2, 'two', 2)");
        st.execute("UPDATE t SET c = 9");
        EXPECT_EQ(count("t WHERE c = 9", other.get()), 0);  // not committed yet
    }
    EXPECT_EQ(count("t", other.get()), 1);
    EXPECT_EQ(count("t WHERE c = 9", other.get()), 0);
}

// Guards: a ";" in the file name cutting the connection string (another file, or
// attributes injected).
TEST_F(AdoDriver, AFileNameWithASemicolonOpensThatFile) {
    for (const std::string name : {"a;b.mdb", "it's \"quoted\";x.mdb"}) {
        SCOPED_TRACE(name);
        const std::string file = dir_.file(name);
        tovi::uurl_t url("/ADO/Microsoft.Jet.OLEDB.4.0", "", "", file);
        {
            tovi::udata_source ds(url);
            tovi::statement st(ds, 1);
            st.execute("CREATE TABLE t (a LONG)");
        }
        EXPECT_TRUE(boost::filesystem::exists(file));
        EXPECT_FALSE(boost::filesystem::exists(file.substr(0, file.find(';'))));
    }
}

// Guards: a file that is no database opening, or failing without naming provider and
// file.
TEST_F(AdoDriver, AFileThatIsNoDatabaseFailsWithTheConnectionsContext) {
    const std::string text_file = dir_.file("notes.mdb");
    std::ofstream(text_file)
        << "plain text, long enough to fill what a database header would be.....";
    tovi::uurl_t url("/ADO/Microsoft.Jet.OLEDB.4.0", "someone", "", text_file);
    try {
        tovi::udata_source ds(url);
        tovi::statement st(ds, 1);
        st.execute("SELECT 1");
        FAIL() << "opened";
    } catch (const tovi::exception& e) {
        const std::string text = e.get_error_text();
        EXPECT_NE(
            text.find("Native error: -1206. Unrecognized database format '" + text_file + "'."),
            std::string::npos)
            << text;
        EXPECT_NE(text.find("[Unrecognized database format '" + text_file +
                            "'.] [Provider: 'Microsoft.Jet.OLEDB.4.0'; Database name: '" +
                            text_file + "'; User name: 'someone']"),
                  std::string::npos)
            << text;
    }
}

// Guards: an unknown provider failing with the bare fixed text (found by a new user).
TEST_F(AdoDriver, AProviderNameWithoutADialectSaysWhichNamesHaveOne) {
    tovi::uurl_t url("/ADO/NoSuch.Provider", "", "", file_);
    try {
        tovi::udata_source ds(url);
        FAIL() << "made a data source";
    } catch (const tovi::ds_exception& e) {
        const std::string text = e.what();
        EXPECT_EQ(text.rfind("Unable to create an instance of the Data Source object. The provider "
                             "name 'NoSuch.Provider' is not one tovi knows",
                             0),
                  0u)
            << text;
        EXPECT_NE(text.find("'Microsoft.Jet.OLEDB....'"), std::string::npos) << text;
    }
}

// Guards: literals of an INSERT ... VALUES lost or misplaced when Jet's rewriting turns
// it into a recordset update.
TEST_F(AdoDriver, InsertsOfValuesAddRowsWithTheirLiterals) {
    exec("CREATE TABLE t (a LONG, b Text(10), c LONG, d Text(20))");
    tovi::statement st(*ds_, 1);
    st.parse("INSERT INTO t (a, b, c, d) VALUES (:?, 'x', 5, 'f(1, 2)')");
    long a = 0;
    st << a;
    for (a = 1; a <= 3; ++a) st.execute();
    st.trans->commit();
    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT a, b, c, d FROM t ORDER BY a");
    long ra = 0, rc = 0;
    std::string rb, rd;
    sel >> ra >> rb >> rc >> rd;
    sel.execute();
    for (long expected = 1; expected <= 3; ++expected) {
        ASSERT_TRUE(sel.next());
        EXPECT_EQ(ra, expected);
        EXPECT_EQ(rb, "x");
        EXPECT_EQ(rc, 5);
        EXPECT_EQ(rd, "f(1, 2)");  // a comma and parentheses inside quotes stay text
    }
    EXPECT_FALSE(sel.next());

    // No column list: "*" and the values by position.
    tovi::statement all(*ds_, 1);
    all.parse("INSERT INTO t VALUES (:?, :?, 7, :?)");
    std::string b = "y";
    tovi::string_t no_d(20);
    no_d.is_null = true;
    all << a << b << no_d;
    a = 4;
    all.execute();
    EXPECT_EQ(count("t WHERE a = 4 AND b = 'y' AND c = 7 AND d IS NULL"), 1);
    all.trans->commit();
    EXPECT_EQ(count("t"), 4);
}

// Guards: a failed rewritten insert naming only one of the two statements, or leaving
// its row pending so the next insert fails too.
TEST_F(AdoDriver, ARowThatFailsNamesBothStatementsAndItsValues) {
    exec("CREATE TABLE t (a LONG PRIMARY KEY, b Text(10), c LONG)");
    tovi::statement st(*ds_, 1);
    st.parse("INSERT INTO t (a, b, c) VALUES (:?, 'x', 5)");
    long a = 7;
    st << a;
    st.execute();
    const std::string text = error_of<tovi::dup_value_on_index>([&] { st.execute(); });
    EXPECT_NE(text.find("SQLCode: 23000. Native error: -1605. The changes you requested"),
              std::string::npos)
        << text;
    EXPECT_NE(
        text.find("[Original statement: 'INSERT INTO t (a, b, c) VALUES (:?, 'x', 5)'; Current "
                  "statement: 'SELECT a, b, c FROM t; Parameters: 7, 'x', 5'] [Driver: tovi_ado; "
                  "Provider: Microsoft.Jet.OLEDB.4.0][Statement cache statistic - "),
        std::string::npos)
        << text;
    a = 8;
    st.execute();  // the failed row was dropped; the next one goes in
    st.trans->commit();
    EXPECT_EQ(count("t"), 2);
}

// Guards: a value Jet refuses stored cut or reported without class or statement.
// What Jet refuses of a value is classified and names the statement.
TEST_F(AdoDriver, RefusedValuesArriveClassified) {
    // Values Jet refuses are refused when written, classified, with the statement.
    exec("CREATE TABLE v (n LONG, s Text(10))");
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO v (n, s) VALUES (:n, :s)");
    std::string n = "abc", s = "short";
    ins << n << s;
    const std::string mismatch = error_of<tovi::bad_value_conversion>([&] { ins.execute(); });
    EXPECT_NE(mismatch.find("Data type mismatch"), std::string::npos) << mismatch;
    EXPECT_NE(mismatch.find("INSERT INTO v (n, s) VALUES (:n, :s)"), std::string::npos) << mismatch;
    n = "12";
    s = "twenty characters...";
    EXPECT_THROW(ins.execute(), tovi::value_is_truncated);
    s = "ten chars.";
    ins.execute();
    EXPECT_EQ(count("v WHERE n = 12"), 1);

    // A date outside Jet's range (years 100 to 9999) is refused with the statement.
    exec("CREATE TABLE d (n LONG, w DATETIME)");
    tm year_one{};
    year_one.tm_year = 1 - 1900;
    year_one.tm_mday = 1;
    tovi::statement add(*ds_, 1);
    add.parse("INSERT INTO d (n, w) VALUES (1, :w)");
    add << year_one;
    const std::string added = error_of<tovi::bad_value_conversion>([&] { add.execute(); });
    EXPECT_NE(added.find("INSERT INTO d (n, w) VALUES (1, :w)"), std::string::npos) << added;
    tovi::statement change(*ds_, 1);
    change.parse("UPDATE d SET w = :w WHERE n = 1");
    change << year_one;
    const std::string changed = error_of<tovi::bad_value_conversion>([&] { change.execute(); });
    EXPECT_NE(changed.find("UPDATE d SET w = :w WHERE n = 1"), std::string::npos) << changed;
    EXPECT_EQ(count("d"), 0);
}

// Guards: a kind of value changed on its way through VARIANTs (Jet's -1 for true is a
// capability, not a fault).
TEST_F(AdoDriver, ValuesTravelAsVariants) {
    exec(
        "CREATE TABLE v (n LONG, x DOUBLE, f BIT, d DATETIME, s LONGTEXT, b LONGBINARY, w "
        "Text(10))");
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO v VALUES (:?, :?, :?, :?, :?, :?, :?)");
    long n = 5000000000L;
    double x = 0.1;
    tovi::bool_t f(true);
    tm d{};
    d.tm_year = 124, d.tm_mon = 1, d.tm_mday = 29, d.tm_hour = 13, d.tm_min = 14, d.tm_sec = 15;
    d.tm_isdst = -1;
    tovi::clob_t s;
    tovi::blob_t b;
    std::string w = "word";
    ins << n << x << f << d << s << b << w;
    s.set_entire(std::string(600000, 's'));  // beyond the text/array line of variants
    b.set_entire(std::string("\0\1\2", 3));
    ins.execute();
    ins.trans->commit();

    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT n, x, f, d, s, b, w FROM v");
    tovi::long_t rn;
    tovi::double_t rx;
    tovi::bool_t rf;
    tovi::date_time_t rd;
    tovi::clob_t rs;
    tovi::blob_t rb;
    _variant_t rw;
    sel >> rn >> rx >> rf >> rd >> rs >> rb >> rw;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(rn.value, 5000000000L);
    EXPECT_EQ(rx.value, 0.1);
    EXPECT_TRUE(rf.value);
    const tm got = rd.value;
    EXPECT_EQ(got.tm_year, 124);
    EXPECT_EQ(got.tm_mday, 29);
    EXPECT_EQ(got.tm_sec, 15);
    EXPECT_EQ(rs.get_entire(), std::string(600000, 's'));
    EXPECT_EQ(rb.get_entire(), std::string("\0\1\2", 3));
    EXPECT_EQ(tovi::variant2string(rw), "word");

    // A text that is no number, and NULL into a plain variable.
    exec("INSERT INTO v (w) VALUES ('abc')");
    tovi::statement bad(*ds_, 1);
    bad.parse("SELECT w FROM v WHERE n IS NULL");
    long plain = 0;
    bad >> plain;
    bad.execute();
    try {
        bad.next();
        ADD_FAILURE() << "converted";
    } catch (const tovi::exception& e) {
        EXPECT_STREQ(e.what(), "Invalid value conversion.");
    }
    tovi::statement null(*ds_, 1);
    null.parse("SELECT n FROM v WHERE n IS NULL");
    null >> plain;
    null.execute();
    EXPECT_THROW(null.next(), tovi::value_is_null);
}

}  // namespace
