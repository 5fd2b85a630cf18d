// Parameter markers: split_sql_param never fails and terminates for every text;
// converting twice changes nothing more, and a text without markers is kept.
#include <tovi/tovi.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    const std::string once = utils::split_sql_param(sql, ":", "?");
    // Every marker became "?": a second pass has nothing left to change.
    if (utils::split_sql_param(once, ":", "?") != once) std::abort();
    // Without markers or quotes the text comes back unchanged.
    if (sql.find_first_of(":?'") == std::string::npos && once != sql) std::abort();
    return 0;
}
