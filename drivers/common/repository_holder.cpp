// The module-wide repository holder and its clean-up at module unload.
#include <tovi/driver/repository_holder.hpp>

#include <mutex>

#include <tovi/driver/module_cleanup.hpp>

namespace tovi::driver {

namespace {
repository_holder* holder = nullptr;
bool cleaned = false;
std::mutex holder_lock;
}  // namespace

repository_holder& repository_holder::instance() {
    std::lock_guard<std::mutex> lock(holder_lock);
    if (holder == nullptr) {
        cleaned = false;
        holder = new repository_holder();
        register_module_cleanup(&repository_holder::cleanup);
    }
    return *holder;
}

void repository_holder::cleanup() {
    if (holder == nullptr || cleaned) return;
    repository_holder* h = holder;
    holder = nullptr;
    cleaned = true;
    for (auto& entry : h->repositories_) {
        try {
            entry.second->close();
        } catch (const exception& e) {
            utils::reportError(0, e.get_error_text().c_str());
        } catch (...) {
        }
    }
    delete h;
}

Repository& repository_holder::get(const std::string& key,
                                   const boost::shared_ptr<server_t>& server,
                                   const svc_provider_t& provider, factory make) {
    std::lock_guard<std::mutex> lock(holder_lock);
    auto it = repositories_.find(key);
    if (it != repositories_.end()) return *it->second;
    std::unique_ptr<Repository> repository(make(server, provider));
    repository->open();
    Repository& r = *repository;
    repositories_.emplace(key, std::move(repository));
    return r;
}

}  // namespace tovi::driver
