// A connection: libpq with keyword/value parameters (nothing spliced into a
// connection string), one session per connection; reconnected at its next
// transaction when the server went away; checked by the pool before reuse.
#ifndef TOVI_DRIVERS_PGSQL_PGSQL_CONNECTION_HPP
#define TOVI_DRIVERS_PGSQL_PGSQL_CONNECTION_HPP

#include <libpq-fe.h>

#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "pgsql_driver.hpp"

namespace tovi::pgsql {

// A query whose rows are still arriving, one by one (libpq's single-row mode):
// the session is busy with it until they are all read.
class row_stream {
public:
    // Reads the rest of the rows into the client, so that the session can
    // send again; they are handed out as if they were still arriving.
    virtual void read_rest() = 0;

protected:
    ~row_stream() = default;
};

class connection : public tovi::driver::connection_base<driver>, public pooled_connection {
public:
    // Connects: a refused login is permission_denied, a connection that takes
    // longer than connect_timeout timed_out, anything else the native error.
    connection(DataBase& db, const session_t& s);
    ~connection() override;
    // Rolls back what is open.
    void close() override;

    // The pool's check: no failure seen and nothing heard from the server
    // while idle (no round trip); else, or after `ping_after` idle, an empty
    // query must be answered.
    bool usable(std::chrono::milliseconds idle,
                std::chrono::milliseconds ping_after) noexcept override;

    PGconn* native() const { return conn_; }
    // The server went away (libpq reports the connection broken).
    bool lost() const { return PQstatus(conn_) != CONNECTION_OK; }
    // A failure found it lost (checked before every statement: no call to libpq).
    bool marked_lost() const { return marked_lost_; }
    void mark_lost() { marked_lost_ = true; }
    // Connects again when the connection was lost: statements in use forget
    // their prepared names, the free ones go. A failure leaves it lost.
    void reconnect_if_lost();
    // What a failure on a lost connection says.
    std::string lost_text() const;
    // "<host>:<port>", for messages and contexts.
    const std::string& where() const { return where_; }
    // The database name as given (without its options).
    const std::string& database_name() const { return database_; }

    // A name for a new server-side prepared statement (unique in the session).
    std::string next_statement_name();
    // Server-side statements outlive the statements that prepared them: a
    // statement destroyed with its transaction's cache leaves its name here
    // under `key` (the text and the parameter types), and the next statement of
    // that key in this session takes it instead of preparing again. The 64 most
    // recently kept stay; older ones are forgotten.
    void keep_prepared(const std::string& key, const std::string& name);
    // A kept name for `key`, or "".
    std::string take_prepared(const std::string& key);
    // Data definition may change what a kept statement returns: all are forgotten.
    void forget_kept();
    // `name` is no longer used: DEALLOCATE goes with the next end of a
    // transaction (no round trip of its own).
    void forget_statement(const std::string& name);
    // The text after COMMIT or ROLLBACK that deallocates the forgotten
    // statements; cleared when `sent`.
    const std::string& deallocations() const { return deallocations_; }
    void deallocations_sent() { deallocations_.clear(); }

    // A simple query (BEGIN, COMMIT, ...; deallocations may follow it): the
    // first command's tag, or its failure as a native_exception.
    std::string run(const std::string& sql);

    // The query streaming its rows on the session, if any: everything sent on
    // the session first settles it (its rest read into the client).
    bool busy() const { return stream_ != nullptr; }
    void settle() {
        if (stream_ != nullptr) settle_stream();
    }
    void streaming(row_stream* s) { stream_ = s; }
    void stream_ended(const row_stream* s) {
        if (stream_ == s) stream_ = nullptr;
    }

private:
    void connect();
    void settle_stream();

    PGconn* conn_ = nullptr;
    std::string host_, port_, database_, user_, password_;
    std::chrono::seconds connect_limit_{30};
    std::chrono::seconds statement_limit_{0};
    std::string where_;
    unsigned long statements_made_ = 0;
    bool marked_lost_ = false;
    row_stream* stream_ = nullptr;
    std::string deallocations_;
    std::map<std::string, std::vector<std::string>> kept_;        // by key
    std::deque<std::pair<std::string, std::string>> kept_order_;  // (key, name), oldest first
};

}  // namespace tovi::pgsql

#endif
