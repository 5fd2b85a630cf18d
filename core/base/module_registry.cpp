// Choosing, loading and unloading driver modules.
#include "module_registry.hpp"

#include <tovi/data_source.hpp>
#include <tovi/exception.hpp>

#include <unistd.h>

#include "dialect_module.hpp"

namespace utils {
std::string make_dll_name(const char* name) {
    return std::string(name != nullptr ? name : "") + ".so";
}
}  // namespace utils

namespace tovi::detail {

std::string driver_module_name(const svc_provider_t& p) {
    using svc = svc_provider_t;
    switch (p.api) {
        case svc::api_oracle:
            return "tovi_ORACLE8";
        case svc::api_mysql:
            return p.category == svc::cat_embedded ? "tovi_mysql41_emb_dll" : "tovi_MySQL41";
        case svc::api_dblib:
            if (p.vendor == svc::vendor_sybase) return "tovi_dblib_sb";
            if (p.vendor == svc::vendor_freetds) return "tovi_dblib_ftds";
            if (p.vendor == svc::vendor_microsoft) return "tovi_dblib_ms";
            throw ds_exception("No API vendor is specified.");
        case svc::api_ctlib:
            if (p.vendor == svc::vendor_sybase) return "tovi_ctlib_sb";
            if (p.vendor == svc::vendor_freetds) return "tovi_ctlib_ftds";
            if (p.vendor == svc::vendor_microsoft)
                throw ds_exception("There is no implementation of ctlib from Microsoft.");
            throw ds_exception("No API vendor is specified.");
        case svc::api_ado:
            return "tovi_ado";
        case svc::api_sqlite:
            return p.category == svc::cat_embedded ? "tovi_SQLITE_EMB" : "tovi_sqlite";
        case svc::api_interbase:
            return p.category == svc::cat_embedded ? "tovi_ibemb" : "tovi_IB_cln";
        case svc::api_postgresql:
            return "tovi_PGSQL";
        case svc::api_odbc:
            return p.vendor == svc::vendor_freetds ? "tovi_odbc_ftds" : "tovi_odbc";
        default:
            throw ds_exception("Current DB API type is not supported.");
    }
}

std::string dialect_module_name(int source) {
    switch (source) {
        case 1:
            return "dialect_dbase";
        case 2:
            return "dialect_excel";
        case 3:
            return "dialect_text";
        case 4:
            return "dialect_foxpro";
        case 6:
            return "dialect_msjet";
        case 7:
            return "dialect_mssql";
        case 8:
            return "dialect_oracle";
        case 9:
            return "dialect_mysql";
        case 10:
            return "dialect_db2";
        case 11:
            return "dialect_sybasesql";
        case 12:
            return "dialect_interbase";
        case 14:
            return "dialect_postgresql";
        case 15:
            return "dialect_active_directory";
        case 16:
            return "dialect_olap";
        case 17:
            return "dialect_index_server";
        case 18:
            return "dialect_msproject";
        case 19:
            return "dialect_sybasesql";
        case 20:
            return "dialect_sqlite";
        case 21:
            return "dialect_sapdb";
        case 22:
            return "dialect_informix";
        default:
            throw ds_exception("Unknow data source type.");
    }
}

namespace {

// A dialect module that does not load: its name and the loader's words.
std::string dialect_load_failure(int source) {
    const std::string name = utils::make_dll_name(dialect_module_name(source).c_str());
    shared_library library;
    if (dialect_module::load(library, name)) return std::string();
    return "The dialect module '" + name + "' cannot be loaded: " + library.last_error();
}

// Whether the dialect module for `source` is installed beside the core.
bool dialect_installed(int source) {
    try {
        const std::string path =
            platform::core_directory() + utils::make_dll_name(dialect_module_name(source).c_str());
        return ::access(path.c_str(), R_OK) == 0;
    } catch (const ds_exception&) {
        return false;  // a kind of server without a dialect
    }
}

}  // namespace

std::string why_no_data_source(const svc_provider_t& p, const std::string& driver_module,
                               const std::exception_ptr& failure) {
    using svc = svc_provider_t;
    std::string reason;
    if (p.source == svc::src_unknown && p.api == svc::api_odbc)
        return "The ODBC driver name '" + p.provider +
               "' is not one tovi knows, so no SQL dialect is chosen for it. Names with a "
               "dialect installed (the section of odbcinst.ini; ... means any name that "
               "starts so): " +
               known_odbc_driver_names(dialect_installed) + ".";
    if (p.source == svc::src_unknown && (p.api == svc::api_ado || p.api == svc::api_oledb))
        return "The provider name '" + p.provider +
               "' is not one tovi knows, so no SQL dialect is chosen for it. Names with a "
               "dialect installed (... means any name that starts so): " +
               known_oledb_provider_names(dialect_installed) + ".";
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const exception& e) {
            reason = e.get_error_text();
        } catch (const std::exception& e) {
            reason = e.what();
        } catch (...) {
            // The dialect loader's plain "Error": say which module is missing.
            try {
                reason = dialect_load_failure(p.source);
            } catch (const std::exception&) {
            }
        }
    }
    while (!reason.empty() && reason.back() == '\n') reason.pop_back();
    if (reason.empty()) reason = "The driver module made none.";
    return reason + " [Driver: " + driver_module + "]";
}

module_registry::~module_registry() {
    for (auto& entry : entries_) {
        if (entry.second.before_unload == nullptr) continue;
        try {
            entry.second.before_unload();
        } catch (...) {
            // A module's clean-up failing must not keep the others loaded.
        }
    }
    entries_.clear();  // unloads the modules
}

data_source* module_registry::create_data_source(url_t& url) {
    const svc_provider_t provider = url.get_svc_provider();
    const std::string module = driver_module_name(provider);
    const std::string path = platform::core_directory() + utils::make_dll_name(module.c_str());

    const key k(provider.api, provider.vendor, provider.version, module);
    std::unique_lock<std::mutex> lock(lock_);
    auto inserted = entries_.emplace(k, module_entry());
    module_entry& entry = inserted.first->second;
    if (!entry.library) entry.library = std::make_shared<shared_library>();
    if (!entry.library->load(path.c_str())) {
        const std::string reason = entry.library->last_error();
        entries_.erase(inserted.first);  // a later attempt loads again
        throw ds_exception("Cannot load a shared library '" + path + "': " + reason);
    }
    auto create =
        reinterpret_cast<tovi_create_data_source_fn>(entry.library->symbol("createDataSource"));
    if (create == nullptr) {
        entries_.erase(inserted.first);
        throw ds_exception("Cannot find the 'createDataSource' symbol in the shared library");
    }
    entry.create = create;
    entry.before_unload = reinterpret_cast<tovi_before_module_unload_fn>(
        entry.library->symbol("before_module_unload"));

    const tovi_create_data_source_fn create_fn = entry.create;
    lock.unlock();  // the module stays loaded until the registry goes

    data_source* created = nullptr;
    std::exception_ptr failure;
    try {
        created = create_fn(&url);
    } catch (...) {
        // Whatever it was, the application gets one clear text, with the reason.
        failure = std::current_exception();
    }
    if (created == nullptr)
        throw ds_exception("Unable to create an instance of the Data Source object. " +
                           why_no_data_source(provider, module, failure));
    return created;
}

}  // namespace tovi::detail
