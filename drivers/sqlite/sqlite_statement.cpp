// Statements: lazily prepared native statements, reset and reused through the
// transaction's cache; stepping for execution and fetching.
#include "sqlite_driver.hpp"

namespace tovi::sqlite {

void binding_factory::get_value() {
    if (direction == out || owner_ == nullptr) return;  // a define factory sends nothing
    owner_->ensure_prepared();
    call_getValue();
}

statement::statement(const data_aware_command* command_, unsigned int options_, transaction& owner_)
    : statement_base(command_, options_, owner_),
      native_(nullptr),
      stepping_(false),
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
        if (stepping_ || sqlite3_expired(native_)) {
            // A failed step or a stale statement is prepared again next time.
            finalize();
        } else {
            const int rc = sqlite3_reset(native_);
            if (rc != SQLITE_OK) fail(native_error(db(), rc));
        }
    }
    at_end = false;
}

int statement::step() {
    stepping_ = true;
    const int rc = sqlite3_step(native_);
    if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) {
        stepping_ = false;
        return rc;
    }
    throw native_error(sqlite3_db_handle(native_), rc);
}

void statement::execute() {
    at_end = false;
    try {
        if (native_ == nullptr) ensure_prepared();
        if (is_ddl(kind)) {
            owner->get_cache().purge();
            at_end = step() == SQLITE_DONE;
            finalize();  // a schema change: prepared afresh every time
        } else if (kind != stmt_select) {
            static_cast<transaction*>(owner)->activate();
            at_end = step() == SQLITE_DONE;
        }
    } catch (const exception& e) {
        fail(e);
    }
}

bool statement::next() {
    if (at_end || kind != stmt_select) return false;
    try {
        if (native_ == nullptr) ensure_prepared();
        const int rc = step();
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) at_end = true;
        return false;
    } catch (const exception& e) {
        fail(e);
    }
}

impl::describe* statement::make_describe() { return new describe(*this); }
void statement::destroy_describe(impl::describe* d) { delete d; }

describe::describe(const recordset_t& source_)
    : impl::describe(source_), bind_(in, nullptr), define_(out, nullptr) {}

}  // namespace tovi::sqlite
