// The statement cache on its own: reuse order, eviction, purge and statistics.
#include <gtest/gtest.h>

#include <memory>

#include <tovi/driver/statement_cache.hpp>

namespace {

int alive = 0;

class fake_statement : public tovi::impl::string_stmt {
public:
    explicit fake_statement(const std::string& sql) : string_stmt(nullptr, 1) {
        key = sql;
        ++alive;
    }
    ~fake_statement() override { --alive; }
    void prepare(const std::string&) override {}
    int control(int) override { return 0; }
    void execute() override {}
    void reset() override {}
    void flush() override {}
    bool next() override { return false; }
    tovi::impl::value_factory& get_bind() override { return factory; }
    tovi::impl::value_factory& get_define() override { return factory; }
    tovi::impl::value_factory factory{tovi::in};
};

class StatementCache : public ::testing::Test {
protected:
    void SetUp() override { alive = 0; }
    tovi::impl::string_stmt* acquire(const std::string& sql) {
        return cache.acquire(
            sql, [](const std::string& text) { return new fake_statement(text); },
            [this](tovi::impl::string_stmt*) { ++adopted; });
    }
    tovi::driver::statement_cache cache{50};
    int adopted = 0;
};

}  // namespace

// Guards: a text prepared again although a released statement of it waits in the cache.
TEST_F(StatementCache, ReusesTheLastReleasedOfAText) {
    auto* a = acquire("select 1");
    auto* b = acquire("select 1");  // not released: a second one
    EXPECT_NE(a, b);
    EXPECT_EQ(cache.allocated(), 2);
    cache.release(a);
    cache.release(b);
    EXPECT_EQ(cache.free_count("select 1"), 2u);
    EXPECT_EQ(acquire("select 1"), b);
    EXPECT_EQ(adopted, 1);
    EXPECT_EQ(cache.statistics(),
              "[Statement cache statistic - Statements in use: 1; Statements in cache: 1; "
              "SQL in cache: 1; Allocated query number: 2]");
    cache.release(b);  // what is in use is the owner's to hand back
}

// Guards: the cache growing without bound, or evicting another text than the oldest.
TEST_F(StatementCache, FiftyFirstTextEvictsTheOldest) {
    for (int i = 0; i < 51; ++i) cache.release(acquire("q" + std::to_string(i)));
    EXPECT_EQ(cache.cached(), 50);
    EXPECT_EQ(cache.allocated(), 50);
    EXPECT_EQ(alive, 50);
    EXPECT_EQ(cache.free_count("q0"), 0u);  // the least recently released went
    EXPECT_EQ(cache.free_count("q1"), 1u);
    EXPECT_EQ(cache.sql_count(), 51u);  // its entry stays, empty

    // Releasing q1 again makes q2 the oldest.
    cache.release(acquire("q1"));
    cache.release(acquire("q0"));
    EXPECT_EQ(cache.free_count("q2"), 0u);
    EXPECT_EQ(cache.free_count("q1"), 1u);

    // After a purge the count starts again: 51 new texts keep 50, the first evicted.
    cache.purge();
    for (int i = 0; i < 51; ++i) cache.release(acquire("n" + std::to_string(i)));
    EXPECT_EQ(cache.cached(), 50);
    EXPECT_EQ(alive, 50);
    EXPECT_EQ(cache.free_count("n0"), 0u);
    EXPECT_EQ(cache.free_count("n1"), 1u);
    EXPECT_EQ(cache.free_count("n50"), 1u);
}

// Guards: the cache's bookkeeping drifting when one text fills it.
TEST_F(StatementCache, OneTextFiftyOneTimesIsDroppedWhole) {
    std::vector<tovi::impl::string_stmt*> held;
    for (int i = 0; i < 51; ++i) held.push_back(acquire("same"));
    for (auto* s : held) cache.release(s);
    EXPECT_EQ(cache.cached(), 0);
    EXPECT_EQ(cache.allocated(), 0);
    EXPECT_EQ(alive, 0);
}

// Guards: a purge (commit, DDL) finalizing a statement the application still holds.
TEST_F(StatementCache, PurgeKeepsWhatIsInUse) {
    auto* used = acquire("in use");
    cache.release(acquire("free"));
    cache.purge();
    EXPECT_EQ(cache.cached(), 0);
    EXPECT_EQ(cache.sql_count(), 0u);
    EXPECT_EQ(alive, 1);
    cache.release(used);  // cached again on release
    EXPECT_EQ(cache.free_count("in use"), 1u);
    EXPECT_EQ(cache.statistics(),
              "[Statement cache statistic - Statements in use: 0; Statements in cache: 1; "
              "SQL in cache: 1; Allocated query number: 1]");
}

// Guards: eviction taking a text whose statement is in use.
TEST_F(StatementCache, TextInUseIsNoCandidateForEviction) {
    auto* a = acquire("a");
    cache.release(a);
    EXPECT_EQ(acquire("a"), a);  // its only free statement is in use again
    for (int i = 0; i <= 50; ++i) cache.release(acquire("q" + std::to_string(i)));
    EXPECT_EQ(cache.cached(), 50);
    EXPECT_EQ(cache.free_count("q0"), 0u);  // the oldest free text went, not "a"
    EXPECT_EQ(cache.free_count("q1"), 1u);
    cache.release(a);
    EXPECT_EQ(cache.free_count("a"), 1u);
    EXPECT_EQ(cache.free_count("q1"), 0u);
    EXPECT_EQ(cache.cached(), 50);
}

// Guards: memory growing without bound with texts of literals.
// An application that writes literals into its texts, in a transaction that is
// never purged: the bookkeeping of texts stays bounded (the soak run found it
// growing with every text ever released).
TEST_F(StatementCache, TextsWithoutStatementsAreForgottenPastABound) {
    for (int i = 0; i < 5000; ++i)
        cache.release(acquire("SELECT v FROM s WHERE k = " + std::to_string(i)));
    EXPECT_EQ(cache.cached(), 50);
    EXPECT_EQ(alive, 50);
    EXPECT_LE(cache.sql_count(), 20u * 50u + 1u);
    EXPECT_GE(cache.sql_count(), 50u);
    // The latest texts are still there to be reused.
    EXPECT_EQ(cache.free_count("SELECT v FROM s WHERE k = 4999"), 1u);
    cache.purge();
    EXPECT_EQ(alive, 0);
}
