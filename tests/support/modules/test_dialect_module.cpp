// A dialect module for tests ("dialect_oracle"), built on the dialects' common
// piece: a short keyword table and two error rules.
#include <tovi/tovi.hpp>

#include "dialect_common.hpp"
#include "test_log.hpp"

namespace {

const tovi::dialect::keyword_rule keywords[] = {
    {"SELECT", tovi::stmt_select},
    {"INSERT", tovi::stmt_insert},
    {"CREATE", tovi::stmt_create, "DATABASE", tovi::stmt_create_database},
    {"DROP", tovi::stmt_drop},
};

class dialect_server : public tovi::dialect::server_base {
public:
    dialect_server() { tovi_test::record("make_server"); }
    ~dialect_server() override { tovi_test::record("delete server"); }

    [[noreturn]] void translate_error(const tovi::exception& e,
                                      const std::string& context) override {
        const std::string& m = tovi::dialect::last_entry(e).message;
        if (m.rfind("no such ", 0) == 0) throw tovi::no_schema_obj_found(e, 0);
        if (m.find("duplicate") != std::string::npos)
            throw tovi::dup_value_on_index(e, tovi::dialect::last_entry(e).code);
        tovi::dialect::throw_unmatched(e, context + " [Driver: test]");
    }
    tovi::statement_type get_statement_type(const std::string& sql) override {
        return tovi::dialect::classify(sql, keywords);
    }
    sql::create_visitor* make_create_visitor() override { return new sql::create_visitor(); }
};

}  // namespace

TOVI_DIALECT_MAKE_SERVER(dialect_server)
