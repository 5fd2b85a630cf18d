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

// Jet's native numbers; classified entries keep them.
using dialect::match;
using dialect::raise_coded;
const dialect::error_rule errors[] = {
    {match::code, nullptr, -1303, &raise_coded<schema_obj_already_exists>},  // table exists
    {match::code, nullptr, -1314, &raise_coded<schema_obj_already_exists>},  // object exists
    {match::code, nullptr, -1403, &raise_coded<schema_obj_already_exists>},  // index exists
    {match::code, nullptr, -1305, &raise_coded<no_schema_obj_found>},  // table or query not found
    {match::code, nullptr, -1404, &raise_coded<no_schema_obj_found>},  // index not found
    {match::code, nullptr, -3815, &raise_coded<no_schema_obj_found>},  // object not found
    {match::code, nullptr, -1605, &raise_coded<dup_value_on_index>},
    {match::code, nullptr, -1613, &raise_coded<integrity_violation>},
    {match::code, nullptr, -3464, &raise_coded<bad_value_conversion>},  // type mismatch
    {match::code, nullptr, -3163, &raise_coded<value_is_truncated>},    // field too small
    {match::code, nullptr, -3550, &raise_coded<bad_sql>},  // syntax errors of three kinds
    {match::code, nullptr, -3551, &raise_coded<bad_sql>},
    {match::code, nullptr, -3556, &raise_coded<bad_sql>},
    {match::code, nullptr, -3027, &raise_coded<permission_denied>},  // database is read-only
    {match::code, nullptr, -3033, &raise_coded<permission_denied>},  // no permission
};

}  // namespace

statement_type dialect_server::get_statement_type(const std::string& sql) {
    return dialect::classify(sql, keywords);
}

void dialect_server::translate_error(const exception& e, const std::string& context) {
    // Jet's numbers are 16-bit; providers hand them on sign-extended or not.
    const int c =
        static_cast<std::int16_t>(static_cast<std::uint16_t>(dialect::last_entry(e).code));
    dialect::classify(e, c, errors, context);
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
