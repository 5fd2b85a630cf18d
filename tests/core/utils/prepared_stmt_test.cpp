// PreparedStmt: cutting text at parameters, inlining values, buffer growth.
#include <tovi/exception.hpp>
#include <tovi/prepared_stmt.hpp>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(PreparedStmt, InlinesValuesAndQuotesStrings) {
    tovi::PreparedStmt p;
    p.prepare("select * from t where a = :a and b = :b");
    EXPECT_EQ(p.getParamCount(), 2u);
    p.initStmtStr();
    EXPECT_STREQ(p.getStmtStr(), "select * from t where a = ");
    p.bindValue("1");
    p.bindValueStr("O'Brien");
    EXPECT_STREQ(p.getStmtStr(), "select * from t where a = 1 and b = 'O''Brien'");
    EXPECT_EQ(p.getStmtLength(), std::strlen(p.getStmtStr()));

    p.initStmtStr();  // the same text again, other values
    p.bindCharValue("2");
    p.bindValueStr("");
    EXPECT_STREQ(p.getStmtStr(), "select * from t where a = 2 and b = ''");
}

TEST(PreparedStmt, LiteralsAndNamesAreNotParameters) {
    tovi::PreparedStmt p;
    p.prepare("a = :x and b = ':y'");
    ASSERT_EQ(p.getParamCount(), 1u);
    p.initStmtStr();
    p.bindValue("7");
    EXPECT_STREQ(p.getStmtStr(), "a = 7 and b = ':y'");

    p.prepare("a = ? and b = 'it\\'s :z' and c = :p1?");  // plain "?" is text here
    ASSERT_EQ(p.getParamCount(), 1u);
    p.initStmtStr();
    p.bindValue("3");
    EXPECT_STREQ(p.getStmtStr(), "a = ? and b = 'it\\'s :z' and c = 3");

    p.prepare("no parameters, 'unterminated :q");
    EXPECT_EQ(p.getParamCount(), 0u);
    p.initStmtStr();
    EXPECT_STREQ(p.getStmtStr(), "no parameters, 'unterminated :q");
}

TEST(PreparedStmt, MisuseIsAClearError) {
    tovi::PreparedStmt p;
    EXPECT_STREQ(p.getStmtStr(), "");
    EXPECT_THROW(p.bindValue("1"), tovi::bad_operation);  // nothing prepared
    p.prepare("x = :a");
    EXPECT_THROW(p.bindValue("1"), tovi::bad_operation);  // not started
    p.initStmtStr();
    p.bindValue("1");
    EXPECT_THROW(p.bindValueStr("2"), tovi::bad_operation);  // one value too many
    EXPECT_STREQ(p.getStmtStr(), "x = 1");
    p.prepare("y = :b");  // forgets the text being built
    EXPECT_STREQ(p.getStmtStr(), "");
    EXPECT_THROW(p.bindValue("1"), tovi::bad_operation);
}

TEST(PreparedStmt, BuffersGrowByTheirFactors) {
    tovi::PreparedStmt p;
    EXPECT_EQ(p.getStmtCapacity(), 1024u);
    EXPECT_EQ(p.getEscapeCapacity(), 64u);
    p.prepare(":a");
    p.initStmtStr();
    p.bindValue(std::string(1024, 'x'));  // needs 1025 bytes with the NUL
    EXPECT_EQ(p.getStmtCapacity(), 4096u);
    p.initStmtStr();
    p.bindValue(std::string(4999, 'x'));
    EXPECT_EQ(p.getStmtCapacity(), 16384u);
    p.initStmtStr();
    p.bindValue("y");
    EXPECT_EQ(p.getStmtCapacity(), 16384u);  // never shrinks

    p.initStmtStr();
    const std::string quotes(100, '\'');
    p.bindValueStr(quotes);  // 201 bytes escaped with the NUL
    EXPECT_EQ(p.getEscapeCapacity(), 256u);
    EXPECT_EQ(std::string(p.getStmtStr()), "'" + std::string(200, '\'') + "'");
}
