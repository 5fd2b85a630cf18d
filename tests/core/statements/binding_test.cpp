// The binding contract as a driver sees it: positions, both directions, NULL
// rules, unbinding, and disposal from either side ending in exactly one free.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>

#include "support/test_driver.hpp"

using tovi_test::cell;
using tovi_test::position_of;
using tovi_test::test_factory;
using tovi_test::test_record;

TEST(BaseFactory, RefusesEveryKindAndWalksNothing) {
    tovi::impl::value_factory base(tovi::in);
    bool b = false;
    long l = 0;
    double d = 0;
    std::string s;
    tm t{};
    _variant_t v;
    auto refused = [](auto&& call) {
        try {
            call();
        } catch (const tovi::bad_operation& e) {
            return e.get_error_text() == "Invalid data binding operation.\n" &&
                   e.get_entry(0).code == 0;
        }
        return false;
    };
    EXPECT_TRUE(refused([&] { base.make_bool_impl(b, nullptr); }));
    EXPECT_TRUE(refused([&] { base.make_long_impl(l, nullptr); }));
    EXPECT_TRUE(refused([&] { base.make_long_vf_impl(l, nullptr); }));
    EXPECT_TRUE(refused([&] { base.make_double_impl(d, nullptr); }));
    EXPECT_TRUE(refused([&] { base.make_string_impl(s, nullptr); }));
    EXPECT_TRUE(refused([&] { base.make_date_time_impl(t, nullptr); }));
    EXPECT_TRUE(refused([&] { base.make_clob_impl(nullptr); }));
    EXPECT_TRUE(refused([&] { base.make_blob_impl(nullptr); }));
    EXPECT_TRUE(refused([&] { base.make_variant_impl(v, nullptr); }));
    EXPECT_TRUE(refused([&] { base.free_long_impl(nullptr); }));
    base.get_value();
    base.set_value();
    base.setup();
    EXPECT_EQ(base.as_string(), "");

    tovi::long_t value(1);
    EXPECT_THROW(value.make_impl(base), tovi::bad_operation);
    EXPECT_EQ(value.binding_count(), 0u);  // nothing recorded on failure
}

