// The environment and connections.
#include "odbc_connection.hpp"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <mutex>

#include <tovi/driver/native_exception.hpp>

#include <tovi/driver/database_options.hpp>
#include <tovi/driver/watchdog.hpp>
#include "odbc_bindings.hpp"  // the framework instantiates every class of the driver here
#include "odbc_connection_string.hpp"

namespace tovi::odbc {

environment::environment(const svc_provider_t&) : env(SQL_HANDLE_ENV, SQL_NULL_HANDLE) {
    // The user's locale, once (ODBC drivers convert with it); tovi's own number
    // and date texts never depend on it.
    static std::once_flag locale_set;
    std::call_once(locale_set, [] { std::setlocale(LC_ALL, ""); });
    env.check(SQLSetEnvAttr(env.get(), SQL_ATTR_ODBC_VERSION,
                            reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), SQL_IS_INTEGER));
}

void driver::check_service(const svc_provider_t& p, const service_t& s) {
    // The SQLite ODBC driver opens a private temporary database for an empty
    // name, as SQLite does: refused like on the native road.
    if (p.source == svc_provider_t::src_sqlite) {
        if (s.server.empty())
            throw ds_exception(
                "No SQLite database is named: an empty name would open a private temporary "
                "database, lost when the connection closes. Name a database file.");
        // The SQLite ODBC driver honours no quoting: the file name would end at
        // the ";" and open another file.
        if (s.server.find(';') != std::string::npos)
            throw ds_exception(
                "The SQLite ODBC driver cannot open a file whose name holds \";\" ('" + s.server +
                "'): it would open the file named up to it.");
        return;
    }
    tovi::driver::parse_database_options(s.database);  // refused before any connection
}

connection::connection(DataBase& database_, const session_t& s)
    : connection_base(database_, s),
      dbc(SQL_HANDLE_DBC, tovi::driver::repository_state<driver>(database_).env.get()) {
    connect();
}

void connection::connect() {
    const DataBase& database_ = get_database();
    const svc_provider_t& provider = database_.get_repository().get_provider();
    service_t service = database_.get_service();
    typeless_ = provider.source == svc_provider_t::src_sqlite;
    if (provider.source != svc_provider_t::src_sqlite) {
        const tovi::driver::database_options o =
            tovi::driver::parse_database_options(service.database);
        service.database = o.database;
        connect_limit_ = o.connect_timeout;
        statement_limit_ = o.statement_timeout;
    }
    where_ = service.server + (service.port != 0 ? ":" + std::to_string(service.port) : "");
    const std::string text = connection_string(provider, service, get_session());
    if (connect_limit_.count() != 0) {
        // ODBC passes an integer attribute in the pointer argument.
        const auto seconds = static_cast<SQLULEN>(connect_limit_.count());
        SQLSetConnectAttr(
            dbc.get(), SQL_ATTR_LOGIN_TIMEOUT,
            reinterpret_cast<SQLPOINTER>(seconds),  // NOLINT(performance-no-int-to-ptr)
            SQL_IS_UINTEGER);
    }
    const auto started = std::chrono::steady_clock::now();
    const SQLRETURN rc = SQLDriverConnect(
        dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
        static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    try {
        dbc.check(rc);
    } catch (const exception& e) {
        // The driver's own words for a time-out differ ("timeout expired",
        // HYT00): the time waited tells (libpq counts whole seconds, so up to one
        // less).
        if (connect_limit_.count() != 0 &&
            std::chrono::steady_clock::now() - started >=
                connect_limit_ - std::min<std::chrono::milliseconds>(std::chrono::seconds(1),
                                                                     connect_limit_ / 2))
            throw timed_out(e,
                            "Connecting to " + where_ + " timed out after " +
                                std::to_string(connect_limit_.count()) + " s (connect_timeout).",
                            0);
        // A refused login (SQLSTATE class 28, invalid authorisation) says so by
        // its class; the driver's words stay as they are.
        if (tovi::driver::sqlstate_of(e).rfind("28", 0) == 0) throw permission_denied(e);
        throw;
    }
    // What the driver does with open cursors when a transaction ends; asked
    // once (a driver that does not say closes them).
    SQLGetInfo(dbc.get(), SQL_CURSOR_COMMIT_BEHAVIOR, &commit_behavior_, 0, nullptr);
    SQLGetInfo(dbc.get(), SQL_CURSOR_ROLLBACK_BEHAVIOR, &rollback_behavior_, 0, nullptr);
    try {
        socket_ = find_socket(provider);
        dbc.check(SQLSetConnectAttr(dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                    reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                                    SQL_IS_INTEGER));
    } catch (...) {
        SQLDisconnect(dbc.get());
        throw;
    }
}

int connection::find_socket(const svc_provider_t& provider) {
    // Only a server that says which client port it sees can be told apart from
    // other connections to it; elsewhere a time limit relies on the driver's cancel.
    if (provider.source != svc_provider_t::src_postgresql) return -1;
    handle st(SQL_HANDLE_STMT, dbc.get());
    SQLINTEGER port = 0;
    SQLLEN indicator = 0;
    const char* query = "SELECT inet_client_port()";
    st.check(
        SQLExecDirect(st.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(query)), SQL_NTS));
    if (!SQL_SUCCEEDED(SQLFetch(st.get())) ||
        !SQL_SUCCEEDED(SQLGetData(st.get(), 1, SQL_C_SLONG, &port, 0, &indicator)) ||
        indicator == SQL_NULL_DATA)
        return -1;  // a Unix-domain socket: no port
    return tovi::driver::socket_with_local_port(static_cast<unsigned short>(port));
}

bool connection::usable(std::chrono::milliseconds, std::chrono::milliseconds) noexcept {
    if (lost_) return false;
    check_alive();
    if (lost_) return false;
    if (socket_ < 0) return true;
    // The session's socket, read without taking anything: closed (0), or a
    // PostgreSQL ErrorResponse ('E', the server ending the session), and the
    // connection is not used again. The driver may leave replies of its own
    // unread there: anything else is no sign.
    char first = 0;
    const ssize_t n = ::recv(socket_, &first, 1, MSG_PEEK | MSG_DONTWAIT);
    return n < 0 ? errno == EAGAIN || errno == EWOULDBLOCK : n == 1 && first != 'E';
}

void connection::cut() noexcept {
    if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
}

connection::~connection() {
    // A connected handle cannot be freed: disconnect first (freeing alone leaks
    // the connection).
    SQLDisconnect(dbc.get());
}

void connection::check_alive() {
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (SQL_SUCCEEDED(SQLGetConnectAttr(dbc.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
        dead == SQL_CD_TRUE)
        lost_ = true;
}

std::string connection::lost_text() const {
    return "The connection to " + where_ +
           " was lost (the server closed it or went away): the work of its transaction since "
           "the last commit is lost. The next transaction connects again.";
}

void connection::reconnect_if_lost() {
    if (!lost_) return;
    // Every native statement goes first (disconnecting would free their handles
    // under them): the free ones with the cache, those in use are abandoned.
    for_each_transaction([](transaction& t) {
        t.for_each_in_use([](statement& s) { s.abandon(); });
        t.get_cache().purge();
    });
    SQLDisconnect(dbc.get());
    connect();
    lost_ = false;
}

void connection::close() {
    dbc.check(SQLEndTran(SQL_HANDLE_DBC, dbc.get(), SQL_ROLLBACK));
}

}  // namespace tovi::odbc
