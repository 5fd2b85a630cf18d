// DML text: golden texts, precedence proved against SQLite on random conditions,
// and string literals that no input can break out of.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <memory>
#include <set>
#include <tuple>

#include "support/seeded_random.hpp"

using namespace sql;

namespace {

std::string print(const expr_t& e) {
    output_visitor_t out;
    e.accept(out);
    return out.get_text();
}

struct Db {
    Db() { EXPECT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK); }
    ~Db() { sqlite3_close(handle); }
    void exec(const std::string& sql) {
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "") << "\n"
            << sql;
    }
    // Rows of integers (or one text column) selected by `sql`.
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        std::vector<std::vector<std::string>> out;
        EXPECT_EQ(sqlite3_prepare_v2(handle, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
            << sqlite3_errmsg(handle) << "\n"
            << sql;
        while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
                row.emplace_back(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, i)));
            }
            out.push_back(row);
        }
        sqlite3_finalize(stmt);
        return out;
    }
    sqlite3* handle = nullptr;
};

}  // namespace

TEST(SqlOutput, SelectInsertUpdateDelete) {
    table_t t("t");
    field_t a = t.FIELD("a"), b = t.FIELD("b"), c = t.FIELD("c");
    EXPECT_EQ(print(SELECT(a).FROM(t)), "SELECT a\nFROM t");

    expr_list_t ab;
    ab + a + b;
    expr_list_t values;
    values + long_t(1) + string_value_t("x");
    EXPECT_EQ(print(insert_t(t, values, ab)), "INSERT INTO t(a, b) VALUES(1, 'x')");
    EXPECT_EQ(print(insert_t(t, values, expr_list_t())), "INSERT INTO t() VALUES(1, 'x')");
    EXPECT_EQ(print(insert_t(t, values, expr_list_t(expr_t()))), "INSERT INTO t VALUES(1, 'x')");
    EXPECT_EQ(print(insert_t(t, SELECT(a).FROM(table_t("u")), ab)),
              "INSERT INTO t(a, b) VALUES(SELECT a\nFROM u)");
    EXPECT_EQ(print(update_t(t, ab, values, a == long_t(3))),
              "UPDATE t\nSET (a, b) = (1, 'x')\nWHERE a = 3");
    EXPECT_EQ(print(delete_t(t, bool_expr_t())), "DELETE FROM t");
    EXPECT_EQ(print(delete_t(t, c >= long_t(-2))), "DELETE FROM t\nWHERE c >= -2");

    table_t u("u");
    u.ALIAS("x").LINK("remote");
    EXPECT_EQ(print(SELECT(u.FIELD("id")).FROM(u).FROM(t)), "SELECT x.id\nFROM u@remote x, t");
    select_t sub = SELECT(b).FROM(t);
    EXPECT_EQ(print(SELECT(a).FROM(sub, string_t("q")).WHERE(in(a, sub))),
              "SELECT a\nFROM (SELECT b\nFROM t)\nWHERE a IN (SELECT b\nFROM t)");
    expr_list_t args;
    args + a + long_t(2);
    EXPECT_EQ(print(expr_t(new impl::function_t(string_t("substr"), string_t(""), args))),
              "substr(a, 2)");
    EXPECT_EQ(print(expr_t(new impl::function_t(string_t("now"), string_t("db"), expr_t()))),
              "now@db");
    // Carried but not printed: DISTINCT, INTO, GROUP BY, HAVING.
    EXPECT_EQ(print(SELECT(a).FROM(t).DISTINCT().GROUP_BY(1).HAVING(a > long_t(1))),
              "SELECT a\nFROM t");
    EXPECT_EQ(print(bool_t(true)), "TRUE");
    tm when{};
    tovi::string2tm("2004-02-29 13:05:00", when);
    EXPECT_EQ(print(date_t(when)), "'2004-02-29 13:05:00'");
}

