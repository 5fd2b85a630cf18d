// process_singleton<T>: the one way the core writes a process-wide singleton.
//
// Created on first use, destroyed by the clean-up list (tovi::api::fini()) in
// reverse order of creation, and created again when used after that. Creation
// is locked (data sources may be opened on several threads); destruction
// happens in tovi::api::fini(), on one thread, after that work has ended.
#ifndef TOVI_CORE_BASE_SINGLETON_HPP
#define TOVI_CORE_BASE_SINGLETON_HPP

#include <atomic>
#include <mutex>

#include "cleanup_list.hpp"

namespace tovi::detail {

template <class T>
class process_singleton {
public:
    static T& instance() {
        T* existing = object_.load(std::memory_order_acquire);
        if (existing != nullptr) return *existing;
        std::lock_guard<std::recursive_mutex> lock(creation_lock_);
        if (object_ == nullptr) {
            destroyed_ = false;
            object_ = new T();
            push_cleanup(&destroy);
        }
        return *object_;
    }

    static bool exists() { return object_ != nullptr; }
    static bool destroyed() { return destroyed_; }

private:
    static void destroy() {
        if (object_ == nullptr) return;
        // Detach first: a throwing destructor must not leave a dangling pointer.
        T* object = object_;
        object_ = nullptr;
        destroyed_ = true;
        delete object;
    }

    static inline std::atomic<T*> object_{nullptr};
    static inline std::recursive_mutex creation_lock_;
    static inline bool destroyed_ = false;
};

}  // namespace tovi::detail

#endif
