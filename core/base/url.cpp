// Connection URL parsing and the ODBC driver / OLE DB provider tables.
#include <tovi/exception.hpp>
#include <tovi/text.hpp>
#include <tovi/url.hpp>

#include <strings.h>
#include <charconv>
#include <cstring>

#include "dialect_module.hpp"
#include "module_registry.hpp"

namespace tovi {

using svc = svc_provider_t;

svc_provider_t::svc_provider_t(api_t api_, vendor_t vendor_, int version_,
                               const std::string& provider_, source_t source_, category_t category_)
    : vendor(vendor_),
      api(api_),
      version(version_),
      provider(provider_),
      source(source_),
      category(category_) {}

service_t::service_t(const std::string& server_, const std::string& database_,
                     const std::string& host_, network_protocol_t protocol_, unsigned short port_)
    : server(server_), database(database_), host(host_), protocol(protocol_), port(port_) {}

session_t::session_t(const std::string& user_, const std::string& password_)
    : user(user_), password(password_) {}

namespace {

// Whole-text decimal integers; anything else (sign, blanks, overflow) is "not valid".
template <class Int>
bool parse_decimal(const std::string& text, Int& value) {
    if (text.empty()) return false;
    Int parsed{};
    const char* last = text.data() + text.size();
    auto [end, error] = std::from_chars(text.data(), last, parsed);
    if (error != std::errc() || end != last) return false;
    value = parsed;
    return true;
}

bool equal_nocase(const std::string& name, const char* row) {
    return strcasecmp(name.c_str(), row) == 0 && name.size() == std::strlen(row);
}

bool prefix_nocase(const std::string& name, const char* row) {
    const std::size_t n = std::strlen(row);
    return name.size() >= n && strncasecmp(name.c_str(), row, n) == 0;
}

struct odbc_row {
    const char* name;
    bool prefix;
    svc::source_t source;
    bool sets_vendor;
    svc::vendor_t vendor;
};

// First match wins.
const odbc_row odbc_drivers[] = {
    {"Microsoft dBASE Driver (*.dbf)", false, svc::src_dbase, true, svc::vendor_microsoft},
    {"Microsoft Excel Driver (*.xls)", false, svc::src_excel, true, svc::vendor_microsoft},
    {"Microsoft Text Driver (*.txt; *.csv)", false, svc::src_text, true, svc::vendor_microsoft},
    {"Microsoft Visual Foxpro Driver", false, svc::src_foxpro, true, svc::vendor_microsoft},
    {"Microsoft Access Driver (*.mdb)", false, svc::src_msjet, true, svc::vendor_microsoft},
    {"SQL Server", false, svc::src_mssql, true, svc::vendor_microsoft},
    {"SQL Native Client", false, svc::src_mssql, true, svc::vendor_microsoft},
    {"FreeTDS", false, svc::src_mssql, true, svc::vendor_freetds},
    {"Microsoft ODBC for Oracle", false, svc::src_oracle, true, svc::vendor_microsoft},
    {"Oracle in OraHome92", false, svc::src_oracle, true, svc::vendor_oracle},
    {"Oracle in OraClient10g", false, svc::src_oracle, true, svc::vendor_oracle},
    {"Oracle ODBC Driver", false, svc::src_oracle, true, svc::vendor_oracle},
    {"MySQL ODBC 3.51 Driver", false, svc::src_mysql, true, svc::vendor_mysql},
    {"Client Access ODBC Driver (32-bit)", false, svc::src_db2, true, svc::vendor_microsoft},
    {"Sybase System 10", false, svc::src_sybasesql, true, svc::vendor_sybase},
    {"Adaptive Server IQ 12", false, svc::src_sybasesql, true, svc::vendor_sybase},
    {"Sybase SQL Anywhere 5.0", false, svc::src_sql_anywhere, false, svc::vendor_none},
    {"Firebird/InterBase(r) driver", false, svc::src_interbase, true, svc::vendor_firebird},
    {"PostgreSQL", true, svc::src_postgresql, true, svc::vendor_postgresql},
    // Debian's SQLite ODBC drivers ("SQLite3", "SQLite3 ODBC Driver", ...).
    {"SQLite3", true, svc::src_sqlite, false, svc::vendor_none},
};

struct oledb_row {
    const char* name;
    bool prefix;
    svc::source_t source;
};

const oledb_row oledb_providers[] = {
    {"sqloledb", true, svc::src_mssql},
    {"SQLNCLI", true, svc::src_mssql},
    {"MySQLProv", false, svc::src_mysql},
    {"IBMDA400", false, svc::src_db2},
    {"ADSDSOObject", false, svc::src_active_directory},
    {"DB2OLEDB", false, svc::src_db2},
    {"Microsoft.Jet.OLEDB.", true, svc::src_msjet},
    {"MSOLAP", false, svc::src_olap},
    {"MSDAORA", false, svc::src_oracle},
    {"OraOLEDB.Oracle", false, svc::src_oracle},
    {"vfpoledb", false, svc::src_foxpro},
    {"msidxs", false, svc::src_index_server},
    {"Microsoft.Project.OLEDB.", true, svc::src_msproject},
    {"ASAProv", true, svc::src_sql_anywhere},
    {"Sybase ASE OLE DB Provider", true, svc::src_sybasesql},
    {"Sybase.ASEOLEDBProvider", true, svc::src_sybasesql},
    {"PostgreSQL", false, svc::src_postgresql},
};

bool is_tds_sql_server_version(int version) {
    return version == 46 || version == 70 || version == 80;
}

}  // namespace

uurl_parser_t::uurl_parser_t()
    : vendor(svc::vendor_none),
      api(svc::api_none),
      source(svc::src_unknown),
      version(0),
      port(0),
      protocol(np_default),
      category(0) {}

uurl_parser_t::uurl_parser_t(const std::string& url, const std::string& user_,
                             const std::string& password_, const std::string& database_)
    : uurl_parser_t() {
    user = user_;
    password = password_;
    database = database_;
    parse(url);
}

svc::source_t uurl_parser_t::get_source4odbc(const std::string& driver, svc::vendor_t& vendor) {
    for (const odbc_row& row : odbc_drivers) {
        if (row.prefix ? prefix_nocase(driver, row.name) : equal_nocase(driver, row.name)) {
            if (row.sets_vendor) vendor = row.vendor;
            return row.source;
        }
    }
    return svc::src_unknown;
}

svc::source_t uurl_parser_t::get_source4oledb(const std::string& provider) {
    for (const oledb_row& row : oledb_providers)
        if (row.prefix ? prefix_nocase(provider, row.name) : equal_nocase(provider, row.name))
            return row.source;
    return svc::src_unknown;
}

namespace detail {

namespace {
// "'name', 'prefix...'" for the rows of a table whose dialect `usable` accepts.
template <class Row, std::size_t N>
std::string names_of(const Row (&rows)[N], bool (*usable)(int source)) {
    std::string names;
    for (const Row& row : rows)
        if (usable(row.source))
            names +=
                (names.empty() ? "'" : ", '") + std::string(row.name) + (row.prefix ? "...'" : "'");
    return names;
}
}  // namespace

std::string known_odbc_driver_names(bool (*usable)(int source)) {
    return names_of(odbc_drivers, usable);
}

std::string known_oledb_provider_names(bool (*usable)(int source)) {
    return names_of(oledb_providers, usable);
}

}  // namespace detail

void uurl_parser_t::read_host_and_port(std::string& rest, unsigned short default_port) {
    if (rest.empty()) {
        host = "localhost";  // and the port stays as it was
        return;
    }
    host = utils::getNextParam(rest);
    port = default_port;
    if (!rest.empty()) {
        std::string element = utils::getNextParam(rest);
        if (!element.empty() && !parse_decimal(element, port)) port = default_port;
    }
}

svc::source_t uurl_parser_t::compute_source() {
    switch (api) {
        case svc::api_oracle:
            return svc::src_oracle;
        case svc::api_mysql:
            return svc::src_mysql;
        case svc::api_dblib:
            if (vendor == svc::vendor_sybase || vendor == svc::vendor_freetds ||
                vendor == svc::vendor_microsoft)
                return is_tds_sql_server_version(version) ? svc::src_mssql : svc::src_sybasesql;
            return svc::src_unknown;
        case svc::api_ctlib:
            return vendor == svc::vendor_sybase || vendor == svc::vendor_freetds ? svc::src_mssql
                                                                                 : svc::src_unknown;
        case svc::api_oledb:
        case svc::api_ado:
            return get_source4oledb(provider);
        case svc::api_sqlite:
            return svc::src_sqlite;
        case svc::api_interbase:
            return svc::src_interbase;
        case svc::api_postgresql:
            return svc::src_postgresql;
        case svc::api_odbc:
            return get_source4odbc(provider, vendor);
        case svc::api_sapdb:
            return svc::src_sapdb;
        default:
            return svc::src_unknown;
    }
}

void uurl_parser_t::parse(std::string rest) {
    const std::string given = rest;
    const std::string keyword = utils::getNextParam(rest);
    if (keyword.empty())
        throw ds_exception(
            "Database provider is not defined properly. A connection URL starts with '/' and "
            "names the client API first (\"/SQLITE\", \"/ODBC/<driver>[/<host>]\", "
            "\"/InterBase_EMB\", \"/ADO/<provider>/<file>\"); the URL given is '" +
            given + "'.");

    if (keyword == "DBLIB" || keyword == "CTLIB") {
        api = keyword == "DBLIB" ? svc::api_dblib : svc::api_ctlib;
        const std::string name = utils::getNextParam(rest);
        if (name.empty()) throw ds_exception("DBLIB vendor is expected as a parameter.");
        if (name == "MICROSOFT")
            vendor = svc::vendor_microsoft;
        else if (name == "SYBASE")
            vendor = svc::vendor_sybase;
        else if (name == "FreeTDS")
            vendor = svc::vendor_freetds;
    } else if (keyword == "MySQL" || keyword == "MySQL_EMB") {
        api = svc::api_mysql;
        if (keyword == "MySQL_EMB") category = svc::cat_embedded;
        read_host_and_port(rest, 3306);
    } else if (keyword == "ORACLE") {
        api = svc::api_oracle;
    } else if (keyword == "OLEDB") {
        api = svc::api_oledb;
    } else if (keyword == "ADO") {
        api = svc::api_ado;
    } else if (keyword == "SQLITE" || keyword == "SQLITE_EMB") {
        api = svc::api_sqlite;
        protocol = np_none;
        if (keyword == "SQLITE_EMB") category = svc::cat_embedded;
    } else if (keyword == "InterBase" || keyword == "InterBase_EMB") {
        api = svc::api_interbase;
        protocol = np_default;
        if (keyword == "InterBase_EMB") category = svc::cat_embedded;
        read_host_and_port(rest, 0);
        if (port != 0) protocol = np_tcp_port;
    } else if (keyword == "PostgreSQL") {
        api = svc::api_postgresql;
        read_host_and_port(rest, 5432);
    } else if (keyword == "ODBC") {
        api = svc::api_odbc;
        provider = utils::getNextParam(rest);
        if (provider.empty()) throw ds_exception("ODBC provider name was not set.");
        // That driver's own name holds a "/", so it arrives as two elements.
        if (provider == "Firebird" && utils::getNextParam(rest) == "InterBase(r) driver")
            provider = "Firebird/InterBase(r) driver";
    } else {
        throw ds_exception("Invalid Data Provider interface name: '" + keyword + "'");
    }

    if (api == svc::api_dblib || api == svc::api_ctlib) {
        read_host_and_port(rest, 0);
        server = host;
        if (!rest.empty()) {
            const std::string element = utils::getNextParam(rest);
            if (!parse_decimal(element, version)) version = 0;
        } else {
            version = api == svc::api_dblib ? 100 : 125;
        }
    } else if (api == svc::api_oledb || api == svc::api_ado) {
        provider = utils::getNextParam(rest);
        if (provider.empty()) throw ds_exception("OLEDB provider name was not set.");
        server = utils::getNextParam(rest);
    }

    source = compute_source();

    if (api == svc::api_odbc) {
        if (vendor == svc::vendor_freetds) {
            read_host_and_port(rest, 0);
            server = host;
            if (!rest.empty()) {
                const std::string element = utils::getNextParam(rest);
                if (!element.empty()) {
                    if (parse_decimal(element, version)) {
                        const bool sql_server = is_tds_sql_server_version(version);
                        source = sql_server ? svc::src_mssql : svc::src_sybasesql;
                        if (port == 0) port = sql_server ? 1433 : 5000;
                    } else {
                        version = 80;
                        source = svc::src_mssql;
                        if (port == 0) port = 1433;
                    }
                }
            } else {
                version = 80;
                source = svc::src_mssql;
                if (port == 0) port = 1433;
            }
        } else {
            int default_port = -1;
            switch (source) {
                case svc::src_mssql:
                    default_port = 1433;
                    break;
                case svc::src_mysql:
                    default_port = 3306;
                    break;
                case svc::src_sybasesql:
                    default_port = 5000;
                    break;
                case svc::src_postgresql:
                    default_port = 5432;
                    break;
                case svc::src_sql_anywhere:
                    default_port = 2638;
                    break;
                default:
                    break;
            }
            if (default_port >= 0) {
                read_host_and_port(rest, static_cast<unsigned short>(default_port));
                server = host;
            }
        }
    }

    if (server.empty() && !database.empty()) {
        server = database;
        database.clear();
    }
}

url_t::~url_t() = default;

uurl_t::uurl_t(const std::string& url, const std::string& user, const std::string& password,
               const std::string& database)
    : url_(url), parser_(url, user, password, database) {}

server_t* uurl_t::make_server() {
    return new detail::dialect_module(parser_.source);
}

svc_provider_t uurl_t::get_svc_provider() {
    return svc_provider_t(parser_.api, parser_.vendor, parser_.version, parser_.provider,
                          parser_.source, static_cast<svc::category_t>(parser_.category));
}

service_t uurl_t::get_service() {
    return service_t(parser_.server, parser_.database, parser_.host, parser_.protocol,
                     parser_.port);
}

session_t uurl_t::get_session() {
    return session_t(parser_.user, parser_.password);
}

}  // namespace tovi
