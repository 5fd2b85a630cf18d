// SmartPtr: shared counts, disposal exactly once by the last handle, failures of
// disposal reported by destructors and thrown by reset().
#include <tovi/exception.hpp>
#include <tovi/smart_ptr.hpp>

#include <gtest/gtest.h>

namespace {

int destroyed = 0;
bool fail_destroy = false;

struct counting_storage {
    static void init(int*& p) { p = nullptr; }
    void init(int*& p, int value, int) { p = new int(value); }
    void destroy(int* p) {
        ++destroyed;
        delete p;
        if (fail_destroy) throw tovi::exception("cannot dispose", 1);
    }
    void swap(counting_storage&) noexcept {}
};

using handle = utils::SmartPtr<int, utils::RefCounted, counting_storage, utils::DisallowConversion,
                               utils::AssertCheck>;

}  // namespace

TEST(SmartPtr, LastHandleDisposesOnce) {
    destroyed = 0;
    fail_destroy = false;
    {
        handle a(7, 0);
        EXPECT_EQ(*a, 7);
        handle b = a;
        EXPECT_EQ(a.use_count(), 2);
        handle c;
        c = b;
        EXPECT_EQ(a.use_count(), 3);
        b.reset();  // not the last: nothing disposed, b empty
        EXPECT_TRUE(b.empty());
        EXPECT_EQ(a.use_count(), 2);
        c.reset();
        EXPECT_EQ(destroyed, 0);
        a = a;  // self-assignment keeps it
        EXPECT_EQ(*a, 7);
    }
    EXPECT_EQ(destroyed, 1);

    handle d(1, 0), e(2, 0);
    d = e;  // d's old pointee goes now
    EXPECT_EQ(destroyed, 2);
    EXPECT_EQ(*d, 2);
}

TEST(SmartPtr, DisposalFailures) {
    destroyed = 0;
    fail_destroy = true;
    handle a(1, 0);
    EXPECT_THROW(a.reset(), tovi::exception);
    EXPECT_TRUE(a.empty());
    { handle quiet(2, 0); }  // a destructor reports and swallows
    EXPECT_EQ(destroyed, 2);
    fail_destroy = false;
}
