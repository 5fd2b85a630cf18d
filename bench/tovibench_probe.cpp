// tovibench_probe: one workload of tovibench, N times, through tovi or straight
// through SQLite (or through tovi's ODBC driver or straight through ODBC), for
// counting instructions per execution or per row with callgrind (see
// bench/instructions.sh).
//
//   tovibench_probe (tovi|native|tovi-odbc|odbc|tovi-fb|fb|tovi-pg|pg) (insert|join) N DATABASE
//   tovibench_probe tovi (bulk-insert|bulk-join) N DATABASE   (tovi::bulk, on SQLite)
// The ODBC roads use the ODBC driver named by TOVI_PROBE_ODBC_DRIVER (default
// "SQLite3 ODBC Driver"); the Firebird roads the embedded engine; the PostgreSQL
// roads the server libpq's variables name (PGHOST, PGPORT, PGUSER, PGPASSWORD),
// DATABASE being a database there.
#include <tovi/tovi.hpp>

#include <sqlite3.h>

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

// The ODBC C API road (tovibench_probe_odbc.cpp: its headers and tovi's
// Windows type names do not mix).
long odbc_insert(const char* file, long n);
long odbc_join(const char* file, long n);
std::string odbc_driver();
// The Firebird C API road (tovibench_probe_fb.cpp), and its tables for tovi's.
long fb_insert(const char* file, long n);
long fb_join(const char* file, long n);
void fb_prepare_tables(const char* file, long rows);
// The libpq road (tovibench_probe_pg.cpp), and its tables for tovi's.
long pg_insert(const char* database, long n);
long pg_join(const char* database, long n);
void pg_prepare_tables(const char* database, long rows);

namespace {

// One iteration of each road, kept out of line so that callgrind can count
// exactly them (--toggle-collect=*_iteration).
__attribute__((noinline)) void native_insert_iteration(sqlite3_stmt* s, long i,
                                                       const std::string& c) {
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, i);
    sqlite3_bind_int64(s, 2, i);
    sqlite3_bind_text(s, 3, c.data(), static_cast<int>(c.size()), SQLITE_STATIC);
    sqlite3_step(s);
}

__attribute__((noinline)) bool native_join_iteration(sqlite3_stmt* s, long& sum) {
    if (sqlite3_step(s) != SQLITE_ROW) return false;
    sum += static_cast<long>(sqlite3_column_int64(s, 0));
    return true;
}

__attribute__((noinline)) void tovi_insert_iteration(tovi::statement& st, long& a, long& b,
                                                     long i) {
    a = b = i;
    st.execute();
}

__attribute__((noinline)) bool tovi_join_iteration(tovi::statement& st, const long& a, long& sum) {
    if (!st.next()) return false;
    sum += a;
    return true;
}

// Bulk work: one iteration is every row of INSERT 02 in one execute(), or up to
// 1 000 rows of INNER JOIN 02 in one fetch(); callgrind's count over N rows then
// gives the cost of a row.
__attribute__((noinline)) void tovi_bulk_insert_iteration(tovi::bulk& b) {
    b.execute();
}

__attribute__((noinline)) bool tovi_bulk_join_iteration(tovi::bulk& b, const std::vector<long>& a,
                                                        long& sum) {
    if (b.fetch(1000) == 0) return false;
    for (const long v : a) sum += v;
    return true;
}

}  // namespace

void prepare_tables(sqlite3* db, long rows) {
    sqlite3_exec(db, "PRAGMA synchronous = OFF;", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "DROP TABLE IF EXISTS t1; DROP TABLE IF EXISTS t2;", nullptr, nullptr,
                 nullptr);
    sqlite3_exec(db,
                 "CREATE TABLE t1(a INTEGER, b INTEGER, c VARCHAR(100));"
                 "CREATE TABLE t2(a INTEGER, b INTEGER, c VARCHAR(100));",
                 nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t1 VALUES(?, ?, 'x')", -1, &s, nullptr);
    for (long i = 0; i < rows; ++i) {
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, i);
        sqlite3_bind_int64(s, 2, i);
        sqlite3_step(s);
    }
    sqlite3_finalize(s);
    sqlite3_exec(db, "INSERT INTO t2 SELECT * FROM t1; CREATE INDEX i2b ON t2(b); COMMIT", nullptr,
                 nullptr, nullptr);
}

