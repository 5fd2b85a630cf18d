// Bulk work through ODBC parameter arrays: a chunk of rows per SQLExecute,
// bound column-wise (SQL_ATTR_PARAMSET_SIZE), the per-row status array naming
// the row that failed. Whether the driver sends a chunk at once or runs it row
// by row is the driver's (psqlODBC sends it; the SQLite ODBC driver loops).
#include <algorithm>
#include <exception>
#include <optional>

#include "odbc_bindings.hpp"
#include "odbc_statement.hpp"

namespace tovi::odbc {

namespace {

// Rows per SQLExecute: enough to spend the round trips, little enough that
// the buffers (a chunk of the widest text per text column) stay small.
constexpr std::size_t array_chunk = 1000;

// An integer attribute's value, passed where ODBC takes a pointer.
SQLPOINTER attribute(std::size_t value) {
    return reinterpret_cast<SQLPOINTER>(value);  // NOLINT(performance-no-int-to-ptr)
}

template <class T>
const std::vector<T>& elements(const impl::bulk_vector& v) {
    return *static_cast<const std::vector<T>*>(v.data);
}

// The value of element `row` (null: a NULL), plain or std::optional.
template <class T>
const T* element(const impl::bulk_vector& v, std::size_t row) {
    if (!v.nullable) return &elements<T>(v)[row];
    const std::optional<T>& e = elements<std::optional<T>>(v)[row];
    return e ? &*e : nullptr;
}

// One parameter's array for a chunk: values and lengths or NULL marks.
struct parameter_array {
    std::vector<SQLBIGINT> integers;
    std::vector<double> reals;
    std::vector<SQL_TIMESTAMP_STRUCT> stamps;
    std::vector<char> text;
    SQLLEN width = 1;  // bytes per text element, its terminator included
    std::vector<SQLLEN> indicators;

