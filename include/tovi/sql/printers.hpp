/// @file
/// Visitors that turn SQL-builder trees into SQL text.
///
///  - output_visitor_t prints one DML statement or expression (with operator
///    precedence and an optional constant-folding hook) into one string.
///  - value_visitor_t is the base of the DDL printers: it prints leaves and lists,
///    collects finished statements with their dependencies, orders them and hands
///    each to the output callback (execute()).
///  - create_visitor prints CREATE TABLE / CREATE INDEX / primary and foreign keys;
///    dialect modules derive from it and override conv_datatype and make_*.
///  - drop_visitor prints DROP TABLE / DROP CONSTRAINT, handing each out at once.
#ifndef TOVI_SQL_PRINTERS_HPP
#define TOVI_SQL_PRINTERS_HPP

#include <deque>
#include <list>
#include <map>
#include <string>

#include <boost/shared_ptr.hpp>

#include <tovi/config.hpp>
#include <tovi/sql/visitor.hpp>

namespace sql {

TOVI_API extern const char* const empty_separator;  ///< " "
TOVI_API extern const char* const list_separator;   ///< ", "
TOVI_API extern const char* const field_separator;  ///< ",\n"
TOVI_API extern const char* const cmd_separator;    ///< ";\n\n"

/// Prints one DML statement or expression into one string, with operator precedence.
class TOVI_API output_visitor_t : public default_visitor_t {
public:
    /// What is being printed: a subtree's text and what is known of its value.
    struct State {
        std::string text;  ///< the printed text
        /// 0 plain text, 1 constant FALSE, 2 constant TRUE, 3 a value set (`value`).
        int truth = 0;
        result_t value;  ///< the value set when truth is 3
        /// The operator at the top of `text` as printed (folding may print a
        /// subtree in place of its parent); op_none for a leaf.
        operator_t top = op_none;
    };

    output_visitor_t();
    /// Hands finished statements to `callback`.
    explicit output_visitor_t(const output_callback& callback);

    /// The text printed so far.
    const std::string& get_text() const { return *text_; }

    /// Prints the node in DML form.
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
    ///@}

protected:
    /// Constant-folding hooks: a derived visitor may evaluate a plain-text operand
    /// against a value set. Both return an empty result here.
    ///@{
    virtual result_t evaluateSQL(const boost::shared_ptr<State>& s, operator_t op,
                                 const result_t& other);
    virtual result_t evaluateSQL(const boost::shared_ptr<State>& s);
    ///@}

    /// Prints `e` into a fresh State and restores the current one.
    boost::shared_ptr<State> print_apart(const expr_t& e);
    /// Prints `e` into the current State.
    void print(const expr_t& e) { e.accept(*this); }

    boost::shared_ptr<State> state_;  ///< the State being printed into
    std::string* text_;               ///< the text of state_
};

/// One finished DDL statement and the names of the objects it needs first.
struct TOVI_API stmt_info {
    /// Upper-cases the names and sorts `deps`.
    stmt_info(const std::string& name, const std::string& text,
              const std::deque<std::string>& deps);
    std::string name;              ///< upper-cased
    std::string text;              ///< as printed
    std::deque<std::string> deps;  ///< upper-cased, sorted
};

/// The base of the DDL printers: prints leaves and lists, collects finished
/// statements with their dependencies and hands them out in dependency order.
class TOVI_API value_visitor_t : public default_visitor_t {
public:
    /// Pushes a non-empty separator, pops on an empty one.
    struct separator {
        separator() = default;
        explicit separator(const std::string& s) : text(s) {}  ///< pushes `s`
        std::string text;                                      ///< the separator; empty: pop
    };
    /// The collected statements.
    using stmt_list = std::list<boost::shared_ptr<stmt_info>>;

    /// No callback: list separator ", \n", no command separator.
    value_visitor_t();
    /// List separator ", ", command separator ";\n\n".
    explicit value_visitor_t(const output_callback& callback);

    /// Appends text to the statement being printed.
    ///@{
    value_visitor_t& operator<<(const std::string& s);
    value_visitor_t& operator<<(const char* s) { return *this << std::string(s); }
    ///@}
    /// Prints `e` (visits it).
    value_visitor_t& operator<<(const expr_t& e);
    /// Pushes or pops a list separator (see separator).
    value_visitor_t& operator<<(const separator& s);
    /// Prints every node of the map, joined by the list separator.
    value_visitor_t& operator<<(const std::map<std::string, expr_t>& m);
    /// Appends the text `other` has printed.
    value_visitor_t& operator<<(const value_visitor_t& other);

    /// Makes `s` the list separator, keeping the current one for pop_list_separator().
    void push_list_separator(const std::string& s);
    /// Restores the list separator before the last push.
    void pop_list_separator();
    /// The separator printed between list elements.
    const std::string& get_list_separator() const { return list_sep_; }

