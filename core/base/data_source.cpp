// Data sources: the driver base and the application's udata_source.
#include <tovi/data_source.hpp>
#include <tovi/exception.hpp>
#include <tovi/server.hpp>

#include "lifetimes.hpp"
#include "module_registry.hpp"

namespace tovi {

data_source::~data_source() = default;

DataSourceOld::DataSourceOld(url_t& url)
    : database(nullptr),
      server(url.make_server()),
      provider(url.get_svc_provider()),
      service(url.get_service()),
      session(url.get_session()) {}

DataSourceOld::~DataSourceOld() {
    // Transactions made on it directly end while its connection is still held.
    detail::lifetimes::end_all(this);
    try {
        release_connection();
    } catch (const exception& e) {
        utils::reportError(0, e.get_error_text().c_str());
    } catch (...) {
    }
}

DataBase& DataSourceOld::get_database() {
    if (database == nullptr) database = locate_database();
    if (database == nullptr)
        throw exception("The driver found no database for the data source.", 0);
    return *database;
}

connection& DataSourceOld::get_connection() {
    if (current.empty()) current = get_database().acquire_connection(*this, session);
    return *current;
}

void DataSourceOld::release_connection() {
    if (current.empty()) return;
    database->release_connection(*this, current);
    current.reset();
}

udata_source::udata_source(url_t& url)
    : source(
          detail::process_singleton<detail::module_registry>::instance().create_data_source(url)) {}

udata_source::~udata_source() {
    // Its transactions (and their statements) end before the driver's data
    // source gives the connection back to the pool.
    detail::lifetimes::end_all(this);
}

connection& udata_source::get_connection() {
    return source->get_connection();
}
void udata_source::release_connection() {
    source->release_connection();
}

}  // namespace tovi
