// The environment and connections.
#include "odbc_connection.hpp"

#include <clocale>
#include <mutex>

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
    if (p.source == svc_provider_t::src_sqlite && s.server.empty())
        throw ds_exception(
            "No SQLite database is named: an empty name would open a private temporary database, "
            "lost when the connection closes. Name a database file.");
}

connection::connection(DataBase& database_, const session_t& s)
    : connection_base(database_, s),
      dbc(SQL_HANDLE_DBC, tovi::driver::repository_state<driver>(database_).env.get()) {
    connect();
}

void connection::connect() {
    const DataBase& database_ = get_database();
    const std::string text = connection_string(database_.get_repository().get_provider(),
                                               database_.get_service(), get_session());
    dbc.check(SQLDriverConnect(
        dbc.get(), nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
        static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT));
    try {
        dbc.check(SQLSetConnectAttr(dbc.get(), SQL_ATTR_AUTOCOMMIT,
                                    reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF),
                                    SQL_IS_INTEGER));
    } catch (...) {
        SQLDisconnect(dbc.get());
        throw;
    }
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

void connection::reconnect_if_lost() {
    if (!lost_) return;
    bool busy = false;
    for_each_transaction([&](transaction& t) { busy = busy || !t.get_cache().in_use().empty(); });
    if (busy) return;
    // The free statements go first: disconnecting frees their handles natively.
    for_each_transaction([](transaction& t) { t.get_cache().purge(); });
    SQLDisconnect(dbc.get());
    connect();
    lost_ = false;
}

void connection::close() {
    dbc.check(SQLEndTran(SQL_HANDLE_DBC, dbc.get(), SQL_ROLLBACK));
}

}  // namespace tovi::odbc
