// tovibench_native: tovibench's nineteen workloads straight through the SQLite C
// API, written as one would by hand, with the same SQL, loops and transactions
// (BEGIN at the first data-changing statement, as tovi's SQLite driver does), and
// the same output. Compare the two with bench/compare.sh.
//
//   tovibench_native DATABASE_FILE
#include <sqlite3.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

const long small_count = 4000;
const long large_count = 100000;

sqlite3* db = nullptr;
bool active = false;  // a native transaction is open

void fail(int rc) {
    throw std::runtime_error(std::string(sqlite3_errmsg(db)) + " (" + std::to_string(rc) + ")");
}
void check(int rc) {
    if (rc != SQLITE_OK) fail(rc);
}

void exec(const std::string& sql) {
    check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr));
}

void activate() {
    if (!active) {
        exec("BEGIN");
        active = true;
    }
}

void commit() {
    if (active) {
        exec("COMMIT");
        active = false;
    }
}

sqlite3_stmt* prepare(const char* sql) {
    sqlite3_stmt* s = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr));
    return s;
}

int step(sqlite3_stmt* s) {
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) fail(rc);
    return rc;
}

class timer {
public:
    timer() : start_(std::chrono::steady_clock::now()) {}
    ~timer() {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        const std::streamsize previous = std::cout.precision(5);
        std::cout << elapsed.count() << " sec." << std::endl;
        std::cout.precision(previous);
    }

private:
    std::chrono::steady_clock::time_point start_;
};

bool checksums() {
    static const bool on = std::getenv("TOVI_BENCH_CHECKSUMS") != nullptr;
    return on;
}

class checksum {
public:
    explicit checksum(const char* test) : test_(test) {}
    ~checksum() {
        if (checksums()) std::cerr << "checksum " << test_ << " " << rows_ << " " << sum_ << "\n";
    }
    void add(long v) {
        ++rows_;
        // A sum of mixed values: the same rows in any order (an engine returns a
        // join's rows in its own order) give the same checksum.
        unsigned long x = static_cast<unsigned long>(v) + 0x9E3779B97F4A7C15UL;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9UL;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBUL;
        sum_ += x ^ (x >> 31);
    }
    void add(double v) { add(static_cast<long>(v * 1000.0)); }

private:
    const char* test_;
    unsigned long rows_ = 0;
    unsigned long sum_ = 0;
};

void title(const std::string& text, const std::string& sql) {
    std::cout << std::endl << text << std::endl << sql << std::endl;
}

void insert_rows(const char* table, long count, bool in_transaction) {
    const std::string sql = std::string("INSERT INTO ") + table + " VALUES(?, ?, ?)";
    sqlite3_stmt* s = prepare(sql.c_str());
    const std::string c = "oops oops oops";
    {
        timer t;
        for (long i = 0; i < count; ++i) {
            check(sqlite3_reset(s));
            check(sqlite3_bind_int64(s, 1, i));
            check(sqlite3_bind_int64(s, 2, i));
            check(sqlite3_bind_text(s, 3, c.data(), static_cast<int>(c.size()), SQLITE_STATIC));
            activate();
            step(s);
        }
        if (in_transaction) commit();
    }
    sqlite3_finalize(s);
}

void select_range(const char* id, const std::string& name, long rounds, long stride) {
    const char* sql = "SELECT count(*), avg(b) FROM t2 WHERE b >= ? AND b < ?";
    title(name, "SELECT count(*), avg(b) FROM t2 WHERE b >= :? AND b < :?");
    (void)sql;
    sqlite3_stmt* s = prepare("SELECT count(*), avg(b) FROM t2 WHERE b >= ? AND b < ?");
    checksum sum(id);
    {
        timer t;
        for (long k = 0; k < rounds; ++k) {
            const long lo = stride * k;
            check(sqlite3_reset(s));
            check(sqlite3_bind_int64(s, 1, lo));
            check(sqlite3_bind_int64(s, 2, lo + 1000));
            while (step(s) == SQLITE_ROW) {
                const long count = static_cast<long>(sqlite3_column_int64(s, 0));
                const double average = sqlite3_column_double(s, 1);
                if (checksums()) sum.add(count), sum.add(average);
            }
        }
    }
    sqlite3_finalize(s);
}

