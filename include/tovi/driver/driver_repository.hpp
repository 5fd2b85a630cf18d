// The repository, database and data-source classes every driver has, typed to
// the driver. A driver names its classes in a traits struct `D` (see
// framework.hpp) and gets these three for nothing:
//
//   database<D>     creates and destroys D::connection
//   repository<D>   creates and destroys database<D>
//   data_source<D>  finds its repository in the module's holder, under the key
//                   D::repository_key gives, and its database there
#ifndef TOVI_DRIVER_DRIVER_REPOSITORY_HPP
#define TOVI_DRIVER_DRIVER_REPOSITORY_HPP

#include <new>
#include <string>
#include <type_traits>
#include <utility>

#include <tovi/module.hpp>
#include <tovi/tovi.hpp>

#include <tovi/driver/database_options.hpp>
#include <tovi/driver/module_cleanup.hpp>
#include <tovi/driver/repository_holder.hpp>

namespace tovi::driver {

// Repository keys. One repository for the whole module (SQLite, Firebird).
struct one_repository {
    static std::string key(const svc_provider_t&) { return std::string(); }
};
// One repository per provider name (ODBC: per ODBC driver).
struct repository_per_provider {
    static std::string key(const svc_provider_t& p) { return p.provider; }
};

// Whether D reads database options (D::options_of(service) gives their text).
template <class D, class = void>
struct has_database_options : std::false_type {};
template <class D>
struct has_database_options<D, std::void_t<decltype(D::options_of(std::declval<service_t>()))>>
    : std::true_type {};

template <class D>
class database final : public DataBase {
public:
    database(Repository& r, const service_t& s) : DataBase(r, s) {
        if constexpr (has_database_options<D>::value)
            set_pool_policy(parse_database_options(D::options_of(s)).pool);
    }
    connection* create_connection(const session_t& s) override {
        return new typename D::connection(*this, s);
    }
    void destroy_connection(connection* c) override { delete c; }
};

// What a driver keeps per repository (the ODBC driver its environment):
// D::repository_state, constructed from the provider, or nothing.
template <class D, class = void>
struct repository_state_of {
    struct type {
        explicit type(const svc_provider_t&) {}
    };
};
template <class D>
struct repository_state_of<D, std::void_t<typename D::repository_state>> {
    using type = typename D::repository_state;
};

template <class D>
class repository final : public Repository {
public:
    using state_type = typename repository_state_of<D>::type;

    repository(const boost::shared_ptr<server_t>& s, const svc_provider_t& p)
        : Repository(s, p), state_(p) {}
    DataBase* create_database(const service_t& s) override { return new database<D>(*this, s); }
    void destroy_database(DataBase* db) override { delete db; }
    // Outlives the repository's databases and their connections (close() runs
    // before the repository is deleted).
    state_type& state() { return state_; }

private:
    state_type state_;
};

// The state of the repository `db` belongs to (every database of the module is
// one of D's).
template <class D>
typename repository<D>::state_type& repository_state(DataBase& db) {
    return static_cast<repository<D>&>(db.get_repository()).state();
}

template <class D>
class data_source final : public DataSourceOld {
public:
    explicit data_source(url_t& url) : DataSourceOld(url) {}

    DataBase* locate_database() override {
        D::check_service(provider, service);              // may throw tovi::ds_exception
        const boost::shared_ptr<server_t> held = server;  // kept for the call
        Repository& r = repository_holder::instance().get(D::repository_key::key(provider), held,
                                                          provider, &make_repository);
        return r.get_database(service);
    }

private:
    static Repository* make_repository(const boost::shared_ptr<server_t>& s,
                                       const svc_provider_t& p) {
        return new repository<D>(s, p);
    }
};

}  // namespace tovi::driver

// Defines the module's createDataSource export for the driver traits `D`,
// and its before_module_unload export: the repositories and their pooled
// connections close when the core lets the module go (tovi::api::fini()), even
// when the loader keeps the module mapped.
#define TOVI_DRIVER_CREATE_DATA_SOURCE(D)                                      \
    TOVI_MODULE_EXPORT tovi::data_source* createDataSource(tovi::url_t* url) { \
        return new (std::nothrow) tovi::driver::data_source<D>(*url);          \
    }                                                                          \
    TOVI_MODULE_EXPORT void before_module_unload() {                           \
        tovi::driver::run_module_cleanup();                                    \
    }

#endif
