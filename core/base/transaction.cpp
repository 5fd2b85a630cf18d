// Transactions: the driver-side base, the application handle and auto_trans.
#include <tovi/data_source.hpp>
#include <tovi/exception.hpp>
#include <tovi/statement.hpp>
#include <tovi/transaction.hpp>

#include <exception>

#include "lifetimes.hpp"

namespace tovi {

namespace impl {
transaction::transaction(TxnType t) : use_count(0), type(t), auto_commit(t == txn_statement) {}
transaction::~transaction() = default;
}  // namespace impl

transaction::transaction(data_source& ds)
    : source(ds), impl(ds.get_connection().acquire_transaction_impl(impl::txn_explicit)) {
    depend_on_source();
}

transaction::transaction(data_source& ds, impl::transaction& t) : source(ds), impl(&t) {
    depend_on_source();
}

namespace {
data_source& source_of(statement& s) {
    if (s.trans == nullptr) throw bad_operation("The statement works in no transaction.", 0);
    return s.trans->get_data_source();
}
}  // namespace

transaction::transaction(statement& s)
    : source(source_of(s)),
      impl(source.get_connection().acquire_transaction_impl(impl::txn_statement)) {
    depend_on_source();
}

void transaction::depend_on_source() {
    try {
        detail::lifetimes::add(&source, {this, &end_with_source});
    } catch (...) {
        if (impl->type != impl::txn_connection)
            detail::reporting_failure(
                [&] { source.get_connection().release_transaction_impl(impl); });
        throw;
    }
}

void transaction::end_with_source(void* self) {
    auto& t = *static_cast<transaction*>(self);
    detail::lifetimes::end_all(&t);  // the statements working in it go first
    impl::transaction* ending = t.impl;
    t.impl = nullptr;
    if (ending == nullptr || ending->type == impl::txn_connection) return;
    detail::reporting_failure([&] { ending->rollback(); });
    detail::reporting_failure([&] { t.source.get_connection().release_transaction_impl(ending); });
}

transaction::~transaction() {
    if (impl == nullptr) return;  // ended with its data source
    detail::lifetimes::remove(&source, this);
    detail::lifetimes::end_all(this);
    if (impl->type == impl::txn_connection) return;
    detail::reporting_failure([&] { source.get_connection().release_transaction_impl(impl); });
}

impl::transaction& transaction::live() const {
    if (impl == nullptr)
        throw bad_operation("The transaction has ended: its data source was destroyed.", 0);
    return *impl;
}

void transaction::commit() {
    live().commit();
}
void transaction::rollback() {
    live().rollback();
}
bool transaction::is_auto_commit() const {
    return live().auto_commit;
}
void transaction::set_auto_commit(bool b) {
    live().auto_commit = b;
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
