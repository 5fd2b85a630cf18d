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
constexpr int integer_form = form(impl::bulk_kind::integer, false);
constexpr int optional_integer_form = form(impl::bulk_kind::integer, true);
constexpr int real_form = form(impl::bulk_kind::real, false);
constexpr int optional_real_form = form(impl::bulk_kind::real, true);
constexpr int text_form = form(impl::bulk_kind::text, false);
constexpr int optional_text_form = form(impl::bulk_kind::text, true);

// A parameter vector, found once for all rows: its case, its parameter, its
// elements and the element of the row being bound; dates and bytes, the
// vector, its binding and the row. A column of case end_of_row closes the row:
// the row's loop needs no count of its own.
struct parameter_column {
    int form;
    int parameter;
    const char* elements;
    const char* at;
    impl::bulk_vector* vector;
    impl::value_t* binding;
    std::size_t row;
};
constexpr int through_bindings = form(impl::bulk_kind::bytes, true) + 1;
constexpr int end_of_row = through_bindings + 1;

std::size_t element_size(int form) {
    switch (form) {
        case integer_form:
            return sizeof(long);
        case optional_integer_form:
            return sizeof(std::optional<long>);
        case real_form:
            return sizeof(double);
        case optional_real_form:
            return sizeof(std::optional<double>);
        case text_form:
            return sizeof(std::string);
        case optional_text_form:
            return sizeof(std::optional<std::string>);
        default:
            return 0;
    }
}

const void* first_element(impl::bulk_vector& v) {
    switch (form(v.kind, v.nullable)) {
        case integer_form:
            return elements<long>(v).data();
        case optional_integer_form:
            return elements<std::optional<long>>(v).data();
        case real_form:
            return elements<double>(v).data();
        case optional_real_form:
            return elements<std::optional<double>>(v).data();
        case text_form:
            return elements<std::string>(v).data();
        case optional_text_form:
            return elements<std::optional<std::string>>(v).data();
        default:  // dates and bytes: through the bindings
            return nullptr;
    }
}

// The element a column is at, and on to the next row's.
template <class T>
const T& take(parameter_column& c) {
    const T& e = *reinterpret_cast<const T*>(c.at);
    c.at += sizeof(T);
    return e;
}

// Binds each column's next element with SQLite's own calls (dates and bytes
// through their bindings, which raise their own failures), up to the end of
// the row; the failures' codes or'ed (SQLITE_OK when all were bound). The text
// stays the application's until the step, which comes before anything else.
__attribute__((always_inline)) inline int bind_next(sqlite3_stmt* s, parameter_column* c) {
    int failed = SQLITE_OK;
    for (;; ++c) {
        const int p = c->parameter;
        switch (c->form) {
            case integer_form:
                failed |= sqlite3_bind_int64(s, p, take<long>(*c));
                continue;
            case optional_integer_form: {
                const auto& v = take<std::optional<long>>(*c);
                failed |= v ? sqlite3_bind_int64(s, p, *v) : sqlite3_bind_null(s, p);
                continue;
            }
            case real_form:
                failed |= sqlite3_bind_double(s, p, take<double>(*c));
                continue;
            case optional_real_form: {
                const auto& v = take<std::optional<double>>(*c);
                failed |= v ? sqlite3_bind_double(s, p, *v) : sqlite3_bind_null(s, p);
                continue;
            }
            case text_form: {
                const auto& v = take<std::string>(*c);
                failed |= sqlite3_bind_text64(s, p, v.data(), v.size(), SQLITE_STATIC, SQLITE_UTF8);
                continue;
            }
            case optional_text_form: {
                const auto& v = take<std::optional<std::string>>(*c);
                failed |=
                    v ? sqlite3_bind_text64(s, p, v->data(), v->size(), SQLITE_STATIC, SQLITE_UTF8)
                      : sqlite3_bind_null(s, p);
                continue;
            }
            case through_bindings:
                c->vector->load(c->row++);
                c->binding->get_value();
                continue;
            case end_of_row:
                return failed;
            default:
                __builtin_unreachable();
        }
    }
}

}  // namespace

