// Lexing shared by the parameter rewriter and PreparedStmt: quoted literals and
// runs of parameter-name characters.
#ifndef TOVI_CORE_UTILS_SQL_SCAN_HPP
#define TOVI_CORE_UTILS_SQL_SCAN_HPP

#include <string>

namespace utils::detail {

// Characters that may follow a marker in a parameter name (after the marker's own).
inline constexpr const char* param_name_chars =
    "?1234567890qwertyuiopasdfghjklzxcvbnmQWERTYUIOPASDFGHJKLZXCVBNM";

// `sql[pos]` is the opening apostrophe of a literal. Appends the whole literal to
// `out` and returns the position after it. An apostrophe right after a backslash
// does not close the literal; without a closing apostrophe the literal runs to the
// end of the text.
inline std::string::size_type copy_quoted_literal(const std::string& sql,
                                                  std::string::size_type pos, std::string& out) {
    out += '\'';
    ++pos;
    for (;;) {
        std::string::size_type close = sql.find('\'', pos);
        if (close == std::string::npos) {
            out.append(sql, pos, std::string::npos);
            return sql.size();
        }
        out.append(sql, pos, close + 1 - pos);
        bool escaped = close > pos && sql[close - 1] == '\\';
        pos = close + 1;
        if (!escaped) return pos;
    }
}

}  // namespace utils::detail

#endif
