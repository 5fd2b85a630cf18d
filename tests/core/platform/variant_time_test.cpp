// OLE Automation dates: the 30 December 1899 epoch, negative dates, the range
// limits and rounding to the second.
#include <tovi/oleauto.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "support/seeded_random.hpp"

namespace {

SYSTEMTIME make(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    return st;
}

double to_date(SYSTEMTIME st) {
    double d = NAN;
    EXPECT_TRUE(SystemTimeToVariantTime(&st, &d));
    return d;
}

SYSTEMTIME from_date(double d) {
    SYSTEMTIME st{};
    EXPECT_TRUE(VariantTimeToSystemTime(d, &st)) << d;
    return st;
}

bool same(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
           a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

}  // namespace

TEST(VariantTime, EpochAndKnownDates) {
    EXPECT_EQ(to_date(make(1899, 12, 30)), 0.0);
    EXPECT_EQ(to_date(make(1900, 1, 1)), 2.0);
    EXPECT_EQ(to_date(make(1899, 12, 30, 6)), 0.25);
    EXPECT_EQ(to_date(make(1899, 12, 29, 6)), -1.25);  // the fraction counts forward
    EXPECT_EQ(to_date(make(2000, 1, 1)), 36526.0);
    EXPECT_EQ(to_date(make(100, 1, 1)), -657434.0);
    EXPECT_EQ(to_date(make(9999, 12, 31)), 2958465.0);

    SYSTEMTIME st = from_date(-1.25);
    EXPECT_TRUE(same(st, make(1899, 12, 29, 6)));
    EXPECT_TRUE(same(from_date(-0.5), make(1899, 12, 30, 12)));
    EXPECT_EQ(from_date(36526.0).wDayOfWeek, 6);  // a Saturday
    EXPECT_EQ(from_date(0.0).wDayOfWeek, 6);
    EXPECT_EQ(from_date(-1.0).wDayOfWeek, 5);
}

TEST(VariantTime, RoundsToTheNearestSecond) {
    EXPECT_TRUE(same(from_date(0.4 / 86400), make(1899, 12, 30)));
    EXPECT_TRUE(same(from_date(0.6 / 86400), make(1899, 12, 30, 0, 0, 1)));
    EXPECT_TRUE(same(from_date(1.0 - 0.2 / 86400), make(1899, 12, 31)));  // to next midnight
    EXPECT_TRUE(same(from_date(-1.0 - (1.0 - 0.2 / 86400)), make(1899, 12, 30)));
    EXPECT_EQ(from_date(0.75).wMilliseconds, 0);
}

TEST(VariantTime, RangeIsYears100To9999) {
    SYSTEMTIME st{};
    EXPECT_TRUE(VariantTimeToSystemTime(-657434.0, &st));
    EXPECT_TRUE(VariantTimeToSystemTime(-657434.99, &st));
    EXPECT_EQ(st.wYear, 100);
    EXPECT_FALSE(VariantTimeToSystemTime(-657435.0, &st));
    EXPECT_TRUE(VariantTimeToSystemTime(2958465.999, &st));
    EXPECT_EQ(st.wYear, 9999);
    EXPECT_FALSE(VariantTimeToSystemTime(2958465.99999999, &st));  // rounds into 10000
    EXPECT_FALSE(VariantTimeToSystemTime(2958466.0, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(NAN, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(INFINITY, &st));
    EXPECT_FALSE(VariantTimeToSystemTime(0.0, nullptr));

    double d = 0;
    SYSTEMTIME bad[] = {make(99, 12, 31),        make(10000, 1, 1),         make(2001, 2, 29),
                        make(2000, 13, 1),       make(2000, 1, 0),          make(2000, 1, 1, 24),
                        make(2000, 1, 1, 0, 60), make(2000, 1, 1, 0, 0, 60)};
    for (SYSTEMTIME& s : bad) EXPECT_FALSE(SystemTimeToVariantTime(&s, &d)) << s.wYear;
    SYSTEMTIME leap = make(2000, 2, 29);
    EXPECT_TRUE(SystemTimeToVariantTime(&leap, &d));
}

TEST(VariantTime, RoundTripsOverTheWholeRange) {
    std::mt19937 rng = tovi_test::seeded_engine();
    for (int i = 0; i < 20000; ++i) {
        const int year = 100 + static_cast<int>(rng() % 9900);
        const int month = 1 + static_cast<int>(rng() % 12);
        const int day = 1 + static_cast<int>(rng() % 28);
        SYSTEMTIME st = make(year, month, day, static_cast<int>(rng() % 24),
                             static_cast<int>(rng() % 60), static_cast<int>(rng() % 60));
        ASSERT_TRUE(same(from_date(to_date(st)), st)) << year << "-" << month << "-" << day;
    }
    // Every day of a span crossing the epoch keeps its order and its fields.
    double previous = -1e9;
    for (int day = -800; day <= 800; ++day) {
        SYSTEMTIME st = from_date(static_cast<double>(day) + (day < 0 ? -0.5 : 0.5));
        const double back = to_date(st);
        ASSERT_GT(back, previous);
        previous = back;
    }
}