    /// Prints the map's keys, joined by the list separator.
    void make_names(const std::map<std::string, expr_t>& m);
    /// Prints the columns' names, joined by the list separator.
    void make_names2(const expr_list_t& columns);

    /// Collects a finished statement `text` named `name` that needs `deps` first.
    void add_stmt(const std::string& name, const std::string& text,
                  const std::deque<std::string>& deps);
    /// The collected statements, in order once sorted.
    const stmt_list& get_stmt_list() const { return stmts_; }
    /// Orders the statements so that each comes after what it needs; statements
    /// whose needs cannot be met keep their order at the end.
    void sort_stmt_list();
    /// Sorts when needed, then hands every statement text to the callback in order.
    void execute();
    /// Writes `s` and the command separator to standard output.
    void print_cmd(const std::string& s) const;
    /// What print_cmd() writes after each statement.
    const std::string& get_cmd_separator() const { return cmd_sep_; }
    /// Changes that.
    void set_cmd_separator(const std::string& s) { cmd_sep_ = s; }

    /// The text being printed.
    const std::string& get_text() const { return text; }
    /// Empties the text being printed.
    void clear_text() { text.clear(); }

    /// Prints the leaf, or the list joined by the list separator.
    ///@{
    void visit_string_t(impl::string_t& n) override;
    void visit_string_val_t(impl::string_val_t& n) override;
    void visit_long_t(impl::long_t& n) override;
    void visit_date_t(impl::date_t& n) override;
    void visit_bool_t(impl::bool_t& n) override;
    void visit_expr_list_t(impl::expr_list_t& n) override;
    ///@}

protected:
    unsigned char flag;  ///< 1 when made with a callback; free for derived printers
    std::string text;    ///< the statement being printed

private:
    std::string list_sep_;
    std::deque<std::string> saved_seps_;
    stmt_list stmts_;
    bool sorted_;
    std::string cmd_sep_;
};

/// Prints CREATE statements; dialect modules derive from it and override
/// conv_datatype and the make_* steps.
class TOVI_API create_visitor : public value_visitor_t {
public:
    create_visitor();
    /// Hands the statements to `callback` on execute().
    explicit create_visitor(const output_callback& callback);

    /// Prints the object through the make_* steps.
    ///@{
    void visit_field_t(impl::field_t& n) override;
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;
    void visit_constraint_t(impl::constraint_t& n) override;
    void visit_schema(impl::schema& n) override;
    void visit_database(impl::database& n) override;
    ///@}

    /// The column's type in this dialect: here its type text and "(size)".
    virtual std::string conv_datatype(const impl::field_t& field);
    /// CREATE TABLE with its columns and (inline) primary key, then its other indexes.
    virtual void make_table(const std::string& name, const expr_list_t& fields,
                            const expr_list_t& indexes, const expr_t& primary_key);
    /// CREATE [UNIQUE] INDEX, or the primary key: inline while `in_table`, else ALTER TABLE.
    virtual void make_index(const std::string& name, const std::string& table,
                            const expr_list_t& fields, impl::index_t::type_t type, bool in_table);
    /// ALTER TABLE ... ADD CONSTRAINT ... FOREIGN KEY; `flag` is free for dialects.
    virtual void make_relationship(const std::string& name, const std::string& table,
                                   const expr_list_t& fields, const std::string& ref_table,
                                   const expr_list_t& ref_fields,
                                   impl::constraint_t::action_t action, bool flag);
    /// Every table of the schema.
    virtual void make_schema(const std::map<std::string, expr_t>& tables);
    /// Every schema, then every relationship.
    virtual void make_database(const std::map<std::string, expr_t>& schemas,
                               const std::map<std::string, expr_t>& relationships);

    /// Column names of a list, joined by ", ".
    std::string column_names(const expr_list_t& columns);

protected:
    std::deque<std::string> work;  ///< extra statements a dialect collects for a table
    bool inline_primary_key;       ///< primary keys inside CREATE TABLE (the default)
    bool in_table;                 ///< set while a table's primary key is printed
};

/// Prints DROP TABLE and DROP CONSTRAINT statements, handing each out at once.
class TOVI_API drop_visitor : public value_visitor_t {
public:
    /// Keeps the statements for execute().
    drop_visitor();
    /// Hands each statement to `callback` as it is printed.
    explicit drop_visitor(const output_callback& callback);

    /// Drops the object (columns and indexes go with their tables).
    ///@{
    void visit_field_t(impl::field_t& n) override;
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;
    void visit_constraint_t(impl::constraint_t& n) override;
    void visit_schema(impl::schema& n) override;
    void visit_database(impl::database& n) override;
    ///@}

private:
    void emit();
};

/// The name of a table node (empty for an absent one); shared with dialect modules.
TOVI_API std::string table_name_of(const expr_t& table);

}  // namespace sql

#endif
