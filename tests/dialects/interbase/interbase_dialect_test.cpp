// The InterBase dialect loaded as the real module: statement kinds, errors by
// SQLCODE and message, the type mapping with the index key limit, and the
// generator and trigger of a UNIQUEID column, emitted after their table.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

class InterbaseDialect : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        server.reset(tovi::uurl_t("/InterBase_EMB", "", "", "x.fdb").make_server());
        support = server->get_sql_support();
    }
    void TearDown() override {
        server.reset();
        tovi::api::fini();
    }
    // The class the dialect throws for a native error, and its text.
    std::pair<std::string, std::string> classify(int code, const std::string& message) {
        try {
            server->translate_error(tovi::exception(message, code), "[ctx]");
        } catch (const tovi::exception& e) {
            return {typeid(e).name(), e.get_error_text()};
        }
        return {"none", ""};
    }

    std::unique_ptr<tovi::server_t> server;
    tovi::sql_support* support = nullptr;
};

TEST_F(InterbaseDialect, StatementKinds) {
    EXPECT_EQ(support->get_statement_type("CREATE DATABASE 'x'"), tovi::stmt_create_database);
    EXPECT_EQ(support->get_statement_type("create\n\ttable t(a int)"), tovi::stmt_create);
    EXPECT_EQ(support->get_statement_type("SET TRANSACTION"), tovi::stmt_set_transaction);
    EXPECT_EQ(support->get_statement_type("SET NAMES UTF8"), tovi::stmt_set);
    EXPECT_EQ(support->get_statement_type("show tables"), tovi::stmt_select);
    EXPECT_EQ(support->get_statement_type("DECRIBE t"), tovi::stmt_select);
    EXPECT_EQ(support->get_statement_type("DESCRIBE t"), tovi::stmt_other);
    EXPECT_EQ(support->get_statement_type("alter table t add b int"), tovi::stmt_alter);
    EXPECT_EQ(support->get_statement_type("DROP TABLE t"), tovi::stmt_drop);
    EXPECT_EQ(support->get_statement_type("COMMIT"), tovi::stmt_other);
    EXPECT_THROW(support->get_statement_type(" \t\n"), tovi::bad_operation);
}

TEST_F(InterbaseDialect, ErrorsBySqlcodeAndMessage) {
    EXPECT_EQ(classify(-803, "violation of PRIMARY or UNIQUE KEY").first,
              typeid(tovi::dup_value_on_index).name());
    EXPECT_EQ(classify(-607, "Table T already exists").first,
              typeid(tovi::schema_obj_already_exists).name());
    EXPECT_EQ(classify(-607, "attempt to store duplicate value").first,
              typeid(tovi::schema_obj_already_exists).name());
    // What the engine says to the second of two attachments creating table T at
    // once, when the first commits (its system-table row holds the name).
    EXPECT_EQ(classify(-607,
                       "unsuccessful metadata update; CREATE TABLE T failed; violation of PRIMARY "
                       "or UNIQUE KEY constraint \"RDB$INDEX_0\" on table \"RDB$RELATIONS\"; "
                       "Problematic key value is (\"RDB$RELATION_NAME\" = 'T')")
                  .first,
              typeid(tovi::schema_obj_already_exists).name());
    EXPECT_EQ(classify(-607, "Table T not found").first, typeid(tovi::no_schema_obj_found).name());
    EXPECT_EQ(classify(-607, "Column does not exist").first,
              typeid(tovi::no_schema_obj_found).name());
    const auto other = classify(-607, "unsuccessful metadata update");
    EXPECT_EQ(other.first, typeid(tovi::exception).name());  // none of the four phrases
    EXPECT_NE(other.second.find("[ctx]"), std::string::npos) << other.second;
    EXPECT_EQ(classify(-530, "violation of FOREIGN KEY").first,
              typeid(tovi::integrity_violation).name());
    EXPECT_EQ(classify(-204, "Table unknown").first, typeid(tovi::no_schema_obj_found).name());
    const auto plain = classify(-901, "lock conflict");
    EXPECT_EQ(plain.first, typeid(tovi::exception).name());
    EXPECT_NE(plain.second.find("[ctx]"), std::string::npos) << plain.second;
}

TEST_F(InterbaseDialect, TypesSizesAndUniqueIds) {
    sql::Database db("d");
    sql::table_t t = db.SCHEMA("s").TABLE("T");
    t.FIELD("ID").TYPE("UNIQUEID");
    t.FIELD("NAME").TYPE("VARCHAR").SIZE(300);
    t.FIELD("NOTE").TYPE("VARCHAR").SIZE(300);
    t.FIELD("FLAG").TYPE("BOOLEAN");
    t.FIELD("BODY").TYPE("LONG TEXT");
    t.FIELD("WHEN").TYPE("DATE");
    t.FIELD("ODD").TYPE("SOMETHING");
    t.FIELD("BIG").TYPE("LONG");
    t.FIELD("PLAIN").TYPE("VARCHAR");
    t.INDEX("T_NAME").FIELD(t.FIELD("NAME"));
    std::vector<std::string> texts;
    std::unique_ptr<sql::create_visitor> v(support->make_create_visitor());
    v->set_callback([&](const std::string& text) { texts.push_back(text); });
    db.accept(*v);
    v->execute();
    ASSERT_GE(texts.size(), 4u);
    const std::string& table = texts[0];
    EXPECT_NE(table.find("CREATE TABLE T"), std::string::npos) << table;
    EXPECT_NE(table.find("ID\t\tINTEGER"), std::string::npos) << table;
    EXPECT_NE(table.find("NAME\t\tVARCHAR(252)"), std::string::npos) << table;  // indexed
    EXPECT_NE(table.find("NOTE\t\tVARCHAR(300)"), std::string::npos) << table;
    EXPECT_NE(table.find("FLAG\t\tNUMERIC(1)"), std::string::npos) << table;
    EXPECT_NE(table.find("BODY\t\tBLOB SUB_TYPE 1"), std::string::npos) << table;
    EXPECT_NE(table.find("WHEN\t\tTIMESTAMP"), std::string::npos) << table;
    EXPECT_NE(table.find("ODD\t\tVARCHAR(32765)"), std::string::npos) << table;
    EXPECT_NE(table.find("BIG\t\tBIGINT"), std::string::npos) << table;  // a 64-bit long
    EXPECT_NE(table.find("PLAIN\t\tVARCHAR(255)"), std::string::npos) << table;
    // The generator and the trigger come after the table that they number.
    std::size_t generator = texts.size(), trigger = texts.size();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (texts[i] == "CREATE GENERATOR T_ID_SEQ") generator = i;
        if (texts[i] ==
            "CREATE TRIGGER T_BI FOR T\nBEFORE INSERT\nAS BEGIN \n\tIF (NEW.ID IS NULL) THEN "
            "NEW.ID = GEN_ID(T_ID_SEQ, 1);\nEND")
            trigger = i;
    }
    EXPECT_LT(generator, trigger);
    EXPECT_LT(trigger, texts.size());
    EXPECT_GT(generator, 0u);

    // Dropping the table drops its generator too.
    auto* drops = dynamic_cast<tovi::drop_support*>(support);
    ASSERT_NE(drops, nullptr);
    std::unique_ptr<sql::drop_visitor> d(drops->make_drop_visitor());
    std::vector<std::string> dropped;
    d->set_callback([&](const std::string& text) { dropped.push_back(text); });
    db.accept(*d);
    EXPECT_EQ(dropped, (std::vector<std::string>{"DROP TABLE T", "DROP GENERATOR T_ID_SEQ"}));
}

}  // namespace
