// Attaching and detaching.
#include "ib_connection.hpp"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include <boost/filesystem/operations.hpp>

#include "ib_bindings.hpp"  // the framework instantiates every class of the driver here

namespace tovi::ib {

namespace {

// The embedded engine keeps its lock files in one folder for every user; the
// first user's folder refuses the others with a bare "Permission denied".
std::string lock_folder_hint(const exception& e) {
    const char* set = std::getenv("FIREBIRD_LOCK");
    const std::string lock = set != nullptr && *set != '\0' ? set : "/tmp/firebird";
    const std::string text = e.get_error_text();
    if (text.find("Permission denied") == std::string::npos || text.find(lock) == std::string::npos)
        return std::string();
    return "The embedded engine cannot use its lock folder (" + lock +
           ", made by the engine's first user): set FIREBIRD_LOCK to a folder of this "
           "user's, e.g. FIREBIRD_LOCK=$HOME/.firebird-lock.";
}

}  // namespace

connection::connection(DataBase& database_, const session_t& s) : connection_base(database_, s) {
    const service_t& service_ = database_.get_service();
    const bool embedded =
        database_.get_repository().get_provider().category == svc_provider_t::cat_embedded;
    const std::string file = service_.server;
    const std::string path = database_path(service_, embedded);
    try {
        dpb_.byte(isc_dpb_version1);
        dpb_.item(isc_dpb_user_name, s.user);
        dpb_.item(isc_dpb_password, s.password);
        // The service manager first: a URL whose host cannot be reached fails
        // before a missing database file is made.
        param_buffer spb;
        spb.byte(isc_spb_version);
        spb.byte(isc_spb_current_version);
        spb.item(isc_spb_user_name, s.user);
        spb.item(isc_spb_password, s.password);
        std::string name = service_manager_name(service_);
        isc_service_attach(status(), static_cast<unsigned short>(name.size()), name.data(),
                           &service, spb.size(), spb.data());
        check();
        // An embedded database that does not exist yet is made, as a file
        // database's driver would.
        if (embedded && !file.empty() && !boost::filesystem::exists(file)) create_database(file);
        isc_attach_database(status(), static_cast<short>(path.size()), path.c_str(), &db,
                            dpb_.size(), dpb_.data());
        check();
    } catch (const exception& e) {
        ISC_STATUS_ARRAY ignored;
        if (db != 0) isc_detach_database(ignored, &db);
        if (service != 0) isc_service_detach(ignored, &service);
        const std::string context =
            std::string("[Driver: ") + driver::tag + "; Database: '" + path + "']";
        const std::string hint = lock_folder_hint(e);
        if (!hint.empty()) throw exception(exception(e, hint, 0), context, 0);
        tovi::driver::server_of(*this).translate_error(e, context);
    }
}

void connection::create_database(const std::string& file) {
    // Made under a name of its own and linked into place once complete: a process
    // killed while the engine writes the file leaves no half-made database under
    // the real name (every later attachment would find it corrupt). link() never
    // replaces a database another process made meanwhile.
    // One name per attempt: two threads of a process may both find the file missing.
    static std::atomic<unsigned> attempts{0};
    const std::string partial =
        file + ".creating-" + std::to_string(::getpid()) + "-" + std::to_string(++attempts);
    param_buffer create = dpb_;
    create.number(isc_dpb_sql_dialect, 3);  // the dialect every statement uses
    isc_create_database(status(), static_cast<short>(partial.size()), partial.c_str(), &db,
                        create.size(), create.data(), 0);
    check();
    isc_detach_database(status(), &db);
    check();
    const bool linked = ::link(partial.c_str(), file.c_str()) == 0;
    const int why = errno;
    ::unlink(partial.c_str());
    if (!linked && why != EEXIST)
        throw exception("Cannot create the database file '" + file + "': " + std::strerror(why),
                        why);
}

connection::~connection() {
    ISC_STATUS_ARRAY ignored;
    if (service != 0)
        quietly("Detaching the service", [&] { isc_service_detach(ignored, &service); });
    if (db != 0) quietly("Detaching the database", [&] { isc_detach_database(ignored, &db); });
}

}  // namespace tovi::ib
