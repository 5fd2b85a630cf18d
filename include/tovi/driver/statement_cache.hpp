// The per-transaction cache of prepared driver statements: free statements kept
// per SQL text (at most `capacity` in all), the least recently released text
// evicted first, one text per release. Texts left without statements are
// counted until a purge, or until there are 20 times `capacity` of them.
#ifndef TOVI_DRIVER_STATEMENT_CACHE_HPP
#define TOVI_DRIVER_STATEMENT_CACHE_HPP

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <tovi/statement.hpp>

namespace tovi::driver {

class statement_cache {
public:
    using statement = impl::string_stmt;
    // Makes a new, prepared statement for an SQL text.
    using factory = std::function<statement*(const std::string& sql)>;
    // Re-targets a reused statement at its new command.
    using adopter = std::function<void(statement*)>;

    explicit statement_cache(int capacity = 50);
    // purge(); statements still in use are not destroyed (the core hands them
    // back first).
    ~statement_cache();
    statement_cache(const statement_cache&) = delete;
    statement_cache& operator=(const statement_cache&) = delete;

    // The most recently released free statement of `sql`, or a new one.
    statement* acquire(const std::string& sql, const factory& make, const adopter& adopt);
    // Files `s` under its key; evicts the least recently released text's free
    // statements when more than `capacity` are free.
    void release(statement* s);
    // Destroys every free statement and forgets every text.
    void purge();
    // Destroys `s`, handed out and of no further use (its reset failed).
    void discard(statement* s);
    // "[Statement cache statistic - Statements in use: N; Statements in cache: N;
    //  SQL in cache: N; Allocated query number: N]"
    std::string statistics() const;

    const std::vector<statement*>& in_use() const { return in_use_; }
    // Calls `f` with every statement of the cache, in use and free.
    template <class F>
    void for_each(F f) const {
        for (statement* s : in_use_) f(s);
        for (const auto& entry : free_lists_)
            for (statement* s : entry.second) f(s);
    }
    int allocated() const { return allocated_; }
    int cached() const { return cached_; }
    std::size_t sql_count() const { return free_lists_.size(); }
    int capacity() const { return capacity_; }
    std::size_t free_count(const std::string& sql) const;

private:
    void destroy(statement* s);
    void lru_remove(const std::string& sql);

    int capacity_;
    int allocated_;
    std::map<std::string, std::vector<statement*>> free_lists_;
    int cached_;
    std::vector<std::string> lru_;
    std::vector<statement*> in_use_;
};

}  // namespace tovi::driver

#endif
