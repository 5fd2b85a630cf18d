// url_info: parses a tovi connection URL and prints the provider, service and
// session it yields, or the parse error.
//
//   url_info [-u USER] [-p PASSWORD] [-d DATABASE] URL
//   url_info -d db1 "/ODBC/SQL Server/myhost"
#include <tovi/tovi.hpp>

#include <cstring>
#include <iostream>

namespace {

const char* api_name(int api) {
    static const char* const names[] = {"none",      "oracle",     "mysql", "dblib",
                                        "ctlib",     "oledb",      "ado",   "sqlite",
                                        "interbase", "postgresql", "odbc",  "sapdb"};
    return api >= 0 && api < 12 ? names[api] : "?";
}

const char* vendor_name(int vendor) {
    static const char* const names[] = {"none",  "sybase",   "freetds",    "microsoft",
                                        "mysql", "firebird", "postgresql", "oracle"};
    return vendor >= 0 && vendor < 8 ? names[vendor] : "?";
}

const char* source_name(int source) {
    static const char* const names[] = {"unknown",    "dbase",
                                        "excel",      "text",
                                        "foxpro",     "?",
                                        "msjet",      "mssql",
                                        "oracle",     "mysql",
                                        "db2",        "sybasesql",
                                        "interbase",  "?",
                                        "postgresql", "active_directory",
                                        "olap",       "index_server",
                                        "msproject",  "sql_anywhere",
                                        "sqlite",     "sapdb",
                                        "informix"};
    return source >= 0 && source < 23 ? names[source] : "?";
}

const char* protocol_name(int protocol) {
    static const char* const names[] = {"none", "default", "tcp_port"};
    return protocol >= 0 && protocol < 3 ? names[protocol] : "?";
}

int usage() {
    std::cerr << "usage: url_info [-u USER] [-p PASSWORD] [-d DATABASE] URL\n"
                 "example: url_info -d db1 \"/ODBC/SQL Server/myhost\"\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string url, user, password, database;
    bool have_url = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-u" || arg == "-p" || arg == "-d") && i + 1 < argc) {
            std::string& target = arg == "-u" ? user : arg == "-p" ? password : database;
            target = argv[++i];
        } else if (arg == "-h" || arg == "--help") {
            usage();
            return 0;
        } else if (!have_url) {
            url = arg;
            have_url = true;
        } else {
            return usage();
        }
    }
    if (!have_url) return usage();

    try {
        tovi::uurl_t parsed(url, user, password, database);
        const tovi::svc_provider_t p = parsed.get_svc_provider();
        const tovi::service_t s = parsed.get_service();
        const tovi::session_t who = parsed.get_session();
        std::cout << "url:      " << url << "\n"
                  << "provider: api " << p.api << " (" << api_name(p.api) << "), vendor "
                  << p.vendor << " (" << vendor_name(p.vendor) << "), version " << p.version
                  << ", provider \"" << p.provider << "\", source " << p.source << " ("
                  << source_name(p.source) << "), category " << p.category << " ("
                  << (p.category == 1 ? "embedded" : "client-server") << ")\n"
                  << "service:  server \"" << s.server << "\", database \"" << s.database
                  << "\", host \"" << s.host << "\", protocol " << s.protocol << " ("
                  << protocol_name(s.protocol) << "), port " << s.port << "\n"
                  << "session:  user \"" << who.user << "\", password "
                  << (who.password.empty() ? "(empty)" : "(set)") << "\n";
        return 0;
    } catch (const tovi::ds_exception& e) {
        std::cerr << "url_info: cannot parse '" << url << "': " << e.what() << "\n";
        return 1;
    }
}
