// tovi_SQLITE_EMB.so, the skeleton driver: the smallest driver on the
// framework, to copy when writing a new one, and a fault injector for the tests.
//
// Its "native API" is SQLite, called the plainest way. Every native call goes
// through native_call(), which asks the shared fault plan first: a test can make
// the N-th connect, prepare, bind, execute, fetch, commit, rollback, close or
// reset fail and check that tovi ends in success or a clean, classified error.
//
// A new driver replaces the SQLite calls with its own API and splits this file
// into one pair per class (see drivers/sqlite and docs/writing-a-driver.md).
#ifndef TOVI_TESTS_SUPPORT_MODULES_SKELETON_SKELETON_DRIVER_HPP
#define TOVI_TESTS_SUPPORT_MODULES_SKELETON_SKELETON_DRIVER_HPP

#include <sqlite3.h>

#include <string>

#include <tovi/driver/framework.hpp>
#include "modules/fault_plan.hpp"

namespace tovi::skeleton {

class connection;
class transaction;
class statement;
struct binding_kinds;

// The traits the framework reads (see drivers/common/framework.hpp).
struct driver {
    using connection = skeleton::connection;
    using transaction = skeleton::transaction;
    using statement = skeleton::statement;
    using factory = tovi::driver::binding_factory<driver>;
    using bindings = binding_kinds;
    using repository_key = tovi::driver::one_repository;
    static constexpr const char* tag = "tovi_skeleton";
    static constexpr bool start_on_create = true;
    static constexpr bool reset_on_release = true;
    static void check_service(const svc_provider_t&, const service_t& s);
};

// The failure the fault plan injected last (null after a real native call).
extern thread_local const char* injected_failure;

// A native call that the fault plan may make fail: SQLITE_IOERR then, and
// native_error() says "injected <op> failure".
template <class F>
int native_call(tovi_test::native_op op, F call) {
    if (tovi_test::faults().should_fail(op)) {
        injected_failure = tovi_test::name_of(op);
        return SQLITE_IOERR;
    }
    injected_failure = nullptr;
    return call();
}
// The failure of the last native call, as a tovi exception with SQLite's code.
exception native_error(sqlite3* db, int rc);

class connection : public tovi::driver::connection_base<driver> {
public:
    connection(DataBase& db, const session_t& s);  // connect
    ~connection() override;
    void close() override;  // close: what the fault plan can make fail
    sqlite3* db = nullptr;
};

class transaction : public tovi::driver::transaction_base<driver> {
public:
    transaction(impl::TxnType type, connection& owner);
    void start() override {}
    void commit() override;
    void rollback() override;
    void finish() override;
    // BEGIN before the first change (joining one another transaction began).
    void activate();
    // SQLite ended the native transaction (a failure rolled it back).
    void forget_if_ended() noexcept;

private:
    void end(const char* sql, tovi_test::native_op op);
    bool active_ = false;
};

class statement : public tovi::driver::statement_base<driver> {
public:
    statement(const data_aware_command* command, unsigned int options, transaction& owner);
    ~statement() override;
    void execute() override;
    void reset() override;
    bool reading() const;  // a query with rows left
    void flush() override {}
    bool next() override;
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }
    void reused();
    void ready_for_binding();
    sqlite3_stmt* current() const { return native_; }
    sqlite3* db() const;

private:
    int step(tovi_test::native_op op);
    void finalize() noexcept;
    sqlite3_stmt* native_ = nullptr;
    bool query_ = false;
    tovi::driver::binding_factory<driver> bind_;
    tovi::driver::binding_factory<driver> define_;
};

// Scalars: one class per kind over the framework's typed binding.
template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
class binding : public tovi::driver::typed_binding<driver, T, Free> {
public:
    using tovi::driver::typed_binding<driver, T, Free>::typed_binding;
    void get_value() override;
    void set_value() override;

private:
    sqlite3_stmt* stmt() const { return this->statement_->current(); }
};

class lob_binding : public tovi::driver::lob_binding_base<driver> {
public:
    using lob_binding_base::get_value;
    using lob_binding_base::lob_binding_base;
    using lob_binding_base::set_value;
    void get_value() override;
    void set_value() override;

protected:
    void bind_now(const std::string& data) override;
};

struct binding_kinds : tovi::driver::typed_binding_set<binding, lob_binding> {};

}  // namespace tovi::skeleton

#endif
