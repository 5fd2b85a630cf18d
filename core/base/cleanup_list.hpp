// The process-wide clean-up list behind tovi::api::fini(): destroy functions of
// the core's singletons, run last-pushed-first.
#ifndef TOVI_CORE_BASE_CLEANUP_LIST_HPP
#define TOVI_CORE_BASE_CLEANUP_LIST_HPP

#include <cstddef>

#include <tovi/config.hpp>

namespace tovi::detail {

using cleanup_fn = void (*)();

// Appends a destroy function (the list is created on first use).
TOVI_API void push_cleanup(cleanup_fn fn);

// Calls the function at the back and removes it, until the list is empty.
// An exception from a destroy function propagates; its entry is already removed,
// so running the list again continues with the next one.
TOVI_API void run_cleanup();

// Number of pending destroy functions (for tests and diagnostics).
TOVI_API std::size_t pending_cleanups();

}  // namespace tovi::detail

#endif
