// The SQLite dialect loaded as the real module: statement kinds, error classes,
// column types, and foreign keys emulated by triggers that SQLite enforces.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>

namespace {

// An in-memory SQLite database that runs texts and reports SQLite's error text.
struct memory_db {
    memory_db() { EXPECT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK); }
    ~memory_db() { sqlite3_close(handle); }
    // "" when `sql` ran, else SQLite's message.
    std::string run(const std::string& sql) {
        char* error = nullptr;
        const int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error);
        std::string text = error != nullptr ? error : "";
        sqlite3_free(error);
        return rc == SQLITE_OK ? std::string() : text;
    }
    sqlite3* handle = nullptr;
};

class SqliteDialect : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        server.reset(tovi::uurl_t("/SQLITE", "", "", "x.db").make_server());
        support = server->get_sql_support();
    }
    void TearDown() override {
        server.reset();
        tovi::api::fini();
    }
    // The class and text the dialect gives a native message.
    std::pair<std::string, std::string> classify(const std::string& message,
                                                 const std::string& context) {
        try {
            server->translate_error(tovi::exception(message, 19), context);
        } catch (const tovi::exception& e) {
            return {typeid(e).name(), e.get_error_text()};
        }
        return {"none", ""};
    }

    std::unique_ptr<tovi::server_t> server;
    tovi::sql_support* support = nullptr;
};

}  // namespace

// The kind is the first word's, after any blanks; words without a kind are "other".
TEST_F(SqliteDialect, StatementKinds) {
    EXPECT_EQ(server->name, "dialect_sqlite.so");
    EXPECT_EQ(support->get_statement_type("create table t(a)"), tovi::stmt_create);
    EXPECT_EQ(support->get_statement_type("\n SELECT 1"), tovi::stmt_select);
    EXPECT_EQ(support->get_statement_type("EXPLAIN SELECT 1"), tovi::stmt_other);
    EXPECT_THROW(support->get_statement_type(""), tovi::bad_operation);
}

TEST_F(SqliteDialect, ErrorClasses) {
    EXPECT_EQ(classify("no such table: T", "").first, typeid(tovi::no_schema_obj_found).name());
    EXPECT_EQ(classify("table T already exists", "").first,
              typeid(tovi::schema_obj_already_exists).name());
    EXPECT_EQ(classify("column A is not unique", "").first,
              typeid(tovi::dup_value_on_index).name());
    EXPECT_EQ(classify("columns a, b must be unique", "").first,
              typeid(tovi::dup_value_on_index).name());
    EXPECT_EQ(classify("UNIQUE constraint failed: T.A", "").first,
              typeid(tovi::dup_value_on_index).name());
    EXPECT_EQ(classify("FOREIGN KEY constraint failed", "").first,
              typeid(tovi::integrity_violation).name());
    EXPECT_EQ(classify("SQLCode: HY000.Native error: 1.[SQLite]no such table: t (1)", "").first,
              typeid(tovi::no_schema_obj_found).name());
    const auto dup = classify("UNIQUE constraint failed: T.A", "ctx");
    EXPECT_EQ(dup.second, "UNIQUE constraint failed: T.A\nDuplicate value on index.\n");

    const auto plain = classify("disk I/O error", "");
    EXPECT_EQ(plain.first, typeid(tovi::exception).name());
    EXPECT_EQ(plain.second, "disk I/O error\n [Driver: tovi_sqlite]\n");
    EXPECT_EQ(classify("disk I/O error", "ctx").second,
              "disk I/O error\nctx  [Driver: tovi_sqlite]\n");
    // A statement's context names the driver already: not a second time.
    EXPECT_EQ(classify("disk I/O error", "[Driver: tovi_sqlite; Database: 'x']").second,
              "disk I/O error\n[Driver: tovi_sqlite; Database: 'x']\n");
}

TEST_F(SqliteDialect, ColumnTypes) {
    std::unique_ptr<sql::create_visitor> v(support->make_create_visitor());
    sql::table_t t("t");
    const char* portable[] = {"VARCHAR", "TEXT",         "UNIQUEID",  "INTEGER",
                              "LONG",    "LARGE BINARY", "LONG TEXT", "FLOAT",
                              "BOOLEAN", "DATE",         "WHATEVER"};
    const char* expected[] = {"TEXT", "TEXT", "INTEGER PRIMARY KEY", "INTEGER", "INTEGER", "BLOB",
                              "TEXT", "REAL", "INTEGER(1)",          "TEXT",    "TEXT"};
    for (std::size_t i = 0; i < 11; ++i) {
        sql::field_t f = t.FIELD("c" + std::to_string(i));
        f.TYPE(portable[i]);
        EXPECT_EQ(v->conv_datatype(f.body()), expected[i]) << portable[i];
    }
    sql::field_t sized = t.FIELD("s");
    sized.TYPE("VARCHAR").SIZE(20);
    EXPECT_EQ(v->conv_datatype(sized.body()), "TEXT(20)");
}

