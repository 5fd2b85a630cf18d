// Text through VariantChangeType: into every number type, a date and a boolean it
// converts or fails with one of the documented results; what converted prints as
// text that converts to the same value again (a float: to a value that near).
#include <tovi/tovi.hpp>

#include <cmath>
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
        if (vt == VT_R4) {
            // Floats print with 7 significant digits, as on the platform: not always
            // enough to name the same float again (1.000000042E-38 prints as 1E-38,
            // which reads as 9.999999E-39), so the value read back is only near.
            const double was = value.fltVal, now = again.fltVal;
            if (std::fabs(was - now) > 1e-6 * std::fabs(was) + 1e-44) std::abort();
            continue;
        }
        if (_bstr_t(text_of(again)) != _bstr_t(printed)) std::abort();
    }
    return 0;
}
