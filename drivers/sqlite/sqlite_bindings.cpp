// One binding class per value kind: values to parameters before execution,
// columns to values after each fetch.
#include "sqlite_bindings.hpp"

#include <cctype>

#include "sqlite_errors.hpp"

namespace tovi::sqlite {

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::fail(int rc) const {
    if (this->statement_ == nullptr) throw exception(sqlite3_errstr(rc), rc);
    this->statement_->fail(native_error(sqlite3_db_handle(native()), rc));
}

// --- integers and booleans: 64 bits wide, as long is

void integer_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    check(sqlite3_bind_int64(native(), parameter(), data_));
}

void integer_binding::set_value() {
    if (is_parameter()) return;
    sqlite3_stmt* s = native();
    const sqlite3_int64 v = sqlite3_column_int64(s, position);
    // A NULL column reads as 0: only a 0 needs the (costly) type check.
    if (v == 0 && !record_null(sqlite3_column_type(s, position) == SQLITE_NULL)) return;
    if (v != 0) record_value();
    data_ = static_cast<long>(v);
}

void boolean_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    check(sqlite3_bind_int64(native(), parameter(), data_ ? 1 : 0));
}

void boolean_binding::set_value() {
    if (fetch_present()) data_ = sqlite3_column_int64(native(), position) != 0;
}

// --- doubles

void real_binding::get_value() {
    if (bind_null_if_owner_null()) return;
    check(sqlite3_bind_double(native(), parameter(), data_));
}

void real_binding::set_value() {
    if (is_parameter()) return;
    sqlite3_stmt* s = native();
    const double v = sqlite3_column_double(s, position);
    if (v == 0.0 && !record_null(sqlite3_column_type(s, position) == SQLITE_NULL)) return;
    if (v != 0.0) record_value();
    data_ = v;
}

// --- text

void text_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    // The 64-bit call: lengths over 2 GiB are refused by SQLite, never cut.
    check(sqlite3_bind_text64(native(), parameter(), data_.data(), data_.size(),
                              statement_->bind_lifetime(), SQLITE_UTF8));
}

void text_binding::set_value() {
    if (is_parameter()) return;
    sqlite3_stmt* s = native();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, position));
    // Only a NULL column (or a failed conversion) gives no text: check which. A
    // NULL column leaves an empty text.
    if (text == nullptr) {
        record_null(sqlite3_column_type(s, position) == SQLITE_NULL);
        data_.clear();
        return;
    }
    record_value();
    data_.assign(text, static_cast<std::size_t>(sqlite3_column_bytes(s, position)));
}

// --- dates: seconds since the epoch in integer columns, or text

void date_time_binding::get_value() {
    if (bind_null_if_owner_null()) return;
    check(sqlite3_bind_int64(native(), parameter(), static_cast<sqlite3_int64>(tm2time_t(data_))));
}

namespace {
// A whole number in text: what SQLite keeps of an integer bound into a TEXT column.
bool integer_text(const char* text, int bytes, long& value) {
    if (bytes <= 0) return false;
    int i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == bytes) return false;
    for (int k = i; k < bytes; ++k)
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) return false;
    try {
        value = std::stol(std::string(text, static_cast<std::size_t>(bytes)));
    } catch (...) {
        return false;
    }
    return true;
}
}  // namespace

void date_time_binding::set_value() {
    if (!fetch_present()) return;
    const int type = sqlite3_column_type(native(), position);
    if (type == SQLITE_INTEGER) {
        time_t2tm(static_cast<long>(sqlite3_column_int64(native(), position)), data_);
        return;
    }
    if (type == SQLITE_TEXT) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(native(), position));
        if (text == nullptr) throw bad_value_conversion(0);
        const int bytes = sqlite3_column_bytes(native(), position);
        long seconds = 0;
        if (integer_text(text, bytes, seconds)) {
            time_t2tm(seconds, data_);
            return;
        }
        try {
            string2tm(std::string(text, static_cast<std::size_t>(bytes)), data_);
        } catch (const exception&) {
            throw;
        } catch (const std::exception&) {
            throw bad_value_conversion(0);
        }
        return;
    }
    throw bad_value_conversion(0);
}

// --- variants

void variant_binding::get_value() {
    null_mark = false;
    sqlite3_stmt* s = native();
    const int p = parameter();
    switch (data_.vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_UNKNOWN:
            null_mark = true;
            check(sqlite3_bind_null(s, p));
            break;
        case VT_I2:
            check(sqlite3_bind_int(s, p, data_.iVal));
            break;
        case VT_I4:
            check(sqlite3_bind_int(s, p, data_.lVal));
            break;
        case VT_UI4:
            check(sqlite3_bind_int64(s, p, data_.ulVal));
            break;
        case VT_I8:
            check(sqlite3_bind_int64(s, p, data_.llVal));
            break;
        case VT_BOOL:
            check(sqlite3_bind_int(s, p, data_.boolVal != VARIANT_FALSE ? 1 : 0));
            break;
        case VT_I1:
            check(sqlite3_bind_int(s, p, static_cast<signed char>(data_.cVal)));
            break;
        case VT_UI1:
            check(sqlite3_bind_int(s, p, data_.bVal));
            break;
        case VT_UI2:
            check(sqlite3_bind_int(s, p, data_.uiVal));
            break;
        case VT_BSTR:
            scratch_ = variant2string(data_);
            check(sqlite3_bind_text64(s, p, scratch_.data(), scratch_.size(),
                                      statement_->bind_lifetime(), SQLITE_UTF8));
            break;
        default:
            throw bad_value_conversion(0);
    }
}

void variant_binding::set_value() {
    if (is_parameter()) return;
    sqlite3_stmt* s = native();
    switch (sqlite3_column_type(s, position)) {
        case SQLITE_NULL:
            if (owner != nullptr) owner->is_null = true;
            data_.Clear();
            return;
        case SQLITE_INTEGER: {
            const long v = static_cast<long>(sqlite3_column_int64(s, position));
            if (data_.vt == VT_BOOL)
                data_.boolVal = v != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            else
                data_ = _variant_t(v);
            break;
        }
        case SQLITE_FLOAT:
            data_ = _variant_t(sqlite3_column_double(s, position));
            break;
        case SQLITE_TEXT:
            set_variant_from_str(data_, static_cast<unsigned>(sqlite3_column_bytes(s, position)),
                                 reinterpret_cast<const char*>(sqlite3_column_text(s, position)));
            break;
        default:
            set_variant_from_raw(data_, static_cast<unsigned>(sqlite3_column_bytes(s, position)),
                                 static_cast<const char*>(sqlite3_column_blob(s, position)));
            break;
    }
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
