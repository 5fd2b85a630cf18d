// Reading INSERT texts for the row insertion.
#include "ado_insert.hpp"

#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace tovi::ado {

namespace {

bool blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string trim(const std::string& text) {
    std::size_t first = 0, last = text.size();
    while (first < last && blank(text[first])) ++first;
    while (last > first && blank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// The position of `word` (upper case) in `sql` from `from`, as a whole word,
// outside quotes; npos when absent.
std::size_t find_word(const std::string& sql, const char* word, std::size_t from) {
    const std::size_t n = std::char_traits<char>::length(word);
    char quote = 0;
    for (std::size_t i = from; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote != 0) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (i + n > sql.size()) break;
        bool match =
            i == 0 || !(std::isalnum(static_cast<unsigned char>(sql[i - 1])) || sql[i - 1] == '_');
        for (std::size_t k = 0; match && k < n; ++k)
            match = std::toupper(static_cast<unsigned char>(sql[i + k])) == word[k];
        if (match && i + n < sql.size() &&
            (std::isalnum(static_cast<unsigned char>(sql[i + n])) || sql[i + n] == '_'))
            match = false;
        if (match) return i;
    }
    return std::string::npos;
}

// The items of a parenthesised list starting at sql[open] == '(', split at the
// commas outside quotes; `end` receives the position after the closing ')'.
std::vector<std::string> list_items(const std::string& sql, std::size_t open, std::size_t& end) {
    std::vector<std::string> items(1);
    char quote = 0;
    int depth = 0;  // parentheses inside an item (a function's arguments)
    for (std::size_t i = open + 1; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote != 0) {
            if (c == quote) quote = 0;  // a doubled quote closes and opens again
        } else if (c == '\'' || c == '"' || c == '[') {
            quote = c == '[' ? ']' : c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && depth > 0) {
            --depth;
        } else if (c == ',' && depth == 0) {
            items.emplace_back();
            continue;
        } else if (c == ')') {
            end = i + 1;
            for (std::string& item : items) item = trim(item);
            return items;
        }
        items.back() += c;
    }
    throw bad_sql(quote != 0 ? "Unterminated literal in the INSERT statement"
                             : "Unterminated list in the INSERT statement",
                  0);
}

// The rewriting stores values, it evaluates nothing: an expression would be
// stored as a misread value.
[[noreturn]] void refuse_expression(const std::string& item) {
    throw bad_sql("The value " + item +
                      " of the INSERT is an expression or a function call: this driver "
                      "inserts literal values and parameters only.",
                  0);
}

// Whether `item` is a parameter marker alone: "?", ":?" or ":name".
bool marker(const std::string& item) {
    if (item == "?" || item == ":?") return true;
    if (item.size() < 2 || item.front() != ':') return false;
    for (std::size_t i = 1; i < item.size(); ++i)
        if (std::isalnum(static_cast<unsigned char>(item[i])) == 0 && item[i] != '_') return false;
    return true;
}

// Whether `item` is a decimal number: a sign, digits, a fraction, an exponent
// (strtod also reads hexadecimal, "inf" and "nan").
bool decimal(const std::string& item) {
    std::size_t i = item.find_first_not_of("+-") == 1 ? 1 : 0;
    bool digits = false;
    for (; i < item.size() && std::isdigit(static_cast<unsigned char>(item[i])) != 0; ++i)
        digits = true;
    if (i < item.size() && item[i] == '.')
        for (++i; i < item.size() && std::isdigit(static_cast<unsigned char>(item[i])) != 0; ++i)
            digits = true;
    if (digits && i < item.size() && (item[i] == 'e' || item[i] == 'E')) {
        ++i;
        if (i < item.size() && (item[i] == '+' || item[i] == '-')) ++i;
        const std::size_t from = i;
        while (i < item.size() && std::isdigit(static_cast<unsigned char>(item[i])) != 0) ++i;
        if (i == from) return false;
    }
    return digits && i == item.size();
}

// A literal value: a quoted string or a number.
_variant_t literal(const std::string& item) {
    const char q = item.empty() ? '\0' : item.front();
    if (q == '\'' || q == '"') {
        std::string text;
        std::size_t i = 1;
        for (; i < item.size(); ++i) {
            if (item[i] == q) {
                if (i + 1 < item.size() && item[i + 1] == q) {  // a doubled quote is one
                    text += q;
                    ++i;
                    continue;
                }
                break;  // the closing quote
            }
            text += item[i];
        }
        if (i + 1 != item.size()) refuse_expression(item);  // more after the literal
        return _variant_t(_bstr_t(text));
    }
    if (item.find('(') != std::string::npos) refuse_expression(item);
    std::size_t digit = 0;
    while (digit < item.size() && !std::isdigit(static_cast<unsigned char>(item[digit]))) ++digit;
    if (digit == item.size()) throw bad_sql("Expected either a string or a number", 0);
    // The whole item is the number: a sign, digits, perhaps a fraction; anything
    // else would store a value the text does not say.
    const char* begin = item.c_str();
    char* stop = nullptr;
    errno = 0;
    const long long whole = std::strtoll(begin, &stop, 10);
    if (*stop == '\0' && stop != begin) {
        if (errno == ERANGE) throw bad_value_conversion(0);
        return _variant_t(static_cast<long>(whole));
    }
    errno = 0;
    const double real = std::strtod(begin, &stop);
    if (decimal(item) && *stop == '\0' && errno == 0) return _variant_t(real);
    if (item.find_first_of("&+-*/\\^<>= ", 1) != std::string::npos) refuse_expression(item);
    throw bad_value_conversion(0);
}

}  // namespace

