// ODBC handles and the rule that turns every ODBC error or warning into a
// tovi::exception with the driver manager's full diagnostic text.
#ifndef TOVI_DRIVERS_ODBC_ODBC_HANDLE_HPP
#define TOVI_DRIVERS_ODBC_ODBC_HANDLE_HPP

#include <string>

#include <tovi/tovi.hpp>

#include "odbc_api.hpp"

namespace tovi::odbc {

// The diagnostic records of a failed call on `h`, "SQLCode: <state>.Native
// error: <n>.<message>" each, joined by "\n"; `first_native` is the first
// record's native error (0 without records). tovi::exception "Error in
// handle::handle" when the records cannot be read.
std::string diagnostic_text(SQLSMALLINT type, SQLHANDLE h, SQLINTEGER& first_native,
                            std::string* first_state = nullptr);

// The return-code rule for a call on `h`: SQL_INVALID_HANDLE throws
// "SQL_INVALID_HANDLE"; SQL_ERROR and SQL_SUCCESS_WITH_INFO throw the diagnostic
// text with the first native error as the code, except a warning whose first
// native error is 5701 or whose first SQLSTATE is "00000" (a server notice),
// which is success. Any other code is returned.
inline SQLRETURN check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h);
// check(), and SQL_STILL_EXECUTING throws "SQL_STILL_EXECUTING" (after the calls
// that may run asynchronously: execute, fetch, prepare, data transfer).
inline SQLRETURN check_done(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h);

// The codes that need no diagnostics: handled inline, on every call's way.
inline bool plain_success(SQLRETURN rc) {
    return rc == SQL_SUCCESS || rc == SQL_NO_DATA || rc == SQL_NEED_DATA;
}
// The rest of check() and check_done(), out of line.
SQLRETURN check_rest(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h);
SQLRETURN check_done_rest(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h);

inline SQLRETURN check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
    return plain_success(rc) ? rc : check_rest(rc, type, h);
}
inline SQLRETURN check_done(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
    return plain_success(rc) ? rc : check_done_rest(rc, type, h);
}

// One ODBC handle, freed with it.
class handle {
public:
    // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an
    // environment), through the return-code rule with the parent's diagnostics.
    handle(SQLSMALLINT type, SQLHANDLE parent);
    ~handle();
    handle(const handle&) = delete;
    handle& operator=(const handle&) = delete;

    SQLHANDLE get() const { return h_; }
    SQLSMALLINT type() const { return type_; }
    // The return-code rule for a call made on this handle.
    SQLRETURN check(SQLRETURN rc) const { return odbc::check(rc, type_, h_); }
    SQLRETURN check_done(SQLRETURN rc) const { return odbc::check_done(rc, type_, h_); }
    // Frees the native handle now; get() is null afterwards.
    void free();

private:
    SQLHANDLE h_ = SQL_NULL_HANDLE;
    SQLSMALLINT type_;
};

}  // namespace tovi::odbc

#endif
