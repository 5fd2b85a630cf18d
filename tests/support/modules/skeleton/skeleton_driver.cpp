// The skeleton driver's native work: SQLite, each call through the fault plan.
#include "skeleton_driver.hpp"

#include <type_traits>

namespace tovi::skeleton {

using tovi_test::native_op;

thread_local const char* injected_failure = nullptr;

exception native_error(sqlite3* db, int rc) {
    if (injected_failure != nullptr)
        return exception(std::string("injected ") + injected_failure + " failure", rc);
    return exception(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc), rc);
}

namespace {
int exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}
}  // namespace

void driver::check_service(const svc_provider_t&, const service_t& s) {
    if (s.server.empty()) throw ds_exception("No database is named.");
}

// --- connection: open and close the native connection

connection::connection(DataBase& database_, const session_t& s) : connection_base(database_, s) {
    const std::string& file = database_.get_service().server;
    const int rc = native_call(native_op::connect, [&] { return sqlite3_open(file.c_str(), &db); });
    if (rc != SQLITE_OK) {
        exception e = native_error(db, rc);
        sqlite3_close(db);
        db = nullptr;
        throw e;  // an open failure leaves untranslated
    }
    sqlite3_busy_timeout(db, 5000);
}

connection::~connection() {
    sqlite3_close(db);
}

void connection::close() {
    const int rc = native_call(native_op::close, [] { return SQLITE_OK; });
    if (rc != SQLITE_OK) throw native_error(db, rc);
}

// --- transaction: BEGIN before the first change, COMMIT, ROLLBACK

transaction::transaction(impl::TxnType type, connection& owner_) : transaction_base(type, owner_) {}

void transaction::activate() {
    if (active_) return;
    if (sqlite3_get_autocommit(owner.db) != 0) {
        const int rc = native_call(native_op::execute, [&] { return exec(owner.db, "BEGIN"); });
        if (rc != SQLITE_OK) fail(native_error(owner.db, rc));
    }
    active_ = true;
}

void transaction::forget_if_ended() noexcept {
    if (sqlite3_get_autocommit(owner.db) != 0)
        owner.for_each_transaction([](transaction& t) { t.active_ = false; });
}

void transaction::end(const char* sql, native_op op) {
    if (!active_) return;
    // A query with rows left reads on past a commit (SQLite keeps it open).
    end_statements(op == native_op::commit);
    if (sqlite3_get_autocommit(owner.db) == 0) {
        const int rc = native_call(op, [&] { return exec(owner.db, sql); });
        if (rc != SQLITE_OK) {
            forget_if_ended();
            fail(native_error(owner.db, rc));
        }
    }
    owner.for_each_transaction([](transaction& t) { t.active_ = false; });
}

void transaction::commit() {
    end("COMMIT", native_op::commit);
}
void transaction::rollback() {
    end("ROLLBACK", native_op::rollback);
}
void transaction::finish() {
    // Destroyed unended: rolled back, unless another transaction of the
    // connection still works in the same native transaction.
    bool shared = false;
    owner.for_each_transaction(
        [&](transaction& t) { shared = shared || (&t != this && t.active_); });
    if (shared) {
        active_ = false;
        return;
    }
    end("ROLLBACK", native_op::rollback);
}

// --- statement: prepared on first use, reset for every run

statement::statement(const data_aware_command* command_, unsigned int options_, transaction& owner_)
    : statement_base(command_, options_, owner_), bind_(in, this), define_(out, this) {}

statement::~statement() {
    finalize();
}

sqlite3* statement::db() const {
    return owner->get_owner().db;
}

void statement::finalize() noexcept {
    sqlite3_finalize(native_);
    native_ = nullptr;
}

void statement::reused() {
    if (native_ != nullptr) sqlite3_clear_bindings(native_);
}

void statement::ready_for_binding() {
    at_end = false;
    if (native_ != nullptr) {
        sqlite3_reset(native_);
        check_parameter_count(static_cast<std::size_t>(sqlite3_bind_parameter_count(native_)));
        return;
    }
    sqlite3_stmt* prepared = nullptr;
    const int rc = native_call(native_op::prepare, [&] {
        return sqlite3_prepare_v2(db(), native_sql.c_str(), static_cast<int>(native_sql.size()),
                                  &prepared, nullptr);
    });
    if (rc != SQLITE_OK || prepared == nullptr) {
        sqlite3_finalize(prepared);
        fail(native_error(db(), rc != SQLITE_OK ? rc : SQLITE_MISUSE));
    }
    native_ = prepared;
    query_ = sqlite3_column_count(prepared) > 0;
    check_parameter_count(static_cast<std::size_t>(sqlite3_bind_parameter_count(native_)));
}

int statement::step(native_op op) {
    const int rc = native_call(op, [&] { return sqlite3_step(native_); });
    if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
    const exception e = native_error(db(), rc);
    finalize();  // prepared afresh next time
    owner->forget_if_ended();
    fail(e);
}

void statement::execute() {
    if (native_ == nullptr) ready_for_binding();  // (binding prepares it first)
    at_end = false;
    cursor_closed = false;
    if (is_ddl(kind)) {
        owner->get_cache().purge();
        step(native_op::execute);
        finalize();
        at_end = true;
    } else if (!query_) {
        owner->activate();
        step(native_op::execute);
        at_end = true;
    }
}

bool statement::next() {
    if (no_more_rows() || native_ == nullptr) return false;
    check_column_count(static_cast<std::size_t>(sqlite3_column_count(native_)));
    if (step(native_op::fetch) == SQLITE_ROW) return true;
    at_end = true;
    return false;
}