long native_insert(const char* file, long n) {
    sqlite3* db = nullptr;
    sqlite3_open(file, &db);
    prepare_tables(db, 0);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t2 VALUES(?, ?, ?)", -1, &s, nullptr);
    const std::string c = "oops oops oops";
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (long i = 0; i < n; ++i) native_insert_iteration(s, i, c);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

long native_join(const char* file, long n) {
    sqlite3* db = nullptr;
    sqlite3_open(file, &db);
    prepare_tables(db, n);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b", -1, &s, nullptr);
    long sum = 0;
    while (native_join_iteration(s, sum)) {
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return sum;
}

namespace {

std::string env_or(const char* name, const char* otherwise) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : otherwise;
}

std::string url_of(const std::string& road) {
    if (road == "tovi-fb") return "/InterBase_EMB";
    if (road == "tovi-pg")
        return "/PostgreSQL/" + env_or("PGHOST", "127.0.0.1") + "/" + env_or("PGPORT", "5432");
    return road == "tovi-odbc" ? "/ODBC/" + odbc_driver() : "/SQLITE";
}

std::string user_of(const std::string& road) {
    if (road == "tovi-pg") return env_or("PGUSER", "");
    return road == "tovi-fb" ? "SYSDBA" : "";
}

// The tables of both workloads, `rows` rows in each, in the road's database.
void tables_for(const std::string& road, const char* file, long rows) {
    if (road == "tovi-fb") {
        fb_prepare_tables(file, rows);
        return;
    }
    if (road == "tovi-pg") {
        pg_prepare_tables(file, rows);
        return;
    }
    sqlite3* db = nullptr;
    sqlite3_open(file, &db);
    prepare_tables(db, rows);
    sqlite3_close(db);
}

long tovi_insert(const std::string& road, const char* file, long n) {
    tables_for(road, file, 0);
    tovi::api library;
    tovi::uurl_t url(url_of(road), user_of(road), road == "tovi-pg" ? env_or("PGPASSWORD", "") : "",
                     file);
    tovi::udata_source ds(url);
    tovi::statement st(ds, 1);
    st.parse("INSERT INTO t2 VALUES(:?, :?, :?)");
    long a = 0, b = 0;
    std::string c = "oops oops oops";
    st << a << b << c;
    for (tovi::auto_trans at(*st.trans); at.pending; at.pending = false) {
        // One execution first, uncounted: a driver that prepares at the first
        // execution (Firebird's) then pays what the hand-written loops pay
        // before theirs.
        a = b = -1;
        st.execute();
        for (long i = 0; i < n; ++i) tovi_insert_iteration(st, a, b, i);
    }
    return n;
}

long tovi_join(const std::string& road, const char* file, long n) {
    tables_for(road, file, n);
    tovi::api library;
    tovi::uurl_t url(url_of(road), user_of(road), road == "tovi-pg" ? env_or("PGPASSWORD", "") : "",
                     file);
    tovi::udata_source ds(url);
    tovi::statement st(ds, 1);
    st.parse("SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b");
    long a = 0, sum = 0;
    st >> a;
    st.execute();
    while (tovi_join_iteration(st, a, sum)) {
    }
    return sum;
}

long tovi_bulk_insert(const char* file, long n) {
    tables_for("tovi", file, 0);
    tovi::api library;
    tovi::uurl_t url("/SQLITE", "", "", file);
    tovi::udata_source ds(url);
    tovi::statement st(ds, 1);
    st.parse("INSERT INTO t2 VALUES(:?, :?, :?)");
    std::vector<long> a(static_cast<std::size_t>(n)), b;
    for (long i = 0; i < n; ++i) a[static_cast<std::size_t>(i)] = i;
    b = a;
    std::vector<std::string> c(static_cast<std::size_t>(n), "oops oops oops");
    tovi::bulk in(st);
    in << a << b << c;
    for (tovi::auto_trans at(*st.trans); at.pending; at.pending = false)
        tovi_bulk_insert_iteration(in);
    return n;
}

long tovi_bulk_join(const char* file, long n) {
    tables_for("tovi", file, n);
    tovi::api library;
    tovi::uurl_t url("/SQLITE", "", "", file);
    tovi::udata_source ds(url);
    tovi::statement st(ds, 1);
    st.parse("SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b");
    std::vector<long> a;
    tovi::bulk out(st);
    out >> a;
    out.execute();
    long sum = 0;
    while (tovi_bulk_join_iteration(out, a, sum)) {
    }
    return sum;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: tovibench_probe (tovi|native|tovi-odbc|odbc|tovi-fb|fb|tovi-pg|pg) "
                     "(insert|join) N DATABASE_FILE\n";
        return 2;
    }
    const std::string road = argv[1], workload = argv[2];
    const long n = std::atol(argv[3]);
    long result = 0;
    try {
        const bool insert = workload == "insert";
        if (road == "tovi" && workload == "bulk-insert")
            result = tovi_bulk_insert(argv[4], n);
        else if (road == "tovi" && workload == "bulk-join")
            result = tovi_bulk_join(argv[4], n);
        else if (road == "native")
            result = insert ? native_insert(argv[4], n) : native_join(argv[4], n);
        else if (road == "odbc")
            result = insert ? odbc_insert(argv[4], n) : odbc_join(argv[4], n);
        else if (road == "fb")
            result = insert ? fb_insert(argv[4], n) : fb_join(argv[4], n);
        else if (road == "pg")
            result = insert ? pg_insert(argv[4], n) : pg_join(argv[4], n);
        else
            result = insert ? tovi_insert(road, argv[4], n) : tovi_join(road, argv[4], n);
    } catch (const tovi::exception& e) {
        std::cerr << e.get_error_text();
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    std::cout << result << "\n";
    return 0;
}
