// Parameter markers in libpq's notation.
#include "pgsql_markers.hpp"

#include <algorithm>
#include <cctype>

namespace tovi::pgsql {

namespace {

bool identifier_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// The end of the quoted text that starts at `at` with `quote` (one past it).
std::size_t past_quoted(const std::string& s, std::size_t at, char quote, bool backslashes) {
    for (std::size_t i = at + 1; i < s.size(); ++i) {
        if (backslashes && s[i] == '\\') {
            ++i;
        } else if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                ++i;  // doubled: part of the text
            } else {
                return i + 1;
            }
        }
    }
    return s.size();
}

// The end of a dollar quote starting at `at`, or `at` when none starts there.
std::size_t past_dollar_quoted(const std::string& s, std::size_t at) {
    std::size_t end = at + 1;
    while (end < s.size() && s[end] != '$') {
        if (!identifier_char(s[end]) || std::isdigit(static_cast<unsigned char>(s[at + 1])))
            return at;
        ++end;
    }
    if (end >= s.size()) return at;
    const std::string tag = s.substr(at, end - at + 1);
    const std::size_t close = s.find(tag, end + 1);
    return close == std::string::npos ? s.size() : close + tag.size();
}

}  // namespace

std::string numbered_markers(const std::string& sql, int& count) {
    count = 0;
    std::string out;
    out.reserve(sql.size() + 8);
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        std::size_t end = i + 1;
        if (c == '\'') {
            const bool e = i > 0 && (sql[i - 1] == 'E' || sql[i - 1] == 'e') &&
                           (i < 2 || !identifier_char(sql[i - 2]));
            end = past_quoted(sql, i, '\'', e);
        } else if (c == '"') {
            end = past_quoted(sql, i, '"', false);
        } else if (c == '$' && (i == 0 || !identifier_char(sql[i - 1]))) {
            end = std::max(past_dollar_quoted(sql, i), i + 1);
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            end = sql.find('\n', i);
            end = end == std::string::npos ? sql.size() : end;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            int depth = 0;
            for (end = i; end < sql.size(); ++end) {
                if (sql.compare(end, 2, "/*") == 0) {
                    ++depth;
                    ++end;
                } else if (sql.compare(end, 2, "*/") == 0) {
                    ++end;
                    if (--depth == 0) {
                        ++end;
                        break;
                    }
                }
            }
            end = std::min(end, sql.size());
        } else if (c == '?') {
            out += '$';
            out += std::to_string(++count);
            ++i;
            continue;
        }
        out.append(sql, i, end - i);
        i = end;
    }
    return out;
}

}  // namespace tovi::pgsql
