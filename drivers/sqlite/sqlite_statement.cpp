// Statements: lazily prepared native statements, reset and reused through the
// transaction's cache; stepping for execution and fetching.
#include "sqlite_statement.hpp"

#include <climits>
#include <optional>

#include "sqlite_bindings.hpp"
#include "sqlite_errors.hpp"

namespace tovi::sqlite {

statement::statement(const data_aware_command* command_, unsigned int options_, transaction& owner_)
    : statement_base(command_, options_, owner_),
      native_(nullptr),
      stepping_(false),
      ddl_(false),
      query_(false),
      pending_row_(false),
      columns_(0),
      bind_(in, this),
      define_(out, this) {}

statement::~statement() {
    finalize();
}

void statement::finalize() noexcept {
    if (native_ != nullptr) sqlite3_finalize(native_);
    native_ = nullptr;
}

void statement::reset_failed(int rc) {
    fail(native_error(db(), rc));
}

void statement::ensure_prepared() {
    if (native_ != nullptr) reset();
    if (native_ != nullptr) return;
    // sqlite3_prepare_v2 takes the length as an int: a longer text would be cut.
    if (native_sql.size() > static_cast<std::size_t>(INT_MAX))
        fail(exception(sqlite3_errstr(SQLITE_TOOBIG), SQLITE_TOOBIG));
    sqlite3_stmt* prepared = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db(), native_sql.c_str(), static_cast<int>(native_sql.size()),
                                      &prepared, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(prepared);
        fail(native_error(db(), rc));
    }
    if (prepared == nullptr)
        raise(bad_sql("The SQL text holds no SQL statement, only blanks or comments.", 0));
    try {
        check_tail(tail, native_sql.c_str() + native_sql.size());
    } catch (...) {
        sqlite3_finalize(prepared);
        throw;
    }
    finalize();
    native_ = prepared;
    stepping_ = false;
    pending_row_ = false;
    columns_ = sqlite3_column_count(prepared);
    markers_ = sqlite3_bind_parameter_count(prepared);
    parameters_changed();
    query_ = columns_ > 0;
}

void statement::check_tail(const char* tail, const char* end) {
    // The usual case: nothing, or only blanks and semicolons, follows.
    const char* p = tail;
    while (p != nullptr && p < end &&
           (*p == ';' || *p == ' ' || *p == '\n' || *p == '\t' || *p == '\r'))
        ++p;
    if (p == nullptr || p >= end) return;
    // Let SQLite's own tokenizer tell comments from a second statement.
    sqlite3_stmt* second = nullptr;
    const char* rest = p;
    while (rest < end) {
        const char* next = nullptr;
        const int rc = sqlite3_prepare_v2(db(), rest, static_cast<int>(end - rest), &second, &next);
        sqlite3_finalize(second);
        if (rc != SQLITE_OK || second != nullptr) {
            raise(bad_sql("The SQL text holds more than one statement; not run: '" +
                              tovi::driver::sql_for_context(std::string(p, end)) + "'",
                          0));
        }
        if (next == nullptr || next <= rest) break;
        rest = next;
    }
}

void statement::reused() {
    if (native_ != nullptr && !stepping_) {
        sqlite3_reset(native_);
        sqlite3_clear_bindings(native_);
    }
}

bool statement::reading() const {
    return native_ != nullptr && !at_end && sqlite3_stmt_readonly(native_) != 0;
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
    // A reset statement (by a commit, say) has no rows until it runs again:
    // stepping it on would start the query over.
    at_end = true;
    pending_row_ = false;
}

inline int statement::step() {
    const int rc = sqlite3_step(native_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE && rc != SQLITE_OK) step_failed(rc);
    return rc;
}

void statement::step_failed(int rc) {
    // Nothing watches a step while it runs (one thread per statement): the flag
    // is set only for the failed one, which is then prepared again.
    stepping_ = true;
    const exception e = native_error(sqlite3_db_handle(native_), rc);
    owner->native_state_changed();
    fail(e);
}

void statement::prepare(const std::string& sql) {
    statement_base::prepare(sql);
    ddl_ = is_ddl(kind);
    query_ = kind == stmt_select;  // until the native statement says otherwise
}

