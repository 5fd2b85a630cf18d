// One binding class per value kind: values to parameters before execution,
// columns to values after each fetch.
#include <cctype>

#include "sqlite_driver.hpp"

namespace tovi::sqlite {

// --- common

binding::binding(impl::value_factory& f, tovi::value_t* owner_, unsigned short position_)
    : impl::value_t(f, owner_),
      position(position_),
      null_mark(false),
      statement_(static_cast<binding_factory&>(f).get_statement()) {}

void binding::sync_position() { position = static_cast<unsigned short>(factory->index_of(this)); }

// Binding failures (a position beyond the markers, a text too big) are native
// failures like any other: classified, with the statement's context.
void binding::fail(int rc) const {
    if (statement_ == nullptr) throw exception(sqlite3_errstr(rc), rc);
    statement_->fail(native_error(sqlite3_db_handle(native()), rc));
}

bool binding::bind_null_if_owner_null() {
    null_mark = owner != nullptr && owner->is_null;
    if (null_mark) check(sqlite3_bind_null(native(), parameter()));
    return null_mark;
}

bool binding::fetch_present() {
    if (factory->get_direction() == in) return false;
    return record_null(sqlite3_column_type(native(), position) == SQLITE_NULL);
}

bool binding::record_null(bool is_null) {
    if (owner != nullptr)
        owner->is_null = is_null;
    else if (is_null)
        throw value_is_null(0);
    return !is_null;
}

// --- integers and booleans: 64 bits wide, as long is

integer_binding::integer_binding(impl::value_factory& f, long& data, tovi::value_t* owner_, unsigned short pos)
    : binding(f, owner_, pos), data_(data) {}

void integer_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    check(sqlite3_bind_int64(native(), parameter(), data_));
}

void integer_binding::set_value() {
    if (factory->get_direction() == in) return;
    sqlite3_stmt* s = native();
    const sqlite3_int64 v = sqlite3_column_int64(s, position);
    // A NULL column reads as 0: only a 0 needs the (costly) type check.
    if (v == 0 && !record_null(sqlite3_column_type(s, position) == SQLITE_NULL)) return;
    if (v != 0 && owner != nullptr) owner->is_null = false;
    data_ = static_cast<long>(v);
}

void integer_binding::release() { factory->free_long_impl(this); }

boolean_binding::boolean_binding(impl::value_factory& f, bool& data, tovi::value_t* owner_, unsigned short pos)
    : binding(f, owner_, pos), data_(data) {}

void boolean_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    check(sqlite3_bind_int64(native(), parameter(), data_ ? 1 : 0));
}

void boolean_binding::set_value() {
    if (fetch_present()) data_ = sqlite3_column_int64(native(), position) != 0;
}

void boolean_binding::release() { factory->free_bool_impl(this); }

// --- doubles

real_binding::real_binding(impl::value_factory& f, double& data, tovi::value_t* owner_, unsigned short pos)
    : binding(f, owner_, pos), data_(data) {}

void real_binding::get_value() {
    if (bind_null_if_owner_null()) return;
    check(sqlite3_bind_double(native(), parameter(), data_));
}

void real_binding::set_value() {
    if (factory->get_direction() == in) return;
    sqlite3_stmt* s = native();
    const double v = sqlite3_column_double(s, position);
    if (v == 0.0 && !record_null(sqlite3_column_type(s, position) == SQLITE_NULL)) return;
    if (v != 0.0 && owner != nullptr) owner->is_null = false;
    data_ = v;
}

void real_binding::release() { factory->free_double_impl(this); }

// --- text

text_binding::text_binding(impl::value_factory& f, std::string& data, tovi::value_t* owner_, unsigned short pos)
    : binding(f, owner_, pos), data_(data) {}

void text_binding::get_value() {
    if (owner != nullptr && bind_null_if_owner_null()) return;
    // The 64-bit call: lengths over 2 GiB are refused by SQLite, never cut.
    check(sqlite3_bind_text64(native(), parameter(), data_.data(), data_.size(), lifetime(), SQLITE_UTF8));
}

void text_binding::set_value() {
    if (factory->get_direction() == in) return;
    sqlite3_stmt* s = native();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, position));
    // Only a NULL column (or a failed conversion) gives no text: check which. A
    // NULL column leaves an empty text.
    if (text == nullptr) {
        record_null(sqlite3_column_type(s, position) == SQLITE_NULL);
        data_.clear();
        return;
    }
    if (owner != nullptr) owner->is_null = false;
    data_.assign(text, static_cast<std::size_t>(sqlite3_column_bytes(s, position)));
}

void text_binding::release() { factory->free_string_impl(this); }

// --- dates: seconds since the epoch in integer columns, or text

date_time_binding::date_time_binding(impl::value_factory& f, tm& data, tovi::value_t* owner_, unsigned short pos)
    : binding(f, owner_, pos), data_(data) {}

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

void date_time_binding::release() { factory->free_date_time_impl(this); }

// --- variants

