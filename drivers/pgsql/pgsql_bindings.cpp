// Parameters and columns, one rule per kind.
#include "pgsql_bindings.hpp"

#include <endian.h>

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tovi::pgsql {

using tovi::driver::cell;
using tovi::driver::value_kind;

namespace {

constexpr Oid bytea_oid = 17;
constexpr Oid int8_oid = 20;
constexpr Oid float8_oid = 701;
constexpr Oid timestamp_oid = 1114;
constexpr Oid unknown_oid = 0;  // text: the server infers the type from the statement

void put64(char* to, std::uint64_t v) {
    v = htobe64(v);
    std::memcpy(to, &v, 8);
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
long days_from_civil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

// PostgreSQL's binary timestamp: microseconds since 2000-01-01 00:00:00.
std::int64_t timestamp_of(const tm& t) {
    tovi::driver::check_date(t);
    const long days = days_from_civil(t.tm_year + 1900L, static_cast<unsigned>(t.tm_mon + 1),
                                      static_cast<unsigned>(t.tm_mday)) -
                      10957;
    const std::int64_t seconds =
        ((static_cast<std::int64_t>(days) * 24 + t.tm_hour) * 60 + t.tm_min) * 60 + t.tm_sec;
    return seconds * 1000000;
}

// PostgreSQL text cannot hold a NUL byte: refused before anything is sent
// (libpq would cut the text there).
[[noreturn]] __attribute__((noinline, cold)) void refuse_nul(const statement& st, std::size_t at) {
    st.raise(bad_value("PostgreSQL text cannot hold a NUL byte (byte " + std::to_string(at) +
                           " of the value); send it as binary data (a BLOB).",
                       0));
}
inline void check_text(const statement& st, const char* data, std::size_t size) {
    const void* nul = std::memchr(data, 0, size);
    if (nul != nullptr)
        refuse_nul(st, static_cast<std::size_t>(static_cast<const char*>(nul) - data));
}
int hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A bytea column's text ("\x0a1b..." or the older escape form) as its bytes.
void decode_bytea(const char* text, std::size_t size, std::string& out) {
    if (size >= 2 && text[0] == '\\' && text[1] == 'x') {
        out.resize((size - 2) / 2);
        char* to = &out[0];
        for (std::size_t i = 2; i + 1 < size; i += 2)
            *to++ = static_cast<char>(hex(text[i]) << 4 | hex(text[i + 1]));
        return;
    }
    std::size_t n = 0;
    unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &n);
    if (raw == nullptr) throw std::bad_alloc();
    out.assign(reinterpret_cast<const char*>(raw), n);
    PQfreemem(raw);
}

// Reads `count` digits at `p` into `v`; false when one is no digit.
bool digits(const char*& p, const char* end, int count, int& v) {
    v = 0;
    for (int i = 0; i < count; ++i, ++p) {
        if (p >= end || *p < '0' || *p > '9') return false;
        v = v * 10 + (*p - '0');
    }
    return true;
}

// "YYYY-MM-DD[ HH:MM:SS[.ffffff]][+HH[:MM[:SS]]]" in the session's time zone;
// false for anything else (infinity, BC, five-digit years).
bool parse_timestamp(const char* p, std::size_t size, tm& t, unsigned long& nanoseconds) {
    const char* end = p + size;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!digits(p, end, 4, y) || p >= end || *p++ != '-' || !digits(p, end, 2, mo) || p >= end ||
        *p++ != '-' || !digits(p, end, 2, d))
        return false;
    nanoseconds = 0;
    if (p < end && *p == ' ') {
        ++p;
        if (!digits(p, end, 2, h) || p >= end || *p++ != ':' || !digits(p, end, 2, mi) ||
            p >= end || *p++ != ':' || !digits(p, end, 2, s))
            return false;
        if (p < end && *p == '.') {
            unsigned long scale = 100000000UL;
            for (++p; p < end && *p >= '0' && *p <= '9'; ++p, scale /= 10)
                nanoseconds += static_cast<unsigned long>(*p - '0') * scale;
        }
        if (p < end && (*p == '+' || *p == '-')) p = end;  // the zone: the wall clock stays
    }
    if (p != end) return false;
    t = tm{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return true;
}

// The column as the framework's rules read it; bytes decode into `scratch`.
cell column(value_kind kind, const char* v, std::size_t n, std::string& scratch) {
    cell out;
    out.kind = kind;
    switch (kind) {
        case value_kind::integer:
            out.integer = tovi::driver::whole_number(v, n);
            break;
        case value_kind::real:
            out.real = tovi::driver::real_number(v, n);
            break;
        case value_kind::boolean:
            out.integer = n > 0 && v[0] == 't' ? 1 : 0;
            break;
        case value_kind::bytes:
            decode_bytea(v, n, scratch);
            out.data = scratch.data();
            out.size = scratch.size();
            break;
        case value_kind::date_time:
            if (parse_timestamp(v, n, out.date, out.nanoseconds)) break;
            out.kind = value_kind::text;  // read as text: refused where a date is wanted
            out.data = v;
            out.size = n;
            break;
        default:
            out.kind = value_kind::text;
            out.data = v;
            out.size = n;
            break;
    }
    return out;
}

// The decimal text of an integer column (the server writes it plainly, ended
// by a NUL).
long integer_text(const char* p) {
    const bool negative = *p == '-';
    if (negative) ++p;
    unsigned long value = 0;
    for (; *p != '\0'; ++p) value = value * 10 + static_cast<unsigned>(*p - '0');
    return negative ? static_cast<long>(0 - value) : static_cast<long>(value);
}

}  // namespace

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::get_value() {
    statement& st = *this->statement_;
    const unsigned short p = this->position;
    if (this->owner_is_null()) {
        st.set_null(p);
        return;
    }
    if constexpr (std::is_same_v<T, long>) {
        put64(binary_, static_cast<std::uint64_t>(this->data_));
        st.set_parameter(p, binary_, 8, 1, int8_oid);
    } else if constexpr (std::is_same_v<T, bool>) {
        st.set_parameter(p, this->data_ ? "1" : "0", 1, 0, unknown_oid);
    } else if constexpr (std::is_same_v<T, double>) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &this->data_, 8);
        put64(binary_, bits);
        st.set_parameter(p, binary_, 8, 1, float8_oid);
    } else if constexpr (std::is_same_v<T, std::string>) {
        check_text(st, this->data_.data(), this->data_.size());
        st.set_parameter(p, this->data_.c_str(), static_cast<int>(this->data_.size()), 0,
                         unknown_oid);
    } else if constexpr (std::is_same_v<T, tm>) {
        put64(binary_, static_cast<std::uint64_t>(timestamp_of(this->data_)));
        st.set_parameter(p, binary_, 8, 1, timestamp_oid);
    } else {
        tovi::driver::from_variant(this->data_, variant_);
        const std::string& text = variant_.text;
        switch (variant_.kind) {
            case value_kind::null:
                st.set_null(p);
                break;
            case value_kind::integer:
                put64(binary_, static_cast<std::uint64_t>(variant_.integer));
                st.set_parameter(p, binary_, 8, 1, int8_oid);
                break;
            case value_kind::boolean:
                st.set_parameter(p, variant_.integer != 0 ? "1" : "0", 1, 0, unknown_oid);
                break;
            case value_kind::real: {
                std::uint64_t bits = 0;
                std::memcpy(&bits, &variant_.real, 8);
                put64(binary_, bits);
                st.set_parameter(p, binary_, 8, 1, float8_oid);
                break;
            }
            case value_kind::date_time:
                put64(binary_, static_cast<std::uint64_t>(timestamp_of(variant_.date)));
                st.set_parameter(p, binary_, 8, 1, timestamp_oid);
                break;
            case value_kind::bytes:
                st.set_parameter(p, text.data(), static_cast<int>(text.size()), 1, bytea_oid);
                break;
            default:
                check_text(st, text.data(), text.size());
                st.set_parameter(p, text.c_str(), static_cast<int>(text.size()), 0, unknown_oid);
                break;
        }
    }
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::set_value() {
    if (this->is_parameter()) return;
    const statement& st = *this->statement_;
    const PGresult* r = st.rows();
    const int row = st.row();
    const int c = this->position;
    const char* v = PQgetvalue(r, row, c);
    // libpq gives NULL as "": only an empty value may be one.
    if (*v == '\0' && PQgetisnull(r, row, c) != 0) {
        if constexpr (std::is_same_v<T, _variant_t>) {
            this->data_.Clear();
            if (this->owner != nullptr) this->owner->is_null = true;
            return;
        } else {
            if constexpr (std::is_same_v<T, std::string>) this->data_.clear();
            this->record_null(true);
            return;
        }
    }
    this->record_value();
    const value_kind kind = st.column_kind(c);
    // The usual cases first: an integer column into a long, text into a string.
    if constexpr (std::is_same_v<T, long>) {
        if (kind == value_kind::integer) {
            this->data_ = integer_text(v);
            return;
        }
    }
    const auto n = static_cast<std::size_t>(PQgetlength(r, row, c));
    if constexpr (std::is_same_v<T, std::string>) {
        if (kind == value_kind::text) {
            this->data_.assign(v, n);
            return;
        }
        if (kind == value_kind::bytes) {
            decode_bytea(v, n, this->data_);
            return;
        }
    }
    read_into(column(kind, v, n, bytes_), this->data_);
}

