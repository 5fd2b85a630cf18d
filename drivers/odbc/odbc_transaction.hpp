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
    // A connection lost to its server connects again before it hands out a
    // statement.
    impl::statement* acquire_statement(const std::string& sql,
                                       const data_aware_command* command) override {
        owner.reconnect_if_lost();
        return transaction_base::acquire_statement(sql, command);
    }
    // A statement abandoned when the connection was lost is destroyed, not cached.
    void release_statement(impl::statement* s) override;
    // Statements in use are reset and the free ones dropped first; a failure
    // leaves untranslated.
    void commit() override;
    void rollback() override;
    // Rolls back this transaction's changes when it is destroyed unended, unless
    // another transaction of the connection has changes in the same native
    // transaction (then it is theirs to end).
    void finish() override;
    // A statement of this transaction changed data.
    void changed() { changed_ = true; }

private:
    void end(SQLSMALLINT how);

    bool changed_ = false;
};

}  // namespace tovi::odbc

#endif
