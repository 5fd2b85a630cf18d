// The clean-up list, and its last run when libtovi.so itself is unloaded.
#include "cleanup_list.hpp"

#include <deque>

namespace tovi::detail {

namespace {

std::deque<cleanup_fn>* list = nullptr;

std::deque<cleanup_fn>& get_list() {
    if (list == nullptr) list = new std::deque<cleanup_fn>();
    return *list;
}

// Runs whatever is left when the core library is unloaded (or the process ends
// without fini()), dropping exceptions: there is nobody left to report to.
struct unload_guard {
    ~unload_guard() {
        while (list != nullptr && !list->empty()) {
            try {
                run_cleanup();
            } catch (...) {
            }
        }
        delete list;
        list = nullptr;
    }
} guard;

}  // namespace

void push_cleanup(cleanup_fn fn) {
    get_list().push_back(fn);
}

void run_cleanup() {
    if (list == nullptr) return;
    while (!list->empty()) {
        cleanup_fn fn = list->back();
        list->pop_back();
        fn();
    }
}

std::size_t pending_cleanups() {
    return list == nullptr ? 0 : list->size();
}

}  // namespace tovi::detail
