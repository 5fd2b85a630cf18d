// A transaction: the connection runs in manual-commit mode; commit and rollback
// end the work with SQLEndTran.
#ifndef TOVI_DRIVERS_ODBC_ODBC_TRANSACTION_HPP
#define TOVI_DRIVERS_ODBC_ODBC_TRANSACTION_HPP

#include "odbc_connection.hpp"

namespace tovi::odbc {

class transaction : public tovi::driver::transaction_base<driver> {
public:
    transaction(impl::TxnType type, connection& owner);
    void start() override {}
    // Statements in use are reset and the free ones dropped first; a failure
    // leaves untranslated.
    void commit() override;
    void rollback() override;
    void finish() override {}

private:
    void end(SQLSMALLINT how);
};

}  // namespace tovi::odbc

#endif
