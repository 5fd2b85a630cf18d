// Reading INSERT texts for row insertion: the table, the column list (or "*"),
// parameters and literals by position, and the texts refused before a row could
// get values the text does not say.
#include <ado_insert.hpp>

#include <gtest/gtest.h>

namespace {

using tovi::ado::plan_insert;

// Guards: markers and literals of an INSERT swapped or miscounted by the rewriting.
TEST(AdoInsert, ValuesBecomeParametersAndLiterals) {
    auto plan = plan_insert("INSERT INTO t (a, b, c) VALUES (:?, 'x', 5)");
    ASSERT_TRUE(plan.rewritten);
    EXPECT_EQ(plan.table, "t");
    EXPECT_EQ(plan.column_list, "a, b, c");
    EXPECT_EQ(plan.select_text, "SELECT a, b, c FROM t");
    ASSERT_EQ(plan.values.size(), 3u);
    EXPECT_TRUE(plan.values[0].parameter);
    EXPECT_EQ(tovi::variant2string(plan.values[1].literal), "x");
    EXPECT_EQ(long(plan.values[2].literal), 5);

    plan = plan_insert("insert into\tt2(x)values(?)");
    EXPECT_EQ(plan.table, "t2");
    EXPECT_EQ(plan.select_text, "SELECT x FROM t2");

    plan = plan_insert("INSERT INTO t VALUES (:?, :name, -12, 2.5, \"q\")");
    EXPECT_EQ(plan.column_list, "*");
    EXPECT_EQ(plan.select_text, "SELECT * FROM t");
    EXPECT_TRUE(plan.values[1].parameter);
    EXPECT_EQ(long(plan.values[2].literal), -12);  // the sign is kept
    EXPECT_EQ(double(plan.values[3].literal), 2.5);
    EXPECT_EQ(tovi::variant2string(plan.values[4].literal), "q");

    plan = plan_insert("INSERT INTO t SELECT * FROM u");
    EXPECT_FALSE(plan.rewritten);
    EXPECT_TRUE(plan.from_select);
}

// Guards: a comma, parenthesis, marker or doubled quote inside a literal splitting or
// ending it.
TEST(AdoInsert, QuotedLiteralsKeepCommasParenthesesMarkersAndQuotes) {
    const auto plan =
        plan_insert("INSERT INTO t (a, b, c, d) VALUES ('1, 2', 'f(x)', 'why?', 'it''s');");
    ASSERT_EQ(plan.values.size(), 4u);
    EXPECT_EQ(tovi::variant2string(plan.values[0].literal), "1, 2");
    EXPECT_EQ(tovi::variant2string(plan.values[1].literal), "f(x)");
    EXPECT_FALSE(plan.values[2].parameter);  // a marker inside quotes is text
    EXPECT_EQ(tovi::variant2string(plan.values[2].literal), "why?");
    EXPECT_EQ(tovi::variant2string(plan.values[3].literal), "it's");
}

// Guards: a value the rewriting cannot read stored as something else.
TEST(AdoInsert, TextsThatCannotBeReadAreRefused) {
    try {
        plan_insert("INSERT INTO t (a) VALUES (abc)");
        FAIL();
    } catch (const tovi::bad_sql& e) {
        EXPECT_STREQ(e.what(), "Expected either a string or a number");
    }
    // Trailing characters, at any position (the last included).
    EXPECT_THROW(plan_insert("INSERT INTO t VALUES (5x, 1)"), tovi::bad_value_conversion);
    EXPECT_THROW(plan_insert("INSERT INTO t VALUES (1, 5x)"), tovi::bad_value_conversion);
    EXPECT_THROW(plan_insert("INSERT INTO t VALUES (1, 99999999999999999999)"),
                 tovi::bad_value_conversion);
    EXPECT_THROW(plan_insert("INSERT INTO t (a, b) VALUES (1)"), tovi::bad_sql);  // counts differ
    EXPECT_THROW(plan_insert("INSERT INTO t VALUES (1), (2)"), tovi::bad_sql);    // two rows
    EXPECT_THROW(plan_insert("INSERT INTO t VALUES ('open, 1)"), tovi::bad_sql);
    EXPECT_THROW(plan_insert("INSERT INTO t VALUES (1, 2"), tovi::bad_sql);
}

// Guards: an expression among an INSERT's values stored as a misread literal.
// The rewriting evaluates nothing: an expression or a function call among the
// values is refused saying so, never stored as a misread value.
TEST(AdoInsert, ExpressionsAreRefusedNeverMisread) {
    for (const char* sql :
         {"INSERT INTO t (a) VALUES ('x' & 'y')", "INSERT INTO t (a, b) VALUES (Now(), 1)",
          "INSERT INTO t (a) VALUES (1 + 2)", "INSERT INTO t (a) VALUES (f(:p))",
          "INSERT INTO t (a) VALUES (-:p)"}) {
        SCOPED_TRACE(sql);
        try {
            plan_insert(sql);
            ADD_FAILURE() << "read";
        } catch (const tovi::bad_sql& e) {
            EXPECT_NE(std::string(e.what()).find("is an expression or a function call"),
                      std::string::npos)
                << e.what();
        }
    }
    EXPECT_THROW(plan_insert("INSERT INTO t (a) VALUES (0x10)"), tovi::bad_value_conversion);
    EXPECT_THROW(plan_insert("INSERT INTO t (a) VALUES (inf)"), tovi::bad_sql);
    const auto plan = plan_insert("INSERT INTO t (a, b, c) VALUES (1e3, 'a''b', :p_1)");
    EXPECT_EQ(double(plan.values[0].literal), 1000.0);
    EXPECT_EQ(tovi::variant2string(plan.values[1].literal), "a'b");
    EXPECT_TRUE(plan.values[2].parameter);
}

}  // namespace
