// The stand-in's Jet provider: a Jet database is one file, kept by SQLite. It
// takes the Jet SQL that tovi's Jet dialect prints (Text(n), LONG, COUNTER,
// LONGBINARY, LONGTEXT, DOUBLE, BIT, DATETIME, foreign keys added by ALTER TABLE)
// and reports failures with Jet's native error numbers.
#ifndef TOVI_DRIVERS_ADO_ADODB_JET_PROVIDER_HPP
#define TOVI_DRIVERS_ADO_ADODB_JET_PROVIDER_HPP

#include <map>
#include <string>
#include <vector>

#include "adodb.hpp"

struct sqlite3;
struct sqlite3_stmt;

namespace adodb {

// Jet's native numbers for the failures the Jet dialect classifies.
namespace jet {
constexpr long table_exists = -1303;
constexpr long table_not_found = -1305;
constexpr long index_exists = -1403;
constexpr long index_not_found = -1404;
constexpr long duplicate_key = -1605;
constexpr long integrity = -1613;
constexpr long syntax = -3550;
constexpr long file_not_found = -1811;
constexpr long unrecognized_format = -1206;
constexpr long in_relationship = -3303;
constexpr long field_too_small = -3163;
constexpr long type_mismatch = -3464;
constexpr long read_only = -3027;
}  // namespace jet

// A provider failure: what goes into the Errors collection.
struct provider_error {
    HRESULT hr;
    std::string sql_state;
    long native;
    std::string description;
};

class provider_statement;

// An open Jet database.
class provider_session {
public:
    // Whether `provider` (the connection string's Provider value) is Jet.
    static bool serves(const std::string& provider);
    // Creates an empty database file; fails when the file exists.
    static void create(const std::string& path);
    // Opens an existing database file.
    explicit provider_session(const std::string& path);
    ~provider_session();
    provider_session(const provider_session&) = delete;
    provider_session& operator=(const provider_session&) = delete;

    // Nested levels: 1 is the transaction, deeper ones are savepoints.
    void begin(int level);
    void commit(int level);
    void rollback(int level);

    // A statement of `text` with "?" markers. Jet's DDL forms that SQLite lacks
    // are run by the provider itself when executed.
    provider_statement* prepare(const std::string& text);

    sqlite3* handle() const { return db_; }
    // The failure SQLite just reported, with Jet's number.
    provider_error error(int rc) const;
    // Runs a text the provider builds; throws provider_error.
    void run(const std::string& text);
    // Runs one of Jet's DDL forms that SQLite lacks (foreign keys added and
    // dropped by ALTER TABLE, COUNTER columns, DROP INDEX ... ON, a table in a
    // relationship dropped), all or nothing.
    void run_jet_ddl(const std::string& text);
    // Triggers that refuse, as Jet does at write time, a value of the wrong kind
    // for a column of `table` (type mismatch) and text longer than its Text(n)
    // size (field too small).
    void check_values(const std::string& table);
    // A prepared insertion of the named columns of `table` (the others take their
    // defaults), for insert_row: one per table and column set, kept for the
    // session's life. Throws provider_error.
    int prepare_insert(const std::string& table, const std::vector<std::string>& columns);
    // Adds one row through `insert` with the columns' values, in order.
    void insert_row(int insert, const std::vector<const VARIANT*>& values);

private:
    sqlite3* db_ = nullptr;
    std::map<std::string, int> insert_ids_;  // by text
    std::vector<sqlite3_stmt*> inserts_;
};

class provider_statement {
public:
    provider_statement(provider_session& session, const std::string& text);
    ~provider_statement();
    provider_statement(const provider_statement&) = delete;
    provider_statement& operator=(const provider_statement&) = delete;

    int parameter_count() const;
    // Whether running it may change the database.
    bool writes() const;
    // Binds parameter i (from 0); DISP_E_TYPEMISMATCH for a kind SQLite cannot hold.
    void bind(int i, const VARIANT& value);
    // Runs a statement that returns no rows; the rows it changed.
    long execute();
    // Starts again (bound values stay) and moves to the first row; false at the end.
    bool first();
    bool next();
    // Ends a run early (its locks go; bound values stay).
    void close();

    int column_count() const;
    std::string column_name(int i) const;
    DataTypeEnum column_type(int i) const;
    _variant_t column_value(int i) const;
    // The one table all columns come from, for adding rows; empty when none.
    std::string base_table() const;
    // The column of that table that column i is.
    std::string base_column(int i) const;

private:
    bool step();
    provider_session& session_;
    sqlite3_stmt* stmt_ = nullptr;
    std::string special_;  // a DDL text the provider runs itself
};

}  // namespace adodb

#endif
