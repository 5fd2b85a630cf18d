// Small text rules shared by the SQL printers.
#ifndef TOVI_CORE_SQL_SQL_TEXT_HPP
#define TOVI_CORE_SQL_SQL_TEXT_HPP

#include <cstdio>
#include <ctime>
#include <string>

#include <tovi/date_conv.hpp>

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

// A date literal: quoted ISO text ('2004-02-29 13:05:00'). A bare date does not
// parse; this form is what SQL engines and tovi's own date reading understand.
inline std::string date_literal(const tm& t) {
    tovi::tm2string(t);  // the range checks, with their errors
    char text[80];       // room for any int fields; the checks keep them short
    std::snprintf(text, sizeof text, "'%04d-%02d-%02d %02d:%02d:%02d'", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

}  // namespace sql

#endif
