// What every dialect module repeats: statement classification by leading
// keyword, the fallback for errors no rule matches, the server base class and the
// make_server export. A dialect module is then only its tables.
#ifndef TOVI_DIALECTS_COMMON_DIALECT_COMMON_HPP
#define TOVI_DIALECTS_COMMON_DIALECT_COMMON_HPP

#include <cstddef>
#include <new>
#include <string>

#include <tovi/exception.hpp>
#include <tovi/module.hpp>
#include <tovi/server.hpp>
#include <tovi/statement_type.hpp>

namespace tovi::dialect {

// A leading keyword and its kind; when `next_keyword` is set and follows as the
// next word, the kind is `next_type` instead (CREATE DATABASE, SET TRANSACTION).
struct keyword_rule {
    const char* keyword;
    statement_type type;
    const char* next_keyword = nullptr;
    statement_type next_type = stmt_other;
};

// Upper-cases `sql`, finds its first word and returns the kind of the first rule
// whose keyword it is; stmt_other when none is. tovi::bad_operation "Attempt to
// parse an empty string" for a text of blanks only.
statement_type classify(const std::string& sql, const keyword_rule* rules, std::size_t count);

template <std::size_t N>
statement_type classify(const std::string& sql, const keyword_rule (&rules)[N]) {
    return classify(sql, rules, N);
}

// The last entry of an error stack (what the dialect tables examine).
const error_info& last_entry(const exception& e);

// No rule matched: a plain tovi::exception built from `e`, `text` and the native
// code of the last entry.
[[noreturn]] void throw_unmatched(const exception& e, const std::string& text);

// The base of a dialect's server: both interfaces in one object.
class server_base : public server_t, public sql_support {
public:
    sql_support* get_sql_support() override { return this; }
};

}  // namespace tovi::dialect

// Defines the module's make_server export for a server class.
#define TOVI_DIALECT_MAKE_SERVER(ServerClass) \
    TOVI_MODULE_EXPORT tovi::server_t* make_server() { return new (std::nothrow) ServerClass(); }

#endif
