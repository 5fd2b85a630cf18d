// libpq failures as tovi exceptions: a failed result with its SQLSTATE and the
// server's message fields, a failed connection with the SQLSTATE its message
// carries (libpq reports that one only in text).
#ifndef TOVI_DRIVERS_PGSQL_PGSQL_ERRORS_HPP
#define TOVI_DRIVERS_PGSQL_PGSQL_ERRORS_HPP

#include <libpq-fe.h>

#include <string>

#include <tovi/driver/native_exception.hpp>

namespace tovi::pgsql {

// The failure a result reports (a null result: the connection's message). A
// failure without a SQLSTATE on a connection that libpq now reports broken is
// 08006 (connection failure); any other libpq-side failure is 08000.
tovi::driver::native_exception result_error(const PGresult* r, const PGconn* c);

// A failed connection attempt (its messages written with PQERRORS_VERBOSE): the
// server's SQLSTATE when it refused (28P01 for a wrong password), else 08001;
// the text as libpq writes it by default.
tovi::driver::native_exception connect_error(const PGconn* c);

// Owns a PGresult.
class result {
public:
    result() = default;
    explicit result(PGresult* r) : r_(r) {}
    result(const result&) = delete;
    result& operator=(const result&) = delete;
    result(result&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }
    result& operator=(result&& o) noexcept {
        if (this != &o) {
            PQclear(r_);
            r_ = o.r_;
            o.r_ = nullptr;
        }
        return *this;
    }
    ~result() { PQclear(r_); }
    PGresult* get() const { return r_; }
    void reset(PGresult* r = nullptr) {
        PQclear(r_);
        r_ = r;
    }
    ExecStatusType status() const { return PQresultStatus(r_); }
    bool ok() const {
        const ExecStatusType s = status();
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }

private:
    PGresult* r_ = nullptr;
};

}  // namespace tovi::pgsql

#endif
