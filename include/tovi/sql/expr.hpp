/// @file
/// The SQL builder's expression tree: shared node handles, literal leaves,
/// operations, expression lists and conditions.
///
/// Every builder class is a small handle around one reference-counted body.
/// Copying a handle shares the body (modifiers through one copy are seen through
/// every other); an empty handle means "absent" (no WHERE, no alias, no
/// condition). A handle built from an expr_t of another kind throws
/// tovi::bad_operation when it is used, never reads the wrong body. Bodies are not
/// locked: a tree is built and printed by one thread at a time.
#ifndef TOVI_SQL_EXPR_HPP
#define TOVI_SQL_EXPR_HPP

#include <ctime>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include <tovi/config.hpp>

namespace tovi {
class value_t;
}

namespace sql {

class visitor_t;
class field_t;
class select_t;

/// Operators. Only the named ones have a meaning (and a printed text); the
/// others exist as rows of the precedence table.
enum operator_t {
    op_none = 0,
    op_eq = 8,
    op_ne = 9,
    op_lt = 10,
    op_gt = 11,
    op_le = 12,
    op_ge = 13,
    op_and = 14,
    op_or = 15,
    op_not = 16,
    op_in = 18,
    op_like = 19,
    op_not_like = 20,
};

/// Binding strength by operator value (0 to 40); higher binds tighter. Leaves
/// report operator 0.
TOVI_API extern const int op_precedence[41];

/// The printed text of an operator (" = ", " AND " ...), or null when it has none.
TOVI_API const char* operator_text(operator_t op);

/// A handle on a node of an SQL tree; the base of every builder class.
class TOVI_API expr_t {
public:
    /// The abstract body of every node.
    class TOVI_API impl_t {
    public:
        virtual ~impl_t();
        /// Calls exactly one visit slot of `v` with this body.
        virtual void accept(visitor_t& v) = 0;
        /// The node's operator, for precedence; op_none for leaves.
        virtual operator_t get_operator() const;
    };

    expr_t() = default;
    /// Takes ownership of `body`.
    explicit expr_t(impl_t* body) : p_(body) {}

    /// True for an absent node.
    bool empty() const { return !p_; }
    /// True for a present node.
    explicit operator bool() const { return static_cast<bool>(p_); }
    /// The body, or null.
    impl_t* get() const { return p_.get(); }
    /// Visits the body; nothing for an empty handle.
    void accept(visitor_t& v) const;
    /// Same body (or both empty).
    bool same_as(const expr_t& other) const { return p_ == other.p_; }

protected:
    /// The body as B, or tovi::bad_operation naming `what` when it is absent or
    /// of another kind.
    template <class B>
    B& body_as(const char* what) const;

