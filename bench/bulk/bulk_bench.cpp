// bulk_bench: 100 000 rows inserted in one transaction and read back 1 000 at a
// time, per road, three ways: tovi's bulk vectors, tovi row at a time, and the
// road's native API by hand using its own bulk path (a sqlite3 loop, ODBC
// parameter and row arrays, a libpq pipeline). Prints the seconds of each phase.
//
//   bulk_bench ROAD (bulk|rows|native) N DATABASE
// ROAD: sqlite (a file), odbc-sqlite (Debian's SQLite ODBC driver, a file),
// odbc-pg (psqlODBC) and pgsql (tovi's libpq driver) on the server libpq's
// variables name (PGHOST, PGPORT, PGUSER, PGPASSWORD), DATABASE being a
// database there. Each phase is one out-of-line function (*_phase), for
// callgrind's --toggle-collect (bench/bulk/run.sh --instructions).
#include <tovi/tovi.hpp>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

#include "bulk_rows.hpp"

using namespace bulk_bench;

namespace {

std::string env_or(const char* name, const char* otherwise) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : otherwise;
}

std::string odbc_connection(const std::string& road, const std::string& database) {
    if (road == "odbc-sqlite") return "DRIVER={SQLite3 ODBC Driver};Database=" + database;
    return "DRIVER={PostgreSQL Unicode};Servername=" + env_or("PGHOST", "127.0.0.1") +
           ";Port=" + env_or("PGPORT", "5432") + ";Database=" + database +
           ";UID=" + env_or("PGUSER", "") + ";PWD=" + env_or("PGPASSWORD", "");
}

tovi::uurl_t url_of(const std::string& road, const std::string& database) {
    const std::string user = env_or("PGUSER", ""), password = env_or("PGPASSWORD", "");
    const std::string server = env_or("PGHOST", "127.0.0.1") + "/" + env_or("PGPORT", "5432");
    if (road == "sqlite") return tovi::uurl_t("/SQLITE", "", "", database);
    if (road == "odbc-sqlite") return tovi::uurl_t("/ODBC/SQLite3 ODBC Driver", "", "", database);
    if (road == "odbc-pg")
        return tovi::uurl_t("/ODBC/PostgreSQL Unicode/" + server, user, password, database);
    return tovi::uurl_t("/PostgreSQL/" + server, user, password, database);
}

__attribute__((noinline)) long tovi_bulk_insert_phase(tovi::data_source& ds, rows& r) {
    tovi::transaction tx(ds);
    tovi::statement st(tx, 1);
    st.parse(insert_sql);
    tovi::bulk in(st);
    in << r.ids << r.names << r.amounts;
    in.execute();
    tx.commit();
    return static_cast<long>(r.ids.size());
}

__attribute__((noinline)) long tovi_bulk_fetch_phase(tovi::data_source& ds) {
    tovi::statement st(ds, 1);
    st.parse(select_sql);
    rows got;
    tovi::bulk out(st);
    out >> got.ids >> got.names >> got.amounts;
    out.execute();
    long sum = 0;
    while (out.fetch(chunk) != 0) sum += got.checksum();
    return sum;
}

__attribute__((noinline)) long tovi_rows_insert_phase(tovi::data_source& ds, rows& r) {
    tovi::transaction tx(ds);
    tovi::statement st(tx, 1);
    st.parse(insert_sql);
    long id = 0;
    std::string name;
    tovi::double_t amount;
    st << id << name << amount;
    for (std::size_t i = 0; i < r.ids.size(); ++i) {
        id = r.ids[i];
        name = r.names[i];
        amount.is_null = !r.amounts[i];
        if (r.amounts[i]) amount.value = *r.amounts[i];
        st.execute();
    }
    tx.commit();
    return static_cast<long>(r.ids.size());
}

__attribute__((noinline)) long tovi_rows_fetch_phase(tovi::data_source& ds) {
    tovi::statement st(ds, 1);
    st.parse(select_sql);
    long id = 0;
    std::string name;
    tovi::double_t amount;
    st >> id >> name >> amount;
    st.execute();
    rows got;
    long sum = 0;
    while (st.next()) {
        got.ids.push_back(id);
        got.names.push_back(name);
        got.amounts.push_back(amount.is_null ? std::nullopt : std::optional<double>(amount.value));
        if (got.ids.size() == chunk) {
            sum += got.checksum();
            got.clear();
        }
    }
    return sum + got.checksum();
}

std::unique_ptr<native_road> native_of(const std::string& road, const std::string& database) {
    if (road == "sqlite") return sqlite_native(database);
    if (road == "pgsql") return pg_native(database);
    return odbc_native(odbc_connection(road, database));
}

__attribute__((noinline)) long native_insert_phase(native_road& native, rows& r) {
    return native.insert(r);
}

__attribute__((noinline)) long native_fetch_phase(native_road& native) {
    return native.fetch();
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: bulk_bench (sqlite|odbc-sqlite|odbc-pg|pgsql) (bulk|rows|native) N "
                     "DATABASE\n";
        return 2;
    }
    const std::string road = argv[1], path = argv[2], database = argv[4];
    rows r = make_rows(std::atol(argv[3]));
    try {
        double insert_s = 0, fetch_s = 0;
        long inserted = 0, sum = 0;
        if (path == "native") {
            std::unique_ptr<native_road> native = native_of(road, database);
            auto start = std::chrono::steady_clock::now();
            inserted = native_insert_phase(*native, r);
            insert_s = seconds_since(start);
            start = std::chrono::steady_clock::now();
            sum = native_fetch_phase(*native);
            fetch_s = seconds_since(start);
        } else {
            tovi::api library;
            tovi::uurl_t url = url_of(road, database);
            tovi::udata_source ds(url);
            {
                tovi::statement st(ds, 1);
                st.execute("DROP TABLE IF EXISTS bulk_rows");
                st.execute(create_sql);
            }
            auto start = std::chrono::steady_clock::now();
            inserted =
                path == "bulk" ? tovi_bulk_insert_phase(ds, r) : tovi_rows_insert_phase(ds, r);
            insert_s = seconds_since(start);
            start = std::chrono::steady_clock::now();
            sum = path == "bulk" ? tovi_bulk_fetch_phase(ds) : tovi_rows_fetch_phase(ds);
            fetch_s = seconds_since(start);
        }
        std::cout << road << ' ' << path << " rows " << inserted << " insert " << insert_s
                  << " fetch " << fetch_s << " checksum " << sum << '\n';
    } catch (const std::exception& e) {
        std::cerr << "bulk_bench: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
