/// @file
/// The SQL builder: expression trees, queries, schema objects and the visitors
/// that print them (namespace sql).
#ifndef TOVI_SQL_HPP
#define TOVI_SQL_HPP

#include <tovi/sql/expr.hpp>
#include <tovi/sql/name_visitors.hpp>
#include <tovi/sql/nodes.hpp>
#include <tovi/sql/printers.hpp>
#include <tovi/sql/query.hpp>
#include <tovi/sql/schema.hpp>
#include <tovi/sql/script.hpp>
#include <tovi/sql/visitor.hpp>

#endif
