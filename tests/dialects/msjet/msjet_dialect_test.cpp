// The Jet dialect loaded as the real module: statement kinds, errors by Jet's
// native numbers (as 16-bit values), and the Jet type names.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace {

class MsjetDialect : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        server.reset(tovi::uurl_t("/ADO/Microsoft.Jet.OLEDB.4.0", "", "", "x.mdb").make_server());
        support = server->get_sql_support();
    }
    void TearDown() override {
        server.reset();
        tovi::api::fini();
    }
    // The class the dialect throws for a native code, its code and its text.
    struct thrown {
        std::string type;
        int code = 0;
        std::string text;
    };
    thrown classify(int code) {
        try {
            server->translate_error(tovi::exception("Jet says no", code), "[ctx]");
        } catch (const tovi::exception& e) {
            return {typeid(e).name(), e.get_entry(e.get_count() - 1).code, e.get_error_text()};
        }
        return {"none", 0, ""};
    }

    std::unique_ptr<tovi::server_t> server;
    tovi::sql_support* support = nullptr;
};

TEST_F(MsjetDialect, StatementKinds) {
    EXPECT_EQ(support->get_statement_type("ALTER TABLE t ADD c LONG"), tovi::stmt_alter);
    EXPECT_EQ(support->get_statement_type("\n create table t(a LONG)"), tovi::stmt_create);
    EXPECT_EQ(support->get_statement_type("SET TRANSACTION"), tovi::stmt_other);
    EXPECT_THROW(support->get_statement_type("  "), tovi::bad_operation);
}

TEST_F(MsjetDialect, ErrorsByNativeNumber) {
    const std::string exists = typeid(tovi::schema_obj_already_exists).name();
    const std::string missing = typeid(tovi::no_schema_obj_found).name();
    for (int code : {-1303, -1314, -1403}) EXPECT_EQ(classify(code).type, exists) << code;
    for (int code : {-1305, -1404, -3815}) EXPECT_EQ(classify(code).type, missing) << code;
    EXPECT_EQ(classify(-1605).type, typeid(tovi::dup_value_on_index).name());
    EXPECT_EQ(classify(-1613).type, typeid(tovi::integrity_violation).name());
    for (int code : {-3550, -3551, -3556})
        EXPECT_EQ(classify(code).type, typeid(tovi::bad_sql).name()) << code;
    // The same numbers unsigned in 16 bits (as a provider may hand them on).
    EXPECT_EQ(classify(65536 - 1605).type, typeid(tovi::dup_value_on_index).name());
    EXPECT_EQ(classify(65536 - 1605).code, -1605);
    const thrown other = classify(-1234);
    EXPECT_EQ(other.type, typeid(tovi::exception).name());
    EXPECT_EQ(other.code, -1234);
    EXPECT_NE(other.text.find("[ctx]"), std::string::npos) << other.text;
    EXPECT_NE(other.text.find("Jet says no"), std::string::npos) << other.text;
}

TEST_F(MsjetDialect, JetTypes) {
    sql::Database db("d");
    sql::table_t t = db.SCHEMA("s").TABLE("T");
    t.FIELD("ID").TYPE("UNIQUEID");
    t.FIELD("NAME").TYPE("VARCHAR").SIZE(50);
    t.FIELD("CODE").TYPE("TEXT").SIZE(50);
    t.FIELD("N").TYPE("INTEGER");
    t.FIELD("BIG").TYPE("LONG");
    t.FIELD("PIC").TYPE("LARGE BINARY");
    t.FIELD("BODY").TYPE("LONG TEXT");
    t.FIELD("X").TYPE("FLOAT");
    t.FIELD("FLAG").TYPE("BOOLEAN");
    t.FIELD("WHEN").TYPE("DATE");
    t.FIELD("ODD").TYPE("SOMETHING");
    std::vector<std::string> texts;
    std::unique_ptr<sql::create_visitor> v(support->make_create_visitor());
    v->set_callback([&](const std::string& text) { texts.push_back(text); });
    db.accept(*v);
    v->execute();
    ASSERT_EQ(texts.size(), 1u);
    const std::string& table = texts[0];
    for (const char* column :
         {"ID\t\tCOUNTER", "NAME\t\tText(50)", "CODE\t\tText(255)(50)", "N\t\tLONG", "BIG\t\tLONG",
          "PIC\t\tLONGBINARY", "BODY\t\tLONGTEXT", "X\t\tDOUBLE", "FLAG\t\tBIT", "WHEN\t\tDATETIME",
          "ODD\t\tText(255)"})
        EXPECT_NE(table.find(column), std::string::npos) << column << " in " << table;
}

}  // namespace