void statement::execute_bulk(impl::bulk_vector* const* in, std::size_t count, std::size_t rows,
                             std::size_t& row) {
    row = 0;
    ready_for_binding();  // prepared, parameters counted
    // A query or DDL runs each row as a single execution would.
    if (ddl_ || query_) return execute_rows(in, count, 0, rows, row);
    const parameter_column end = {end_of_row, 0, nullptr, nullptr, nullptr, nullptr, 0};
    std::vector<parameter_column> columns(count + 1, end);
    for (std::size_t c = 0; c < count; ++c) {
        const auto* elements = static_cast<const char*>(first_element(*in[c]));
        columns[c] = {elements != nullptr ? form(in[c]->kind, in[c]->nullable) : through_bindings,
                      static_cast<int>(c) + 1,
                      elements,
                      elements,
                      in[c],
                      bind_.get_bindings()[c],
                      0};
    }
    at_end = true;
    cursor_closed = false;
    pending_row_ = false;
    owner->activate();
    sqlite3_stmt* const s = native_;
    std::size_t r = 0;
    try {
        for (; r < rows; ++r) {
            // A bind fails only on a value SQLite refuses (text over its length
            // limit, no memory): one test a row, then the failing column's error.
            if (bind_next(s, columns.data()) != SQLITE_OK) {
                for (std::size_t c = 0; c < count; ++c) {
                    parameter_column one[2] = {columns[c], end};
                    one[0].at = one[0].elements + r * element_size(one[0].form);
                    one[0].row = r;
                    const int rc = bind_next(s, one);
                    if (rc != SQLITE_OK) fail(native_error(db(), rc));
                }
            }
            const int rc = sqlite3_step(s);
            if (rc != SQLITE_DONE) step_failed(rc);
            // After a step that ran to its end, a reset cannot fail.
            sqlite3_reset(s);
        }
    } catch (...) {
        row = r;  // the failing row, whatever failed in it
        throw;
    }
    row = rows;
}

namespace {

// A column vector, found once for a fetch: its case, its place, the
// application's vector.
struct result_column {
    int form;
    int position;
    void* data;
};

template <class T>
std::vector<T>& elements(const result_column& c) {
    return *static_cast<std::vector<T>*>(c.data);
}

}  // namespace

std::size_t statement::fetch_bulk(impl::bulk_vector* const* out, std::size_t count, std::size_t n) {
    // The first row through next() (its checks: the end, the bound columns, a
    // row stepped to by execute()); the rest by stepping alone.
    if (n == 0 || !statement::next()) return 0;
    std::vector<result_column> columns(count);
    for (std::size_t c = 0; c < count; ++c)
        columns[c] = {form(out[c]->kind, out[c]->nullable), static_cast<int>(c), out[c]->data};
    sqlite3_stmt* const s = native_;
    const result_column* const end = columns.data() + count;
    std::size_t got = 0;
    do {
        for (const result_column* c = columns.data(); c != end; ++c) {
            // Each value of the vector's type is read with SQLite's own calls;
            // a NULL, another type, dates and bytes break out to the bindings.
            sqlite3_value* value = sqlite3_column_value(s, c->position);
            switch (c->form) {
                case integer_form:
                    if (sqlite3_value_type(value) != SQLITE_INTEGER) break;
                    elements<long>(*c).push_back(static_cast<long>(sqlite3_value_int64(value)));
                    continue;
                case optional_integer_form: {
                    const int type = sqlite3_value_type(value);
                    if (type == SQLITE_NULL) {
                        elements<std::optional<long>>(*c).emplace_back();
                        continue;
                    }
                    if (type != SQLITE_INTEGER) break;
                    elements<std::optional<long>>(*c).emplace_back(
                        static_cast<long>(sqlite3_value_int64(value)));
                    continue;
                }
                case real_form:
                    if (sqlite3_value_type(value) != SQLITE_FLOAT) break;
                    elements<double>(*c).push_back(sqlite3_value_double(value));
                    continue;
                case optional_real_form: {
                    const int type = sqlite3_value_type(value);
                    if (type == SQLITE_NULL) {
                        elements<std::optional<double>>(*c).emplace_back();
                        continue;
                    }
                    if (type != SQLITE_FLOAT) break;
                    elements<std::optional<double>>(*c).emplace_back(sqlite3_value_double(value));
                    continue;
                }
                case text_form:
                    if (sqlite3_value_type(value) != SQLITE_TEXT) break;
                    elements<std::string>(*c).emplace_back(
                        reinterpret_cast<const char*>(sqlite3_value_text(value)),
                        static_cast<std::size_t>(sqlite3_value_bytes(value)));
                    continue;
                case optional_text_form: {
                    const int type = sqlite3_value_type(value);
                    if (type == SQLITE_NULL) {
                        elements<std::optional<std::string>>(*c).emplace_back();
                        continue;
                    }
                    if (type != SQLITE_TEXT) break;
                    elements<std::optional<std::string>>(*c).emplace_back(
                        std::in_place, reinterpret_cast<const char*>(sqlite3_value_text(value)),
                        static_cast<std::size_t>(sqlite3_value_bytes(value)));
                    continue;
                }
                case form(impl::bulk_kind::date_time, false):
                case form(impl::bulk_kind::date_time, true):
                case form(impl::bulk_kind::bytes, false):
                case form(impl::bulk_kind::bytes, true):
                    break;
                default:
                    __builtin_unreachable();
            }
            define_.get_bindings()[c->position]->set_value();
            out[c->position]->store();
        }
    } while (++got != n && step_to_row());
    return got;
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
