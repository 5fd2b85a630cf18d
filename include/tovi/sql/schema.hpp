// Schema objects of the SQL builder: databases, schemas, tables, columns,
// indexes and foreign-key relationships, plus the Create and Drop statements
// that wrap them. Asking a parent for a child by name gets or creates it.
//
// A parent's map owns its children; a child's back pointer to its parent is a
// plain pointer, so a child handle must not outlive every handle of its parent
// if it is to reach the parent.
#ifndef TOVI_SQL_SCHEMA_HPP
#define TOVI_SQL_SCHEMA_HPP

#include <map>
#include <string>

#include <tovi/config.hpp>
#include <tovi/sql/expr.hpp>

namespace sql {

class table_t;
class index_t;
class Database;

namespace impl {

struct table_t;
struct schema;
struct database;

struct TOVI_API field_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    // True when the column was declared NOT NULL (the stored attribute is the
    // column's nullability: set and false).
    bool not_null() const;

    sql::string_t name;
    table_t* table = nullptr;
    sql::expr_list_t indexes;  // kept empty: an index owns its columns, not the reverse
    sql::string_t type;        // a portable type name: VARCHAR, INTEGER, ...
    expr_t reserved1;
    expr_t reserved2;
    sql::long_t size;  // empty or 0: no size
    expr_t reserved3;
    expr_t reserved4;
    expr_t reserved5;
    sql::bool_t nullable;  // empty: not declared
    expr_t default_value;
    bool flag = false;
};

struct TOVI_API index_t : expr_t::impl_t {
    enum type_t { primary_key = 0, unique = 1, plain = 2 };
    void accept(visitor_t& v) override;

    sql::string_t name;
    table_t* table = nullptr;
    std::map<std::string, expr_t> field_map;  // columns by name
    sql::expr_list_t fields;                  // columns in order
    type_t type = plain;
};

struct TOVI_API table_t : expr_t::impl_t {
    void accept(visitor_t& v) override;

    sql::string_t name;
    schema* owner = nullptr;
    sql::string_t alias;
    sql::string_t link;  // printed after "@"
    expr_t primary_index;
    expr_t reserved;
    std::map<std::string, expr_t> field_map;
    sql::expr_list_t fields;  // in creation order
    std::map<std::string, expr_t> index_map;
    sql::expr_list_t index_list;  // in creation order
};

struct TOVI_API constraint_t : expr_t::impl_t {
    enum action_t {
        no_action = 0,
        restrict_action = 1,
        cascade = 2,
        set_default = 3,
        set_null = 4
    };
    void accept(visitor_t& v) override;

    sql::string_t name;
    expr_t reserved1;
    database* owner = nullptr;  // plain back pointer: the database owns its relationships
    expr_t table;               // the referencing table
    expr_t ref_table;           // the referenced table
    sql::expr_list_t fields;    // referencing columns, in order
    std::map<std::string, expr_t> field_map;
    sql::expr_list_t ref_fields;  // referenced columns, in order
    std::map<std::string, expr_t> ref_field_map;
    expr_t reserved2;
    action_t action = no_action;
};

struct TOVI_API schema : expr_t::impl_t {
    void accept(visitor_t& v) override;
    sql::string_t name;
    database* owner = nullptr;
    std::map<std::string, expr_t> tables;
};

struct TOVI_API database : expr_t::impl_t {
    void accept(visitor_t& v) override;
    sql::string_t name;
    std::map<std::string, expr_t> schemas;
    std::map<std::string, expr_t> relationships;
};

struct TOVI_API create_stmt : expr_t::impl_t {
    explicit create_stmt(const expr_t& o) : object(o) {}
    void accept(visitor_t& v) override;
    expr_t object;
};

struct TOVI_API drop_stmt : expr_t::impl_t {
    explicit drop_stmt(const expr_t& o) : object(o) {}
    void accept(visitor_t& v) override;
    expr_t object;
};

}  // namespace impl

// A column.
class TOVI_API field_t : public expr_t {
public:
    field_t() = default;
    field_t(const expr_t& e) : expr_t(e) {}

