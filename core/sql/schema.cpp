// Schema objects: get-or-create lookups, registration and the DDL setters.
#include <tovi/exception.hpp>
#include <tovi/sql.hpp>

#include "body_cast.hpp"

namespace sql {

namespace impl {
void field_t::accept(visitor_t& v) {
    v.visit_field_t(*this);
}
void index_t::accept(visitor_t& v) {
    v.visit_index_t(*this);
}
void table_t::accept(visitor_t& v) {
    v.visit_table_t(*this);
}
void constraint_t::accept(visitor_t& v) {
    v.visit_constraint_t(*this);
}
void schema::accept(visitor_t& v) {
    v.visit_schema(*this);
}
void database::accept(visitor_t& v) {
    v.visit_database(*this);
}
void create_stmt::accept(visitor_t& v) {
    v.visit_create_stmt(*this);
}
void drop_stmt::accept(visitor_t& v) {
    v.visit_drop_stmt(*this);
}

bool field_t::not_null() const {
    return !nullable.empty() && !static_cast<bool>(nullable);
}
}  // namespace impl

// --- field_t

impl::field_t& field_t::body() const {
    return body_as<impl::field_t>("a column");
}

const field_t& field_t::TYPE(const std::string& type) const {
    body().type = string_t(type);
    return *this;
}

const field_t& field_t::SIZE(long size) const {
    body().size = long_t(size);
    return *this;
}

const field_t& field_t::NOT_NULL(bool flag) const {
    body().nullable = bool_t(!flag);  // the attribute records nullability
    return *this;
}

const field_t& field_t::DEFAULT(const expr_t& value) const {
    body().default_value = value;
    return *this;
}

const std::string& field_t::get_name() const {
    return body().name.get_value();
}

// --- index_t

impl::index_t& index_t::body() const {
    return body_as<impl::index_t>("an index");
}

const index_t& index_t::UNIQUE(bool flag) const {
    impl::index_t& b = body();
    if (!flag)
        b.type = impl::index_t::plain;
    else if (b.type == impl::index_t::plain)
        b.type = impl::index_t::unique;
    return *this;
}

const index_t& index_t::PRIMARY_KEY(bool flag) const {
    body().type = flag ? impl::index_t::primary_key : impl::index_t::plain;
    return *this;
}

const index_t& index_t::FIELD(const field_t& column) const {
    impl::index_t& b = body();
    impl::field_t& f = column.body();
    if (b.table != nullptr && f.table != nullptr && f.table != b.table)
        throw tovi::bad_operation("Column '" + f.name.get_value() +
                                      "' is not a column of the table of index '" +
                                      b.name.get_value() + "'.",
                                  0);
    const std::string& name = f.name.get_value();
    if (b.field_map.count(name) == 0) {
        b.field_map[name] = column;
        b.fields.push_back(column);
    }
    return *this;
}

const std::string& index_t::get_name() const {
    return body().name.get_value();
}

// --- table_t

table_t::table_t(const std::string& name) : expr_t(new impl::table_t()) {
    body().name = string_t(name);
}

impl::table_t& table_t::body() const {
    return body_as<impl::table_t>("a table");
}

field_t table_t::FIELD(const std::string& name) const {
    impl::table_t& t = body();
    auto it = t.field_map.find(name);
    if (it != t.field_map.end()) return field_t(it->second);
    auto* f = new impl::field_t();
    field_t column{expr_t(f)};
    f->name = string_t(name);
    f->table = &t;
    t.field_map[name] = column;
    t.fields.push_back(column);
    return column;
}

index_t table_t::INDEX(const std::string& name) const {
    impl::table_t& t = body();
    auto it = t.index_map.find(name);
    if (it != t.index_map.end()) return index_t(it->second);
    auto* i = new impl::index_t();
    index_t index{expr_t(i)};
    i->name = string_t(name);
    i->table = &t;
    t.index_map[name] = index;
    t.index_list.push_back(index);
    return index;
}

const table_t& table_t::PRIMARY_KEY(const index_t& index) const {
    impl::table_t& t = body();
    if (index.body().table != &t)
        throw tovi::bad_operation("Index '" + index.get_name() + "' does not belong to table '" +
                                      t.name.get_value() + "'.",
                                  0);
    index.PRIMARY_KEY(true);
    t.primary_index = index;
    return *this;
}

const table_t& table_t::ALIAS(const std::string& alias) const {
    body().alias = string_t(alias);
    return *this;
}

const table_t& table_t::LINK(const std::string& link) const {
    body().link = string_t(link);
    return *this;
}

const std::string& table_t::get_name() const {
    return body().name.get_value();
}
const std::string& table_t::get_alias() const {
    return body().alias.get_value();
}

// --- Schema

impl::schema& Schema::body() const {
    return body_as<impl::schema>("a schema");
}

table_t Schema::TABLE(const std::string& name) const {
    impl::schema& s = body();
    auto it = s.tables.find(name);
    if (it != s.tables.end()) return table_t(it->second);
    table_t table(name);
    table.body().owner = &s;
    s.tables[name] = table;
    return table;
}

Schema& Schema::operator+=(const table_t& table) {
    impl::schema& s = body();
    const std::string& name = table.get_name();
    if (s.tables.count(name) != 0) throw tovi::data_already_exist(0, "Data already exist.");
    table.body().owner = &s;
    s.tables[name] = table;
    return *this;
}

Schema& Schema::operator+(const table_t& table) {
    return *this += table;
}

const std::string& Schema::get_name() const {
    return body().name.get_value();
}

// --- Database

Database::Database() : expr_t(new impl::database()) {}

Database::Database(const std::string& name) : expr_t(new impl::database()) {
    body().name = string_t(name);
}

impl::database& Database::body() const {
    return body_as<impl::database>("a database");
}

Schema Database::SCHEMA(const std::string& name) const {
    impl::database& d = body();
    auto it = d.schemas.find(name);
    if (it != d.schemas.end()) return Schema(it->second);
    auto* s = new impl::schema();
    Schema schema{expr_t(s)};
    s->name = string_t(name);
    s->owner = &d;
    d.schemas[name] = schema;
    return schema;
}

Database& Database::operator+=(const Relationship& r) {
    impl::database& d = body();
    const std::string& name = r.get_name();
    if (d.relationships.count(name) != 0)
        throw tovi::data_already_exist(0, "Relationship '" + name + "' already exist.");
    r.body().owner = &d;
    d.relationships[name] = r;
    return *this;
}

Database& Database::operator+(const Relationship& r) {
    return *this += r;
}

// --- Relationship

Relationship::Relationship(const Database& db) : expr_t(new impl::constraint_t()) {
    body().owner = &db.body();
}

Relationship::Relationship(const std::string& name, const Database& db) : Relationship(db) {
    body().name = string_t(name);
}

impl::constraint_t& Relationship::body() const {
    return body_as<impl::constraint_t>("a relationship");
}

namespace {
// The handle that owns a column's table body, through the table's schema.
expr_t table_handle_of(const impl::field_t& f) {
    if (f.table != nullptr && f.table->owner != nullptr)
        for (auto& entry : f.table->owner->tables)
            if (entry.second.get() == f.table) return entry.second;
    return expr_t();
}

void add_column(const field_t& column, expr_t& table, expr_list_t& list,
                std::map<std::string, expr_t>& map, const char* role) {
    impl::field_t& f = column.body();
    if (table.empty()) table = table_handle_of(f);
    if (table.empty())
        throw tovi::bad_operation(std::string("The table of the ") + role +
                                      " column is unknown: give it with TABLE() or REF_TABLE().",
                                  0);
    if (table.get() != f.table)
        throw tovi::bad_operation(std::string("All ") + role + " columns must belong to one table.",
                                  0);
    map[f.name.get_value()] = column;
    list.push_back(column);
}

void set_table(const table_t& t, expr_t& slot, const expr_list_t& columns) {
    if (!slot.empty() && slot.get() != t.get() && columns.size() != 0)
        throw tovi::bad_operation("The relationship's columns belong to another table.", 0);
    t.body();  // checks the kind
    slot = t;
}
}  // namespace

const Relationship& Relationship::TABLE(const table_t& table) const {
    impl::constraint_t& c = body();
    set_table(table, c.table, c.fields);
    return *this;
}

const Relationship& Relationship::REF_TABLE(const table_t& table) const {
    impl::constraint_t& c = body();
    set_table(table, c.ref_table, c.ref_fields);
    return *this;
}

const Relationship& Relationship::FOREIGN_KEY(const field_t& column) const {
    impl::constraint_t& c = body();
    add_column(column, c.table, c.fields, c.field_map, "referencing");
    return *this;
}

const Relationship& Relationship::REFERENCES(const field_t& column) const {
    impl::constraint_t& c = body();
    add_column(column, c.ref_table, c.ref_fields, c.ref_field_map, "referenced");
    return *this;
}

const Relationship& Relationship::ON_DELETE(impl::constraint_t::action_t action) const {
    body().action = action;
    return *this;
}

const std::string& Relationship::get_name() const {
    return body().name.get_value();
}

Create::Create(const expr_t& object) : expr_t(new impl::create_stmt(object)) {}
Drop::Drop(const expr_t& object) : expr_t(new impl::drop_stmt(object)) {}

}  // namespace sql
