// tovi::PreparedStmt: SQL text with values inlined, built in reusable buffers.
#include <tovi/exception.hpp>
#include <tovi/prepared_stmt.hpp>
#include <tovi/text.hpp>

#include <cstdlib>
#include <cstring>
#include <new>

#include "sql_scan.hpp"

namespace tovi {

namespace {
constexpr unsigned int initial_text_capacity = 1024;
constexpr unsigned int initial_escape_capacity = 64;

char* checked_malloc(std::size_t n) {
    char* p = static_cast<char*>(std::malloc(n));
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

// The capacity arithmetic is unsigned int; refuse what it cannot express.
unsigned int checked_size(std::size_t n) {
    if (n > 0x40000000u) throw std::bad_alloc();
    return static_cast<unsigned int>(n);
}
}  // namespace

PreparedStmt::PreparedStmt()
    : next_chunk(0),
      text(checked_malloc(initial_text_capacity)),
      escape_buffer(nullptr),
      text_capacity(initial_text_capacity),
      escape_capacity(initial_escape_capacity),
      text_length(0) {
    try {
        escape_buffer = checked_malloc(initial_escape_capacity);
    } catch (...) {
        std::free(text);
        throw;
    }
    text[0] = '\0';
}

PreparedStmt::~PreparedStmt() {
    std::free(text);
    std::free(escape_buffer);
}

void PreparedStmt::prepare(const std::string& sql) {
    static const std::string name_chars = std::string(":") + utils::detail::param_name_chars;
    std::vector<std::string> cut;
    std::string chunk;
    std::string::size_type pos = 0;
    while (pos < sql.size()) {
        std::string::size_type stop = sql.find_first_of(":'", pos);
        if (stop == std::string::npos) {
            chunk.append(sql, pos, std::string::npos);
            break;
        }
        chunk.append(sql, pos, stop - pos);
        if (sql[stop] == '\'') {
            pos = utils::detail::copy_quoted_literal(sql, stop, chunk);
            continue;
        }
        // A parameter: its name is not kept, it only separates two chunks.
        pos = sql.find_first_not_of(name_chars, stop);
        if (pos == std::string::npos) pos = sql.size();
        cut.push_back(std::move(chunk));
        chunk.clear();
    }
    cut.push_back(std::move(chunk));
    chunks.swap(cut);
    next_chunk = 0;
    text_length = 0;
    text[0] = '\0';
}

void PreparedStmt::initStmtStr() {
    next_chunk = 0;
    text_length = 0;
    text[0] = '\0';
    if (chunks.empty()) return;
    append_next_chunk();
}

void PreparedStmt::bindValue(const std::string& v) {
    check_can_bind();
    append(v.data(), v.size());
    append_next_chunk();
}

void PreparedStmt::bindCharValue(const char* v) {
    check_can_bind();
    if (v != nullptr) append(v, std::strlen(v));
    append_next_chunk();
}

void PreparedStmt::bindValueStr(const std::string& v) {
    check_can_bind();
    const unsigned int len = checked_size(v.size());
    // Doubling every apostrophe at most doubles the length; plus the NUL.
    resizeValueStr(checked_size(2 * std::size_t(len) + 2));
    const unsigned int escaped = utils::escape_str(escape_buffer, v.data(), len);
    append("'", 1);
    append(escape_buffer, escaped);
    append("'", 1);
    append_next_chunk();
}

void PreparedStmt::check_can_bind() const {
    if (next_chunk == 0)
        throw bad_operation("A value was bound before the statement text was started.", 0);
    if (next_chunk >= chunks.size())
        throw bad_operation("More values were bound than the statement text has parameters.", 0);
}

void PreparedStmt::append(const char* data, std::size_t len) {
    resizeStmtStr(checked_size(std::size_t(text_length) + len + 1));
    std::memcpy(text + text_length, data, len);
    text_length += static_cast<unsigned int>(len);
    text[text_length] = '\0';
}

void PreparedStmt::append_next_chunk() {
    const std::string& chunk = chunks[next_chunk];
    append(chunk.data(), chunk.size());
    ++next_chunk;
}

void PreparedStmt::resizeStmtStr(unsigned int n) {
    if (n <= text_capacity) return;
    std::size_t capacity = text_capacity;
    while (capacity < n) capacity *= 4;
    char* grown = static_cast<char*>(std::realloc(text, capacity));
    if (grown == nullptr) throw std::bad_alloc();
    text = grown;
    text_capacity = checked_size(capacity);
}

void PreparedStmt::resizeValueStr(unsigned int n) {
    if (n <= escape_capacity) return;
    std::size_t capacity = escape_capacity;
    while (capacity < n) capacity *= 2;
    // The old contents are scratch: no need to keep them.
    char* grown = static_cast<char*>(std::malloc(capacity));
    if (grown == nullptr) throw std::bad_alloc();
    std::free(escape_buffer);
    escape_buffer = grown;
    escape_capacity = checked_size(capacity);
}

}  // namespace tovi
