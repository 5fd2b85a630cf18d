// Connection URLs: any text either parses or raises one of the URL errors, and
// parsing is deterministic (the same text gives the same parts twice).
#include <tovi/tovi.hpp>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto describe = [&]() -> std::string {
        try {
            tovi::uurl_t url(text, "user", "password", "database");
            const tovi::service_t& s = url.get_service();
            return s.server + "|" + s.database + "|" + s.host + "|" +
                   std::to_string(static_cast<int>(s.protocol)) + "|" + std::to_string(s.port);
        } catch (const tovi::ds_exception& e) {
            return std::string("ds:") + e.what();
        } catch (const tovi::exception& e) {
            return "tovi:" + e.get_error_text();
        }
    };
    if (describe() != describe()) std::abort();
    return 0;
}