    // Fills rows [first, first + n) of `v`; a text that cannot travel raises
    // with `row` at its row.
    void fill(const impl::bulk_vector& v, std::size_t first, std::size_t n, std::size_t& row) {
        indicators.assign(n, 0);
        switch (v.kind) {
            case impl::bulk_kind::integer:
                integers.assign(n, 0);
                for (std::size_t k = 0; k < n; ++k) {
                    const long* e = element<long>(v, first + k);
                    if (e != nullptr)
                        integers[k] = *e;
                    else
                        indicators[k] = SQL_NULL_DATA;
                }
                break;
            case impl::bulk_kind::real:
                reals.assign(n, 0);
                for (std::size_t k = 0; k < n; ++k) {
                    const double* e = element<double>(v, first + k);
                    if (e != nullptr)
                        reals[k] = *e;
                    else
                        indicators[k] = SQL_NULL_DATA;
                }
                break;
            case impl::bulk_kind::date_time:
                stamps.assign(n, SQL_TIMESTAMP_STRUCT{});
                for (std::size_t k = 0; k < n; ++k) {
                    row = first + k;
                    const tm* e = element<tm>(v, first + k);
                    if (e == nullptr) {
                        indicators[k] = SQL_NULL_DATA;
                        continue;
                    }
                    tovi::driver::check_date(*e);
                    stamps[k] = timestamp_of(*e);
                }
                break;
            case impl::bulk_kind::text: {
                std::size_t widest = 0;
                for (std::size_t k = 0; k < n; ++k) {
                    const std::string* e = element<std::string>(v, first + k);
                    if (e != nullptr) widest = std::max(widest, e->size());
                }
                width = static_cast<SQLLEN>(widest + 1);
                text.assign(n * static_cast<std::size_t>(width), '\0');
                for (std::size_t k = 0; k < n; ++k) {
                    row = first + k;
                    const std::string* e = element<std::string>(v, first + k);
                    if (e == nullptr) {
                        indicators[k] = SQL_NULL_DATA;
                        continue;
                    }
                    refuse_nul(*e);
                    e->copy(&text[k * static_cast<std::size_t>(width)], e->size());
                    indicators[k] = static_cast<SQLLEN>(e->size());
                }
                break;
            }
            case impl::bulk_kind::bytes:  // never in arrays
                break;
        }
    }
};

// The failing row of an array without a savepoint: the one the status array
// marks as failed; else the rows the driver says it processed (the SQLite ODBC
// driver counts those before the failure and marks none).
std::size_t failing(const std::vector<SQLUSMALLINT>& status, std::size_t n, SQLULEN processed) {
    for (std::size_t k = 0; k < n; ++k)
        if (status[k] == SQL_PARAM_ERROR) return k;
    return processed < n ? processed : 0;
}

}  // namespace

void statement::execute_bulk(impl::bulk_vector* const* in, std::size_t count, std::size_t rows,
                             std::size_t& row) {
    const bool command = kind == stmt_insert || kind == stmt_update || kind == stmt_delete;
    // Binary data goes as data at execution, one value at a time: no arrays.
    // The SQLite ODBC driver stores every element of a SQL_C_BINARY array at
    // the buffer's full width, whatever its length says (found by the blob
    // conformance check): arrays would corrupt the data there.
    const bool binary = std::any_of(in, in + count, [](const impl::bulk_vector* v) {
        return v->kind == impl::bulk_kind::bytes;
    });
    if (!command || binary || abandoned_ || count == 0)
        return statement_base::execute_bulk(in, count, rows, row);
    row = 0;
    ready_for_binding();  // prepared, parameters counted
    close_cursor();
    // The bindings' parameters go; they bind again at their next execution.
    reset_parameters();
    const SQLHSTMT h = stmt();
    std::vector<SQLUSMALLINT> status(array_chunk);
    SQLULEN processed = 0;
    // The statement runs one row per execution again, whatever happens.
    struct single_rows {
        statement& st;
        bool done = false;
        void now() {
            if (done) return;
            done = true;
            SQLSetStmtAttr(st.stmt(), SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
            SQLSetStmtAttr(st.stmt(), SQL_ATTR_PARAM_STATUS_PTR, nullptr, 0);
            SQLSetStmtAttr(st.stmt(), SQL_ATTR_PARAMS_PROCESSED_PTR, nullptr, 0);
            st.reset_parameters();
        }
        ~single_rows() { now(); }
    } restore{*this};
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_PARAM_BIND_TYPE, SQL_PARAM_BIND_BY_COLUMN, 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, attribute(array_chunk), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0))) {
        restore.now();  // no arrays here
        return statement_base::execute_bulk(in, count, rows, row);
    }
    if (changes_data_) owner->changed();
    // Each chunk runs under a savepoint where the engine has them: when it
    // fails, its rows run again one at a time, so the failing row is known
    // exactly (a driver may mark every row of a failed array as failed) and the
    // rows before it stand, as they would row by row.
    handle side(SQL_HANDLE_STMT, owner->get_owner().dbc.get());
    auto direct = [&side](const char* sql) {
        const SQLRETURN rc =
            SQLExecDirect(side.get(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
        SQLFreeStmt(side.get(), SQL_CLOSE);
        return SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA;
    };
    // From row `from` on, one row per execution, through the bindings.
    auto one_at_a_time = [&](std::size_t from) {
        restore.now();
        execute_rows(in, count, from, rows, row);
    };
    bool savepoints = true;
    std::vector<parameter_array> arrays(count);
    for (std::size_t first = 0; first < rows; first += array_chunk) {
        const std::size_t n = std::min(array_chunk, rows - first);
        for (std::size_t c = 0; c < count; ++c) {
            parameter_array& a = arrays[c];
            try {
                a.fill(*in[c], first, n, row);
            } catch (const exception&) {
                // A value that cannot travel (a text with a NUL byte, a date out
                // of range): the rows before it run, then it fails as one row would.
                return one_at_a_time(first);
            }
            const auto number = static_cast<SQLUSMALLINT>(c + 1);
            SQLRETURN rc = SQL_SUCCESS;
            // The types a single row binds with (see the bindings).
            switch (in[c]->kind) {
                case impl::bulk_kind::integer:
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0,
                                          0, a.integers.data(), 0, a.indicators.data());
                    break;
                case impl::bulk_kind::real:
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 8,
                                          15, a.reals.data(), 0, a.indicators.data());
                    break;
                case impl::bulk_kind::date_time:
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP,
                                          SQL_TYPE_TIMESTAMP, 23, 3, a.stamps.data(),
                                          sizeof(SQL_TIMESTAMP_STRUCT), a.indicators.data());
                    break;
                case impl::bulk_kind::text:
                    rc = SQLBindParameter(h, number, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR,
                                          static_cast<SQLULEN>(a.width - 1 > 0 ? a.width - 1 : 1),
                                          0, a.text.data(), a.width, a.indicators.data());
                    break;
                case impl::bulk_kind::bytes:  // never in arrays
                    break;
            }
            row = first;
            check(rc);
        }
        row = first;
        if (n != array_chunk || first == 0)
            check(SQLSetStmtAttr(h, SQL_ATTR_PARAMSET_SIZE, attribute(n), 0));
        std::fill(status.begin(), status.begin() + static_cast<std::ptrdiff_t>(n),
                  static_cast<SQLUSMALLINT>(SQL_PARAM_UNUSED));
        processed = 0;
        const bool saved = savepoints && (savepoints = direct("SAVEPOINT tovi_bulk"));
        std::exception_ptr failure;
        try {
            bounded_execute();
        } catch (const exception&) {
            failure = std::current_exception();
        }
        // Some rows may fail while others run: a success with information.
        bool failed = failure != nullptr;
        for (std::size_t k = 0; k < n && !failed; ++k) failed = status[k] == SQL_PARAM_ERROR;
        if (!failed) {
            if (saved) direct("RELEASE SAVEPOINT tovi_bulk");
            continue;
        }
        if (saved && direct("ROLLBACK TO SAVEPOINT tovi_bulk")) {
            direct("RELEASE SAVEPOINT tovi_bulk");
            return one_at_a_time(first);
        }
        // No savepoint (or the driver ended the transaction with it): the
        // driver's word for the failing row. psqlODBC runs an array as one
        // batch and marks every row failed: the row is not known then.
        const bool batch =
            n > 1 && std::all_of(status.begin(), status.begin() + static_cast<std::ptrdiff_t>(n),
                                 [](SQLUSMALLINT s) { return s == SQL_PARAM_ERROR; });
        row = first + failing(status, n, processed);
        try {
            if (failure) std::rethrow_exception(failure);
            check(SQL_ERROR);  // raises the driver's diagnostics
        } catch (exception& e) {
            if (batch) {
                e.set_data("One of rows " + std::to_string(first) + " to " +
                               std::to_string(first + n - 1) + " of " + std::to_string(rows) +
                               " failed: the ODBC driver ran them as one batch and reports "
                               "them all failed (rows counted from 0).",
                           0);
                row = rows;
            }
            throw;
        }
    }
    row = rows;
}

}  // namespace tovi::odbc