TOVI_DRIVER_SCALAR_BINDINGS(binding);

void lob_binding::send(const std::string& data) {
    statement& st = *statement_;
    if (is_blob) {
        st.set_parameter(position, data.data(), static_cast<int>(data.size()), 1, bytea_oid);
    } else {
        check_text(st, data.data(), data.size());
        st.set_parameter(position, data.c_str(), static_cast<int>(data.size()), 0, unknown_oid);
    }
}

void lob_binding::bind_now(const std::string& data) {
    bound_ = data;
    send(bound_);
}

void lob_binding::get_value() {
    if (sends_null()) {
        statement_->set_null(position);
        return;
    }
    if (!fetched) send(buffer);
}

void lob_binding::set_value() {
    if (factory->get_direction() == in) return;
    const statement& st = *statement_;
    buffer.clear();
    if (record_null(PQgetisnull(st.rows(), st.row(), position) != 0)) {
        const char* v = PQgetvalue(st.rows(), st.row(), position);
        const auto n = static_cast<std::size_t>(PQgetlength(st.rows(), st.row(), position));
        if (st.column_kind(position) == value_kind::bytes)
            decode_bytea(v, n, buffer);
        else
            buffer.assign(v, n);
    }
    fetched = true;
}

}  // namespace tovi::pgsql
