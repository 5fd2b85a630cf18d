// A transaction: one native transaction for its whole life, committed and
// rolled back retaining; data definition ends and restarts it.
#ifndef TOVI_DRIVERS_IBEMB_IB_TRANSACTION_HPP
#define TOVI_DRIVERS_IBEMB_IB_TRANSACTION_HPP

#include "ib_connection.hpp"

namespace tovi::ib {

class transaction : public tovi::driver::transaction_base<driver> {
public:
    // Starts the native transaction (write, read committed, record version).
    transaction(impl::TxnType type, connection& owner);
    // Rolls back whatever is open; failures are of no use here.
    ~transaction() override;
    impl::statement* acquire_statement(const std::string& sql,
                                       const data_aware_command* command) override;
    void start() override {}
    void commit() override;    // commit-retaining
    void rollback() override;  // rollback-retaining
    void finish() override {}
    // Ends the native transaction (commit or rollback), marks every statement's
    // cursor closed and starts a new one.
    void full_commit();
    void full_rollback();
    // SET TRANSACTION: the native transaction is committed fully and `sql` starts
    // its successor (with the default one started again if it fails).
    void restart_as(const std::string& sql);
    // A statement changed data: there is work to commit.
    void changed() { pending_ = true; }
    // Before data definition on another transaction of the connection: a
    // transaction with nothing pending and no statement in use ends fully and
    // starts again, so that the tables it used are no longer "in use" (a
    // retaining commit keeps them so).
    void let_go_of_tables();

    isc_tr_handle tr = 0;

private:
    void begin();
    template <class End>
    void end_fully(End end);
    param_buffer tpb_;
    bool pending_ = false;
};

}  // namespace tovi::ib

#endif
