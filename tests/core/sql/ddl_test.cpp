// DDL text: columns, tables, indexes, keys, dependency order (run through
// SQLite), DROP statements and the name printers.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <boost/function/function_base.hpp>

using namespace sql;

namespace {

std::vector<std::string> statements_of(value_visitor_t& v) {
    std::vector<std::string> out;
    v.set_callback([&out](const std::string& s) { out.push_back(s); });
    v.execute();
    return out;
}

std::size_t position_of(const std::vector<std::string>& list, const std::string& start) {
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].rfind(start, 0) == 0) return i;
    ADD_FAILURE() << "no statement starts with " << start;
    return list.size();
}

}  // namespace

TEST(SqlDdl, ColumnsAndATable) {
    table_t t("person");
    t.FIELD("ID").TYPE("INTEGER").NOT_NULL(true);
    t.FIELD("NAME").TYPE("VARCHAR").SIZE(40).DEFAULT(string_value_t("it's"));
    t.FIELD("ABCDEFGH").TYPE("FLOAT").NOT_NULL(false);
    t.FIELD("ABCDEFG").TYPE("DATE");
    t.PRIMARY_KEY(t.INDEX("PK_PERSON").FIELD(t.FIELD("ID")));
    t.INDEX("IX_NAME").FIELD(t.FIELD("NAME")).UNIQUE();
    t.INDEX("IX_BOTH").FIELD(t.FIELD("NAME")).FIELD(t.FIELD("ABCDEFG"));
    t.INDEX("IX_EMPTY");  // no columns: no statement

    create_visitor v;
    t.accept(v);
    const std::vector<std::string> s = statements_of(v);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0],
              "CREATE TABLE person\n(\n"
              "ID\t\tINTEGER NOT NULL,\n"
              "NAME\t\tVARCHAR(40) DEFAULT 'it''s',\n"
              "ABCDEFGH\tFLOAT,\n"
              "ABCDEFG\t\tDATE,\n"
              "PRIMARY KEY (ID)\n)");
    EXPECT_EQ(s[1], "CREATE UNIQUE INDEX IX_NAME ON person(NAME)");
    EXPECT_EQ(s[2], "CREATE INDEX IX_BOTH ON person(NAME, ABCDEFG)");
    EXPECT_EQ(v.get_text(), "");  // nothing left over between statements
}

TEST(SqlDdl, KeysAsStatements) {
    struct alter_keys : create_visitor {
        alter_keys() { inline_primary_key = false; }
    };
    Database db("d");
    table_t parent = db.SCHEMA("s").TABLE("P");
    parent.FIELD("ID").TYPE("INTEGER");
    parent.PRIMARY_KEY(parent.INDEX("PK_P").FIELD(parent.FIELD("ID")));
    table_t child = db.SCHEMA("s").TABLE("C");
    child.FIELD("PID").TYPE("INTEGER");
    db += Relationship("FK_C", db)
              .FOREIGN_KEY(child.FIELD("PID"))
              .REFERENCES(parent.FIELD("ID"))
              .ON_DELETE(impl::constraint_t::cascade);
    db += Relationship("FK_N", db)
              .FOREIGN_KEY(child.FIELD("PID"))
              .REFERENCES(parent.FIELD("ID"))
              .ON_DELETE(impl::constraint_t::set_null);

    alter_keys v;
    db.accept(v);
    const std::vector<std::string> s = statements_of(v);
    ASSERT_EQ(s.size(), 5u);
    EXPECT_EQ(s[0], "CREATE TABLE C\n(\nPID\t\tINTEGER\n)");
    EXPECT_EQ(s[1], "CREATE TABLE P\n(\nID\t\tINTEGER\n)");
    EXPECT_EQ(s[2], "ALTER TABLE P ADD CONSTRAINT PK_P PRIMARY KEY (ID)");
    EXPECT_EQ(s[3],
              "ALTER TABLE C\nADD CONSTRAINT \"FK_C\"\nFOREIGN KEY (PID)\nREFERENCES P(ID)\n"
              "ON DELETE CASCADE");
    EXPECT_EQ(s[4],
              "ALTER TABLE C\nADD CONSTRAINT \"FK_N\"\nFOREIGN KEY (PID)\nREFERENCES P(ID)\n"
              "ON DELETE SET NULL");

    drop_visitor drop;
    std::vector<std::string> dropped;
    drop.set_callback([&](const std::string& text) { dropped.push_back(text); });
    db.accept(drop);
    EXPECT_EQ(dropped, (std::vector<std::string>{"ALTER TABLE C\nDROP CONSTRAINT \"FK_C\"",
                                                 "ALTER TABLE C\nDROP CONSTRAINT \"FK_N\"",
                                                 "DROP TABLE C", "DROP TABLE P"}));
}

