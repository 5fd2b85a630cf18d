// Printers of column names, and DDLVisitorIN.
#include <tovi/sql.hpp>
#include <tovi/text.hpp>

#include <algorithm>

namespace sql {

// --- NameVisitor

NameVisitor::NameVisitor(const std::list<std::string>& moved_,
                         const std::list<std::string>& excluded_, const std::string& prefix_,
                         const std::string& suffix_)
    : prefix(prefix_), suffix(suffix_), excluded(excluded_.begin(), excluded_.end()) {
    for (const std::string& name : moved_) moved.emplace_back(name, std::string());
    push_list_separator(list_separator);
}

std::string NameVisitor::conv_datatype(const impl::field_t&) {
    return std::string();
}

void NameVisitor::print_name(const std::string& name) {
    if (flag) text += get_list_separator();
    text += prefix + name + suffix;
    flag = 1;
}

void NameVisitor::visit_expr_list_t(impl::expr_list_t& n) {
    flag = 0;
    for (expr_t& e : n.list) e.accept(*this);
    for (const auto& entry : moved) {
        if (excluded.count(entry.first) != 0) continue;
        if (flag) text += list_separator;
        text += prefix + entry.first + suffix + " " + entry.second;
        flag = 1;
    }
}

void NameVisitor::visit_field_t(impl::field_t& n) {
    const std::string& name = n.name.get_value();
    if (excluded.count(name) != 0) return;
    for (auto& entry : moved) {
        if (entry.first == name) {
            entry.second = conv_datatype(n);  // printed at the end of the list
            return;
        }
    }
    print_name(name);
    const std::string type = conv_datatype(n);
    if (!type.empty()) text += " " + type;
}

void NameVisitor::visit_table_t(impl::table_t& n) {
    print_name(n.name.get_value());
}
void NameVisitor::visit_index_t(impl::index_t& n) {
    print_name(n.name.get_value());
}
void NameVisitor::visit_constraint_t(impl::constraint_t& n) {
    print_name(n.name.get_value());
}

void SetNameVisitor::visit_field_t(impl::field_t& n) {
    const std::string& name = n.name.get_value();
    if (excluded.count(name) != 0) return;
    for (auto& entry : moved) {
        if (entry.first == name) {
            entry.second = conv_datatype(n);
            return;
        }
    }
    if (flag) text += get_list_separator();
    text += name + " = " + prefix + name + suffix;
    flag = 1;
}

// --- ReorderNameVisitor

ReorderNameVisitor::ReorderNameVisitor(const std::list<std::string>& order_,
                                       const std::list<std::string>& last_,
                                       const std::string& prefix_, const std::string& suffix_)
    : prefix(prefix_), suffix(suffix_), order(order_), last(last_) {
    push_list_separator(list_separator);
}

ReorderNameVisitor::ReorderNameVisitor(const std::list<std::string>& order_,
                                       const std::string& prefix_, const std::string& suffix_)
    : ReorderNameVisitor(order_, {}, prefix_, suffix_) {}

std::string ReorderNameVisitor::conv_datatype(const impl::field_t&) {
    return std::string();
}

void ReorderNameVisitor::visit_field_t(impl::field_t& n) {
    const std::string upper = utils::make_upper(n.name.get_value());
    std::string recorded = prefix + upper;
    const std::string type = conv_datatype(n);
    if (!type.empty()) recorded += " " + type;
    texts[upper] = recorded;
}

void ReorderNameVisitor::visit_table_t(impl::table_t& n) {
    const std::string upper = utils::make_upper(n.name.get_value());
    texts[upper] = prefix + upper + suffix;
}

void ReorderNameVisitor::visit_index_t(impl::index_t& n) {
    const std::string upper = utils::make_upper(n.name.get_value());
    texts[upper] = prefix + upper + suffix;
}

void ReorderNameVisitor::visit_constraint_t(impl::constraint_t& n) {
    const std::string upper = utils::make_upper(n.name.get_value());
    texts[upper] = prefix + upper + suffix;
}

void ReorderNameVisitor::visit_expr_list_t(impl::expr_list_t& n) {
    for (expr_t& e : n.list) e.accept(*this);
    std::list<std::string> last_upper;
    for (const std::string& name : last) last_upper.push_back(utils::make_upper(name));
    bool printed = false;
    auto print = [&](const std::string& upper) {
        auto it = texts.find(upper);
        if (it == texts.end()) return;
        if (printed) text += get_list_separator();  // between printed texts only
        text += it->second;
        printed = true;
    };
    for (const std::string& name : order) {
        const std::string upper = utils::make_upper(name);
        if (std::find(last_upper.begin(), last_upper.end(), upper) == last_upper.end())
            print(upper);
    }
    for (const std::string& upper : last_upper) print(upper);
}

ReorderSetNameVisitor::ReorderSetNameVisitor(const std::list<std::string>& order_,
                                             const std::string& prefix_, const std::string& suffix_)
    : ReorderNameVisitor(order_, prefix_, suffix_) {}

void ReorderSetNameVisitor::visit_field_t(impl::field_t& n) {
    const std::string upper = utils::make_upper(n.name.get_value());
    const std::string type = conv_datatype(n);
    texts[upper] =
        type.empty() ? upper + " = " + prefix + upper + suffix : prefix + upper + " " + type;
}

// --- DDLVisitorIN

DDLVisitorIN::DDLVisitorIN() : in_table(false) {}

void DDLVisitorIN::visit_table_t(impl::table_t& n) {
    text += "CREATE TABLE " + n.name.get_value() + "\n(\n";
    *this << n.fields;
    in_table = true;
    try {
        *this << n.primary_index;
    } catch (...) {
        in_table = false;
        throw;
    }
    in_table = false;
    text += "\n)\n";
    *this << n.index_list;
}

void DDLVisitorIN::visit_index_t(impl::index_t& n) {
    std::string columns;
    for (const auto& entry : n.field_map) {
        if (!columns.empty()) columns += get_list_separator();
        columns += entry.first;
    }
    if (n.type == impl::index_t::primary_key) {
        if (in_table)
            text +=
                get_list_separator() + "PRIMARY KEY " + n.name.get_value() + "(" + columns + ")";
        return;
    }
    const std::string table = n.table != nullptr ? n.table->name.get_value() : std::string();
    text += std::string("CREATE ") + (n.type == impl::index_t::unique ? "UNIQUE " : "") + "INDEX " +
            n.name.get_value() + " ON " + table + "(" + columns + ")";
}

}  // namespace sql
