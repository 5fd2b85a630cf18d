/// @file
/// The skeleton every driver fills in: a Repository holds the databases reachable
/// through one dialect and provider, a DataBase stands for one server and
/// database and pools its open connections, a connection stands for one open
/// session and keeps the transactions opened on it.
///
/// The core does the bookkeeping; drivers implement the pure virtual operations
/// (their slot order is part of the interface between separately built modules).
/// Connections are shared through connection_handle; idle ones wait in their
/// database's pool per upper-cased user and password and are reused
/// last-released-first. Data sources on different threads may share a
/// repository: its map of databases and each database's pool lock their own
/// operations. A connection (with its transactions) is used by one thread at a
/// time.
#ifndef TOVI_REPOSITORY_HPP
#define TOVI_REPOSITORY_HPP

#include <chrono>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include <tovi/config.hpp>
#include <tovi/smart_ptr.hpp>
#include <tovi/url.hpp>

namespace tovi {

class server_t;
class DataBase;
class connection;
class data_source;

namespace impl {
class transaction;
/// 0: opened by an application; 1: a statement's own; 2: a connection's own.
enum TxnType { txn_explicit = 0, txn_statement = 1, txn_connection = 2 };
}  // namespace impl

/// What a connection to a server tells its pool before it is handed out again
/// (found by dynamic_cast; a connection without it is reused unchecked).
class TOVI_API pooled_connection {
public:
    virtual ~pooled_connection();
    /// False when the connection saw a connection-level failure or the server
    /// closed it; learnt without a round trip, unless it waited in the pool for
    /// `idle` of at least `ping_after`: then one cheap round trip tells.
    virtual bool usable(std::chrono::milliseconds idle,
                        std::chrono::milliseconds ping_after) noexcept = 0;
};

/// How a database's pool treats its idle connections. The defaults suit a
/// server that closes idle sessions after some minutes, and one that never does.
struct pool_policy {
    /// A connection idle at least this long is pinged before it is reused.
    std::chrono::milliseconds ping_after{std::chrono::seconds(30)};
    /// So many idle connections per user wait however long; the rest are
    /// closed once idle for idle_timeout (the pool reuses the most recently
    /// released first, so the oldest wait longest).
    std::size_t idle_keep = 2;
    /// See idle_keep.
    std::chrono::milliseconds idle_timeout{std::chrono::seconds(300)};
};

/// Storage policy of the connection handle: keeps the DataBase that made the
/// connection, so the last handle can give the connection back to it.
class TOVI_API ConnectionSP {
public:
    ConnectionSP() = default;
    /// Copies remember the same database.
    ConnectionSP(const ConnectionSP&) = default;
    ConnectionSP& operator=(const ConnectionSP&) = default;  ///< see the copy constructor

    /// An empty handle.
    static void init(connection*& p);
    /// Creates and opens a connection of `db` for `s` (with its connection-wide
    /// transaction when the database wants one). On a tovi::exception the
    /// half-made connection is destroyed and "Unable to open a database
    /// connection." is added to the stack.
    void init(connection*& p, DataBase& db, const session_t& s);
    /// Ends the connection's own transaction, closes it and has its database
    /// destroy it; a failure adds "Unable to close a database connection.".
    void destroy(connection* c);
    /// Exchanges the remembered databases.
    void swap(ConnectionSP& other) noexcept;

private:
    DataBase* database_ = nullptr;
};

/// A shared, counted handle on a pooled connection; the last copy gives it back.
using connection_handle = utils::SmartPtr<connection, utils::RefCounted, ConnectionSP,
                                          utils::DisallowConversion, utils::AssertCheck>;

/// Contract of the driver operations below: create_* returns a new object the
/// caller (the core) keeps and later hands to the matching destroy_*, which
/// deletes it in the driver module's own code; destroy_* ignores null. The core
/// calls them under the repository's or pool's lock, from any thread, for
/// different data sources; a failure is a tovi::exception and leaves nothing
/// half-made behind.
class TOVI_API Repository {
public:
    /// The repository of one dialect (`server`) and provider.
    Repository(const boost::shared_ptr<server_t>& server, const svc_provider_t& provider);
    /// Releases the map only: call close() first.
    virtual ~Repository();
    /// Called by get_database on the first use of a service; open() follows.
    virtual DataBase* create_database(const service_t& s) = 0;
    /// Called by close() after done(), and when open() fails.
    virtual void destroy_database(DataBase* db) = 0;

    /// The database of `s` (by host and server), opened on first use.
    DataBase* get_database(const service_t& s);
    /// Hook for drivers, called once after creation; does nothing by default.
    void open();
    /// Empties every database's pool (closing idle connections), closes and
    /// destroys every database. Goes through all of them even if one fails; the
    /// first failure is then rethrown.
    void close();
    /// The database that default requests use.
    void setDefaultDataBase(DataBase& db) { default_database = &db; }

    /// The dialect's descriptor.
    const boost::shared_ptr<server_t>& get_server() const { return server; }
    /// The URL's provider part the repository is keyed by.
    const svc_provider_t& get_provider() const { return provider; }
    /// The number of databases opened so far.
    std::size_t database_count() const { return databases.size(); }

protected:
    /// create_database(s), then open(); a failure destroys the half-made database.
    DataBase* open_database(const service_t& s);

