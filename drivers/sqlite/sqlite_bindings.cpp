// One binding class per value kind: values to parameters before execution,
// columns to values after each fetch.
#include "sqlite_bindings.hpp"

#include "sqlite_errors.hpp"

namespace tovi::sqlite {

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::fail(int rc) const {
    if (this->statement_ == nullptr) throw exception(sqlite3_errstr(rc), rc);
    this->statement_->fail(native_error(sqlite3_db_handle(native()), rc));
}

namespace {

using tovi::driver::cell;
using tovi::driver::value_kind;

// The current row's column: one call under the connection's lock, then reads of
// the value without it. A connection is used by one thread at a time, which is
// what makes those reads safe, and it saves a lock per column.
inline sqlite3_value* column(sqlite3_stmt* s, unsigned short position) {
    return sqlite3_column_value(s, position);
}

// A value of another kind than the variable's, for the framework's rules.
__attribute__((noinline)) cell cell_of(sqlite3_value* v, int type) {
    cell c;
    switch (type) {
        case SQLITE_INTEGER:
            c.kind = value_kind::integer;
            c.integer = static_cast<long>(sqlite3_value_int64(v));
            break;
        case SQLITE_FLOAT:
            c.kind = value_kind::real;
            c.real = sqlite3_value_double(v);
            break;
        case SQLITE_TEXT:
            c.kind = value_kind::text;
            c.data = reinterpret_cast<const char*>(sqlite3_value_text(v));
            c.size = static_cast<std::size_t>(sqlite3_value_bytes(v));
            break;
        case SQLITE_BLOB:
            c.kind = value_kind::bytes;
            c.data = static_cast<const char*>(sqlite3_value_blob(v));
            c.size = static_cast<std::size_t>(sqlite3_value_bytes(v));
            break;
        default:
            break;
    }
    return c;
}

}  // namespace

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::fetch_other(sqlite3_value* v, int type) {
    if (this->record_null(type == SQLITE_NULL)) read_into(cell_of(v, type), this->data_);
}

// --- integers and booleans: 64 bits wide, as long is

void integer_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    check(sqlite3_bind_int64(native(), parameter(), data_));
}

// set_value() is walked for result columns only: the parameters' factory
// (direction in) skips it.
void integer_binding::set_value() {
    sqlite3_value* v = column(native(), position);
    const int type = sqlite3_value_type(v);
    if (type != SQLITE_INTEGER) return fetch_other(v, type);
    record_value();
    data_ = static_cast<long>(sqlite3_value_int64(v));
}

void boolean_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    check(sqlite3_bind_int64(native(), parameter(), data_ ? 1 : 0));
}

void boolean_binding::set_value() {
    sqlite3_value* v = column(native(), position);
    const int type = sqlite3_value_type(v);
    if (record_null(type == SQLITE_NULL)) read_into(cell_of(v, type), data_);
}

// --- doubles

void real_binding::get_value() {
    if (bind_null_if_owner_null()) return;
    check(sqlite3_bind_double(native(), parameter(), data_));
}

void real_binding::set_value() {
    sqlite3_value* v = column(native(), position);
    const int type = sqlite3_value_type(v);
    if (type != SQLITE_FLOAT) return fetch_other(v, type);
    record_value();
    data_ = sqlite3_value_double(v);
}

// --- text

void text_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    // The 64-bit call: lengths over 2 GiB are refused by SQLite, never cut.
    check(sqlite3_bind_text64(native(), parameter(), data_.data(), data_.size(),
                              statement_->bind_lifetime(), SQLITE_UTF8));
}

void text_binding::set_value() {
    sqlite3_value* v = column(native(), position);
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_TEXT) {
        record_value();
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        data_.assign(text, static_cast<std::size_t>(sqlite3_value_bytes(v)));
    } else if (record_null(type == SQLITE_NULL)) {
        read_into(cell_of(v, type), data_);
    } else {
        data_.clear();  // a NULL column leaves an empty text
    }
}

// --- dates: seconds since the epoch in integer columns, or text

