// A driver module for tests, loaded through the real loader under a module name
// the core knows and tovi does not deliver ("/ORACLE" -> tovi_ORACLE8.so). It
// records the calls it receives in the shared test log.
#include <tovi/tovi.hpp>

#include <memory>

#include "support/test_driver.hpp"
#include "test_log.hpp"

namespace {

using tovi_test::record;

class test_repository;
test_repository* repository = nullptr;  // module-wide, like a real driver's

class test_statement : public tovi::impl::string_stmt {
public:
    test_statement(const tovi::data_aware_command* cmd, unsigned options)
        : string_stmt(cmd, options), bind(tovi::in), define(tovi::out) {
        bind.on_free = define.on_free = [](const std::string& kind) { record("free " + kind); };
    }
    ~test_statement() override { record("delete statement " + key); }

    void prepare(const std::string& sql) override {
        key = sql;
        record("prepare " + sql);
    }
    int control(int) override { return 0; }
    void execute() override {
        record("execute " + key);
        if (tovi_test::control().execute_fails) throw tovi::exception("execution failed", 7);
        rows = {{tovi_test::cell::of("1")}, {tovi_test::cell::of("2")}};
        next_row = 0;
    }
    void reset() override { record("reset " + key); }
    void flush() override {}
    bool next() override {
        if (next_row >= rows.size()) return false;
        define.row = rows[next_row++];
        return true;
    }
    tovi::impl::value_factory& get_bind() override { return bind; }
    tovi::impl::value_factory& get_define() override { return define; }

    tovi_test::test_factory bind;
    tovi_test::test_factory define;
    std::vector<std::vector<tovi_test::cell>> rows;
    std::size_t next_row = 0;
};

class test_transaction : public tovi::impl::transaction {
public:
    explicit test_transaction(tovi::impl::TxnType t) : transaction(t) {}
    int enter() override { return 0; }
    tovi::impl::statement* acquire_statement(const std::string& sql,
                                             const tovi::data_aware_command* command) override {
        record("acquire_statement " + sql);
        auto* s = new test_statement(command, 1);
        s->prepare(sql);
        return s;
    }
    void release_statement(tovi::impl::statement* s) override {
        record("release_statement");
        s->reset();
        delete s;
    }
    void start() override { record("start " + std::to_string(type)); }
    void commit() override { record("commit " + std::to_string(type)); }
    void rollback() override { record("rollback " + std::to_string(type)); }
    void finish() override { record("finish " + std::to_string(type)); }
};

class test_connection : public tovi::connection {
public:
    test_connection(tovi::DataBase& db, const tovi::session_t& s) : connection(db, s) {
        record("create_connection " + s.user);
    }
    ~test_connection() override { record("delete connection"); }
    void open() override {
        record("open");
        if (tovi_test::control().open_fails) throw tovi::exception("driver cannot open", 42);
    }
    void close() override {
        record("close");
        if (tovi_test::control().close_fails) throw tovi::exception("driver cannot close", 43);
    }
    tovi::impl::transaction* create_transaction(tovi::impl::TxnType type) override {
        record("create_transaction " + std::to_string(type));
        auto* t = new test_transaction(type);
        t->start();
        return t;
    }
    void destroy_transaction(tovi::impl::transaction* t) override {
        record("destroy_transaction " + std::to_string(t->type));
        t->finish();
        delete t;
    }
};

class test_database : public tovi::DataBase {
public:
    test_database(tovi::Repository& r, const tovi::service_t& s) : DataBase(r, s) {
        record("create_database " + s.server);
    }
    tovi::connection* create_connection(const tovi::session_t& s) override {
        return new test_connection(*this, s);
    }
    void destroy_connection(tovi::connection* c) override {
        record("destroy_connection");
        delete c;
    }
};

class test_repository : public tovi::Repository {
public:
    using Repository::Repository;
    tovi::DataBase* create_database(const tovi::service_t& s) override {
        auto* db = new test_database(*this, s);
        // A database named "manual" runs without connection-wide transactions.
        if (s.server == "manual") db->auto_transaction = false;
        return db;
    }
    void destroy_database(tovi::DataBase* db) override {
        record("destroy_database");
        delete db;
    }
};

class test_data_source : public tovi::DataSourceOld {
public:
    explicit test_data_source(tovi::url_t& url) : DataSourceOld(url) {}
    tovi::DataBase* locate_database() override {
        if (repository == nullptr) {
            repository = new test_repository(server, provider);
            repository->open();
        }
        return repository->get_database(service);
    }
};

// Counts the loads of this module.
struct announce {
    announce() { record("module loaded"); }
} announce_load;

}  // namespace

TOVI_MODULE_EXPORT tovi::data_source* createDataSource(tovi::url_t* url) {
    record("createDataSource");
    if (tovi_test::control().factory_throws) throw tovi::exception("factory failed", 1);
    if (tovi_test::control().factory_returns_null) return nullptr;
    return new test_data_source(*url);
}

TOVI_MODULE_EXPORT void before_module_unload() {
    record("before_module_unload");
    if (repository != nullptr) {
        repository->close();
        delete repository;
        repository = nullptr;
    }
}
