#include "pgsql_connection.hpp"

#include <poll.h>

#include <cerrno>
#include <optional>

#include "pgsql_bindings.hpp"
#include "pgsql_errors.hpp"

namespace tovi::pgsql {

void driver::check_service(const svc_provider_t&, const service_t& s) {
    if (tovi::driver::parse_database_options(s.server).database.empty())
        throw ds_exception("No PostgreSQL database is named: give the database name.");
}

connection::connection(DataBase& db, const session_t& s) : connection_base(db, s) {
    const service_t& service = db.get_service();
    const tovi::driver::database_options o = tovi::driver::parse_database_options(service.server);
    host_ = service.host.empty() ? "localhost" : service.host;
    port_ = std::to_string(service.port != 0 ? service.port : 5432);
    database_ = o.database;
    user_ = s.user;
    password_ = s.password;
    connect_limit_ = o.connect_timeout;
    statement_limit_ = o.statement_timeout;
    where_ = host_ + ":" + port_;
    connect();
}

namespace {

// Waits until libpq's connection attempt is done or `deadline` has passed.
bool connect_within(PGconn* c, std::chrono::steady_clock::time_point deadline, bool bounded) {
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        pollfd p{PQsocket(c), static_cast<short>(state == PGRES_POLLING_READING ? POLLIN : POLLOUT),
                 0};
        int wait = -1;
        if (bounded) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            wait = static_cast<int>(left.count());
        }
        const int rc = ::poll(&p, 1, wait);
        if (rc == 0) return false;
        if (rc < 0 && errno != EINTR) return true;  // libpq says what failed
        state = PQconnectPoll(c);
    }
    return true;
}

}  // namespace

void connection::connect() {
    const std::string timeout = std::to_string(connect_limit_.count());
    std::string options = "-c DateStyle=ISO,YMD -c IntervalStyle=postgres";
    if (statement_limit_.count() != 0)
        options += " -c statement_timeout=" + std::to_string(statement_limit_.count() * 1000);
    const char* const keys[] = {"host",
                                "port",
                                "dbname",
                                "user",
                                "password",
                                "fallback_application_name",
                                "options",
                                "client_encoding",
                                "connect_timeout",
                                nullptr};
    const char* const values[] = {host_.c_str(),     port_.c_str(),
                                  database_.c_str(), user_.c_str(),
                                  password_.c_str(), program_invocation_short_name,
                                  options.c_str(),   "UTF8",
                                  timeout.c_str(),   nullptr};
    PQfinish(conn_);
    conn_ = PQconnectStartParams(keys, values, 0);
    if (conn_ != nullptr && PQstatus(conn_) != CONNECTION_BAD) {
        // The server's SQLSTATE reaches a failed login's text only this way.
        PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
        const bool bounded = connect_limit_.count() != 0;
        if (!connect_within(conn_, std::chrono::steady_clock::now() + connect_limit_, bounded)) {
            PQfinish(conn_);
            conn_ = nullptr;
            throw timed_out("Connecting to " + where_ + " timed out after " +
                                std::to_string(connect_limit_.count()) + " s (connect_timeout).",
                            0);
        }
    }
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
        const tovi::driver::native_exception e = connect_error(conn_);
        PQfinish(conn_);
        conn_ = nullptr;
        // A refused login (class 28, invalid authorisation) says so by its class.
        if (e.sqlstate().rfind("28", 0) == 0) throw permission_denied(e);
        throw e;
    }
    PQsetErrorVerbosity(conn_, PQERRORS_DEFAULT);
    // The server's notices ("table ... does not exist, skipping") are not the
    // application's output: libpq would print them on standard error.
    PQsetNoticeReceiver(
        conn_, [](void*, const PGresult*) {}, nullptr);
    marked_lost_ = false;
    stream_ = nullptr;
    statements_made_ = 0;
    deallocations_.clear();
    kept_.clear();
    kept_order_.clear();
}

connection::~connection() {
    PQfinish(conn_);
}

void connection::close() {
    settle();
    if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK &&
        PQtransactionStatus(conn_) != PQTRANS_IDLE)
        PQclear(PQexec(conn_, "ROLLBACK"));
}

bool connection::usable(std::chrono::milliseconds idle,
                        std::chrono::milliseconds ping_after) noexcept {
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) return false;
    // An idle session hears from its server only when something happened (it
    // was terminated, say, or a notice came): then a ping tells. Otherwise
    // only after a long idle, when the server may have timed it out unseen.
    pollfd p{PQsocket(conn_), POLLIN, 0};
    const bool heard = ::poll(&p, 1, 0) != 0;
    if (!heard && idle < ping_after) return true;
    PGresult* r = PQexec(conn_, "");
    const bool answered = PQresultStatus(r) == PGRES_EMPTY_QUERY;
    PQclear(r);
    return answered && PQstatus(conn_) == CONNECTION_OK;
}

void connection::reconnect_if_lost() {
    if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) return;
    // The prepared statements died with the session.
    for_each_transaction([](transaction& t) {
        t.for_each_in_use([](statement& s) { s.abandon(); });
        t.get_cache().purge();
    });
    connect();
}

std::string connection::lost_text() const {
    return "The connection to " + where_ +
           " was lost (the server closed it or went away): the work of its transaction since "
           "the last commit is lost. The next transaction connects again.";
}

std::string connection::next_statement_name() {
    return "tovi_" + std::to_string(++statements_made_);
}

void connection::keep_prepared(const std::string& key, const std::string& name) {
    if (lost()) return;  // gone with the session
    kept_[key].push_back(name);
    kept_order_.emplace_back(key, name);
    if (kept_order_.size() <= 64) return;
    const auto oldest = kept_order_.front();
    kept_order_.pop_front();
    auto it = kept_.find(oldest.first);
    if (it == kept_.end()) return;
    auto& names = it->second;
    for (auto n = names.begin(); n != names.end(); ++n) {
        if (*n != oldest.second) continue;
        names.erase(n);
        forget_statement(oldest.second);
        break;
    }
    if (names.empty()) kept_.erase(it);
}

std::string connection::take_prepared(const std::string& key) {
    auto it = kept_.find(key);
    if (it == kept_.end()) return std::string();
    std::string name = it->second.back();
    it->second.pop_back();
    if (it->second.empty()) kept_.erase(it);
    for (auto n = kept_order_.begin(); n != kept_order_.end(); ++n) {
        if (n->second != name) continue;
        kept_order_.erase(n);
        break;
    }
    return name;
}

void connection::forget_kept() {
    for (const auto& k : kept_order_) forget_statement(k.second);
    kept_.clear();
    kept_order_.clear();
}

void connection::forget_statement(const std::string& name) {
    if (lost()) return;  // gone with the session
    deallocations_ += ";DEALLOCATE " + name;
}

void connection::settle_stream() {
    row_stream* s = stream_;
    stream_ = nullptr;
    s->read_rest();
}

std::string connection::run(const std::string& sql) {
    settle();
    if (PQsendQuery(conn_, sql.c_str()) == 0) throw result_error(nullptr, conn_);
    // Only the first command's result counts (what follows it: deallocations).
    result first(PQgetResult(conn_));
    while (PGresult* r = PQgetResult(conn_)) PQclear(r);
    if (first.get() == nullptr || !first.ok()) throw result_error(first.get(), conn_);
    return PQcmdStatus(first.get());
}

}  // namespace tovi::pgsql
