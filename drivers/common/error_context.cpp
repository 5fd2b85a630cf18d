// Translation of native failures through the dialect, with their contexts.
#include <tovi/driver/error_context.hpp>

#include <typeinfo>

namespace tovi::driver {

server_t& server_of(const connection& c) {
    return *c.get_database().get_repository().get_server();
}

void translate(const connection& c, const exception& e, const std::string& context) {
    try {
        server_of(c).translate_error(e, context);
    } catch (exception& classified) {
        // A classified error says where it happened too, after the driver's own
        // message (an unclassified one already ends with the context).
        if (typeid(classified) != typeid(exception) && !context.empty())
            classified.set_data(context, 0);
        throw;
    }
    throw exception(e, context, 0);  // a translator that returned: keep the error
}

const std::string& database_name(const connection& c) {
    return c.get_database().get_service().server;
}

std::string sql_for_context(const std::string& sql) {
    constexpr std::size_t limit = std::size_t{64} * 1024;
    if (sql.size() <= limit) return sql;
    return sql.substr(0, limit) + "...";
}

}  // namespace tovi::driver
