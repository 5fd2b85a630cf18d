// The ODBC twin of bulk_bench: the INSERT with column-wise parameter arrays
// (SQL_ATTR_PARAMSET_SIZE, a chunk of rows per SQLExecute) in one transaction;
// the SELECT fetched into row arrays (SQL_ATTR_ROW_ARRAY_SIZE). Whether a
// driver sends an array at once or runs it row by row is the driver's.
#include <sql.h>
#include <sqlext.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "bulk_rows.hpp"

namespace bulk_bench {

namespace {

constexpr SQLLEN width = 41;  // VARCHAR(40) and its terminating NUL

struct session {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    SQLHSTMT stmt = SQL_NULL_HSTMT;

    explicit session(const std::string& connection) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
        SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
        std::string text = connection;
        check(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(&text[0]),
                               static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                               SQL_DRIVER_NOPROMPT),
              SQL_HANDLE_DBC, dbc);
        SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
        SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
    }
    ~session() {
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
        SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT);
        SQLDisconnect(dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
    static void check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE h) {
        if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return;
        SQLCHAR state[6] = {0}, text[512] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLGetDiagRec(type, h, 1, state, &native, text, sizeof text, &length);
        throw std::runtime_error(reinterpret_cast<char*>(text));
    }
    void run(const char* sql) {
        check(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(sql)), SQL_NTS),
              SQL_HANDLE_STMT, stmt);
        SQLFreeStmt(stmt, SQL_CLOSE);
    }
};

class odbc_road final : public native_road {
public:
    explicit odbc_road(const std::string& connection) : s(connection) {
        s.run("DROP TABLE IF EXISTS bulk_rows");
        s.run(create_sql);
        SQLEndTran(SQL_HANDLE_DBC, s.dbc, SQL_COMMIT);
    }
    long insert(const rows& r) override;
    long fetch() override;

private:
    session s;
};

long odbc_road::insert(const rows& r) {
    session::check(
        SQLPrepare(s.stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(insert_sql)), SQL_NTS),
        SQL_HANDLE_STMT, s.stmt);
    std::vector<SQLBIGINT> ids(chunk);
    std::vector<char> names(chunk * width);
    std::vector<double> amounts(chunk);
    std::vector<SQLLEN> id_ind(chunk), name_ind(chunk), amount_ind(chunk);
    SQLSetStmtAttr(s.stmt, SQL_ATTR_PARAM_BIND_TYPE, SQL_PARAM_BIND_BY_COLUMN, 0);
    SQLBindParameter(s.stmt, 1, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, ids.data(), 0,
                     id_ind.data());
    SQLBindParameter(s.stmt, 2, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, width - 1, 0,
                     names.data(), width, name_ind.data());
    SQLBindParameter(s.stmt, 3, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, amounts.data(), 0,
                     amount_ind.data());
    for (std::size_t first = 0; first < r.ids.size(); first += chunk) {
        const std::size_t n = std::min<std::size_t>(chunk, r.ids.size() - first);
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t i = first + k;
            ids[k] = r.ids[i];
            id_ind[k] = 0;
            std::memcpy(&names[k * width], r.names[i].c_str(), r.names[i].size() + 1);
            name_ind[k] = static_cast<SQLLEN>(r.names[i].size());
            amounts[k] = r.amounts[i].value_or(0);
            amount_ind[k] = r.amounts[i] ? 0 : SQL_NULL_DATA;
        }
        SQLSetStmtAttr(s.stmt, SQL_ATTR_PARAMSET_SIZE,
                       reinterpret_cast<SQLPOINTER>(n),  // NOLINT(performance-no-int-to-ptr)
                       0);
        session::check(SQLExecute(s.stmt), SQL_HANDLE_STMT, s.stmt);
    }
    session::check(SQLEndTran(SQL_HANDLE_DBC, s.dbc, SQL_COMMIT), SQL_HANDLE_DBC, s.dbc);
    SQLFreeStmt(s.stmt, SQL_RESET_PARAMS);
    SQLSetStmtAttr(s.stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(1), 0);
    return static_cast<long>(r.ids.size());
}

long odbc_road::fetch() {
    std::vector<SQLBIGINT> ids(chunk);
    std::vector<char> names(chunk * width);
    std::vector<double> amounts(chunk);
    std::vector<SQLLEN> id_ind(chunk), name_ind(chunk), amount_ind(chunk);
    SQLULEN fetched = 0;
    SQLSetStmtAttr(s.stmt, SQL_ATTR_ROW_BIND_TYPE, SQL_BIND_BY_COLUMN, 0);
    SQLSetStmtAttr(s.stmt, SQL_ATTR_ROW_ARRAY_SIZE,
                   reinterpret_cast<SQLPOINTER>(chunk),  // NOLINT(performance-no-int-to-ptr)
                   0);
    SQLSetStmtAttr(s.stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
    session::check(
        SQLExecDirect(s.stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(select_sql)), SQL_NTS),
        SQL_HANDLE_STMT, s.stmt);
    SQLBindCol(s.stmt, 1, SQL_C_SBIGINT, ids.data(), 0, id_ind.data());
    SQLBindCol(s.stmt, 2, SQL_C_CHAR, names.data(), width, name_ind.data());
    SQLBindCol(s.stmt, 3, SQL_C_DOUBLE, amounts.data(), 0, amount_ind.data());
    rows got;
    long sum = 0;
    for (;;) {
        const SQLRETURN rc = SQLFetch(s.stmt);
        if (rc == SQL_NO_DATA) break;
        session::check(rc, SQL_HANDLE_STMT, s.stmt);
        got.clear();
        for (SQLULEN k = 0; k < fetched; ++k) {
            got.ids.push_back(static_cast<long>(ids[k]));
            got.names.emplace_back(&names[k * width], static_cast<std::size_t>(name_ind[k]));
            if (amount_ind[k] == SQL_NULL_DATA)
                got.amounts.emplace_back();
            else
                got.amounts.emplace_back(amounts[k]);
        }
        sum += got.checksum();
    }
    SQLFreeStmt(s.stmt, SQL_CLOSE);
    SQLEndTran(SQL_HANDLE_DBC, s.dbc, SQL_COMMIT);
    return sum;
}

}  // namespace

std::unique_ptr<native_road> odbc_native(const std::string& connection) {
    return std::make_unique<odbc_road>(connection);
}

}  // namespace bulk_bench
