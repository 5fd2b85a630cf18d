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
    for (std::size_t i = open + 1; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote != 0) {
            if (c == quote) quote = 0;  // a doubled quote closes and opens again
        } else if (c == '\'' || c == '"' || c == '[') {
            quote = c == '[' ? ']' : c;
        } else if (c == ',') {
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

// A literal value: a quoted string or a number.
_variant_t literal(const std::string& item) {
    const char q = item.empty() ? '\0' : item.front();
    if ((q == '\'' || q == '"') && item.size() >= 2 && item.back() == q) {
        std::string text;
        for (std::size_t i = 1; i + 1 < item.size(); ++i) {
            text += item[i];
            if (item[i] == q && item[i + 1] == q) ++i;  // a doubled quote is one
        }
        return _variant_t(_bstr_t(text));
    }
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
    if (*stop == '\0' && stop != begin && errno == 0 &&
        std::isdigit(static_cast<unsigned char>(item.back())))
        return _variant_t(real);
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
        v.parameter = !quoted && item.find_first_of(":?") != std::string::npos;
        if (!v.parameter) v.literal = literal(item);
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
