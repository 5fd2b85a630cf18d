// Expression handles: sharing, lists, conditions grown from empty, refusals.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

using namespace sql;

namespace {
std::string print(const expr_t& e) {
    output_visitor_t out;
    e.accept(out);
    return out.get_text();
}
}  // namespace

TEST(SqlExpr, CopiesShareOneBody) {
    Database db("db");
    table_t t = db.SCHEMA("s").TABLE("t");
    field_t a = t.FIELD("a");
    bool_expr_t cond = a == long_t(1);
    table_t again = db.SCHEMA("s").TABLE("t");
    EXPECT_TRUE(again.same_as(t));
    again.ALIAS("x");  // seen through the condition built earlier
    EXPECT_EQ(print(cond), "x.a = 1");
    t.FIELD("a").TYPE("INTEGER");
    EXPECT_EQ(a.body().type.get_value(), "INTEGER");
    EXPECT_EQ(t.body().fields.size(), 1u);  // FIELD twice adds the column once

    select_t q = SELECT(a);
    select_t copy = q;
    copy.FROM(t).WHERE(cond);
    EXPECT_EQ(print(q), "SELECT x.a\nFROM t x\nWHERE x.a = 1");
}

TEST(SqlExpr, ListsChainAndCheckBounds) {
    expr_list_t list;
    list + long_t(1) + string_t("b");
    EXPECT_EQ(list.size(), 2u);
    expr_list_t other = list;  // shares
    other.push_back(long_t(3));
    EXPECT_EQ(list.size(), 3u);
    list.push_back(list);  // appending a list to itself doubles it, once
    EXPECT_EQ(list.size(), 6u);
    EXPECT_EQ(print(list), "1, b, 3, 1, b, 3");
    EXPECT_EQ(print(list.pop_back()), "3");
    try {
        expr_list_t()[0];
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
    }
    EXPECT_THROW(expr_list_t().pop_back(), std::out_of_range);
}

TEST(SqlExpr, ConditionsGrowFromEmpty) {
    table_t t("t");
    bool_expr_t c = t.FIELD("a") == long_t(1);
    bool_expr_t grown = bool_expr_t() && c;
    EXPECT_TRUE(grown.same_as(c));
    EXPECT_TRUE((c || bool_expr_t()).same_as(c));
    EXPECT_TRUE((bool_expr_t() && bool_expr_t()).empty());
    EXPECT_TRUE((!bool_expr_t()).empty());
    bool_expr_t loop;
    for (const char* name : {"a", "b", "c"}) loop = loop && (t.FIELD(name) > long_t(0));
    EXPECT_EQ(print(loop), "a > 0 AND b > 0 AND c > 0");
}

TEST(SqlExpr, LeavesAndRefusals) {
    EXPECT_EQ(long_t(-5).get_value(), -5);
    EXPECT_EQ(std::string(string_t("id")), "id");
    EXPECT_FALSE(bool(bool_t()));
    EXPECT_TRUE(bool(bool_t(true)));
    EXPECT_EQ(operator_t(operation_t(op_like)), op_like);
    EXPECT_EQ(string_value_t().get_value(), "");
    for (int op : {0, 1, 7, 17, 21, 40, 99})
        EXPECT_THROW(operation_t(static_cast<operator_t>(op)), tovi::bad_operation) << op;
    // A handle of one kind used as another says so instead of reading garbage.
    EXPECT_THROW(long_t(expr_t(string_t("x"))).get_value(), tovi::bad_operation);
    EXPECT_THROW(table_t(long_t(1)).FIELD("a"), tovi::bad_operation);
    EXPECT_THROW(select_t(expr_t()).WHERE(bool_expr_t()), tovi::bad_operation);
    EXPECT_EQ(op_precedence[0], 11);
    EXPECT_EQ(op_precedence[op_and], 3);
    EXPECT_EQ(op_precedence[op_or], 2);
    EXPECT_EQ(op_precedence[40], 12);
}

TEST(SqlSchema, LookupsAndDuplicates) {
    Database db("db");
    Schema s = db.SCHEMA("s");
    EXPECT_TRUE(db.SCHEMA("s").same_as(s));
    table_t extra("t2");
    s += extra;
    EXPECT_TRUE(s.TABLE("t2").same_as(extra));
    try {
        s += table_t("t2");
        FAIL();
    } catch (const tovi::data_already_exist& e) {
        EXPECT_EQ(e.get_error_text(), "Data already exist.\n");
    }
    Relationship r("R", db);
    db += r;
    try {
        db += Relationship("R", db);
        FAIL();
    } catch (const tovi::data_already_exist& e) {
        EXPECT_EQ(e.get_error_text(), "Relationship 'R' already exist.\n");
    }

    index_t i = extra.INDEX("i");
    i.PRIMARY_KEY(true).UNIQUE(true);
    EXPECT_EQ(i.body().type, impl::index_t::primary_key);
    i.UNIQUE(false);
    EXPECT_EQ(i.body().type, impl::index_t::plain);
    i.UNIQUE(true);
    EXPECT_EQ(i.body().type, impl::index_t::unique);
    EXPECT_THROW(i.FIELD(table_t("other").FIELD("x")), tovi::bad_operation);
    EXPECT_THROW(table_t("t3").PRIMARY_KEY(i), tovi::bad_operation);
}

TEST(SqlVisitors, DefaultTraversalAndDecorator) {
    struct counter : default_visitor_t {
        void visit_long_t(impl::long_t& n) override { seen.push_back(n.value); }
        std::vector<long> seen;
    };
    table_t t("t");
    t.FIELD("a").DEFAULT(long_t(1));
    t.FIELD("b").DEFAULT(long_t(2));
    counter c;
    t.accept(c);
    EXPECT_EQ(c.seen, std::vector<long>{1});  // a list visits only its first element

    output_visitor_t plain;
    output_visitor_t decorated_target;
    VisitorDecorator decorator(&decorated_target);
    const bool_expr_t cond = (t.FIELD("a") == long_t(1)) && !(t.FIELD("b") == string_value_t("x"));
    cond.accept(plain);
    cond.accept(decorator);
    EXPECT_EQ(decorated_target.get_text(), plain.get_text());
}
