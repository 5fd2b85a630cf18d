// Reading rows whatever the order of the calls: columns bound after execution,
// bindings that go between executions and fetches, next() before any execution,
// large text into a plain string.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>

#include "conformance_fixture.hpp"

using tovi_conformance::Conformance;
using tovi_conformance::driver_case;

TEST_P(Conformance, ColumnsBoundAfterExecutionReadTheRow) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE late(id " + c.integer_type + ", t " + c.text_type + ")");
    exec("INSERT INTO late VALUES(1, 'one')");
    exec("INSERT INTO late VALUES(2, 'two')");
    tovi::statement sel(*ds, 1);
    sel.parse("SELECT id, t FROM late ORDER BY id");
    sel.execute();
    long id = 0;
    sel >> id;  // after execute(): the first row still reads into it
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(id, 1);
    std::string t;
    sel >> t;  // a second column, between two fetches
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(id, 2);
    EXPECT_EQ(t, "two");
    EXPECT_FALSE(sel.next());

    // Executed again with one more column bound between the two executions.
    tovi::statement again(*ds, 1);
    again.parse("SELECT id, t FROM late WHERE id = 1");
    long only = 0;
    again >> only;
    again.execute();
    ASSERT_TRUE(again.next());
    std::string text = "unread";
    again >> text;
    again.execute();
    ASSERT_TRUE(again.next());
    EXPECT_EQ(only, 1);
    EXPECT_EQ(text, "one");
}

// A binding that goes (its value destroyed) is never used again: a parameter
// replaced between two executions sends the new value, and a column dropped
// between two fetches is not written (the sanitizer build sees any use of it).
TEST_P(Conformance, ABindingThatGoesIsNeverUsedAgain) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE two(a " + c.integer_type + ", b " + c.integer_type + ")");
    tovi::statement again(*ds, 1);
    again.parse("INSERT INTO two VALUES(:a, :b)");
    long first = 1;
    auto second = std::make_unique<tovi::long_t>(2);
    again << first << *second;
    again.execute();
    second.reset();
    long replacement = 3;
    again << replacement;
    first = 4;
    again.execute();

    tovi::statement read(*ds, 1);
    read.parse("SELECT a, b FROM two ORDER BY a");
    long ra = 0;
    auto rb = std::make_unique<tovi::long_t>();
    read >> ra >> *rb;
    read.execute();
    ASSERT_TRUE(read.next());
    EXPECT_EQ(rb->value, 2);
    ASSERT_TRUE(read.next());
    EXPECT_EQ(ra, 4);
    EXPECT_EQ(rb->value, 3);
    read.execute();
    ASSERT_TRUE(read.next());
    rb.reset();  // its column is unbound before the next fetch
    ASSERT_TRUE(read.next());
    EXPECT_EQ(ra, 4);
    EXPECT_FALSE(read.next());
}

TEST_P(Conformance, NextBeforeExecuteReadsNothingOfAnEarlierStatement) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE rows3(id " + c.integer_type + ")");
    const std::string query = "SELECT id FROM rows3 ORDER BY id";
    tovi::transaction tx(*ds);
    for (int i = 1; i <= 3; ++i) {
        tovi::statement ins(tx, 1);
        ins.execute("INSERT INTO rows3 VALUES(" + std::to_string(i) + ")");
    }
    {
        tovi::statement first(tx, 1);
        first.parse(query);
        long id = 0;
        first >> id;
        first.execute();
        ASSERT_TRUE(first.next());  // rows left in its cursor
    }
    tovi::statement second(tx, 1);  // the same text, from the cache
    second.parse(query);
    long id = 0;
    second >> id;
    EXPECT_FALSE(second.next()) << "read id " << id << " of the earlier statement";
    second.execute();
    ASSERT_TRUE(second.next());
    EXPECT_EQ(id, 1);
}

TEST_P(Conformance, LargeTextReadsWholeIntoAString) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE big(c " + (c.clob_type.empty() ? c.text_type : c.clob_type) + ")");
    std::string text(100 * 1024, ' ');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);
    {
        tovi::statement ins(*ds, 1);
        ins.parse("INSERT INTO big VALUES(:c)");
        tovi::clob_t clob;
        ins << clob;
        clob.set_entire(text);
        ins.execute();
    }
    tovi::statement sel(*ds, 1);
    sel.parse("SELECT c FROM big");
    std::string read;
    sel >> read;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(read.size(), text.size());
    EXPECT_TRUE(read == text);
}
