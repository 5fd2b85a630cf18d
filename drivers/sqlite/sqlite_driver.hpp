// tovi_sqlite.so: SQLite 3 database files through the SQLite C library, on the
// shared driver framework.
#ifndef TOVI_DRIVERS_SQLITE_SQLITE_DRIVER_HPP
#define TOVI_DRIVERS_SQLITE_SQLITE_DRIVER_HPP

#include <sqlite3.h>

#include <string>

#include "framework.hpp"

namespace tovi::sqlite {

class statement;

// Native failure: sqlite3_errmsg of the connection, with the SQLite code.
exception native_error(sqlite3* db, int code);

// --- bindings

class binding_factory;

// What every binding shares: its position and the statement it works on.
class binding : public impl::value_t {
public:
    binding(impl::value_factory& f, tovi::value_t* owner, unsigned short position);
    ~binding() override = default;
    void sync_position() override;

protected:
    sqlite3_stmt* native() const;
    int parameter() const { return position + 1; }
    void check(int rc) const {
        if (rc != SQLITE_OK) fail(rc);
    }
    [[noreturn]] void fail(int rc) const;
    // The fetch rule every kind shares: false when the column is NULL (the
    // owner's flag says so; without an owner tovi::value_is_null). Nothing at all
    // for an input factory: returns false then too.
    bool fetch_present();
    // Records a fetched column's NULL state (on the owner, or tovi::value_is_null
    // without one); true when the column holds a value.
    bool record_null(bool is_null);
    // The bind rule of scalars: true (and NULL bound) when the owner is NULL.
    bool bind_null_if_owner_null();
    // How SQLite is to keep bound text (see statement::bind_lifetime).
    sqlite3_destructor_type lifetime() const;

    unsigned short position;
    bool null_mark;
    statement* statement_;  // the statement whose factory made this binding
};

// Whole numbers, bound and read at 64 bits.
class integer_binding : public binding {
public:
    integer_binding(impl::value_factory& f, long& data, tovi::value_t* owner, unsigned short position);
    void get_value() override;
    void set_value() override;
    void release() override;

private:
    long& data_;
};

// Booleans: 1 or 0 out, non-zero is true in.
class boolean_binding : public binding {
public:
    boolean_binding(impl::value_factory& f, bool& data, tovi::value_t* owner, unsigned short position);
    void get_value() override;
    void set_value() override;
    void release() override;

private:
    bool& data_;
};

class real_binding : public binding {
public:
    real_binding(impl::value_factory& f, double& data, tovi::value_t* owner, unsigned short position);
    void get_value() override;
    void set_value() override;
    void release() override;

private:
    double& data_;
};

class text_binding : public binding {
public:
    text_binding(impl::value_factory& f, std::string& data, tovi::value_t* owner, unsigned short position);
    void get_value() override;
    void set_value() override;
    void release() override;

private:
    std::string& data_;
};

class date_time_binding : public binding {
public:
    date_time_binding(impl::value_factory& f, tm& data, tovi::value_t* owner, unsigned short position);
    void get_value() override;
    void set_value() override;
    void release() override;

private:
    tm& data_;
};

class variant_binding : public binding {
public:
    variant_binding(impl::value_factory& f, _variant_t& data, tovi::value_t* owner, unsigned short position);
    void get_value() override;
    void set_value() override;
    void release() override;

private:
    _variant_t& data_;
    std::string scratch_;
};

class lob_binding : public impl::lob_t {
public:
    lob_binding(impl::value_factory& f, tovi::lob_t* owner, unsigned short position, bool is_blob);
    ~lob_binding() override = default;

    void get_value() override;
    void set_value() override;
    void sync_position() override;
    void release() override;
    unsigned get_length() override;
    void set_length(unsigned length) override;
    std::string get_portion(unsigned offset, unsigned length) override;
    void set_portion(unsigned offset, const std::string& data) override;
    std::string get_entire() override;
    void set_entire(const std::string& data) override;

private:
    sqlite3_stmt* native() const;
    void bind_bytes(const std::string& bytes, sqlite3_destructor_type lifetime);

    unsigned short position;
    bool is_blob;
    int state;  // 0 empty, 1 length set, 2 data pending
    bool has_data;
    bool fetched;  // `buffer` holds the last fetched row's column
    std::string buffer;
    bool empty;
};

struct binding_kinds {
    using base = binding;
    using boolean = boolean_binding;
    using integer = integer_binding;
    using real = real_binding;
    using text = text_binding;
    using date_time = date_time_binding;
    using lob = lob_binding;
    using variant = variant_binding;
};

// A statement's bind (direction in) or define (direction out) factory.
class binding_factory : public driver::basic_factory<binding_kinds> {
public:
    binding_factory(Direction d, statement* owner) : basic_factory(d), owner_(owner) {}
    // Bind factory: reset or prepare the native statement, then bind every value.
    // Define factory: nothing.
    void get_value() override;
    // Nothing flows back into an input factory's values: skip the walk.
    void set_value() override {
        if (direction == in) return;
        for (impl::value_t* b : bindings) b->set_value();  // call_setValue(), on the hot path
    }
    statement* get_statement() const { return owner_; }

private:
    statement* owner_;
};

// --- framework classes

class connection : public tovi::connection {
public:
    // Opens the database file (a failure leaves as the native error) and switches
    // synchronous writes off.
    connection(DataBase& db, const session_t& s);
    // Closes the database; errors are ignored.
    ~connection() override;
    impl::transaction* create_transaction(impl::TxnType type) override;
    void destroy_transaction(impl::transaction* t) override;