void select_03() {
    title("Test SELECT 03. Select " + std::to_string(large_count / 1000) +
              " times without an index on a string comparison. Fetch result.",
          "SELECT count(*), avg(b) FROM t2 WHERE c LIKE :?");
    sqlite3_stmt* s = prepare("SELECT count(*), avg(b) FROM t2 WHERE c LIKE ?");
    const std::string pattern = "%oops%";
    checksum sum("SELECT 03");
    {
        timer t;
        for (long k = 0; k < large_count / 1000; ++k) {
            check(sqlite3_reset(s));
            check(sqlite3_bind_text(s, 1, pattern.data(), static_cast<int>(pattern.size()),
                                    SQLITE_STATIC));
            while (step(s) == SQLITE_ROW) {
                const long count = static_cast<long>(sqlite3_column_int64(s, 0));
                const double average = sqlite3_column_double(s, 1);
                if (checksums()) sum.add(count), sum.add(average);
            }
        }
    }
    sqlite3_finalize(s);
}

void inner_join(const char* id, const char* name) {
    const char* sql = "SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b";
    title(name, sql);
    sqlite3_stmt* s = prepare(sql);
    checksum sum(id);
    {
        timer t;
        check(sqlite3_reset(s));
        while (step(s) == SQLITE_ROW) {
            const long a = static_cast<long>(sqlite3_column_int64(s, 0));
            if (checksums()) sum.add(a);
        }
    }
    sqlite3_finalize(s);
}

void ddl(const char* name, const char* sql) {
    title(name, sql);
    timer t;
    exec(sql);
}

void once(const char* name, const std::string& sql, bool in_transaction) {
    title(name, sql);
    timer t;
    sqlite3_stmt* s = prepare(sql.c_str());
    activate();
    step(s);
    sqlite3_finalize(s);
    if (in_transaction) commit();
}

void update_pairs(const std::string& name, const char* shown, const char* sql, long rounds,
                  long (*first)(long), long (*second)(long)) {
    title(name, shown);
    sqlite3_stmt* s = prepare(sql);
    {
        timer t;
        for (long k = 0; k < rounds; ++k) {
            check(sqlite3_reset(s));
            check(sqlite3_bind_int64(s, 1, first(k)));
            check(sqlite3_bind_int64(s, 2, second(k)));
            activate();
            step(s);
        }
        commit();
    }
    sqlite3_finalize(s);
}

void update_03() {
    title("Test UPDATE 03. Update " + std::to_string(small_count) +
              " times a text value with an index. Inside of a transaction.",
          "UPDATE t2 SET c = :? WHERE a = :?");
    sqlite3_stmt* s = prepare("UPDATE t2 SET c = ? WHERE a = ?");
    const std::string c = "New value !!! Have fun !!!";
    {
        timer t;
        for (long i = 0; i < small_count; ++i) {
            check(sqlite3_reset(s));
            check(sqlite3_bind_text(s, 1, c.data(), static_cast<int>(c.size()), SQLITE_STATIC));
            check(sqlite3_bind_int64(s, 2, i));
            activate();
            step(s);
        }
        commit();
    }
    sqlite3_finalize(s);
}

void select_05() {
    title("Test SELECT 05. Select " + std::to_string(large_count / 1000) +
              " times with subqueries. Subquery is using an index. Fetch result.",
          "SELECT t1.a FROM t1 WHERE t1.b IN (SELECT t2.b FROM t2 WHERE t2.b >= :? AND t2.b < :?)");
    sqlite3_stmt* s = prepare(
        "SELECT t1.a FROM t1 WHERE t1.b IN (SELECT t2.b FROM t2 WHERE t2.b >= ? AND t2.b < ?)");
    checksum sum("SELECT 05");
    {
        timer t;
        for (long k = 0; k < large_count / 1000; ++k) {
            check(sqlite3_reset(s));
            check(sqlite3_bind_int64(s, 1, 100 * k));
            check(sqlite3_bind_int64(s, 2, 100 * k + 1000));
            while (step(s) == SQLITE_ROW) {
                const long a = static_cast<long>(sqlite3_column_int64(s, 0));
                if (checksums()) sum.add(a);
            }
        }
    }
    sqlite3_finalize(s);
}

void delete_03() {
    std::cout << std::endl
              << "Test DELETE 03. A big DELETE followed by many small INSERTs." << std::endl
              << "Run " << small_count << " times. Inside of a transaction." << std::endl
              << "DELETE FROM t1" << std::endl
              << "INSERT INTO t1 VALUES(:?, :?, :?)" << std::endl;
    timer t;
    sqlite3_stmt* del = prepare("DELETE FROM t1");
    activate();
    step(del);
    sqlite3_finalize(del);
    sqlite3_stmt* s = prepare("INSERT INTO t1 VALUES(?, ?, ?)");
    const std::string c = "oops oops oops";
    for (long i = 0; i < small_count; ++i) {
        check(sqlite3_reset(s));
        check(sqlite3_bind_int64(s, 1, i));
        check(sqlite3_bind_int64(s, 2, i));
        check(sqlite3_bind_text(s, 3, c.data(), static_cast<int>(c.size()), SQLITE_STATIC));
        activate();
        step(s);
    }
    sqlite3_finalize(s);
    commit();
}

}  // namespace

