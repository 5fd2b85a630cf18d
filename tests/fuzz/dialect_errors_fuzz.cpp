// Error classification by every dialect: whatever native code and message a
// driver hands over, translate_error throws a tovi::exception (never returns,
// never anything else) that still carries the native message first, and a
// classified one keeps the native code; statement kinds never fail but on blank
// text.
#include <tovi/tovi.hpp>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "interbase_dialect.hpp"
#include "msjet_dialect.hpp"
#include "postgresql_dialect.hpp"
#include "sqlite_dialect.hpp"

namespace {

void check(tovi::server_t& server, int code, const std::string& message,
           const std::string& context) {
    try {
        server.translate_error(tovi::exception(message, code), context);
    } catch (const tovi::exception& e) {
        if (e.get_count() < 1 || e.get_entry(0).message != message || e.get_entry(0).code != code)
            std::abort();
        return;
    } catch (...) {
        std::abort();
    }
    std::abort();  // it returned
}

void kinds(tovi::server_t& server, const std::string& sql) {
    try {
        const int kind = server.get_sql_support()->get_statement_type(sql);
        if (kind < 0 || kind > 11) std::abort();
    } catch (const tovi::bad_operation&) {
        if (sql.find_first_not_of(" \t\r\n") != std::string::npos) std::abort();
    } catch (...) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::int32_t code = 0;
    std::memcpy(&code, data, sizeof code);
    const std::string rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    const std::size_t cut = rest.find('\0');
    const std::string message = rest.substr(0, cut);
    const std::string context = cut == std::string::npos ? std::string() : rest.substr(cut + 1);
    static tovi::sqlite_dialect::dialect_server sqlite;
    static tovi::postgresql_dialect::dialect_server postgresql;
    static tovi::interbase_dialect::dialect_server interbase;
    static tovi::msjet_dialect::dialect_server msjet;
    for (tovi::server_t* s :
         {static_cast<tovi::server_t*>(&sqlite), static_cast<tovi::server_t*>(&postgresql),
          static_cast<tovi::server_t*>(&interbase), static_cast<tovi::server_t*>(&msjet)}) {
        check(*s, code, message, context);
        kinds(*s, message);
    }
    return 0;
}
