/// @file
/// Small printers of column names: bare names (NameVisitor), assignments to
/// placeholders (SetNameVisitor), names in an imposed order (ReorderNameVisitor,
/// ReorderSetNameVisitor), and DDLVisitorIN, which prints a whole table with its
/// indexes into one text.
#ifndef TOVI_SQL_NAME_VISITORS_HPP
#define TOVI_SQL_NAME_VISITORS_HPP

#include <list>
#include <map>
#include <set>
#include <string>
#include <utility>

#include <tovi/config.hpp>
#include <tovi/sql/printers.hpp>

namespace sql {

/// Prints prefix + name + suffix for each column of a list (with its type when
/// conv_datatype gives one), skipping `excluded`, and `moved` columns last.
class TOVI_API NameVisitor : public value_visitor_t {
public:
    /// Columns `moved` are printed last, `excluded` not at all; names are wrapped
    /// in `prefix` and `suffix`. The list separator is ", ".
    NameVisitor(const std::list<std::string>& moved, const std::list<std::string>& excluded,
                const std::string& prefix, const std::string& suffix);

    void visit_expr_list_t(impl::expr_list_t& n) override;
    void visit_field_t(impl::field_t& n) override;
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;
    void visit_constraint_t(impl::constraint_t& n) override;
    /// No types by default.
    virtual std::string conv_datatype(const impl::field_t& field);

protected:
    /// Prints prefix + name + suffix, after the list separator when not first.
    void print_name(const std::string& name);

    std::string prefix;                                    ///< printed before each name
    std::string suffix;                                    ///< printed after each name
    std::list<std::pair<std::string, std::string>> moved;  ///< (name, type text), printed last
    std::set<std::string> excluded;                        ///< names not printed
};

/// Prints "name = " + prefix + name + suffix for each column.
class TOVI_API SetNameVisitor : public NameVisitor {
public:
    /// The constructor of NameVisitor.
    using NameVisitor::NameVisitor;
    void visit_field_t(impl::field_t& n) override;
};

/// Records a text per (upper-cased) name while visiting, then prints the texts of
/// `order` (without those of `last`), then those of `last`.
class TOVI_API ReorderNameVisitor : public value_visitor_t {
public:
    /// Prints the names of `order`, then those of `last`, each wrapped in
    /// `prefix` and `suffix`.
    ReorderNameVisitor(const std::list<std::string>& order, const std::list<std::string>& last,
                       const std::string& prefix, const std::string& suffix);
    /// The same with nothing printed last.
    ReorderNameVisitor(const std::list<std::string>& order, const std::string& prefix,
                       const std::string& suffix);

    void visit_expr_list_t(impl::expr_list_t& n) override;
    void visit_field_t(impl::field_t& n) override;
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;
    void visit_constraint_t(impl::constraint_t& n) override;
    /// The type printed after a name; none by default.
    virtual std::string conv_datatype(const impl::field_t& field);

protected:
    std::string prefix;                        ///< printed before each name
    std::string suffix;                        ///< printed after each name
    std::list<std::string> order;              ///< the names, in printing order
    std::list<std::string> last;               ///< names printed after the others
    std::map<std::string, std::string> texts;  ///< recorded text by upper-cased name
};

/// ReorderNameVisitor printing "name = " + prefix + name + suffix for each column.
class TOVI_API ReorderSetNameVisitor : public ReorderNameVisitor {
public:
    /// See ReorderNameVisitor.
    ReorderSetNameVisitor(const std::list<std::string>& order, const std::string& prefix,
                          const std::string& suffix);
    void visit_field_t(impl::field_t& n) override;
};

/// A whole table definition, primary key and indexes into one text.
class TOVI_API DDLVisitorIN : public create_visitor {
public:
    DDLVisitorIN();
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;

protected:
    bool in_table;  ///< set while the table's own parts are printed
};

}  // namespace sql

#endif
