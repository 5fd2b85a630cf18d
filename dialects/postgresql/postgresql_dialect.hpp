// The PostgreSQL dialect (reached through ODBC): statement kinds, errors
// classified by the SQLSTATE of the ODBC diagnostic, PostgreSQL's types, and the
// server's own foreign keys.
#ifndef TOVI_DIALECTS_POSTGRESQL_POSTGRESQL_DIALECT_HPP
#define TOVI_DIALECTS_POSTGRESQL_POSTGRESQL_DIALECT_HPP

#include <string>

#include <tovi/tovi.hpp>

#include "dialect_common.hpp"

namespace tovi::postgresql_dialect {

// The PostgreSQL type of a column; only VARCHAR takes its size.
std::string postgresql_type(const sql::impl::field_t& field);

class create_visitor : public sql::create_visitor {
public:
    using sql::create_visitor::create_visitor;
    std::string conv_datatype(const sql::impl::field_t& field) override;
};

class dialect_server : public dialect::server_base, public quoting_support {
public:
    bool postgresql_quoting() const override { return true; }
    [[noreturn]] void translate_error(const exception& e, const std::string& context) override;
    statement_type get_statement_type(const std::string& sql) override;
    sql::create_visitor* make_create_visitor() override;
};

}  // namespace tovi::postgresql_dialect

#endif
