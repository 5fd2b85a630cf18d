// Statements: lazily prepared native statements, reset and reused through the
// transaction's cache; stepping for execution and fetching.
#include "sqlite_driver.hpp"

namespace tovi::sqlite {

void binding_factory::get_value() {
    if (direction == out || owner_ == nullptr) return;  // a define factory sends nothing
    owner_->ready_for_binding();
    for (impl::value_t* b : bindings) b->get_value();  // call_getValue(), on the hot path
}

statement::statement(const data_aware_command* command_, unsigned int options_, transaction& owner_)
    : statement_base(command_, options_, owner_),
      native_(nullptr),
      stepping_(false),
      ddl_(false),
      prepares_(0),
      bind_(in, this),
      define_(out, this) {}

statement::~statement() {
    try {
        if (native_ != nullptr) sqlite3_reset(native_);
    } catch (...) {
    }
    finalize();
}

sqlite3* statement::db() const { return static_cast<transaction*>(owner)->db(); }

void statement::finalize() noexcept {
    if (native_ != nullptr) sqlite3_finalize(native_);
    native_ = nullptr;
}

void statement::ready_for_binding() {
    // The usual case: a healthy statement, reset for its next run.
    if (native_ != nullptr && !stepping_) {
        const int rc = sqlite3_reset(native_);
        if (rc != SQLITE_OK) fail(native_error(db(), rc));
        at_end = false;
        return;
    }
    ensure_prepared();
}

void statement::ensure_prepared() {
    if (native_ != nullptr) reset();
    if (native_ != nullptr) return;
    sqlite3_stmt* prepared = nullptr;
    const int rc = sqlite3_prepare_v2(db(), native_sql.c_str(), static_cast<int>(native_sql.size()),
                                      &prepared, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(prepared);
        fail(native_error(db(), rc));
    }
    finalize();
    native_ = prepared;
    stepping_ = false;
    ++prepares_;
}

sqlite3_stmt* statement::native() {
    if (native_ == nullptr) ensure_prepared();
    return native_;
}

void statement::reset() {
    if (native_ != nullptr) {
        // A failed step leaves the statement to be prepared again next time. (A
        // statement made stale by a schema change is prepared again by SQLite
        // itself: sqlite3_prepare_v2 statements never report expiry.)
        if (stepping_) {
            finalize();
        } else {
            const int rc = sqlite3_reset(native_);
            if (rc != SQLITE_OK) fail(native_error(db(), rc));
        }
    }
    at_end = false;
}

inline int statement::step() {
    stepping_ = true;
    const int rc = sqlite3_step(native_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE && rc != SQLITE_OK) step_failed(rc);
    stepping_ = false;  // a failed step leaves it set: the statement is prepared again
    return rc;
}

void statement::step_failed(int rc) {
    fail(native_error(sqlite3_db_handle(native_), rc));
}

void statement::prepare(const std::string& sql) {
    statement_base::prepare(sql);
    ddl_ = is_ddl(kind);
}

void statement::execute() {
    at_end = false;
    if (native_ == nullptr) ensure_prepared();  // (binding prepares it first)
    if (ddl_) {
        try {
            owner->get_cache().purge();
        } catch (const exception& e) {
            fail(e);
        }
        at_end = step() == SQLITE_DONE;
        finalize();  // a schema change: prepared afresh every time
    } else if (kind != stmt_select) {
        static_cast<transaction*>(owner)->activate();
        at_end = step() == SQLITE_DONE;
    }
}

bool statement::next() {
    if (at_end || kind != stmt_select) return false;
    if (native_ == nullptr) ensure_prepared();
    const int rc = step();
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) at_end = true;
    return false;
}

impl::describe* statement::make_describe() { return new describe(*this); }
void statement::destroy_describe(impl::describe* d) { delete d; }

describe::describe(const recordset_t& source_)
    : impl::describe(source_), bind_(in, nullptr), define_(out, nullptr) {}

}  // namespace tovi::sqlite
