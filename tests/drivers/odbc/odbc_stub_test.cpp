// The ODBC driver against a stub ODBC driver behind the real driver manager, for
// what a file database never does: warnings at connection (5701 ignored, any
// other one fails) and diagnostics of two records; and the connection string as
// the driver receives it.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/odbc_registry.hpp"
#include "support/temp_dir.hpp"

namespace {

tovi_test::odbc_registry registry(TOVI_TEST_SQLITE_ODBC_DRIVER, TOVI_TEST_STUB_ODBC_DRIVER);

class OdbcStub : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        setenv("TOVI_STUB_ODBC_CAPTURE", dir_.file("capture.txt").c_str(), 1);
        unsetenv("TOVI_STUB_ODBC_CONNECT");
    }
    void TearDown() override { tovi::api::fini(); }

    // Opens a connection through `url` (preparing a statement on it, which the
    // stub always refuses) and returns the exception that ended it.
    // Each call is a new user: no pooled connection is reused.
    tovi::exception open(const std::string& url, const std::string& password = "tiger") {
        try {
            tovi::uurl_t u(url, "tovi" + std::to_string(++users_), password, "stub");
            tovi::udata_source ds(u);
            tovi::statement st(ds, 1);
            st.parse("SELECT 1");
        } catch (const tovi::exception& e) {
            return e;
        }
        ADD_FAILURE() << "the stub accepted a statement";
        return tovi::exception("", 0);
    }
    std::vector<std::string> captured() const {
        std::ifstream in(dir_.file("capture.txt"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    tovi_test::temp_dir dir_;
    int users_ = 0;
};

// The message holds both records, one per line, and the code is the native
// error of the first line (the driver manager may order records its own way).
void expect_two_records(const tovi::exception& e) {
    const std::string& text = e.get_entry(0).message;
    const std::size_t newline = text.find('\n');
    ASSERT_NE(newline, std::string::npos) << text;
    const std::string first = text.substr(0, newline), second = text.substr(newline + 1);
    EXPECT_EQ(second.find('\n'), std::string::npos) << text;
    const std::string login =
        "SQLCode: 28000.Native error: 18456.[stub]Login failed for user 'tovi'.";
    const std::string database =
        "SQLCode: 42000.Native error: 4060.[stub]Cannot open database \"stub\" requested by the "
        "login.";
    EXPECT_TRUE((first == login && second == database) || (first == database && second == login))
        << text;
    EXPECT_EQ(e.get_entry(0).code, first == login ? 18456 : 4060);
}

// Guards: the connection string changed between tovi and the driver.
TEST_F(OdbcStub, TheDriverReceivesTheConnectionStringAsMade) {
    open("/ODBC/SQLite3 Stub", "p;Database=/etc/other.db");
    const std::vector<std::string> expected = {"DRIVER={SQLite3 Stub};Database=stub"};  // no more
    EXPECT_EQ(captured(), expected);
}

// Guards: a warning at connection (SQL_SUCCESS_WITH_INFO) taken for success when it
// reports a failure.
TEST_F(OdbcStub, WarningsAtConnectionFailItUnless5701OrANotice) {
    for (const char* mode : {"5701", "notice"}) {
        SCOPED_TRACE(mode);
        setenv("TOVI_STUB_ODBC_CONNECT", mode, 1);
        tovi::exception e = open("/ODBC/SQLite3 Stub");
        // Connected: what failed is the statement.
        EXPECT_NE(e.get_error_text().find("[Statement: 'SELECT 1']"), std::string::npos)
            << e.get_error_text();
    }

    setenv("TOVI_STUB_ODBC_CONNECT", "warning", 1);
    tovi::exception e = open("/ODBC/SQLite3 Stub");
    EXPECT_EQ(e.get_entry(0).code, 1);
    EXPECT_EQ(e.get_entry(0).message, "SQLCode: 01000.Native error: 1.[stub]Something to know.");
}

// Guards: diagnostic records after the first dropped, or the code taken from the wrong
// one.
TEST_F(OdbcStub, TwoDiagnosticRecordsMakeTwoLinesAndTheFirstCode) {
    setenv("TOVI_STUB_ODBC_CONNECT", "two", 1);
    expect_two_records(open("/ODBC/SQLite3 Stub"));
    unsetenv("TOVI_STUB_ODBC_CONNECT");
    expect_two_records(open("/ODBC/SQLite3 Stub"));  // at prepare, through the dialect
}

// Guards: a refused login classified as a plain error.
// A refused login (SQLSTATE class 28) is permission_denied, in the driver's words.
TEST_F(OdbcStub, ARefusedLoginIsPermissionDenied) {
    setenv("TOVI_STUB_ODBC_CONNECT", "denied", 1);
    try {
        tovi::uurl_t u("/ODBC/SQLite3 Stub", "sa", "wrong", "stub");
        tovi::udata_source ds(u);
        tovi::statement st(ds, 1);
        st.parse("SELECT 1");
        ADD_FAILURE() << "the refused login connected";
    } catch (const tovi::permission_denied& e) {
        EXPECT_EQ(e.get_error_text(),
                  "SQLCode: 28000.Native error: 18456.[stub]Login failed for user 'sa'.\n");
    }
}

}  // namespace