TEST(SqlOutput, Parentheses) {
    table_t t("t");
    field_t a = t.FIELD("a"), b = t.FIELD("b"), c = t.FIELD("c");
    EXPECT_EQ(print((a == long_t(1)) && ((b == long_t(2)) || (c == long_t(3)))),
              "a = 1 AND (b = 2 OR c = 3)");
    EXPECT_EQ(print((a == long_t(1)) || ((b == long_t(2)) && (c == long_t(3)))),
              "a = 1 OR b = 2 AND c = 3");
    EXPECT_EQ(print(((a == long_t(1)) || (b == long_t(2))) && (c == long_t(3))),
              "(a = 1 OR b = 2) AND c = 3");
    // NOT keeps the parentheses of an AND or OR under it: without them the text
    // would mean (NOT a = 1) AND b = 2.
    EXPECT_EQ(print(!((a == long_t(1)) && (b == long_t(2)))), " NOT (a = 1 AND b = 2)");
    EXPECT_EQ(print(SELECT(a).FROM(t).WHERE(!(a == long_t(1)))),
              "SELECT a\nFROM t\nWHERE  NOT a = 1");
    EXPECT_EQ(print((a == long_t(1)) && !(b == long_t(2))), "a = 1 AND  NOT b = 2");
    EXPECT_EQ(print(bool_expr_t(a, operation_t(op_not_like), string_value_t("x%"))),
              "a NOT LIKE 'x%'");
}

TEST(SqlOutput, StringLiteralsRoundTripThroughSqlite) {
    Db db;
    std::mt19937 rng = tovi_test::seeded_engine();
    std::vector<std::string> samples = {
        "O'Brien", "'", "''", "'; DROP TABLE t; --", "a'b'c'", "\\'", "x\\", "plain", ""};
    for (int i = 0; i < 200; ++i) {
        std::string s(rng() % 12, ' ');
        for (char& ch : s) ch = "'\\;-x \"\n"[rng() % 8];
        samples.push_back(s);
    }
    for (const std::string& s : samples) {
        const std::string statement = "SELECT " + print(string_value_t(s));
        const auto rows = db.rows(statement);
        ASSERT_EQ(rows.size(), 1u) << statement;
        ASSERT_EQ(rows[0].size(), 1u) << statement;  // the literal did not end early
        EXPECT_EQ(rows[0][0], s);
    }
}

namespace {

// A random condition over columns a, b, c, and its value for one row.
struct condition {
    bool_expr_t expr;
    std::function<bool(const int*)> eval;
};

// With `constants`, some leaves are TRUE or FALSE (for a folding visitor).
condition random_condition(std::mt19937& rng, const table_t& t, int depth, bool constants = false) {
    static const char* names[] = {"a", "b", "c"};
    const int kind = depth <= 0 ? 0 : static_cast<int>(rng() % 4);
    if (kind == 0 && constants && rng() % 3 == 0) {
        const bool value = rng() % 2 == 0;
        condition c;
        c.expr = bool_expr_t(bool_t(value));
        c.eval = [value](const int*) { return value; };
        return c;
    }
    if (kind == 0) {
        const int column = static_cast<int>(rng() % 3);
        const bool against_column = rng() % 3 == 0;
        const int other = static_cast<int>(rng() % 3);
        const int constant = static_cast<int>(rng() % 3);
        static const operator_t ops[] = {op_eq, op_ne, op_lt, op_gt, op_le, op_ge};
        const operator_t op = ops[rng() % 6];
        field_t f = t.FIELD(names[column]);
        expr_t right = against_column ? expr_t(t.FIELD(names[other])) : expr_t(long_t(constant));
        condition c;
        c.expr = bool_expr_t(f, operation_t(op), right);
        c.eval = [=](const int* row) {
            const int x = row[column], y = against_column ? row[other] : constant;
            switch (op) {
                case op_eq:
                    return x == y;
                case op_ne:
                    return x != y;
                case op_lt:
                    return x < y;
                case op_gt:
                    return x > y;
                case op_le:
                    return x <= y;
                default:
                    return x >= y;
            }
        };
        return c;
    }
    condition left = random_condition(rng, t, depth - 1, constants);
    if (kind == 3) {
        condition c;
        c.expr = !left.expr;
        c.eval = [l = left.eval](const int* row) { return !l(row); };
        return c;
    }
    condition right = random_condition(rng, t, depth - 1, constants);
    condition c;
    if (kind == 1) {
        c.expr = left.expr && right.expr;
        c.eval = [l = left.eval, r = right.eval](const int* row) { return l(row) && r(row); };
    } else {
        c.expr = left.expr || right.expr;
        c.eval = [l = left.eval, r = right.eval](const int* row) { return l(row) || r(row); };
    }
    return c;
}

// Table t(a, b, c) in `db` with every row of values 0 to 2; the rows, also in memory.
std::vector<std::array<int, 3>> every_row(Db& db) {
    db.exec("CREATE TABLE t(a INTEGER, b INTEGER, c INTEGER)");
    std::vector<std::array<int, 3>> all;
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            for (int c = 0; c < 3; ++c) {
                all.push_back({a, b, c});
                db.exec("INSERT INTO t VALUES(" + std::to_string(a) + "," + std::to_string(b) +
                        "," + std::to_string(c) + ")");
            }
    return all;
}

}  // namespace