    // The portable type name (see the dialects' type mappings).
    const field_t& TYPE(const std::string& type) const;
    // The column size, printed as "(size)" after the type when not 0.
    const field_t& SIZE(long size) const;
    // NOT_NULL(true) declares the column NOT NULL; NOT_NULL(false) nullable.
    const field_t& NOT_NULL(bool flag = true) const;
    const field_t& DEFAULT(const expr_t& value) const;
    const std::string& get_name() const;
    impl::field_t& body() const;
};

// An index of a table.
class TOVI_API index_t : public expr_t {
public:
    index_t() = default;
    index_t(const expr_t& e) : expr_t(e) {}

    // true: a plain index becomes unique (a primary key stays one); false: plain.
    const index_t& UNIQUE(bool flag = true) const;
    // true: a primary key; false: plain.
    const index_t& PRIMARY_KEY(bool flag = true) const;
    // Appends a column (of any table handle sharing the index's table body).
    const index_t& FIELD(const field_t& column) const;
    const std::string& get_name() const;
    impl::index_t& body() const;
};

class TOVI_API table_t : public expr_t {
public:
    table_t() = default;
    // A table not (yet) in a schema; add it with Schema::operator+=.
    explicit table_t(const std::string& name);
    table_t(const expr_t& e) : expr_t(e) {}

    // The column of that name (created and appended on first use).
    field_t FIELD(const std::string& name) const;
    // The index of that name (created and appended on first use).
    index_t INDEX(const std::string& name) const;
    // Makes `index` (one of this table's) the primary key.
    const table_t& PRIMARY_KEY(const index_t& index) const;
    const table_t& ALIAS(const std::string& alias) const;
    const table_t& LINK(const std::string& link) const;
    const std::string& get_name() const;
    const std::string& get_alias() const;
    impl::table_t& body() const;
};

class TOVI_API Schema : public expr_t {
public:
    Schema() = default;
    Schema(const expr_t& e) : expr_t(e) {}

    table_t TABLE(const std::string& name) const;
    // Registers `table` under its name; tovi::data_already_exist ("Data already
    // exist.") when the name is taken.
    Schema& operator+=(const table_t& table);
    Schema& operator+(const table_t& table);
    const std::string& get_name() const;
    impl::schema& body() const;
};

class Relationship;

class TOVI_API Database : public expr_t {
public:
    Database();
    explicit Database(const std::string& name);
    Database(const expr_t& e) : expr_t(e) {}

    Schema SCHEMA(const std::string& name) const;
    // Registers `r` under its name; tovi::data_already_exist ("Relationship '<name>'
    // already exist.") when the name is taken.
    Database& operator+=(const Relationship& r);
    Database& operator+(const Relationship& r);
    impl::database& body() const;
};

// A foreign key: referencing table and columns, referenced table and columns,
// and what deleting a referenced row does.
class TOVI_API Relationship : public expr_t {
public:
    Relationship() = default;
    Relationship(const expr_t& e) : expr_t(e) {}
    explicit Relationship(const Database& db);
    Relationship(const std::string& name, const Database& db);

    // The referencing / referenced table. Optional for tables of a schema: the
    // first column names them.
    const Relationship& TABLE(const table_t& table) const;
    const Relationship& REF_TABLE(const table_t& table) const;
    // Appends a referencing column; all must belong to one table.
    const Relationship& FOREIGN_KEY(const field_t& column) const;
    // Appends a referenced column; all must belong to one table.
    const Relationship& REFERENCES(const field_t& column) const;
    const Relationship& ON_DELETE(impl::constraint_t::action_t action) const;
    const std::string& get_name() const;
    impl::constraint_t& body() const;
};

class TOVI_API Create : public expr_t {
public:
    Create() = default;
    explicit Create(const expr_t& object);
};

class TOVI_API Drop : public expr_t {
public:
    Drop() = default;
    explicit Drop(const expr_t& object);
};

}  // namespace sql

#endif
