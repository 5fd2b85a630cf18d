// The Jet provider on SQLite: files, statements, values, Jet's DDL forms and
// Jet's error numbers.
#include "jet_provider.hpp"

#include <sqlite3.h>

#include <boost/filesystem/operations.hpp>
#include <tovi/text.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>
#include <regex>

namespace adodb {

namespace {

std::string upper(const std::string& text) {
    return utils::make_upper(text);
}

bool starts_with(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool file_exists(const std::string& path) {
    boost::system::error_code ignored;
    return boost::filesystem::exists(path, ignored);
}

// A name as written ("x", [x] or x) without its quotes.
std::string unquote(const std::string& name) {
    if (name.size() >= 2 && ((name.front() == '"' && name.back() == '"') ||
                             (name.front() == '[' && name.back() == ']')))
        return name.substr(1, name.size() - 2);
    return name;
}

// A name for SQLite's text: always quoted, so that any name is one.
std::string quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : unquote(name)) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

// A text literal for SQLite.
std::string literal(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out + "'";
}

std::vector<std::string> split_names(const std::string& list) {
    std::vector<std::string> names;
    std::string name;
    auto flush = [&] {
        const auto first = name.find_first_not_of(" \t\r\n");
        const auto last = name.find_last_not_of(" \t\r\n");
        if (first != std::string::npos)
            names.push_back(unquote(name.substr(first, last - first + 1)));
        name.clear();
    };
    for (char c : list) {
        if (c == ',')
            flush();
        else
            name += c;
    }
    flush();
    return names;
}

provider_error jet_failure(long native, const std::string& sql_state, const std::string& text) {
    return {E_FAIL, sql_state, native, text};
}

// --- Jet's DDL forms that SQLite does not have (the provider runs them itself)

#define JET_NAME R"(("[^"]+"|\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_$]*))"
const std::regex add_foreign_key(
    R"(^\s*ALTER\s+TABLE\s+)" JET_NAME R"(\s+ADD\s+CONSTRAINT\s+)" JET_NAME
    R"(\s+FOREIGN\s+KEY\s*\(([^)]*)\)\s*REFERENCES\s+)" JET_NAME
    R"(\s*\(([^)]*)\)\s*(ON\s+DELETE\s+(CASCADE|SET\s+NULL|NO\s+ACTION|RESTRICT))?\s*$)",
    std::regex::icase);
const std::regex add_primary_key(R"(^\s*ALTER\s+TABLE\s+)" JET_NAME
                                 R"(\s+ADD\s+CONSTRAINT\s+)" JET_NAME
                                 R"(\s+PRIMARY\s+KEY\s*\(([^)]*)\)\s*$)",
                                 std::regex::icase);
const std::regex drop_constraint(R"(^\s*ALTER\s+TABLE\s+)" JET_NAME
                                 R"(\s+DROP\s+CONSTRAINT\s+)" JET_NAME R"(\s*$)",
                                 std::regex::icase);
const std::regex drop_table(R"(^\s*DROP\s+TABLE\s+)" JET_NAME R"(\s*$)", std::regex::icase);
const std::regex drop_index_on(R"(^\s*DROP\s+INDEX\s+)" JET_NAME R"(\s+ON\s+)" JET_NAME R"(\s*$)",
                               std::regex::icase);
#undef JET_NAME

// The forms above are short. std::regex matches by recursion, as deep as the text
// is long: a longer text is left to SQLite (which refuses what it does not know)
// rather than overflowing the stack.
constexpr std::size_t longest_jet_ddl = 4096;

bool word_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$';
}

// The table of a "CREATE TABLE <name> ..." text, without quotes; "" for any other text.
std::string created_table(const std::string& text) {
    std::size_t i = 0;
    auto blanks = [&] {
        const std::size_t from = i;
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
        return i > from;
    };
    auto word = [&](const char* w) {
        const std::size_t n = std::strlen(w);
        if (upper(text.substr(i, n)) != w || (i + n < text.size() && word_char(text[i + n])))
            return false;
        i += n;
        return true;
    };
    blanks();
    if (!word("CREATE") || !blanks() || !word("TABLE") || !blanks() || i >= text.size()) return "";
    const char open = text[i];
    if (open == '"' || open == '[') {
        const std::size_t close = text.find(open == '"' ? '"' : ']', i + 1);
        return close == std::string::npos ? "" : text.substr(i + 1, close - i - 1);
    }
    const std::size_t from = i;
    while (i < text.size() && word_char(text[i])) ++i;
    return text.substr(from, i - from);
}

bool is_special(const std::string& text) {
    const std::string head = upper(text.substr(0, 64));
    const auto first = head.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return false;
    if (head.compare(first, 5, "ALTER") == 0 || head.compare(first, 4, "DROP") == 0)
        return text.size() <= longest_jet_ddl;
    // Every CREATE TABLE: its columns get their value checks (and counters).
    return head.compare(first, 6, "CREATE") == 0 && !created_table(text).empty();
}

}  // namespace

