// VARIANT lifetime services and _variant_t.
#include <tovi/oleauto/com_error.hpp>
#include <tovi/oleauto/safearray.hpp>
#include <tovi/oleauto/text_codec.hpp>
#include <tovi/oleauto/variant.hpp>

#include <cstring>
#include <limits>

namespace {

bool valid_scalar_type(VARTYPE vt) {
    return vt <= VT_BSTR || (vt >= VT_ERROR && vt <= VT_DECIMAL) || (vt >= VT_I1 && vt <= VT_UI8);
}

bool valid_type(VARTYPE vt) {
    if (vt & VT_ARRAY)
        return (vt & ~VT_ARRAY) <= VT_TYPEMASK && valid_scalar_type(vt & VT_TYPEMASK);
    return valid_scalar_type(vt);
}

void throw_if_failed(HRESULT hr) {
    if (FAILED(hr)) throw _com_error(hr);
}

}  // namespace

void VariantInit(VARIANT* pvarg) noexcept {
    if (pvarg == nullptr) return;
    std::memset(static_cast<void*>(pvarg), 0, sizeof *pvarg);
    pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* pvarg) noexcept {
    if (pvarg == nullptr) return E_INVALIDARG;
    if (!valid_type(pvarg->vt)) return DISP_E_BADVARTYPE;
    if (pvarg->vt & VT_ARRAY) {
        const HRESULT hr = SafeArrayDestroy(pvarg->parray);
        if (FAILED(hr)) return hr;
    } else if (pvarg->vt == VT_BSTR) {
        SysFreeString(pvarg->bstrVal);
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) noexcept {
    if (dest == nullptr || src == nullptr) return E_INVALIDARG;
    if (dest == src) return S_OK;
    if (!valid_type(src->vt)) return DISP_E_BADVARTYPE;
    VARIANT copy = *src;
    if (src->vt & VT_ARRAY) {
        const HRESULT hr = SafeArrayCopy(src->parray, &copy.parray);
        if (FAILED(hr)) return hr;
    } else if (src->vt == VT_BSTR && src->bstrVal != nullptr) {
        copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
        if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
    }
    const HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&copy);
        return hr;
    }
    *dest = copy;
    return S_OK;
}

_variant_t::_variant_t() noexcept : VARIANT() {
    VariantInit(this);
}

_variant_t::_variant_t(const VARIANT& src) : VARIANT() {
    VariantInit(this);
    throw_if_failed(VariantCopy(this, &src));
}

_variant_t::_variant_t(const _variant_t& src) : _variant_t(static_cast<const VARIANT&>(src)) {}

_variant_t::_variant_t(_variant_t&& src) noexcept : VARIANT(src) {
    VariantInit(&src);
}

_variant_t::_variant_t(VARIANT& src, bool copy) : VARIANT() {
    VariantInit(this);
    if (copy) {
        throw_if_failed(VariantCopy(this, &src));
    } else {
        static_cast<VARIANT&>(*this) = src;
        VariantInit(&src);
    }
}

_variant_t::_variant_t(short value, VARTYPE type) : _variant_t() {
    if (type == VT_I2) {
        vt = VT_I2;
        iVal = value;
    } else if (type == VT_BOOL) {
        vt = VT_BOOL;
        boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        throw _com_error(E_INVALIDARG);
    }
}

_variant_t::_variant_t(int value, VARTYPE type) : _variant_t(static_cast<long>(value), type) {}

_variant_t::_variant_t(long value, VARTYPE type) : _variant_t() {
    switch (type) {
        case VT_I4:
            if (value >= std::numeric_limits<LONG>::min() &&
                value <= std::numeric_limits<LONG>::max()) {
                vt = VT_I4;
                lVal = static_cast<LONG>(value);
            } else {
                vt = VT_I8;
                llVal = value;
            }
            break;
        case VT_I8:
            vt = VT_I8;
            llVal = value;
            break;
        case VT_BOOL:
            vt = VT_BOOL;
            boolVal = value != 0 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        case VT_ERROR:
            if (value < std::numeric_limits<SCODE>::min() ||
                value > std::numeric_limits<SCODE>::max())
                throw _com_error(DISP_E_OVERFLOW);
            vt = VT_ERROR;
            scode = static_cast<SCODE>(value);
            break;
        default:
            throw _com_error(E_INVALIDARG);
    }
}

_variant_t::_variant_t(long long value) : _variant_t() {
    vt = VT_I8;
    llVal = value;
}

