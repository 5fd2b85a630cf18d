// The client library's status vector (one per thread), native errors as tovi
// exceptions, and the parameter buffers of attachments and transactions.
#ifndef TOVI_DRIVERS_IBEMB_IB_STATUS_HPP
#define TOVI_DRIVERS_IBEMB_IB_STATUS_HPP

#include <ibase.h>

#include <string>

#include <tovi/driver/native_exception.hpp>
#include <tovi/tovi.hpp>

namespace tovi::ib {

// The calling thread's status vector: two connections on two threads never see
// each other's errors.
ISC_STATUS* status();
// Whether `s` reports a failure.
inline bool failed(const ISC_STATUS* s) {
    return s[0] == 1 && s[1] != 0;
}
// tovi::exception with every message of `s` joined by "; " and its SQL code (999
// as 0).
tovi::driver::native_exception native_error(const ISC_STATUS* s);

// For destructors and clean-up: runs the client call `f`, whose failure is of no
// use there. The engine may throw C++ exceptions through its C interface (a
// detach from a database whose files are gone): reported and dropped, never
// the end of the process.
template <class F>
void quietly(const char* what, F f) noexcept {
    try {
        f();
    } catch (const std::exception& e) {
        utils::reportError(0, (std::string(what) + " failed: " + e.what()).c_str());
    } catch (...) {
        utils::reportError(0, (std::string(what) + " failed.").c_str());
    }
}
// Throws native_error(status()) when the last call failed.
inline void check() {
    if (failed(status())) throw native_error(status());
}

// A database, service or transaction parameter buffer: at most 1024 bytes,
// string items of at most 255.
class param_buffer {
public:
    void byte(char b);
    // tovi::exception "Parameter buffer item is too long." past either limit.
    void item(char tag, const std::string& value);
    // A 4-byte integer item, least significant byte first.
    void number(char tag, int value);
    const char* data() const { return bytes_.data(); }
    short size() const { return static_cast<short>(bytes_.size()); }

private:
    std::string bytes_;
};

}  // namespace tovi::ib

#endif