TEST_F(SqliteDialect, ForeignKeysAsTriggers) {
    sql::Database db("d");
    sql::table_t parent = db.SCHEMA("s").TABLE("P");
    parent.FIELD("ID").TYPE("UNIQUEID");
    sql::table_t child = db.SCHEMA("s").TABLE("C");
    child.FIELD("PID").TYPE("INTEGER");
    db += sql::Relationship("FK", db)
              .FOREIGN_KEY(child.FIELD("PID"))
              .REFERENCES(parent.FIELD("ID"))
              .ON_DELETE(sql::impl::constraint_t::cascade);

    std::unique_ptr<sql::create_visitor> v(support->make_create_visitor());
    std::vector<std::string> statements;
    v->set_callback([&](const std::string& s) { statements.push_back(s); });
    db.accept(*v);
    v->execute();
    ASSERT_EQ(statements.size(), 5u);
    EXPECT_EQ(statements[0], "CREATE TABLE C\n(\nPID\t\tINTEGER\n)");
    EXPECT_EQ(statements[1], "CREATE TABLE P\n(\nID\t\tINTEGER PRIMARY KEY\n)");
    EXPECT_EQ(
        statements[2],
        "CREATE TRIGGER FK_INS \nBEFORE INSERT ON C FOR EACH ROW \nBEGIN \n    SELECT CASE \n"
        "        WHEN new.PID IS NOT NULL AND (SELECT ID FROM P WHERE ID = new.PID) IS NULL \n"
        "        THEN RAISE(ABORT, 'PID violates foreign key FK: P(ID)') \n    END; \nEND ");
    EXPECT_EQ(statements[3].rfind(
                  "CREATE TRIGGER FK_UPD \nBEFORE UPDATE OF PID ON C FOR EACH ROW \nBEGIN", 0),
              0u);
    EXPECT_EQ(statements[4],
              "CREATE TRIGGER FK_DEL \nBEFORE DELETE ON P FOR EACH ROW \nBEGIN \n"
              "    DELETE FROM C\n    WHERE PID = old.ID; \nEND ");

    // SQLite runs them, and they hold.
    memory_db engine;
    auto run = [&](const std::string& sql) { return engine.run(sql); };
    sqlite3* handle = engine.handle;
    for (const std::string& s : statements) ASSERT_EQ(run(s), "") << s;
    EXPECT_EQ(run("INSERT INTO P VALUES(1)"), "");
    EXPECT_EQ(run("INSERT INTO C VALUES(1)"), "");
    EXPECT_EQ(run("INSERT INTO C VALUES(2)"), "PID violates foreign key FK: P(ID)");
    EXPECT_EQ(run("DELETE FROM P WHERE ID = 1"), "");
    sqlite3_stmt* count = nullptr;
    sqlite3_prepare_v2(handle, "SELECT COUNT(*) FROM C", -1, &count, nullptr);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 0);  // the cascade removed the child row
    sqlite3_finalize(count);
}

// Every ON DELETE rule, run by SQLite: a NULL foreign key is never checked, so
// SET NULL works and a child may have no parent.
TEST_F(SqliteDialect, ForeignKeyRulesHoldInSqlite) {
    using action = sql::impl::constraint_t::action_t;
    struct rule_case {
        action rule;
        const char* delete_error;    // "" when deleting the parent succeeds
        const char* children_after;  // "PID" values left in C, in order
    };
    const rule_case cases[] = {
        {sql::impl::constraint_t::cascade, "", "2"},
        {sql::impl::constraint_t::set_null, "", "NULL,2"},
        {sql::impl::constraint_t::no_action,
         "Deleting a record from the P table violates foreign key FK: C(PID)", "1,2"},
        {sql::impl::constraint_t::restrict_action,
         "Deleting a record from the P table violates foreign key FK: C(PID)", "1,2"},
    };
    for (const rule_case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.rule));
        sql::Database db("d");
        sql::table_t parent = db.SCHEMA("s").TABLE("P");
        parent.FIELD("ID").TYPE("UNIQUEID");
        sql::table_t child = db.SCHEMA("s").TABLE("C");
        child.FIELD("PID").TYPE("INTEGER");
        db += sql::Relationship("FK", db)
                  .FOREIGN_KEY(child.FIELD("PID"))
                  .REFERENCES(parent.FIELD("ID"))
                  .ON_DELETE(c.rule);
        std::unique_ptr<sql::create_visitor> v(support->make_create_visitor());
        std::vector<std::string> statements;
        v->set_callback([&](const std::string& s) { statements.push_back(s); });
        db.accept(*v);
        v->execute();

        memory_db engine;
        auto run = [&](const std::string& sql) { return engine.run(sql); };
        sqlite3* handle = engine.handle;
        for (const std::string& s : statements) ASSERT_EQ(run(s), "") << s;
        EXPECT_EQ(run("INSERT INTO P VALUES(1)"), "");
        EXPECT_EQ(run("INSERT INTO P VALUES(2)"), "");
        EXPECT_EQ(run("INSERT INTO C VALUES(NULL)"), "");  // no parent: not checked
        EXPECT_EQ(run("DELETE FROM C"), "");
        EXPECT_EQ(run("INSERT INTO C VALUES(1)"), "");
        EXPECT_EQ(run("INSERT INTO C VALUES(2)"), "");
        EXPECT_EQ(run("INSERT INTO C VALUES(3)"), "PID violates foreign key FK: P(ID)");
        EXPECT_EQ(run("UPDATE C SET PID = 3 WHERE PID = 2"), "PID violates foreign key FK: P(ID)");
        EXPECT_EQ(run("DELETE FROM P WHERE ID = 1"), c.delete_error);
        std::string left;
        sqlite3_stmt* rows = nullptr;
        sqlite3_prepare_v2(handle, "SELECT COALESCE(PID, 'NULL') FROM C ORDER BY PID", -1, &rows,
                           nullptr);
        while (sqlite3_step(rows) == SQLITE_ROW)
            left += (left.empty() ? "" : ",") +
                    std::string(reinterpret_cast<const char*>(sqlite3_column_text(rows, 0)));
        sqlite3_finalize(rows);
        EXPECT_EQ(left, c.children_after);
    }
}
