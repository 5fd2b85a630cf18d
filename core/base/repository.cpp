// Repository, DataBase and the connection pool.
#include <tovi/data_source.hpp>
#include <tovi/exception.hpp>
#include <tovi/repository.hpp>
#include <tovi/server.hpp>
#include <tovi/text.hpp>
#include <tovi/transaction.hpp>

#include <exception>

namespace tovi {

namespace {
// Every field of the service, each prefixed with its length: two services that
// differ in any of them (the database on one server, the port) never share a
// pool. The documented key (host "#" server) handed a data source for database B
// a pooled connection to database A on the same host.
std::string database_key(const service_t& s) {
    std::string key;
    for (const std::string* part : {&s.host, &s.server, &s.database})
        key += std::to_string(part->size()) + ":" + *part + "#";
    return key + std::to_string(s.port) + "#" + std::to_string(static_cast<int>(s.protocol));
}
}  // namespace

// --- Repository

Repository::Repository(const boost::shared_ptr<server_t>& server_, const svc_provider_t& provider_)
    : server(server_), provider(provider_), default_database(nullptr) {}

Repository::~Repository() = default;

DataBase* Repository::get_database(const service_t& s) {
    std::lock_guard<std::mutex> lock(databases_lock_);
    auto it = databases.find(database_key(s));
    if (it != databases.end()) return it->second;
    return open_database(s);
}

DataBase* Repository::open_database(const service_t& s) {
    DataBase* db = create_database(s);
    try {
        db->open();
    } catch (...) {
        destroy_database(db);  // not stored: nobody else would free it
        throw;
    }
    databases[database_key(s)] = db;
    return db;
}

void Repository::open() {}

void Repository::close() {
    std::exception_ptr first_failure;
    std::map<std::string, DataBase*> all;
    {
        std::lock_guard<std::mutex> lock(databases_lock_);
        all.swap(databases);
    }
    for (auto& entry : all) {
        DataBase* db = entry.second;
        try {
            db->done();
        } catch (...) {
            if (!first_failure) first_failure = std::current_exception();
        }
        if (db == default_database) default_database = nullptr;
        destroy_database(db);
    }
    if (first_failure) std::rethrow_exception(first_failure);
}

// --- DataBase

DataBase::DataBase(Repository& r, const service_t& s)
    : repository(r), service(s), setting1(0), setting2(100), auto_transaction(true) {}

DataBase::~DataBase() {
    // Any handles still pooled go now; their failures are reported, not thrown.
    pool.clear();
}

void DataBase::open() {}
void DataBase::close() {}

std::string DataBase::getConnectStr(const std::string& user, const std::string& password) {
    // Not UPPER(user + "/" + password): that handed a connection opened with
    // "tiger" to a request with "TIGER", and user "a/b" with password "c" the
    // connection of user "a" with password "b/c".
    const std::string u = utils::make_upper(user);
    return std::to_string(u.size()) + ":" + u + "/" + std::to_string(password.size()) + ":" +
           password;
}

void DataBase::done() {
    std::exception_ptr first_failure;
    std::map<std::string, std::vector<connection_handle>> idle;
    {
        std::lock_guard<std::mutex> lock(pool_lock_);
        idle.swap(pool);
    }
    for (auto& entry : idle) {
        for (connection_handle& h : entry.second) {
            try {
                h.reset();
            } catch (...) {
                if (!first_failure) first_failure = std::current_exception();
            }
        }
    }
    close();
    if (first_failure) std::rethrow_exception(first_failure);
}

namespace {
// Closes connections the pool let go. A connection that failed or was closed by
// its server often fails to close cleanly too: that is no news to anybody.
void close_quietly(std::vector<connection_handle>& handles) noexcept {
    for (connection_handle& h : handles) {
        try {
            h.reset();
        } catch (...) {
        }
    }
    handles.clear();
}
}  // namespace

bool DataBase::still_usable(connection& c) const {
    auto* check = dynamic_cast<pooled_connection*>(&c);
    if (check == nullptr) return true;
    const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - c.idle_since_);
    return check->usable(idle, policy_.ping_after);
}