// --- values

static void bind_variant(sqlite3_stmt* stmt, int position, const VARIANT& v) {
    int rc = SQLITE_OK;
    switch (v.vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_ERROR:  // a missing value
            rc = sqlite3_bind_null(stmt, position);
            break;
        case VT_I1:
            rc = sqlite3_bind_int64(stmt, position, v.cVal);
            break;
        case VT_UI1:
            rc = sqlite3_bind_int64(stmt, position, v.bVal);
            break;
        case VT_I2:
            rc = sqlite3_bind_int64(stmt, position, v.iVal);
            break;
        case VT_UI2:
            rc = sqlite3_bind_int64(stmt, position, v.uiVal);
            break;
        case VT_I4:
            rc = sqlite3_bind_int64(stmt, position, v.lVal);
            break;
        case VT_UI4:
            rc = sqlite3_bind_int64(stmt, position, v.ulVal);
            break;
        case VT_I8:
            rc = sqlite3_bind_int64(stmt, position, v.llVal);
            break;
        case VT_UI8:
            if (v.ullVal > static_cast<ULONGLONG>(std::numeric_limits<std::int64_t>::max()))
                throw provider_error{DISP_E_OVERFLOW, "22003", 0, "Numeric value out of range."};
            rc = sqlite3_bind_int64(stmt, position, static_cast<std::int64_t>(v.ullVal));
            break;
        case VT_BOOL:
            rc = sqlite3_bind_int64(stmt, position, v.boolVal != 0 ? -1 : 0);  // Jet's true
            break;
        case VT_R4:
            rc = sqlite3_bind_double(stmt, position, v.fltVal);
            break;
        case VT_R8:
            rc = sqlite3_bind_double(stmt, position, v.dblVal);
            break;
        case VT_DATE:  // Jet keeps dates as OLE dates
            rc = sqlite3_bind_double(stmt, position, v.date);
            break;
        case VT_CY:
        case VT_DECIMAL: {
            VARIANT as_double;
            VariantInit(&as_double);
            if (FAILED(VariantChangeType(&as_double, &v, 0, VT_R8)))
                throw provider_error{DISP_E_OVERFLOW, "22003", 0, "Numeric value out of range."};
            rc = sqlite3_bind_double(stmt, position, as_double.dblVal);
            break;
        }
        case VT_BSTR: {
            const std::string text = tovi::wide_to_mb(v.bstrVal, SysStringLen(v.bstrVal));
            rc = sqlite3_bind_text64(stmt, position, text.data(), text.size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8);
            break;
        }
        case VT_ARRAY | VT_UI1: {
            void* data = nullptr;
            LONG low = 0, high = -1;
            SafeArrayGetLBound(v.parray, 1, &low);
            SafeArrayGetUBound(v.parray, 1, &high);
            if (FAILED(SafeArrayAccessData(v.parray, &data)))
                throw provider_error{E_INVALIDARG, "HY000", 0, "The array cannot be read."};
            const sqlite3_uint64 size = static_cast<sqlite3_uint64>(high) - low + 1;
            rc = size == 0 ? sqlite3_bind_zeroblob(stmt, position, 0)
                           : sqlite3_bind_blob64(stmt, position, data, size, SQLITE_TRANSIENT);
            SafeArrayUnaccessData(v.parray);
            break;
        }
        default:
            throw provider_error{
                DISP_E_TYPEMISMATCH, "HY000", 0,
                "Parameter " + std::to_string(position) + " has a type the provider cannot store."};
    }
    if (rc != SQLITE_OK)
        throw provider_error{E_FAIL, "HY000", rc,
                             std::string("Cannot bind parameter: ") + sqlite3_errstr(rc)};
}

