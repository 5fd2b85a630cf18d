// Small text rules shared by the SQL printers.
#ifndef TOVI_CORE_SQL_SQL_TEXT_HPP
#define TOVI_CORE_SQL_SQL_TEXT_HPP

#include <string>

namespace sql {

// A string literal: in single quotes, every embedded apostrophe doubled, so no
// text can end the literal early.
inline std::string quoted_literal(const std::string& value) {
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        out += c;
        if (c == '\'') out += '\'';
    }
    out += '\'';
    return out;
}

}  // namespace sql

#endif
