/// @file
/// The bodies behind the expression handles, as visitors see them. Each body's
/// accept() calls exactly one visit slot with itself.
#ifndef TOVI_SQL_NODES_HPP
#define TOVI_SQL_NODES_HPP

#include <ctime>
#include <string>
#include <vector>

#include <tovi/config.hpp>
#include <tovi/sql/expr.hpp>

namespace sql::impl {

/// An integer literal.
struct TOVI_API long_t : expr_t::impl_t {
    explicit long_t(long v) : value(v) {}  ///< holds `v`
    void accept(visitor_t& v) override;
    long value;  ///< the literal
};

/// An identifier.
struct TOVI_API string_t : expr_t::impl_t {
    explicit string_t(const std::string& s) : value(s) {}  ///< holds `s`
    void accept(visitor_t& v) override;
    std::string value;  ///< the literal
};

/// A string literal.
struct TOVI_API string_val_t : expr_t::impl_t {
    explicit string_val_t(const std::string& s) : value(s) {}  ///< holds `s`
    void accept(visitor_t& v) override;
    std::string value;  ///< the literal
};

/// A boolean literal.
struct TOVI_API bool_t : expr_t::impl_t {
    explicit bool_t(bool v) : value(v ? 1 : 0) {}  ///< holds `v` as 1 or 0
    void accept(visitor_t& v) override;
    unsigned char value;  ///< the literal
};

/// A date and time literal.
struct TOVI_API date_t : expr_t::impl_t {
    explicit date_t(const tm& t) : value(t) {}  ///< holds `t`
    void accept(visitor_t& v) override;
    tm value;  ///< the literal
};

/// An application value, by reference.
struct TOVI_API tovi_value_t : expr_t::impl_t {
    explicit tovi_value_t(tovi::value_t& v) : value(&v) {}  ///< refers to `v`
    void accept(visitor_t& v) override;
    tovi::value_t* value;  ///< the application value (not owned)
};

/// An operator.
struct TOVI_API operation_t : expr_t::impl_t {
    explicit operation_t(operator_t o) : op(o) {}  ///< holds `o`
    void accept(visitor_t& v) override;
    operator_t get_operator() const override { return op; }  ///< op
    operator_t op;                                           ///< the operator
};

/// A list of expressions.
struct TOVI_API expr_list_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    std::vector<expr_t> list;  ///< the elements, in order
};

/// A binary operation: left, operation, right.
struct TOVI_API node_dual_t : expr_t::impl_t {
    /// Shares `l`, `r` and the operation node `o`.
    node_dual_t(const expr_t& l, const expr_t& r, const expr_t& o)
        : left(l), right(r), operation(o) {}
    void accept(visitor_t& v) override;
    operator_t get_operator() const override;  ///< the operation node's operator
    expr_t left;                               ///< the left operand
    expr_t right;                              ///< the right operand
    expr_t operation;                          ///< an operation_t node
};

/// A unary operation: operation, operand.
struct TOVI_API node_single_t : expr_t::impl_t {
    /// Shares `e` and the operation node `o`.
    node_single_t(const expr_t& e, const expr_t& o) : operand(e), operation(o) {}
    void accept(visitor_t& v) override;
    operator_t get_operator() const override;  ///< the operation node's operator
    expr_t operand;                            ///< the operand
    expr_t operation;                          ///< an operation_t node
};

/// A function call: `name [\@qualifier] [(arguments)]`.
struct TOVI_API function_t : expr_t::impl_t {
    /// Shares the name `n`, qualifier `q` (may be empty) and arguments `a` (may be empty).
    function_t(const expr_t& n, const sql::string_t& q, const expr_t& a)
        : name(n), qualifier(q), arguments(a) {}
    void accept(visitor_t& v) override;
    expr_t name;              ///< the function's name
    sql::string_t qualifier;  ///< printed after an "@", when present
    expr_t arguments;         ///< an expression list, when present
};

/// A query in a FROM list, with its alias.
struct TOVI_API from_query_t : expr_t::impl_t {
    /// Shares the query `q` and the alias `a`.
    from_query_t(const expr_t& q, const sql::string_t& a) : query(q), alias(a) {}
    void accept(visitor_t& v) override;
    expr_t query;         ///< a select_t
    sql::string_t alias;  ///< its name in the FROM list
};

/// A join condition node; it carries no data.
struct TOVI_API cond_join_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
};

}  // namespace sql::impl

#endif