// --- session

bool provider_session::serves(const std::string& provider) {
    return starts_with(provider, "Microsoft.Jet.OLEDB");
}

void provider_session::create(const std::string& path) {
    if (file_exists(path)) throw jet_failure(0, "HY000", "Database already exists.");
    sqlite3* db = nullptr;
    int rc =
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // The header is written now, so that the file is a database from the start.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, "PRAGMA application_id = 1246053409", nullptr, nullptr, nullptr);
    const std::string message = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        throw jet_failure(rc, "HY000", "Could not create '" + path + "': " + message);
}

provider_session::provider_session(const std::string& path) {
    if (path.empty() || !file_exists(path))
        throw jet_failure(jet::file_not_found, "HY000", "Could not find file '" + path + "'.");
    const int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const provider_error failure = jet_failure(
            rc, "HY000", std::string("Could not open '") + path + "': " + sqlite3_errstr(rc));
        sqlite3_close(db_);
        throw failure;
    }
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_extended_result_codes(db_, 1);
    // Reading the schema tells a database from any other file.
    if (sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) !=
        SQLITE_OK) {
        sqlite3_close(db_);
        throw jet_failure(jet::unrecognized_format, "HY000",
                          "Unrecognized database format '" + path + "'.");
    }
}

provider_session::~provider_session() {
    for (sqlite3_stmt* stmt : inserts_) sqlite3_finalize(stmt);
    sqlite3_close_v2(db_);  // statements still held by recordsets end it later
}

provider_error provider_session::error(int rc) const {
    const std::string m = sqlite3_errmsg(db_);
    const int ext = sqlite3_extended_errcode(db_);
    // A failure the provider's own triggers raised: "jet:<number>:<text>".
    if (starts_with(m, "jet:")) {
        const auto colon = m.find(':', 4);
        return jet_failure(std::stol(m.substr(4, colon - 4)), "23000", m.substr(colon + 1));
    }
    if (ext == SQLITE_CONSTRAINT_UNIQUE || ext == SQLITE_CONSTRAINT_PRIMARYKEY)
        return jet_failure(
            jet::duplicate_key, "23000",
            "The changes you requested to the table were not successful because they "
            "would create duplicate values in the index, primary key, or relationship. (" +
                m + ")");
    if (ext == SQLITE_CONSTRAINT_FOREIGNKEY) return jet_failure(jet::integrity, "23000", m);
    if ((ext & 0xff) == SQLITE_READONLY)
        return jet_failure(jet::read_only, "HY000",
                           "Cannot update. Database or object is read-only. (" + m + ")");
    if (starts_with(m, "no such table: "))
        return jet_failure(
            jet::table_not_found, "42S02",
            "The Microsoft Jet database engine cannot find the input table or query '" +
                m.substr(15) + "'. Make sure it exists and that its name is spelled correctly.");
    if (starts_with(m, "table ") && m.find(" already exists") != std::string::npos)
        return jet_failure(jet::table_exists, "42S01",
                           "Table " + m.substr(6, m.find(" already") - 6) + " already exists.");
    if (starts_with(m, "index ") && m.find(" already exists") != std::string::npos)
        return jet_failure(jet::index_exists, "42S11",
                           "Index " + m.substr(6, m.find(" already") - 6) + " already exists.");
    if (starts_with(m, "no such index: "))
        return jet_failure(jet::index_not_found, "42S12",
                           "Index '" + m.substr(15) + "' not found.");
    if (m.find("syntax error") != std::string::npos || starts_with(m, "incomplete input") ||
        starts_with(m, "unrecognized token"))
        return jet_failure(jet::syntax, "42000", "Syntax error in SQL statement: " + m);
    // Nothing Jet has a number for: SQLite's own code and text.
    return jet_failure(ext != 0 ? ext : rc, "HY000", m);
}

void provider_session::run(const std::string& text) {
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        throw error(sqlite3_errcode(db_));
}

void provider_session::begin(int level) {
    run(level <= 1 ? std::string("BEGIN") : "SAVEPOINT jet_" + std::to_string(level));
}

void provider_session::commit(int level) {
    run(level <= 1 ? std::string("COMMIT") : "RELEASE jet_" + std::to_string(level));
}

