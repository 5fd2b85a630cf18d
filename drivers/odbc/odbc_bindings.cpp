// The bindings: parameters bound before each execution, columns read with
// SQLGetData (in 4096-byte pieces for text and bytes).
#include "odbc_bindings.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <type_traits>

namespace tovi::odbc {

namespace {

// Reads a whole column as text or bytes; false when it is NULL. A piece that
// does not fit returns success with information, SQLSTATE 01004: read on, into a
// piece that holds the rest when the driver says how much is left, or one twice
// as large (the SQLite ODBC driver's cost grows with the number of pieces: 4 KB
// pieces made a 50 MB text take a minute).
bool read_all(statement& st, SQLUSMALLINT column, SQLSMALLINT c_type, std::string& out) {
    const std::size_t terminator = c_type == SQL_C_CHAR ? 1 : 0;
    std::size_t piece = 4096;
    out.clear();
    for (;;) {
        const std::size_t at = out.size();
        out.resize(at + piece);
        SQLLEN indicator = 0;
        const SQLRETURN rc =
            SQLGetData(st.stmt(), column, c_type, &out[at], static_cast<SQLLEN>(piece), &indicator);
        if (rc == SQL_NO_DATA) {
            out.resize(at);
            return true;
        }
        if (indicator == SQL_NULL_DATA) {
            out.clear();
            return false;
        }
        if (rc == SQL_SUCCESS_WITH_INFO) {
            SQLINTEGER native = 0;
            std::string state;
            const std::string text = diagnostic_text(SQL_HANDLE_STMT, st.stmt(), native, &state);
            if (state != "01004") st.check(rc);  // any other warning fails
            // A full piece (less its terminating NUL for character data).
            const std::size_t got = piece - terminator;
            out.resize(at + got);
            const bool told =
                indicator != SQL_NO_TOTAL && static_cast<std::size_t>(indicator) > got;
            piece = told ? static_cast<std::size_t>(indicator) - got + terminator : 2 * piece;
            continue;
        }
        st.check(rc);
        const std::size_t got =
            indicator == SQL_NO_TOTAL
                ? (c_type == SQL_C_CHAR ? ::strnlen(&out[at], piece) : piece)
                : std::min(static_cast<std::size_t>(indicator), piece - terminator);
        out.resize(at + got);
        return true;
    }
}

using tovi::driver::value_kind;

// What a column of SQL type `type` holds, in the framework's kinds.
value_kind kind_of(SQLSMALLINT type, SQLSMALLINT digits) {
    switch (type) {
        case SQL_BIT:
            return value_kind::boolean;
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            return value_kind::integer;
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return digits == 0 ? value_kind::integer : value_kind::real;
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
            return value_kind::real;
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR:
            return value_kind::text;
        case SQL_BINARY:
        case SQL_VARBINARY:
        case SQL_LONGVARBINARY:
            return value_kind::bytes;
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TYPE_TIMESTAMP:
        case SQL_DATE:
        case SQL_TIMESTAMP:
            return value_kind::date_time;
        default:
            return value_kind::null;
    }
}

tovi::driver::cell date_cell(const SQL_TIMESTAMP_STRUCT& stamp) {
    tovi::driver::cell c;
    c.kind = value_kind::date_time;
    c.date = tm_of(stamp);
    c.nanoseconds = stamp.fraction;
    return c;
}

template <class N>
bool read_fixed(statement& st, SQLUSMALLINT column, SQLSMALLINT c_type, N& out) {
    SQLLEN indicator = 0;
    st.check(SQLGetData(st.stmt(), column, c_type, &out, sizeof out, &indicator));
    return indicator != SQL_NULL_DATA;
}

SQLRETURN bind(statement& st, SQLUSMALLINT number, SQLSMALLINT c_type, SQLSMALLINT sql_type,
               SQLULEN size, SQLSMALLINT digits, void* value, SQLLEN length, SQLLEN* indicator) {
    return st.check(SQLBindParameter(st.stmt(), number, SQL_PARAM_INPUT, c_type, sql_type, size,
                                     digits, value, length, indicator));
}

}  // namespace

void refuse_nul_at(std::size_t at) {
    throw bad_value_conversion(
        exception("A text holding a NUL byte (at position " + std::to_string(at) +
                      ") cannot travel as character data through ODBC; bind it as a blob.",
                  0));
}

tm tm_of(const SQL_TIMESTAMP_STRUCT& stamp) {
    tm t{};
    t.tm_year = stamp.year - 1900;
    t.tm_mon = stamp.month - 1;
    t.tm_mday = stamp.day;
    t.tm_hour = stamp.hour;
    t.tm_min = stamp.minute;
    t.tm_sec = stamp.second;
    t.tm_isdst = -1;
    return t;
}

SQL_TIMESTAMP_STRUCT timestamp_of(const tm& t) {
    SQL_TIMESTAMP_STRUCT stamp{};
    stamp.year = static_cast<SQLSMALLINT>(t.tm_year + 1900);
    stamp.month = static_cast<SQLUSMALLINT>(t.tm_mon + 1);
    stamp.day = static_cast<SQLUSMALLINT>(t.tm_mday);
    stamp.hour = static_cast<SQLUSMALLINT>(t.tm_hour);
    stamp.minute = static_cast<SQLUSMALLINT>(t.tm_min);
    stamp.second = static_cast<SQLUSMALLINT>(t.tm_sec);
    return stamp;
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
binding<T, Free>::~binding() {
    // The statement must not use this binding's buffers again: bind afresh.
    if (this->statement_ != nullptr) this->statement_->binding_gone(this->is_parameter());
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::bind(SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN size,
                            SQLSMALLINT digits, void* value, SQLLEN length) {
    statement& st = *this->statement_;
    const SQLSMALLINT kind =
        this->factory->get_direction() == in_out ? SQL_PARAM_INPUT_OUTPUT : SQL_PARAM_INPUT;
    st.check(SQLBindParameter(st.stmt(), static_cast<SQLUSMALLINT>(this->position + 1), kind,
                              c_type, sql_type, size, digits, value, length, &indicator_));
    bound_in_ = st.parameter_generation();
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::setup() {
    if (this->is_parameter()) return;
    statement& st = *this->statement_;
    const SQLUSMALLINT column = static_cast<SQLUSMALLINT>(this->position + 1);
    other_ = value_kind::null;
    if constexpr (!std::is_same_v<T, tm>) {
        // The column's own kind decides how a variant reads it, and whether the
        // driver's cast into another variable may be used.
        SQLCHAR name[256];
        SQLSMALLINT name_length = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        st.check(SQLDescribeCol(st.stmt(), column, name, sizeof name, &name_length, &type, &size,
                                &digits, &nullable));
        const value_kind kind = kind_of(type, digits);
        if constexpr (std::is_same_v<T, _variant_t>) {
            variant_kind_ = kind;
            return;  // read with SQLGetData after each fetch
        }
        if (tovi::driver::reads_through_rules<T>(kind)) other_ = kind;
        // Text keeps the driver's words for whole numbers (the same digits).
        if (std::is_same_v<T, std::string> && kind == value_kind::integer)
            other_ = value_kind::null;
    }
    // Fixed-size columns land in the binding's buffers at each SQLFetch (a
    // driver may write there for a NULL too: the application's storage keeps its
    // value then). Text is always read as text: see read_other.
    value_kind fetch_as = std::is_same_v<T, std::string> ? value_kind::null : other_;
    if (fetch_as == value_kind::null) {
        if constexpr (std::is_same_v<T, long> || std::is_same_v<T, bool>)
            fetch_as = value_kind::integer;
        else if constexpr (std::is_same_v<T, double>)
            fetch_as = value_kind::real;
        else if constexpr (std::is_same_v<T, tm>)
            fetch_as = value_kind::date_time;
    }
    SQLRETURN rc = SQL_SUCCESS;
    switch (fetch_as) {
        case value_kind::integer:
        case value_kind::boolean:
            rc = SQLBindCol(st.stmt(), column, SQL_C_SBIGINT, &integer_, sizeof integer_,
                            &indicator_);
            break;
        case value_kind::real:
            rc = SQLBindCol(st.stmt(), column, SQL_C_DOUBLE, &real_, sizeof real_, &indicator_);
            break;
        case value_kind::date_time:
            rc = SQLBindCol(st.stmt(), column, SQL_C_TYPE_TIMESTAMP, &stamp_, sizeof stamp_,
                            &indicator_);
            break;
        default:  // text, read with SQLGetData after each fetch
            break;
    }
    st.check(rc);
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::get_value() {
    statement& st = *this->statement_;
    const bool null = this->owner_is_null();
    const bool bound = bound_in_ == st.parameter_generation();
    T& data = this->data_;
    if constexpr (std::is_same_v<T, long>) {
        if (!bound) bind(SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &data, 0);
    } else if constexpr (std::is_same_v<T, bool>) {
        integer_ = data ? 1 : 0;
        if (!bound) bind(SQL_C_SBIGINT, SQL_BIT, 1, 0, &integer_, 0);
    } else if constexpr (std::is_same_v<T, double>) {
        if (!bound) bind(SQL_C_DOUBLE, SQL_DOUBLE, 8, 15, &data, 0);
    } else if constexpr (std::is_same_v<T, std::string>) {
        // Column size and buffer follow the text: bind again when its bytes move.
        const SQLLEN length = static_cast<SQLLEN>(data.size());
        if (!null) refuse_nul(data);
        if (!bound || data.data() != bound_text_ || length != bound_length_) {
            bind(SQL_C_CHAR, SQL_VARCHAR, data.empty() ? 1 : data.size(), 0,
                 const_cast<char*>(data.data()), length);
            bound_text_ = data.data();
            bound_length_ = length;
        }
        indicator_ = null ? SQL_NULL_DATA : length;
        return;
    } else if constexpr (std::is_same_v<T, tm>) {
        stamp_ = SQL_TIMESTAMP_STRUCT{};
        if (!null) {
            tovi::driver::check_date(data);
            stamp_ = timestamp_of(data);
        }
        if (!bound) bind(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &stamp_, sizeof stamp_);
    } else {  // _variant_t: what it holds decides, at every execution
        indicator_ = 0;
        tovi::driver::from_variant(data, value_);
        switch (value_.kind) {
            case tovi::driver::value_kind::null:
                indicator_ = SQL_NULL_DATA;
                bind(SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0);
                break;
            // Integers go through a 64-bit buffer: Debian's SQLite ODBC driver stores a
            // negative SQL_C_STINYINT and a large SQL_C_ULONG wrongly.
            case tovi::driver::value_kind::integer:
            case tovi::driver::value_kind::boolean:
                integer_ = value_.integer;
                bind(SQL_C_SBIGINT, SQL_BIGINT, 8, 0, &integer_, 0);
                break;
            case tovi::driver::value_kind::real:
                real_ = value_.real;
                bind(SQL_C_DOUBLE, SQL_DOUBLE, 8, 15, &real_, 0);
                break;
            case tovi::driver::value_kind::date_time:
                tovi::driver::check_date(value_.date);
                stamp_ = timestamp_of(value_.date);
                bind(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &stamp_, sizeof stamp_);
                break;
            case tovi::driver::value_kind::text:
            case tovi::driver::value_kind::bytes: {
                const bool text = value_.kind == tovi::driver::value_kind::text;
                if (text) refuse_nul(value_.text);
                std::string& bytes = value_.text;
                bind(text ? SQL_C_CHAR : SQL_C_BINARY, text ? SQL_VARCHAR : SQL_VARBINARY,
                     bytes.empty() ? 1 : bytes.size(), 0, &bytes[0],
                     static_cast<SQLLEN>(bytes.size()));
                indicator_ = static_cast<SQLLEN>(bytes.size());
                break;
            }
        }
        bound_in_ = 0;  // a variant binds afresh each time
        return;
    }
    indicator_ = null ? SQL_NULL_DATA : 0;
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::set_value() {
    // Walked for result columns only: the parameters' factory (direction in)
    // skips its set_value.
    statement& st = *this->statement_;
    const SQLUSMALLINT column = static_cast<SQLUSMALLINT>(this->position + 1);
    T& data = this->data_;
    bool present = false;
    if (other_ != value_kind::null) return read_other();
    if constexpr (std::is_same_v<T, std::string>) {
        present = read_all(st, column, SQL_C_CHAR, data);
        if (!present) data.clear();
    } else if constexpr (!std::is_same_v<T, _variant_t>) {
        // Fixed-size columns: the value is in the binding's buffer; NULL out of line.
        if (indicator_ == SQL_NULL_DATA) return fetched_null();
        if constexpr (std::is_same_v<T, long>)
            data = static_cast<long>(integer_);
        else if constexpr (std::is_same_v<T, double>)
            data = real_;
        else if constexpr (std::is_same_v<T, bool>)
            data = integer_ != 0;
        else
            data = tm_of(stamp_);
        return this->record_value();
    } else {  // _variant_t: the column read in its kind, into the variant by the rules
        tovi::driver::cell c;
        c.kind = variant_kind_;
        switch (c.kind) {
            case value_kind::integer:
            case value_kind::boolean: {
                SQLBIGINT v = 0;
                present = read_fixed(st, column, SQL_C_SBIGINT, v);
                c.integer = static_cast<long>(v);
                break;
            }
            case value_kind::real:
                present = read_fixed(st, column, SQL_C_DOUBLE, c.real);
                break;
            case value_kind::date_time: {
                SQL_TIMESTAMP_STRUCT stamp{};
                present = read_fixed(st, column, SQL_C_TYPE_TIMESTAMP, stamp);
                c = date_cell(stamp);
                break;
            }
            case value_kind::text:
            case value_kind::bytes:
                present = read_all(
                    st, column, c.kind == value_kind::text ? SQL_C_CHAR : SQL_C_BINARY, scratch_);
                c.data = scratch_.data();
                c.size = scratch_.size();
                break;
            default:
                throw bad_value_conversion(0);
        }
        if (!present && c.kind != value_kind::text && c.kind != value_kind::bytes &&
            text_behind_null(st, column)) {
            present = true;
            c = scratch_text();
        }
        if (!present) {
            data.Clear();
            if (this->owner != nullptr) this->owner->is_null = true;
            return;
        }
        read_into(c, data);
    }
    this->record_null(!present);
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::read_other() {
    statement& st = *this->statement_;
    const SQLUSMALLINT column = static_cast<SQLUSMALLINT>(this->position + 1);
    if constexpr (std::is_same_v<T, std::string>) {
        // The driver's text, whatever the column holds (a typeless engine may keep
        // any text in any column: no cast may turn it into a NULL), then in the
        // words every road uses.
        const bool present = read_all(st, column, SQL_C_CHAR, this->data_);
        if (present)
            tovi::driver::normalise_text(other_, this->data_);
        else
            this->data_.clear();
        this->record_null(!present);
        return;
    }
    tovi::driver::cell c;
    c.kind = other_;
    bool present = true;
    switch (other_) {
        case value_kind::integer:
        case value_kind::boolean:
            present = indicator_ != SQL_NULL_DATA;
            c.integer = static_cast<long>(integer_);
            break;
        case value_kind::real:
            present = indicator_ != SQL_NULL_DATA;
            c.real = real_;
            break;
        case value_kind::date_time:
            present = indicator_ != SQL_NULL_DATA;
            c = date_cell(stamp_);
            break;
        default:  // text
            present = read_all(st, column, SQL_C_CHAR, scratch_);
            c.data = scratch_.data();
            c.size = scratch_.size();
            break;
    }
    if (!present && other_ != value_kind::text && text_behind_null(st, column))
        return read_text_behind_null();
    if (this->record_null(!present)) read_into(c, this->data_);
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
bool binding<T, Free>::text_behind_null(statement& st, SQLUSMALLINT column) {
    return st.typeless() && read_all(st, column, SQL_C_CHAR, scratch_);
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::fetched_null() {
    if (text_behind_null(*this->statement_, static_cast<SQLUSMALLINT>(this->position + 1)))
        return read_text_behind_null();
    this->record_null(true);
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::read_text_behind_null() {
    this->record_value();
    read_into(scratch_text(), this->data_);
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
tovi::driver::cell binding<T, Free>::scratch_text() const {
    tovi::driver::cell c;
    c.kind = value_kind::text;
    c.data = scratch_.data();
    c.size = scratch_.size();
    return c;
}

TOVI_DRIVER_SCALAR_BINDINGS(binding);

// --- large objects

void lob_binding::bind_now(const std::string& data) {
    // The fetched object's new value goes out with the next execution.
    sent_ = data;
    fetched = false;
    buffer = data;
    state = 2;
    empty = false;
}

void lob_binding::get_value() {
    statement& st = *statement_;
    const SQLUSMALLINT number = static_cast<SQLUSMALLINT>(position + 1);
    if (sends_null()) {
        indicator_ = SQL_NULL_DATA;
        bind(st, number, SQL_C_CHAR, is_blob ? SQL_LONGVARBINARY : SQL_LONGVARCHAR, 1, 0, nullptr,
             0, &indicator_);
        return;
    }
    // Data at execution, in the length form that every ODBC 3 driver accepts
    // (Debian's SQLite ODBC driver loses data sent otherwise); the binding itself is the token
    // SQLParamData hands back.
    if (!is_blob) refuse_nul(buffer);
    sent_ = buffer;
    indicator_ = SQL_LEN_DATA_AT_EXEC(static_cast<SQLLEN>(sent_.size()));
    bind(st, number, is_blob ? SQL_C_BINARY : SQL_C_CHAR,
         is_blob ? SQL_LONGVARBINARY : SQL_LONGVARCHAR, sent_.empty() ? 1 : sent_.size(), 0,
         static_cast<impl::lob_t*>(this), 0, &indicator_);
}

void lob_binding::put_data() {
    statement& st = *statement_;
    st.check(SQLPutData(st.stmt(), sent_.empty() ? nullptr : &sent_[0],
                        static_cast<SQLLEN>(sent_.size())));
}

void lob_binding::set_value() {
    if (factory->get_direction() == in) return;
    const bool present = read_all(*statement_, static_cast<SQLUSMALLINT>(position + 1),
                                  is_blob ? SQL_C_BINARY : SQL_C_CHAR, buffer);
    record_null(!present);
    if (!present) buffer.clear();
    fetched = true;
}

}  // namespace tovi::odbc