bool statement::reading() const {
    return native_ != nullptr && !at_end && sqlite3_stmt_readonly(native_) != 0;
}

void statement::reset() {
    at_end = true;
    if (native_ == nullptr) return;
    // Other APIs can fail a reset (an ODBC cancel can): the plan may fail it here.
    // (sqlite3_reset itself repeats the last step's error, which is no failure.)
    if (native_call(native_op::reset, [] { return SQLITE_OK; }) != SQLITE_OK)
        fail(native_error(db(), SQLITE_IOERR));
    sqlite3_reset(native_);
}

// --- bindings: one rule per kind

namespace {
int bind_value(sqlite3_stmt* s, int p, long v) {
    return sqlite3_bind_int64(s, p, v);
}
int bind_value(sqlite3_stmt* s, int p, bool v) {
    return sqlite3_bind_int64(s, p, v ? 1 : 0);
}
int bind_value(sqlite3_stmt* s, int p, double v) {
    return sqlite3_bind_double(s, p, v);
}
int bind_value(sqlite3_stmt* s, int p, const std::string& v) {
    return sqlite3_bind_text64(s, p, v.data(), v.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}
int bind_value(sqlite3_stmt* s, int p, const tm& v) {
    tovi::driver::check_date(v);
    return sqlite3_bind_int64(s, p, tm2time_t(v));
}
int bind_value(sqlite3_stmt* s, int p, const _variant_t& v) {
    tovi::driver::scalar value;
    tovi::driver::from_variant(v, value);
    switch (value.kind) {
        case tovi::driver::value_kind::null:
            return sqlite3_bind_null(s, p);
        case tovi::driver::value_kind::integer:
        case tovi::driver::value_kind::boolean:
            return bind_value(s, p, value.integer);
        case tovi::driver::value_kind::real:
            return bind_value(s, p, value.real);
        case tovi::driver::value_kind::date_time:
            return bind_value(s, p, value.date);
        case tovi::driver::value_kind::bytes:
            return sqlite3_bind_blob64(s, p, value.text.data(), value.text.size(),
                                       SQLITE_TRANSIENT);
        default:
            return bind_value(s, p, value.text);
    }
}

// The column as the framework's rules read it.
tovi::driver::cell column(sqlite3_stmt* s, int c) {
    tovi::driver::cell out;
    switch (sqlite3_column_type(s, c)) {
        case SQLITE_INTEGER:
            out.kind = tovi::driver::value_kind::integer;
            out.integer = static_cast<long>(sqlite3_column_int64(s, c));
            break;
        case SQLITE_FLOAT:
            out.kind = tovi::driver::value_kind::real;
            out.real = sqlite3_column_double(s, c);
            break;
        case SQLITE_TEXT:
            out.kind = tovi::driver::value_kind::text;
            out.data = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
            out.size = static_cast<std::size_t>(sqlite3_column_bytes(s, c));
            break;
        case SQLITE_BLOB:
            out.kind = tovi::driver::value_kind::bytes;
            out.data = static_cast<const char*>(sqlite3_column_blob(s, c));
            out.size = static_cast<std::size_t>(sqlite3_column_bytes(s, c));
            break;
        default:
            break;
    }
    return out;
}
}  // namespace

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::get_value() {
    const int p = this->position + 1;
    const int rc = native_call(native_op::bind, [&] {
        return this->owner_is_null() ? sqlite3_bind_null(stmt(), p)
                                     : bind_value(stmt(), p, this->data_);
    });
    if (rc != SQLITE_OK) this->statement_->fail(native_error(this->statement_->db(), rc));
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::set_value() {
    if (this->is_parameter()) return;
    const bool is_null = sqlite3_column_type(stmt(), this->position) == SQLITE_NULL;
    if constexpr (std::is_same_v<T, _variant_t>) {
        if (is_null) {
            this->data_.Clear();
            if (this->owner != nullptr) this->owner->is_null = true;
            return;
        }
    } else if constexpr (std::is_same_v<T, std::string>) {
        if (is_null) this->data_.clear();
    }
    if (this->record_null(is_null)) read_into(column(stmt(), this->position), this->data_);
}

TOVI_DRIVER_SCALAR_BINDINGS(binding);

void lob_binding::bind_now(const std::string& data) {
    sqlite3_stmt* s = statement_->current();
    const int rc = native_call(native_op::bind, [&] {
        return is_blob ? sqlite3_bind_blob64(s, position + 1, data.data(), data.size(),
                                             SQLITE_TRANSIENT)
                       : sqlite3_bind_text64(s, position + 1, data.data(), data.size(),
                                             SQLITE_TRANSIENT, SQLITE_UTF8);
    });
    if (rc != SQLITE_OK) statement_->fail(native_error(statement_->db(), rc));
}

void lob_binding::get_value() {
    if (sends_null()) {
        const int rc = native_call(native_op::bind, [&] {
            return sqlite3_bind_null(statement_->current(), position + 1);
        });
        if (rc != SQLITE_OK) statement_->fail(native_error(statement_->db(), rc));
        return;
    }
    if (!fetched) bind_now(buffer);
}

void lob_binding::set_value() {
    if (factory->get_direction() == in) return;
    sqlite3_stmt* s = statement_->current();
    buffer.clear();
    if (record_null(sqlite3_column_type(s, position) == SQLITE_NULL)) {
        const void* data = is_blob ? sqlite3_column_blob(s, position)
                                   : static_cast<const void*>(sqlite3_column_text(s, position));
        if (data != nullptr)
            buffer.assign(static_cast<const char*>(data),
                          static_cast<std::size_t>(sqlite3_column_bytes(s, position)));
    }
    fetched = true;
}

}  // namespace tovi::skeleton
