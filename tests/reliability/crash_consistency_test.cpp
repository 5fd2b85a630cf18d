// Crash consistency: a process committing numbered batches is killed with SIGKILL
// at random moments, again and again. After each kill the database holds every
// batch whose commit had returned, no batch in part, and checks "ok".
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

#include "support/seeded_random.hpp"
#include "support/temp_dir.hpp"

namespace {

// Starts the child; its standard output comes through `out`.
pid_t start(const std::string& file, int& out) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_ends[1], STDOUT_FILENO);
        close(pipe_ends[0]);
        close(pipe_ends[1]);
        execl(TOVI_TEST_CRASH_CHILD, TOVI_TEST_CRASH_CHILD, file.c_str(), nullptr);
        _exit(127);
    }
    close(pipe_ends[1]);
    out = pipe_ends[0];
    return child;
}

// The batch numbers the child reported as committed.
std::set<long> reported(int out) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(out, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(out);
    std::set<long> batches;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        batches.insert(std::stol(text.substr(start, end - start)));
    return batches;  // a line cut by the kill has no newline: not counted
}

TEST(CrashConsistency, KilledWritersLoseNoCommittedBatchAndLeaveNoneInPart) {
    tovi_test::temp_dir dir;
    const std::string file = dir.file("crash.db");
    std::mt19937 rng = tovi_test::seeded_engine();
    std::uniform_int_distribution<int> delay_us(0, 30000);
    std::set<long> committed;
    const int kills = 200;
    const auto started = std::chrono::steady_clock::now();
    int done = 0;
    for (; done < kills && std::chrono::steady_clock::now() - started < std::chrono::seconds(120);
         ++done) {
        int out = -1;
        const pid_t child = start(file, out);
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delay_us(rng)));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0))
            << "the writer failed on its own (kill " << done << ")";
        const std::set<long> now = reported(out);
        committed.insert(now.begin(), now.end());

        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        std::map<long, long> rows;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT batch, COUNT(*) FROM b GROUP BY batch", -1, &s,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(s) == SQLITE_ROW)
                rows[sqlite3_column_int64(s, 0)] = sqlite3_column_int64(s, 1);
        }
        sqlite3_finalize(s);
        std::string check;
        sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr);
        if (sqlite3_step(s) == SQLITE_ROW)
            check = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        sqlite3_close(db);
        ASSERT_EQ(check, "ok") << "after kill " << done;
        for (const auto& batch : rows)
            ASSERT_EQ(batch.second, 20) << "batch " << batch.first << " is there in part";
        for (long batch : committed)
            ASSERT_EQ(rows.count(batch), 1u) << "committed batch " << batch << " lost";
    }
    EXPECT_GE(done, 50) << "too few kills in the time allowed";
    std::cout << "kills: " << done << ", batches committed: " << committed.size() << "\n";
}

}  // namespace