void provider_session::rollback(int level) {
    if (level <= 1)
        run("ROLLBACK");
    else
        run("ROLLBACK TO jet_" + std::to_string(level) + "; RELEASE jet_" + std::to_string(level));
}

provider_statement* provider_session::prepare(const std::string& text) {
    return new provider_statement(*this, text);
}

int provider_session::prepare_insert(const std::string& table,
                                     const std::vector<std::string>& columns) {
    std::string text = "INSERT INTO " + quoted(table);
    if (columns.empty()) {
        text += " DEFAULT VALUES";
    } else {
        std::string names, markers;
        for (const std::string& column : columns) {
            names += (names.empty() ? "" : ", ") + quoted(column);
            markers += markers.empty() ? "?" : ", ?";
        }
        text += " (" + names + ") VALUES (" + markers + ")";
    }
    const auto known = insert_ids_.find(text);
    if (known != insert_ids_.end()) return known->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw error(sqlite3_errcode(db_));
    inserts_.push_back(stmt);
    return insert_ids_[text] = static_cast<int>(inserts_.size()) - 1;
}

void provider_session::insert_row(int insert, const std::vector<const VARIANT*>& values) {
    sqlite3_stmt* stmt = inserts_.at(static_cast<std::size_t>(insert));
    sqlite3_reset(stmt);
    for (std::size_t i = 0; i < values.size(); ++i)
        bind_variant(stmt, static_cast<int>(i) + 1, *values[i]);
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_DONE) throw error(rc);
}

// --- statements

provider_statement::provider_statement(provider_session& session, const std::string& text)
    : session_(session) {
    if (is_special(text)) {
        special_ = text;
        return;
    }
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(session.handle(), text.c_str(), static_cast<int>(text.size()), &stmt_,
                           &tail) != SQLITE_OK)
        throw session.error(sqlite3_errcode(session.handle()));
    const bool more =
        tail != nullptr && std::string(tail).find_first_not_of(" \t\r\n;") != std::string::npos;
    if (stmt_ == nullptr || more) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        throw jet_failure(
            jet::syntax, "42000",
            more ? "Characters found after end of SQL statement." : "Invalid SQL statement.");
    }
}

provider_statement::~provider_statement() {
    sqlite3_finalize(stmt_);
}

bool provider_statement::writes() const {
    return stmt_ == nullptr || sqlite3_stmt_readonly(stmt_) == 0;
}

int provider_statement::parameter_count() const {
    return stmt_ != nullptr ? sqlite3_bind_parameter_count(stmt_) : 0;
}

void provider_statement::bind(int i, const VARIANT& value) {
    if (stmt_ == nullptr || i < 0 || i >= parameter_count())
        throw provider_error{adErrItemNotFound, "HY000", 0,
                             "No parameter " + std::to_string(i) + "."};
    bind_variant(stmt_, i + 1, value);
}

bool provider_statement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    const provider_error failure = session_.error(rc);
    sqlite3_reset(stmt_);
    throw failure;
}

bool provider_statement::first() {
    if (stmt_ == nullptr) return false;
    sqlite3_reset(stmt_);
    return step();
}

bool provider_statement::next() {
    return stmt_ != nullptr && step();
}

void provider_statement::close() {
    if (stmt_ != nullptr) sqlite3_reset(stmt_);
}

int provider_statement::column_count() const {
    return stmt_ != nullptr ? sqlite3_column_count(stmt_) : 0;
}

std::string provider_statement::column_name(int i) const {
    const char* name = sqlite3_column_name(stmt_, i);
    return name != nullptr ? name : "";
}

namespace {

DataTypeEnum declared_type(const char* declared) {
    if (declared == nullptr) return adEmpty;
    const std::string t = upper(declared);
    if (t.find("LONGTEXT") != std::string::npos || t.find("MEMO") != std::string::npos)
        return adLongVarWChar;
    if (t.find("TEXT") != std::string::npos || t.find("CHAR") != std::string::npos)
        return adVarWChar;
    if (t.find("BINARY") != std::string::npos || t.find("BLOB") != std::string::npos)
        return adLongVarBinary;
    if (t.find("BIT") != std::string::npos || t.find("BOOL") != std::string::npos) return adBoolean;
    if (t.find("DATE") != std::string::npos || t.find("TIME") != std::string::npos) return adDate;
    for (const char* real :
         {"DOUB", "REAL", "FLOA", "SINGLE", "CURRENCY", "MONEY", "NUMERIC", "DECIMAL"})
        if (t.find(real) != std::string::npos) return adDouble;
    return adInteger;  // LONG, INTEGER, COUNTER and the rest
}

}  // namespace

