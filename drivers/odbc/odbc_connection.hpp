// A connection: SQLDriverConnect with the URL's connection string, manual commit.
#ifndef TOVI_DRIVERS_ODBC_ODBC_CONNECTION_HPP
#define TOVI_DRIVERS_ODBC_ODBC_CONNECTION_HPP

#include "odbc_driver.hpp"

namespace tovi::odbc {

class connection : public tovi::driver::connection_base<driver> {
public:
    // Connects (a failure leaves as the return-code rule's exception) and turns
    // autocommit off.
    connection(DataBase& db, const session_t& s);
    // Disconnects and frees the handle; errors are of no use here.
    ~connection() override;
    // Rolls back what is open (SQLEndTran).
    void close() override;

    // After a failed call: whether the driver now reports the connection dead
    // (the server went away); a lost connection connects again at its next
    // transaction.
    void check_alive();
    bool lost() const { return lost_; }
    // Connects again when the connection was lost and none of its statements is
    // in use (their handles die with the old connection); a failure leaves it lost.
    void reconnect_if_lost();

    handle dbc;

private:
    void connect();

    bool lost_ = false;
};

}  // namespace tovi::odbc

#endif
