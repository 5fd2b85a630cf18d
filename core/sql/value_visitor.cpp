// value_visitor_t: the DDL printers' base (leaves, lists, separators, the
// statement list and its dependency order).
#include <tovi/date_conv.hpp>
#include <tovi/sql.hpp>
#include <tovi/text.hpp>

#include <algorithm>
#include <iostream>
#include <set>

#include "sql_text.hpp"

namespace sql {

const char* const empty_separator = " ";
const char* const list_separator = ", ";
const char* const field_separator = ",\n";
const char* const cmd_separator = ";\n\n";

stmt_info::stmt_info(const std::string& name_, const std::string& text_,
                     const std::deque<std::string>& deps_)
    : name(utils::make_upper(name_)), text(text_) {
    for (const std::string& d : deps_) deps.push_back(utils::make_upper(d));
    std::sort(deps.begin(), deps.end());
}

value_visitor_t::value_visitor_t() : flag(0), list_sep_(", \n"), sorted_(false) {}

value_visitor_t::value_visitor_t(const output_callback& callback)
    : default_visitor_t(callback),
      flag(1),
      list_sep_(list_separator),
      sorted_(false),
      cmd_sep_(cmd_separator) {}

value_visitor_t& value_visitor_t::operator<<(const std::string& s) {
    text += s;
    return *this;
}

value_visitor_t& value_visitor_t::operator<<(const expr_t& e) {
    e.accept(*this);
    return *this;
}

value_visitor_t& value_visitor_t::operator<<(const separator& s) {
    if (s.text.empty())
        pop_list_separator();
    else
        push_list_separator(s.text);
    return *this;
}

value_visitor_t& value_visitor_t::operator<<(const std::map<std::string, expr_t>& m) {
    bool first = true;
    for (const auto& entry : m) {
        if (!first) text += list_sep_;
        first = false;
        entry.second.accept(*this);
    }
    return *this;
}

value_visitor_t& value_visitor_t::operator<<(const value_visitor_t& other) {
    text += other.text;
    return *this;
}

void value_visitor_t::push_list_separator(const std::string& s) {
    saved_seps_.push_back(list_sep_);
    list_sep_ = s;
}

void value_visitor_t::pop_list_separator() {
    if (saved_seps_.empty()) return;  // unbalanced pop: keep the current one
    list_sep_ = saved_seps_.back();
    saved_seps_.pop_back();
}

void value_visitor_t::make_names(const std::map<std::string, expr_t>& m) {
    bool first = true;
    for (const auto& entry : m) {
        if (!first) text += list_sep_;
        first = false;
        text += entry.first;
    }
}

void value_visitor_t::make_names2(const expr_list_t& columns) {
    NameVisitor names({}, {}, "", "");
    names.push_list_separator(list_sep_);
    names << columns;
    text += names.get_text();
}

void value_visitor_t::add_stmt(const std::string& name, const std::string& statement,
                               const std::deque<std::string>& deps) {
    stmts_.push_back(boost::shared_ptr<stmt_info>(new stmt_info(name, statement, deps)));
    sorted_ = false;
}

void value_visitor_t::sort_stmt_list() {
    stmt_list pending;
    pending.swap(stmts_);
    std::set<std::string> emitted;
    while (!pending.empty()) {
        // Only what earlier passes emitted satisfies a dependency in this pass.
        const std::set<std::string> ready = emitted;
        bool moved = false;
        for (auto it = pending.begin(); it != pending.end();) {
            const stmt_info& s = **it;
            if (std::includes(ready.begin(), ready.end(), s.deps.begin(), s.deps.end())) {
                emitted.insert(s.name);
                stmts_.push_back(*it);
                it = pending.erase(it);
                moved = true;
            } else {
                ++it;
            }
        }
        if (!moved) {  // unsatisfiable: keep the rest in its order
            stmts_.splice(stmts_.end(), pending);
            break;
        }
    }
    sorted_ = true;
}

void value_visitor_t::execute() {
    if (!sorted_) sort_stmt_list();
    for (const auto& s : stmts_) callback_(s->text);
}

void value_visitor_t::print_cmd(const std::string& s) const {
    std::cout << s << cmd_sep_;
}

void value_visitor_t::visit_string_t(impl::string_t& n) {
    text += n.value;
}
void value_visitor_t::visit_string_val_t(impl::string_val_t& n) {
    text += quoted_literal(n.value);
}
void value_visitor_t::visit_long_t(impl::long_t& n) {
    text += std::to_string(n.value);
}
void value_visitor_t::visit_date_t(impl::date_t& n) {
    text += date_literal(n.value);
}
void value_visitor_t::visit_bool_t(impl::bool_t& n) {
    text += n.value ? "TRUE" : "FALSE";
}

void value_visitor_t::visit_expr_list_t(impl::expr_list_t& n) {
    for (std::size_t i = 0; i < n.list.size(); ++i) {
        if (i != 0) text += list_sep_;
        n.list[i].accept(*this);
    }
}

std::string table_name_of(const expr_t& table) {
    const auto* t = dynamic_cast<const impl::table_t*>(table.get());
    return t == nullptr ? std::string() : t->name.get_value();
}

}  // namespace sql
