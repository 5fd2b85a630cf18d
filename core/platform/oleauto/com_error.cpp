// _com_error and its readable texts.
#include <tovi/oleauto/com_error.hpp>

#include <cstdio>

namespace {
const char* describe(HRESULT hr) {
    switch (hr) {
        case DISP_E_TYPEMISMATCH:
            return "Type mismatch.";
        case DISP_E_OVERFLOW:
            return "Out of present range.";
        case DISP_E_BADVARTYPE:
            return "Bad variable type.";
        case DISP_E_BADINDEX:
            return "Invalid index.";
        case DISP_E_ARRAYISLOCKED:
            return "Memory is locked.";
        case E_OUTOFMEMORY:
            return "Not enough memory.";
        case E_INVALIDARG:
            return "The parameter is incorrect.";
        case E_POINTER:
            return "Invalid pointer.";
        case E_UNEXPECTED:
            return "Catastrophic failure.";
        default:
            return "Unknown error.";
    }
}
}  // namespace

_com_error::_com_error(HRESULT hr) : hr_(hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    message_ = std::string(describe(hr)) + " (HRESULT " + code + ")";
}
