// The default traversal and the forwarding decorator.
#include <tovi/sql.hpp>

namespace sql {

visitor_t::~visitor_t() = default;

void default_visitor_t::visit_string_t(impl::string_t&) {}
void default_visitor_t::visit_string_val_t(impl::string_val_t&) {}
void default_visitor_t::visit_long_t(impl::long_t&) {}
void default_visitor_t::visit_date_t(impl::date_t&) {}
void default_visitor_t::visit_bool_t(impl::bool_t&) {}
void default_visitor_t::visit_tovi_value_t(impl::tovi_value_t&) {}
void default_visitor_t::visit_function_t(impl::function_t& n) {
    n.arguments.accept(*this);
}
void default_visitor_t::visit_from_query_t(impl::from_query_t& n) {
    n.query.accept(*this);
}
void default_visitor_t::visit_field_t(impl::field_t& n) {
    n.default_value.accept(*this);
}

void default_visitor_t::visit_expr_list_t(impl::expr_list_t& n) {
    if (!n.list.empty()) n.list.front().accept(*this);
}

void default_visitor_t::visit_node_single_t(impl::node_single_t& n) {
    n.operand.accept(*this);
}

void default_visitor_t::visit_node_dual_t(impl::node_dual_t& n) {
    n.left.accept(*this);
    n.right.accept(*this);
}

void default_visitor_t::visit_cond_join_t(impl::cond_join_t&) {}
void default_visitor_t::visit_operation_t(impl::operation_t&) {}
void default_visitor_t::visit_result_t(impl::result_t&) {}

void default_visitor_t::visit_select_t(impl::select_t& n) {
    n.fields.accept(*this);
    n.from.accept(*this);
    n.group_by.accept(*this);
    n.where.accept(*this);
    n.having.accept(*this);
}

void default_visitor_t::visit_insert_t(impl::insert_t& n) {
    n.table.accept(*this);
    n.fields.accept(*this);
    n.values.accept(*this);
}

void default_visitor_t::visit_delete_t(impl::delete_t& n) {
    n.table.accept(*this);
    n.where.accept(*this);
}

void default_visitor_t::visit_update_t(impl::update_t& n) {
    n.table.accept(*this);
    n.fields.accept(*this);
    n.values.accept(*this);
    n.where.accept(*this);
}

void default_visitor_t::visit_table_t(impl::table_t& n) {
    n.fields.accept(*this);
    n.index_list.accept(*this);
}

void default_visitor_t::visit_index_t(impl::index_t&) {}
void default_visitor_t::visit_constraint_t(impl::constraint_t&) {}

void default_visitor_t::visit_schema(impl::schema& n) {
    for (auto& entry : n.tables) entry.second.accept(*this);
}

void default_visitor_t::visit_database(impl::database& n) {
    for (auto& entry : n.schemas) entry.second.accept(*this);
    for (auto& entry : n.relationships) entry.second.accept(*this);
}

void default_visitor_t::visit_drop_stmt(impl::drop_stmt& n) {
    n.object.accept(*this);
}
void default_visitor_t::visit_create_stmt(impl::create_stmt& n) {
    n.object.accept(*this);
}

#define TOVI_FORWARD(slot, node)                 \
    void VisitorDecorator::slot(impl::node& n) { \
        decorated_->slot(n);                     \
    }
TOVI_FORWARD(visit_string_t, string_t)
TOVI_FORWARD(visit_string_val_t, string_val_t)
TOVI_FORWARD(visit_long_t, long_t)
TOVI_FORWARD(visit_date_t, date_t)
TOVI_FORWARD(visit_bool_t, bool_t)
TOVI_FORWARD(visit_tovi_value_t, tovi_value_t)
TOVI_FORWARD(visit_function_t, function_t)
TOVI_FORWARD(visit_from_query_t, from_query_t)
TOVI_FORWARD(visit_field_t, field_t)
TOVI_FORWARD(visit_expr_list_t, expr_list_t)
TOVI_FORWARD(visit_node_single_t, node_single_t)
TOVI_FORWARD(visit_node_dual_t, node_dual_t)
TOVI_FORWARD(visit_cond_join_t, cond_join_t)
TOVI_FORWARD(visit_operation_t, operation_t)
TOVI_FORWARD(visit_result_t, result_t)
TOVI_FORWARD(visit_select_t, select_t)
TOVI_FORWARD(visit_insert_t, insert_t)
TOVI_FORWARD(visit_delete_t, delete_t)
TOVI_FORWARD(visit_update_t, update_t)
TOVI_FORWARD(visit_table_t, table_t)
TOVI_FORWARD(visit_index_t, index_t)
TOVI_FORWARD(visit_constraint_t, constraint_t)
TOVI_FORWARD(visit_schema, schema)
TOVI_FORWARD(visit_database, database)
TOVI_FORWARD(visit_drop_stmt, drop_stmt)
TOVI_FORWARD(visit_create_stmt, create_stmt)
#undef TOVI_FORWARD

}  // namespace sql
