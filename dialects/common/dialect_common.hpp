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
#include <tovi/sql.hpp>
#include <tovi/statement_type.hpp>

namespace tovi::dialect {

// A leading keyword and its kind; when `next_keyword` is set and follows as the
// next word, the kind is `next_type` instead (CREATE DATABASE, SET TRANSACTION).
// When `later_keyword` stands anywhere after it outside quotes, the kind is
// `later_type` (INSERT ... RETURNING returns rows).
struct keyword_rule {
    const char* keyword;
    statement_type type;
    const char* next_keyword = nullptr;
    statement_type next_type = stmt_other;
    const char* later_keyword = nullptr;
    statement_type later_type = stmt_other;
};

// Upper-cases `sql`, finds its first word (after blanks, comments and opening
// parentheses) and returns the kind of the first rule whose keyword it is;
// stmt_other when none is. tovi::bad_operation "Attempt to parse an empty string"
// for a text of blanks only.
statement_type classify(const std::string& sql, const keyword_rule* rules, std::size_t count);

template <std::size_t N>
statement_type classify(const std::string& sql, const keyword_rule (&rules)[N]) {
    return classify(sql, rules, N);
}

// The last entry of an error stack (what the dialect tables examine).
const error_info& last_entry(const exception& e);

// --- error classification as data
//
// A dialect lists its rules in a table; classify() tries them in order on the
// last entry of the error and throws the class of the first that matches.

// Throws `e` as a classified exception (never returns); `code` is the native code
// the rules were matched against.
using raise_fn = void (*)(const exception& e, int code);

// The usual raiser: E(e, 0), for the classes with a (previous, code) constructor.
template <class E>
[[noreturn]] void raise_as(const exception& e, int) {
    throw E(e, 0);
}

// E(e, code): the classified entry keeps the native code (engines whose codes are
// the classification, such as InterBase's and Jet's).
template <class E>
[[noreturn]] void raise_coded(const exception& e, int code) {
    throw E(e, code);
}

enum class match {
    code,               // the native code equals `code`
    starts_with,        // the message starts with `phrase`, or what follows the driver
                        // tag does (see classify)
    contains,           // the message contains `phrase`
    code_and_contains,  // both: the code equals `code` and the message contains `phrase`
    sqlstate,           // the SQLSTATE the driver reported starts with `phrase` (a
                        // whole state, or its two-character class)
};

struct error_rule {
    match how;
    const char* phrase;  // for starts_with, contains, code_and_contains and sqlstate
    int code;            // for code and code_and_contains
    raise_fn raise;
};

// Applies `rules` to the last entry of `e`; with none matching, throw_unmatched(e,
// unmatched_text). `tag` (such as "[SQLite]"): a message that carries it (another
// driver's diagnostic prefix before it) is also tried from just after it by the
// starts_with rules.
// The code matched against is `code`: the last entry's as it stands, or as the
// dialect reads it (Jet's 16-bit numbers, say).
[[noreturn]] void classify(const exception& e, int code, const error_rule* rules, std::size_t count,
                           const std::string& unmatched_text, const char* tag = nullptr);

template <std::size_t N>
[[noreturn]] void classify(const exception& e, const error_rule (&rules)[N],
                           const std::string& unmatched_text, const char* tag = nullptr) {
    classify(e, last_entry(e).code, rules, N, unmatched_text, tag);
}

template <std::size_t N>
[[noreturn]] void classify(const exception& e, int code, const error_rule (&rules)[N],
                           const std::string& unmatched_text) {
    classify(e, code, rules, N, unmatched_text);
}

// No rule matched: a plain tovi::exception built from `e`, `text` and the native
// code of the last entry.
[[noreturn]] void throw_unmatched(const exception& e, const std::string& text);

// --- type mapping as data
//
// A dialect lists how it names each portable type ("VARCHAR", "UNIQUEID", ...);
// map_type() looks the field's type up, and with_size() appends "(n)" for a
// field with a size, as every dialect's DDL does.

struct type_rule {
    const char* portable;
    const char* native;
};

// The native name of `field`'s portable type; `fallback` when no rule names it.
std::string map_type(const sql::impl::field_t& field, const type_rule* rules, std::size_t count,
                     const char* fallback);

template <std::size_t N>
std::string map_type(const sql::impl::field_t& field, const type_rule (&rules)[N],
                     const char* fallback) {
    return map_type(field, rules, N, fallback);
}

// The field's size, 0 when it has none.
long field_size(const sql::impl::field_t& field);
// `type` followed by "(size)" when `size` is not 0.
std::string with_size(std::string type, long size);

// The base of a dialect's server: both interfaces in one object.
class server_base : public server_t, public sql_support {
public:
    sql_support* get_sql_support() override { return this; }
};

}  // namespace tovi::dialect

// Defines the module's make_server export for a server class.
#define TOVI_DIALECT_MAKE_SERVER(ServerClass)          \
    TOVI_MODULE_EXPORT tovi::server_t* make_server() { \
        return new (std::nothrow) ServerClass();       \
    }

#endif
