// The bindings: descriptor variables, value copies, blobs by segments.
#include "ib_bindings.hpp"

#include <cstring>
#include <type_traits>

namespace tovi::ib {

namespace {

const std::size_t segment = 65535;  // the most one segment call moves
const short default_text_length = 8192;

bool is_text(short type) {
    return type == SQL_TEXT || type == SQL_VARYING;
}
bool is_real(short type) {
    return type == SQL_FLOAT || type == SQL_DOUBLE || type == SQL_D_FLOAT;
}
bool is_integer(short type) {
    return type == SQL_SHORT || type == SQL_LONG || type == SQL_INT64;
}
bool is_date(short type) {
    return type == SQL_TIMESTAMP || type == SQL_TYPE_DATE || type == SQL_TYPE_TIME;
}

using tovi::driver::value_kind;

// What a column holds, in the framework's kinds; null: a blob or an array.
value_kind kind_of(const described& d) {
    if (d.type == SQL_BOOLEAN) return value_kind::boolean;
    if (is_integer(d.type)) return d.scale == 0 ? value_kind::integer : value_kind::real;
    if (is_real(d.type)) return value_kind::real;
    if (is_text(d.type)) return value_kind::text;
    if (is_date(d.type)) return value_kind::date_time;
    return value_kind::null;
}

// A variant's text for a text column or a text blob: booleans as "Yes"/"No",
// byte arrays as their bytes.
std::string text_of(const _variant_t& v) {
    if (v.vt == VT_BOOL) return v.boolVal != VARIANT_FALSE ? "Yes" : "No";
    if (v.vt == (VT_ARRAY | VT_UI1)) {
        std::string bytes = safearray_to_raw(v.parray);
        if (bytes.size() > 32766) throw value_is_truncated(0);  // the longest text value
        return bytes;
    }
    _variant_t text;
    if (FAILED(VariantChangeType(&text, &v, 0, VT_BSTR))) throw bad_value_conversion(0);
    return variant2string(text);
}

}  // namespace

void write_blob(statement& st, const std::string& bytes, ISC_QUAD& id) {
    isc_blob_handle h = 0;
    isc_create_blob2(status(), st.db(), st.tr(), &h, &id, 0, nullptr);
    st.check();
    for (std::size_t offset = 0; offset < bytes.size(); offset += segment) {
        const std::size_t n = std::min(segment, bytes.size() - offset);
        isc_put_segment(status(), &h, static_cast<unsigned short>(n), bytes.data() + offset);
        if (failed(status())) {
            const auto e = native_error(status());
            ISC_STATUS_ARRAY ignored;
            isc_cancel_blob(ignored, &h);
            st.fail(e);
        }
    }
    isc_close_blob(status(), &h);
    st.check();
}

blob_info read_blob_info(statement& st, isc_blob_handle& h) {
    const char items[] = {isc_info_blob_total_length, isc_info_blob_max_segment,
                          isc_info_blob_num_segments, isc_info_blob_type};
    char result[40];
    isc_blob_info(status(), &h, sizeof items, items, sizeof result, result);
    st.check();
    blob_info info;
    for (const char* p = result; p < result + sizeof result && *p != isc_info_end;) {
        const char tag = *p++;
        if (tag == isc_info_truncated) throw exception("BLOB information was truncated.", 0);
        if (tag == isc_info_error) throw exception("Requested BLOB information is unavailable.", 0);
        const auto length =
            static_cast<short>(isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(p), 2));
        p += 2;
        const ISC_INT64 value = isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(p), length);
        p += length;
        if (tag == isc_info_blob_total_length) info.total_length = value;
        if (tag == isc_info_blob_max_segment) info.largest_segment = value;
        if (tag == isc_info_blob_num_segments) info.segments = value;
        if (tag == isc_info_blob_type) info.segmented = value == 0;
    }
    return info;
}

