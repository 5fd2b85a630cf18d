// Connection URL grammar, provider tables and parse errors.
#include <tovi/exception.hpp>
#include <tovi/url.hpp>

#include <gtest/gtest.h>

#include <string>

namespace {

using svc = tovi::svc_provider_t;

struct Parsed {
    svc provider;
    tovi::service_t service;
    tovi::session_t session;
};

Parsed parse(const std::string& url, const std::string& database = "", const std::string& user = "",
             const std::string& password = "") {
    tovi::uurl_t u(url, user, password, database);
    return {u.get_svc_provider(), u.get_service(), u.get_session()};
}

std::string parse_error(const std::string& url) {
    try {
        tovi::uurl_t u(url, "", "", "");
    } catch (const tovi::ds_exception& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST(UrlParse, Sqlite) {
    Parsed p = parse("/SQLITE", "test.db", "scott", "tiger");
    EXPECT_EQ(p.provider.api, svc::api_sqlite);
    EXPECT_EQ(p.provider.source, svc::src_sqlite);
    EXPECT_EQ(p.provider.category, svc::cat_client_server);
    EXPECT_EQ(p.service.protocol, tovi::np_none);
    EXPECT_EQ(p.service.server, "test.db");
    EXPECT_EQ(p.service.database, "");
    EXPECT_EQ(p.session.user, "scott");
    EXPECT_EQ(p.session.password, "tiger");

    Parsed emb = parse("/SQLITE_EMB/ignored/rest", "x.db");
    EXPECT_EQ(emb.provider.api, svc::api_sqlite);
    EXPECT_EQ(emb.provider.category, svc::cat_embedded);
    EXPECT_EQ(emb.service.server, "x.db");
}

TEST(UrlParse, HostAndPortDefaults) {
    Parsed bare = parse("/MySQL");
    EXPECT_EQ(bare.service.host, "localhost");
    EXPECT_EQ(bare.service.port, 0);  // the default applies only with a host element
    EXPECT_EQ(bare.provider.source, svc::src_mysql);

    EXPECT_EQ(parse("/MySQL/db1/3307").service.port, 3307);
    EXPECT_EQ(parse("/MySQL/db1").service.port, 3306);
    EXPECT_EQ(parse("/MySQL/db1/abc").service.port, 3306);
    EXPECT_EQ(parse("/MySQL/db1/70000").service.port, 3306);  // not a 16-bit port
    EXPECT_EQ(parse("/MySQL/db1/-1").service.port, 3306);
    EXPECT_EQ(parse("/MySQL/db1/").service.port, 3306);
    EXPECT_EQ(parse("/MySQL/db1/3307").service.host, "db1");
    EXPECT_EQ(parse("/MySQL_EMB/h").provider.category, svc::cat_embedded);
    EXPECT_EQ(parse("/PostgreSQL/pg").service.port, 5432);
    EXPECT_EQ(parse("/PostgreSQL/pg").provider.source, svc::src_postgresql);
    // Only the host element is copied to server for these APIs, never here.
    EXPECT_EQ(parse("/PostgreSQL/pg", "db").service.server, "db");
}

TEST(UrlParse, InterBase) {
    Parsed port = parse("/InterBase/srv/3050");
    EXPECT_EQ(port.service.protocol, tovi::np_tcp_port);
    EXPECT_EQ(port.service.port, 3050);
    EXPECT_EQ(port.provider.source, svc::src_interbase);

    Parsed noport = parse("/InterBase/srv");
    EXPECT_EQ(noport.service.protocol, tovi::np_default);
    EXPECT_EQ(noport.service.port, 0);

    Parsed file = parse("/InterBase_EMB", "/data/x.fdb");
    EXPECT_EQ(file.provider.category, svc::cat_embedded);
    EXPECT_EQ(file.service.server, "/data/x.fdb");
    EXPECT_EQ(file.service.database, "");
    EXPECT_EQ(file.service.host, "localhost");
}

TEST(UrlParse, Odbc) {
    Parsed mssql = parse("/ODBC/SQL Server/myhost", "db1");
    EXPECT_EQ(mssql.provider.api, svc::api_odbc);
    EXPECT_EQ(mssql.provider.provider, "SQL Server");
    EXPECT_EQ(mssql.provider.source, svc::src_mssql);
    EXPECT_EQ(mssql.provider.vendor, svc::vendor_microsoft);
    EXPECT_EQ(mssql.service.host, "myhost");
    EXPECT_EQ(mssql.service.server, "myhost");
    EXPECT_EQ(mssql.service.database, "db1");
    EXPECT_EQ(mssql.service.port, 1433);

    Parsed fb = parse("/ODBC/Firebird/InterBase(r) driver");
    EXPECT_EQ(fb.provider.provider, "Firebird/InterBase(r) driver");
    EXPECT_EQ(fb.provider.source, svc::src_interbase);
    EXPECT_EQ(fb.provider.vendor, svc::vendor_firebird);
    Parsed firebird_only = parse("/ODBC/Firebird/other");
    EXPECT_EQ(firebird_only.provider.provider, "Firebird");
    EXPECT_EQ(firebird_only.provider.source, svc::src_unknown);

    EXPECT_EQ(parse("/ODBC/MySQL ODBC 3.51 Driver/h").service.port, 3306);
    EXPECT_EQ(parse("/ODBC/Sybase System 10/h").service.port, 5000);
    EXPECT_EQ(parse("/ODBC/PostgreSQL Unicode/h").service.port, 5432);
    EXPECT_EQ(parse("/ODBC/Sybase SQL Anywhere 5.0/h").service.port, 2638);
    EXPECT_EQ(parse("/ODBC/sql server").service.host, "localhost");

    Parsed sqlite = parse("/ODBC/SQLite3/ignored", "file.db");
    EXPECT_EQ(sqlite.provider.source, svc::src_sqlite);
    EXPECT_EQ(sqlite.provider.vendor, svc::vendor_none);
    EXPECT_EQ(sqlite.service.server, "file.db");
    EXPECT_EQ(sqlite.service.host, "");

    Parsed unknown = parse("/ODBC/NoSuchDriver/h");
    EXPECT_EQ(unknown.provider.source, svc::src_unknown);
    EXPECT_EQ(unknown.service.host, "");  // unknown sources read nothing more
}

TEST(UrlParse, OdbcFreeTds) {
    Parsed sybase = parse("/ODBC/FreeTDS/h/4000/50");
    EXPECT_EQ(sybase.provider.version, 50);
    EXPECT_EQ(sybase.provider.source, svc::src_sybasesql);
    EXPECT_EQ(sybase.provider.vendor, svc::vendor_freetds);
    EXPECT_EQ(sybase.service.port, 4000);
    EXPECT_EQ(sybase.service.server, "h");

    Parsed plain = parse("/ODBC/FreeTDS/h");
    EXPECT_EQ(plain.provider.version, 80);
    EXPECT_EQ(plain.provider.source, svc::src_mssql);
    EXPECT_EQ(plain.service.port, 1433);

    EXPECT_EQ(parse("/ODBC/FreeTDS/h//50").service.port, 5000);
    EXPECT_EQ(parse("/ODBC/FreeTDS/h//70").service.port, 1433);
    Parsed v46 = parse("/ODBC/FreeTDS/h//46");  // the oldest SQL Server protocol
    EXPECT_EQ(v46.provider.source, svc::src_mssql);
    EXPECT_EQ(v46.service.port, 1433);
    Parsed text = parse("/ODBC/FreeTDS/h/0/x");
    EXPECT_EQ(text.provider.version, 80);
    EXPECT_EQ(text.provider.source, svc::src_mssql);
    EXPECT_EQ(text.service.port, 1433);
    Parsed empty = parse("/ODBC/FreeTDS/h/4000/");
    EXPECT_EQ(empty.provider.version, 0);  // an empty element changes nothing
    EXPECT_EQ(empty.provider.source, svc::src_mssql);
    EXPECT_EQ(empty.service.port, 4000);
}

TEST(UrlParse, DbLibAndCtLib) {
    Parsed v70 = parse("/DBLIB/MICROSOFT/h/1433/70");
    EXPECT_EQ(v70.provider.api, svc::api_dblib);
    EXPECT_EQ(v70.provider.vendor, svc::vendor_microsoft);
    EXPECT_EQ(v70.provider.version, 70);
    EXPECT_EQ(v70.provider.source, svc::src_mssql);
    EXPECT_EQ(v70.service.server, "h");
    EXPECT_EQ(v70.service.port, 1433);

    EXPECT_EQ(parse("/DBLIB/MICROSOFT/h/1433/46").provider.source, svc::src_mssql);
    EXPECT_EQ(parse("/DBLIB/MICROSOFT/h/1433/50").provider.source, svc::src_sybasesql);

    Parsed defaulted = parse("/DBLIB/MICROSOFT/h");
    EXPECT_EQ(defaulted.provider.version, 100);
    EXPECT_EQ(defaulted.provider.source, svc::src_sybasesql);

    EXPECT_EQ(parse("/DBLIB/SYBASE/h/1/abc").provider.version, 0);
    Parsed unknown_vendor = parse("/DBLIB/XYZ/h");
    EXPECT_EQ(unknown_vendor.provider.vendor, svc::vendor_none);
    EXPECT_EQ(unknown_vendor.provider.source, svc::src_unknown);

    Parsed ct = parse("/CTLIB/FreeTDS/h");
    EXPECT_EQ(ct.provider.api, svc::api_ctlib);
    EXPECT_EQ(ct.provider.vendor, svc::vendor_freetds);
    EXPECT_EQ(ct.provider.version, 125);
    EXPECT_EQ(ct.provider.source, svc::src_mssql);
    EXPECT_EQ(parse("/CTLIB/MICROSOFT/h").provider.source, svc::src_unknown);
}

TEST(UrlParse, OleDbAndAdo) {
    Parsed jet = parse("/OLEDB/Microsoft.Jet.OLEDB.4.0/c:\\db.mdb");
    EXPECT_EQ(jet.provider.api, svc::api_oledb);
    EXPECT_EQ(jet.provider.source, svc::src_msjet);
    EXPECT_EQ(jet.service.server, "c:\\db.mdb");

    Parsed ado = parse("/ADO/microsoft.jet.oledb.4.0/file.mdb");
    EXPECT_EQ(ado.provider.api, svc::api_ado);
    EXPECT_EQ(ado.provider.provider, "microsoft.jet.oledb.4.0");
    EXPECT_EQ(ado.provider.source, svc::src_msjet);

    EXPECT_EQ(parse("/ADO/SQLOLEDB.1/h").provider.source, svc::src_mssql);
    EXPECT_EQ(parse("/ADO/MySQLProv/h").provider.source, svc::src_mysql);
    EXPECT_EQ(parse("/ADO/MySQLProv.2/h").provider.source, svc::src_unknown);  // whole name
    EXPECT_EQ(parse("/ADO/Microsoft.Jet.OLEDB/h").provider.source, svc::src_unknown);
    EXPECT_EQ(parse("/ORACLE").provider.source, svc::src_oracle);
}

TEST(UrlParse, ProviderTables) {
    svc::vendor_t vendor = svc::vendor_oracle;
    EXPECT_EQ(tovi::uurl_parser_t::get_source4odbc("Sybase SQL Anywhere 5.0", vendor),
              svc::src_sql_anywhere);
    EXPECT_EQ(vendor, svc::vendor_oracle);  // that row names no vendor
    EXPECT_EQ(tovi::uurl_parser_t::get_source4odbc("microsoft access driver (*.mdb)", vendor),
              svc::src_msjet);
    EXPECT_EQ(vendor, svc::vendor_microsoft);
    vendor = svc::vendor_none;
    EXPECT_EQ(tovi::uurl_parser_t::get_source4odbc("SQL Server Native", vendor), svc::src_unknown);
    EXPECT_EQ(vendor, svc::vendor_none);
    EXPECT_EQ(tovi::uurl_parser_t::get_source4odbc("postgresq", vendor), svc::src_unknown);
    EXPECT_EQ(tovi::uurl_parser_t::get_source4oledb("asaprov.90"), svc::src_sql_anywhere);
    EXPECT_EQ(tovi::uurl_parser_t::get_source4oledb("ADSDSOObject"), svc::src_active_directory);
    EXPECT_EQ(tovi::uurl_parser_t::get_source4oledb(""), svc::src_unknown);
}

TEST(UrlParse, Errors) {
    // The fixed text, then what a URL looks like and the URL given.
    for (const std::string url : {"SQLITE", "", "//SQLITE"}) {
        const std::string text = parse_error(url);
        EXPECT_EQ(text.rfind("Database provider is not defined properly. A connection URL starts "
                             "with '/'",
                             0),
                  0u)
            << text;
        EXPECT_NE(text.find("the URL given is '" + url + "'."), std::string::npos) << text;
    }
    EXPECT_EQ(parse_error("/Foo"), "Invalid Data Provider interface name: 'Foo'");
    EXPECT_EQ(parse_error("/dblib/MICROSOFT/h"), "Invalid Data Provider interface name: 'dblib'");
    EXPECT_EQ(parse_error("/DBLIB"), "DBLIB vendor is expected as a parameter.");
    EXPECT_EQ(parse_error("/CTLIB//h"), "DBLIB vendor is expected as a parameter.");
    EXPECT_EQ(parse_error("/ODBC"), "ODBC provider name was not set.");
    EXPECT_EQ(parse_error("/ODBC//h"), "ODBC provider name was not set.");
    EXPECT_EQ(parse_error("/OLEDB"), "OLEDB provider name was not set.");
    EXPECT_EQ(parse_error("/ADO/"), "OLEDB provider name was not set.");
    const std::string with_nul("SQ\0LITE", 7);
    // Rejected, not matched as "SQ" (what() stops at the NUL).
    EXPECT_EQ(parse_error("/" + with_nul), "Invalid Data Provider interface name: 'SQ");
}