DataTypeEnum provider_statement::column_type(int i) const {
    const DataTypeEnum declared = declared_type(sqlite3_column_decltype(stmt_, i));
    if (declared != adEmpty) return declared;
    switch (sqlite3_column_type(stmt_, i)) {  // an expression: its current value's kind
        case SQLITE_INTEGER:
            return adBigInt;
        case SQLITE_FLOAT:
            return adDouble;
        case SQLITE_BLOB:
            return adLongVarBinary;
        default:
            return adVarWChar;
    }
}

_variant_t provider_statement::column_value(int i) const {
    const int storage = sqlite3_column_type(stmt_, i);
    const DataTypeEnum declared = declared_type(sqlite3_column_decltype(stmt_, i));
    switch (storage) {
        case SQLITE_NULL: {
            _variant_t null;
            null.vt = VT_NULL;
            return null;
        }
        case SQLITE_INTEGER: {
            const sqlite3_int64 value = sqlite3_column_int64(stmt_, i);
            if (declared == adBoolean) return _variant_t(value != 0);
            if (declared == adDate) return _variant_t(static_cast<double>(value), VT_DATE);
            return _variant_t(static_cast<long>(value));  // VT_I4, or VT_I8 beyond 32 bits
        }
        case SQLITE_FLOAT:
            return _variant_t(sqlite3_column_double(stmt_, i),
                              declared == adDate ? VT_DATE : VT_R8);
        case SQLITE_BLOB: {
            const auto* bytes = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, i));
            const int size = sqlite3_column_bytes(stmt_, i);
            SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(size));
            if (array == nullptr) throw provider_error{E_OUTOFMEMORY, "HY001", 0, "Out of memory."};
            void* data = nullptr;
            SafeArrayAccessData(array, &data);
            if (size > 0) std::memcpy(data, bytes, static_cast<std::size_t>(size));
            SafeArrayUnaccessData(array);
            _variant_t out;
            out.vt = VT_ARRAY | VT_UI1;
            out.parray = array;
            return out;
        }
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
            const int size = sqlite3_column_bytes(stmt_, i);
            return _variant_t(
                _bstr_t(std::string(text != nullptr ? text : "", static_cast<std::size_t>(size))));
        }
    }
}

std::string provider_statement::base_table() const {
    std::string table;
    for (int i = 0; i < column_count(); ++i) {
        const char* name = sqlite3_column_table_name(stmt_, i);
        if (name == nullptr || (!table.empty() && table != name)) return "";
        table = name;
    }
    return table;
}

std::string provider_statement::base_column(int i) const {
    const char* name = sqlite3_column_origin_name(stmt_, i);
    return name != nullptr ? name : "";
}

}  // namespace adodb

