// The driver module's repositories: one per key (the SQLite and Firebird drivers
// use a single key, the ODBC driver one per provider name).
#ifndef TOVI_DRIVER_REPOSITORY_HOLDER_HPP
#define TOVI_DRIVER_REPOSITORY_HOLDER_HPP

#include <map>
#include <memory>
#include <string>

#include <tovi/tovi.hpp>

namespace tovi::driver {

class repository_holder {
public:
    using factory = Repository* (*)(const boost::shared_ptr<server_t>&, const svc_provider_t&);

    // The holder of this module, created (with its clean-up registered) on first use.
    static repository_holder& instance();
    // The repository under `key`, created from `server` and `provider` and opened
    // on first use. Locked: data sources on several threads reach it at once.
    Repository& get(const std::string& key, const boost::shared_ptr<server_t>& server,
                    const svc_provider_t& provider, factory make);
    std::size_t size() const { return repositories_.size(); }

private:
    static void cleanup();
    std::map<std::string, std::unique_ptr<Repository>> repositories_;
};

}  // namespace tovi::driver

#endif
