// Parameter-marker rewriting: examples of each rule and quoting form. (Any text:
// the sql_param fuzz target and its corpus.)
#include <tovi/text.hpp>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string to_qmarks(const std::string& sql) {
    return utils::split_sql_param(sql, ":", "?");
}

}  // namespace

TEST(SplitSqlParam, MarkersOfEveryKindBecomeQuestionMarks) {
    EXPECT_EQ(to_qmarks("select * from t where a = :a and b = :b"),
              "select * from t where a = ? and b = ?");
    EXPECT_EQ(to_qmarks("values (:?, :?, ?)"), "values (?, ?, ?)");
    EXPECT_EQ(to_qmarks("x = ?? and y = :1"), "x = ? and y = ?");
    EXPECT_EQ(to_qmarks(":a,:b"), "?,?");
    EXPECT_EQ(to_qmarks("select 1"), "select 1");
    EXPECT_EQ(to_qmarks(""), "");
}

TEST(SplitSqlParam, QuotedLiteralsAreLeftAlone) {
    EXPECT_EQ(to_qmarks("where s = ':x' and x = :x"), "where s = ':x' and x = ?");
    EXPECT_EQ(to_qmarks("'it\\'s :x'"), "'it\\'s :x'");
    EXPECT_EQ(to_qmarks("a = 'x''y' and b = :b"), "a = 'x''y' and b = ?");
    EXPECT_EQ(to_qmarks("a = '' and b = :b"), "a = '' and b = ?");
    EXPECT_EQ(to_qmarks("a = '?' and c = :c"), "a = '?' and c = ?");
    // A backslash before an apostrophe escapes it, even when itself escaped.
    EXPECT_EQ(to_qmarks("b = '\\\\' and c = :c"), "b = '\\\\' and c = :c");
}

TEST(SplitSqlParam, UnterminatedLiteralRunsToTheEnd) {
    EXPECT_EQ(to_qmarks("a = 'abc :x"), "a = 'abc :x");
    EXPECT_EQ(to_qmarks("a = 'x\\' :y"), "a = 'x\\' :y");
    EXPECT_EQ(to_qmarks("'"), "'");
    EXPECT_EQ(to_qmarks(":a = '"), "? = '");
}

TEST(SplitSqlParam, NumberedAndNamedReplacement) {
    EXPECT_EQ(utils::split_sql_param("a = ? and b = :? and c = :name", ":", "$"),
              "a = $1 and b = $2 and c = $name");
    EXPECT_EQ(utils::split_sql_param("x = :a?", ":", "$"), "x = $a$1");
    // A lone marker is no parameter.
    EXPECT_EQ(utils::split_sql_param("a : b :", ":", "$"), "a : b :");
    EXPECT_EQ(utils::split_sql_param("x::int", ":", "$"), "x::int");  // a cast
    EXPECT_EQ(utils::split_sql_param("@p and ?", "@", "@P"), "@Pp and @P1");
}

TEST(SplitSqlParam, IdentifiersCastsAndPostgresqlQuotingAreLeftAlone) {
    EXPECT_EQ(to_qmarks("SELECT \"a:b\", \"x\"\":y\" FROM t WHERE c = :c"),
              "SELECT \"a:b\", \"x\"\":y\" FROM t WHERE c = ?");
    EXPECT_EQ(to_qmarks("SELECT 1::text, :a::int"), "SELECT 1::text, ?::int");
    auto pg = [](const std::string& sql) { return utils::split_sql_param(sql, ":", "?", true); };
    EXPECT_EQ(pg("INSERT INTO t VALUES($$meet at 10:30$$, :a)"),
              "INSERT INTO t VALUES($$meet at 10:30$$, ?)");
    EXPECT_EQ(pg("SELECT $q$it's :x$q$, :y"), "SELECT $q$it's :x$q$, ?");
    EXPECT_EQ(pg("SELECT (ARRAY[1,2,3])[1:2], a[:n]"), "SELECT (ARRAY[1,2,3])[1:2], a[:n]");
    EXPECT_EQ(pg("SELECT $1, a$b, :c"), "SELECT $1, a$b, ?");  // no dollar quote there
    EXPECT_EQ(pg("SELECT $$unterminated :x"), "SELECT $$unterminated :x");
    // Without the PostgreSQL rules, dollars and brackets are plain text.
    EXPECT_EQ(to_qmarks("SELECT $$10:30$$"), "SELECT $$10?$$");
}
