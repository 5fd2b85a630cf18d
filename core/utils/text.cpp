// Text helpers of namespace utils.
#include <tovi/exception.hpp>
#include <tovi/text.hpp>

#include <cctype>

#include "sql_scan.hpp"

namespace utils {

unsigned int escape_str(char* dest, const char* src, unsigned int len) {
    unsigned int written = 0;
    for (unsigned int i = 0; i < len; ++i) {
        dest[written++] = src[i];
        if (src[i] == '\'') dest[written++] = '\'';
    }
    dest[written] = '\0';
    return written;
}

std::string make_upper(const std::string& s) {
    std::string upper(s);
    makeUpper(upper);
    return upper;
}

std::string makeUpper(std::string& s) {
    // ASCII only, independent of the locale: bytes above 127 stay as they are.
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

namespace {
template <class It>
std::string replace_range(It first, It last, char c, const std::string& with) {
    std::string result;
    result.reserve(static_cast<std::size_t>(last - first));
    for (; first != last; ++first) {
        if (*first == c)
            result += with;
        else
            result += *first;
    }
    return result;
}
}  // namespace

std::string replace(const std::string& s, char c, const std::string& with) {
    return replace_range(s.begin(), s.end(), c, with);
}

std::string replace(std::string::iterator first, std::string::iterator last, char c,
                    const std::string& with) {
    return replace_range(first, last, c, with);
}

std::string replace(std::string::const_iterator first, std::string::const_iterator last, char c,
                    const std::string& with) {
    return replace_range(first, last, c, with);
}

std::string getNextParam(std::string& s) {
    if (s.empty() || s[0] != '/') return std::string();
    std::string::size_type next = s.find('/', 1);
    if (next == std::string::npos) {
        std::string param = s.substr(1);
        s.clear();
        return param;
    }
    std::string param = s.substr(1, next - 1);
    s.erase(0, next);
    return param;
}

namespace {
std::string::size_type inner_slash(const std::string& d) {
    std::string::size_type slash = d.find('/', 1);
    if (slash == std::string::npos) throw tovi::exception("Invalid descriptor structure.", 0);
    return slash;
}
}  // namespace

std::string getObjectDescriptor(const std::string& d) {
    return d.substr(0, inner_slash(d));
}

std::string getFieldDescriptor(const std::string& d) {
    return d.substr(inner_slash(d));
}

namespace {

// Copies the double-quoted identifier at `pos` ("" stands for one quote) into
// `out`; the position after it (an unterminated one runs to the end).
std::string::size_type copy_quoted_identifier(const std::string& sql, std::string::size_type pos,
                                              std::string& out) {
    std::string::size_type close = sql.find('"', pos + 1);
    while (close != std::string::npos && close + 1 < sql.size() && sql[close + 1] == '"')
        close = sql.find('"', close + 2);
    const std::string::size_type end = close == std::string::npos ? sql.size() : close + 1;
    out.append(sql, pos, end - pos);
    return end;
}

bool is_identifier_char(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// PostgreSQL's dollar-quoted literal at `pos` ($$...$$ or $tag$...$tag$, not
// inside a word): copied into `out`, the position after it; npos when none
// starts there.
std::string::size_type copy_dollar_quoted(const std::string& sql, std::string::size_type pos,
                                          std::string& out) {
    // Judged by what was written before it (a rewritten parameter is "?"), so that
    // rewriting the result again finds the same literals.
    const char before = out.empty() ? ' ' : out.back();
    if (is_identifier_char(before) || before == '$' || before == '?') return std::string::npos;
    // The tag: identifier characters, not starting with a digit ($1 is a parameter).
    std::string::size_type tag_end = pos + 1;
    if (tag_end < sql.size() && std::isdigit(static_cast<unsigned char>(sql[tag_end])))
        return std::string::npos;
    while (tag_end < sql.size() && is_identifier_char(sql[tag_end])) ++tag_end;
    if (tag_end >= sql.size() || sql[tag_end] != '$') return std::string::npos;
    const std::string tag = sql.substr(pos, tag_end + 1 - pos);
    const std::string::size_type close = sql.find(tag, tag_end + 1);
    const std::string::size_type end = close == std::string::npos ? sql.size() : close + tag.size();
    out.append(sql, pos, end - pos);
    return end;
}

}  // namespace

std::string split_sql_param(const std::string& sql, const std::string& marker,
                            const std::string& replacement) {
    return split_sql_param(sql, marker, replacement, false);
}

std::string split_sql_param(const std::string& sql, const std::string& marker,
                            const std::string& replacement, bool postgresql) {
    const std::string name_chars = marker + detail::param_name_chars;
    const std::string stop_chars = marker + (postgresql ? "?'\"$[]" : "?'\"");
    const bool plain_replacement = replacement == "?";

    std::string out;
    out.reserve(sql.size());
    unsigned long counter = 1;
    int brackets = 0;  // PostgreSQL: inside [ ], a ":" is an array slice
    std::string::size_type pos = 0;
    while (pos < sql.size()) {
        std::string::size_type stop = sql.find_first_of(stop_chars, pos);
        if (stop == std::string::npos) {
            out.append(sql, pos, std::string::npos);
            break;
        }
        out.append(sql, pos, stop - pos);
        const char c = sql[stop];
        if (c == '\'') {
            pos = detail::copy_quoted_literal(sql, stop, out);
            continue;
        }
        if (c == '"') {
            pos = copy_quoted_identifier(sql, stop, out);
            continue;
        }
        if (c == '$' || c == '[' || c == ']') {
            const std::string::size_type after =
                c == '$' ? copy_dollar_quoted(sql, stop, out) : std::string::npos;
            if (after != std::string::npos) {
                pos = after;
                continue;
            }
            if (c == '[') ++brackets;
            if (c == ']' && brackets > 0) --brackets;
            out += c;
            pos = stop + 1;
            continue;
        }
        // "::" (a cast) is never a marker, nor a ":" in an array slice.
        if (sql.compare(stop, 2, "::") == 0 || (c != '?' && brackets > 0)) {
            const std::string::size_type end =
                sql.find_first_not_of(c == ':' ? std::string(":") : marker, stop);
            out.append(sql, stop, (end == std::string::npos ? sql.size() : end) - stop);
            pos = end == std::string::npos ? sql.size() : end;
            continue;
        }
        // A parameter: the longest run of name characters (at least the stop char).
        std::string::size_type end = sql.find_first_not_of(name_chars, stop);
        if (end == std::string::npos) end = sql.size();
        const std::string::size_type cast = sql.find("::", stop + 1);  // ":a::int"
        if (cast < end) end = cast;
        const std::string::size_type run = end - stop;
        const bool anonymous = sql[stop] == '?' || (run > 1 && sql[stop + 1] == '?');
        if (anonymous || plain_replacement) {
            if (plain_replacement) {
                out += '?';
            } else {
                out += replacement;
                out += std::to_string(counter);
            }
            ++counter;
            pos = end;
        } else if (run == 1) {
            // A lone marker character is no parameter: keep it.
            out += sql[stop];
            pos = end;
        } else {
            // Named: the replacement, then the name; the run's last character is
            // read again as ordinary text.
            out += replacement;
            out.append(sql, stop + 1, run - 2);
            pos = end - 1;
        }
    }
    return out;
}

}  // namespace utils
