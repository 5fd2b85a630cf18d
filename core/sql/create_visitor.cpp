// create_visitor: CREATE TABLE, CREATE INDEX, primary and foreign keys, each a
// statement of its own with the names of the objects it needs first.
#include <tovi/sql.hpp>

namespace sql {

create_visitor::create_visitor() : inline_primary_key(true), in_table(false) {}

create_visitor::create_visitor(const output_callback& callback)
    : value_visitor_t(callback), inline_primary_key(true), in_table(false) {}

std::string create_visitor::column_names(const expr_list_t& columns) {
    NameVisitor names({}, {}, "", "");
    names.push_list_separator(list_separator);
    names << columns;
    return names.get_text();
}

std::string create_visitor::conv_datatype(const impl::field_t& field) {
    std::string type = field.type.get_value();
    if (!field.size.empty() && field.size.get_value() != 0)
        type += "(" + std::to_string(field.size.get_value()) + ")";
    return type;
}

void create_visitor::visit_field_t(impl::field_t& n) {
    const std::string& name = n.name.get_value();
    text += name;
    text += name.size() < 8 ? "\t\t" : "\t";
    text += conv_datatype(n);
    if (!n.default_value.empty()) {
        text += " DEFAULT ";
        *this << n.default_value;
    }
    if (n.not_null()) text += " NOT NULL";
}

void create_visitor::visit_table_t(impl::table_t& n) {
    make_table(n.name.get_value(), n.fields, n.index_list, n.primary_index);
}

void create_visitor::visit_index_t(impl::index_t& n) {
    const std::string table = n.table != nullptr ? n.table->name.get_value() : std::string();
    make_index(n.name.get_value(), table, n.fields, n.type, in_table);
}

void create_visitor::visit_constraint_t(impl::constraint_t& n) {
    make_relationship(n.name.get_value(), table_name_of(n.table), n.fields,
                      table_name_of(n.ref_table), n.ref_fields, n.action, false);
}

void create_visitor::visit_schema(impl::schema& n) {
    make_schema(n.tables);
}

void create_visitor::visit_database(impl::database& n) {
    make_database(n.schemas, n.relationships);
}

void create_visitor::make_table(const std::string& name, const expr_list_t& fields,
                                const expr_list_t& indexes, const expr_t& primary_key) {
    text += "CREATE TABLE " + name + "\n(\n";
    push_list_separator(field_separator);
    *this << fields;
    pop_list_separator();
    in_table = true;
    try {
        *this << primary_key;
    } catch (...) {
        in_table = false;
        throw;
    }
    in_table = false;
    text += "\n)";
    add_stmt(name, text, {});
    text.clear();
    // Each index is a statement of its own: visit them one by one, with nothing
    // written between them. The primary key was handled above.
    for (const expr_t& index : indexes.elements())
        if (!index.same_as(primary_key)) index.accept(*this);
}

void create_visitor::make_index(const std::string& name, const std::string& table,
                                const expr_list_t& fields, impl::index_t::type_t type,
                                bool in_table_) {
    if (fields.size() == 0) return;
    const std::string names = column_names(fields);
    if (type == impl::index_t::unique || type == impl::index_t::plain) {
        const std::string statement = std::string("CREATE") +
                                      (type == impl::index_t::unique ? " UNIQUE" : "") + " INDEX " +
                                      name + " ON " + table + "(" + names + ")";
        add_stmt(name, statement, {table});
    } else if (inline_primary_key) {
        if (in_table_) text += ",\nPRIMARY KEY (" + names + ")";
    } else {
        add_stmt(
            name,
            "ALTER TABLE " + table + " ADD CONSTRAINT " + name + " PRIMARY KEY (" + names + ")",
            {table});
    }
}

void create_visitor::make_relationship(const std::string& name, const std::string& table,
                                       const expr_list_t& fields, const std::string& ref_table,
                                       const expr_list_t& ref_fields,
                                       impl::constraint_t::action_t action, bool) {
    std::string statement = "ALTER TABLE " + table + "\n" + "ADD CONSTRAINT \"" + name + "\"\n" +
                            "FOREIGN KEY (" + column_names(fields) + ")\n" + "REFERENCES " +
                            ref_table + "(" + column_names(ref_fields) + ")";
    if (action == impl::constraint_t::cascade)
        statement += "\nON DELETE CASCADE";
    else if (action == impl::constraint_t::set_null)
        statement += "\nON DELETE SET NULL";
    add_stmt(name, statement, {table, ref_table});
}

void create_visitor::make_schema(const std::map<std::string, expr_t>& tables) {
    for (const auto& entry : tables) entry.second.accept(*this);
}

void create_visitor::make_database(const std::map<std::string, expr_t>& schemas,
                                   const std::map<std::string, expr_t>& relationships) {
    push_list_separator("\n");
    for (const auto& entry : schemas) entry.second.accept(*this);
    for (const auto& entry : relationships) entry.second.accept(*this);
    pop_list_separator();
}

drop_visitor::drop_visitor() = default;
drop_visitor::drop_visitor(const output_callback& callback) : value_visitor_t(callback) {}

void drop_visitor::emit() {
    // Hand the statement out now; without a callback keep it for execute().
    const std::string statement = text;
    text.clear();
    if (callback_)
        callback_(statement);
    else
        add_stmt(std::to_string(get_stmt_list().size()), statement, {});
}

void drop_visitor::visit_field_t(impl::field_t&) {}
void drop_visitor::visit_index_t(impl::index_t&) {}

void drop_visitor::visit_table_t(impl::table_t& n) {
    text = "DROP TABLE " + n.name.get_value();
    emit();
}

void drop_visitor::visit_constraint_t(impl::constraint_t& n) {
    text = "ALTER TABLE " + table_name_of(n.table) + "\nDROP CONSTRAINT \"" + n.name.get_value() +
           "\"";
    emit();
}

void drop_visitor::visit_schema(impl::schema& n) {
    for (auto& entry : n.tables) entry.second.accept(*this);
}

void drop_visitor::visit_database(impl::database& n) {
    push_list_separator("\n");
    for (auto& entry : n.relationships) entry.second.accept(*this);
    for (auto& entry : n.schemas) entry.second.accept(*this);
    pop_list_separator();
}

}  // namespace sql