namespace tovi::odbc {

namespace {

// Rows per SQLFetch of a bulk fetch, and the widest text read into arrays (a
// wider or unbounded text column is read row by row, whole).
constexpr std::size_t fetch_chunk = 1000;
constexpr SQLULEN widest_array_text = 4096;

// One result column's array: the buffer and the lengths or NULL marks.
struct column_array {
    SQLSMALLINT c_type = 0;
    SQLLEN width = 0;  // bytes per element
    std::vector<char> buffer;
    std::vector<SQLLEN> indicators;
};

// The C type a column of `sql_type` (of `size`) is read into a vector of `kind`
// with, when the column is that kind already; 0 when it is not (the value rules
// then decide, row by row).
SQLSMALLINT array_type(impl::bulk_kind kind, SQLSMALLINT sql_type, SQLULEN size, SQLLEN& width) {
    switch (kind) {
        case impl::bulk_kind::integer:
            width = sizeof(SQLBIGINT);
            return sql_type == SQL_TINYINT || sql_type == SQL_SMALLINT || sql_type == SQL_INTEGER ||
                           sql_type == SQL_BIGINT
                       ? SQL_C_SBIGINT
                       : 0;
        case impl::bulk_kind::real:
            width = sizeof(double);
            return sql_type == SQL_REAL || sql_type == SQL_FLOAT || sql_type == SQL_DOUBLE
                       ? SQL_C_DOUBLE
                       : 0;
        case impl::bulk_kind::date_time:
            width = sizeof(SQL_TIMESTAMP_STRUCT);
            return sql_type == SQL_TYPE_TIMESTAMP ? SQL_C_TYPE_TIMESTAMP : 0;
        case impl::bulk_kind::text:
            // Up to four bytes a character in UTF-8, and the terminator.
            width = static_cast<SQLLEN>(size * 4 + 1);
            return (sql_type == SQL_CHAR || sql_type == SQL_VARCHAR || sql_type == SQL_WCHAR ||
                    sql_type == SQL_WVARCHAR) &&
                           size > 0 && size <= widest_array_text
                       ? SQL_C_CHAR
                       : 0;
        case impl::bulk_kind::bytes:  // read whole, row by row
            return 0;
    }
    return 0;
}

template <class T>
void append(impl::bulk_vector& v, bool null, T value) {
    if (v.nullable) {
        auto& e = *static_cast<std::vector<std::optional<T>>*>(v.data);
        if (null)
            e.emplace_back();
        else
            e.emplace_back(std::move(value));
    } else {
        if (null) impl::bulk_vector::null_in_plain_vector();
        static_cast<std::vector<T>*>(v.data)->push_back(std::move(value));
    }
}

}  // namespace

std::size_t statement::fetch_bulk(impl::bulk_vector* const* out, std::size_t count, std::size_t n) {
    // Row arrays where every bound column is of its vector's kind already (so
    // the driver converts nothing the value rules would decide) and no engine
    // keeps any value in any column; else row by row.
    if (abandoned_ || kind != stmt_select || cursor_state_ != 2 || at_end || count == 0 ||
        typeless())
        return statement_base::fetch_bulk(out, count, n);
    const SQLHSTMT h = stmt();
    SQLSMALLINT columns = 0;
    check(SQLNumResultCols(h, &columns));
    check_column_count(static_cast<std::size_t>(columns));
    std::vector<column_array> arrays(count);
    for (std::size_t c = 0; c < count; ++c) {
        SQLCHAR name[256];
        SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        check(SQLDescribeCol(h, static_cast<SQLUSMALLINT>(c + 1), name, sizeof name, &name_length,
                             &type, &size, &digits, &nullable));
        arrays[c].c_type = array_type(out[c]->kind, type, size, arrays[c].width);
        if (arrays[c].c_type == 0) return statement_base::fetch_bulk(out, count, n);
    }
    const std::size_t chunk = std::min(n, fetch_chunk);
    SQLULEN fetched = 0;
    std::vector<SQLUSMALLINT> status(chunk);
    // The statement fetches one row per SQLFetch again afterwards, its columns
    // bound afresh, whatever happens.
    struct single_rows {
        statement& st;
        ~single_rows() {
            SQLFreeStmt(st.stmt(), SQL_UNBIND);
            SQLSetStmtAttr(st.stmt(), SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
            SQLSetStmtAttr(st.stmt(), SQL_ATTR_ROWS_FETCHED_PTR, nullptr, 0);
            SQLSetStmtAttr(st.stmt(), SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
            st.columns_bound_ = true;
        }
    } restore{*this};
    SQLFreeStmt(h, SQL_UNBIND);
    if (!SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0)) ||
        !SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, status.data(), 0)))
        return statement_base::fetch_bulk(out, count, n);  // no arrays here
    for (std::size_t c = 0; c < count; ++c) {
        column_array& a = arrays[c];
        a.buffer.assign(chunk * static_cast<std::size_t>(a.width), '\0');
        a.indicators.assign(chunk, 0);
        check(SQLBindCol(h, static_cast<SQLUSMALLINT>(c + 1), a.c_type, a.buffer.data(), a.width,
                         a.indicators.data()));
    }
    std::size_t got = 0;
    while (got < n) {
        const std::size_t want = std::min(chunk, n - got);
        if (!SQL_SUCCEEDED(SQLSetStmtAttr(h, SQL_ATTR_ROW_ARRAY_SIZE, attribute(want), 0))) break;
        fetched = 0;
        const SQLRETURN rc = bounded([h] { return SQLFetch(h); });
        if (rc == SQL_NO_DATA) {
            at_end = true;
            break;
        }
        for (std::size_t r = 0; r < fetched; ++r) {
            if (status[r] == SQL_ROW_ERROR) check(SQL_ERROR);
            for (std::size_t c = 0; c < count; ++c) {
                const column_array& a = arrays[c];
                const SQLLEN indicator = a.indicators[r];
                const bool null = indicator == SQL_NULL_DATA;
                const char* e = a.buffer.data() + r * static_cast<std::size_t>(a.width);
                switch (out[c]->kind) {
                    case impl::bulk_kind::integer:
                        append<long>(
                            *out[c], null,
                            null ? 0 : static_cast<long>(*reinterpret_cast<const SQLBIGINT*>(e)));
                        break;
                    case impl::bulk_kind::real:
                        append<double>(*out[c], null,
                                       null ? 0 : *reinterpret_cast<const double*>(e));
                        break;
                    case impl::bulk_kind::date_time:
                        append<tm>(
                            *out[c], null,
                            null ? tm{} : tm_of(*reinterpret_cast<const SQL_TIMESTAMP_STRUCT*>(e)));
                        break;
                    case impl::bulk_kind::text:
                        // A text the driver had to cut is never handed on as whole.
                        if (!null && (indicator == SQL_NO_TOTAL || indicator >= a.width))
                            raise(bad_value(
                                "Result column " + std::to_string(c + 1) +
                                    " holds a text longer than the column's declared size: "
                                    "fetch it row by row.",
                                0));
                        append<std::string>(
                            *out[c], null,
                            null ? std::string()
                                 : std::string(e, static_cast<std::size_t>(indicator)));
                        break;
                    case impl::bulk_kind::bytes:  // never in arrays
                        break;
                }
            }
        }
        got += fetched;
        if (fetched < want) {
            at_end = true;
            break;
        }
    }
    return got;
}

}  // namespace tovi::odbc
