// Text through VariantChangeType: into every number type, a date and a boolean it
// converts or fails with one of the documented results; what converted prints as
// text that converts to the same value again.
#include <tovi/tovi.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

_variant_t text_of(const VARIANT& v) {
    _variant_t out;
    if (FAILED(VariantChangeType(&out, &v, 0, VT_BSTR))) std::abort();  // every value prints
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const _variant_t text(_bstr_t(std::string(reinterpret_cast<const char*>(data), size)));
    for (VARTYPE vt :
         {VT_I2, VT_I4, VT_I8, VT_UI1, VT_UI4, VT_R4, VT_R8, VT_DATE, VT_BOOL, VT_DECIMAL}) {
        _variant_t value;
        const HRESULT hr = VariantChangeType(&value, &text, 0, vt);
        if (hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW) continue;
        if (hr != S_OK || value.vt != vt) std::abort();
        // Printed, read again, printed again: the same text.
        const _variant_t printed = text_of(value);
        _variant_t again;
        if (FAILED(VariantChangeType(&again, &printed, 0, vt))) std::abort();
        if (_bstr_t(text_of(again)) != _bstr_t(printed)) std::abort();
    }
    return 0;
}
