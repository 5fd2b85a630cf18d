// Attaching and detaching.
#include "ib_connection.hpp"

#include <boost/filesystem/operations.hpp>

#include "ib_bindings.hpp"  // the framework instantiates every class of the driver here

namespace tovi::ib {

connection::connection(DataBase& database_, const session_t& s) : connection_base(database_, s) {
    const service_t& service_ = database_.get_service();
    const std::string& file = service_.server;
    try {
        dpb_.byte(isc_dpb_version1);
        dpb_.item(isc_dpb_user_name, s.user);
        dpb_.item(isc_dpb_password, s.password);
        const bool embedded =
            database_.get_repository().get_provider().category == svc_provider_t::cat_embedded;
        // An embedded database that does not exist yet is made, as a file
        // database's driver would.
        if (embedded && !file.empty() && !boost::filesystem::exists(file)) {
            param_buffer create = dpb_;
            create.number(isc_dpb_sql_dialect, 3);  // the dialect every statement uses
            isc_create_database(status(), static_cast<short>(file.size()), file.c_str(), &db,
                                create.size(), create.data(), 0);
        } else {
            isc_attach_database(status(), static_cast<short>(file.size()), file.c_str(), &db,
                                dpb_.size(), dpb_.data());
        }
        check();
        param_buffer spb;
        spb.byte(isc_spb_version);
        spb.byte(isc_spb_current_version);
        spb.item(isc_spb_user_name, s.user);
        spb.item(isc_spb_password, s.password);
        std::string name = service_manager_name(service_);
        isc_service_attach(status(), static_cast<unsigned short>(name.size()), name.data(),
                           &service, spb.size(), spb.data());
        check();
    } catch (const exception& e) {
        if (db != 0) isc_detach_database(status(), &db);
        tovi::driver::server_of(*this).translate_error(
            e, std::string("[Driver: ") + driver::tag + "; Database: '" + file + "']");
    }
}

connection::~connection() {
    ISC_STATUS_ARRAY ignored;
    if (service != 0) isc_service_detach(ignored, &service);
    if (db != 0) isc_detach_database(ignored, &db);
}

}  // namespace tovi::ib
