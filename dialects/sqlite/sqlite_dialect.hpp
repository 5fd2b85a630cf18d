// The SQLite dialect: statement kinds, error classification, portable types and
// foreign keys emulated by triggers (SQLite has no ALTER TABLE ... ADD CONSTRAINT).
#ifndef TOVI_DIALECTS_SQLITE_SQLITE_DIALECT_HPP
#define TOVI_DIALECTS_SQLITE_SQLITE_DIALECT_HPP

#include <string>

#include <tovi/tovi.hpp>

#include "dialect_common.hpp"

namespace tovi::sqlite_dialect {

// The SQLite type of a column: its portable type mapped, then "(size)".
std::string sqlite_type(const sql::impl::field_t& field);

class create_visitor : public sql::create_visitor {
public:
    using sql::create_visitor::create_visitor;
    std::string conv_datatype(const sql::impl::field_t& field) override;
    // Emits the trigger emulation of the foreign key instead of ALTER TABLE.
    void make_relationship(const std::string& name, const std::string& table,
                           const sql::expr_list_t& fields, const std::string& ref_table,
                           const sql::expr_list_t& ref_fields,
                           sql::impl::constraint_t::action_t action, bool flag) override;
};

// SQLite's ALTER TABLE cannot drop a constraint, and a relationship here is
// three triggers (<name>_INS, <name>_UPD, <name>_DEL): dropping it drops them.
class drop_visitor : public sql::drop_visitor {
public:
    void visit_constraint_t(sql::impl::constraint_t& n) override;
};

class dialect_server : public dialect::server_base, public drop_support {
public:
    [[noreturn]] void translate_error(const exception& e, const std::string& context) override;
    statement_type get_statement_type(const std::string& sql) override;
    sql::create_visitor* make_create_visitor() override;
    sql::drop_visitor* make_drop_visitor() override;
};

}  // namespace tovi::sqlite_dialect

#endif
