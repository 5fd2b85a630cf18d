// The InterBase/Firebird dialect: statement kinds (CREATE DATABASE and SET
// TRANSACTION among them), errors by SQLCODE, the type mapping with its index key
// limit, and UNIQUEID columns numbered by a generator and a trigger (dropped with
// their table).
#ifndef TOVI_DIALECTS_INTERBASE_INTERBASE_DIALECT_HPP
#define TOVI_DIALECTS_INTERBASE_INTERBASE_DIALECT_HPP

#include <string>

#include <tovi/tovi.hpp>

#include "dialect_common.hpp"

namespace tovi::interbase_dialect {

// The length of a VARCHAR declared without one.
const long default_varchar_size = 255;

class create_visitor : public sql::create_visitor {
public:
    using sql::create_visitor::create_visitor;
    // The mapped type and size; a UNIQUEID column also queues its generator and
    // trigger texts (see make_table).
    std::string conv_datatype(const sql::impl::field_t& field) override;
    // The table, then the generator and trigger texts its columns queued, each
    // depending on the table.
    void make_table(const std::string& name, const sql::expr_list_t& fields,
                    const sql::expr_list_t& indexes, const sql::expr_t& primary_key) override;
};

// DROP TABLE, then DROP GENERATOR for each UNIQUEID column of the table.
class drop_visitor : public sql::drop_visitor {
public:
    void visit_table_t(sql::impl::table_t& n) override;
};

class dialect_server : public dialect::server_base, public drop_support {
public:
    [[noreturn]] void translate_error(const exception& e, const std::string& context) override;
    statement_type get_statement_type(const std::string& sql) override;
    sql::create_visitor* make_create_visitor() override;
    sql::drop_visitor* make_drop_visitor() override;
};

}  // namespace tovi::interbase_dialect

#endif
