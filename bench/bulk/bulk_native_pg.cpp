// The libpq twin of bulk_bench: the INSERT prepared once and sent in pipeline
// mode, a chunk of rows per network flush and sync (numbers in binary, text as
// text), inside one transaction; the SELECT's rows streamed in one by one
// (single-row mode), read from their text.
#include <endian.h>
#include <libpq-fe.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "../pg_connect.hpp"
#include "bulk_rows.hpp"

namespace bulk_bench {

namespace {

void check(PGconn* c, PGresult* r) {
    const ExecStatusType s = PQresultStatus(r);
    PQclear(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) throw std::runtime_error(PQerrorMessage(c));
}

// The rows' results, then the sync's.
void read_chunk(PGconn* c, long rows) {
    for (long i = 0; i < rows; ++i) {
        check(c, PQgetResult(c));
        PQgetResult(c);  // null: the end of that query's results
    }
    PGresult* sync = PQgetResult(c);
    const bool synced = PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
    PQclear(sync);
    if (!synced) throw std::runtime_error("no pipeline sync");
}

class pg_road final : public native_road {
public:
    explicit pg_road(const std::string& database) : c(tovi_bench::pg_connect(database.c_str())) {
        check(c, PQexec(c, "DROP TABLE IF EXISTS bulk_rows"));
        check(c, PQexec(c, create_sql));
    }
    ~pg_road() override { PQfinish(c); }
    long insert(const rows& r) override;
    long fetch() override;

private:
    PGconn* c;
};

long pg_road::insert(const rows& r) {
    const Oid types[] = {20, 0, 701};  // int8, untyped text, float8
    check(c, PQprepare(c, "insert", "INSERT INTO bulk_rows VALUES($1, $2, $3)", 3, types));
    check(c, PQexec(c, "BEGIN"));
    PQenterPipelineMode(c);
    std::uint64_t id = 0, amount = 0;
    const char* values[3] = {reinterpret_cast<const char*>(&id), nullptr,
                             reinterpret_cast<const char*>(&amount)};
    int lengths[3] = {8, 0, 8};
    const int formats[3] = {1, 0, 1};
    long pending = 0;
    for (std::size_t i = 0; i < r.ids.size(); ++i) {
        id = htobe64(static_cast<std::uint64_t>(r.ids[i]));
        values[1] = r.names[i].c_str();
        if (r.amounts[i]) {
            double a = *r.amounts[i];
            std::memcpy(&amount, &a, 8);
            amount = htobe64(amount);
            values[2] = reinterpret_cast<const char*>(&amount);
        } else {
            values[2] = nullptr;
        }
        if (PQsendQueryPrepared(c, "insert", 3, values, lengths, formats, 0) == 0)
            throw std::runtime_error(PQerrorMessage(c));
        if (++pending == chunk) {
            PQpipelineSync(c);
            read_chunk(c, pending);
            pending = 0;
        }
    }
    if (pending != 0) {
        PQpipelineSync(c);
        read_chunk(c, pending);
    }
    PQexitPipelineMode(c);
    check(c, PQexec(c, "COMMIT"));
    return static_cast<long>(r.ids.size());
}

long pg_road::fetch() {
    if (PQsendQuery(c, select_sql) == 0) throw std::runtime_error(PQerrorMessage(c));
    PQsetSingleRowMode(c);
    rows got;
    long sum = 0;
    for (;;) {
        PGresult* result = PQgetResult(c);
        if (PQresultStatus(result) != PGRES_SINGLE_TUPLE) {
            const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
            PQclear(result);
            while (PGresult* rest = PQgetResult(c)) PQclear(rest);
            if (!ok) throw std::runtime_error(PQerrorMessage(c));
            break;
        }
        got.ids.push_back(std::strtol(PQgetvalue(result, 0, 0), nullptr, 10));
        got.names.emplace_back(PQgetvalue(result, 0, 1),
                               static_cast<std::size_t>(PQgetlength(result, 0, 1)));
        if (PQgetisnull(result, 0, 2))
            got.amounts.emplace_back();
        else
            got.amounts.emplace_back(std::strtod(PQgetvalue(result, 0, 2), nullptr));
        PQclear(result);
        if (got.ids.size() == chunk) {
            sum += got.checksum();
            got.clear();
        }
    }
    return sum + got.checksum();
}

}  // namespace

std::unique_ptr<native_road> pg_native(const std::string& database) {
    return std::make_unique<pg_road>(database);
}

}  // namespace bulk_bench
