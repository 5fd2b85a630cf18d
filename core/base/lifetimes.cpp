#include "lifetimes.hpp"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace tovi::detail {

namespace {

struct registry {
    std::mutex lock;
    std::unordered_map<const void*, std::vector<dependant>> by_owner;
};

// Never destroyed: objects may still go during the process's exit.
registry& the_registry() {
    static registry* r = new registry;
    return *r;
}

}  // namespace

void lifetimes::add(const void* owner, dependant d) {
    registry& r = the_registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.by_owner[owner].push_back(d);
}

void lifetimes::remove(const void* owner, const void* object) {
    registry& r = the_registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.by_owner.find(owner);
    if (it == r.by_owner.end()) return;
    std::vector<dependant>& all = it->second;
    auto found = std::find_if(all.rbegin(), all.rend(),
                              [object](const dependant& d) { return d.object == object; });
    if (found == all.rend()) return;
    all.erase(std::next(found).base());
    if (all.empty()) r.by_owner.erase(it);
}

void lifetimes::end_all(const void* owner) {
    std::vector<dependant> ending;
    {
        registry& r = the_registry();
        std::lock_guard<std::mutex> guard(r.lock);
        auto it = r.by_owner.find(owner);
        if (it == r.by_owner.end()) return;
        ending.swap(it->second);
        r.by_owner.erase(it);
    }
    // Not under the lock: ending a transaction ends its statements in turn.
    for (auto d = ending.rbegin(); d != ending.rend(); ++d) d->end(d->object);
}

}  // namespace tovi::detail
