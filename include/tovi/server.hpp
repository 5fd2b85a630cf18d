/// @file
/// The server descriptor a dialect module gives: it classifies native errors into
/// tovi's exception tree, classifies SQL text and supplies the DDL printer.
///
/// Dialect modules derive `dialect_server` from server_t first and sql_support
/// second; the core holds descriptors as boost::shared_ptr<server_t>. The slot
/// order of both interfaces is part of the interface between separately built
/// modules.
#ifndef TOVI_SERVER_HPP
#define TOVI_SERVER_HPP

#include <string>

#include <tovi/config.hpp>
#include <tovi/exception.hpp>
#include <tovi/statement_type.hpp>

namespace sql {
class create_visitor;
class drop_visitor;
}  // namespace sql

namespace tovi {

class sql_support;

/// A dialect's descriptor: classifies native errors and gives the dialect's SQL support.
/// Made by a dialect module's makeServer export; owned by the data source.
class TOVI_API server_t {
public:
    server_t() = default;
    /// Deletes through the dialect module's own code.
    virtual ~server_t();
    /// Called by drivers for every native failure, with the context text of the
    /// operation: classifies `e` (keeping its whole stack) and throws the class
    /// (the driver then adds the context to a classified one); an unmatched
    /// error is thrown as a tovi::exception ending with the context. Never
    /// returns. Any thread (it keeps no state).
    [[noreturn]] virtual void translate_error(const exception& e, const std::string& context) = 0;
    /// The descriptor's second interface, owned by the descriptor.
    virtual sql_support* get_sql_support() = 0;

    /// The dialect module's name, as the URL gave it (e.g. "SQLite").
    std::string name;
};

/// What a dialect knows of SQL text: statement kinds and its DDL printer.
class TOVI_API sql_support {
public:
    virtual ~sql_support();
    /// The kind of an SQL text; tovi::bad_operation "Attempt to parse an empty
    /// string" for a blank text.
    virtual statement_type get_statement_type(const std::string& sql) = 0;
    /// A new DDL printer for this dialect (no output callback yet); the caller
    /// deletes it.
    virtual sql::create_visitor* make_create_visitor() = 0;
};

/// A dialect whose engine cannot run what sql::drop_visitor prints (SQLite has
/// no ALTER TABLE ... DROP CONSTRAINT) implements this interface too, on the
/// object get_sql_support() returns; scripts find it with dynamic_cast.
class TOVI_API drop_support {
public:
    virtual ~drop_support();
    /// A new drop printer for this dialect (no output callback yet); the caller
    /// deletes it.
    virtual sql::drop_visitor* make_drop_visitor() = 0;
};

/// A dialect whose server quotes text in more ways than SQL's own ('...' and
/// "...") implements this too, on the object get_sql_support() returns; drivers
/// find it with dynamic_cast when they rewrite parameter markers, so a marker
/// inside such a literal stays text.
class TOVI_API quoting_support {
public:
    virtual ~quoting_support();
    /// Whether the server has PostgreSQL's dollar-quoted literals and array slices.
    virtual bool postgresql_quoting() const = 0;
};

}  // namespace tovi

#endif