TEST(Binding, PositionsCountFromZeroInBindingOrder) {
    test_record r;
    long a = 1;
    std::string s = "abc";
    tovi::long_t typed(7);
    tovi::string_t empty("", 10);
    r << a << s << typed << empty;
    ASSERT_EQ(r.bind.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(position_of(r.bind.get_bindings()[i]), long(i));
    EXPECT_EQ(r.bind.as_string(), "1, 'abc', 7, ''");  // as error contexts print them
    EXPECT_FALSE(r.bind.changed());  // an input factory's bindings need no re-describe

    long x = 0;
    tovi::double_t y;
    r >> x >> y;
    EXPECT_EQ(position_of(r.define.get_bindings()[1]), 1);
    EXPECT_TRUE(r.define.changed());
}

TEST(Binding, ExecuteReadsParametersAfresh) {
    test_record r;
    long a = 1;
    tovi::string_t s("x", 5);
    tovi::long_t null_value;  // NULL goes out as SQL NULL
    r << a << s << null_value;
    r.execute();
    EXPECT_EQ(r.bind.sent[0].text, "1");
    EXPECT_EQ(r.bind.sent[1].text, "x");
    EXPECT_TRUE(r.bind.sent[2].null);
    a = 2;
    s = std::string("y");
    null_value = 3L;
    r.execute();
    EXPECT_EQ(r.bind.sent[0].text, "2");
    EXPECT_EQ(r.bind.sent[1].text, "y");
    EXPECT_EQ(r.bind.sent[2].text, "3");
}

TEST(Binding, FetchFollowsTheNullRules) {
    test_record r;
    long plain = 5;
    tovi::long_t typed(9);
    _variant_t var(4L);
    r >> typed >> var;
    r.rows = {{cell::of("42"), cell::of("x")}, {cell::sql_null(), cell::sql_null()}};
    r.rows[0][1].variant = _variant_t(11L);
    ASSERT_TRUE(r.next());
    EXPECT_EQ(typed.value, 42);
    EXPECT_FALSE(typed.is_null);
    EXPECT_EQ(long(var), 11);
    ASSERT_TRUE(r.next());
    EXPECT_TRUE(typed.is_null);
    EXPECT_EQ(typed.value, 42);  // the number is left alone
    EXPECT_EQ(var.vt, VT_EMPTY);
    EXPECT_FALSE(r.next());
    EXPECT_TRUE(typed.is_null);  // no row: nothing changes

    test_record q;
    q >> plain;
    q.rows = {{cell::sql_null()}};
    EXPECT_THROW(q.next(), tovi::value_is_null);
    EXPECT_EQ(plain, 5);
}

TEST(Binding, InputFactoryNeverWritesBack) {
    test_record r;
    long a = 1;
    tovi::long_t typed(2);
    r << a << typed;
    r.bind.row = {cell::of("100"), cell::sql_null()};
    r.bind.set_value();
    EXPECT_EQ(a, 1);
    EXPECT_EQ(typed.value, 2);
    EXPECT_FALSE(typed.is_null);
}

TEST(Binding, UnbindKeepsOrderAndPositionsUntilSynced) {
    test_factory f(tovi::in);
    long a = 1, b = 2, c = 3;
    tovi::impl::value_t* first = f.make_long_impl(a, nullptr);
    tovi::impl::value_t* middle = f.make_long_impl(b, nullptr);
    tovi::impl::value_t* last = f.make_long_impl(c, nullptr);
    long stranger_data = 0;
    test_factory other(tovi::in);
    tovi::impl::value_t* stranger = other.make_long_impl(stranger_data, nullptr);
    f.unbindValue(stranger);
    EXPECT_EQ(f.size(), 3u);
    f.unbindValue(middle);
    ASSERT_EQ(f.get_bindings(), (std::vector<tovi::impl::value_t*>{first, last}));
    EXPECT_EQ(position_of(last), 2);
    f.sync_position();
    EXPECT_EQ(position_of(last), 1);
    middle->destroy();  // no owner: straight to free
    f.destroy_all_bindings();
    other.destroy_all_bindings();
    EXPECT_EQ(f.freed["long"], 3);
    EXPECT_EQ(other.freed["long"], 1);
}

TEST(Disposal, StatementFirstFreesEachBindingOnceAndOwnersForgetThem) {
    auto r = std::make_unique<test_record>();
    tovi::long_t a(1);
    tovi::gen::long_t b(2);
    tovi::string_t s("x", 1);
    long plain = 0;
    *r << a << b << s << plain;
    EXPECT_EQ(r->bind.made["long_vf"], 1);
    EXPECT_EQ(a.binding_count(), 1u);
    r->bind.destroy_all_bindings();
    EXPECT_EQ(r->bind.total_freed(), 4);
    EXPECT_EQ(r->bind.size(), 0u);
    EXPECT_FALSE(r->bind.changed());
    EXPECT_EQ(a.binding_count(), 0u);
    EXPECT_EQ(b.binding_count(), 0u);
    r.reset();  // nothing left to free
}

TEST(Disposal, ValueFirstUnbindsThenFreesOnce) {
    test_record r;
    long before = 1, after = 2;
    r << before;
    {
        tovi::long_t doomed(5);
        tovi::clob_t text;
        r << doomed << text;
        text.set_entire("hello");
        ASSERT_EQ(r.bind.size(), 3u);
    }
    EXPECT_EQ(r.bind.freed["long"], 1);
    EXPECT_EQ(r.bind.freed["clob"], 1);
    r << after;
    ASSERT_EQ(r.bind.size(), 2u);  // the dead value's bindings are gone from the list
    r.execute();                   // and never read again
    EXPECT_EQ(r.bind.as_string(), "1, 2");
}

TEST(Disposal, ValueBoundToTwoStatementsAndTwiceToOne) {
    auto one = std::make_unique<test_record>();
    auto two = std::make_unique<test_record>();
    {
        tovi::double_t v(1.5);
        *one << v;
        *two << v;
        EXPECT_EQ(v.binding_count(), 2u);
        // Again to the same statement: refused, the earlier binding stays and
        // the new one is freed at once.
        EXPECT_THROW(*one << v, tovi::bad_operation);
        EXPECT_EQ(one->bind.freed["double"], 1);
        EXPECT_EQ(one->bind.size(), 1u);
        EXPECT_EQ(v.binding_count(), 2u);
        one->bind.destroy_all_bindings();
        EXPECT_EQ(v.binding_count(), 1u);
    }
    EXPECT_EQ(one->bind.freed["double"], 2);
    EXPECT_EQ(two->bind.freed["double"], 1);
    EXPECT_EQ(two->bind.size(), 0u);

    tovi::clob_t lob;
    *one << lob;
    *two << lob;  // a large object keeps one binding: the first goes
    EXPECT_EQ(one->bind.freed["clob"], 1);
    EXPECT_EQ(one->bind.size(), 0u);
    two.reset();
    EXPECT_FALSE(lob.is_bound());
}

TEST(Disposal, CopiesAreUnbound) {
    test_record r;
    tovi::string_t original("abc", 10);
    r << original;
    tovi::string_t copy(original);
    EXPECT_EQ(copy.binding_count(), 0u);
    EXPECT_EQ(copy.value, "abc");
    EXPECT_EQ(copy.max_length, 10);
    copy = original;  // assignment never copies bindings either
    EXPECT_EQ(copy.binding_count(), 0u);
    EXPECT_EQ(original.binding_count(), 1u);
}

TEST(LargeObjectBinding, PortionsAndDefaults) {
    test_record r;
    tovi::blob_t blob;
    EXPECT_THROW(blob.set_entire("x"), tovi::bad_operation);  // not bound yet
    r << blob;
    EXPECT_THROW(blob.get_length(), tovi::value_is_null);
    EXPECT_THROW(blob.get_entire(), tovi::value_is_null);
    blob.append_portion("ab");
    blob.append_portion(std::string("\0c", 2));
    EXPECT_FALSE(blob.is_null);
    EXPECT_EQ(blob.get_length(), 4u);
    blob.set_portion(1, "XY");
    EXPECT_EQ(blob.get_value(), "aXYc");
    EXPECT_EQ(blob.get_portion(1, 2), "XY");
    std::string buffer(3, '.');
    EXPECT_EQ(blob.get_portion(2, buffer), 2u);
    EXPECT_EQ(buffer, "Yc.");
    EXPECT_EQ(std::string(blob), "aXYc");

    struct bare_lob : tovi::impl::lob_t {
        explicit bare_lob(tovi::impl::value_factory& f) : lob_t(f, nullptr) {}
        ~bare_lob() override = default;
        void get_value() override {}
        void set_value() override {}
        void sync_position() override {}
        void release() override {}
    };
    tovi::impl::value_factory f(tovi::in);
    bare_lob bare(f);
    EXPECT_THROW(bare.get_length(), tovi::not_implemented);
    EXPECT_THROW(bare.set_portion(0, "x"), tovi::not_implemented);
    EXPECT_THROW(static_cast<const tovi::impl::lob_t&>(bare).get_value(), tovi::not_implemented);
    EXPECT_THROW(static_cast<tovi::impl::lob_t&>(bare).set_value(std::string("x")),
                 tovi::not_implemented);
}

TEST(Recordsets, BaseBehaviour) {
    struct plain_cursor : tovi::cursor_t {
        tovi::impl::value_factory& get_bind() override { return f; }
        tovi::impl::value_factory& get_define() override { return f; }
        tovi::impl::value_factory f{tovi::out};
    } cursor;
    EXPECT_FALSE(cursor.next());
    EXPECT_TRUE(cursor.is_null);
    cursor.make_impl(cursor.f);  // a cursor is not bound through a factory
    EXPECT_EQ(cursor.f.size(), 0u);

    struct multi : tovi::multiple_recordset_t {
        tovi::impl::value_factory& get_bind() override { return f; }
        tovi::impl::value_factory& get_define() override { return f; }
        bool next() override { return false; }
        tovi::impl::value_factory f{tovi::out};
    } m;
    EXPECT_FALSE(m.next_recordset());
}
