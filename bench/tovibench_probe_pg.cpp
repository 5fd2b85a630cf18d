// The libpq road of tovibench_probe: a named prepared statement, INSERT 02 with
// its integers in binary, INNER JOIN 02's rows read from the result's text. The
// server is libpq's from the environment (PGHOST, PGPORT, PGUSER, PGPASSWORD);
// the database is named on the command line.
#include <endian.h>
#include <libpq-fe.h>

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "pg_connect.hpp"

namespace {

void run(PGconn* c, const char* sql) {
    PGresult* r = PQexec(c, sql);
    const ExecStatusType s = PQresultStatus(r);
    const std::string message = PQresultErrorMessage(r);
    PQclear(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) throw std::runtime_error(message);
}

__attribute__((noinline)) void pg_insert_iteration(PGconn* c, const char* const* values,
                                                   const int* lengths, const int* formats,
                                                   std::uint64_t* binary, long i) {
    binary[0] = binary[1] = htobe64(static_cast<std::uint64_t>(i));
    PQclear(PQexecPrepared(c, "insert", 3, values, lengths, formats, 0));
}

__attribute__((noinline)) bool pg_join_iteration(const PGresult* r, int& row, int rows, long& a,
                                                 long& sum) {
    if (++row >= rows) return false;
    a = std::strtol(PQgetvalue(r, row, 0), nullptr, 10);
    sum += a;
    return true;
}

}  // namespace

void pg_prepare_tables(const char* database, long rows) {
    PGconn* c = tovi_bench::pg_connect(database);
    run(c, "DROP TABLE IF EXISTS t1; DROP TABLE IF EXISTS t2");
    run(c,
        "CREATE TABLE t1(a INTEGER, b INTEGER, c VARCHAR(100));"
        "CREATE TABLE t2(a INTEGER, b INTEGER, c VARCHAR(100))");
    const std::string fill = "INSERT INTO t1 SELECT i, i, 'x' FROM generate_series(0, " +
                             std::to_string(rows - 1) + ") AS i";
    run(c, fill.c_str());
    run(c, "INSERT INTO t2 SELECT * FROM t1; CREATE INDEX i2b ON t2(b); ANALYZE");
    PQfinish(c);
}

long pg_insert(const char* database, long n) {
    pg_prepare_tables(database, 0);
    PGconn* c = tovi_bench::pg_connect(database);
    const Oid types[] = {20, 20, 0};
    PQclear(PQprepare(c, "insert", "INSERT INTO t2 VALUES($1, $2, $3)", 3, types));
    std::uint64_t binary[2] = {0, 0};
    const std::string text = "oops oops oops";
    const char* values[] = {reinterpret_cast<const char*>(&binary[0]),
                            reinterpret_cast<const char*>(&binary[1]), text.c_str()};
    const int lengths[] = {8, 8, static_cast<int>(text.size())};
    const int formats[] = {1, 1, 0};
    run(c, "BEGIN");
    for (long i = 0; i < n; ++i) pg_insert_iteration(c, values, lengths, formats, binary, i);
    run(c, "COMMIT");
    PQfinish(c);
    return n;
}

long pg_join(const char* database, long n) {
    pg_prepare_tables(database, n);
    PGconn* c = tovi_bench::pg_connect(database);
    PQclear(PQprepare(c, "join", "SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b", 0, nullptr));
    PGresult* r = PQexecPrepared(c, "join", 0, nullptr, nullptr, nullptr, 0);
    int row = -1;
    const int rows = PQntuples(r);
    long a = 0, sum = 0;
    while (pg_join_iteration(r, row, rows, a, sum)) {
    }
    PQclear(r);
    PQfinish(c);
    return sum;
}
