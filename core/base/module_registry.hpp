// The registry of loaded driver modules, and the choice of driver and dialect
// module names.
#ifndef TOVI_CORE_BASE_MODULE_REGISTRY_HPP
#define TOVI_CORE_BASE_MODULE_REGISTRY_HPP

#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

#include <tovi/config.hpp>
#include <tovi/module.hpp>
#include <tovi/url.hpp>

#include "../platform/dynlib.hpp"
#include "singleton.hpp"

namespace tovi::detail {

// The driver module for a provider; tovi::ds_exception for the error rows.
TOVI_API std::string driver_module_name(const svc_provider_t& p);
// The dialect module for a kind of server; tovi::ds_exception "Unknow data source
// type." for kinds without one.
TOVI_API std::string dialect_module_name(int source);

// The names tovi's tables give a dialect for which `usable` holds, for errors
// ("'PostgreSQL...'" when any name that starts so will do).
std::string known_odbc_driver_names(bool (*usable)(int source));
std::string known_oledb_provider_names(bool (*usable)(int source));

// Why a driver module's createDataSource made no data source: the name tovi's
// tables do not know, the dialect module that does not load, or what the module
// threw (`failure`, which may be null).
std::string why_no_data_source(const svc_provider_t& p, const std::string& driver_module,
                               const std::exception_ptr& failure);

struct module_entry {
    tovi_create_data_source_fn create = nullptr;
    tovi_before_module_unload_fn before_unload = nullptr;
    std::shared_ptr<shared_library> library;
};

// Process-wide (a process_singleton). Keeps each driver module loaded from its
// first use until the registry is destroyed, which first calls every module's
// before_module_unload once, then unloads them.
class TOVI_API module_registry {
public:
    module_registry() = default;
    ~module_registry();
    module_registry(const module_registry&) = delete;
    module_registry& operator=(const module_registry&) = delete;

    // A new data source of the driver module for `url` (loading it if needed).
    data_source* create_data_source(url_t& url);
    std::size_t loaded_count() const {
        std::lock_guard<std::mutex> lock(lock_);
        return entries_.size();
    }

private:
    // API, vendor and version, as providers compare; and the module name, so
    // that providers naming different modules (/SQLITE, /SQLITE_EMB) never
    // replace each other's module.
    using key = std::tuple<int, int, int, std::string>;
    std::map<key, module_entry> entries_;
    // Data sources are opened on several threads at once.
    mutable std::mutex lock_;
};

}  // namespace tovi::detail

#endif
