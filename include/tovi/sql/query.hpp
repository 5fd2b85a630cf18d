/// @file
/// Query statements of the SQL builder: SELECT (with its base recordset_t),
/// INSERT, UPDATE, DELETE, and result_t, a value set that is also a data-aware
/// object of the core. Modifiers change the shared body and return the same
/// handle, so calls chain: SELECT(list).FROM(t).WHERE(t.FIELD("a") == long_t(1)).
#ifndef TOVI_SQL_QUERY_HPP
#define TOVI_SQL_QUERY_HPP

#include <tovi/binding.hpp>
#include <tovi/config.hpp>
#include <tovi/recordset.hpp>
#include <tovi/sql/expr.hpp>
#include <tovi/sql/schema.hpp>

namespace sql {

namespace impl {

/// A SELECT.
struct TOVI_API select_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    bool distinct = false;      ///< SELECT DISTINCT
    sql::expr_list_t fields;    ///< the select list
    sql::expr_list_t into;      ///< application values the row is read into
    sql::expr_list_t from;      ///< tables and queries
    sql::expr_list_t group_by;  ///< columns or positions
    bool_expr_t where;          ///< the condition, when present
    bool_expr_t having;         ///< the group condition, when present
};

/// An INSERT.
struct TOVI_API insert_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    expr_t table;             ///< the target table
    sql::expr_list_t fields;  ///< the target columns; empty: all
    expr_t values;            ///< a value list or a query
};

/// An UPDATE.
struct TOVI_API update_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    expr_t table;             ///< the target table
    sql::expr_list_t fields;  ///< the columns to set
    sql::expr_list_t values;  ///< their new values, in the same order
    bool_expr_t where;        ///< the condition, when present
};

/// A DELETE.
struct TOVI_API delete_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    expr_t table;       ///< the target table
    bool_expr_t where;  ///< the condition, when present
};

/// A value set's body (it carries no data).
struct TOVI_API result_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
};

}  // namespace impl

/// Something that yields rows in SQL: the base of select_t.
class TOVI_API recordset_t : public expr_t {
public:
    recordset_t();  ///< a new select body
    /// Takes ownership of `body`.
    explicit recordset_t(impl_t* body) : expr_t(body) {}
    /// Views `e` as this kind; a node of another kind fails when used.
    recordset_t(const expr_t& e) : expr_t(e) {}
};

/// A SELECT statement. The modifiers change the shared body and return this handle.
class TOVI_API select_t : public recordset_t {
public:
    select_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    select_t(const expr_t& e) : recordset_t(e) {}
    /// SELECT fields FROM from [WHERE where].
    select_t(const expr_list_t& fields, const expr_list_t& from, const bool_expr_t& where);

    /// SELECT DISTINCT, or not.
    const select_t& DISTINCT(bool flag = true) const;
    /// The select list becomes `fields`.
    const select_t& FIELDS(const expr_list_t& fields) const;
    /// The select list becomes this one column.
    const select_t& FIELD(const field_t& field) const;
    /// The application values the row is read into (replacing earlier ones).
    ///@{
    const select_t& INTO(const expr_list_t& targets) const;
    const select_t& INTO(const tovi_value_t& target) const;
    ///@}
    /// FROM appends: a table, tables, or a query under an alias.
    ///@{
    const select_t& FROM(const table_t& table) const;
    const select_t& FROM(const expr_list_t& tables) const;
    const select_t& FROM(const select_t& query, const string_t& alias) const;
    ///@}
    /// The condition (replacing an earlier one; an empty one removes it).
    const select_t& WHERE(const bool_expr_t& condition) const;
    /// The group condition (replacing an earlier one).
    const select_t& HAVING(const bool_expr_t& condition) const;
    /// GROUP BY columns, one column or a select-list position (replacing earlier ones).
    ///@{
    const select_t& GROUP_BY(const expr_list_t& list) const;
    const select_t& GROUP_BY(const field_t& field) const;
    const select_t& GROUP_BY(int position) const;
    ///@}
    /// No GROUP BY.
    const select_t& noGROUP() const;
    /// Accepted for readability; the join condition is not kept.
    ///@{
    const select_t& ON(const bool_expr_t& condition) const;
    const select_t& ON(const field_t& field) const;
    ///@}

    /// The body; tovi::bad_operation for an absent or other node.
    impl::select_t& body() const;
};

/// A new SELECT of these columns.
///@{
TOVI_API select_t SELECT(const expr_list_t& fields);
TOVI_API select_t SELECT(const field_t& field);
///@}

/// An INSERT statement.
class TOVI_API insert_t : public expr_t {
public:
    insert_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    insert_t(const expr_t& e) : expr_t(e) {}
    /// INSERT INTO table [(fields)] VALUES (values); empty `fields`: all columns.
    insert_t(const table_t& table, const expr_list_t& values, const expr_list_t& fields);
    /// INSERT INTO table [(fields)] query.
    insert_t(const table_t& table, const recordset_t& query, const expr_list_t& fields);
};

/// An UPDATE statement.
class TOVI_API update_t : public expr_t {
public:
    update_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    update_t(const expr_t& e) : expr_t(e) {}
    /// UPDATE table SET field = value, ... [WHERE where].
    update_t(const table_t& table, const expr_list_t& fields, const expr_list_t& values,
             const bool_expr_t& where);
};

/// A DELETE statement.
class TOVI_API delete_t : public expr_t {
public:
    delete_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    delete_t(const expr_t& e) : expr_t(e) {}
    /// DELETE FROM table [WHERE where].
    delete_t(const table_t& table, const bool_expr_t& where);
};

/// A value set, and a data-aware object with its own bind (direction in) and
/// define (direction out) factories. It yields no rows.
class TOVI_API result_t : public tovi::recordset_t, public expr_t {
public:
    result_t();
    /// Shares `other`'s body; the factories are the copy's own, empty.
    result_t(const result_t& other);
    /// Views `e` as a value set.
    result_t(const expr_t& e);
    /// Takes ownership of `body`.
    explicit result_t(impl_t* body);
    /// Shares `other`'s body; the factories stay.
    result_t& operator=(const result_t& other);
    ~result_t() override;

    bool next() override { return false; }
    /// Present when both are; else empty.
    result_t operator&&(const result_t& other) const;
    /// Present when either is.
    result_t operator||(const result_t& other) const;
    /// Leaves this one as it is.
    result_t& operator&=(const result_t& other);
    /// Becomes present when `other` is.
    result_t& operator|=(const result_t& other);

    tovi::impl::value_factory& get_bind() override { return bind_; }
    tovi::impl::value_factory& get_define() override { return define_; }

private:
    tovi::impl::value_factory bind_;
    tovi::impl::value_factory define_;
};

}  // namespace sql

#endif
