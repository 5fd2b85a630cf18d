// A connection: SQLDriverConnect with the URL's connection string, manual commit.
#ifndef TOVI_DRIVERS_ODBC_ODBC_CONNECTION_HPP
#define TOVI_DRIVERS_ODBC_ODBC_CONNECTION_HPP

#include <chrono>
#include <string>

#include "odbc_driver.hpp"

namespace tovi::odbc {

class connection : public tovi::driver::connection_base<driver>, public pooled_connection {
public:
    // Connects (a failure leaves as the return-code rule's exception) and turns
    // autocommit off.
    connection(DataBase& db, const session_t& s);
    // Disconnects and frees the handle; errors are of no use here.
    ~connection() override;
    // Rolls back what is open (SQLEndTran).
    void close() override;
    // The pool's check: not lost, not reported dead by the driver, and (where
    // the session's socket is known) not closed or ended by the server while
    // idle. No round trip.
    bool usable(std::chrono::milliseconds idle,
                std::chrono::milliseconds ping_after) noexcept override;

    // After a failed call: whether the driver now reports the connection dead
    // (the server went away); a lost connection connects again at its next
    // transaction.
    void check_alive();
    bool lost() const { return lost_; }
    // The engine keeps any value in any column (SQLite): its driver reads text it
    // cannot cast as NULL.
    bool typeless() const { return typeless_; }
    // Connects again when the connection was lost; statements still in use are
    // abandoned first (their handles die with the old session). A failure leaves
    // it lost.
    void reconnect_if_lost();

    // The statement time limit (database option statement_timeout); 0: none.
    std::chrono::milliseconds statement_limit() const { return statement_limit_; }
    // Host and port, for messages.
    const std::string& where() const { return where_; }
    // Cuts the connection's socket (a server that stopped answering): the call
    // blocked on it fails at once. Safe from another thread during a call.
    void cut() noexcept;
    // The connection is not used again (it reconnects at its next transaction).
    void set_lost() { lost_ = true; }
    // What a failure on a lost connection says: which connection, and that the
    // pending work is gone.
    std::string lost_text() const;
    // Whether open cursors survive SQLEndTran with `how` (the driver's cursor
    // commit and rollback behaviour).
    bool keeps_cursors(SQLSMALLINT how) const {
        return (how == SQL_COMMIT ? commit_behavior_ : rollback_behavior_) == SQL_CB_PRESERVE;
    }

    handle dbc;

private:
    void connect();
    int find_socket(const svc_provider_t& provider);

    bool lost_ = false;
    bool typeless_ = false;
    std::chrono::seconds connect_limit_{30};
    std::chrono::milliseconds statement_limit_{0};
    std::string where_;
    int socket_ = -1;  // the connection's socket, when known
    SQLUSMALLINT commit_behavior_ = SQL_CB_CLOSE;
    SQLUSMALLINT rollback_behavior_ = SQL_CB_CLOSE;
};

}  // namespace tovi::odbc

#endif
