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

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

#include "twin_suite.hpp"

namespace {

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

struct odbc_api {
    using stmt = ::stmt;
    static void commit() { ::commit(); }
    static void ddl_exec(const std::string& sql, bool may_fail) { ::ddl_exec(sql, may_fail); }
};

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
        twin::suite<odbc_api>::run();
        end(SQL_ROLLBACK);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
    twin::report_peak_memory();
    return 0;
}