int main(int argc, char** argv) {
    std::cout << std::endl << "Native SQLite performance tests ..." << std::endl << std::endl;
    if (argc != 2) {
        std::cerr << "usage: tovibench_native DATABASE_FILE\n";
        return 2;
    }
    try {
        if (sqlite3_open(argv[1], &db) != SQLITE_OK) fail(SQLITE_CANTOPEN);
        exec("PRAGMA synchronous = OFF;");
        for (const char* table : {"t1", "t2", "t3"})
            sqlite3_exec(db, (std::string("DROP TABLE ") + table).c_str(), nullptr, nullptr,
                         nullptr);
        exec("CREATE TABLE t1(a INTEGER, b INTEGER, c VARCHAR(100))");
        exec("CREATE TABLE t2(a INTEGER, b INTEGER, c VARCHAR(100))");
        exec("CREATE TABLE t3(a INTEGER, b INTEGER, c VARCHAR(100))");
        exec("CREATE INDEX i3 ON t3(c)");

        title("Test INSERT 01. Insert " + std::to_string(small_count) + " records. Autocommit.",
              "INSERT INTO t1 VALUES(:?, :?, :?)");
        insert_rows("t1", small_count, false);
        title("Test INSERT 02. Insert " + std::to_string(large_count) +
                  " records. Inside of a transaction.",
              "INSERT INTO t2 VALUES(:?, :?, :?)");
        insert_rows("t2", large_count, true);  // its commit ends test 1's transaction too
        title("Test INSERT 03. Insert " + std::to_string(large_count) +
                  " records into an indexed table. Inside of a transaction.",
              "INSERT INTO t3 VALUES(:?, :?, :?)");
        insert_rows("t3", large_count, true);
        select_range("SELECT 02",
                     "Test SELECT 02. Select " + std::to_string(large_count / 1000) +
                         " times without an index. Fetch result.",
                     large_count / 1000, 100);
        select_03();
        inner_join("INNER JOIN 01", "Test INNER JOIN 01. Without an index. Fetch result.");
        ddl("Test CREATE INDEX 01. Run 1 time on an ordered field.", "CREATE INDEX i2a ON t2(a)");
        ddl("Test CREATE INDEX 02. Run 1 time on a nonordered field.", "CREATE INDEX i2b ON t2(b)");
        select_range("SELECT 04",
                     "Test SELECT 04. Select " + std::to_string(large_count / 100) +
                         " times with an index. Fetch result.",
                     large_count / 100, 100);
        update_pairs(
            "Test UPDATE 01. Update " + std::to_string(small_count / 10) +
                " times without an index. Inside of a transaction.",
            "UPDATE t1 SET b = b*2 WHERE a >= :? AND a < :?",
            "UPDATE t1 SET b = b*2 WHERE a >= ? AND a < ?", small_count / 10,
            [](long k) { return 10 * k; }, [](long k) { return 10 * k + 10; });
        update_pairs(
            "Test UPDATE 02. Update " + std::to_string(small_count) +
                " times with an index. Inside of a transaction.",
            "UPDATE t2 SET b = :? WHERE a = :?", "UPDATE t2 SET b = ? WHERE a = ?", small_count,
            [](long i) { return i + 10; }, [](long i) { return i; });
        update_03();
        once("Test INSERT from a SELECT 01. Inside of a transaction.",
             "INSERT INTO t1 SELECT * FROM t2", true);
        once("Test INSERT from a SELECT 02. Inside of a transaction.",
             "INSERT INTO t2 SELECT * FROM t1", true);
        inner_join("INNER JOIN 02", "Test INNER JOIN 02. With index on one side. Fetch result.");
        select_05();
        once("Test DELETE 01. Run 1 time without an index.",
             "DELETE FROM t2 WHERE c LIKE '%fifty%'", false);
        once("Test DELETE 02. Run 1 time with an index.",
             "DELETE FROM t2 WHERE a > 10 AND a < " + std::to_string(large_count - 5000), false);
        delete_03();
        commit();
        sqlite3_close(db);
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
    if (checksums()) {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::cerr << "peak_kb " << usage.ru_maxrss << "\n";
    }
    return 0;
}