TEST(SqlDdl, WholeSchemaInDependencyOrderRunsInSqlite) {
    Database db("shop");
    Schema sales = db.SCHEMA("sales");
    Schema stock = db.SCHEMA("stock");
    // A foreign key built before the tables it references get their columns.
    table_t orders = sales.TABLE("ORDERS");
    table_t items = stock.TABLE("ITEMS");
    db += Relationship("FK_ORDER_ITEM", db)
              .FOREIGN_KEY(orders.FIELD("ITEM_ID"))
              .REFERENCES(items.FIELD("ID"));
    orders.FIELD("ID").TYPE("INTEGER").NOT_NULL();
    orders.FIELD("QTY").TYPE("INTEGER").DEFAULT(long_t(1));
    orders.PRIMARY_KEY(orders.INDEX("PK_ORDERS").FIELD(orders.FIELD("ID")));
    orders.INDEX("IX_ORDERS_ITEM").FIELD(orders.FIELD("ITEM_ID"));
    items.FIELD("NAME").TYPE("VARCHAR").SIZE(20);
    items.PRIMARY_KEY(items.INDEX("PK_ITEMS").FIELD(items.FIELD("ID")));
    items.INDEX("UX_ITEMS_NAME").FIELD(items.FIELD("NAME")).UNIQUE();
    table_t later = sales.TABLE("AUDIT");
    later.FIELD("ORDER_ID").TYPE("INTEGER");
    db += Relationship("FK_AUDIT_ORDER", db)
              .FOREIGN_KEY(later.FIELD("ORDER_ID"))
              .REFERENCES(orders.FIELD("ID"));

    // The relationships are visited first here: the sort must still put them last.
    create_visitor v;
    for (const auto& r : db.body().relationships) r.second.accept(v);
    db.accept(v);
    const std::vector<std::string> s = statements_of(v);
    const std::size_t t_orders = position_of(s, "CREATE TABLE ORDERS");
    const std::size_t t_items = position_of(s, "CREATE TABLE ITEMS");
    const std::size_t t_audit = position_of(s, "CREATE TABLE AUDIT");
    EXPECT_GT(position_of(s, "CREATE INDEX IX_ORDERS_ITEM"), t_orders);
    EXPECT_GT(position_of(s, "CREATE UNIQUE INDEX UX_ITEMS_NAME"), t_items);
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i].find("FK_ORDER_ITEM") != std::string::npos) {
            EXPECT_GT(i, t_orders);
            EXPECT_GT(i, t_items);
        }
        if (s[i].find("FK_AUDIT_ORDER") != std::string::npos) {
            EXPECT_GT(i, t_orders);
            EXPECT_GT(i, t_audit);
        }
    }

    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK);
    for (const std::string& statement : s) {
        if (statement.rfind("ALTER TABLE", 0) == 0) continue;  // SQLite has no ADD CONSTRAINT
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(handle, statement.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "") << "\n"
            << statement;
        sqlite3_free(error);
    }
    sqlite3_close(handle);
}