void date_time_binding::get_value() {
    if (bind_null_if_owner_null()) return;
    tovi::driver::check_date(data_);
    check(sqlite3_bind_int64(native(), parameter(), static_cast<sqlite3_int64>(tm2time_t(data_))));
}

void date_time_binding::set_value() {
    sqlite3_value* v = column(native(), position);
    const int type = sqlite3_value_type(v);
    // Whole numbers, as text too (what SQLite keeps of an integer bound into a
    // TEXT column), are seconds since the epoch; other text is a date's text.
    if (record_null(type == SQLITE_NULL)) read_into(cell_of(v, type), data_);
}

// --- variants: what they hold, bound as its kind

void variant_binding::get_value() {
    null_mark = false;
    sqlite3_stmt* s = native();
    const int p = parameter();
    tovi::driver::from_variant(data_, scratch_);
    switch (scratch_.kind) {
        case value_kind::null:
            null_mark = true;
            check(sqlite3_bind_null(s, p));
            break;
        case value_kind::integer:
        case value_kind::boolean:
            check(sqlite3_bind_int64(s, p, scratch_.integer));
            break;
        case value_kind::real:
            check(sqlite3_bind_double(s, p, scratch_.real));
            break;
        case value_kind::text:
            check(sqlite3_bind_text64(s, p, scratch_.text.data(), scratch_.text.size(),
                                      statement_->bind_lifetime(), SQLITE_UTF8));
            break;
        case value_kind::bytes:
            check(sqlite3_bind_blob64(s, p, scratch_.text.data(), scratch_.text.size(),
                                      statement_->bind_lifetime()));
            break;
        case value_kind::date_time:
            tovi::driver::check_date(scratch_.date);
            check(sqlite3_bind_int64(s, p, static_cast<sqlite3_int64>(tm2time_t(scratch_.date))));
            break;
    }
}

void variant_binding::set_value() {
    sqlite3_value* v = column(native(), position);
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL) {
        if (owner != nullptr) owner->is_null = true;
        data_.Clear();
        return;
    }
    read_into(cell_of(v, type), data_);
    record_value();
}

// --- large objects

void lob_binding::bind_bytes(const std::string& bytes, sqlite3_destructor_type lifetime) {
    sqlite3_stmt* s = native();
    const int rc = is_blob
                       ? sqlite3_bind_blob64(s, position + 1, bytes.data(), bytes.size(), lifetime)
                       : sqlite3_bind_text64(s, position + 1, bytes.data(), bytes.size(), lifetime,
                                             SQLITE_UTF8);
    if (rc != SQLITE_OK) statement_->fail(native_error(sqlite3_db_handle(s), rc));
}

void lob_binding::bind_now(const std::string& data) {
    bind_bytes(data, SQLITE_TRANSIENT);
}

void lob_binding::get_value() {
    if (sends_null()) {
        // Bound as NULL, never left unbound: an earlier row's data must not go
        // out again.
        sqlite3_stmt* s = native();
        const int rc = sqlite3_bind_null(s, position + 1);
        if (rc != SQLITE_OK) statement_->fail(native_error(sqlite3_db_handle(s), rc));
        return;
    }
    if (!fetched) bind_bytes(buffer, statement_->bind_lifetime());
}

void lob_binding::set_value() {
    if (factory->get_direction() == in) return;
    sqlite3_stmt* s = native();
    record_null(sqlite3_column_type(s, position) == SQLITE_NULL);
    // Copied now: the row is gone after the next step, and the value must stay
    // readable after the last row, as every other bound column does.
    const void* data = is_blob ? sqlite3_column_blob(s, position)
                               : static_cast<const void*>(sqlite3_column_text(s, position));
    const int bytes = sqlite3_column_bytes(s, position);
    if (data == nullptr || bytes <= 0)
        buffer.clear();
    else
        buffer.assign(static_cast<const char*>(data), static_cast<std::size_t>(bytes));
    fetched = true;
}

}  // namespace tovi::sqlite
