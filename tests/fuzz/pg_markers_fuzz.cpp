// libpq's markers: numbered_markers never fails and terminates for every text;
// it only inserts the numbers ("?" becomes "$1", "$2", ...), a text without "?"
// comes back unchanged, and in texts of plain words and single quotes the "?"
// outside the quotes are exactly the markers.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "pgsql_markers.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string sql(reinterpret_cast<const char*>(data), size);
    int count = -1;
    const std::string out = tovi::pgsql::numbered_markers(sql, count);
    std::size_t questions = 0, grown = 0;
    for (char c : sql) questions += c == '?';
    for (int k = 1; k <= count; ++k) grown += std::to_string(k).size();
    if (count < 0 || static_cast<std::size_t>(count) > questions) std::abort();
    if (out.size() != sql.size() + grown) std::abort();
    if (questions == 0 && out != sql) std::abort();
    // A model for the simplest texts: quotes toggle (a doubled quote twice).
    if (sql.find_first_not_of("?' a") == std::string::npos) {
        int outside = 0;
        bool quoted = false;
        for (char c : sql) {
            if (c == '\'') quoted = !quoted;
            if (c == '?' && !quoted) ++outside;
        }
        if (outside != count) std::abort();
    }
    return 0;
}
