// tovi::api and tovi::COM: starting and stopping the library.
#include <tovi/api.hpp>

#include <cstdlib>
#include <string>

#include "../platform/dynlib.hpp"
#include "cleanup_list.hpp"

namespace tovi {

bool api::initialized_ = false;

api::api() {
    init();
}

api::~api() {
    if (!initialized_) return;
    try {
        detail::run_cleanup();
    } catch (...) {
        // A destructor must not throw; keep going with what is left.
        while (detail::pending_cleanups() != 0) {
            try {
                detail::run_cleanup();
            } catch (...) {
            }
        }
    }
    initialized_ = false;
}

void api::init() {
    if (initialized_) return;
    // Modules lie beside the core; put its directory first in PATH. (Driver
    // modules are loaded by absolute path and dialects through libtovi.so's run
    // path, so this only keeps the documented environment for child processes.)
    std::string path = platform::core_directory() + ":";
    if (const char* old = std::getenv("PATH")) path += old;
    setenv("PATH", path.c_str(), 1);
    initialized_ = true;
}

void api::fini() {
    if (!initialized_) return;
    detail::run_cleanup();
    initialized_ = false;
}

// The platform has no COM to initialise.
COM::COM() {}
COM::~COM() {}

bool init(bool) {
    return true;
}

void fini() {}

}  // namespace tovi
