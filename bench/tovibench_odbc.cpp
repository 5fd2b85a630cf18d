// tovibench_odbc: tovibench's nineteen workloads straight through the ODBC C API,
// written as one would by hand: each statement prepared once, its parameters
// bound once to the loop's variables, SQLExecute per row, columns bound with
// SQLBindCol, manual commit at the same points as tovi's ODBC driver commits (and
// data definition between a rollback and a commit, as that driver runs it).
// Compare the two with bench/compare.sh --odbc.
//
//   tovibench_odbc ODBC_DRIVER_NAME DATABASE_FILE   (a file database: SQLite's driver)
//   tovibench_odbc CONNECTION_STRING                (any source, a server among them)
#include <sql.h>
#include <sqlext.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

namespace {

const long small_count = 4000;
const long large_count = 100000;

SQLHENV env = SQL_NULL_HENV;
SQLHDBC dbc = SQL_NULL_HDBC;

std::string diagnostic(SQLSMALLINT type, SQLHANDLE h) {
    SQLCHAR state[6] = {0}, message[512] = {0};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    SQLGetDiagRec(type, h, 1, state, &native, message, sizeof message, &length);
    return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(message);
}

SQLRETURN check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO && rc != SQL_NO_DATA)
        throw std::runtime_error(diagnostic(type, h));
    return rc;
}

void end(SQLSMALLINT how) {
    check(SQLEndTran(SQL_HANDLE_DBC, dbc, how), SQL_HANDLE_DBC, dbc);
}
void commit() {
    end(SQL_COMMIT);
}

// A statement handle, freed at the end of its scope.
class stmt {
public:
    explicit stmt(const std::string& sql) {
        ::check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &h_), SQL_HANDLE_DBC, dbc);
        check(SQLPrepare(h_, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql.c_str())), SQL_NTS));
    }
    ~stmt() { SQLFreeHandle(SQL_HANDLE_STMT, h_); }
    stmt(const stmt&) = delete;
    stmt& operator=(const stmt&) = delete;

    void bind(SQLUSMALLINT n, long& v) {
        check(SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &v, 0,
                               nullptr));
    }
    void bind(SQLUSMALLINT n, const std::string& text) {
        length_ = static_cast<SQLLEN>(text.size());
        check(SQLBindParameter(h_, n, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, text.size(), 0,
                               const_cast<char*>(text.data()), length_, &length_));
    }
    void column(SQLUSMALLINT n, long& v) {
        check(SQLBindCol(h_, n, SQL_C_SBIGINT, &v, sizeof v, nullptr));
    }
    void column(SQLUSMALLINT n, double& v) {
        check(SQLBindCol(h_, n, SQL_C_DOUBLE, &v, sizeof v, nullptr));
    }
    void execute() { check(SQLExecute(h_)); }
    bool fetch() { return check(SQLFetch(h_)) != SQL_NO_DATA; }
    void close() { check(SQLFreeStmt(h_, SQL_CLOSE)); }

private:
    SQLRETURN check(SQLRETURN rc) { return ::check(rc, SQL_HANDLE_STMT, h_); }

    SQLHSTMT h_ = SQL_NULL_HSTMT;
    SQLLEN length_ = 0;
};

// Data definition: whatever is pending is rolled back, the statement runs and is
// committed.
void ddl_exec(const std::string& sql, bool may_fail = false) {
    end(SQL_ROLLBACK);
    try {
        stmt s(sql);
        s.execute();
    } catch (const std::runtime_error&) {
        if (!may_fail) throw;
        return;
    }
    commit();
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
        sum_ = sum_ * 31 + static_cast<unsigned long>(v);
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

void select_range(const char* id, const std::string& name, long rounds, long stride) {
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

void select_03() {
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

void inner_join(const char* id, const char* name) {
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

void ddl(const char* name, const char* sql) {
    title(name, sql);
    timer t;
    ddl_exec(sql);
}

void once(const char* name, const std::string& sql, bool in_transaction) {
    title(name, sql);
    timer t;
    stmt s(sql);
    s.execute();
    if (in_transaction) commit();
}

void update_pairs(const std::string& name, const char* shown, const char* sql, long rounds,
                  long (*first)(long), long (*second)(long)) {
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

void update_03() {
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

void select_05() {
    title("Test SELECT 05. Select " + std::to_string(large_count / 1000) +
              " times with subqueries. Subquery is using an index. Fetch result.",
          "SELECT t1.a FROM t1 WHERE t1.b IN (SELECT t2.b FROM t2 WHERE t2.b >= :? AND t2.b < :?)");
    stmt s("SELECT t1.a FROM t1 WHERE t1.b IN (SELECT t2.b FROM t2 WHERE t2.b >= ? AND t2.b < ?)");
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

void delete_03() {
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

void connect(std::string text) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
        throw std::runtime_error("no ODBC environment");
    check(SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                        SQL_IS_INTEGER),
          SQL_HANDLE_ENV, env);
    check(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc), SQL_HANDLE_ENV, env);
    check(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(&text[0]),
                           static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                           SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, dbc);
    check(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                            reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, dbc);
}

}  // namespace

int main(int argc, char** argv) {
    std::cout << std::endl << "Native ODBC performance tests ..." << std::endl << std::endl;
    if (argc != 2 && argc != 3) {
        std::cerr << "usage: tovibench_odbc ODBC_DRIVER_NAME DATABASE_FILE\n"
                     "       tovibench_odbc CONNECTION_STRING\n";
        return 2;
    }
    try {
        connect(argc == 3 ? "DRIVER={" + std::string(argv[1]) + "};Database=" + argv[2] : argv[1]);
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
        end(SQL_ROLLBACK);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
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