void statement::execute() {
    at_end = false;
    cursor_closed = false;
    pending_row_ = false;
    if (native_ == nullptr) ensure_prepared();  // (binding prepares it first)
    if (ddl_) {
        try {
            owner->get_cache().purge();
        } catch (const exception& e) {
            fail(e);
        }
        step();
        finalize();  // a schema change: prepared afresh every time
        at_end = true;
    } else if (!query_) {
        owner->activate();
        at_end = step() == SQLITE_DONE;
    } else if (kind != stmt_select) {
        // Rows from a text that is no SELECT (a PRAGMA, WITH, VALUES, RETURNING):
        // it runs now, as the caller may not fetch at all; its first row waits
        // for next().
        if (!sqlite3_stmt_readonly(native_)) owner->activate();
        const int rc = step();
        pending_row_ = rc == SQLITE_ROW;
        at_end = rc == SQLITE_DONE;
    }
}

bool statement::next() {
    // The usual row costs one test of three flags and the step; the rest is
    // out of line.
    if (at_end | pending_row_ | define_.changed()) return next_unusual();
    return step_to_row();
}

bool statement::next_unusual() {
    if (no_more_rows()) return false;
    if (define_.changed()) {  // new result columns bound since the last row
        check_column_count(static_cast<std::size_t>(columns_));
        define_.clear_changed();
    }
    if (pending_row_) {
        pending_row_ = false;
        return true;
    }
    return step_to_row();
}

bool statement::stepped_past_end(int rc) {
    if (rc != SQLITE_DONE && rc != SQLITE_OK) step_failed(rc);
    at_end = true;
    return false;
}

// --- bulk work

namespace {

template <class T>
std::vector<T>& elements(impl::bulk_vector& v) {
    return *static_cast<std::vector<T>*>(v.data);
}

// One case per element type: the kind, then plain or std::optional.
constexpr int form(impl::bulk_kind kind, bool nullable) {
    return static_cast<int>(kind) * 2 + (nullable ? 1 : 0);
}

// The vector's first element (its storage), by its case.
const void* first_element(impl::bulk_vector& v) {
    switch (form(v.kind, v.nullable)) {
        case form(impl::bulk_kind::integer, false):
            return elements<long>(v).data();
        case form(impl::bulk_kind::integer, true):
            return elements<std::optional<long>>(v).data();
        case form(impl::bulk_kind::real, false):
            return elements<double>(v).data();
        case form(impl::bulk_kind::real, true):
            return elements<std::optional<double>>(v).data();
        case form(impl::bulk_kind::text, false):
            return elements<std::string>(v).data();
        case form(impl::bulk_kind::text, true):
            return elements<std::optional<std::string>>(v).data();
        default:
            return nullptr;
    }
}

}  // namespace

void statement::execute_bulk(impl::bulk_vector* const* in, std::size_t count, std::size_t rows,
                             std::size_t& row) {
    row = 0;
    ready_for_binding();  // prepared, parameters counted
    if (ddl_ || query_)   // each row as a single execution would run it
        return execute_rows(in, count, 0, rows, row);
    // Each vector's case and elements, found once for all rows.
    struct column {
        int form;
        const void* elements;
    };
    std::vector<column> columns(count);
    for (std::size_t c = 0; c < count; ++c) {
        columns[c].form = form(in[c]->kind, in[c]->nullable);
        columns[c].elements = first_element(*in[c]);
    }
    at_end = true;
    cursor_closed = false;
    pending_row_ = false;
    owner->activate();
    const sqlite3_destructor_type lifetime = bind_lifetime();
    for (; row < rows; ++row) {
        int rc;
        if (row != 0 && (rc = sqlite3_reset(native_)) != SQLITE_OK) reset_failed(rc);
        for (std::size_t c = 0; c < count; ++c) {
            const int p = static_cast<int>(c) + 1;
            const void* e = columns[c].elements;
            switch (columns[c].form) {
                case form(impl::bulk_kind::integer, false):
                    rc = sqlite3_bind_int64(native_, p, static_cast<const long*>(e)[row]);
                    break;
                case form(impl::bulk_kind::integer, true): {
                    const auto& v = static_cast<const std::optional<long>*>(e)[row];
                    rc = v ? sqlite3_bind_int64(native_, p, *v) : sqlite3_bind_null(native_, p);
                    break;
                }
                case form(impl::bulk_kind::real, false):
                    rc = sqlite3_bind_double(native_, p, static_cast<const double*>(e)[row]);
                    break;
                case form(impl::bulk_kind::real, true): {
                    const auto& v = static_cast<const std::optional<double>*>(e)[row];
                    rc = v ? sqlite3_bind_double(native_, p, *v) : sqlite3_bind_null(native_, p);
                    break;
                }
                case form(impl::bulk_kind::text, false): {
                    const auto& v = static_cast<const std::string*>(e)[row];
                    rc = sqlite3_bind_text64(native_, p, v.data(), v.size(), lifetime, SQLITE_UTF8);
                    break;
                }
                case form(impl::bulk_kind::text, true): {
                    const auto& v = static_cast<const std::optional<std::string>*>(e)[row];
                    rc = v ? sqlite3_bind_text64(native_, p, v->data(), v->size(), lifetime,
                                                 SQLITE_UTF8)
                           : sqlite3_bind_null(native_, p);
                    break;
                }
                default:  // dates: the binding's own rules
                    in[c]->load(row);
                    bind_.get_bindings()[c]->get_value();
                    rc = SQLITE_OK;
                    break;
            }
            if (rc != SQLITE_OK) fail(native_error(db(), rc));
        }
        rc = sqlite3_step(native_);
        if (rc != SQLITE_DONE) step_failed(rc);
    }
}

