// Native transactions.
#include "ib_transaction.hpp"

#include "ib_bindings.hpp"  // the framework instantiates every class of the driver here

namespace tovi::ib {

transaction::transaction(impl::TxnType type, connection& owner_) : transaction_base(type, owner_) {
    tpb_.byte(isc_tpb_version3);
    tpb_.byte(isc_tpb_write);
    tpb_.byte(isc_tpb_read_committed);
    tpb_.byte(isc_tpb_rec_version);
    begin();
}

transaction::~transaction() {
    // The statements go first: their cursors belong to this transaction.
    cache.purge();
    ISC_STATUS_ARRAY ignored;
    if (tr != 0) quietly("Rolling back", [&] { isc_rollback_transaction(ignored, &tr); });
}

void transaction::begin() {
    isc_start_transaction(status(), &tr, 1, &owner.db, static_cast<unsigned short>(tpb_.size()),
                          tpb_.data());
    if (failed(status())) fail(native_error(status()));
}

impl::statement* transaction::acquire_statement(const std::string& sql,
                                                const data_aware_command* command) {
    impl::statement* s = transaction_base::acquire_statement(sql, command);
    static_cast<statement*>(s)->new_use();
    return s;
}

void transaction::commit() {
    isc_commit_retaining(status(), &tr);
    if (failed(status())) fail(native_error(status()));
    pending_ = false;
}

void transaction::rollback() {
    isc_rollback_retaining(status(), &tr);
    if (failed(status())) fail(native_error(status()));
    pending_ = false;
}

void transaction::let_go_of_tables() {
    if (pending_ || !cache.in_use().empty()) return;
    cache.purge();
    full_commit();
}

template <class End>
void transaction::end_fully(End end) {
    end(status(), &tr);
    if (failed(status())) fail(native_error(status()));
    tr = 0;
    pending_ = false;
    cache.for_each([](impl::string_stmt* s) { static_cast<statement*>(s)->transaction_ended(); });
    begin();
}

void transaction::restart_as(const std::string& sql) {
    isc_commit_transaction(status(), &tr);
    if (failed(status())) fail(native_error(status()));
    tr = 0;
    pending_ = false;
    cache.for_each([](impl::string_stmt* s) { static_cast<statement*>(s)->transaction_ended(); });
    isc_dsql_execute_immediate(status(), &owner.db, &tr, 0, sql.c_str(), 3, nullptr);
    if (failed(status())) {
        const auto e = native_error(status());
        tr = 0;
        begin();
        throw e;
    }
}

void transaction::full_commit() {
    end_fully(isc_commit_transaction);
}

void transaction::full_rollback() {
    end_fully(isc_rollback_transaction);
}

}  // namespace tovi::ib
