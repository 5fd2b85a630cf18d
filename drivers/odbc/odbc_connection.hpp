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

    handle dbc;
};

}  // namespace tovi::odbc

#endif
