// The Jet dialect's tables.
#include "msjet_dialect.hpp"

#include <cstdint>

namespace tovi::msjet_dialect {

namespace {

const dialect::keyword_rule keywords[] = {
    {"CREATE", stmt_create}, {"SELECT", stmt_select}, {"UPDATE", stmt_update},
    {"DELETE", stmt_delete}, {"INSERT", stmt_insert}, {"DROP", stmt_drop},
    {"ALTER", stmt_alter},
};

const dialect::type_rule types[] = {
    {"VARCHAR", "Text"},
    {"UNIQUEID", "COUNTER"},
    {"INTEGER", "LONG"},
    {"LONG", "LONG"},
    {"LARGE BINARY", "LONGBINARY"},
    {"LONG TEXT", "LONGTEXT"},
    {"FLOAT", "DOUBLE"},
    {"BOOLEAN", "BIT"},
    {"DATE", "DATETIME"},
};

}  // namespace

statement_type dialect_server::get_statement_type(const std::string& sql) {
    return dialect::classify(sql, keywords);
}

void dialect_server::translate_error(const exception& e, const std::string& context) {
    // Jet's numbers are 16-bit; providers hand them on sign-extended or not.
    const int c =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(dialect::last_entry(e).code));
    switch (c) {
        case -1303:  // table exists
        case -1314:  // object exists
        case -1403:  // index exists
            throw schema_obj_already_exists(e, c);
        case -1305:  // table or query not found
        case -1404:  // index not found
        case -3815:  // object not found
            throw no_schema_obj_found(e, c);
        case -1605:
            throw dup_value_on_index(e, c);
        case -1613:
            throw integrity_violation(e, c);
        case -3550:  // syntax errors of three kinds
        case -3551:
        case -3556:
            throw bad_sql(e, c);
        default:
            break;
    }
    dialect::throw_unmatched(e, context);
}

sql::create_visitor* dialect_server::make_create_visitor() {
    return new create_visitor();
}

std::string create_visitor::conv_datatype(const sql::impl::field_t& field) {
    // TEXT falls back to "Text(255)", and its own size is appended after that.
    return dialect::with_size(dialect::map_type(field, types, "Text(255)"),
                              dialect::field_size(field));
}

}  // namespace tovi::msjet_dialect
