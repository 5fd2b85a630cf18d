/// @file
/// Functions that run when the process exits: the exit registry and the import
/// patcher that gets control at that moment.
///
/// On ELF the patcher rewrites the GOT slots through which modules call libc's
/// `exit` (every loaded module but libtovi.so, then the main program, and modules
/// loaded later through dlopen/dlmopen), and an atexit handler covers the exit
/// after `main` returns. Not intercepted: `_exit`, `abort`, fatal signals.
#ifndef TOVI_WIN_HOOK_HPP
#define TOVI_WIN_HOOK_HPP

#include <mutex>
#include <string>
#include <vector>

#include <tovi/config.hpp>
#include <tovi/exception.hpp>

namespace tovi::win_hook {

// tovi::win_hook::exception (exception.hpp): failures of the hook machinery.

/// The process's exit registry: functions registered here run once, in order of
/// registration, when the process exits through `exit()` from any patched module
/// or by returning from `main`.
class TOVI_API on_ExitProcess_t {
public:
    /// The one registry, created on first use: creating it redirects every
    /// loaded module's `exit` to the registry.
    static on_ExitProcess_t& get_instance();

    /// Appends `fn` unless it is already registered.
    void add(void (*fn)());
    /// Takes out the first registration of `fn`; the rest keep their order.
    void remove(void (*fn)());
    /// Calls every registered function in order, each taken off the list before
    /// it runs; with nothing registered it returns at once, without locking. A
    /// function that calls exit() ends the process with its status once the rest
    /// have run; one that throws is reported through reportError and the rest
    /// still run. Each runs once.
    void clear_all();

    on_ExitProcess_t(const on_ExitProcess_t&) = delete;
    on_ExitProcess_t& operator=(const on_ExitProcess_t&) = delete;

private:
    on_ExitProcess_t();
    /// clear_all(), then the redirection is taken out.
    ~on_ExitProcess_t();
    /// What the redirected imports of `exit` reach: clear_all(), then libc's exit.
    [[noreturn]] static void ExitProcess(int code);
    static void destroy();

    std::mutex lock_;
    std::vector<void (*)()> functions_;
};

/// Redirects a function that modules import from another module (by GOT slot).
/// One per process.
class TOVI_API import_patcher {
public:
    /// The process's one patcher, made on first use.
    static import_patcher& get_instance();

    /// Points every loaded module's import of `function_name` (a function of
    /// `module_name`, e.g. "libc.so.6"; both compared without regard to case) at
    /// `replacement`, and keeps doing so for modules loaded later. False when the
    /// pair is hooked already, the function is not found, or nothing was patched.
    bool hook(const std::string& module_name, const std::string& function_name, void* replacement);
    /// Writes the original addresses back (in modules still loaded) and forgets the
    /// pair; false when it was not hooked.
    bool unhook(const std::string& module_name, const std::string& function_name);
    /// The address `function_name` had before any redirection (null when unknown).
    void* real_address(const std::string& module_name, const std::string& function_name);
    /// Whether the loader and symbol lookup are redirected too (dlopen, dlmopen, dlsym).
    bool self_hooked() const { return self_hooked_; }

    import_patcher(const import_patcher&) = delete;
    import_patcher& operator=(const import_patcher&) = delete;

private:
    import_patcher();
    ~import_patcher();
    static void destroy();
    friend struct patcher_access;

    bool self_hooked_ = false;
};

}  // namespace tovi::win_hook

#endif
