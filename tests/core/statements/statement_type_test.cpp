// Grouping of statement kinds into data- and schema-changing statements.
#include <tovi/statement_type.hpp>

#include <gtest/gtest.h>

TEST(StatementType, DmlAndDdlGroups) {
    for (int kind = 0; kind <= 11; ++kind) {
        const auto t = static_cast<tovi::statement_type>(kind);
        EXPECT_EQ(tovi::is_dml(t), kind >= 2 && kind <= 4) << kind;
        EXPECT_EQ(tovi::is_ddl(t), kind == 5 || kind == 7 || kind == 8) << kind;
    }
    EXPECT_EQ(tovi::stmt_set_transaction, 11);
    EXPECT_EQ(tovi::stmt_create_database, 6);
}
