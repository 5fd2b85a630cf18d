// Binding through the real SQLite driver where values could go stale, be lost
// or outlive what they are bound to.
#include "sqlite_fixture.hpp"

#include <algorithm>
#include <climits>

namespace {

using SqliteBinding = tovi_test::sqlite_fixture;

// Guards: one value bound twice to one statement corrupting the binding list.
TEST_F(SqliteBinding, ValueBoundTwiceToOneStatementIsRefused) {
    exec("CREATE TABLE t(x INTEGER, y INTEGER)");
    tovi::statement st(*ds, 1);
    st.parse("INSERT INTO t VALUES(:x, :y)");
    tovi::long_t k(7);
    st << k;
    try {
        st << k;
        FAIL() << "a second binding of one value was accepted";
    } catch (const tovi::bad_operation& e) {
        EXPECT_NE(std::string(e.what()).find("already bound"), std::string::npos) << e.what();
    }
    // The first binding still stands: one marker bound, one value short.
    EXPECT_THROW(st.execute(), tovi::bad_operation);
    tovi::long_t y(8);
    st << y;
    st.execute();
    EXPECT_EQ(scalar("SELECT x FROM t WHERE y = 8"), 7);

    // Two values bound to one value's markers in another statement are fine.
    tovi::long_t k2(7);
    tovi::statement q(*ds, 1);
    long n = 0;
    q.parse("SELECT COUNT(*) FROM t WHERE x = :k AND x = :k");
    q << k << k2;
    q >> n;
    q.execute();
    ASSERT_TRUE(q.next());
    EXPECT_EQ(n, 1);
}

// Guards: a reused statement sending an earlier command's values.
// A cached native statement keeps nothing of the values an earlier command bound.
TEST_F(SqliteBinding, CachedStatementStartsWithEveryParameterCleared) {
    exec("CREATE TABLE t(a INTEGER, b INTEGER)");
    {
        tovi::statement st(*ds, 1);
        long a = 1, b = 2;
        st.parse("INSERT INTO t VALUES(:a, :b)");
        st << a << b;
        st.execute();
    }
    tovi::statement st(*ds, 1);
    long a = 3;
    st.parse("INSERT INTO t VALUES(:a, :b)");  // the cached native statement
    st << a;
    EXPECT_THROW(st.execute(), tovi::bad_operation);  // b is not the earlier 2
    tovi::long_t b;
    b.is_null = true;
    st << b;
    st.execute();
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t WHERE a = 3 AND b IS NULL"), 1);
}

// Guards: a failed bind reported without the statement's context.
TEST_F(SqliteBinding, BindingErrorsCarryTheStatementContext) {
    exec("CREATE TABLE t(a INTEGER)");
    tovi::statement st(*ds, 1);
    long a = 1, extra = 2;
    st.parse("INSERT INTO t VALUES(:a)");
    st << a << extra;
    const std::string text = error_of([&] { st.execute(); });
    EXPECT_NE(text.find("Too many input bindings: 2 for 1 parameters."), std::string::npos) << text;
    EXPECT_NE(text.find("[Statement: 'INSERT INTO t VALUES(:a)'][Driver: tovi_sqlite"),
              std::string::npos)
        << text;
}

// Guards: the variables cleared or overwritten when next() finds no more rows.
TEST_F(SqliteBinding, EveryColumnKeepsTheLastRowAfterTheEnd) {
    exec("CREATE TABLE t(n INTEGER, c TEXT, b BLOB)");
    exec("INSERT INTO t VALUES(1, 'first', x'0102')");
    exec("INSERT INTO t VALUES(2, 'second', x'030405')");
    tovi::statement st(*ds, 1);
    long n = 0;
    tovi::clob_t c;
    tovi::blob_t b;
    st.parse("SELECT n, c, b FROM t ORDER BY n");
    st >> n >> c >> b;
    st.execute();
    ASSERT_TRUE(st.next());
    ASSERT_TRUE(st.next());
    EXPECT_FALSE(st.next());
    EXPECT_EQ(n, 2);
    EXPECT_EQ(c.get_entire(), "second");
    EXPECT_EQ(c.get_length(), 6u);
    EXPECT_EQ(c.get_portion(1, 3), "eco");
    EXPECT_EQ(b.get_entire(), std::string("\x03\x04\x05", 3));
}

// Guards: a description's bindings outliving it (use after free).
TEST_F(SqliteBinding, DescribeEndsItsBindingsWhenItGoes) {
    exec("CREATE TABLE t(a INTEGER)");
    tovi::statement st(*ds, 1);
    st.parse("SELECT a FROM t");
    tovi::long_t owned;
    long plain = 0;
    {
        tovi::describe d(*st.get_impl());
        ASSERT_TRUE(d.is_described());
        d >> owned;
        d >> plain;
        EXPECT_EQ(owned.binding_count(), 1u);
    }
    // The description took its bindings with it; the value is free again
    // (under AddressSanitizer a stale binding would be a use after free here).
    EXPECT_EQ(owned.binding_count(), 0u);
}

// Guards: next() before execute() stepping a statement nobody ran.
TEST_F(SqliteBinding, NextBeforeExecuteReturnsNoRow) {
    exec("CREATE TABLE t(a INTEGER)");
    exec("INSERT INTO t VALUES(1)");
    tovi::statement st(*ds, 1);
    long a = 0;
    st.parse("SELECT a FROM t");
    st >> a;
    EXPECT_FALSE(st.next());
    st.execute();
    EXPECT_TRUE(st.next());
    EXPECT_EQ(a, 1);
}

// Guards: an unsigned 32-bit variant sign-extended into a negative integer.
TEST_F(SqliteBinding, UnsignedVariantKeepsAllItsBits) {
    exec("CREATE TABLE t(a INTEGER)");
    tovi::statement st(*ds, 1);
    _variant_t v;
    v.vt = VT_UI4;
    v.ulVal = 4294967295u;
    st.parse("INSERT INTO t VALUES(:a)");
    st << v;
    st.execute();
    EXPECT_EQ(scalar("SELECT a FROM t"), 4294967295L);
}

// Guards: a text's length cut to 32 bits (its tail stored as the value).
// Over 4 GiB of text: the length must not be cut to 32 bits on the way (it would
// store the 5 bytes past 4 GiB). The string's pages are never written: only the
// first few bytes are set, so this costs address space, not memory or time.
TEST_F(SqliteBinding, HugeTextIsRefusedNotCut) {
    exec("CREATE TABLE t(s TEXT)");
    tovi::statement st(*ds, 1);
    std::string huge;
    huge.resize_and_overwrite((std::size_t(1) << 32) + 5, [](char* p, std::size_t n) {
        std::fill_n(p, 16, 'x');
        return n;
    });
    st.parse("INSERT INTO t VALUES(:s)");
    st << huge;
    const std::string text = error_of([&] { st.execute(); });
    EXPECT_NE(text.find("too big"), std::string::npos) << text;
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), 0);
}

}  // namespace