TEST(SqlOutput, PrecedenceMatchesEvaluationInSqlite) {
    Db db;
    const std::vector<std::array<int, 3>> all = every_row(db);
    table_t t("t");
    expr_list_t columns;
    columns + t.FIELD("a") + t.FIELD("b") + t.FIELD("c");
    std::mt19937 rng = tovi_test::seeded_engine();
    for (int iteration = 0; iteration < 400; ++iteration) {
        condition cond = random_condition(rng, t, 1 + iteration % 5);
        const std::string statement = print(SELECT(columns).FROM(t).WHERE(cond.expr));
        std::set<std::string> expected, got;
        for (const auto& row : all)
            if (cond.eval(row.data()))
                expected.insert(std::to_string(row[0]) + std::to_string(row[1]) +
                                std::to_string(row[2]));
        for (const auto& row : db.rows(statement)) got.insert(row[0] + row[1] + row[2]);
        ASSERT_EQ(got, expected) << statement;
    }
}

namespace {
// Folds the constants TRUE and FALSE away through the visitor's hooks, as a
// dialect's folding visitor does.
class folding_visitor : public output_visitor_t {
public:
    void visit_bool_t(impl::bool_t& n) override { state_->truth = n.value ? 2 : 1; }
    int truth() const { return state_->truth; }
};
}  // namespace

TEST(SqlOutput, FoldedConditionsKeepTheirMeaningInSqlite) {
    Db db;
    const std::vector<std::array<int, 3>> all = every_row(db);
    table_t t("t");
    // The case the issue showed: (TRUE AND (a=1 OR b=2)) AND c=3.
    {
        folding_visitor v;
        bool_expr_t e = (bool_expr_t(bool_t(true)) &&
                         ((t.FIELD("a") == long_t(1)) || (t.FIELD("b") == long_t(2)))) &&
                        (t.FIELD("c") == long_t(3));
        e.accept(v);
        EXPECT_EQ(v.get_text(), "(a = 1 OR b = 2) AND c = 3");
    }
    std::mt19937 rng = tovi_test::seeded_engine();
    for (int iteration = 0; iteration < 600; ++iteration) {
        condition cond = random_condition(rng, t, 1 + iteration % 5, true);
        folding_visitor v;
        cond.expr.accept(v);
        std::set<std::string> expected, got;
        for (const auto& row : all)
            if (cond.eval(row.data()))
                expected.insert(std::to_string(row[0]) + std::to_string(row[1]) +
                                std::to_string(row[2]));
        std::string where = v.get_text();
        if (v.truth() == 2) where = "1";
        if (v.truth() == 1) where = "0";
        const std::string statement = "SELECT a, b, c FROM t WHERE " + where;
        for (const auto& row : db.rows(statement)) got.insert(row[0] + row[1] + row[2]);
        ASSERT_EQ(got, expected) << statement;
    }
}

TEST(SqlOutput, DateLiteralsReadBackAsTheSameInstant) {
    Db db;
    db.exec("CREATE TABLE d(w TEXT)");
    table_t d("d");
    expr_list_t values;
    tm when{};
    tovi::string2tm("1999-12-31 23:59:58", when);
    values + date_t(when);
    db.exec(print(insert_t(d, values, expr_list_t(expr_t()))));
    const auto rows = db.rows("SELECT w, datetime(w) FROM d");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], "1999-12-31 23:59:58");  // SQLite reads it as a date
    tm back{};
    tovi::string2tm(rows[0][0], back);
    EXPECT_EQ(tovi::tm2string(back), tovi::tm2string(when));
    EXPECT_EQ(db.rows("SELECT COUNT(*) FROM d WHERE " + print(d.FIELD("w") == date_t(when)))[0][0],
              "1");
}
