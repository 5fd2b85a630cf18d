// Date conversions between tm, time_t, OLE Automation dates and text, including
// local time across daylight-saving changes.
#include <tovi/date_conv.hpp>
#include <tovi/exception.hpp>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>

#include "support/seeded_random.hpp"

namespace {

tm make_tm(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return t;
}

// Runs the test body in a named time zone, restoring the previous one after.
class InTimeZone : public ::testing::Test {
protected:
    void use(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) saved = tz, had_tz = true;
    }
    void TearDown() override {
        if (had_tz)
            setenv("TZ", saved.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string saved;
    bool had_tz = false;
};

std::string out_of_range_text(const std::string& text) {
    tm t{};
    try {
        tovi::string2tm(text, t);
    } catch (const std::out_of_range& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST(DateText, SimpleStringForm) {
    EXPECT_EQ(tovi::tm2string(make_tm(2004, 2, 29, 13, 5)), "2004-Feb-29 13:05:00");
    EXPECT_EQ(tovi::tm2string(make_tm(1970, 1, 1)), "1970-Jan-01 00:00:00");
    EXPECT_EQ(tovi::tm2string(make_tm(2900, 12, 31, 23, 59, 59)), "2900-Dec-31 23:59:59");
    EXPECT_THROW(tovi::tm2string(make_tm(1300, 1, 1)), std::out_of_range);
    EXPECT_THROW(tovi::tm2string(make_tm(2001, 2, 29)), std::out_of_range);
    EXPECT_THROW(tovi::tm2string(make_tm(2001, 13, 1)), std::out_of_range);
}

TEST(DateText, ParsesNumericAndNamedMonths) {
    tm numeric{}, named{};
    tovi::string2tm("2004-02-29 13:05:00", numeric);
    tovi::string2tm("2004-Feb-29 13:05:00", named);
    for (const tm& t : {numeric, named}) {
        EXPECT_EQ(t.tm_year, 104);
        EXPECT_EQ(t.tm_mon, 1);
        EXPECT_EQ(t.tm_mday, 29);
        EXPECT_EQ(t.tm_hour, 13);
        EXPECT_EQ(t.tm_min, 5);
        EXPECT_EQ(t.tm_wday, 0);  // a Sunday
        EXPECT_EQ(t.tm_yday, 59);
        EXPECT_EQ(t.tm_isdst, -1);
    }
}

TEST(DateText, UnparsableTextIsAnOutOfRangeError) {
    EXPECT_EQ(out_of_range_text("2004-02-30 00:00:00"), "Day of month is not valid for year");
    EXPECT_EQ(out_of_range_text("2004-13-01 00:00:00"), "Month number is out of range 1..12");
    EXPECT_NE(out_of_range_text("garbage"), "(no error)");
    EXPECT_NE(out_of_range_text(""), "(no error)");
    EXPECT_NE(out_of_range_text("2004-02-29 xx"), "(no error)");
    EXPECT_NE(out_of_range_text("99999999999-01-01 00:00:00"), "(no error)");
    EXPECT_NE(out_of_range_text(std::string("2004\0-01-01", 11)), "(no error)");
    // Found by fuzzing: five digits overflowed an integer inside the parser.
    EXPECT_NE(out_of_range_text(std::string("Q2\x02\0\0\0 02021", 12)), "(no error)");
    EXPECT_NE(out_of_range_text("12004-01-01 00:00:00"), "(no error)");
    EXPECT_EQ(out_of_range_text("2004-01-01 00:00:00.123456"), "(no error)");  // a fraction may
}

TEST(OleDate, ConvertsTmBothWays) {
    EXPECT_EQ(tovi::tm2double_time(make_tm(1900, 1, 1)), 2.0);
    tm t = make_tm(2000, 1, 1);
    t.tm_wday = 42;  // kept: only the date and time fields are written
    tovi::double_time2tm(0.0, t);
    EXPECT_EQ(t.tm_year, -1);
    EXPECT_EQ(t.tm_mon, 11);
    EXPECT_EQ(t.tm_mday, 30);
    EXPECT_EQ(t.tm_hour, 0);
    EXPECT_EQ(t.tm_wday, 42);

    std::mt19937 rng = tovi_test::seeded_engine();
    for (int i = 0; i < 5000; ++i) {
        const tm in =
            make_tm(100 + static_cast<int>(rng() % 9900), 1 + static_cast<int>(rng() % 12),
                    1 + static_cast<int>(rng() % 28), static_cast<int>(rng() % 24),
                    static_cast<int>(rng() % 60), static_cast<int>(rng() % 60));
        tm out{};
        tovi::double_time2tm(tovi::tm2double_time(in), out);
        ASSERT_EQ(out.tm_year, in.tm_year);
        ASSERT_EQ(out.tm_mon, in.tm_mon);
        ASSERT_EQ(out.tm_mday, in.tm_mday);
        ASSERT_EQ(out.tm_hour, in.tm_hour);
        ASSERT_EQ(out.tm_min, in.tm_min);
        ASSERT_EQ(out.tm_sec, in.tm_sec);
    }
}

TEST(OleDate, OutOfRangeFailsAsBadValueConversion) {
    tm t{};
    EXPECT_THROW(tovi::double_time2tm(1e9, t), tovi::bad_value_conversion);
    EXPECT_THROW(tovi::tm2double_time(make_tm(99, 1, 1)), tovi::bad_value_conversion);
    EXPECT_THROW(tovi::tm2double_time(make_tm(2001, 2, 29)), tovi::bad_value_conversion);
    tm negative = make_tm(2000, 1, 1);
    negative.tm_hour = -1;
    EXPECT_THROW(tovi::tm2double_time(negative), tovi::bad_value_conversion);
    EXPECT_THROW(tovi::double_time2time_t(-1e7), tovi::bad_value_conversion);
    try {
        tovi::double_time2tm(-1e9, t);
    } catch (const tovi::exception& e) {
        EXPECT_EQ(e.get_error_text(), "Value cannot be converted.\n");
    }
}

TEST_F(InTimeZone, TimeTAndTmAreInverseAcrossDaylightSaving) {
    use("Europe/Berlin");
    // 2021-03-28 01:00 UTC clocks went forward, 2021-10-31 01:00 UTC back.
    for (long start : {1616889600L, 1635638400L}) {
        for (long t = start - 4 * 3600; t <= start + 6 * 3600; t += 15 * 60) {
            tm local{};
            tovi::time_t2tm(t, local);
            ASSERT_EQ(tovi::tm2time_t(local), t) << t;
        }
    }
    tm summer{}, winter{};
    tovi::time_t2tm(1625097600L, summer);  // 2021-07-01 00:00 UTC
    tovi::time_t2tm(1609459200L, winter);  // 2021-01-01 00:00 UTC
    EXPECT_EQ(summer.tm_hour, 2);
    EXPECT_EQ(summer.tm_isdst, 1);
    EXPECT_EQ(winter.tm_hour, 1);
    EXPECT_EQ(winter.tm_isdst, 0);
}

TEST_F(InTimeZone, OleDateAndTimeTAcrossDaylightSaving) {
    use("America/New_York");
    // Each quarter hour of both 2021 change days, seen as local wall-clock time.
    for (long start : {1615680000L, 1636243200L}) {  // 2021-03-14 and 2021-11-07, 00:00 UTC
        for (long t = start; t < start + 24 * 3600; t += 15 * 60) {
            const double ole = tovi::time_t2double_time(t);
            const long back = tovi::double_time2time_t(ole);
            tm local{};
            tovi::time_t2tm(t, local);
            tm local_back{};
            tovi::time_t2tm(back, local_back);
            // In the repeated autumn hour the wall clock names two instants.
            ASSERT_TRUE(back == t || std::labs(back - t) == 3600) << t;
            ASSERT_EQ(local_back.tm_hour, local.tm_hour);
            ASSERT_EQ(local_back.tm_min, local.tm_min);
        }
    }
    // 2021-03-14 02:30 does not exist in New York; the C library moves it on.
    tm gap = make_tm(2021, 3, 14, 2, 30);
    const long when = tovi::tm2time_t(gap);
    tm normalised{};
    tovi::time_t2tm(when, normalised);
    EXPECT_EQ(normalised.tm_hour, 3);
}

TEST_F(InTimeZone, WholeRangeOfTimeT) {
    use("UTC");
    EXPECT_EQ(tovi::tm2time_t(make_tm(1970, 1, 1)), 0);
    EXPECT_EQ(tovi::tm2time_t(make_tm(2100, 1, 1)), 4102444800L);  // past 2038
    EXPECT_EQ(tovi::tm2time_t(make_tm(1900, 1, 1)), -2208988800L);
    EXPECT_EQ(tovi::double_time2time_t(25569.0), 0);  // 1970-01-01
    EXPECT_EQ(tovi::time_t2double_time(86400 / 2), 25569.5);
    std::mt19937 rng = tovi_test::seeded_engine();
    for (int i = 0; i < 2000; ++i) {
        const long t = static_cast<long>(rng() % 4000000000u) - 1000000000L;
        ASSERT_EQ(tovi::double_time2time_t(tovi::time_t2double_time(t)), t);
    }
}

TEST_F(InTimeZone, OneSecondBeforeTheEpochIsADate) {
    use("UTC");
    EXPECT_EQ(tovi::tm2time_t(make_tm(1969, 12, 31, 23, 59, 59)), -1);
    tm back{};
    tovi::time_t2tm(-1, back);
    EXPECT_EQ(tovi::tm2string(back), "1969-Dec-31 23:59:59");
}

// Extreme fields and digit runs are refused before the date library computes
// with them (UndefinedBehaviorSanitizer saw its integers overflow).
TEST(DateText, ExtremeFieldsAreRangeErrors) {
    const int extremes[] = {INT_MIN, -1, INT_MAX};
    for (int v : extremes) {
        for (int field = 0; field < 6; ++field) {
            tm t = make_tm(2000, 1, 1);
            int* fields[] = {&t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour, &t.tm_min, &t.tm_sec};
            *fields[field] = v;
            if (field == 0 && v == -1) continue;  // the year 1899 is fine
            EXPECT_THROW(tovi::tm2string(t), std::out_of_range) << field << " " << v;
        }
    }
    EXPECT_THROW(tovi::tm2string(make_tm(1399, 12, 31)), std::out_of_range);
    EXPECT_EQ(tovi::tm2string(make_tm(1400, 1, 1)), "1400-Jan-01 00:00:00");
    EXPECT_EQ(tovi::tm2string(make_tm(9999, 12, 31, 23, 59, 59)), "9999-Dec-31 23:59:59");
    for (const char* text : {"2004-99999999999-01 00:00:00", "2004-01-99999999999 00:00:00",
                             "2004-01-01 99999999999:00:00", "2004-01-01 00:99999999999:00",
                             "2004-01-01 00:00:99999999999", "2004-01-01 2147483647:00:00"})
        EXPECT_NE(out_of_range_text(text), "(no error)") << text;
    tm t{};
    tovi::string2tm("2004-01-01 00:00:01.123456789012", t);  // a long fraction is fine
    EXPECT_EQ(t.tm_sec, 1);
}
