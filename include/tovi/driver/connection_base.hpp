// The base of a driver's connection: it creates, counts and destroys the
// driver's transactions. The driver adds opening and closing its native
// connection (constructor and destructor).
#ifndef TOVI_DRIVER_CONNECTION_BASE_HPP
#define TOVI_DRIVER_CONNECTION_BASE_HPP

#include <tovi/tovi.hpp>

namespace tovi::driver {

template <class D>
class connection_base : public connection {
public:
    // A new D::transaction; start() is called at once unless
    // D::start_on_create is false (a driver whose transactions begin natively
    // in their constructor). A failing start destroys it again.
    impl::transaction* create_transaction(impl::TxnType type) override {
        auto* t = new typename D::transaction(type, self());
        if (D::start_on_create) {
            try {
                t->start();
            } catch (...) {
                delete t;
                throw;
            }
        }
        ++transactions;
        return t;
    }
    // finish() (its failure propagates after the transaction is deleted anyway).
    void destroy_transaction(impl::transaction* t) override {
        if (t == nullptr) return;
        auto* own = static_cast<typename D::transaction*>(t);  // every transaction here is ours
        try {
            own->finish();
        } catch (...) {
            delete own;
            --transactions;
            throw;
        }
        delete own;
        --transactions;
    }

    // Calls `f` with every transaction of this connection, as D::transaction.
    template <class F>
    void for_each_transaction(F f) const {
        for (impl::transaction* t : get_transactions())
            f(*static_cast<typename D::transaction*>(t));
    }

    // Transactions created and not yet destroyed.
    int transactions = 0;

protected:
    connection_base(DataBase& db, const session_t& s) : connection(db, s) {}

private:
    typename D::connection& self() { return static_cast<typename D::connection&>(*this); }
};

}  // namespace tovi::driver

#endif
