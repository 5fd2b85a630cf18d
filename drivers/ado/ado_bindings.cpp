// Values as VARIANTs, both ways.
#include "ado_bindings.hpp"

#include <type_traits>

namespace tovi::ado {

namespace {

// The current row's value of a field; "Cannot read data from recordset." when
// ADO refuses it.
_variant_t read(adodb::Field& f) {
    try {
        return f.GetValue();
    } catch (const _com_error&) {
        throw exception("Cannot read data from recordset.", 0);
    }
}

// `v` converted to `vt`; "Invalid value conversion." when it cannot be.
_variant_t converted(const _variant_t& v, VARTYPE vt) {
    _variant_t out;
    if (FAILED(VariantChangeType(&out, &v, 0, vt)))
        throw bad_value_conversion(exception("Invalid value conversion.", 0));
    return out;
}

bool is_null(const _variant_t& v) {
    return v.vt == VT_NULL || v.vt == VT_EMPTY;
}

// A text or byte column: arrays hold bytes (or long text as UTF-16), other
// values convert to text.
std::string as_text(const _variant_t& v, bool bytes) {
    if (v.vt == (VT_ARRAY | VT_UI1))
        return bytes ? safearray_to_raw(v.parray) : safearray_to_str(v.parray);
    return variant2string(v.vt == VT_BSTR ? v : converted(v, VT_BSTR));
}

// A parameter's value: dates as OLE dates, texts as BSTRs.
_variant_t as_variant(const std::string& v) {
    return _variant_t(_bstr_t(v));
}
_variant_t as_variant(const tm& v) {
    tovi::driver::check_date(v);
    return _variant_t(tm2double_time(v), VT_DATE);
}
template <class T>
_variant_t as_variant(const T& v) {
    return _variant_t(v);
}

}  // namespace

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::get_value() {
    if (this->owner_is_null()) {
        value_.Clear();
        value_.vt = VT_NULL;
    } else {
        try {
            value_ = as_variant(this->data_);
        } catch (exception& e) {  // a date outside OLE dates' range, say
            e.set_data(this->statement_->error_context(), 0);
            throw;
        }
    }
    this->statement_->put_parameter(*this->factory, this->position, value_);
}

template <class T, void (impl::value_factory::*Free)(impl::value_t*)>
void binding<T, Free>::set_value() {
    if (this->is_parameter()) return;
    value_ = read(this->statement_->field(this->position));
    T& data = this->data_;
    if (is_null(value_)) {
        if constexpr (std::is_same_v<T, _variant_t>) {
            data.Clear();  // a variant holds NULL itself: empty
            if (this->owner != nullptr) this->owner->is_null = true;
        } else {
            this->record_null(true);
        }
        return;
    }
    if constexpr (std::is_same_v<T, long>) {
        data = static_cast<long>(converted(value_, VT_I8).llVal);
    } else if constexpr (std::is_same_v<T, bool>) {
        data = converted(value_, VT_BOOL).boolVal != VARIANT_FALSE;
    } else if constexpr (std::is_same_v<T, double>) {
        data = converted(value_, VT_R8).dblVal;
    } else if constexpr (std::is_same_v<T, std::string>) {
        data = as_text(value_, false);
    } else if constexpr (std::is_same_v<T, tm>) {
        double_time2tm(converted(value_, VT_DATE).date, data);
    } else {
        data = value_;
    }
    this->record_value();
}

TOVI_DRIVER_SCALAR_BINDINGS(binding);

// --- large objects

void lob_binding::bind_now(const std::string& data) {
    // The fetched object's new value goes out with the next execution.
    fetched = false;
    buffer = data;
    state = 2;
    empty = false;
    has_data = true;
}

void lob_binding::get_value() {
    if (sends_null()) {
        value_.Clear();
        value_.vt = VT_NULL;
    } else if (is_blob) {
        set_variant_from_raw(value_, buffer);
    } else {
        set_variant_from_str(value_, buffer);
    }
    statement_->put_parameter(*factory, position, value_);
}

void lob_binding::set_value() {
    if (factory->get_direction() == in) return;
    value_ = read(statement_->field(position));
    const bool present = !is_null(value_);
    record_null(!present);
    buffer = present ? as_text(value_, is_blob) : std::string();
    fetched = true;
}

}  // namespace tovi::ado
