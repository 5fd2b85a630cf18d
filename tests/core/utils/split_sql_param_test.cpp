// Parameter-marker rewriting: examples, quoting rules, and random byte strings
// checked against a character-by-character model of the rules.
#include <tovi/text.hpp>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/seeded_random.hpp"

namespace {

std::string to_qmarks(const std::string& sql) {
    return utils::split_sql_param(sql, ":", "?");
}

bool is_name_char(const std::string& marker, char c) {
    return (c != '\0' && marker.find(c) != std::string::npos) ||
           (c != '\0' && std::strchr("?1234567890qwertyuiopasdfghjklzxcvbnm"
                                     "QWERTYUIOPASDFGHJKLZXCVBNM",
                                     c) != nullptr);
}

// The rules, one character at a time.
std::string model(const std::string& sql, const std::string& marker,
                  const std::string& replacement) {
    std::string out;
    unsigned counter = 1;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'') {
            out += c;
            ++i;
            while (i < sql.size()) {
                const char d = sql[i++];
                out += d;
                if (d == '\'' && sql[i - 2] != '\\') break;
            }
        } else if (c == '"') {
            // A double-quoted identifier, "" standing for one quote.
            out += c;
            ++i;
            while (i < sql.size()) {
                const char d = sql[i++];
                out += d;
                if (d != '"') continue;
                if (i < sql.size() && sql[i] == '"') {
                    out += sql[i++];
                    continue;
                }
                break;
            }
        } else if (c == ':' && marker.find(':') != std::string::npos && i + 1 < sql.size() &&
                   sql[i + 1] == ':') {
            // A cast: every colon of the run stays.
            while (i < sql.size() && sql[i] == ':') out += sql[i++];
        } else if (c == '?' || (c != '\0' && marker.find(c) != std::string::npos)) {
            std::size_t run = 0;
            while (i + run < sql.size() && is_name_char(marker, sql[i + run]) &&
                   !(run > 0 && sql.compare(i + run, 2, "::") == 0))
                ++run;
            const bool anonymous = c == '?' || (run > 1 && sql[i + 1] == '?');
            if (anonymous || replacement == "?") {
                out += replacement == "?" ? "?" : replacement + std::to_string(counter);
                ++counter;
                i += run;
            } else if (run == 1) {
                out += c;
                ++i;
            } else {
                out += replacement + sql.substr(i + 1, run - 2);
                i += run - 1;
            }
        } else {
            out += c;
            ++i;
        }
    }
    return out;
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

TEST(SplitSqlParam, RandomBytesMatchTheModel) {
    std::mt19937 rng = tovi_test::seeded_engine();
    static const char interesting[] = ":?'\\ a1Z@$\"";
    const std::string markers[] = {":", "@", ":@"};
    const std::string replacements[] = {"?", "$", "@P", ""};
    for (int iteration = 0; iteration < 20000; ++iteration) {
        std::string sql(rng() % 40, '\0');
        for (char& c : sql)
            c = rng() % 3 == 0 ? static_cast<char>(rng() % 256)
                               : interesting[rng() % (sizeof interesting - 1)];
        const std::string& marker = markers[rng() % 3];
        const std::string& replacement = replacements[rng() % 4];
        ASSERT_EQ(utils::split_sql_param(sql, marker, replacement), model(sql, marker, replacement))
            << "iteration " << iteration << ", marker " << marker << ", replacement "
            << replacement;
    }
}
