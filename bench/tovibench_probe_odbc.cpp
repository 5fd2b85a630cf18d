// The ODBC C API road of tovibench_probe: a manual-commit connection, INSERT 02
// with parameters bound once, INNER JOIN 02 with its column bound.
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

void prepare_tables(sqlite3* db, long rows);

std::string odbc_driver() {
    const char* name = std::getenv("TOVI_PROBE_ODBC_DRIVER");
    return name != nullptr ? name : "SQLite3 ODBC Driver";
}

namespace {

__attribute__((noinline)) void odbc_insert_iteration(SQLHSTMT s, long& a, long& b, long i) {
    a = b = i;
    SQLExecute(s);
}

__attribute__((noinline)) bool odbc_join_iteration(SQLHSTMT s, const long& a, long& sum) {
    if (SQLFetch(s) == SQL_NO_DATA) return false;
    sum += a;
    return true;
}

// A manual-commit ODBC connection to `file` and one prepared statement of `sql`.
struct odbc_road {
    odbc_road(const char* file, const char* sql) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                      SQL_IS_INTEGER);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::string text = "DRIVER={" + odbc_driver() + "};Database=" + file;
        if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(&text[0]),
                                            static_cast<SQLSMALLINT>(text.size()), nullptr, 0,
                                            nullptr, SQL_DRIVER_NOPROMPT)))
            throw std::runtime_error("cannot connect: " + text);
        SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
        SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS);
    }
    ~odbc_road() {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
};

}  // namespace

long odbc_insert(const char* file, long n) {
    sqlite3* db = nullptr;
    sqlite3_open(file, &db);
    prepare_tables(db, 0);
    sqlite3_close(db);
    odbc_road road(file, "INSERT INTO t2 VALUES(?, ?, ?)");
    long a = 0, b = 0;
    const std::string c = "oops oops oops";
    SQLLEN length = static_cast<SQLLEN>(c.size());
    SQLBindParameter(road.stmt, 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &a, 0,
                     nullptr);
    SQLBindParameter(road.stmt, 2, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &b, 0,
                     nullptr);
    SQLBindParameter(road.stmt, 3, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, c.size(), 0,
                     const_cast<char*>(c.data()), length, &length);
    for (long i = 0; i < n; ++i) odbc_insert_iteration(road.stmt, a, b, i);
    return n;
}

long odbc_join(const char* file, long n) {
    sqlite3* db = nullptr;
    sqlite3_open(file, &db);
    prepare_tables(db, n);
    sqlite3_close(db);
    odbc_road road(file, "SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b");
    long a = 0, sum = 0;
    SQLBindCol(road.stmt, 1, SQL_C_SBIGINT, &a, sizeof a, nullptr);
    SQLExecute(road.stmt);
    while (odbc_join_iteration(road.stmt, a, sum)) {
    }
    return sum;
}
