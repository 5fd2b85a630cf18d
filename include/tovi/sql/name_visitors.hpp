// Small printers of column names: bare names (NameVisitor), assignments to
// placeholders (SetNameVisitor), names in an imposed order (ReorderNameVisitor,
// ReorderSetNameVisitor), and DDLVisitorIN, which prints a whole table with its
// indexes into one text.
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

// Prints prefix + name + suffix for each column of a list (with its type when
// conv_datatype gives one), skipping `excluded`, and `moved` columns last.
class TOVI_API NameVisitor : public value_visitor_t {
public:
    NameVisitor(const std::list<std::string>& moved, const std::list<std::string>& excluded,
                const std::string& prefix, const std::string& suffix);

    void visit_expr_list_t(impl::expr_list_t& n) override;
    void visit_field_t(impl::field_t& n) override;
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;
    void visit_constraint_t(impl::constraint_t& n) override;
    // No types by default.
    virtual std::string conv_datatype(const impl::field_t& field);

protected:
    void print_name(const std::string& name);

    std::string prefix;
    std::string suffix;
    std::list<std::pair<std::string, std::string>> moved;
    std::set<std::string> excluded;
};

// Prints "name = " + prefix + name + suffix for each column.
class TOVI_API SetNameVisitor : public NameVisitor {
public:
    using NameVisitor::NameVisitor;
    void visit_field_t(impl::field_t& n) override;
};

// Records a text per (upper-cased) name while visiting, then prints the texts of
// `order` (without those of `last`), then those of `last`.
class TOVI_API ReorderNameVisitor : public value_visitor_t {
public:
    ReorderNameVisitor(const std::list<std::string>& order, const std::list<std::string>& last,
                       const std::string& prefix, const std::string& suffix);
    ReorderNameVisitor(const std::list<std::string>& order, const std::string& prefix,
                       const std::string& suffix);

    void visit_expr_list_t(impl::expr_list_t& n) override;
    void visit_field_t(impl::field_t& n) override;
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;
    void visit_constraint_t(impl::constraint_t& n) override;
    virtual std::string conv_datatype(const impl::field_t& field);

protected:
    std::string prefix;
    std::string suffix;
    std::list<std::string> order;
    std::list<std::string> last;
    std::map<std::string, std::string> texts;
};

class TOVI_API ReorderSetNameVisitor : public ReorderNameVisitor {
public:
    ReorderSetNameVisitor(const std::list<std::string>& order, const std::string& prefix,
                          const std::string& suffix);
    void visit_field_t(impl::field_t& n) override;
};

// A whole table definition, primary key and indexes into one text.
class TOVI_API DDLVisitorIN : public create_visitor {
public:
    DDLVisitorIN();
    void visit_table_t(impl::table_t& n) override;
    void visit_index_t(impl::index_t& n) override;

protected:
    bool in_table;
};

}  // namespace sql

#endif
