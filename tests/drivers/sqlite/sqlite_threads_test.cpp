// One thread per data source: data sources on separate threads share the
// module's repository, its pools and the module registry. Also run under
// ThreadSanitizer (TOVI_SANITIZE=thread) in CI.
#include "sqlite_fixture.hpp"

#include <atomic>
#include <thread>
#include <vector>

namespace {

class SqliteThreads : public tovi_test::sqlite_fixture {
protected:
    SqliteThreads() { watch_sqlite = false; }
};

// Guards: races in the pool when threads connect and release on one file (run under
// ThreadSanitizer too).
TEST_F(SqliteThreads, ConnectAndReleaseChurnOnOneFile) {
    exec("CREATE TABLE t(a INTEGER)");
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&] {
            try {
                tovi::uurl_t u("/SQLITE", "", "", dir.file("main.db"));
                tovi::udata_source source(u);
                for (int i = 0; i < 300; ++i) {
                    source.get_connection();
                    source.release_connection();
                }
            } catch (...) {
                ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
}

// Guards: rows lost or locks deadlocked with two writers on separate threads.
TEST_F(SqliteThreads, ConcurrentInsertsFromSeparateDataSources) {
    exec("CREATE TABLE t(thread INTEGER, i INTEGER)");
    ds->release_connection();
    constexpr int kThreads = 4;
    constexpr int kRows = 50;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (long t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            try {
                // Each thread opens its own data source (and so loads through
                // the shared registry at the same time as the others).
                tovi::uurl_t u("/SQLITE", "", "", dir.file("main.db"));
                tovi::udata_source source(u);
                tovi::statement st(source, 1);
                long thread = t, i = 0;
                st.parse("INSERT INTO t VALUES(:t, :i)");
                st << thread << i;
                for (i = 0; i < kRows; ++i) {
                    for (tovi::auto_trans tr(*st.trans); tr.pending; tr.pending = false)
                        st.execute();
                }
            } catch (const tovi::exception& e) {
                ADD_FAILURE() << e.get_error_text();
                ++failures;
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), kThreads * kRows);
    EXPECT_EQ(scalar("SELECT COUNT(DISTINCT thread) FROM t"), kThreads);
}

// Guards: a reference count that is not atomic (double free of a pooled connection).
TEST(SmartPtrThreads, CopiesOnTwoThreadsCountExactly) {
    struct counted {
        static void init(int*& p) { p = nullptr; }
        void init(int*& p, int a, int b) { p = new int(a + b); }
        void destroy(int* p) { delete p; }
        void swap(counted&) noexcept {}
    };
    using handle = utils::SmartPtr<int, utils::RefCounted, counted, utils::DisallowConversion,
                                   utils::AssertCheck>;
    handle h(1, 2);
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([h] {
            for (int i = 0; i < 100000; ++i) {
                handle copy(h);
                (void)copy;
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(h.use_count(), 1);
}

}  // namespace
