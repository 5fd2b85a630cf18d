// Scripts on SQLite: the order the texts reach SQLite in, a failure in the
// middle, and scripts abandoned on the way.
#include "sqlite_fixture.hpp"
#include "support/shop_schema.hpp"

#include <algorithm>

namespace {

using SqliteScript = tovi_test::sqlite_fixture;

// Where the first text starting with `head` stands among what SQLite ran.
std::ptrdiff_t position_of(const std::vector<std::string>& ran, const std::string& head) {
    auto it = std::find_if(ran.begin(), ran.end(),
                           [&](const std::string& s) { return s.rfind(head, 0) == 0; });
    return it == ran.end() ? -1 : it - ran.begin();
}

// Guards: a script's tables created before the ones they reference.
TEST_F(SqliteScript, TextsReachSqliteInDependencyOrder) {
    sql::Database db = tovi_test::shop_schema();
    tovi_test::sqlite_spy::instance().clear();
    tovi::transaction tx(*ds);
    sql::script create(tx);
    create.parse(sql::Create(db));
    create.execute();
    tx.commit();
    const std::vector<std::string>& ran = tovi_test::sqlite_spy::instance().statements;
    const auto customers = position_of(ran, "CREATE TABLE CUSTOMERS");
    const auto orders = position_of(ran, "CREATE TABLE ORDERS");
    const auto lines = position_of(ran, "CREATE TABLE LINES");
    ASSERT_GE(customers, 0);
    ASSERT_GE(orders, 0);
    ASSERT_GE(lines, 0);
    EXPECT_GT(position_of(ran, "CREATE INDEX IX_CUSTOMER_NAME"), customers);
    for (const char* t :
         {"CREATE TRIGGER FK_ORDER_CUSTOMER_INS", "CREATE TRIGGER FK_ORDER_CUSTOMER_UPD",
          "CREATE TRIGGER FK_ORDER_CUSTOMER_DEL"}) {
        EXPECT_GT(position_of(ran, t), customers) << t;
        EXPECT_GT(position_of(ran, t), orders) << t;
    }
    for (const char* t : {"CREATE TRIGGER FK_LINE_ORDER_INS", "CREATE TRIGGER FK_LINE_ORDER_UPD",
                          "CREATE TRIGGER FK_LINE_ORDER_DEL"}) {
        EXPECT_GT(position_of(ran, t), orders) << t;
        EXPECT_GT(position_of(ran, t), lines) << t;
    }
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sqlite_master WHERE type = 'trigger'"), 6);

    // Dropping: the relationships' triggers go (no "DROP CONSTRAINT" reaches SQLite).
    tovi_test::sqlite_spy::instance().clear();
    sql::script drop(tx);
    drop.parse(sql::Drop(db));
    drop.execute();
    EXPECT_EQ(position_of(tovi_test::sqlite_spy::instance().statements, "ALTER TABLE"), -1);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sqlite_master"), 0);
}

// Guards: a script running on past a failed statement.
TEST_F(SqliteScript, FailureInTheMiddleStopsTheScript) {
    exec("CREATE TABLE ORDERS(X INTEGER)");
    sql::Database db = tovi_test::shop_schema();
    tovi::transaction tx(*ds);
    sql::script create(tx);
    create.parse(sql::Create(db));
    try {
        create.execute();
        FAIL() << "an existing table went unnoticed";
    } catch (const tovi::schema_obj_already_exists& e) {
        EXPECT_NE(e.get_error_text().find("[Statement: 'CREATE TABLE ORDERS"), std::string::npos)
            << e.get_error_text();
    }
    // What came before ran; nothing after the failing text did.
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sqlite_master WHERE name = 'CUSTOMERS'"), 1);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM sqlite_master WHERE type IN ('trigger', 'index') "
                     "AND name NOT LIKE 'sqlite_%'"),
              0);
}

// Guards: a script abandoned by an exception leaving its transaction or tables half
// made.
TEST_F(SqliteScript, AbandonedScriptsLeaveNothingBehind) {
    sql::Database db = tovi_test::shop_schema();
    {
        tovi::transaction tx(*ds);
        sql::script never_run(tx);
        never_run.parse(sql::Create(db));
        sql::script twice(tx);
        twice.parse(sql::Create(db));
        twice.parse(sql::Drop(db));  // the first driver script goes first
        sql::script rolled_back(tx);
        rolled_back.parse(sql::Create(db));
        rolled_back.execute();
        tx.rollback();
    }
    // No statement of the scripts is still in use: a fresh statement's failure
    // shows only itself in use.
    tovi::statement st(*ds, 1);
    const std::string text = error_of([&] { st.execute("SELECT * FROM nowhere"); });
    EXPECT_NE(text.find("Statements in use: 1;"), std::string::npos) << text;
    // Before parse, and after a failed parse, a script has nothing to run.
    tovi::transaction tx(*ds);
    sql::script empty(tx);
    EXPECT_THROW(empty.execute(), tovi::bad_operation);
}

}  // namespace
