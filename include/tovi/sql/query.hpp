// Query statements of the SQL builder: SELECT (with its base recordset_t),
// INSERT, UPDATE, DELETE, and result_t, a value set that is also a data-aware
// object of the core. Modifiers change the shared body and return the same
// handle, so calls chain: SELECT(list).FROM(t).WHERE(t.FIELD("a") == long_t(1)).
#ifndef TOVI_SQL_QUERY_HPP
#define TOVI_SQL_QUERY_HPP

#include <tovi/binding.hpp>
#include <tovi/config.hpp>
#include <tovi/recordset.hpp>
#include <tovi/sql/expr.hpp>
#include <tovi/sql/schema.hpp>

namespace sql {

namespace impl {

struct TOVI_API select_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    bool distinct = false;
    sql::expr_list_t fields;
    sql::expr_list_t into;
    sql::expr_list_t from;
    sql::expr_list_t group_by;
    bool_expr_t where;
    bool_expr_t having;
};

struct TOVI_API insert_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    expr_t table;
    sql::expr_list_t fields;
    expr_t values;  // a value list or a query
};

struct TOVI_API update_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    expr_t table;
    sql::expr_list_t fields;
    sql::expr_list_t values;
    bool_expr_t where;
};

struct TOVI_API delete_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    expr_t table;
    bool_expr_t where;
};

struct TOVI_API result_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
};

}  // namespace impl

class TOVI_API recordset_t : public expr_t {
public:
    recordset_t();  // a new select body
    explicit recordset_t(impl_t* body) : expr_t(body) {}
    recordset_t(const expr_t& e) : expr_t(e) {}
};

class TOVI_API select_t : public recordset_t {
public:
    select_t() = default;
    select_t(const expr_t& e) : recordset_t(e) {}
    select_t(const expr_list_t& fields, const expr_list_t& from, const bool_expr_t& where);

    const select_t& DISTINCT(bool flag = true) const;
    const select_t& FIELDS(const expr_list_t& fields) const;
    // The select list becomes this one column.
    const select_t& FIELD(const field_t& field) const;
    const select_t& INTO(const expr_list_t& targets) const;
    const select_t& INTO(const tovi_value_t& target) const;
    // FROM appends.
    const select_t& FROM(const table_t& table) const;
    const select_t& FROM(const expr_list_t& tables) const;
    const select_t& FROM(const select_t& query, const string_t& alias) const;
    const select_t& WHERE(const bool_expr_t& condition) const;
    const select_t& HAVING(const bool_expr_t& condition) const;
    const select_t& GROUP_BY(const expr_list_t& list) const;
    const select_t& GROUP_BY(const field_t& field) const;
    const select_t& GROUP_BY(int position) const;
    const select_t& noGROUP() const;
    // Accepted for readability; the join condition is not kept.
    const select_t& ON(const bool_expr_t& condition) const;
    const select_t& ON(const field_t& field) const;

    impl::select_t& body() const;
};

TOVI_API select_t SELECT(const expr_list_t& fields);
TOVI_API select_t SELECT(const field_t& field);

class TOVI_API insert_t : public expr_t {
public:
    insert_t() = default;
    insert_t(const expr_t& e) : expr_t(e) {}
    insert_t(const table_t& table, const expr_list_t& values, const expr_list_t& fields);
    insert_t(const table_t& table, const recordset_t& query, const expr_list_t& fields);
};

class TOVI_API update_t : public expr_t {
public:
    update_t() = default;
    update_t(const expr_t& e) : expr_t(e) {}
    update_t(const table_t& table, const expr_list_t& fields, const expr_list_t& values,
             const bool_expr_t& where);
};

class TOVI_API delete_t : public expr_t {
public:
    delete_t() = default;
    delete_t(const expr_t& e) : expr_t(e) {}
    delete_t(const table_t& table, const bool_expr_t& where);
};

// A value set, and a data-aware object with its own bind (direction in) and
// define (direction out) factories. It yields no rows.
class TOVI_API result_t : public tovi::recordset_t, public expr_t {
public:
    result_t();
    result_t(const result_t& other);
    result_t(const expr_t& e);
    explicit result_t(impl_t* body);
    result_t& operator=(const result_t& other);
    ~result_t() override;

    bool next() override { return false; }
    result_t operator&&(const result_t& other) const;
    result_t operator||(const result_t& other) const;
    result_t& operator&=(const result_t& other);
    result_t& operator|=(const result_t& other);

    tovi::impl::value_factory& get_bind() override { return bind_; }
    tovi::impl::value_factory& get_define() override { return define_; }

private:
    tovi::impl::value_factory bind_;
    tovi::impl::value_factory define_;
};

}  // namespace sql

#endif
