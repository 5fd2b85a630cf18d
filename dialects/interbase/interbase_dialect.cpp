// The InterBase dialect's tables.
#include "interbase_dialect.hpp"

namespace tovi::interbase_dialect {

namespace {

const dialect::keyword_rule keywords[] = {
    {"CREATE", stmt_create, "DATABASE", stmt_create_database},
    {"SELECT", stmt_select},
    {"WITH", stmt_select},
    {"SHOW", stmt_select},
    {"DECRIBE", stmt_select},  // as the engine's tools have always spelt it
    {"EXPLAIN", stmt_select},
    {"UPDATE", stmt_update},
    {"DELETE", stmt_delete},
    {"INSERT", stmt_insert},
    {"DROP", stmt_drop},
    {"ALTER", stmt_alter},
    {"SET", stmt_set, "TRANSACTION", stmt_set_transaction},
};

const dialect::type_rule types[] = {
    {"VARCHAR", "VARCHAR"},         {"TEXT", "CHAR"},
    {"INTEGER", "INTEGER"},         {"LONG", "BIGINT"},  // tovi's long has 64 bits
    {"UNIQUEID", "INTEGER UNIQUE"},  // a key, so that foreign keys may refer to it
    {"LARGE BINARY", "BLOB"},       {"LONG TEXT", "BLOB SUB_TYPE 1"},
    {"FLOAT", "DOUBLE PRECISION"},  {"BOOLEAN", "NUMERIC(1)"},
    {"DATE", "TIMESTAMP"},
};

// The engine's SQLCODE decides; -607 (a metadata update failed) says which way in
// its text. Classified entries keep the SQLCODE.
using dialect::match;
using dialect::raise_coded;
const dialect::error_rule errors[] = {
    {match::code, nullptr, -803, &raise_coded<dup_value_on_index>},
    {match::code_and_contains, "already exists", -607, &raise_coded<schema_obj_already_exists>},
    {match::code_and_contains, "duplicate value", -607, &raise_coded<schema_obj_already_exists>},
    // Another transaction made the same object and has not committed yet: its row
    // in the system tables holds the name.
    {match::code_and_contains, "UNIQUE KEY constraint", -607,
     &raise_coded<schema_obj_already_exists>},
    {match::code_and_contains, "does not exist", -607, &raise_coded<no_schema_obj_found>},
    {match::code_and_contains, "not found", -607, &raise_coded<no_schema_obj_found>},
    {match::code, nullptr, -530, &raise_coded<integrity_violation>},
    {match::code, nullptr, -204, &raise_coded<no_schema_obj_found>},
    {match::code, nullptr, -551, &raise_coded<permission_denied>},     // no permission
    {match::code, nullptr, -817, &raise_coded<permission_denied>},     // read-only database
    {match::code, nullptr, -303, &raise_coded<bad_value_conversion>},  // conversion error
};

// Whether `field` is a column of any index of its table (the primary key included).
bool indexed(const sql::impl::field_t& field) {
    if (field.table == nullptr) return false;
    auto in = [&](const sql::expr_t& index) {
        const auto* body = dynamic_cast<const sql::impl::index_t*>(index.get());
        if (body == nullptr) return false;
        for (const sql::expr_t& column : body->fields.elements())
            if (column.get() == &field) return true;
        return false;
    };
    if (in(field.table->primary_index)) return true;
    for (const sql::expr_t& index : field.table->index_list.elements())
        if (in(index)) return true;
    return false;
}

// The generator that numbers a UNIQUEID column.
std::string generator_of(const std::string& table, const std::string& field) {
    return table + "_" + field + "_SEQ";
}

}  // namespace

statement_type dialect_server::get_statement_type(const std::string& sql) {
    return dialect::classify(sql, keywords);
}

void dialect_server::translate_error(const exception& e, const std::string& context) {
    dialect::classify(e, errors, context);
}

sql::create_visitor* dialect_server::make_create_visitor() {
    return new create_visitor();
}

sql::drop_visitor* dialect_server::make_drop_visitor() {
    return new drop_visitor();
}

void drop_visitor::visit_table_t(sql::impl::table_t& n) {
    sql::drop_visitor::visit_table_t(n);  // its trigger goes with it
    for (const sql::expr_t& column : n.fields.elements()) {
        const auto* field = dynamic_cast<const sql::impl::field_t*>(column.get());
        if (field == nullptr || field->type.get_value() != "UNIQUEID") continue;
        const std::string text =
            "DROP GENERATOR " + generator_of(n.name.get_value(), field->name.get_value());
        if (get_callback())
            get_callback()(text);
        else
            add_stmt(std::to_string(get_stmt_list().size()), text, {});
    }
}

std::string create_visitor::conv_datatype(const sql::impl::field_t& field) {
    const std::string& portable = field.type.get_value();
    long size = dialect::field_size(field);
    // The engine has no VARCHAR without a length; a text of unstated size gets the
    // length other engines give it (Jet's Text).
    if (size == 0 && portable == "VARCHAR") size = default_varchar_size;
    if (size > 251 && indexed(field)) size = 252;  // the engine's index key limit
    std::string type = dialect::with_size(dialect::map_type(field, types, "VARCHAR(32765)"), size);
    if (portable == "UNIQUEID" && field.table != nullptr) {
        const std::string t = field.table->name.get_value();
        const std::string f = field.name.get_value();
        const std::string generator = generator_of(t, f);
        work.push_back("CREATE GENERATOR " + generator);
        // A key the application gives is kept; only a missing one is numbered.
        work.push_back("CREATE TRIGGER " + t + "_BI" + " FOR " + t + "\n" + "BEFORE INSERT\n" +
                       "AS BEGIN \n" + "\tIF (NEW." + f + " IS NULL) THEN NEW." + f + " = GEN_ID(" +
                       generator + ", 1);\n" + "END");
    }
    return type;
}

void create_visitor::make_table(const std::string& name, const sql::expr_list_t& fields,
                                const sql::expr_list_t& indexes, const sql::expr_t& primary_key) {
    work.clear();
    sql::create_visitor::make_table(name, fields, indexes, primary_key);
    // Generators and triggers run after their table exists.
    int n = 0;
    for (const std::string& text : work) add_stmt(name + "#" + std::to_string(++n), text, {name});
    work.clear();
}

}  // namespace tovi::interbase_dialect
