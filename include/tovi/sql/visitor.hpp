/// @file
/// Visitors over SQL-builder trees: visitor_t with its 26 slots (their order is
/// part of the interface dialect modules compile against), default_visitor_t with
/// the default traversal and the output callback, and VisitorDecorator, which
/// forwards every slot to another visitor.
#ifndef TOVI_SQL_VISITOR_HPP
#define TOVI_SQL_VISITOR_HPP

#include <string>

#include <boost/function.hpp>

#include <tovi/config.hpp>
#include <tovi/sql/nodes.hpp>
#include <tovi/sql/query.hpp>
#include <tovi/sql/schema.hpp>

namespace sql {

/// Receives each finished statement text.
using output_callback = boost::function1<void, const std::string&>;

/// The visitor interface over SQL-builder trees: dialect printers derive from it.
class TOVI_API visitor_t {
public:
    visitor_t() = default;
    /// Visitors hold no state of their own.
    ///@{
    visitor_t(const visitor_t&) = default;
    visitor_t& operator=(const visitor_t&) = default;
    ///@}
    virtual ~visitor_t();

    /// One slot per node kind, called by the node's accept(); the slot decides
    /// whether and in which order the node's children are visited.
    ///@{
    virtual void visit_string_t(impl::string_t& n) = 0;
    virtual void visit_string_val_t(impl::string_val_t& n) = 0;
    virtual void visit_long_t(impl::long_t& n) = 0;
    virtual void visit_date_t(impl::date_t& n) = 0;
    virtual void visit_bool_t(impl::bool_t& n) = 0;
    virtual void visit_tovi_value_t(impl::tovi_value_t& n) = 0;
    virtual void visit_function_t(impl::function_t& n) = 0;
    virtual void visit_from_query_t(impl::from_query_t& n) = 0;
    virtual void visit_field_t(impl::field_t& n) = 0;
    virtual void visit_expr_list_t(impl::expr_list_t& n) = 0;
    virtual void visit_node_single_t(impl::node_single_t& n) = 0;
    virtual void visit_node_dual_t(impl::node_dual_t& n) = 0;
    virtual void visit_cond_join_t(impl::cond_join_t& n) = 0;
    virtual void visit_operation_t(impl::operation_t& n) = 0;
    virtual void visit_result_t(impl::result_t& n) = 0;
    virtual void visit_select_t(impl::select_t& n) = 0;
    virtual void visit_insert_t(impl::insert_t& n) = 0;
    virtual void visit_delete_t(impl::delete_t& n) = 0;
    virtual void visit_update_t(impl::update_t& n) = 0;
    virtual void visit_table_t(impl::table_t& n) = 0;
    virtual void visit_index_t(impl::index_t& n) = 0;
    virtual void visit_constraint_t(impl::constraint_t& n) = 0;
    virtual void visit_schema(impl::schema& n) = 0;
    virtual void visit_database(impl::database& n) = 0;
    virtual void visit_drop_stmt(impl::drop_stmt& n) = 0;
    virtual void visit_create_stmt(impl::create_stmt& n) = 0;
    ///@}
};

/// Default traversal: leaves do nothing; composite nodes visit their children
/// (an expression list only its first element; a table its fields and then its
/// indexes; a schema its tables; a database its schemas and then its
/// relationships).
class TOVI_API default_visitor_t : public visitor_t {
public:
    default_visitor_t() = default;
    /// Sends each finished statement text to `callback`.
    explicit default_visitor_t(const output_callback& callback) : callback_(callback) {}

    /// The default traversal of each node kind.
    ///@{
    void visit_string_t(impl::string_t& n) override;
    void visit_string_val_t(impl::string_val_t& n) override;
    void visit_long_t(impl::long_t& n) override;
    void visit_date_t(impl::date_t& n) override;
    void visit_bool_t(impl::bool_t& n) override;
    void visit_tovi_value_t(impl::tovi_value_t& n) override;
    void visit_function_t(impl::function_t& n) override;
    void visit_from_query_t(impl::from_query_t& n) override;
    void visit_field_t(impl::field_t& n) override;
    void visit_expr_list_t(impl::expr_list_t& n) override;
    void visit_node_single_t(impl::node_single_t& n) override;
    void visit_node_dual_t(impl::node_dual_t& n) override;
    void visit_cond_join_t(impl::cond_join_t& n) override;
    void visit_operation_t(impl::operation_t& n) override;
    void visit_result_t(impl::result_t& n) override;
    void visit_select_t(impl::select_t& n) override;
    void visit_insert_t(impl::insert_t& n) override;
    void visit_delete_t(impl::delete_t& n) override;
    void visit_update_t(impl::update_t& n) override;
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;
    void visit_constraint_t(impl::constraint_t& n) override;
    void visit_schema(impl::schema& n) override;
    void visit_database(impl::database& n) override;
    void visit_drop_stmt(impl::drop_stmt& n) override;
    void visit_create_stmt(impl::create_stmt& n) override;
    ///@}

    /// The callback that receives each finished statement text (may be empty).
    const output_callback& get_callback() const { return callback_; }
    /// Replaces the callback; later statements go to `callback`.
    void set_callback(const output_callback& callback) { callback_ = callback; }

protected:
    output_callback callback_;  ///< receives each finished statement text
};

/// Forwards every slot to the decorated visitor (not owned).
class TOVI_API VisitorDecorator : public visitor_t {
public:
    /// Forwards to `decorated`, which must outlive this decorator.
    explicit VisitorDecorator(visitor_t* decorated) : decorated_(decorated) {}

    /// Forwards the node to the decorated visitor's slot of the same kind.
    ///@{
    void visit_string_t(impl::string_t& n) override;
    void visit_string_val_t(impl::string_val_t& n) override;
    void visit_long_t(impl::long_t& n) override;
    void visit_date_t(impl::date_t& n) override;
    void visit_bool_t(impl::bool_t& n) override;
    void visit_tovi_value_t(impl::tovi_value_t& n) override;
    void visit_function_t(impl::function_t& n) override;
    void visit_from_query_t(impl::from_query_t& n) override;
    void visit_field_t(impl::field_t& n) override;
    void visit_expr_list_t(impl::expr_list_t& n) override;
    void visit_node_single_t(impl::node_single_t& n) override;
    void visit_node_dual_t(impl::node_dual_t& n) override;
    void visit_cond_join_t(impl::cond_join_t& n) override;
    void visit_operation_t(impl::operation_t& n) override;
    void visit_result_t(impl::result_t& n) override;
    void visit_select_t(impl::select_t& n) override;
    void visit_insert_t(impl::insert_t& n) override;
    void visit_delete_t(impl::delete_t& n) override;
    void visit_update_t(impl::update_t& n) override;
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;
    void visit_constraint_t(impl::constraint_t& n) override;
    void visit_schema(impl::schema& n) override;
    void visit_database(impl::database& n) override;
    void visit_drop_stmt(impl::drop_stmt& n) override;
    void visit_create_stmt(impl::create_stmt& n) override;
    ///@}

protected:
    visitor_t* decorated_;  ///< not owned
};

}  // namespace sql

#endif
