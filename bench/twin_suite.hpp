// The nineteen workloads of tovibench, written once for the hand-written twins
// of each client API (tovibench_native for SQLite has its own). A twin provides
// `Api`: its prepared statement type `stmt` (bind(n, long&), bind(n, const
// std::string&), column(n, long&), column(n, double&), execute(), fetch(),
// close()), commit() as its driver commits, and ddl_exec(sql, may_fail) as its
// driver runs data definition.
#ifndef TOVI_BENCH_TWIN_SUITE_HPP
#define TOVI_BENCH_TWIN_SUITE_HPP

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>

namespace twin {

const long small_count = 4000;
const long large_count = 100000;

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

inline bool checksums() {
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

// With TOVI_BENCH_CHECKSUMS: the process's peak memory, to standard error.
inline void report_peak_memory() {
    if (!checksums()) return;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::cerr << "peak_kb " << usage.ru_maxrss << "\n";
}

template <class Api>
struct suite {
    using stmt = typename Api::stmt;
    static void commit() { Api::commit(); }
    static void ddl_exec(const std::string& sql, bool may_fail = false) {
        Api::ddl_exec(sql, may_fail);
    }

    static void title(const std::string& text, const std::string& sql) {
        std::cout << std::endl << text << std::endl << sql << std::endl;
    }

    static void insert_rows(const char* table, long count, bool in_transaction) {
        stmt s(std::string("INSERT INTO ") + table + " VALUES(?, ?, ?)");
        long a = 0, b = 0;
        const std::string c = "oops oops oops";
        s.bind(1, a);
        s.bind(2, b);
        s.bind(3, c);
        {
            timer t;
            for (long i = 0; i < count; ++i) {
                a = b = i;
                s.execute();
            }
            if (in_transaction) commit();
        }
    }

    static void select_range(const char* id, const std::string& name, long rounds, long stride) {
        title(name, "SELECT count(*), avg(b) FROM t2 WHERE b >= :? AND b < :?");
        stmt s("SELECT count(*), avg(b) FROM t2 WHERE b >= ? AND b < ?");
        long lo = 0, hi = 0, count = 0;
        double average = 0;
        s.bind(1, lo);
        s.bind(2, hi);
        s.column(1, count);
        s.column(2, average);
        checksum sum(id);
        {
            timer t;
            for (long k = 0; k < rounds; ++k) {
                lo = stride * k;
                hi = lo + 1000;
                s.execute();
                while (s.fetch())
                    if (checksums()) sum.add(count), sum.add(average);
                s.close();
            }
        }
    }

    static void select_03() {
        title("Test SELECT 03. Select " + std::to_string(large_count / 1000) +
                  " times without an index on a string comparison. Fetch result.",
              "SELECT count(*), avg(b) FROM t2 WHERE c LIKE :?");
        stmt s("SELECT count(*), avg(b) FROM t2 WHERE c LIKE ?");
        const std::string pattern = "%oops%";
        long count = 0;
        double average = 0;
        s.bind(1, pattern);
        s.column(1, count);
        s.column(2, average);
        checksum sum("SELECT 03");
        {
            timer t;
            for (long k = 0; k < large_count / 1000; ++k) {
                s.execute();
                while (s.fetch())
                    if (checksums()) sum.add(count), sum.add(average);
                s.close();
            }
        }
    }

    static void inner_join(const char* id, const char* name) {
        const char* sql = "SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b";
        title(name, sql);
        stmt s(sql);
        long a = 0;
        s.column(1, a);
        checksum sum(id);
        {
            timer t;
            s.execute();
            while (s.fetch())
                if (checksums()) sum.add(a);
            s.close();
        }
    }

    static void ddl(const char* name, const char* sql) {
        title(name, sql);
        timer t;
        ddl_exec(sql);
    }

    static void once(const char* name, const std::string& sql, bool in_transaction) {
        title(name, sql);
        timer t;
        stmt s(sql);
        s.execute();
        if (in_transaction) commit();
    }

    static void update_pairs(const std::string& name, const char* shown, const char* sql,
                             long rounds, long (*first)(long), long (*second)(long)) {
        title(name, shown);
        stmt s(sql);
        long x = 0, y = 0;
        s.bind(1, x);
        s.bind(2, y);
        {
            timer t;
            for (long k = 0; k < rounds; ++k) {
                x = first(k);
                y = second(k);
                s.execute();
            }
            commit();
        }
    }

    static void update_03() {
        title("Test UPDATE 03. Update " + std::to_string(small_count) +
                  " times a text value with an index. Inside of a transaction.",
              "UPDATE t2 SET c = :? WHERE a = :?");
        stmt s("UPDATE t2 SET c = ? WHERE a = ?");
        const std::string c = "New value !!! Have fun !!!";
        long a = 0;
        s.bind(1, c);
        s.bind(2, a);
        {
            timer t;
            for (long i = 0; i < small_count; ++i) {
                a = i;
                s.execute();
            }
            commit();
        }
    }

    static void select_05() {
        title("Test SELECT 05. Select " + std::to_string(large_count / 1000) +
                  " times with subqueries. Subquery is using an index. Fetch result.",
              "SELECT t1.a FROM t1 WHERE t1.b IN (SELECT t2.b FROM t2 WHERE t2.b >= :? AND t2.b < "
              ":?)");
        stmt s(
            "SELECT t1.a FROM t1 WHERE t1.b IN (SELECT t2.b FROM t2 WHERE t2.b >= ? AND t2.b < ?)");
        long lo = 0, hi = 0, a = 0;
        s.bind(1, lo);
        s.bind(2, hi);
        s.column(1, a);
        checksum sum("SELECT 05");
        {
            timer t;
            for (long k = 0; k < large_count / 1000; ++k) {
                lo = 100 * k;
                hi = 100 * k + 1000;
                s.execute();
                while (s.fetch())
                    if (checksums()) sum.add(a);
                s.close();
            }
        }
    }

    static void delete_03() {
        std::cout << std::endl
                  << "Test DELETE 03. A big DELETE followed by many small INSERTs." << std::endl
                  << "Run " << small_count << " times. Inside of a transaction." << std::endl
                  << "DELETE FROM t1" << std::endl
                  << "INSERT INTO t1 VALUES(:?, :?, :?)" << std::endl;
        timer t;
        {
            stmt del("DELETE FROM t1");
            del.execute();
        }
        stmt s("INSERT INTO t1 VALUES(?, ?, ?)");
        long a = 0, b = 0;
        const std::string c = "oops oops oops";
        s.bind(1, a);
        s.bind(2, b);
        s.bind(3, c);
        for (long i = 0; i < small_count; ++i) {
            a = b = i;
            s.execute();
        }
        commit();
    }

    // Drops and creates the tables, then runs the nineteen tests in order.
    static void run() {
        for (const char* table : {"t1", "t2", "t3"})
            ddl_exec(std::string("DROP TABLE ") + table, true);
        ddl_exec("CREATE TABLE t1(a INTEGER, b INTEGER, c VARCHAR(100))");
        ddl_exec("CREATE TABLE t2(a INTEGER, b INTEGER, c VARCHAR(100))");
        ddl_exec("CREATE TABLE t3(a INTEGER, b INTEGER, c VARCHAR(100))");
        ddl_exec("CREATE INDEX i3 ON t3(c)");

        title("Test INSERT 01. Insert " + std::to_string(small_count) + " records. Autocommit.",
              "INSERT INTO t1 VALUES(:?, :?, :?)");
        insert_rows("t1", small_count, false);
        title("Test INSERT 02. Insert " + std::to_string(large_count) +
                  " records. Inside of a transaction.",
              "INSERT INTO t2 VALUES(:?, :?, :?)");
        insert_rows("t2", large_count, true);  // its commit ends test 1's work too
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
    }
};

}  // namespace twin

#endif
