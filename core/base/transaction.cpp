// Transactions: the driver-side base, the application handle and auto_trans.
#include <tovi/data_source.hpp>
#include <tovi/exception.hpp>
#include <tovi/statement.hpp>
#include <tovi/transaction.hpp>

#include <exception>

namespace tovi {

namespace impl {
transaction::transaction(TxnType t) : use_count(0), type(t), auto_commit(t == txn_statement) {}
transaction::~transaction() = default;
}  // namespace impl

transaction::transaction(data_source& ds)
    : source(ds), impl(ds.get_connection().acquire_transaction_impl(impl::txn_explicit)) {}

transaction::transaction(data_source& ds, impl::transaction& t) : source(ds), impl(&t) {}

namespace {
data_source& source_of(statement& s) {
    if (s.trans == nullptr) throw bad_operation("The statement works in no transaction.", 0);
    return s.trans->get_data_source();
}
}  // namespace

transaction::transaction(statement& s)
    : source(source_of(s)),
      impl(source.get_connection().acquire_transaction_impl(impl::txn_statement)) {}

transaction::~transaction() {
    if (impl == nullptr || impl->type == impl::txn_connection) return;
    try {
        source.get_connection().release_transaction_impl(impl);
    } catch (const exception& e) {
        utils::reportError(0, e.get_error_text().c_str());
    } catch (...) {
    }
}

void transaction::commit() {
    impl->commit();
}
void transaction::rollback() {
    impl->rollback();
}
bool transaction::is_auto_commit() const {
    return impl->auto_commit;
}
void transaction::set_auto_commit(bool b) {
    impl->auto_commit = b;
}

auto_trans::~auto_trans() noexcept(false) {
    if (pending) {
        try {
            trans->rollback();
        } catch (const exception& e) {
            utils::reportError(0, e.get_error_text().c_str());
        } catch (...) {
        }
        return;
    }
    try {
        trans->commit();
    } catch (const exception& e) {
        // Thrown only when no other exception is in flight (throwing then would
        // end the process); otherwise it is reported.
        if (std::uncaught_exceptions() == 0) throw;
        utils::reportError(0, e.get_error_text().c_str());
    } catch (...) {
        if (std::uncaught_exceptions() == 0) throw;
    }
}

}  // namespace tovi
