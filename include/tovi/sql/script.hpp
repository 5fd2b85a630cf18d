/// @file
/// Scripts: a builder tree (a Create or Drop of a schema object, or a statement)
/// run through a transaction, the way tovi::statement runs SQL text.
///
/// @code
/// sql::Database db("shop");
/// ...tables, indexes, relationships...
/// tovi::transaction tx(ds);
/// sql::script create(tx);
/// create.parse(sql::Create(db));   // the driver's script for the tree
/// create.execute();                // every DDL text, in dependency order
/// tx.commit();
/// @endcode
///
/// A driver runs scripts when its transaction also implements
/// sql::impl::script_factory; parse() on any other raises tovi::not_implemented
/// naming the driver. Not thread-safe.
#ifndef TOVI_SQL_SCRIPT_HPP
#define TOVI_SQL_SCRIPT_HPP

#include <string>

#include <tovi/config.hpp>
#include <tovi/sql/expr.hpp>
#include <tovi/statement.hpp>

namespace tovi {
class transaction;
}

namespace sql {

class value_visitor_t;

namespace impl {

/// The driver-side statement for a tree. A driver derives from it and supplies
/// the visitor that prints the tree, whose output callback runs each text.
class TOVI_API script : public tovi::impl::statement {
public:
    /// A script serving `c` (not owned).
    explicit script(tovi::data_aware_command* c);
    ~script() override;

    /// Keeps `e` (sharing its body).
    virtual void parse(const expr_t& e);
    /// "NONE": scripts are not cached.
    std::string get_key() const override;
    /// Prints the kept tree with the visitor, then runs the visitor's collected
    /// statements in dependency order through its output callback. A failing
    /// statement's exception leaves unchanged; the statements after it do not run.
    void execute() override;

    /// The visitor to print with, owned by the script. Called by execute().
    virtual value_visitor_t* get_visitor() = 0;

    /// The application's command this script serves.
    tovi::data_aware_command* get_command() const { return command; }
    /// The tree kept by parse().
    const expr_t& get_tree() const { return tree; }

protected:
    tovi::data_aware_command* command;  ///< see get_command()
    expr_t tree;                        ///< see get_tree()
};

/// The second interface of a driver transaction that runs scripts (found with
/// dynamic_cast; its type information lives in libtovi.so).
class TOVI_API script_factory {
public:
    virtual ~script_factory();
    /// A new driver script serving `command`; the driver keeps ownership until
    /// release_script.
    virtual script* create_script(tovi::data_aware_command* command) = 0;
    /// Takes a script back and destroys it. Never throws.
    virtual void release_script(script* s) = 0;
};

}  // namespace impl

/// Runs a schema or statement tree (CREATE, DROP, data) as a series of statements
/// in one of the application's transactions.
class TOVI_API script : public tovi::data_aware_command {
public:
    /// Runs trees in `t` (not owned: the application's transaction).
    explicit script(tovi::transaction& t);
    /// Releases the driver script (swallowing any failure). Never throws.
    ~script() override;
    script(const script&) = delete;
    script& operator=(const script&) = delete;

    /// Releases an earlier driver script, then has the transaction's driver make
    /// one for `e`. tovi::not_implemented when the driver runs no scripts.
    void parse(const expr_t& e);
    /// Runs the parsed tree. tovi::bad_operation before parse().
    void execute() override;
    bool next() override;

protected:
    tovi::impl::value_factory& get_bind() override;
    tovi::impl::value_factory& get_define() override;
    /// Releases the driver script, if any, and forgets it.
    void cancel();
    /// The transaction the script runs in.
    tovi::transaction* get_transaction() const { return trans; }
    /// The driver script, or null before parse().
    tovi::impl::statement* get_impl() const { return impl; }

private:
    impl::script& parsed() const;
    static void end_with_transaction(void* self);

    tovi::transaction* trans;
    tovi::impl::statement* impl;
};

}  // namespace sql

#endif
