// The bodies behind the expression handles, as visitors see them. Each body's
// accept() calls exactly one visit slot with itself.
#ifndef TOVI_SQL_NODES_HPP
#define TOVI_SQL_NODES_HPP

#include <ctime>
#include <string>
#include <vector>

#include <tovi/config.hpp>
#include <tovi/sql/expr.hpp>

namespace sql::impl {

struct TOVI_API long_t : expr_t::impl_t {
    explicit long_t(long v) : value(v) {}
    void accept(visitor_t& v) override;
    long value;
};

struct TOVI_API string_t : expr_t::impl_t {
    explicit string_t(const std::string& s) : value(s) {}
    void accept(visitor_t& v) override;
    std::string value;
};

struct TOVI_API string_val_t : expr_t::impl_t {
    explicit string_val_t(const std::string& s) : value(s) {}
    void accept(visitor_t& v) override;
    std::string value;
};

struct TOVI_API bool_t : expr_t::impl_t {
    explicit bool_t(bool v) : value(v ? 1 : 0) {}
    void accept(visitor_t& v) override;
    unsigned char value;
};

struct TOVI_API date_t : expr_t::impl_t {
    explicit date_t(const tm& t) : value(t) {}
    void accept(visitor_t& v) override;
    tm value;
};

struct TOVI_API tovi_value_t : expr_t::impl_t {
    explicit tovi_value_t(tovi::value_t& v) : value(&v) {}
    void accept(visitor_t& v) override;
    tovi::value_t* value;
};

struct TOVI_API operation_t : expr_t::impl_t {
    explicit operation_t(operator_t o) : op(o) {}
    void accept(visitor_t& v) override;
    operator_t get_operator() const override { return op; }
    operator_t op;
};

struct TOVI_API expr_list_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    std::vector<expr_t> list;
};

struct TOVI_API node_dual_t : expr_t::impl_t {
    node_dual_t(const expr_t& l, const expr_t& r, const expr_t& o)
        : left(l), right(r), operation(o) {}
    void accept(visitor_t& v) override;
    operator_t get_operator() const override;
    expr_t left;
    expr_t right;
    expr_t operation;
};

struct TOVI_API node_single_t : expr_t::impl_t {
    node_single_t(const expr_t& e, const expr_t& o) : operand(e), operation(o) {}
    void accept(visitor_t& v) override;
    operator_t get_operator() const override;
    expr_t operand;
    expr_t operation;
};

// name [@qualifier] [(arguments)]
struct TOVI_API function_t : expr_t::impl_t {
    function_t(const expr_t& n, const sql::string_t& q, const expr_t& a)
        : name(n), qualifier(q), arguments(a) {}
    void accept(visitor_t& v) override;
    expr_t name;
    sql::string_t qualifier;
    expr_t arguments;
};

// A query in a FROM list, with its alias.
struct TOVI_API from_query_t : expr_t::impl_t {
    from_query_t(const expr_t& q, const sql::string_t& a) : query(q), alias(a) {}
    void accept(visitor_t& v) override;
    expr_t query;
    sql::string_t alias;
};

struct TOVI_API cond_join_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
};

}  // namespace sql::impl

#endif
