/// @file
/// Library lifetime: tovi::api makes the modules beside libtovi.so findable and,
/// at shutdown, destroys the library's process-wide singletons last-created-first.
///
/// Keep one tovi::api (and, for COM-style drivers, one tovi::COM) alive for the
/// duration of the application's work, typically as locals of main(). Destroy
/// every data source before fini() runs. Not thread-safe: start and stop the
/// library from the main thread.
#ifndef TOVI_API_HPP
#define TOVI_API_HPP

#include <tovi/config.hpp>

namespace tovi {

/// The library's lifetime: makes the modules findable and, at the end, destroys its singletons.
class TOVI_API api {
public:
    /// Calls init().
    api();
    /// Runs the clean-up as fini() does; exceptions of destroy functions are dropped.
    ~api();

    /// Prefixes PATH with the core library's directory; does nothing while
    /// initialized_ is set. The PATH change is never undone.
    static void init();
    /// Destroys the process-wide singletons, last-created-first. Lets exceptions of
    /// destroy functions through. Does nothing unless initialized_ is set.
    static void fini();

    static bool initialized_;  ///< set by init(), cleared by fini()
};

/// COM initialisation of the calling thread. The platform has no COM: no effect.
class TOVI_API COM {
public:
    COM();
    ~COM();
    /// Copies share the (absent) initialisation.
    ///@{
    COM(const COM&) = default;
    COM& operator=(const COM&) = default;
    ///@}
};

/// Kept for older callers: returns true and does nothing. tovi::api is the working entry.
TOVI_API bool init(bool);
/// Kept for older callers: does nothing. tovi::api is the working entry.
TOVI_API void fini();

}  // namespace tovi

#endif
