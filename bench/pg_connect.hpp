// The libpq twins' connection: the database by name, everything else from
// libpq's environment (PGHOST, PGPORT, PGUSER, PGPASSWORD).
#ifndef TOVI_BENCH_PG_CONNECT_HPP
#define TOVI_BENCH_PG_CONNECT_HPP

#include <libpq-fe.h>

#include <stdexcept>
#include <string>

namespace tovi_bench {

inline PGconn* pg_connect(const char* database) {
    const char* keys[] = {"dbname", nullptr};
    const char* values[] = {database, nullptr};
    PGconn* c = PQconnectdbParams(keys, values, 1);
    if (PQstatus(c) != CONNECTION_OK) {
        const std::string message = PQerrorMessage(c);
        PQfinish(c);
        throw std::runtime_error(message);
    }
    return c;
}

}  // namespace tovi_bench

#endif