    boost::shared_ptr<impl_t> p_;  ///< the shared body
};

/// Base of the literal handles.
class TOVI_API value_t : public expr_t {
public:
    value_t() = default;
    /// Takes ownership of `body`.
    explicit value_t(impl_t* body) : expr_t(body) {}
    /// Views `e` as this kind; a node of another kind fails when used.
    value_t(const expr_t& e) : expr_t(e) {}
};

/// An integer literal.
class TOVI_API long_t : public value_t {
public:
    /// A new literal.
    long_t(long v);
    long_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    long_t(const expr_t& e) : value_t(e) {}
    /// The number; tovi::bad_operation for an absent or other node.
    ///@{
    long get_value() const;
    operator long() const { return get_value(); }
    ///@}
};

/// An identifier, printed as it is.
class TOVI_API string_t : public value_t {
public:
    /// A new identifier.
    ///@{
    string_t(const std::string& s);
    string_t(const char* s);
    ///@}
    string_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    string_t(const expr_t& e) : value_t(e) {}
    /// The text; empty for an empty handle.
    const std::string& get_value() const;
    /// get_value().
    operator const std::string&() const { return get_value(); }
};

/// A string literal, printed in single quotes with embedded apostrophes doubled.
class TOVI_API string_value_t : public value_t {
public:
    /// A new literal.
    string_value_t(const std::string& s);
    string_value_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    string_value_t(const expr_t& e) : value_t(e) {}
    /// The text; tovi::bad_operation for an absent or other node.
    ///@{
    const std::string& get_value() const;
    operator const std::string&() const { return get_value(); }
    ///@}
};

/// A boolean literal, printed as 1 or 0.
class TOVI_API bool_t : public value_t {
public:
    /// A new literal.
    bool_t(bool v);
    bool_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    bool_t(const expr_t& e) : value_t(e) {}
    /// False for an empty handle.
    operator bool() const;
};

/// A date and time literal, printed in the text form of tovi::tm2string.
class TOVI_API date_t : public value_t {
public:
    date_t();  ///< 1 January 1970, midnight
    /// A new literal.
    explicit date_t(const tm& t);
    /// Views `e` as this kind; a node of another kind fails when used.
    date_t(const expr_t& e) : value_t(e) {}
    /// The date; tovi::bad_operation for an absent or other node.
    const tm& get_value() const;
};

/// An application value used as a bound value or an INTO target (by reference:
/// it must outlive the tree).
class TOVI_API tovi_value_t : public value_t {
public:
    /// Refers to `v`.
    tovi_value_t(tovi::value_t& v);
    tovi_value_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    tovi_value_t(const expr_t& e) : value_t(e) {}
    /// The application value; tovi::bad_operation for an absent or other node.
    tovi::value_t* get_value() const;
};

/// An operator node. Only operators with a printed text can be made; any other
/// value throws tovi::bad_operation.
class TOVI_API operation_t : public expr_t {
public:
    /// A new operator node.
    operation_t(operator_t op);
    operation_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    operation_t(const expr_t& e) : expr_t(e) {}
    /// The operator; tovi::bad_operation for an absent or other node.
    operator operator_t() const;
};

/// A list of expressions. A default-constructed list has a fresh, empty body.
class TOVI_API expr_list_t : public expr_t {
public:
    expr_list_t();
    /// Views `e` as this kind; a node of another kind fails when used.
    expr_list_t(const expr_t& e) : expr_t(e) {}
    virtual ~expr_list_t();

    /// Appends `e` (shared).
    void push_back(const expr_t& e);
    /// Appends every element of `other`, in order.
    void push_back(const expr_list_t& other);
    /// Appends `e` and returns this same list, so `list + a + b` chains.
    expr_list_t& operator+(const expr_t& e);
    /// The number of elements.
    std::size_t size() const;
    /// std::out_of_range "invalid vector<T> subscript" past the end.
    expr_t operator[](unsigned i) const;
    /// Removes and returns the last element; std::out_of_range when empty.
    expr_t pop_back();
    /// The elements, in order.
    const std::vector<expr_t>& elements() const;
};

/// A condition: empty, a binary node (left, operation, right) or a unary node.
class TOVI_API bool_expr_t : public expr_t {
public:
    bool_expr_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    bool_expr_t(const expr_t& e) : expr_t(e) {}
    /// A binary node: `left op right`.
    bool_expr_t(const expr_t& left, const operation_t& op, const expr_t& right);
    /// A unary node: `op operand`.
    bool_expr_t(const operation_t& op, const expr_t& operand);
    virtual ~bool_expr_t();
};

/// Comparisons build a new binary node; the operands are shared, not copied.
///@{
TOVI_API bool_expr_t operator==(const field_t& a, const field_t& b);
TOVI_API bool_expr_t operator==(const field_t& a, const value_t& b);
TOVI_API bool_expr_t operator<(const field_t& a, const field_t& b);
TOVI_API bool_expr_t operator<(const field_t& a, const value_t& b);
TOVI_API bool_expr_t operator<=(const field_t& a, const field_t& b);
TOVI_API bool_expr_t operator<=(const field_t& a, const value_t& b);
TOVI_API bool_expr_t operator>(const field_t& a, const field_t& b);
TOVI_API bool_expr_t operator>(const field_t& a, const value_t& b);
TOVI_API bool_expr_t operator>=(const field_t& a, const field_t& b);
TOVI_API bool_expr_t operator>=(const field_t& a, const value_t& b);
///@}
/// `f IN (query)`.
TOVI_API bool_expr_t in(const field_t& f, const select_t& query);

/// AND / OR of two conditions; an empty operand is dropped (both empty: empty),
/// so a condition can be grown from an empty start.
///@{
TOVI_API bool_expr_t operator&&(const bool_expr_t& a, const bool_expr_t& b);
TOVI_API bool_expr_t operator||(const bool_expr_t& a, const bool_expr_t& b);
///@}
/// NOT of a condition; empty stays empty.
TOVI_API bool_expr_t operator!(const bool_expr_t& a);

}  // namespace sql

#endif