namespace adodb {

long provider_statement::execute() {
    if (!special_.empty()) {
        session_.run_jet_ddl(special_);
        return 0;
    }
    sqlite3* db = session_.handle();
    const sqlite3_int64 before = sqlite3_total_changes64(db);
    sqlite3_reset(stmt_);
    while (step()) {
    }
    sqlite3_reset(stmt_);
    return sqlite3_total_changes64(db) != before ? sqlite3_changes(db) : 0;
}

// --- Jet's DDL on SQLite
//
// Foreign keys are triggers named after the relationship, listed in
// MSysRelationships (as Jet lists its own); a COUNTER column is numbered by a
// trigger after each insert that leaves it empty.

namespace {

const char* const relationships_table =
    "CREATE TABLE IF NOT EXISTS MSysRelationships (szRelationship TEXT PRIMARY KEY COLLATE NOCASE, "
    "szObject TEXT COLLATE NOCASE, szReferencedObject TEXT COLLATE NOCASE)";

std::string trigger_name(const std::string& relationship, const char* suffix) {
    return quoted("jetfk_" + unquote(relationship) + suffix);
}

// "a.x = b.y AND ..." over the pairs of two column lists.
std::string pairs(const std::vector<std::string>& left, const std::string& left_row,
                  const std::vector<std::string>& right, const std::string& right_row) {
    std::string out;
    for (std::size_t i = 0; i < left.size(); ++i)
        out.append(i ? " AND " : "")
            .append(left_row)
            .append(quoted(left[i]))
            .append(" = ")
            .append(right_row)
            .append(quoted(right[i]));
    return out;
}

std::string not_null(const std::vector<std::string>& columns, const std::string& row) {
    std::string out;
    for (std::size_t i = 0; i < columns.size(); ++i)
        out += (i ? " AND " : "") + row + quoted(columns[i]) + " IS NOT NULL";
    return out;
}

std::string raise(long native, const std::string& text) {
    return "SELECT RAISE(ABORT, " + literal("jet:" + std::to_string(native) + ":" + text) + ")";
}

}  // namespace

void provider_session::run_jet_ddl(const std::string& text) {
    std::smatch m;
    run("SAVEPOINT jet_ddl");
    try {
        if (std::regex_match(text, m, add_foreign_key)) {
            const std::string child = m[1], name = m[2], parent = m[4];
            const std::vector<std::string> x = split_names(m[3]), w = split_names(m[5]);
            const std::string action = upper(m[7]);
            if (x.empty() || x.size() != w.size())
                throw jet_failure(jet::syntax, "42000", "Syntax error in CONSTRAINT clause.");
            run(relationships_table);
            sqlite3_stmt* taken = nullptr;
            const std::string lookup =
                "SELECT 1 FROM MSysRelationships WHERE szRelationship = " + literal(unquote(name));
            if (sqlite3_prepare_v2(db_, lookup.c_str(), -1, &taken, nullptr) != SQLITE_OK)
                throw error(sqlite3_errcode(db_));
            const bool exists = sqlite3_step(taken) == SQLITE_ROW;
            sqlite3_finalize(taken);
            if (exists)
                throw jet_failure(jet::table_exists, "42S01",
                                  "Relationship '" + unquote(name) + "' already exists.");
            // Both sides must exist with those columns.
            run("SELECT " +
                [&] {
                    std::string cols;
                    for (const auto& c : x) cols += (cols.empty() ? "" : ", ") + quoted(c);
                    return cols;
                }() +
                " FROM " + quoted(child) + " LIMIT 0");
            run("SELECT " +
                [&] {
                    std::string cols;
                    for (const auto& c : w) cols += (cols.empty() ? "" : ", ") + quoted(c);
                    return cols;
                }() +
                " FROM " + quoted(parent) + " LIMIT 0");
            const std::string missing_parent = "NOT EXISTS (SELECT 1 FROM " + quoted(parent) +
                                               " WHERE " + pairs(w, "", x, "new.") + ")";
            // Rows already there must keep the rule too.
            sqlite3_stmt* check = nullptr;
            const std::string orphans = "SELECT 1 FROM " + quoted(child) + " AS new WHERE " +
                                        not_null(x, "new.") + " AND " + missing_parent + " LIMIT 1";
            if (sqlite3_prepare_v2(db_, orphans.c_str(), -1, &check, nullptr) != SQLITE_OK)
                throw error(sqlite3_errcode(db_));
            const int rc = sqlite3_step(check);
            sqlite3_finalize(check);
            if (rc == SQLITE_ROW)
                throw jet_failure(jet::integrity, "23000",
                                  "Data in the table '" + unquote(child) +
                                      "' violates referential integrity rules.");
            const std::string required =
                raise(jet::integrity,
                      "You cannot add or change a record because a related record is "
                      "required in table '" +
                          unquote(parent) + "'.");
            run("INSERT INTO MSysRelationships VALUES (" + literal(unquote(name)) + ", " +
                literal(unquote(child)) + ", " + literal(unquote(parent)) + ")");
            run("CREATE TRIGGER " + trigger_name(name, "_ins") + " BEFORE INSERT ON " +
                quoted(child) + " FOR EACH ROW WHEN " + not_null(x, "new.") + " AND " +
                missing_parent + " BEGIN " + required + "; END");
            run("CREATE TRIGGER " + trigger_name(name, "_upd") + " BEFORE UPDATE ON " +
                quoted(child) + " FOR EACH ROW WHEN " + not_null(x, "new.") + " AND " +
                missing_parent + " BEGIN " + required + "; END");
            const std::string children =
                " FROM " + quoted(child) + " WHERE " + pairs(x, "", w, "old.");
            std::string on_delete;
            if (action == "CASCADE") {
                on_delete = "DELETE" + children;
            } else if (starts_with(action, "SET")) {
                std::string set;
                for (const auto& c : x) set += (set.empty() ? "" : ", ") + quoted(c) + " = NULL";
                on_delete =
                    "UPDATE " + quoted(child) + " SET " + set + " WHERE " + pairs(x, "", w, "old.");
            }
            const std::string related =
                raise(jet::integrity, "The record cannot be deleted or changed because table '" +
                                          unquote(child) + "' includes related records.");
            if (on_delete.empty())
                run("CREATE TRIGGER " + trigger_name(name, "_del") + " BEFORE DELETE ON " +
                    quoted(parent) + " FOR EACH ROW WHEN EXISTS (SELECT 1" + children + ") BEGIN " +
                    related + "; END");
            else
                run("CREATE TRIGGER " + trigger_name(name, "_del") + " BEFORE DELETE ON " +
                    quoted(parent) + " FOR EACH ROW BEGIN " + on_delete + "; END");
            // A referenced key may not change under its related rows.
            std::string changed;
            for (const auto& c : w)
                changed += (changed.empty() ? "" : " OR ") + ("old." + quoted(c)) + " IS NOT new." +
                           quoted(c);
            run("CREATE TRIGGER " + trigger_name(name, "_key") + " BEFORE UPDATE ON " +
                quoted(parent) + " FOR EACH ROW WHEN (" + changed + ") AND EXISTS (SELECT 1" +
                children + ") BEGIN " + related + "; END");
        } else if (std::regex_match(text, m, add_primary_key)) {
            run("CREATE UNIQUE INDEX " + quoted(m[2]) + " ON " + quoted(m[1]) + " (" +
                [&] {
                    std::string cols;
                    for (const auto& c : split_names(m[3]))
                        cols += (cols.empty() ? "" : ", ") + quoted(c);
                    return cols;
                }() +
                ")");
        } else if (std::regex_match(text, m, drop_constraint)) {
            const std::string name = unquote(m[2]);
            run(relationships_table);
            const int before = sqlite3_total_changes(db_);
            run("DELETE FROM MSysRelationships WHERE szRelationship = " + literal(name) +
                " AND szObject = " + literal(unquote(m[1])));
            if (sqlite3_total_changes(db_) != before) {
                for (const char* suffix : {"_ins", "_upd", "_del", "_key"})
                    run("DROP TRIGGER IF EXISTS " + trigger_name(name, suffix));
            } else {
                run("DROP INDEX " + quoted(name));  // a key added as a constraint
            }
        } else if (std::regex_match(text, m, drop_table)) {
            const std::string table = unquote(m[1]);
            run(relationships_table);
            sqlite3_stmt* query = nullptr;
            const std::string related =
                "SELECT szRelationship, szObject, szReferencedObject FROM MSysRelationships "
                "WHERE szObject = ?1 OR szReferencedObject = ?1";
            if (sqlite3_prepare_v2(db_, related.c_str(), -1, &query, nullptr) != SQLITE_OK)
                throw error(sqlite3_errcode(db_));
            sqlite3_bind_text(query, 1, table.c_str(), -1, SQLITE_TRANSIENT);
            std::vector<std::string> own;
            bool referenced = false;
            while (sqlite3_step(query) == SQLITE_ROW) {
                const std::string object =
                    reinterpret_cast<const char*>(sqlite3_column_text(query, 1));
                if (sqlite3_stricmp(object.c_str(), table.c_str()) == 0)
                    own.push_back(reinterpret_cast<const char*>(sqlite3_column_text(query, 0)));
                else
                    referenced = true;
            }
            sqlite3_finalize(query);
            // Jet keeps related rows from losing what they refer to.
            if (referenced)
                throw jet_failure(
                    jet::in_relationship, "HY000",
                    "Cannot delete this index or table. It is either the current index or it is "
                    "used in a relationship.");
            for (const std::string& name : own) {
                for (const char* suffix : {"_ins", "_upd", "_del", "_key"})
                    run("DROP TRIGGER IF EXISTS " + trigger_name(name, suffix));
                run("DELETE FROM MSysRelationships WHERE szRelationship = " + literal(name));
            }
            run("DROP TABLE " + quoted(table));
        } else if (std::regex_match(text, m, drop_index_on)) {
            run("DROP INDEX " + quoted(m[1]));
        } else if (!created_table(text).empty()) {
            const std::string table = created_table(text);
            run(text);
            // Number each COUNTER column the way Jet does: one more than the largest.
            sqlite3_stmt* info = nullptr;
            const std::string columns =
                "SELECT name FROM pragma_table_info(?1) WHERE upper(type) = 'COUNTER'";
            if (sqlite3_prepare_v2(db_, columns.c_str(), -1, &info, nullptr) != SQLITE_OK)
                throw error(sqlite3_errcode(db_));
            sqlite3_bind_text(info, 1, table.c_str(), -1, SQLITE_TRANSIENT);
            std::vector<std::string> counters;
            while (sqlite3_step(info) == SQLITE_ROW)
                counters.push_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)));
            sqlite3_finalize(info);
            check_values(table);
            for (const std::string& c : counters) {
                std::string trigger = "jetcounter_";
                trigger.append(table).append("_").append(c);
                run("CREATE TRIGGER " + quoted(trigger) + " AFTER INSERT ON " + quoted(table) +
                    " FOR EACH ROW WHEN new." + quoted(c) + " IS NULL BEGIN UPDATE " +
                    quoted(table) + " SET " + quoted(c) + " = (SELECT IFNULL(MAX(" + quoted(c) +
                    "), 0) + 1 FROM " + quoted(table) + ") WHERE rowid = new.rowid; END");
            }
        } else {
            run(text);  // any other ALTER or DROP: SQLite's own
        }
        run("RELEASE jet_ddl");
    } catch (...) {
        sqlite3_exec(db_, "ROLLBACK TO jet_ddl; RELEASE jet_ddl", nullptr, nullptr, nullptr);
        throw;
    }
}

