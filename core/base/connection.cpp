// connection: an open session, the data sources using it and its transactions.
#include <tovi/exception.hpp>
#include <tovi/repository.hpp>
#include <tovi/transaction.hpp>

#include <algorithm>

namespace tovi {

connection::connection(DataBase& db, const session_t& s)
    : database(db),
      session(s),
      opened(false),
      reserved(false),
      last_acquired(0),
      default_transaction(nullptr),
      use_count(0) {}

connection::~connection() = default;

void connection::open() {}
void connection::close() {}

void connection::init() {
    if (database.auto_transaction && default_transaction == nullptr) {
        default_transaction = create_transaction(impl::txn_connection);
        transactions.push_back(default_transaction);
    }
}

void connection::done() {
    if (default_transaction == nullptr) return;
    impl::transaction* t = default_transaction;
    default_transaction = nullptr;
    transactions.erase(std::remove(transactions.begin(), transactions.end(), t),
                       transactions.end());
    destroy_transaction(t);
}

void connection::attach(const data_source& ds) {
    attached.insert(&ds);
    last_acquired = std::time(nullptr);
    ++use_count;
}

void connection::detach(const data_source& ds) {
    attached.erase(&ds);
    --use_count;
}

impl::transaction* connection::acquire_transaction_impl(impl::TxnType type) {
    impl::transaction* t = create_transaction(type);
    transactions.push_back(t);
    return t;
}

void connection::release_transaction_impl(impl::transaction* t) {
    auto it = std::find(transactions.begin(), transactions.end(), t);
    if (it == transactions.end())
        throw exception("Wrong transaction handler. Unable to release it.", 0);
    transactions.erase(it);
    if (t == default_transaction) default_transaction = nullptr;
    destroy_transaction(t);
}

void connection::commit_all_transactions() {
    for (impl::transaction* t : transactions) t->commit();
}

void connection::rollback_all_transactions() {
    for (impl::transaction* t : transactions) t->rollback();
}

}  // namespace tovi