variant_binding::variant_binding(impl::value_factory& f, _variant_t& data, tovi::value_t* owner_,
                                 unsigned short pos)
    : binding(f, owner_, pos), data_(data) {}

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
        case VT_I2: check(sqlite3_bind_int(s, p, data_.iVal)); break;
        case VT_I4: check(sqlite3_bind_int(s, p, data_.lVal)); break;
        case VT_UI4: check(sqlite3_bind_int64(s, p, data_.ulVal)); break;
        case VT_I8: check(sqlite3_bind_int64(s, p, data_.llVal)); break;
        case VT_BOOL: check(sqlite3_bind_int(s, p, data_.boolVal != VARIANT_FALSE ? 1 : 0)); break;
        case VT_I1: check(sqlite3_bind_int(s, p, static_cast<signed char>(data_.cVal))); break;
        case VT_UI1: check(sqlite3_bind_int(s, p, data_.bVal)); break;
        case VT_UI2: check(sqlite3_bind_int(s, p, data_.uiVal)); break;
        case VT_BSTR:
            scratch_ = variant2string(data_);
            check(sqlite3_bind_text64(s, p, scratch_.data(), scratch_.size(), lifetime(), SQLITE_UTF8));
            break;
        default: throw bad_value_conversion(0);
    }
}

void variant_binding::set_value() {
    if (factory->get_direction() == in) return;
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
        case SQLITE_FLOAT: data_ = _variant_t(sqlite3_column_double(s, position)); break;
        case SQLITE_TEXT:
            set_variant_from_str(data_, static_cast<unsigned>(sqlite3_column_bytes(s, position)),
                                 reinterpret_cast<const char*>(sqlite3_column_text(s, position)));
            break;
        default:
            set_variant_from_raw(data_, static_cast<unsigned>(sqlite3_column_bytes(s, position)),
                                 static_cast<const char*>(sqlite3_column_blob(s, position)));
            break;
    }
    if (owner != nullptr) owner->is_null = false;
}

void variant_binding::release() { factory->free_variant_impl(this); }

// --- large objects

lob_binding::lob_binding(impl::value_factory& f, tovi::lob_t* owner_, unsigned short pos, bool blob)
    : impl::lob_t(f, owner_),
      position(pos),
      is_blob(blob),
      state(0),
      has_data(false),
      fetched(false),
      empty(true) {}

sqlite3_stmt* lob_binding::native() const {
    return static_cast<binding_factory*>(factory)->get_statement()->current();
}

void lob_binding::bind_bytes(const std::string& bytes, sqlite3_destructor_type lifetime) {
    sqlite3_stmt* s = native();
    const int rc = is_blob ? sqlite3_bind_blob64(s, position + 1, bytes.data(), bytes.size(), lifetime)
                           : sqlite3_bind_text64(s, position + 1, bytes.data(), bytes.size(), lifetime,
                                                 SQLITE_UTF8);
    if (rc != SQLITE_OK) {
        const exception e = native_error(sqlite3_db_handle(s), rc);
        static_cast<binding_factory*>(factory)->get_statement()->fail(e);
    }
}

void lob_binding::get_value() {
    sqlite3_stmt* s = native();
    if ((owner != nullptr && owner->is_null) || (!fetched && (empty || state == 0))) {
        // Bound as NULL, never left unbound: a reused statement keeps its last
        // bindings, and an earlier row's data must not go out again.
        const int rc = sqlite3_bind_null(s, position + 1);
        if (rc != SQLITE_OK)
            static_cast<binding_factory*>(factory)->get_statement()->fail(native_error(sqlite3_db_handle(s), rc));
        return;
    }
    if (!fetched) bind_bytes(buffer, static_cast<binding_factory*>(factory)->get_statement()->bind_lifetime());
}

void lob_binding::set_value() {
    if (factory->get_direction() == in) return;
    const bool is_null = sqlite3_column_type(native(), position) == SQLITE_NULL;
    if (owner != nullptr)
        owner->is_null = is_null;
    else if (is_null)
        throw value_is_null(0);
    // Copied now: the row is gone after the next step, and the value must stay
    // readable after the last row, as every other bound column does.
    sqlite3_stmt* s = native();
    const void* data = is_blob ? sqlite3_column_blob(s, position)
                               : static_cast<const void*>(sqlite3_column_text(s, position));
    const int bytes = sqlite3_column_bytes(s, position);
    if (data == nullptr || bytes <= 0)
        buffer.clear();
    else
        buffer.assign(static_cast<const char*>(data), static_cast<std::size_t>(bytes));
    fetched = true;
}

void lob_binding::sync_position() {
    state = 0;
    has_data = false;
    fetched = false;
    buffer.clear();
    empty = true;
    position = static_cast<unsigned short>(factory->index_of(this));
}

void lob_binding::release() {
    if (is_blob)
        factory->free_blob_impl(this);
    else
        factory->free_clob_impl(this);
}

unsigned lob_binding::get_length() { return static_cast<unsigned>(buffer.size()); }

void lob_binding::set_length(unsigned length) {
    if (fetched) return;
    buffer.resize(length);
    state = 1;
    empty = false;
}

std::string lob_binding::get_portion(unsigned offset, unsigned length) {
    if (offset >= buffer.size()) return std::string();
    return buffer.substr(offset, length);
}

void lob_binding::set_portion(unsigned offset, const std::string& data) {
    // A fetched object stands for the row's column: it has no buffer to change.
    if (fetched) throw not_implemented(0);
    if (buffer.size() < std::size_t(offset) + data.size()) buffer.resize(std::size_t(offset) + data.size());
    buffer.replace(offset, data.size(), data);
    has_data = true;
    state = 2;
    empty = false;
}

std::string lob_binding::get_entire() { return buffer; }

void lob_binding::set_entire(const std::string& data) {
    if (fetched) {
        bind_bytes(data, SQLITE_TRANSIENT);  // `data` is the caller's, gone after the call
        return;
    }
    buffer = data;
    has_data = true;
    state = 2;
    empty = false;
}

}  // namespace tovi::sqlite
