// ODBC handles and diagnostics against the real driver manager and Debian's
// SQLite ODBC driver, registered privately.
#include <gtest/gtest.h>

#include "odbc_connection_string.hpp"
#include "odbc_handle.hpp"
#include "support/odbc_registry.hpp"
#include "support/temp_dir.hpp"

namespace {

tovi_test::odbc_registry registry(TOVI_TEST_SQLITE_ODBC_DRIVER);  // before any ODBC call

struct environment {
    environment() : env(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
        env.check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                                reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0));
    }
    tovi::odbc::handle env;
};

SQLRETURN connect(tovi::odbc::handle& dbc, const std::string& text) {
    return dbc.check(SQLDriverConnect(dbc.get(), nullptr, (SQLCHAR*)text.c_str(),
                                      static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                                      SQL_DRIVER_NOPROMPT));
}

// Guards: SQLSTATE, native code or message lost between the driver manager and the
// dialect.
TEST(OdbcHandle, NativeErrorsCarryTheFullDiagnostic) {
    tovi_test::temp_dir dir;
    environment e;
    tovi::odbc::handle dbc(SQL_HANDLE_DBC, e.env.get());
    connect(dbc, "DRIVER={SQLite3 ODBC Driver};Database=" + dir.file("x.db"));
    {
        tovi::odbc::handle stmt(SQL_HANDLE_STMT, dbc.get());  // freed before the disconnect
        const char* sql = "SELECT * FROM nowhere";
        try {
            stmt.check_done(SQLExecDirect(stmt.get(), (SQLCHAR*)sql, SQL_NTS));
            FAIL() << "a missing table went unnoticed";
        } catch (const tovi::exception& ex) {
            EXPECT_EQ(ex.get_entry(0).message,
                      "SQLCode: HY000.Native error: 1.[SQLite]no such table: nowhere (1)");
            EXPECT_EQ(ex.get_entry(0).code, 1);
        }
    }
    SQLDisconnect(dbc.get());
}

// Guards: the database file of the URL not the one the driver opens.
TEST(OdbcHandle, TheUrlsConnectionStringReachesTheDatabaseFile) {
    tovi_test::temp_dir dir;
    tovi::uurl_t url("/ODBC/SQLite3 ODBC Driver", "user", "pass;Database=/elsewhere.db",
                     dir.file("via_url.db"));
    environment e;
    tovi::odbc::handle dbc(SQL_HANDLE_DBC, e.env.get());
    connect(dbc, tovi::odbc::connection_string(url.get_svc_provider(), url.get_service(),
                                               url.get_session()));
    {
        tovi::odbc::handle stmt(SQL_HANDLE_STMT, dbc.get());  // freed before the disconnect
        const char* sql = "CREATE TABLE t(a INTEGER)";
        stmt.check_done(SQLExecDirect(stmt.get(), (SQLCHAR*)sql, SQL_NTS));
    }
    SQLEndTran(SQL_HANDLE_DBC, dbc.get(), SQL_COMMIT);
    SQLDisconnect(dbc.get());
    EXPECT_TRUE(boost::filesystem::exists(dir.file("via_url.db")));  // the file the URL named
    EXPECT_FALSE(boost::filesystem::exists("/elsewhere.db"));
}

// Guards: a missing or broken driver library reported as a bare failure.
TEST(OdbcHandle, MissingAndBrokenDriversSayWhy) {
    environment e;
    for (const char* driver : {"SQLite3 Missing", "SQLite3 Broken"}) {
        SCOPED_TRACE(driver);
        tovi::odbc::handle dbc(SQL_HANDLE_DBC, e.env.get());
        try {
            connect(dbc, std::string("DRIVER={") + driver + "};Database=x.db");
            FAIL() << "connected through a driver that is not there";
        } catch (const tovi::exception& ex) {
            // unixODBC: "SQLCode: 01000.Native error: 0.[unixODBC][Driver Manager]Can't open
            // lib 'SQLite3 Missing' : file not found"
            EXPECT_NE(ex.get_entry(0).message.find("Can't open lib '" + std::string(driver) + "'"),
                      std::string::npos)
                << ex.get_entry(0).message;
        }
    }
    EXPECT_THROW(tovi::odbc::check(SQL_INVALID_HANDLE, SQL_HANDLE_ENV, SQL_NULL_HANDLE),
                 tovi::exception);
}

}  // namespace
