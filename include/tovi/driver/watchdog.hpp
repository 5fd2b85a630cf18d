// Bounds the time of blocking native calls. A call guarded by a watchdog::guard
// that runs past its limit has its expiry callback run from the watchdog's own
// thread: first with stage 0 (ask the server to cancel), then, if the call has
// still not returned, with stage 1 after a grace period (cut the connection, for
// a server that no longer answers at all). The thread starts with the first
// guard and stops when the module is unloaded; an unguarded call costs nothing.
#ifndef TOVI_DRIVER_WATCHDOG_HPP
#define TOVI_DRIVER_WATCHDOG_HPP

#include <chrono>
#include <functional>

namespace tovi::driver {

class watchdog {
public:
    using clock = std::chrono::steady_clock;
    // How long a cancelled call may take to return before its connection is cut.
    static constexpr std::chrono::milliseconds grace{1000};

    class guard {
    public:
        // Guards the call that follows for `limit`; `on_expiry(stage)` must not
        // throw and must be safe to run from another thread during the call.
        guard(std::chrono::milliseconds limit, std::function<void(int stage)> on_expiry);
        // Waits for an expiry callback that is running, so nothing it uses goes.
        ~guard();
        guard(const guard&) = delete;
        guard& operator=(const guard&) = delete;
        // Whether the limit was reached (the callback ran at least once).
        bool expired() const;

        clock::time_point due;
        int stage = 0;
        bool running = false;
        std::function<void(int)> expire;
    };

    // Stops the thread (module unload); guards made later start it again.
    static void stop() noexcept;
};

// The process's connected TCP socket whose local port is `port`, or -1: how a
// driver finds the socket of a connection whose server reports the client's port.
int socket_with_local_port(unsigned short port);

}  // namespace tovi::driver

#endif
