// ODBC connection-string values: whatever a value holds, it stays one value. Read
// back by the ODBC rule (braces, "}}" for "}"), the attribute gives the value
// exactly, and nothing follows it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "odbc_connection_string.hpp"

namespace {

// Reads one attribute value from `text` at `pos` by the ODBC rule; npos on error.
std::string read_value(const std::string& text, std::size_t& pos) {
    std::string value;
    if (pos < text.size() && text[pos] == '{') {
        for (++pos; pos < text.size(); ++pos) {
            if (text[pos] == '}') {
                if (pos + 1 < text.size() && text[pos + 1] == '}') {
                    value += '}';
                    ++pos;
                    continue;
                }
                ++pos;
                return value;
            }
            value += text[pos];
        }
        std::abort();  // an opened brace never closed
    }
    while (pos < text.size() && text[pos] != ';') value += text[pos++];
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    const std::string written = tovi::odbc::attribute_value(value);
    std::size_t pos = 0;
    const std::string read = read_value(written, pos);
    if (pos != written.size()) std::abort();  // the value ended early: more would follow
    // Unbraced values are written as they stand; the driver trims nothing braced.
    if (read != value) std::abort();
    return 0;
}