insert_plan plan_insert(const std::string& sql) {
    insert_plan plan;
    const std::size_t into = find_word(sql, "INTO", 0);
    if (into == std::string::npos) return plan;
    std::size_t i = into + 4;
    while (i < sql.size() && blank(sql[i])) ++i;
    const std::size_t name = i;
    while (i < sql.size() && !blank(sql[i]) && sql[i] != '(') ++i;
    plan.table = sql.substr(name, i - name);
    const std::size_t values = find_word(sql, "VALUES", i);
    if (values == std::string::npos) {
        plan.from_select = find_word(sql, "SELECT", i) != std::string::npos;
        return plan;
    }
    std::vector<std::string> columns;
    std::size_t end = 0;
    const std::size_t open_columns = sql.find('(', i);
    if (open_columns < values) columns = list_items(sql, open_columns, end);
    const std::size_t open_values = sql.find('(', values);
    if (open_values == std::string::npos) throw bad_sql("Expected a list of values", 0);
    const std::vector<std::string> items = list_items(sql, open_values, end);
    if (!trim(sql.substr(end)).empty() && trim(sql.substr(end)) != ";")
        throw bad_sql("Only one row of values can be inserted", 0);
    if (!columns.empty() && columns.size() != items.size())
        throw bad_sql("The INSERT statement names " + std::to_string(columns.size()) +
                          " columns and " + std::to_string(items.size()) + " values",
                      0);
    for (const std::string& item : items) {
        insert_plan::value v;
        const bool quoted = !item.empty() && (item.front() == '\'' || item.front() == '"');
        v.parameter = !quoted && marker(item);
        if (!v.parameter) {
            // A marker inside an expression would store the parameter's own value.
            if (!quoted && item.find_first_of(":?") != std::string::npos) refuse_expression(item);
            v.literal = literal(item);
        }
        plan.values.push_back(v);
    }
    for (const std::string& column : columns)
        plan.column_list += (plan.column_list.empty() ? "" : ", ") + column;
    if (plan.column_list.empty()) plan.column_list = "*";
    plan.select_text = "SELECT " + plan.column_list + " FROM " + plan.table;
    plan.rewritten = true;
    return plan;
}

}  // namespace tovi::ado