    sqlite3* db;
    int transactions;
};

class transaction : public driver::transaction_base {
public:
    transaction(impl::TxnType type, connection& owner);
    ~transaction() override;
    void start() override {}
    // COMMIT / ROLLBACK when a native transaction is open (statements in use are
    // reset and the free ones dropped first).
    void commit() override;
    void rollback() override;
    // Ends an open native transaction (keeping its changes).
    void finish() override;
    driver::statement_base* new_statement(const data_aware_command* command) override;

    // BEGIN, unless this transaction's work is already in an open native one.
    void activate() {
        if (!active_) begin();
    }
    // After a failure: SQLite may have rolled its transaction back by itself
    // (a full disk, INSERT OR ROLLBACK, ...). Every transaction of the
    // connection then knows that nothing is open any more.
    void native_state_changed() noexcept;
    sqlite3* db() const { return db_; }

private:
    void begin();
    void end(const char* sql);
    // The native transaction is over: no transaction of the connection is active.
    void ended() noexcept;

    bool active_;
    sqlite3* db_;
};

class describe;

class statement : public driver::statement_base {
public:
    statement(const data_aware_command* command, unsigned int options, transaction& owner);
    ~statement() override;

    void prepare(const std::string& sql) override;
    void execute() override;
    // Back to the start; no rows until the statement is executed again.
    void reset() override;
    void flush() override {}
    bool next() override;
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }
    // A new command binds from scratch: the earlier command's values are cleared.
    void reused() override;

    // The native statement, prepared now if it is not.
    sqlite3_stmt* native();
    sqlite3_stmt* current() const { return native_; }
    // Before binding: reset a prepared statement, else prepare one.
    void ready_for_binding();
    void ensure_prepared();
    // Bound text need not be copied when the statement runs to its end within
    // execute() (anything that returns no rows): the application's storage is read
    // then and bound afresh before the next run. A query is stepped later, by
    // next(), while the application may change its strings: SQLite copies them.
    sqlite3_destructor_type bind_lifetime() const { return query_ ? SQLITE_TRANSIENT : SQLITE_STATIC; }

protected:
    impl::describe* make_describe() override;
    void destroy_describe(impl::describe* d) override;
    const char* driver_tag() const override { return "tovi_sqlite"; }

private:
    int step();
    // A failed step: translated with the statement's context (cold path).
    [[noreturn]] __attribute__((noinline, cold)) void step_failed(int rc);
    // A define beyond the result's columns is an error, not a silent NULL.
    void check_defines();
    [[noreturn]] __attribute__((noinline, cold)) void too_many_defines() const;
    // Refuses text after the first statement other than blanks, comments and ";".
    void check_tail(const char* tail, const char* end);
    void finalize() noexcept;
    sqlite3* db() const;
    transaction& owner_transaction() const;

    sqlite3_stmt* native_;
    bool stepping_;
    bool ddl_;          // the kind, decided once at prepare
    bool query_;        // the native statement returns rows (whatever its first word)
    bool pending_row_;  // execute() already stepped to the first row; next() hands it out
    int columns_;       // result columns of the native statement
    binding_factory bind_;
    binding_factory define_;
};

// A description of a statement: no column metadata, no rows.
class describe : public impl::describe {
public:
    explicit describe(const recordset_t& source);
    bool next() override { return false; }
    impl::value_factory& get_bind() override { return bind_; }
    impl::value_factory& get_define() override { return define_; }

private:
    binding_factory bind_;
    binding_factory define_;
};

inline sqlite3_stmt* binding::native() const { return statement_->current(); }
inline sqlite3_destructor_type binding::lifetime() const { return statement_->bind_lifetime(); }

class database : public DataBase {
public:
    database(Repository& r, const service_t& s) : DataBase(r, s) {}
    tovi::connection* create_connection(const session_t& s) override;
    void destroy_connection(tovi::connection* c) override;
};

class repository : public Repository {
public:
    using Repository::Repository;
    ~repository() override;
    DataBase* create_database(const service_t& s) override;
    void destroy_database(DataBase* db) override;
};

class data_source : public DataSourceOld {
public:
    explicit data_source(url_t& url) : DataSourceOld(url) {}
    // tovi::ds_exception for an empty database name: SQLite would open a private
    // temporary database whose data vanish with the connection.
    DataBase* locate_database() override;
};

}  // namespace tovi::sqlite

#endif
