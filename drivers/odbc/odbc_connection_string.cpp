// Connection strings per ODBC source.
#include "odbc_connection_string.hpp"

#include <tovi/exception.hpp>
#include <tovi/text.hpp>

namespace tovi::odbc {

std::string attribute_value(const std::string& value) {
    const bool special = value.find_first_of(";{}=") != std::string::npos ||
                         (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!special) return value;
    std::string quoted = "{";
    for (char c : value) {
        quoted += c;
        if (c == '}') quoted += '}';
    }
    return quoted + "}";
}

namespace {

const char* tds_version(int version) {
    switch (version) {
        case 42:
            return "4.2";
        case 46:
            return "4.6";
        case 70:
            return "7.0";
        case 80:
            return "8.0";
        case 100:
            return "10.0";
        case 110:
            return "11.0";
        case 120:
            return "12.0";
        case 125:
            return "12.5";
        default:
            return "";
    }
}

// psqlODBC takes the braces off a password only: a user or database name that
// needs them would reach the server with them. Refused before connecting.
void refuse_braced(const char* what, const std::string& value) {
    if (attribute_value(value) == value) return;
    throw ds_exception(std::string("The PostgreSQL ODBC driver cannot take a ") + what + " ('" +
                       value +
                       "') that holds \";\", \"{\", \"}\" or \"=\" or begins or ends with a "
                       "blank: it would reach the server changed.");
}

class builder {
public:
    explicit builder(const std::string& driver) : text_("DRIVER={" + driver + "}") {}
    builder& add(const char* key, const std::string& value) {
        text_ += std::string(";") + key + "=" + attribute_value(value);
        return *this;
    }
    builder& raw(const std::string& attribute) {
        text_ += ";" + attribute;
        return *this;
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

}  // namespace

std::string connection_string(const svc_provider_t& p, const service_t& s, const session_t& who) {
    using svc = svc_provider_t;
    builder b(p.provider);
    const std::string port = std::to_string(s.port);
    if (p.vendor == svc::vendor_freetds) {
        b.add("SERVER", s.server)
            .add("DATABASE", s.database)
            .add("UID", who.user)
            .add("PWD", who.password);
        b.raw(std::string("TDS_Version=") + tds_version(p.version));
        b.raw("Port=" + port);
        return b.text();
    }
    // Source 13 has no name of its own (no driver name maps to it).
    constexpr int db2_dbname_source = 13;
    switch (static_cast<int>(p.source)) {
        case svc::src_excel:
            b.raw("DriverId=790").add("Dbq", s.server);
            break;
        case svc::src_text:
            b.add("Dbq", s.server);
            break;
        case svc::src_foxpro:
            b.raw("DriverId=277").add("Dbq", s.server);
            break;
        case svc::src_msjet:
            b.add("Dbq", s.server).add("UID", who.user).add("PWD", who.password);
            break;
        case svc::src_oracle:
            b.add(p.vendor == svc::vendor_microsoft ? "Server" : "Dbq", s.server);
            b.add("UID", who.user).add("PWD", who.password);
            break;
        case svc::src_mysql:
            b.add("SERVER", s.server);
            if (utils::make_upper(s.server) != "LOCALHOST" && s.port != 0) b.raw("PORT=" + port);
            b.add("DATABASE", s.database)
                .add("USER", who.user)
                .add("PASSWORD", who.password)
                .raw("OPTION=3");
            break;
        case svc::src_sybasesql:
            b.add("SRVR", s.server)
                .add("DATABASE", s.database)
                .add("UID", who.user)
                .add("PWD", who.password);
            break;
        case db2_dbname_source:
            b.add("DBNAME", s.server).add("UID", who.user).add("PWD", who.password);
            break;
        case svc::src_sqlite:
            // Debian's SQLite ODBC driver reads the file from "Database" only,
            // takes the first of repeated keys, ignores credentials and honours
            // no braces: the file name alone, never a credential.
            b.raw("Database=" + s.server);
            break;
        default:
            if (p.source == svc::src_postgresql) {
                refuse_braced("user name", who.user);
                refuse_braced("database name", s.database);
            }
            if (!s.server.empty()) b.add("SERVER", s.server);
            b.add("DATABASE", s.database).add("UID", who.user).add("PWD", who.password);
            // The port the URL names; none: the driver's default (it reads 0 as a port).
            if (p.source == svc::src_postgresql && s.port != 0) b.raw("PORT=" + port);
            break;
    }
    return b.text();
}

}  // namespace tovi::odbc
