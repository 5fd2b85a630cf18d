// The SQLite dialect's tables.
#include "sqlite_dialect.hpp"

namespace tovi::sqlite_dialect {

namespace {

const dialect::keyword_rule keywords[] = {
    {"CREATE", stmt_create}, {"SELECT", stmt_select}, {"WITH", stmt_select},
    {"VALUES", stmt_select}, {"UPDATE", stmt_update}, {"DELETE", stmt_delete},
    {"INSERT", stmt_insert}, {"DROP", stmt_drop},
};

// In order; the texts of SQLite before 3.8 first, then what SQLite says since
// 3.8 and what the foreign-key triggers below raise.
const dialect::error_rule errors[] = {
    {dialect::match::starts_with, "no such ", 0, &dialect::raise_as<no_schema_obj_found>},
    {dialect::match::contains, " is not unique", 0, &dialect::raise_as<dup_value_on_index>},
    {dialect::match::contains, "must be unique", 0, &dialect::raise_as<dup_value_on_index>},
    {dialect::match::contains, "already exists", 0, &dialect::raise_as<schema_obj_already_exists>},
    {dialect::match::contains, "UNIQUE constraint failed", 0,
     &dialect::raise_as<dup_value_on_index>},
    {dialect::match::contains, "FOREIGN KEY constraint failed", 0,
     &dialect::raise_as<integrity_violation>},
    {dialect::match::contains, "violates foreign key", 0, &dialect::raise_as<integrity_violation>},
    // SQLite's result codes (the ODBC driver hands them on as the native error):
    // a write to a read-only file, a denied access, a refused authorisation.
    {dialect::match::code, nullptr, 8, &dialect::raise_as<permission_denied>},   // READONLY
    {dialect::match::code, nullptr, 3, &dialect::raise_as<permission_denied>},   // PERM
    {dialect::match::code, nullptr, 23, &dialect::raise_as<permission_denied>},  // AUTH
};

}  // namespace

statement_type dialect_server::get_statement_type(const std::string& sql) {
    return dialect::classify(sql, keywords);
}

void dialect_server::translate_error(const exception& e, const std::string& context) {
    // Through the ODBC driver the text carries a diagnostic prefix before "[SQLite]".
    // The driver is named once: a statement's context names it already.
    const bool named = context.find("[Driver: tovi_sqlite") != std::string::npos;
    dialect::classify(
        e, errors,
        named ? context : context + (context.empty() ? "" : " ") + " [Driver: tovi_sqlite]",
        "[SQLite]");
}

sql::create_visitor* dialect_server::make_create_visitor() {
    return new create_visitor();
}

sql::drop_visitor* dialect_server::make_drop_visitor() {
    return new drop_visitor();
}

void drop_visitor::visit_constraint_t(sql::impl::constraint_t& n) {
    const sql::output_callback& run = get_callback();
    if (!run) {
        sql::drop_visitor::visit_constraint_t(n);  // printing only: the portable text
        return;
    }
    for (const char* trigger : {"_INS", "_UPD", "_DEL"})
        run("DROP TRIGGER IF EXISTS " + n.name.get_value() + trigger);
}

const dialect::type_rule types[] = {
    {"UNIQUEID", "INTEGER PRIMARY KEY"},
    {"INTEGER", "INTEGER"},
    {"LONG", "INTEGER"},
    {"LARGE BINARY", "BLOB"},
    {"FLOAT", "REAL"},
    {"BOOLEAN", "INTEGER(1)"},
};

std::string sqlite_type(const sql::impl::field_t& field) {
    return dialect::with_size(dialect::map_type(field, types, "TEXT"), dialect::field_size(field));
}

std::string create_visitor::conv_datatype(const sql::impl::field_t& field) {
    return sqlite_type(field);
}

void create_visitor::make_relationship(const std::string& n, const std::string& c,
                                       const sql::expr_list_t& fields, const std::string& p,
                                       const sql::expr_list_t& ref_fields,
                                       sql::impl::constraint_t::action_t action, bool) {
    if (fields.size() == 0) return;
    push_list_separator(sql::list_separator);
    const std::string x = column_names(fields);
    const std::string w = column_names(ref_fields);
    pop_list_separator();
    const std::deque<std::string> deps{c, p};
    // A NULL foreign key refers to nothing and is not checked (standard SQL):
    // ON DELETE SET NULL relies on it.
    const std::string check =
        "BEGIN \n"
        "    SELECT CASE \n"
        "        WHEN new." +
        x + " IS NOT NULL AND (SELECT " + w + " FROM " + p + " WHERE " + w + " = new." + x +
        ") IS NULL \n"
        "        THEN RAISE(ABORT, '" +
        x + " violates foreign key " + n + ": " + p + "(" + w +
        ")') \n"
        "    END; \n"
        "END ";
    add_stmt(n + "_INS",
             "CREATE TRIGGER " + n + "_INS \nBEFORE INSERT ON " + c + " FOR EACH ROW \n" + check,
             deps);
    add_stmt(n + "_UPD",
             "CREATE TRIGGER " + n + "_UPD \nBEFORE UPDATE OF " + x + " ON " + c +
                 " FOR EACH ROW \n" + check,
             deps);
    const std::string head =
        "CREATE TRIGGER " + n + "_DEL \nBEFORE DELETE ON " + p + " FOR EACH ROW \nBEGIN \n";
    std::string body;
    // The deleted row's key is old.W: a bare W would name a column of C.
    if (action == sql::impl::constraint_t::cascade)
        body = "    DELETE FROM " + c + "\n    WHERE " + x + " = old." + w + "; \nEND ";
    else if (action == sql::impl::constraint_t::set_null)
        body = "    UPDATE " + c + "\n    SET " + x + " = NULL \n    WHERE " + x + " = old." + w +
               "; \nEND ";
    else
        body = "    SELECT CASE \n        WHEN (SELECT " + x + " FROM " + c + " WHERE " + x +
               " = old." + w +
               ") IS NOT NULL \n        THEN RAISE(ABORT, 'Deleting a record from the " + p +
               " table violates foreign key " + n + ": " + c + "(" + x + ")') \n    END; \nEND ";
    add_stmt(n + "_DEL", head + body, deps);
}

}  // namespace tovi::sqlite_dialect