    boost::shared_ptr<server_t> server;  ///< see get_server()
    svc_provider_t provider;             ///< see get_provider()
    /// Opened databases by service key; owned.
    std::map<std::string, DataBase*> databases;
    /// Set by setDefaultDataBase(), else null.
    DataBase* default_database;

private:
    std::mutex databases_lock_;
};

/// One server and database, with its pool of idle connections.
class TOVI_API DataBase {
public:
    virtual ~DataBase();
    /// Hook for drivers, called by init(); does nothing by default.
    virtual void open();
    /// Hook for drivers, called by done(); does nothing by default.
    virtual void close();
    /// Called when the pool has no idle connection for the credentials: a new,
    /// open native connection (a failure: the native error, untranslated, or
    /// translated by the dialect with "Database: '...'"). open() and init()
    /// follow; if they fail, destroy_connection undoes it.
    virtual connection* create_connection(const session_t& s) = 0;
    /// Called by the last connection handle, after done() and close().
    virtual void destroy_connection(connection* c) = 0;

    /// open().
    void init() { open(); }
    /// Empties the pool (closing the idle connections), then close(). Every idle
    /// connection is closed even if one fails; the first failure is rethrown.
    void done();
    /// An idle connection for these credentials (the most recently released) or
    /// a new, opened one; attached to `ds`.
    connection_handle acquire_connection(const data_source& ds, const session_t& s);
    /// Detaches `ds` and puts the (still open) connection back into the pool.
    void release_connection(const data_source& ds, connection_handle& h);

    /// The repository that made this database.
    Repository& get_repository() const { return repository; }
    /// The URL's service part (host and database).
    const service_t& get_service() const { return service; }
    /// Number of idle connections for these credentials.
    std::size_t idle_count(const std::string& user, const std::string& password) const;
    /// How the pool treats idle connections (drivers of servers set it from the
    /// database options).
    const pool_policy& get_pool_policy() const { return policy_; }
    /// See get_pool_policy().
    void set_pool_policy(const pool_policy& p) { policy_ = p; }

protected:
    /// A database of `r` for the service `s`.
    DataBase(Repository& r, const service_t& s);
    /// The pool key: the user upper-cased (user names compare without regard to
    /// case) and the password exactly as given, each length-prefixed so that no
    /// separator inside a name can make two credentials collide.
    static std::string getConnectStr(const std::string& user, const std::string& password);

    /// Idle connections by getConnectStr() key, most recently released last.
    std::map<std::string, std::vector<connection_handle>> pool;
    Repository& repository;  ///< see get_repository()
    service_t service;       ///< see get_service()
    /// Unused; 0.
    int setting1;
    /// Unused; 100.
    int setting2;

public:
    /// When set (the default), every new connection gets a connection-wide
    /// transaction right after it opens.
    bool auto_transaction;

private:
    // Whether a pooled connection may be handed out (see pooled_connection).
    bool still_usable(connection& c) const;
    // Takes the idle connections beyond policy_.idle_keep that waited longer
    // than policy_.idle_timeout out of `idle` into `expired` (under the lock).
    void take_expired(std::vector<connection_handle>& idle,
                      std::vector<connection_handle>& expired) const;

    mutable std::mutex pool_lock_;
    pool_policy policy_;
};

/// One open session on a database, with the transactions opened on it.
class TOVI_API connection {
public:
    /// Hook for drivers, called right after creation; does nothing by default.
    virtual void open();
    /// Hook for drivers, called before destruction; does nothing by default.
    virtual void close();
    /// Releases the containers only; closes nothing.
    virtual ~connection();
    /// Called by init() (the connection-wide transaction) and by
    /// acquire_transaction_impl: a new driver transaction, started; the
    /// connection lists it. Owned by the driver until destroy_transaction.
    virtual impl::transaction* create_transaction(impl::TxnType type) = 0;
    /// Called by done() and release_transaction_impl after unlisting `t`:
    /// finish() it, then delete it; a finish() failure propagates afterwards.
    virtual void destroy_transaction(impl::transaction* t) = 0;

    /// Creates the connection-wide transaction when the database wants one.
    void init();
    /// Destroys the connection-wide transaction.
    void done();
    /// Records that `ds` uses this connection (and when it was taken).
    void attach(const data_source& ds);
    /// Records that `ds` gave it back.
    void detach(const data_source& ds);
    /// create_transaction(type), listed on this connection.
    impl::transaction* acquire_transaction_impl(impl::TxnType type);
    /// tovi::exception "Wrong transaction handler. Unable to release it." for a
    /// transaction this connection does not hold.
    void release_transaction_impl(impl::transaction* t);
    /// commit() on every listed transaction, first to last; the first failure propagates.
    void commit_all_transactions();
    /// rollback() on every listed transaction, first to last; the first failure propagates.
    void rollback_all_transactions();

    /// The database this connection belongs to.
    DataBase& get_database() const { return database; }
    /// The user and password it was opened with.
    const session_t& get_session() const { return session; }
    /// The connection-wide transaction, or null.
    impl::transaction* get_default_transaction() const { return default_transaction; }
    /// The listed transactions, oldest first.
    const std::vector<impl::transaction*>& get_transactions() const { return transactions; }
    bool is_opened() const { return opened; }  ///< true between open() and close()
    /// The number of data sources using it.
    int get_use_count() const { return use_count; }
    /// When it was last taken from the pool.
    std::time_t get_last_acquired() const { return last_acquired; }

protected:
    /// A connection of `db` for the credentials `s`.
    connection(DataBase& db, const session_t& s);

    DataBase& database;  ///< see get_database()
    session_t session;   ///< see get_session()
    bool opened;         ///< see is_opened()
    /// Unused; false.
    bool reserved;
    std::time_t last_acquired;               ///< see get_last_acquired()
    impl::transaction* default_transaction;  ///< see get_default_transaction()
    /// The data sources using it.
    std::set<const data_source*> attached;
    int use_count;                                 ///< see get_use_count()
    std::vector<impl::transaction*> transactions;  ///< see get_transactions()

private:
    std::chrono::steady_clock::time_point idle_since_;  // released into the pool

    friend class ConnectionSP;
    friend class DataBase;
};

}  // namespace tovi

#endif
