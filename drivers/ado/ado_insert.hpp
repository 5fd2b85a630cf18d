// The INSERT rewriting: an "INSERT INTO t [(columns)] VALUES (values)" becomes a
// row added through an updatable recordset on "SELECT columns FROM t", each
// value either an application parameter or a literal every row carries.
#ifndef TOVI_DRIVERS_ADO_ADO_INSERT_HPP
#define TOVI_DRIVERS_ADO_ADO_INSERT_HPP

#include <string>
#include <vector>

#include <tovi/tovi.hpp>

namespace tovi::ado {

struct insert_plan {
    std::string table;
    bool rewritten = false;    // a VALUES list: the row goes through a recordset
    bool from_select = false;  // INSERT ... SELECT: run as it stands
    std::string column_list;   // "a, b, c", or "*" without a column list
    // Per column of the row, in order: a parameter (bound by the application, in
    // marker order) or a literal.
    struct value {
        bool parameter = false;
        _variant_t literal;
    };
    std::vector<value> values;
    std::string select_text;  // "SELECT " + column_list + " FROM " + table
};

// Reads an INSERT text. Quoted literals may hold commas, parentheses and
// doubled quotes; numbers are integers (or decimals), signed or not.
// tovi::bad_sql "Expected either a string or a number" for a value that is
// neither; tovi::bad_value_conversion for a number with trailing characters;
// tovi::bad_sql for an unterminated list or literal, a column count that differs
// from the value count, or text after the value list (more than one row).
insert_plan plan_insert(const std::string& sql);

}  // namespace tovi::ado

#endif