std::size_t statement::fetch_bulk(impl::bulk_vector* const* out, std::size_t count, std::size_t n) {
    // Each vector's case, found once for all rows.
    std::vector<int> forms(count);
    for (std::size_t c = 0; c < count; ++c) forms[c] = form(out[c]->kind, out[c]->nullable);
    // The first row through next() (its checks: the end, the bound columns, a
    // row stepped to by execute()); the rest by stepping alone.
    std::size_t got = 0;
    if (n == 0 || !statement::next()) return 0;
    for (;;) {
        for (std::size_t c = 0; c < count; ++c) {
            impl::bulk_vector& v = *out[c];
            sqlite3_value* value = sqlite3_column_value(native_, static_cast<int>(c));
            const int type = sqlite3_value_type(value);
            switch (forms[c]) {
                case form(impl::bulk_kind::integer, false):
                    if (type != SQLITE_INTEGER) break;
                    elements<long>(v).push_back(static_cast<long>(sqlite3_value_int64(value)));
                    continue;
                case form(impl::bulk_kind::integer, true):
                    if (type == SQLITE_NULL) {
                        elements<std::optional<long>>(v).emplace_back();
                        continue;
                    }
                    if (type != SQLITE_INTEGER) break;
                    elements<std::optional<long>>(v).emplace_back(
                        static_cast<long>(sqlite3_value_int64(value)));
                    continue;
                case form(impl::bulk_kind::real, false):
                    if (type != SQLITE_FLOAT) break;
                    elements<double>(v).push_back(sqlite3_value_double(value));
                    continue;
                case form(impl::bulk_kind::real, true):
                    if (type == SQLITE_NULL) {
                        elements<std::optional<double>>(v).emplace_back();
                        continue;
                    }
                    if (type != SQLITE_FLOAT) break;
                    elements<std::optional<double>>(v).emplace_back(sqlite3_value_double(value));
                    continue;
                case form(impl::bulk_kind::text, false):
                    if (type != SQLITE_TEXT) break;
                    elements<std::string>(v).emplace_back(
                        reinterpret_cast<const char*>(sqlite3_value_text(value)),
                        static_cast<std::size_t>(sqlite3_value_bytes(value)));
                    continue;
                case form(impl::bulk_kind::text, true):
                    if (type == SQLITE_NULL) {
                        elements<std::optional<std::string>>(v).emplace_back();
                        continue;
                    }
                    if (type != SQLITE_TEXT) break;
                    elements<std::optional<std::string>>(v).emplace_back(
                        std::in_place, reinterpret_cast<const char*>(sqlite3_value_text(value)),
                        static_cast<std::size_t>(sqlite3_value_bytes(value)));
                    continue;
                default:
                    break;
            }
            // Dates, and a column of another type than the vector's: the
            // binding's rules.
            define_.get_bindings()[c]->set_value();
            v.store();
        }
        if (++got == n || !step_to_row()) return got;
    }
}

impl::describe* statement::make_describe() {
    return new describe(*this);
}
void statement::destroy_describe(impl::describe* d) {
    delete d;
}

describe::describe(const recordset_t& source_)
    : impl::describe(source_), bind_(in, nullptr), define_(out, nullptr) {}

}  // namespace tovi::sqlite
