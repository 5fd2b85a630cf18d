// The statement cache.
#include <tovi/driver/statement_cache.hpp>

#include <algorithm>
#include <iterator>

#include <tovi/exception.hpp>

namespace tovi::driver {

statement_cache::statement_cache(int capacity) : capacity_(capacity), allocated_(0), cached_(0) {}

statement_cache::~statement_cache() {
    try {
        purge();
    } catch (...) {
    }
}

void statement_cache::destroy(statement* s) {
    --allocated_;
    try {
        delete s;  // a statement's destructor releases its native statement
    } catch (...) {
    }
}

void statement_cache::lru_remove(const std::string& sql) {
    auto it = std::find(lru_.begin(), lru_.end(), sql);
    if (it != lru_.end()) lru_.erase(it);
}

std::size_t statement_cache::free_count(const std::string& sql) const {
    auto it = free_lists_.find(sql);
    return it == free_lists_.end() ? 0 : it->second.size();
}

statement_cache::statement* statement_cache::acquire(const std::string& sql, const factory& make,
                                                     const adopter& adopt) {
    std::vector<statement*>& free = free_lists_[sql];
    statement* s = nullptr;
    if (!free.empty()) {
        s = free.back();  // the most recently released
        free.pop_back();
        --cached_;
        adopt(s);
        if (free.empty()) lru_remove(sql);
    } else {
        s = make(sql);
        ++allocated_;
    }
    in_use_.push_back(s);
    return s;
}

void statement_cache::release(statement* s) {
    auto used = std::find(in_use_.begin(), in_use_.end(), s);
    if (used != in_use_.end()) in_use_.erase(used);
    const std::string key = s->get_key();
    free_lists_[key].push_back(s);
    ++cached_;
    lru_remove(key);
    lru_.push_back(key);
    if (cached_ > capacity_ && !lru_.empty()) {
        const std::string oldest = lru_.front();
        lru_.erase(lru_.begin());
        std::vector<statement*> evicted;
        evicted.swap(free_lists_[oldest]);  // the map entry stays, empty
        for (statement* e : evicted) {
            --cached_;
            destroy(e);
        }
    }
    // A text whose statements were all evicted stays counted ("SQL in cache")
    // until a purge. Drivers whose commits keep the cache may never purge, and an
    // application that writes literals into its texts would grow that list for
    // ever: past 20 times the capacity, the texts without statements are forgotten.
    if (free_lists_.size() > 20 * static_cast<std::size_t>(capacity_)) {
        for (auto it = free_lists_.begin(); it != free_lists_.end();)
            it = it->second.empty() ? free_lists_.erase(it) : std::next(it);
    }
}

void statement_cache::discard(statement* s) {
    auto used = std::find(in_use_.begin(), in_use_.end(), s);
    if (used != in_use_.end()) in_use_.erase(used);
    destroy(s);
}

void statement_cache::purge() {
    lru_.clear();
    std::map<std::string, std::vector<statement*>> all;
    all.swap(free_lists_);
    for (auto& entry : all) {
        for (statement* s : entry.second) {
            --cached_;
            destroy(s);
        }
    }
}

std::string statement_cache::statistics() const {
    return "[Statement cache statistic - Statements in use: " + std::to_string(in_use_.size()) +
           "; Statements in cache: " + std::to_string(cached_) +
           "; SQL in cache: " + std::to_string(free_lists_.size()) +
           "; Allocated query number: " + std::to_string(allocated_) + "]";
}

}  // namespace tovi::driver
