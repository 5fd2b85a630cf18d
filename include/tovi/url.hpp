/// @file
/// Connection URLs and the provider model.
///
/// An application names a database with four strings: a URL ("/" API { "/" parameter },
/// for example "/SQLITE" or "/ODBC/SQL Server/myhost"), a user, a password and a
/// database name. uurl_parser_t turns them into a svc_provider_t (which API, vendor,
/// provider and kind of server), a service_t (where) and a session_t (who).
/// Malformed URLs raise tovi::ds_exception; unknown vendors, drivers or providers
/// are not errors here, they fail when the modules are chosen.
#ifndef TOVI_URL_HPP
#define TOVI_URL_HPP

#include <string>

#include <tovi/config.hpp>

namespace tovi {

class server_t;

/// How a client reaches its server.
enum network_protocol_t {
    np_none = 0,  ///< no network: database files
    np_default = 1,
    np_tcp_port = 2,  ///< an explicit TCP port
};

/// The URL's provider part: which client API, vendor and kind of server.
struct TOVI_API svc_provider_t {
    /// The client API a driver module talks to.
    enum api_t {
        api_none = 0,
        api_oracle = 1,
        api_mysql = 2,
        api_dblib = 3,
        api_ctlib = 4,
        api_oledb = 5,
        api_ado = 6,
        api_sqlite = 7,
        api_interbase = 8,
        api_postgresql = 9,
        api_odbc = 10,
        api_sapdb = 11,
    };
    /// Who makes the client or server.
    enum vendor_t {
        vendor_none = 0,
        vendor_sybase = 1,
        vendor_freetds = 2,
        vendor_microsoft = 3,
        vendor_mysql = 4,
        vendor_firebird = 5,
        vendor_postgresql = 6,
        vendor_oracle = 7,
    };
    /// The kind of server or data store behind the API.
    enum source_t {
        src_unknown = 0,
        src_dbase = 1,
        src_excel = 2,
        src_text = 3,
        src_foxpro = 4,
        src_msjet = 6,
        src_mssql = 7,
        src_oracle = 8,
        src_mysql = 9,
        src_db2 = 10,
        src_sybasesql = 11,
        src_interbase = 12,
        src_postgresql = 14,
        src_active_directory = 15,
        src_olap = 16,
        src_index_server = 17,
        src_msproject = 18,
        src_sql_anywhere = 19,
        src_sqlite = 20,
        src_sapdb = 21,
        src_informix = 22,
    };
    /// Whether the engine is a server or runs inside the process.
    enum category_t {
        cat_client_server = 0,
        cat_embedded = 1,  ///< the engine runs inside the process ("_EMB" keywords)
    };

    /// All parts given; the defaults describe no provider.
    svc_provider_t(api_t api = api_none, vendor_t vendor = vendor_none, int version = 0,
                   const std::string& provider = std::string(), source_t source = src_unknown,
                   category_t category = cat_client_server);

    vendor_t vendor;       ///< the vendor
    api_t api;             ///< the client API
    int version;           ///< client library or TDS protocol version, else 0
    std::string provider;  ///< OLE DB provider or ODBC driver name, else empty
    source_t source;       ///< the kind of server
    category_t category;   ///< server or embedded
};

/// The URL's service part: which server and database.
struct TOVI_API service_t {
    /// All parts given.
    service_t(const std::string& server, const std::string& database, const std::string& host,
              network_protocol_t protocol, unsigned short port);

    /// The dialect (kind of server) named in the URL.
    std::string server;
    /// The database name (for file engines: the file).
    std::string database;
    /// The host, empty for local engines.
    std::string host;
    network_protocol_t protocol;  ///< how the host is reached
    unsigned short port;          ///< the TCP port, 0 for the default
};

/// The URL's session part: the credentials.
struct TOVI_API session_t {
    /// Both parts given.
    session_t(const std::string& user, const std::string& password);

    std::string user;      ///< the user name as given
    std::string password;  ///< the password as given
};

/// The URL parser. Parses in its constructor; throws tovi::ds_exception with the
/// reason when the URL is malformed, so an object never exists half-built.
class TOVI_API uurl_parser_t {
public:
    uurl_parser_t();
    /// Parses `url` with the credentials and database name (see the class).
    uurl_parser_t(const std::string& url, const std::string& user, const std::string& password,
                  const std::string& database);

    /// Kind of server for an ODBC driver name (case-insensitive); sets `vendor` when
    /// the driver's row names one and leaves it alone otherwise.
    static svc_provider_t::source_t get_source4odbc(const std::string& driver,
                                                    svc_provider_t::vendor_t& vendor);
    /// Kind of server for an OLE DB provider name (case-insensitive).
    static svc_provider_t::source_t get_source4oledb(const std::string& provider);

    svc_provider_t::vendor_t vendor;  ///< see svc_provider_t
    svc_provider_t::api_t api;        ///< see svc_provider_t
    std::string provider;             ///< see svc_provider_t
    svc_provider_t::source_t source;  ///< see svc_provider_t
    int version;                      ///< see svc_provider_t
    std::string user;                 ///< the user name as given
    std::string password;             ///< the password as given
    std::string database;             ///< see service_t
    std::string server;               ///< see service_t
    std::string host;                 ///< see service_t
    unsigned short port;              ///< the TCP port, 0 for the default
    network_protocol_t protocol;      ///< how the host is reached
    int category;                     ///< 1 for the "_EMB" keywords

private:
    void parse(std::string rest);
    void read_host_and_port(std::string& rest, unsigned short default_port);
    svc_provider_t::source_t compute_source();
};

/// What data sources are built from.
class TOVI_API url_t {
public:
    virtual ~url_t();
    /// A new server descriptor for the URL's kind of server; the caller owns it.
    virtual server_t* make_server() = 0;
    /// The URL's provider part.
    virtual svc_provider_t get_svc_provider() = 0;
    /// The URL's service part.
    virtual service_t get_service() = 0;
    /// The URL's session part.
    virtual session_t get_session() = 0;
};

/// The URL applications give: parsed once, on construction.
class TOVI_API uurl_t : public url_t {
public:
    /// Throws what uurl_parser_t throws.
    uurl_t(const std::string& url, const std::string& user, const std::string& password,
           const std::string& database);

    server_t* make_server() override;
    svc_provider_t get_svc_provider() override;  ///< the parsed provider part
    service_t get_service() override;            ///< the parsed service part
    session_t get_session() override;            ///< the parsed session part

    /// The URL text as given.
    const std::string& get_url() const { return url_; }

private:
    std::string url_;
    uurl_parser_t parser_;
};

}  // namespace tovi

#endif
