#include <tovi/driver/database_options.hpp>

#include <tovi/tovi.hpp>

namespace tovi::driver {

namespace {

std::chrono::seconds seconds_of(const std::string& option, const std::string& value) {
    // At most a day: a bound is for calls that never return, not for scheduling.
    constexpr long most = 86400;
    long n = 0;
    bool valid = !value.empty() && value.size() <= 6;
    for (char c : value) {
        if (c < '0' || c > '9') valid = false;
        n = n * 10 + (c - '0');
    }
    if (!valid || n > most)
        throw ds_exception("The database option '" + option + "' takes a whole number of " +
                           "seconds from 0 to 86400, not '" + value + "'.");
    return std::chrono::seconds(n);
}

}  // namespace

database_options parse_database_options(const std::string& database) {
    database_options o;
    const std::size_t mark = database.find('?');
    o.database = database.substr(0, mark);
    if (mark == std::string::npos) return o;
    std::size_t at = mark + 1;
    while (at <= database.size()) {
        std::size_t end = database.find('&', at);
        if (end == std::string::npos) end = database.size();
        const std::string item = database.substr(at, end - at);
        const std::size_t eq = item.find('=');
        const std::string name = item.substr(0, eq);
        const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
        if (name == "connect_timeout")
            o.connect_timeout = seconds_of(name, value);
        else if (name == "statement_timeout")
            o.statement_timeout = seconds_of(name, value);
        else if (name == "pool_ping_after")
            o.pool.ping_after = seconds_of(name, value);
        else if (name == "pool_idle_timeout")
            o.pool.idle_timeout = seconds_of(name, value);
        else if (name == "pool_idle_keep")
            o.pool.idle_keep = static_cast<std::size_t>(seconds_of(name, value).count());
        else
            throw ds_exception("Unknown database option '" + name +
                               "' (known: connect_timeout, statement_timeout, pool_ping_after, "
                               "pool_idle_keep, pool_idle_timeout).");
        at = end + 1;
    }
    return o;
}

}  // namespace tovi::driver