TEST(SqlDdl, StatementListSortingAndExecution) {
    create_visitor v;
    v.add_stmt("ix", "index", {"T2"});
    v.add_stmt("fk", "key", {"t2", "t1"});
    v.add_stmt("t2", "table 2", {});
    v.add_stmt("loop", "cycle", {"nothing"});
    v.add_stmt("t1", "table 1", {});
    const auto& list = v.get_stmt_list();
    EXPECT_EQ(list.front()->name, "IX");
    EXPECT_EQ(std::next(list.begin())->get()->deps, (std::deque<std::string>{"T1", "T2"}));
    EXPECT_EQ(statements_of(v),
              (std::vector<std::string>{"table 2", "table 1", "index", "key", "cycle"}));
    create_visitor silent;  // no callback: execute() reports it
    silent.add_stmt("a", "b", {});
    EXPECT_THROW(silent.execute(), boost::bad_function_call);
}

TEST(SqlDdl, SeparatorsAndNames) {
    value_visitor_t v;
    EXPECT_EQ(v.get_list_separator(), ", \n");
    value_visitor_t with_callback([](const std::string&) {});
    EXPECT_EQ(with_callback.get_list_separator(), ", ");
    EXPECT_EQ(with_callback.get_cmd_separator(), ";\n\n");
    v << value_visitor_t::separator("|");
    expr_list_t list;
    list + long_t(1) + string_t("b");
    v << list;
    v << value_visitor_t::separator();
    v << list;
    EXPECT_EQ(v.get_text(), "1|b1, \nb");

    std::map<std::string, expr_t> m{{"y", long_t(2)}, {"x", long_t(1)}};
    value_visitor_t names([](const std::string&) {});
    names.make_names(m);
    names << std::string(" / ") << m;
    EXPECT_EQ(names.get_text(), "x, y / 1, 2");
}

TEST(SqlNames, NameAndSetNameVisitors) {
    table_t t("t");
    expr_list_t cols;
    cols + t.FIELD("a") + t.FIELD("b") + t.FIELD("c") + t.FIELD("d");

    NameVisitor plain({}, {}, "", "");
    plain << cols;
    EXPECT_EQ(plain.get_text(), "a, b, c, d");

    struct typed : NameVisitor {
        using NameVisitor::NameVisitor;
        std::string conv_datatype(const impl::field_t& f) override {
            return "T_" + f.name.get_value();
        }
    };
    typed moved({"b"}, {"c"}, ":", "");
    moved << cols;
    EXPECT_EQ(moved.get_text(), ":a T_a, :d T_d, :b T_b");

    SetNameVisitor set({}, {"d"}, ":", "");
    set << cols;
    EXPECT_EQ(set.get_text(), "a = :a, b = :b, c = :c");

    NameVisitor only_moved({"a"}, {"b", "c", "d"}, "", "");
    only_moved << cols;
    EXPECT_EQ(only_moved.get_text(), "a ");
}

TEST(SqlNames, ReorderVisitors) {
    table_t t("t");
    expr_list_t cols;
    cols + t.FIELD("a") + t.FIELD("b") + t.FIELD("c");
    ReorderNameVisitor r({"c", "x", "a", "b"}, {"a"}, ":", "");
    r << cols;
    EXPECT_EQ(r.get_text(), ":C, :B, :A");
    ReorderSetNameVisitor s({"b", "a"}, ":", "_");
    s << cols;
    EXPECT_EQ(s.get_text(), "B = :B_, A = :A_");
}

TEST(SqlNames, DDLVisitorINPrintsOneText) {
    table_t t("t");
    t.FIELD("id").TYPE("INTEGER");
    t.FIELD("name").TYPE("TEXT");
    t.PRIMARY_KEY(t.INDEX("pk").FIELD(t.FIELD("id")));
    t.INDEX("ix").FIELD(t.FIELD("name")).UNIQUE();
    DDLVisitorIN v;
    t.accept(v);
    EXPECT_EQ(v.get_text(),
              "CREATE TABLE t\n(\nid\t\tINTEGER, \nname\t\tTEXT, \nPRIMARY KEY pk(id)\n)\n"
              ", \nCREATE UNIQUE INDEX ix ON t(name)");
    EXPECT_TRUE(v.get_stmt_list().empty());
}
