// The diagnostic hooks: silent unless the application installs a handler.
#include <tovi/exception.hpp>

namespace utils {

namespace {
error_report_handler error_handler = nullptr;
debug_report_handler debug_handler = nullptr;
}  // namespace

void reportError(int code, const char* text) {
    if (error_handler != nullptr) error_handler(code, text);
}

void reportDebug(const char* text) {
    if (debug_handler != nullptr) debug_handler(text);
}

error_report_handler set_error_report_handler(error_report_handler handler) {
    error_report_handler previous = error_handler;
    error_handler = handler;
    return previous;
}

debug_report_handler set_debug_report_handler(debug_report_handler handler) {
    debug_report_handler previous = debug_handler;
    debug_handler = handler;
    return previous;
}

}  // namespace utils