void provider_session::check_values(const std::string& table) {
    sqlite3_stmt* info = nullptr;
    const std::string columns = "SELECT name, upper(type) FROM pragma_table_info(?1)";
    if (sqlite3_prepare_v2(db_, columns.c_str(), -1, &info, nullptr) != SQLITE_OK)
        throw error(sqlite3_errcode(db_));
    sqlite3_bind_text(info, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    std::vector<std::pair<std::string, std::string>> all;
    while (sqlite3_step(info) == SQLITE_ROW)
        all.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(info, 0)),
                         reinterpret_cast<const char*>(sqlite3_column_text(info, 1)));
    sqlite3_finalize(info);
    const std::string mismatch =
        raise(jet::type_mismatch, "Data type mismatch in criteria expression.");
    const std::string too_small =
        raise(jet::field_too_small,
              "The field is too small to accept the amount of data you attempted to add. Try "
              "inserting or pasting less data.");
    // By the kind the column reads as: what it could not read back is refused.
    for (const auto& [name, type] : all) {
        const std::string value = "new." + quoted(name);
        std::string refused;  // when the value is refused
        const std::string* action = &mismatch;
        switch (declared_type(type.c_str())) {
            case adVarWChar: {
                const std::size_t open = type.find('(');
                if (open == std::string::npos) continue;
                refused =
                    "length(" + value + ") > " + std::to_string(std::atol(type.c_str() + open + 1));
                action = &too_small;
                break;
            }
            case adDate:
            case adDouble:
                refused = "typeof(" + value + ") NOT IN ('real', 'integer', 'null')";
                break;
            case adInteger:
                refused = "typeof(" + value + ") NOT IN ('integer', 'null')";
                break;
            default:  // long text, bytes, booleans: any value
                continue;
        }
        for (const char* when : {"INSERT", "UPDATE"}) {
            std::string trigger = "jetcheck_";
            trigger.append(table).append("_").append(name).append("_").append(when);
            std::string sql = "CREATE TRIGGER " + quoted(trigger);
            sql.append(" BEFORE ").append(when).append(" ON ").append(quoted(table));
            sql.append(" FOR EACH ROW WHEN ").append(refused).append(" BEGIN ").append(*action);
            run(sql.append("; END"));
        }
    }
}

}  // namespace adodb
