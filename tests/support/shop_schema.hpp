// A schema for script tests, built with the SQL builder.
#ifndef TOVI_TESTS_SUPPORT_SHOP_SCHEMA_HPP
#define TOVI_TESTS_SUPPORT_SHOP_SCHEMA_HPP

#include <tovi/tovi.hpp>

namespace tovi_test {

// Three tables with primary keys, an index and two relationships (one with ON
// DELETE CASCADE), declared children first: not in dependency order.
inline sql::Database shop_schema() {
    sql::Database db("shop");
    sql::table_t lines = db.SCHEMA("s").TABLE("LINES");
    lines.FIELD("ID").TYPE("INTEGER").NOT_NULL(true);
    lines.FIELD("ORDER_ID").TYPE("INTEGER");
    lines.PRIMARY_KEY(lines.INDEX("PK_LINES").FIELD(lines.FIELD("ID")));
    sql::table_t orders = db.SCHEMA("s").TABLE("ORDERS");
    orders.FIELD("ID").TYPE("INTEGER").NOT_NULL(true);
    orders.FIELD("CUSTOMER_ID").TYPE("INTEGER");
    orders.PRIMARY_KEY(orders.INDEX("PK_ORDERS").FIELD(orders.FIELD("ID")));
    sql::table_t customers = db.SCHEMA("s").TABLE("CUSTOMERS");
    customers.FIELD("ID").TYPE("INTEGER").NOT_NULL(true);
    customers.FIELD("NAME").TYPE("VARCHAR").SIZE(40);
    customers.PRIMARY_KEY(customers.INDEX("PK_CUSTOMERS").FIELD(customers.FIELD("ID")));
    customers.INDEX("IX_CUSTOMER_NAME").FIELD(customers.FIELD("NAME"));
    db += sql::Relationship("FK_LINE_ORDER", db)
              .FOREIGN_KEY(lines.FIELD("ORDER_ID"))
              .REFERENCES(orders.FIELD("ID"))
              .ON_DELETE(sql::impl::constraint_t::cascade);
    db += sql::Relationship("FK_ORDER_CUSTOMER", db)
              .FOREIGN_KEY(orders.FIELD("CUSTOMER_ID"))
              .REFERENCES(customers.FIELD("ID"));
    return db;
}

}  // namespace tovi_test

#endif
