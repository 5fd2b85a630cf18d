/// @file
/// Schema objects of the SQL builder: databases, schemas, tables, columns,
/// indexes and foreign-key relationships, plus the Create and Drop statements
/// that wrap them. Asking a parent for a child by name gets or creates it.
///
/// A parent's map owns its children; a child's back pointer to its parent is a
/// plain pointer, so a child handle must not outlive every handle of its parent
/// if it is to reach the parent.
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

/// A column.
struct TOVI_API field_t : expr_t::impl_t {
    void accept(visitor_t& v) override;
    /// True when the column was declared NOT NULL (the stored attribute is the
    /// column's nullability: set and false).
    bool not_null() const;

    sql::string_t name;        ///< the column's name
    table_t* table = nullptr;  ///< the owning table (plain back pointer)
    sql::expr_list_t indexes;  ///< kept empty: an index owns its columns, not the reverse
    sql::string_t type;        ///< a portable type name: VARCHAR, INTEGER, ...
    expr_t reserved1;          ///< unused
    expr_t reserved2;          ///< unused
    sql::long_t size;          ///< empty or 0: no size
    expr_t reserved3;          ///< unused
    expr_t reserved4;          ///< unused
    expr_t reserved5;          ///< unused
    sql::bool_t nullable;      ///< empty: not declared
    expr_t default_value;      ///< printed after DEFAULT, when present
    bool flag = false;         ///< unused
};

/// An index.
struct TOVI_API index_t : expr_t::impl_t {
    /// What the index enforces.
    enum type_t { primary_key = 0, unique = 1, plain = 2 };
    void accept(visitor_t& v) override;

    sql::string_t name;                       ///< the index's name
    table_t* table = nullptr;                 ///< the owning table (plain back pointer)
    std::map<std::string, expr_t> field_map;  ///< columns by name
    sql::expr_list_t fields;                  ///< columns in order
    type_t type = plain;                      ///< what it enforces
};

/// A table.
struct TOVI_API table_t : expr_t::impl_t {
    void accept(visitor_t& v) override;

    sql::string_t name;                       ///< the table's name
    schema* owner = nullptr;                  ///< the schema it is registered in, or null
    sql::string_t alias;                      ///< its name in a query, when present
    sql::string_t link;                       ///< printed after "@"
    expr_t primary_index;                     ///< the primary-key index, when set
    expr_t reserved;                          ///< unused
    std::map<std::string, expr_t> field_map;  ///< columns by name
    sql::expr_list_t fields;                  ///< in creation order
    std::map<std::string, expr_t> index_map;  ///< indexes by name
    sql::expr_list_t index_list;              ///< in creation order
};

/// A foreign-key relationship.
struct TOVI_API constraint_t : expr_t::impl_t {
    /// What deleting a referenced row does.
    enum action_t {
        no_action = 0,
        restrict_action = 1,
        cascade = 2,
        set_default = 3,
        set_null = 4
    };
    void accept(visitor_t& v) override;

    sql::string_t name;         ///< the constraint's name
    expr_t reserved1;           ///< unused
    database* owner = nullptr;  ///< plain back pointer: the database owns its relationships
    expr_t table;               ///< the referencing table
    expr_t ref_table;           ///< the referenced table
    sql::expr_list_t fields;    ///< referencing columns, in order
    std::map<std::string, expr_t> field_map;      ///< referencing columns by name
    sql::expr_list_t ref_fields;                  ///< referenced columns, in order
    std::map<std::string, expr_t> ref_field_map;  ///< referenced columns by name
    expr_t reserved2;                             ///< unused
    action_t action = no_action;                  ///< ON DELETE
};

/// A schema: a named set of tables.
struct TOVI_API schema : expr_t::impl_t {
    void accept(visitor_t& v) override;
    sql::string_t name;                    ///< the schema's name
    database* owner = nullptr;             ///< the database it belongs to (plain back pointer)
    std::map<std::string, expr_t> tables;  ///< tables by name
};

/// A database: schemas and the relationships between their tables.
struct TOVI_API database : expr_t::impl_t {
    void accept(visitor_t& v) override;
    sql::string_t name;                           ///< the database's name
    std::map<std::string, expr_t> schemas;        ///< schemas by name
    std::map<std::string, expr_t> relationships;  ///< relationships by name
};

/// CREATE of a schema object.
struct TOVI_API create_stmt : expr_t::impl_t {
    explicit create_stmt(const expr_t& o) : object(o) {}  ///< shares `o`
    void accept(visitor_t& v) override;
    expr_t object;  ///< what to create
};

/// DROP of a schema object.
struct TOVI_API drop_stmt : expr_t::impl_t {
    explicit drop_stmt(const expr_t& o) : object(o) {}  ///< shares `o`
    void accept(visitor_t& v) override;
    expr_t object;  ///< what to drop
};

}  // namespace impl

/// A column.
class TOVI_API field_t : public expr_t {
public:
    field_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    field_t(const expr_t& e) : expr_t(e) {}

