/// @file
/// The kind of an SQL text, as a dialect classifies it; drivers decide by it how
/// to prepare and run the text.
#ifndef TOVI_STATEMENT_TYPE_HPP
#define TOVI_STATEMENT_TYPE_HPP

#include <tovi/config.hpp>

namespace tovi {

/// The kind of an SQL statement, as a dialect classifies its text.
enum statement_type {
    stmt_other = 0,
    stmt_select = 1,  ///< also SHOW, EXPLAIN and other queries, as a dialect sees fit
    stmt_insert = 2,
    stmt_delete = 3,
    stmt_update = 4,
    stmt_create = 5,
    stmt_create_database = 6,
    stmt_drop = 7,
    stmt_alter = 8,
    /// 9 is not used.
    stmt_set = 10,
    stmt_set_transaction = 11,
};

/// INSERT, DELETE and UPDATE.
TOVI_API bool is_dml(statement_type t);
/// CREATE, DROP and ALTER (CREATE DATABASE is neither DML nor DDL).
TOVI_API bool is_ddl(statement_type t);

}  // namespace tovi

#endif
