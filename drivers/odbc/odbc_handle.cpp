// ODBC handles, diagnostics and the return-code rule.
#include "odbc_handle.hpp"

#include <algorithm>
#include <cstring>

#include <tovi/driver/native_exception.hpp>

namespace tovi::odbc {

namespace {
// The most a message length (SQLSMALLINT) can say.
constexpr std::size_t max_message = 32767;
}  // namespace

std::string diagnostic_text(SQLSMALLINT type, SQLHANDLE h, SQLINTEGER& first_native,
                            std::string* first_state) {
    std::string text;
    first_native = 0;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {0};
        SQLINTEGER native = 0;
        std::string message(512, '\0');
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQL_ERROR;
        // A message longer than the buffer comes back cut (success with
        // information). Drivers differ in the length they then report (the
        // whole message's, or what fitted): read it again into a larger buffer
        // until it fits.
        for (;;) {
            rc = SQLGetDiagRec(type, h, record, state, &native,
                               reinterpret_cast<SQLCHAR*>(&message[0]),
                               static_cast<SQLSMALLINT>(message.size()), &length);
            if (rc != SQL_SUCCESS_WITH_INFO || message.size() >= max_message) break;
            const std::size_t whole = static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0));
            message.assign(std::min(std::max(whole + 1, 2 * message.size()), max_message), '\0');
        }
        if (rc == SQL_NO_DATA) break;
        if (rc == SQL_INVALID_HANDLE || rc == SQL_ERROR)
            throw exception("Error in handle::handle", 0);
        message.resize(std::strlen(message.c_str()));
        if (record == 1) {
            first_native = native;
            if (first_state != nullptr) *first_state = reinterpret_cast<const char*>(state);
        } else {
            text += "\n";
        }
        text += "SQLCode: " + std::string(reinterpret_cast<const char*>(state)) +
                ".Native error: " + std::to_string(native) + "." + message;
    }
    return text;
}

SQLRETURN check_rest(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
    if (rc == SQL_INVALID_HANDLE) throw exception("SQL_INVALID_HANDLE", 0);
    if (rc != SQL_ERROR && rc != SQL_SUCCESS_WITH_INFO) return rc;
    SQLINTEGER native = 0;
    std::string state;
    std::string text = diagnostic_text(type, h, native, &state);
    if (native == 5701) return rc;
    // A notice (psqlODBC reports server NOTICE messages so) is success.
    if (rc == SQL_SUCCESS_WITH_INFO && state == "00000") return rc;
    throw tovi::driver::native_exception(text, native, state);
}

SQLRETURN check_done_rest(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
    rc = check_rest(rc, type, h);
    if (rc == SQL_STILL_EXECUTING) throw exception("SQL_STILL_EXECUTING", 0);
    return rc;
}

handle::handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    const SQLRETURN rc = SQLAllocHandle(type, parent, &h_);
    if (type == SQL_HANDLE_ENV) {
        if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO)
            throw exception("Error during allocation of an environment handle", 0);
        return;
    }
    const SQLSMALLINT parent_type = type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC;
    odbc::check(rc, parent_type, parent);
}

handle::~handle() {
    free();
}

void handle::free() {
    if (h_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, h_);
    h_ = SQL_NULL_HANDLE;
}

}  // namespace tovi::odbc
