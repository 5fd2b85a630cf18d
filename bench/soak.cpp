// A soak run (not part of the tests): THREADS threads, each with its own data
// source and database, mix inserts, deletes of old rows (the data stay about the
// same size), updates, reads, commits and rollbacks, and statements that fail,
// for SECONDS. Every few seconds it prints the operations
// per second, the errors by class and the resident memory, which must level off:
// growth would be a leak, or the statement cache's bookkeeping growing.
//
//   soak URL USER DATABASE_PREFIX SECONDS [THREADS]
//   soak /SQLITE "" /tmp/soak 600            # eight SQLite files /tmp/soak-N.db
//   soak /ADO/Microsoft.Jet.OLEDB.4.0 "" /tmp/soak 600
#include <tovi/tovi.hpp>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include <unistd.h>

namespace {

std::atomic<long> operations{0};
std::atomic<bool> stop{false};
std::mutex errors_lock;
std::map<std::string, long> errors;  // by class

void count_error(const tovi::exception& e) {
    std::lock_guard<std::mutex> hold(errors_lock);
    ++errors[typeid(e).name()];
}

long resident_kib() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void worker(const std::string& url_text, const std::string& user, const std::string& file,
            unsigned seed) {
    try {
        tovi::uurl_t url(url_text, user, "", file);
        tovi::udata_source ds(url);
        {
            tovi::statement ddl(ds, 1);
            try {
                ddl.execute("CREATE TABLE s(k INTEGER PRIMARY KEY, v INTEGER, t VARCHAR(100))");
            } catch (const tovi::schema_obj_already_exists&) {
            }
            ddl.trans->commit();
        }
        std::mt19937 rng(seed);
        long next_key = 1;
        tovi::transaction tx(ds);
        while (!stop) {
            const int pick = static_cast<int>(rng() % 100);
            try {
                tovi::statement st(tx, 1);
                long k = static_cast<long>(rng() % static_cast<unsigned>(next_key)) + 1, v = 0;
                std::string t = "text " + std::to_string(k);
                if (pick < 5) {  // old rows go: the data stay the same size
                    k = next_key - 2000;
                    st.parse("DELETE FROM s WHERE k < :k");
                    st << k;
                    st.execute();
                } else if (pick < 35) {  // insert a new row
                    k = next_key++;
                    st.parse("INSERT INTO s VALUES(:k, :v, :t)");
                    st << k << v << t;
                    st.execute();
                } else if (pick < 50) {  // update by key
                    st.parse("UPDATE s SET v = v + 1 WHERE k = :k");
                    st << k;
                    st.execute();
                } else if (pick < 75) {  // read a range
                    st.parse("SELECT k, v, t FROM s WHERE k >= :k ORDER BY k");
                    st << k;
                    st >> k >> v >> t;
                    st.execute();
                    for (int rows = 0; rows < 20 && st.next(); ++rows) {
                    }
                } else if (pick < 85) {  // a text of its own (the cache's bookkeeping)
                    st.execute("SELECT v FROM s WHERE k = " + std::to_string(k));
                } else if (pick < 92) {
                    tx.commit();
                } else if (pick < 95) {
                    tx.rollback();
                } else if (pick < 98) {  // a duplicate key
                    long one = 1;
                    st.parse("INSERT INTO s VALUES(:k, 0, 'dup')");
                    st << one;
                    st.execute();
                    st.execute();
                } else {  // a missing table
                    st.execute("SELECT * FROM nowhere");
                }
            } catch (const tovi::exception& e) {
                count_error(e);
            }
            ++operations;
        }
        tx.commit();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "worker stopped: %s\n", e.what());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: soak URL USER DATABASE_PREFIX SECONDS [THREADS]\n");
        return 2;
    }
    const std::string url = argv[1], user = argv[2], prefix = argv[3];
    const int seconds = std::stoi(argv[4]);
    const int threads = argc > 5 ? std::stoi(argv[5]) : 8;
    tovi::api library;
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i)
        workers.emplace_back(worker, url, user,
                             prefix + "-" + std::to_string(i) +
                                 (url.find("InterBase") != std::string::npos ? ".fdb"
                                  : url.find("ADO") != std::string::npos     ? ".mdb"
                                                                             : ".db"),
                             static_cast<unsigned>(i + 1));
    const auto started = std::chrono::steady_clock::now();
    long last_ops = 0;
    std::printf("%8s %10s %10s  %s\n", "seconds", "ops/s", "RSS KiB", "errors by class");
    for (int elapsed = 5; elapsed <= seconds; elapsed += 5) {
        std::this_thread::sleep_until(started + std::chrono::seconds(elapsed));
        const long ops = operations;
        std::string by_class;
        {
            std::lock_guard<std::mutex> hold(errors_lock);
            for (const auto& e : errors) by_class += e.first + "=" + std::to_string(e.second) + " ";
        }
        std::printf("%8d %10ld %10ld  %s\n", elapsed, (ops - last_ops) / 5, resident_kib(),
                    by_class.c_str());
        std::fflush(stdout);
        last_ops = ops;
    }
    stop = true;
    for (auto& w : workers) w.join();
    std::printf("operations: %ld\n", operations.load());
}
