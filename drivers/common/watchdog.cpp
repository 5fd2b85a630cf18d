#include <tovi/driver/watchdog.hpp>

#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <tovi/driver/module_cleanup.hpp>

namespace tovi::driver {

namespace {

constexpr int last_stage = 1;

struct state {
    std::mutex lock;
    std::condition_variable wake;  // the thread: a new guard or stop
    std::condition_variable done;  // guards: a callback has returned
    std::vector<watchdog::guard*> guards;
    std::thread thread;
    bool stopping = false;
    bool cleanup_registered = false;
};

void stop_thread(state& s) noexcept;

// The module's one watchdog; destroyed (its thread stopped) when the module is
// unloaded or the process ends.
bool state_gone = false;  // trivially destructible: readable after static destruction

struct owned_state : state {
    ~owned_state() {
        stop_thread(*this);
        state_gone = true;  // a clean-up callback running later finds nothing to stop
    }
};

state& the_state() {
    static owned_state s;
    return s;
}

void run(state& s) {
    std::unique_lock<std::mutex> hold(s.lock);
    while (!s.stopping) {
        // The guard due first among those with a stage left.
        watchdog::guard* next = nullptr;
        for (watchdog::guard* g : s.guards)
            if (g->stage < last_stage + 1 && (next == nullptr || g->due < next->due)) next = g;
        if (next == nullptr) {
            s.wake.wait(hold);
            continue;
        }
        watchdog::guard& g = *next;
        if (watchdog::clock::now() < g.due) {
            // A copy: the guard may go while the thread waits.
            const watchdog::clock::time_point due = g.due;
            s.wake.wait_until(hold, due);
            continue;
        }
        const int stage = g.stage++;
        g.due = watchdog::clock::now() + watchdog::grace;
        g.running = true;
        hold.unlock();
        g.expire(stage);
        hold.lock();
        g.running = false;
        s.done.notify_all();
    }
}

}  // namespace

watchdog::guard::guard(std::chrono::milliseconds limit, std::function<void(int)> on_expiry)
    : due(clock::now() + limit), expire(std::move(on_expiry)) {
    state& s = the_state();
    std::lock_guard<std::mutex> hold(s.lock);
    s.guards.push_back(this);
    if (!s.thread.joinable()) {
        s.stopping = false;
        s.thread = std::thread(run, std::ref(s));
        if (!s.cleanup_registered) {
            register_module_cleanup(&watchdog::stop);
            s.cleanup_registered = true;
        }
    }
    s.wake.notify_one();
}

watchdog::guard::~guard() {
    state& s = the_state();
    std::unique_lock<std::mutex> hold(s.lock);
    s.done.wait(hold, [this] { return !running; });
    s.guards.erase(std::remove(s.guards.begin(), s.guards.end(), this), s.guards.end());
}

bool watchdog::guard::expired() const {
    std::lock_guard<std::mutex> hold(the_state().lock);
    return stage > 0;
}

namespace {
void stop_thread(state& s) noexcept {
    {
        std::lock_guard<std::mutex> hold(s.lock);
        if (!s.thread.joinable()) return;
        s.stopping = true;
        s.cleanup_registered = false;  // the module's clean-up list runs once
    }
    s.wake.notify_one();
    s.thread.join();
}
}  // namespace

void watchdog::stop() noexcept {
    if (!state_gone) stop_thread(the_state());
}

namespace {
// The port of a TCP socket address, or 0.
unsigned short port_of(const sockaddr_storage& a) {
    if (a.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(a).sin_port);
    if (a.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
    return 0;
}
}  // namespace

int socket_with_local_port(unsigned short port) {
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) return -1;
    int found = -1;
    while (dirent* entry = readdir(fds)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(fds)) continue;
        struct stat info {};
        if (fstat(static_cast<int>(fd), &info) != 0 || !S_ISSOCK(info.st_mode)) continue;
        sockaddr_storage local{}, peer{};
        socklen_t local_size = sizeof local, peer_size = sizeof peer;
        if (getsockname(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&local), &local_size) !=
                0 ||
            getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0)
            continue;
        if (port_of(local) == port) {
            found = static_cast<int>(fd);
            break;
        }
    }
    closedir(fds);
    return found;
}

}  // namespace tovi::driver
