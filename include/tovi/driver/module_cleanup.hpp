// Module-wide clean-up: callbacks a driver module runs when it is unloaded.
#ifndef TOVI_DRIVER_MODULE_CLEANUP_HPP
#define TOVI_DRIVER_MODULE_CLEANUP_HPP

namespace tovi::driver {

// Registers a callback to run when this driver module is unloaded; callbacks run
// last-registered-first, and an exception ends the walk (and is swallowed).
void register_module_cleanup(void (*fn)());
// Runs the registered callbacks now (as the module's unload does).
void run_module_cleanup() noexcept;

}  // namespace tovi::driver

#endif
