// Parameter markers: split_sql_param never fails and terminates for every text;
// converting twice changes nothing more, and a text without markers is kept.
// PreparedStmt takes exactly as many values as the text has parameters, and a
// quoted value adds its quotes and doubled apostrophes, nothing else.
#include <tovi/tovi.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    const std::string once = utils::split_sql_param(sql, ":", "?");
    // Every marker became "?": a second pass has nothing left to change.
    if (utils::split_sql_param(once, ":", "?") != once) std::abort();
    // So with PostgreSQL's quoting forms.
    const std::string pg = utils::split_sql_param(sql, ":", "?", true);
    if (utils::split_sql_param(pg, ":", "?", true) != pg) std::abort();
    // Without markers or quotes the text comes back unchanged.
    if (sql.find_first_of(":?'") == std::string::npos && once != sql) std::abort();
    tovi::PreparedStmt p;
    p.prepare(sql);
    const std::size_t n = p.getParamCount();
    p.initStmtStr();
    for (std::size_t i = 0; i < n; ++i) p.bindValue("");
    const std::size_t bare = p.getStmtLength();
    try {
        p.bindValue("x");
        std::abort();  // one value too many
    } catch (const tovi::bad_operation&) {
    }
    p.initStmtStr();
    for (std::size_t i = 0; i < n; ++i) p.bindValueStr("it's");  // 'it''s': 7 bytes
    if (p.getStmtLength() != bare + 7 * n) std::abort();
    return 0;
}
