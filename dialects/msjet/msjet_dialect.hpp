// The Jet dialect: statement kinds (ALTER among them), errors by Jet's native
// numbers, and the Jet type names.
#ifndef TOVI_DIALECTS_MSJET_MSJET_DIALECT_HPP
#define TOVI_DIALECTS_MSJET_MSJET_DIALECT_HPP

#include <string>

#include <tovi/tovi.hpp>

#include "dialect_common.hpp"

namespace tovi::msjet_dialect {

class create_visitor : public sql::create_visitor {
public:
    using sql::create_visitor::create_visitor;
    std::string conv_datatype(const sql::impl::field_t& field) override;
};

class dialect_server : public dialect::server_base {
public:
    [[noreturn]] void translate_error(const exception& e, const std::string& context) override;
    statement_type get_statement_type(const std::string& sql) override;
    sql::create_visitor* make_create_visitor() override;
};

}  // namespace tovi::msjet_dialect

#endif
