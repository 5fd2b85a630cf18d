// The Errors collection as text.
#include "ado_errors.hpp"

namespace tovi::ado {

tovi::driver::native_exception errors_exception(adodb::Connection& c,
                                                const adodb::com_error* cause) {
    std::string text;
    std::string first_state;
    long code = 0;
    try {
        adodb::ptr<adodb::Errors> errors = c.GetErrors();
        const long count = errors->GetCount();
        const bool provider_failure =
            count > 0 && (cause == nullptr || errors->GetItem(_variant_t(0L))->GetDescription() ==
                                                  cause->Description());
        if (provider_failure) {
            for (long i = 0; i < count; ++i) {
                adodb::ptr<adodb::Error> e = errors->GetItem(_variant_t(i));
                if (i > 0) text += "\n";
                const std::string state = e->GetSQLState().str();
                if (!state.empty()) text += "SQLCode: " + state + ". ";
                text += "Native error: " + std::to_string(e->GetNativeError()) + ". " +
                        e->GetDescription().str();
                if (i == 0) first_state = state;
                if (code == 0) code = e->GetNativeError();
            }
            return tovi::driver::native_exception(text, static_cast<int>(code), first_state);
        }
    } catch (const _com_error&) {
        // The collection itself failed: the cause is all there is.
    }
    return tovi::driver::native_exception(
        cause != nullptr ? cause->Description().str() : std::string(), 0);
}

}  // namespace tovi::ado