    /// The portable type name (see the dialects' type mappings).
    const field_t& TYPE(const std::string& type) const;
    /// The column size, printed as "(size)" after the type when not 0.
    const field_t& SIZE(long size) const;
    /// NOT_NULL(true) declares the column NOT NULL; NOT_NULL(false) nullable.
    const field_t& NOT_NULL(bool flag = true) const;
    /// The default value (a literal).
    const field_t& DEFAULT(const expr_t& value) const;
    /// The column's name.
    const std::string& get_name() const;
    /// The body; tovi::bad_operation for an absent or other node.
    impl::field_t& body() const;
};

/// An index of a table.
class TOVI_API index_t : public expr_t {
public:
    index_t() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    index_t(const expr_t& e) : expr_t(e) {}

    /// true: a plain index becomes unique (a primary key stays one); false: plain.
    const index_t& UNIQUE(bool flag = true) const;
    /// true: a primary key; false: plain.
    const index_t& PRIMARY_KEY(bool flag = true) const;
    /// Appends a column (of any table handle sharing the index's table body).
    const index_t& FIELD(const field_t& column) const;
    /// The index's name.
    const std::string& get_name() const;
    /// The body; tovi::bad_operation for an absent or other node.
    impl::index_t& body() const;
};

/// A table: its columns, indexes and primary key.
class TOVI_API table_t : public expr_t {
public:
    table_t() = default;
    /// A table not (yet) in a schema; add it with Schema::operator+=.
    explicit table_t(const std::string& name);
    /// Views `e` as this kind; a node of another kind fails when used.
    table_t(const expr_t& e) : expr_t(e) {}

    /// The column of that name (created and appended on first use).
    field_t FIELD(const std::string& name) const;
    /// The index of that name (created and appended on first use).
    index_t INDEX(const std::string& name) const;
    /// Makes `index` (one of this table's) the primary key.
    const table_t& PRIMARY_KEY(const index_t& index) const;
    /// The name the table goes by in queries.
    const table_t& ALIAS(const std::string& alias) const;
    /// A database link, printed after "@".
    const table_t& LINK(const std::string& link) const;
    /// The table's name.
    const std::string& get_name() const;
    /// The alias; empty when none.
    const std::string& get_alias() const;
    /// The body; tovi::bad_operation for an absent or other node.
    impl::table_t& body() const;
};

/// A schema: a named set of tables.
class TOVI_API Schema : public expr_t {
public:
    Schema() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    Schema(const expr_t& e) : expr_t(e) {}

    /// The table of that name (created on first use).
    table_t TABLE(const std::string& name) const;
    /// Registers `table` under its name; tovi::data_already_exist ("Data already
    /// exist.") when the name is taken.
    Schema& operator+=(const table_t& table);
    /// operator+=(table).
    Schema& operator+(const table_t& table);
    /// The schema's name.
    const std::string& get_name() const;
    /// The body; tovi::bad_operation for an absent or other node.
    impl::schema& body() const;
};

class Relationship;

/// A database: schemas and the relationships between their tables.
class TOVI_API Database : public expr_t {
public:
    /// A new, unnamed database.
    Database();
    /// A new database called `name`.
    explicit Database(const std::string& name);
    /// Views `e` as this kind; a node of another kind fails when used.
    Database(const expr_t& e) : expr_t(e) {}

    /// The schema of that name (created on first use).
    Schema SCHEMA(const std::string& name) const;
    /// Registers `r` under its name; tovi::data_already_exist ("Relationship '\<name\>'
    /// already exist.") when the name is taken.
    Database& operator+=(const Relationship& r);
    /// operator+=(r).
    Database& operator+(const Relationship& r);
    /// The body; tovi::bad_operation for an absent or other node.
    impl::database& body() const;
};

/// A foreign key: referencing table and columns, referenced table and columns,
/// and what deleting a referenced row does.
class TOVI_API Relationship : public expr_t {
public:
    Relationship() = default;
    /// Views `e` as this kind; a node of another kind fails when used.
    Relationship(const expr_t& e) : expr_t(e) {}
    /// A new, unnamed relationship of `db` (add it with Database::operator+=).
    explicit Relationship(const Database& db);
    /// A new relationship of `db` called `name`.
    Relationship(const std::string& name, const Database& db);

    /// The referencing / referenced table. Optional for tables of a schema: the
    /// first column names them.
    ///@{
    const Relationship& TABLE(const table_t& table) const;
    const Relationship& REF_TABLE(const table_t& table) const;
    ///@}
    /// Appends a referencing column; all must belong to one table.
    const Relationship& FOREIGN_KEY(const field_t& column) const;
    /// Appends a referenced column; all must belong to one table.
    const Relationship& REFERENCES(const field_t& column) const;
    /// What deleting a referenced row does (no_action by default).
    const Relationship& ON_DELETE(impl::constraint_t::action_t action) const;
    /// The relationship's name.
    const std::string& get_name() const;
    /// The body; tovi::bad_operation for an absent or other node.
    impl::constraint_t& body() const;
};

/// CREATE of a database, schema, table, index or relationship, for a script.
class TOVI_API Create : public expr_t {
public:
    Create() = default;
    /// Creates `object` (shared).
    explicit Create(const expr_t& object);
};

/// DROP of a database, schema, table, index or relationship, for a script.
class TOVI_API Drop : public expr_t {
public:
    Drop() = default;
    /// Drops `object` (shared).
    explicit Drop(const expr_t& object);
};

}  // namespace sql

#endif
