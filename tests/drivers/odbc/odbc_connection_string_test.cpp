// The ODBC connection string of every kind of source, from real URLs, and
// values that try to add or change an attribute.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include "odbc_connection_string.hpp"

namespace {

std::string string_for(const std::string& url, const std::string& database,
                       const std::string& user = "scott", const std::string& password = "tiger") {
    tovi::uurl_t u(url, user, password, database);
    return tovi::odbc::connection_string(u.get_svc_provider(), u.get_service(), u.get_session());
}

// Guards: a URL turned into the wrong connection-string attributes for its driver.
TEST(OdbcConnectionString, EveryRowOfTheTable) {
    const struct {
        const char* url;
        const char* database;
        const char* expected;
    } rows[] = {
        {"/ODBC/Microsoft Excel Driver (*.xls)", "book.xls",
         "DRIVER={Microsoft Excel Driver (*.xls)};DriverId=790;Dbq=book.xls"},
        {"/ODBC/Microsoft Text Driver (*.txt; *.csv)", "/data",
         "DRIVER={Microsoft Text Driver (*.txt; *.csv)};Dbq=/data"},
        {"/ODBC/Microsoft Visual Foxpro Driver", "f.dbc",
         "DRIVER={Microsoft Visual Foxpro Driver};DriverId=277;Dbq=f.dbc"},
        {"/ODBC/Microsoft Access Driver (*.mdb)", "a.mdb",
         "DRIVER={Microsoft Access Driver (*.mdb)};Dbq=a.mdb;UID=scott;PWD=tiger"},
        {"/ODBC/MySQL ODBC 3.51 Driver/dbhost/3307", "shop",
         "DRIVER={MySQL ODBC 3.51 "
         "Driver};SERVER=dbhost;PORT=3307;DATABASE=shop;USER=scott;PASSWORD=tiger;OPTION=3"},
        {"/ODBC/MySQL ODBC 3.51 Driver/LOCALHOST/3307", "shop",
         "DRIVER={MySQL ODBC 3.51 "
         "Driver};SERVER=LOCALHOST;DATABASE=shop;USER=scott;PASSWORD=tiger;OPTION=3"},
        {"/ODBC/Microsoft ODBC for Oracle", "orcl",
         "DRIVER={Microsoft ODBC for Oracle};Server=orcl;UID=scott;PWD=tiger"},
        {"/ODBC/Oracle ODBC Driver", "orcl",
         "DRIVER={Oracle ODBC Driver};Dbq=orcl;UID=scott;PWD=tiger"},
        {"/ODBC/Sybase System 10/syb", "pubs",
         "DRIVER={Sybase System 10};SRVR=syb;DATABASE=pubs;UID=scott;PWD=tiger"},
        {"/ODBC/SQL Server/myhost", "db1",
         "DRIVER={SQL Server};SERVER=myhost;DATABASE=db1;UID=scott;PWD=tiger"},
        {"/ODBC/FreeTDS/h/4000/70", "db",
         "DRIVER={FreeTDS};SERVER=h;DATABASE=db;UID=scott;PWD=tiger;TDS_Version=7.0;Port=4000"},
        {"/ODBC/FreeTDS/h/4000/50", "db",
         "DRIVER={FreeTDS};SERVER=h;DATABASE=db;UID=scott;PWD=tiger;TDS_Version=;Port=4000"},
        {"/ODBC/PostgreSQL Unicode/pg/5433", "app",
         "DRIVER={PostgreSQL Unicode};SERVER=pg;DATABASE=app;UID=scott;PWD=tiger;PORT=5433"},
        {"/ODBC/PostgreSQL Unicode", "app",  // no port: the driver's default
         "DRIVER={PostgreSQL Unicode};SERVER=localhost;DATABASE=app;UID=scott;PWD=tiger"},
        {"/ODBC/SQLite3 ODBC Driver", "/tmp/x.db",
         "DRIVER={SQLite3 ODBC Driver};Database=/tmp/x.db"},
    };
    // Source 13: no driver name maps to it.
    const tovi::svc_provider_t db2(tovi::svc_provider_t::api_odbc,
                                   tovi::svc_provider_t::vendor_none, 0, "DB2",
                                   static_cast<tovi::svc_provider_t::source_t>(13));
    EXPECT_EQ(
        tovi::odbc::connection_string(db2, tovi::service_t("SAMPLE", "", "", tovi::np_default, 0),
                                      tovi::session_t("u", "p")),
        "DRIVER={DB2};DBNAME=SAMPLE;UID=u;PWD=p");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url);
        std::string made;
        try {
            made = string_for(row.url, row.database);
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        EXPECT_EQ(made, row.expected);
    }
}

// Guards: a user name, password or file with ";", "=" or braces injecting attributes
// into the connection string.
TEST(OdbcConnectionString, ValuesCannotAddOrChangeAttributes) {
    EXPECT_EQ(tovi::odbc::attribute_value("plain value"), "plain value");
    EXPECT_EQ(tovi::odbc::attribute_value("a;b"), "{a;b}");
    EXPECT_EQ(tovi::odbc::attribute_value("x}y"), "{x}}y}");
    EXPECT_EQ(tovi::odbc::attribute_value("k=v"), "{k=v}");
    EXPECT_EQ(tovi::odbc::attribute_value(" padded "), "{ padded }");
    EXPECT_EQ(string_for("/ODBC/SQL Server/h", "db", "sa", "pw;DATABASE=master"),
              "DRIVER={SQL Server};SERVER=h;DATABASE=db;UID=sa;PWD={pw;DATABASE=master}");
    EXPECT_EQ(string_for("/ODBC/SQL Server/h", "db", "sa", "a}b;c"),
              "DRIVER={SQL Server};SERVER=h;DATABASE=db;UID=sa;PWD={a}}b;c}");
    // psqlODBC reads braces only around a password: other names that need them are
    // refused, saying why.
    EXPECT_EQ(string_for("/ODBC/PostgreSQL Unicode/h/5432", "db", "u", "{p=w}"),
              "DRIVER={PostgreSQL Unicode};SERVER=h;DATABASE=db;UID=u;PWD={{p=w}}};PORT=5432");
    for (const auto& names : {std::make_pair("db", "u{s}er"), std::make_pair("d=b", "user"),
                              std::make_pair("db", " user")}) {
        try {
            string_for("/ODBC/PostgreSQL Unicode/h/5432", names.first, names.second, "pw");
            ADD_FAILURE() << "accepted " << names.first << " / " << names.second;
        } catch (const tovi::ds_exception& e) {
            EXPECT_NE(std::string(e.what()).find("cannot take a"), std::string::npos) << e.what();
        }
    }
    // The SQLite driver gets no credentials at all.
    EXPECT_EQ(string_for("/ODBC/SQLite3 ODBC Driver", "f.db", "u", "p;Database=/etc/other.db"),
              "DRIVER={SQLite3 ODBC Driver};Database=f.db");
}

}  // namespace