std::string read_blob(statement& st, ISC_QUAD& id) {
    isc_blob_handle h = 0;
    isc_open_blob2(status(), st.db(), st.tr(), &h, &id, 0, nullptr);
    st.check();
    std::string all, piece(segment, '\0');
    all.reserve(static_cast<std::size_t>(read_blob_info(st, h).total_length));
    for (;;) {
        unsigned short got = 0;
        const ISC_STATUS rc =
            isc_get_segment(status(), &h, &got, static_cast<unsigned short>(segment), &piece[0]);
        if (rc == 0 || rc == isc_segment) {
            all.append(piece, 0, got);
            continue;
        }
        if (rc == isc_segstr_eof) break;
        const auto e = native_error(status());
        ISC_STATUS_ARRAY ignored;
        isc_close_blob(ignored, &h);
        st.fail(e);
    }
    isc_close_blob(status(), &h);
    st.check();
    return all;
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
binding<T, Free>::~binding() {
    if (this->statement_ != nullptr) this->statement_->binding_gone(input());
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
char* binding<T, Free>::use(short type, short& length) {
    type_ = type;
    switch (type) {
        case SQL_INT64:
            length = sizeof integer_;
            return reinterpret_cast<char*>(&integer_);
        case SQL_DOUBLE:
            length = sizeof real_;
            return reinterpret_cast<char*>(&real_);
        case SQL_TIMESTAMP:
            length = sizeof stamp_;
            return reinterpret_cast<char*>(&stamp_);
        case SQL_BOOLEAN:
            length = sizeof flag_;
            return reinterpret_cast<char*>(&flag_);
        default:  // SQL_VARYING
            if (length <= 0) length = default_text_length;
            text_.assign(static_cast<std::size_t>(length) + 2, '\0');
            return &text_[0];
    }
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
tovi::driver::cell binding<T, Free>::fetched() const {
    tovi::driver::cell c;
    switch (type_) {
        case SQL_INT64:
            c.kind = value_kind::integer;
            c.integer = static_cast<long>(integer_);
            break;
        case SQL_DOUBLE:
            c.kind = value_kind::real;
            c.real = real_;
            break;
        case SQL_TIMESTAMP: {
            c.kind = value_kind::date_time;
            ISC_TIMESTAMP stamp = stamp_;
            isc_decode_timestamp(&stamp, &c.date);
            c.date.tm_isdst = -1;
            // The engine keeps ten-thousandths of a second.
            c.nanoseconds = static_cast<unsigned long>(stamp_.timestamp_time % 10000) * 100000UL;
            break;
        }
        case SQL_BOOLEAN:
            c.kind = value_kind::boolean;
            c.integer = flag_ != FB_FALSE ? 1 : 0;
            break;
        case SQL_VARYING: {
            short n = 0;
            std::memcpy(&n, text_.data(), sizeof n);
            c.kind = value_kind::text;
            c.data = text_.data() + 2;
            c.size = static_cast<std::size_t>(n);
            break;
        }
        default:
            break;
    }
    return c;
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::read_other() {
    if constexpr (!std::is_same_v<T, _variant_t>) read_into(fetched(), this->data_);
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::setup() {
    XSQLVAR& v = var();
    const described& d = this->statement_->description(input(), this->position);
    v.sqlind = &indicator_;
    v.sqlscale = 0;
    v.sqlsubtype = 0;
    short length = 8;
    char* data = nullptr;
    if constexpr (std::is_same_v<T, long> || std::is_same_v<T, bool>) {
        if (d.type == SQL_BOOLEAN) {  // the engine converts no number to a boolean
            data = use(SQL_BOOLEAN, length);
        } else {
            type_ = SQL_INT64;  // 64-bit long
            data = reinterpret_cast<char*>(&integer_);
        }
    } else if constexpr (std::is_same_v<T, double>) {
        type_ = SQL_DOUBLE;
        data = reinterpret_cast<char*>(&real_);
    } else if constexpr (std::is_same_v<T, tm>) {
        type_ = SQL_TIMESTAMP;
        data = reinterpret_cast<char*>(&stamp_);
    } else {
        // A string meets a blob column as a blob: whole, whatever its length.
        const bool text = (std::is_same_v<T, std::string> && d.type != SQL_BLOB) || is_text(d.type);
        if (text) {
            type_ = SQL_VARYING;
            length = is_text(d.type) && d.length > 0 ? d.length : default_text_length;
            text_.assign(static_cast<std::size_t>(length) + 2, '\0');
            data = &text_[0];
        } else if (is_real(d.type)) {
            type_ = SQL_DOUBLE;
            data = reinterpret_cast<char*>(&real_);
        } else if (is_integer(d.type)) {
            type_ = SQL_INT64;
            data = reinterpret_cast<char*>(&integer_);
        } else if (is_date(d.type)) {
            data = use(SQL_TIMESTAMP, length);
        } else if (d.type == SQL_BOOLEAN) {
            data = use(SQL_BOOLEAN, length);
        } else if (d.type == SQL_BLOB) {
            type_ = SQL_BLOB;
            v.sqlsubtype = d.subtype;
            data = reinterpret_cast<char*>(&blob_);
        } else {
            // No variant kind for this column type: get_value and set_value refuse
            // it; the engine still gets a buffer it may fill.
            type_ = 0;
            length = default_text_length;
            text_.assign(static_cast<std::size_t>(length) + 2, '\0');
            data = &text_[0];
        }
    }
    // A column of another kind: fetched in its own, read by the framework's rules.
    other_ = !input() && (tovi::driver::reads_through_rules<T>(kind_of(d)) || type_ == SQL_BOOLEAN);
    if (other_ && type_ != SQL_BOOLEAN) {
        const value_kind column = kind_of(d);
        length = is_text(d.type) ? d.length : 0;
        data = use(column == value_kind::integer     ? SQL_INT64
                   : column == value_kind::real      ? SQL_DOUBLE
                   : column == value_kind::date_time ? SQL_TIMESTAMP
                   : column == value_kind::boolean   ? SQL_BOOLEAN
                                                     : SQL_VARYING,
                   length);
    }
    v.sqltype = static_cast<short>((type_ != 0 ? type_ : SQL_VARYING) | 1);
    v.sqllen = length;
    v.sqldata = data;
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::get_value() {
    const bool null = this->owner_is_null();
    indicator_ = null ? -1 : 0;
    T& data = this->data_;
    if constexpr (std::is_same_v<T, long>) {
        integer_ = data;
        flag_ = data != 0 ? FB_TRUE : FB_FALSE;
    } else if constexpr (std::is_same_v<T, bool>) {
        integer_ = data ? 1 : 0;
        flag_ = data ? FB_TRUE : FB_FALSE;
    } else if constexpr (std::is_same_v<T, double>) {
        real_ = data;
    } else if constexpr (std::is_same_v<T, tm>) {
        if (!null) {
            tovi::driver::check_date(data);
            tm copy = data;
            isc_encode_timestamp(&copy, &stamp_);
        }
    } else if constexpr (std::is_same_v<T, std::string>) {
        if (type_ == SQL_BLOB) {
            if (!null) write_blob(*this->statement_, data, blob_);
            return;
        }
        // Fixed-length text straight from the application's string: no copy.
        if (data.size() > 32767) throw value_is_truncated(0);
        XSQLVAR& v = var();
        v.sqltype = SQL_TEXT | 1;
        v.sqldata = const_cast<char*>(data.data());
        v.sqllen = static_cast<short>(data.size());
    } else {  // _variant_t: by the parameter's described type
        if (data.vt == VT_EMPTY || data.vt == VT_NULL || data.vt == VT_UNKNOWN) {
            indicator_ = -1;
            return;
        }
        if (type_ == SQL_INT64 || type_ == SQL_DOUBLE || type_ == SQL_TIMESTAMP ||
            type_ == SQL_BOOLEAN) {
            // What the variant holds, read into the parameter's kind by the
            // framework's rules (a true VT_BOOL is 1, a fraction no whole number).
            tovi::driver::scalar value;
            tovi::driver::from_variant(data, value);
            const tovi::driver::cell c = tovi::driver::as_cell(value);
            if (type_ == SQL_INT64) {
                long whole = 0;
                read_into(c, whole);
                integer_ = whole;
            } else if (type_ == SQL_DOUBLE) {
                read_into(c, real_);
            } else if (type_ == SQL_BOOLEAN) {
                bool flag = false;
                read_into(c, flag);
                flag_ = flag ? FB_TRUE : FB_FALSE;
            } else {
                tm when{};
                read_into(c, when);
                tovi::driver::check_date(when);
                isc_encode_timestamp(&when, &stamp_);
            }
            return;
        }
        const described& d = this->statement_->description(true, this->position);
        if (type_ == SQL_BLOB && d.subtype == 1) {
            write_blob(*this->statement_, text_of(data), blob_);
            return;
        }
        if (type_ != SQL_VARYING) throw bad_value_conversion(0);
        const std::string bytes = text_of(data);
        if (bytes.size() > 32765) throw value_is_truncated(0);
        text_.assign(2, '\0');
        const short n = static_cast<short>(bytes.size());
        std::memcpy(&text_[0], &n, sizeof n);
        text_ += bytes;
        XSQLVAR& v = var();
        v.sqldata = &text_[0];
        v.sqllen = n;
    }
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::set_value() {
    if (input()) return;
    const bool null = indicator_ == -1;
    T& data = this->data_;
    if constexpr (std::is_same_v<T, _variant_t>) {
        if (null) {
            data.Clear();
            if (this->owner != nullptr) this->owner->is_null = true;
            return;
        }
        if (type_ == SQL_VARYING || type_ == SQL_DOUBLE || type_ == SQL_INT64 ||
            type_ == SQL_TIMESTAMP || type_ == SQL_BOOLEAN) {
            read_into(fetched(), data);
        } else if (type_ == SQL_BLOB) {
            const described& d = this->statement_->description(false, this->position);
            if (d.subtype != 1) return;  // binary blobs leave the variant as it is
            const std::string text = read_blob(*this->statement_, blob_);
            set_variant_from_str(data, static_cast<unsigned>(text.size()), text.c_str());
        } else {
            throw bad_value_conversion(0);
        }
        this->record_value();
        return;
    }
    if (!this->record_null(null)) return;
    if (other_) return read_other();
    if constexpr (std::is_same_v<T, long>) {
        data = static_cast<long>(integer_);
    } else if constexpr (std::is_same_v<T, bool>) {
        data = integer_ != 0;
    } else if constexpr (std::is_same_v<T, double>) {
        data = real_;
    } else if constexpr (std::is_same_v<T, tm>) {
        tm t{};
        isc_decode_timestamp(&stamp_, &t);
        t.tm_isdst = -1;
        data = t;
    } else if constexpr (std::is_same_v<T, std::string>) {
        if (type_ == SQL_BLOB) {
            data = read_blob(*this->statement_, blob_);
            return;
        }
        short n = 0;
        std::memcpy(&n, text_.data(), sizeof n);
        data.assign(text_.data() + 2, static_cast<std::size_t>(n));
    }
}

TOVI_DRIVER_SCALAR_BINDINGS(binding);

// --- large objects

lob_binding::~lob_binding() {
    if (statement_ != nullptr) statement_->binding_gone(input());
}

void lob_binding::setup() {
    XSQLVAR& v = statement_->variable(input(), position);
    v.sqltype = SQL_BLOB | 1;
    v.sqlsubtype = is_blob ? 0 : 1;
    v.sqlscale = 0;
    v.sqllen = sizeof blob_;
    v.sqldata = reinterpret_cast<char*>(&blob_);
    v.sqlind = &indicator_;
}

void lob_binding::get_value() {
    if (sends_null()) {
        indicator_ = -1;
        return;
    }
    indicator_ = 0;
    write_blob(*statement_, buffer, blob_);
}

void lob_binding::set_value() {
    if (input()) return;
    const bool present = record_null(indicator_ == -1);
    if (present)
        buffer = read_blob(*statement_, blob_);
    else
        buffer.clear();
    fetched = true;
}

void lob_binding::bind_now(const std::string& data) {
    // The fetched object's new value goes out with the next execution.
    buffer = data;
    fetched = false;
    state = 2;
    empty = false;
}

}  // namespace tovi::ib
