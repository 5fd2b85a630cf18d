// The module's clean-up list, run by the module's own static destruction.
#include <tovi/driver/module_cleanup.hpp>

#include <deque>

namespace tovi::driver {

namespace {

std::deque<void (*)()>* cleanup_callbacks = nullptr;

// Runs the callbacks when the module is unloaded (its static destructors run).
struct module_unload {
    ~module_unload() { run_module_cleanup(); }
} unload_hook;

}  // namespace

void register_module_cleanup(void (*fn)()) {
    if (cleanup_callbacks == nullptr) cleanup_callbacks = new std::deque<void (*)()>();
    cleanup_callbacks->push_back(fn);
}

void run_module_cleanup() noexcept {
    if (cleanup_callbacks == nullptr) return;
    try {
        while (!cleanup_callbacks->empty()) {
            void (*fn)() = cleanup_callbacks->back();
            cleanup_callbacks->pop_back();
            fn();
        }
    } catch (...) {
        // An escaping exception ends the walk.
    }
    delete cleanup_callbacks;
    cleanup_callbacks = nullptr;
}

}  // namespace tovi::driver