void DataBase::take_expired(std::vector<connection_handle>& idle,
                            std::vector<connection_handle>& expired) const {
    const auto now = std::chrono::steady_clock::now();
    // Oldest first; the most recently released idle_keep always stay.
    std::size_t n = 0;
    while (idle.size() - n > policy_.idle_keep &&
           now - idle[n]->idle_since_ >= policy_.idle_timeout)
        ++n;
    for (std::size_t i = 0; i < n; ++i) expired.push_back(idle[i]);
    idle.erase(idle.begin(), idle.begin() + static_cast<std::ptrdiff_t>(n));
}

connection_handle DataBase::acquire_connection(const data_source& ds, const session_t& s) {
    const std::string key = getConnectStr(s.user, s.password);
    connection_handle h;
    std::vector<connection_handle> gone;
    for (;;) {
        connection_handle candidate;
        {
            std::lock_guard<std::mutex> lock(pool_lock_);
            auto it = pool.find(key);
            if (it == pool.end()) break;
            take_expired(it->second, gone);
            if (it->second.empty()) break;
            candidate.swap(it->second.back());  // the most recently released
            it->second.pop_back();
        }
        // A connection the server closed, or that failed, is not handed out:
        // the next one is tried, and at the end a new one opens.
        if (still_usable(*candidate)) {
            h.swap(candidate);
            break;
        }
        gone.push_back(candidate);
    }
    close_quietly(gone);
    // Opening a connection can take long: not under the lock.
    if (h.empty()) h = connection_handle(*this, s);
    h->attach(ds);
    return h;
}

void DataBase::release_connection(const data_source& ds, connection_handle& h) {
    if (h.empty()) return;
    h->detach(ds);
    std::vector<connection_handle> gone;
    auto* check = dynamic_cast<pooled_connection*>(h.get());
    if (check != nullptr && !check->usable(std::chrono::milliseconds(0), std::chrono::hours(1))) {
        gone.push_back(h);  // failed: never pooled
    } else {
        const session_t& s = h->get_session();
        const std::string key = getConnectStr(s.user, s.password);
        h->idle_since_ = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> lock(pool_lock_);
        std::vector<connection_handle>& idle = pool[key];
        idle.push_back(h);
        take_expired(idle, gone);
    }
    h.reset();  // the caller's copy; the pool's (or gone's) keeps it
    close_quietly(gone);
}

std::size_t DataBase::idle_count(const std::string& user, const std::string& password) const {
    std::lock_guard<std::mutex> lock(pool_lock_);
    auto it = pool.find(getConnectStr(user, password));
    return it == pool.end() ? 0 : it->second.size();
}

pooled_connection::~pooled_connection() = default;

// --- ConnectionSP

void ConnectionSP::init(connection*& p) {
    p = nullptr;
}

void ConnectionSP::init(connection*& p, DataBase& db, const session_t& s) {
    database_ = &db;
    connection* c = db.create_connection(s);
    try {
        c->open();
        c->init();
    } catch (exception& e) {
        db.destroy_connection(c);
        // Said after the cause, whose class (a time-out, say) stays.
        e.set_data("Unable to open a database connection.", 0);
        throw;
    }
    c->opened = true;
    p = c;
}

void ConnectionSP::destroy(connection* c) {
    if (c == nullptr) return;
    DataBase& db = database_ != nullptr ? *database_ : c->get_database();
    try {
        c->done();
        c->close();
    } catch (const exception& e) {
        db.destroy_connection(c);
        throw exception(e, "Unable to close a database connection.", 0);
    }
    c->opened = false;
    db.destroy_connection(c);
}

void ConnectionSP::swap(ConnectionSP& other) noexcept {
    std::swap(database_, other.database_);
}

}  // namespace tovi
