/// @file
/// Data sources: what an application works with. udata_source loads the driver
/// module for a URL and forwards to the driver's data source, a DataSourceOld,
/// which finds its DataBase once and borrows one connection from its pool.
///
/// @code
/// tovi::uurl_t url("/SQLITE", "", "", "file.db");
/// tovi::udata_source ds(url);       // loads the driver and dialect modules
/// tovi::statement st(ds, 1);        // connects on first use
/// @endcode
///
/// Destroy every data source before tovi::api::fini(). Not thread-safe.
#ifndef TOVI_DATA_SOURCE_HPP
#define TOVI_DATA_SOURCE_HPP

#include <memory>

#include <boost/shared_ptr.hpp>

#include <tovi/config.hpp>
#include <tovi/repository.hpp>
#include <tovi/url.hpp>

namespace tovi {

/// A database to work on: where statements and transactions get their connection.
class TOVI_API data_source {
public:
    virtual ~data_source();
    /// The data source's connection, connecting on first use.
    virtual connection& get_connection() = 0;
    /// Gives the connection back to its pool (still open).
    virtual void release_connection() = 0;
};

/// The base of every driver's data source.
class TOVI_API DataSourceOld : public data_source {
public:
    ~DataSourceOld() override;
    connection& get_connection() override;
    void release_connection() override;
    /// The driver's DataBase for this data source's service. Called once, on
    /// first use (the result is kept); the DataBase belongs to the module's
    /// repository and lives until the module is unloaded. May throw
    /// tovi::ds_exception for a service the driver refuses (an empty SQLite
    /// database name) or a tovi::exception.
    virtual DataBase* locate_database() = 0;

    /// The dialect's descriptor, loaded for the URL.
    const boost::shared_ptr<server_t>& get_server() const { return server; }
    /// The URL's provider part (driver and server).
    const svc_provider_t& get_provider() const { return provider; }
    /// The URL's service part (host and database).
    const service_t& get_service() const { return service; }
    /// The URL's session part (user and password).
    const session_t& get_session() const { return session; }
    /// True while a connection is taken from the pool.
    bool is_connected() const { return !current.empty(); }

    DataSourceOld(const DataSourceOld&) = delete;
    DataSourceOld& operator=(const DataSourceOld&) = delete;

protected:
    /// Loads the URL's dialect module and copies provider, service and session.
    explicit DataSourceOld(url_t& url);
    /// locate_database() on first use, then the kept result.
    DataBase& get_database();

    /// The driver's DataBase, once located; owned by the repository.
    DataBase* database;
    /// The connection taken from the pool, or empty.
    connection_handle current;
    boost::shared_ptr<server_t> server;  ///< see get_server()
    svc_provider_t provider;             ///< see get_provider()
    service_t service;                   ///< see get_service()
    session_t session;                   ///< see get_session()
};

/// The data source applications construct. Throws tovi::ds_exception when the
/// driver module cannot be chosen, loaded or asked for a data source.
class TOVI_API udata_source : public data_source {
public:
    /// A data source for `url` from the driver module the URL names.
    explicit udata_source(url_t& url);
    ~udata_source() override;
    connection& get_connection() override;
    void release_connection() override;

    /// The driver's own data source behind this one.
    data_source& get_driver_source() const { return *source; }

private:
    std::unique_ptr<data_source> source;
};

}  // namespace tovi

#endif
