/// @file
/// tovi::PreparedStmt: SQL text cut once at its ":" parameters, then rebuilt any
/// number of times with values inlined, value after value.
///
/// @code
/// PreparedStmt p;
/// p.prepare("select * from t where a = :a and b = :b");
/// p.initStmtStr();
/// p.bindValue("1");             // inlined as it is
/// p.bindValueStr("O'Brien");    // quoted, apostrophes doubled
/// p.getStmtStr();               // select * from t where a = 1 and b = 'O''Brien'
/// @endcode
///
/// Binding more values than the text has parameters, or before initStmtStr(),
/// throws tovi::bad_operation. Not copyable.
#ifndef TOVI_PREPARED_STMT_HPP
#define TOVI_PREPARED_STMT_HPP

#include <string>
#include <vector>

#include <tovi/config.hpp>

namespace tovi {

/// SQL text with ":" parameters, rebuilt with values inlined (see the file's example).
class TOVI_API PreparedStmt {
public:
    PreparedStmt();
    ~PreparedStmt();
    PreparedStmt(const PreparedStmt&) = delete;
    PreparedStmt& operator=(const PreparedStmt&) = delete;

    /// Cuts `sql` at its parameters; forgets earlier chunks and any text being built.
    void prepare(const std::string& sql);
    /// Starts a new text with the first chunk.
    void initStmtStr();
    /// Appends `v` unchanged, then the next chunk.
    void bindValue(const std::string& v);
    void bindCharValue(const char* v);  ///< null appends nothing
    /// Appends `v` as a quoted SQL string literal, then the next chunk.
    void bindValueStr(const std::string& v);

    /// The text built so far, NUL-terminated.
    const char* getStmtStr() const { return text; }
    /// The length of getStmtStr() in bytes.
    unsigned int getStmtLength() const { return text_length; }
    /// Number of parameters of the prepared text.
    std::size_t getParamCount() const { return chunks.empty() ? 0 : chunks.size() - 1; }
    /// Bytes allocated for the text being built.
    unsigned int getStmtCapacity() const { return text_capacity; }
    /// Bytes allocated for quoting a value.
    unsigned int getEscapeCapacity() const { return escape_capacity; }

private:
    void append(const char* data, std::size_t len);
    void append_next_chunk();
    void check_can_bind() const;
    void resizeStmtStr(unsigned int n);
    void resizeValueStr(unsigned int n);

    std::vector<std::string> chunks;
    std::size_t next_chunk;
    char* text;
    char* escape_buffer;
    unsigned int text_capacity;
    unsigned int escape_capacity;
    unsigned int text_length;
};

}  // namespace tovi

#endif
