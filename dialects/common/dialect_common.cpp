// Statement classification and the unmatched-error fallback shared by dialects.
#include "dialect_common.hpp"

#include <cctype>
#include <cstring>

#include <tovi/driver/native_exception.hpp>
#include <tovi/text.hpp>

namespace tovi::dialect {

namespace {
bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool is_word(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

// Does `word` stand at `pos` of `text`, as a whole word?
bool word_at(const std::string& text, std::size_t pos, const char* word) {
    const std::size_t n = std::strlen(word);
    return text.compare(pos, n, word) == 0 && (pos + n == text.size() || !is_word(text[pos + n]));
}
}  // namespace

namespace {
// The position of the first word at or after `pos`: past blanks, comments
// ("--" to the end of the line, "/* */") and, where `parentheses`, opening
// parentheses. A query that starts with a comment or "(" still returns rows.
std::size_t skip_to_word(const std::string& text, std::size_t pos, bool parentheses) {
    while (pos < text.size()) {
        if (is_blank(text[pos]) || (parentheses && text[pos] == '(')) {
            ++pos;
        } else if (text.compare(pos, 2, "--") == 0) {
            pos = text.find('\n', pos);
            if (pos == std::string::npos) return text.size();
        } else if (text.compare(pos, 2, "/*") == 0) {
            pos = text.find("*/", pos + 2);
            if (pos == std::string::npos) return text.size();
            pos += 2;
        } else {
            break;
        }
    }
    return pos;
}

// Whether `word` stands as a whole word in `text` after `pos`, outside quoted
// literals and identifiers.
bool word_later(const std::string& text, std::size_t pos, const char* word) {
    char quote = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (quote != 0) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if ((pos == 0 || !is_word(text[pos - 1])) && word_at(text, pos, word)) {
            return true;
        }
    }
    return false;
}
}  // namespace

statement_type classify(const std::string& sql, const keyword_rule* rules, std::size_t count) {
    const std::string upper = utils::make_upper(sql);
    if (upper.find_first_not_of(" \t\n\r") == std::string::npos)
        throw bad_operation("Attempt to parse an empty string", 0);
    const std::size_t start = skip_to_word(upper, 0, true);  // comments only: the engine's to say
    for (std::size_t i = 0; i < count; ++i) {
        const keyword_rule& rule = rules[i];
        if (!word_at(upper, start, rule.keyword)) continue;
        const std::size_t after = start + std::strlen(rule.keyword);
        if (rule.next_keyword != nullptr &&
            word_at(upper, skip_to_word(upper, after, false), rule.next_keyword))
            return rule.next_type;
        if (rule.later_keyword != nullptr && word_later(upper, after, rule.later_keyword))
            return rule.later_type;
        return rule.type;
    }
    return stmt_other;
}

const error_info& last_entry(const exception& e) {
    static const error_info none{};
    return e.get_count() > 0 ? e.get_entry(e.get_count() - 1) : none;
}

void classify(const exception& e, int code, const error_rule* rules, std::size_t count,
              const std::string& unmatched_text, const char* tag) {
    const error_info& last = last_entry(e);
    const std::string& m = last.message;
    const std::string& state = driver::sqlstate_of(e);
    const char* after_tag = nullptr;
    if (tag != nullptr) {
        const std::size_t at = m.find(tag);
        if (at != std::string::npos) after_tag = m.c_str() + at + std::strlen(tag);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const error_rule& r = rules[i];
        bool hit = false;
        switch (r.how) {
            case match::code:
                hit = code == r.code;
                break;
            case match::starts_with:
                hit = m.rfind(r.phrase, 0) == 0 ||
                      (after_tag != nullptr &&
                       std::strncmp(after_tag, r.phrase, std::strlen(r.phrase)) == 0);
                break;
            case match::contains:
                hit = m.find(r.phrase) != std::string::npos;
                break;
            case match::code_and_contains:
                hit = code == r.code && m.find(r.phrase) != std::string::npos;
                break;
            case match::sqlstate:
                hit = !state.empty() && state.rfind(r.phrase, 0) == 0;
                break;
        }
        if (hit) r.raise(e, code);
    }
    throw_unmatched(e, unmatched_text);
}

void throw_unmatched(const exception& e, const std::string& text) {
    throw exception(e, text, last_entry(e).code);
}

std::string map_type(const sql::impl::field_t& field, const type_rule* rules, std::size_t count,
                     const char* fallback) {
    const std::string& portable = field.type.get_value();
    for (std::size_t i = 0; i < count; ++i)
        if (portable == rules[i].portable) return rules[i].native;
    return fallback;
}

long field_size(const sql::impl::field_t& field) {
    return field.size.empty() ? 0 : field.size.get_value();
}

std::string with_size(std::string type, long size) {
    if (size != 0) type += "(" + std::to_string(size) + ")";
    return type;
}

}  // namespace tovi::dialect
