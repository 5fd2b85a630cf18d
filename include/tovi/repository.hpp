// The skeleton every driver fills in: a Repository holds the databases reachable
// through one dialect and provider, a DataBase stands for one server and
// database and pools its open connections, a connection stands for one open
// session and keeps the transactions opened on it.
//
// The core does the bookkeeping; drivers implement the pure virtual operations
// (their slot order is part of the interface between separately built modules).
// Connections are shared through connection_handle; idle ones wait in their
// database's pool per upper-cased user and password and are reused
// last-released-first. Data sources on different threads may share a
// repository: its map of databases and each database's pool lock their own
// operations. A connection (with its transactions) is used by one thread at a
// time.
#ifndef TOVI_REPOSITORY_HPP
#define TOVI_REPOSITORY_HPP

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
// 0: opened by an application; 1: a statement's own; 2: a connection's own.
enum TxnType { txn_explicit = 0, txn_statement = 1, txn_connection = 2 };
}  // namespace impl

// Storage policy of the connection handle: keeps the DataBase that made the
// connection, so the last handle can give the connection back to it.
class TOVI_API ConnectionSP {
public:
    ConnectionSP() = default;
    ConnectionSP(const ConnectionSP&) = default;
    ConnectionSP& operator=(const ConnectionSP&) = default;

    static void init(connection*& p);
    // Creates and opens a connection of `db` for `s` (with its connection-wide
    // transaction when the database wants one). On a tovi::exception the
    // half-made connection is destroyed and "Unable to open a database
    // connection." is added to the stack.
    void init(connection*& p, DataBase& db, const session_t& s);
    // Ends the connection's own transaction, closes it and has its database
    // destroy it; a failure adds "Unable to close a database connection.".
    void destroy(connection* c);
    void swap(ConnectionSP& other) noexcept;

private:
    DataBase* database_ = nullptr;
};

using connection_handle = utils::SmartPtr<connection, utils::RefCounted, ConnectionSP,
                                          utils::DisallowConversion, utils::AssertCheck>;

// Contract of the driver operations below: create_* returns a new object the
// caller (the core) keeps and later hands to the matching destroy_*, which
// deletes it in the driver module's own code; destroy_* ignores null. The core
// calls them under the repository's or pool's lock, from any thread, for
// different data sources; a failure is a tovi::exception and leaves nothing
// half-made behind.
class TOVI_API Repository {
public:
    Repository(const boost::shared_ptr<server_t>& server, const svc_provider_t& provider);
    // Releases the map only: call close() first.
    virtual ~Repository();
    // Called by get_database on the first use of a service; open() follows.
    virtual DataBase* create_database(const service_t& s) = 0;
    // Called by close() after done(), and when open() fails.
    virtual void destroy_database(DataBase* db) = 0;

    // The database of `s` (by host and server), opened on first use.
    DataBase* get_database(const service_t& s);
    void open();
    // Empties every database's pool (closing idle connections), closes and
    // destroys every database. Goes through all of them even if one fails; the
    // first failure is then rethrown.
    void close();
    void setDefaultDataBase(DataBase& db) { default_database = &db; }

    const boost::shared_ptr<server_t>& get_server() const { return server; }
    const svc_provider_t& get_provider() const { return provider; }
    std::size_t database_count() const { return databases.size(); }

protected:
    DataBase* open_database(const service_t& s);

    boost::shared_ptr<server_t> server;
    svc_provider_t provider;
    std::map<std::string, DataBase*> databases;
    DataBase* default_database;

private:
    std::mutex databases_lock_;
};

class TOVI_API DataBase {
public:
    virtual ~DataBase();
    virtual void open();
    virtual void close();
    // Called when the pool has no idle connection for the credentials: a new,
    // open native connection (a failure: the native error, untranslated, or
    // translated by the dialect with "Database: '...'"). open() and init()
    // follow; if they fail, destroy_connection undoes it.
    virtual connection* create_connection(const session_t& s) = 0;
    // Called by the last connection handle, after done() and close().
    virtual void destroy_connection(connection* c) = 0;

    void init() { open(); }
    // Empties the pool (closing the idle connections), then close(). Every idle
    // connection is closed even if one fails; the first failure is rethrown.
    void done();
    // An idle connection for these credentials (the most recently released) or
    // a new, opened one; attached to `ds`.
    connection_handle acquire_connection(const data_source& ds, const session_t& s);
    // Detaches `ds` and puts the (still open) connection back into the pool.
    void release_connection(const data_source& ds, connection_handle& h);

    Repository& get_repository() const { return repository; }
    const service_t& get_service() const { return service; }
    // Number of idle connections for these credentials.
    std::size_t idle_count(const std::string& user, const std::string& password) const;

protected:
    DataBase(Repository& r, const service_t& s);
    // The pool key: the user upper-cased (user names compare without regard to
    // case) and the password exactly as given, each length-prefixed so that no
    // separator inside a name can make two credentials collide.
    static std::string getConnectStr(const std::string& user, const std::string& password);

    std::map<std::string, std::vector<connection_handle>> pool;
    Repository& repository;
    service_t service;
    int setting1;
    int setting2;

public:
    // When set (the default), every new connection gets a connection-wide
    // transaction right after it opens.
    bool auto_transaction;

private:
    mutable std::mutex pool_lock_;
};

class TOVI_API connection {
public:
    virtual void open();
    virtual void close();
    // Releases the containers only; closes nothing.
    virtual ~connection();
    // Called by init() (the connection-wide transaction) and by
    // acquire_transaction_impl: a new driver transaction, started; the
    // connection lists it. Owned by the driver until destroy_transaction.
    virtual impl::transaction* create_transaction(impl::TxnType type) = 0;
    // Called by done() and release_transaction_impl after unlisting `t`:
    // finish() it, then delete it; a finish() failure propagates afterwards.
    virtual void destroy_transaction(impl::transaction* t) = 0;

    // Creates the connection-wide transaction when the database wants one.
    void init();
    // Destroys the connection-wide transaction.
    void done();
    void attach(const data_source& ds);
    void detach(const data_source& ds);
    impl::transaction* acquire_transaction_impl(impl::TxnType type);
    // tovi::exception "Wrong transaction handler. Unable to release it." for a
    // transaction this connection does not hold.
    void release_transaction_impl(impl::transaction* t);
    void commit_all_transactions();
    void rollback_all_transactions();

    DataBase& get_database() const { return database; }
    const session_t& get_session() const { return session; }
    impl::transaction* get_default_transaction() const { return default_transaction; }
    const std::vector<impl::transaction*>& get_transactions() const { return transactions; }
    bool is_opened() const { return opened; }
    int get_use_count() const { return use_count; }
    std::time_t get_last_acquired() const { return last_acquired; }

protected:
    connection(DataBase& db, const session_t& s);

    DataBase& database;
    session_t session;
    bool opened;
    bool reserved;
    std::time_t last_acquired;
    impl::transaction* default_transaction;
    std::set<const data_source*> attached;
    int use_count;
    std::vector<impl::transaction*> transactions;

    friend class ConnectionSP;
    friend class DataBase;
};

}  // namespace tovi

#endif
