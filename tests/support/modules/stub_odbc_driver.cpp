// A tiny ODBC driver for tests, loaded by the real driver manager (unixODBC)
// like any other. It needs no server: SQLDriverConnect writes the connection
// string it was given to the file named by TOVI_STUB_ODBC_CAPTURE (one line per
// call) and answers as TOVI_STUB_ODBC_CONNECT says:
//
//   ok (or unset)  success
//   5701           success with information, first record native error 5701
//                  ("Changed database context", as SQL Server says)
//   notice         success with information, SQLSTATE 00000 (a server's notice)
//   warning        success with information, native error 1 (any other warning)
//   two            an error with two diagnostic records (native 18456, then 4060)
//   denied         an error with SQLSTATE 28000 (a refused login)
//
// Statements can be allocated; SQLPrepare fails with two records too.
#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct record {
    std::string state;
    SQLINTEGER native;
    std::string message;
};

// Every handle of this driver: its diagnostics of the last call.
struct stub_handle {
    SQLSMALLINT type;
    std::vector<record> diagnostics;
};

stub_handle* of(SQLHANDLE h) {
    return static_cast<stub_handle*>(h);
}

SQLRETURN answer(SQLHANDLE h, SQLRETURN rc, std::vector<record> records) {
    of(h)->diagnostics = std::move(records);
    return rc;
}

std::vector<record> two_records() {
    return {{"28000", 18456, "[stub]Login failed for user 'tovi'."},
            {"42000", 4060, "[stub]Cannot open database \"stub\" requested by the login."}};
}

std::string text_of(SQLCHAR* s, SQLINTEGER length) {
    if (s == nullptr) return std::string();
    const char* c = reinterpret_cast<const char*>(s);
    return length == SQL_NTS ? std::string(c) : std::string(c, static_cast<std::size_t>(length));
}

void copy_text(const std::string& text, SQLPOINTER out, SQLSMALLINT size, SQLSMALLINT* length) {
    if (length != nullptr) *length = static_cast<SQLSMALLINT>(text.size());
    if (out != nullptr && size > 0) {
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
        std::memcpy(out, text.data(), n);
        static_cast<char*>(out)[n] = '\0';
    }
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE, SQLHANDLE* out) {
    *out = new stub_handle{type, {}};
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT, SQLHANDLE h) {
    delete of(h);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    return SQL_SUCCESS;
}

// The driver manager asks which ODBC version the driver speaks.
SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER,
                                SQLINTEGER*) {
    if (attribute != SQL_ATTR_ODBC_VERSION) return SQL_ERROR;
    *static_cast<SQLINTEGER*>(value) = SQL_OV_ODBC3;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLDriverConnect(SQLHDBC dbc, SQLHWND, SQLCHAR* in, SQLSMALLINT in_length,
                                   SQLCHAR* out, SQLSMALLINT out_size, SQLSMALLINT* out_length,
                                   SQLUSMALLINT) {
    const std::string text = text_of(in, in_length);
    if (const char* capture = std::getenv("TOVI_STUB_ODBC_CAPTURE"))
        std::ofstream(capture, std::ios::app) << text << "\n";
    copy_text(text, out, out_size, out_length);
    const char* how = std::getenv("TOVI_STUB_ODBC_CONNECT");
    const std::string mode = how != nullptr ? how : "ok";
    if (mode == "5701")
        return answer(dbc, SQL_SUCCESS_WITH_INFO,
                      {{"01000", 5701, "[stub]Changed database context to 'stub'."}});
    if (mode == "notice")
        return answer(dbc, SQL_SUCCESS_WITH_INFO,
                      {{"00000", 0, "[stub]NOTICE: nothing to worry about"}});
    if (mode == "warning")
        return answer(dbc, SQL_SUCCESS_WITH_INFO, {{"01000", 1, "[stub]Something to know."}});
    if (mode == "two") return answer(dbc, SQL_ERROR, two_records());
    if (mode == "denied")
        return answer(dbc, SQL_ERROR, {{"28000", 18456, "[stub]Login failed for user 'sa'."}});
    return answer(dbc, SQL_SUCCESS, {});
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC) {
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER) {
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetInfo(SQLHDBC, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT size,
                             SQLSMALLINT* length) {
    if (type == SQL_DRIVER_ODBC_VER) {
        copy_text("03.00", value, size, length);
        return SQL_SUCCESS;
    }
    if (value != nullptr && size >= 4) std::memset(value, 0, 4);
    if (length != nullptr) *length = 4;
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLEndTran(SQLSMALLINT, SQLHANDLE, SQLSMALLINT) {
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLPrepare(SQLHSTMT stmt, SQLCHAR*, SQLINTEGER) {
    return answer(stmt, SQL_ERROR, two_records());
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT, SQLUSMALLINT) {
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLCancel(SQLHSTMT) {
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT, SQLHANDLE h, SQLSMALLINT number, SQLCHAR* state,
                                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT size,
                                SQLSMALLINT* length) {
    const std::vector<record>& records = of(h)->diagnostics;
    if (number < 1 || static_cast<std::size_t>(number) > records.size()) return SQL_NO_DATA;
    const record& r = records[static_cast<std::size_t>(number - 1)];
    if (state != nullptr) std::memcpy(state, r.state.c_str(), 6);
    if (native != nullptr) *native = r.native;
    copy_text(r.message, message, size, length);
    return SQL_SUCCESS;
}

SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT, SQLHANDLE h, SQLSMALLINT number, SQLSMALLINT field,
                                  SQLPOINTER value, SQLSMALLINT, SQLSMALLINT*) {
    const std::vector<record>& records = of(h)->diagnostics;
    if (number == 0 && field == SQL_DIAG_NUMBER) {
        *static_cast<SQLINTEGER*>(value) = static_cast<SQLINTEGER>(records.size());
        return SQL_SUCCESS;
    }
    return SQL_NO_DATA;
}

}  // extern "C"