_variant_t::_variant_t(unsigned char value) : _variant_t() {
    vt = VT_UI1;
    bVal = value;
}

_variant_t::_variant_t(char value) : _variant_t() {
    vt = VT_I1;
    cVal = value;
}

_variant_t::_variant_t(unsigned short value) : _variant_t() {
    vt = VT_UI2;
    uiVal = value;
}

_variant_t::_variant_t(unsigned int value) : _variant_t() {
    vt = VT_UI4;
    ulVal = value;
}

_variant_t::_variant_t(float value) : _variant_t() {
    vt = VT_R4;
    fltVal = value;
}

_variant_t::_variant_t(double value, VARTYPE type) : _variant_t() {
    if (type == VT_R8) {
        vt = VT_R8;
        dblVal = value;
    } else if (type == VT_DATE) {
        vt = VT_DATE;
        date = value;
    } else {
        throw _com_error(E_INVALIDARG);
    }
}

_variant_t::_variant_t(bool value) : _variant_t() {
    vt = VT_BOOL;
    boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

_variant_t::_variant_t(const DECIMAL& value) : _variant_t() {
    decVal = value;
    vt = VT_DECIMAL;  // after decVal: they share the first 16 bits
}

_variant_t::_variant_t(const char* text) : _variant_t() {
    SetString(text);
}

_variant_t::_variant_t(const wchar_t* text) : _variant_t() {
    BSTR copy = nullptr;
    if (text != nullptr) {
        copy = SysAllocString(text);
        if (copy == nullptr) throw _com_error(E_OUTOFMEMORY);
    }
    vt = VT_BSTR;
    bstrVal = copy;
}

_variant_t::_variant_t(const _bstr_t& text) : _variant_t() {
    bstrVal = text.copy();
    vt = VT_BSTR;
}

_variant_t::~_variant_t() {
    VariantClear(this);
}

_variant_t& _variant_t::operator=(const VARIANT& src) {
    throw_if_failed(VariantCopy(this, &src));
    return *this;
}

_variant_t& _variant_t::operator=(const _variant_t& src) {
    return *this = static_cast<const VARIANT&>(src);
}

_variant_t& _variant_t::operator=(_variant_t&& src) noexcept {
    if (this != &src) {
        VARIANT mine = *this;
        static_cast<VARIANT&>(*this) = src;
        static_cast<VARIANT&>(src) = mine;
    }
    return *this;
}

void _variant_t::ChangeType(VARTYPE type, const _variant_t* src) {
    throw_if_failed(VariantChangeType(this, src != nullptr ? src : this, 0, type));
}

void _variant_t::Clear() {
    throw_if_failed(VariantClear(this));
}

VARIANT _variant_t::Detach() noexcept {
    VARIANT out = *this;
    VariantInit(this);
    return out;
}

void _variant_t::Attach(VARIANT& src) noexcept {
    VariantClear(this);
    static_cast<VARIANT&>(*this) = src;
    VariantInit(&src);
}

void _variant_t::SetString(const char* text) {
    BSTR copy = nullptr;
    if (text != nullptr) {
        const std::wstring wide = tovi::mb_to_wide(text, std::strlen(text));
        copy = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (copy == nullptr) throw _com_error(E_OUTOFMEMORY);
    }
    Clear();
    vt = VT_BSTR;
    bstrVal = copy;
}

_variant_t::operator long() const {
    if (vt == VT_I8) return llVal;
    if (vt == VT_I4) return lVal;
    _variant_t converted;
    throw_if_failed(VariantChangeType(&converted, this, 0, VT_I8));
    return converted.llVal;
}

_variant_t::operator double() const {
    if (vt == VT_R8) return dblVal;
    _variant_t converted;
    throw_if_failed(VariantChangeType(&converted, this, 0, VT_R8));
    return converted.dblVal;
}

_variant_t::operator bool() const {
    if (vt == VT_BOOL) return boolVal != VARIANT_FALSE;
    _variant_t converted;
    throw_if_failed(VariantChangeType(&converted, this, 0, VT_BOOL));
    return converted.boolVal != VARIANT_FALSE;
}

_variant_t::operator _bstr_t() const {
    if (vt == VT_BSTR) return _bstr_t(bstrVal, true);
    _variant_t converted;
    throw_if_failed(VariantChangeType(&converted, this, 0, VT_BSTR));
    return _bstr_t(converted.bstrVal, true);
}
