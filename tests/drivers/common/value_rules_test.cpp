// The value rules at their edges: what converts without loss and what is
// refused, what variants bind as, how bound values print.
#include <tovi/driver/value_rules.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using tovi::driver::cell;
using tovi::driver::value_kind;

cell text(const std::string& t) {
    cell c;
    c.kind = value_kind::text;
    c.data = t.data();
    c.size = t.size();
    return c;
}
cell real(double v) {
    cell c;
    c.kind = value_kind::real;
    c.real = v;
    return c;
}

// Guards: a number cut or wrapped on its way into a long (123456.789 read as 123456 on
// one road, 123457 on another).
TEST(ValueRules, WholeNumbersConvertOnlyWhenExactAndInRange) {
    EXPECT_EQ(tovi::driver::whole_number(-9223372036854775808.0), std::numeric_limits<long>::min());
    EXPECT_THROW(tovi::driver::whole_number(9223372036854775808.0), tovi::bad_value_conversion);
    EXPECT_THROW(tovi::driver::whole_number(std::nan("")), tovi::bad_value_conversion);
    EXPECT_THROW(tovi::driver::whole_number(0.5), tovi::bad_value_conversion);
    EXPECT_EQ(tovi::driver::whole_number(-0.0), 0);

    long out = 0;
    const struct {
        const char* text;
        bool converts;
        long value;
    } texts[] = {{"42", true, 42},
                 {" +42  ", true, 42},  // CHAR columns come padded
                 {"-9223372036854775808", true, std::numeric_limits<long>::min()},
                 {"9223372036854775808", false, 0},
                 {"4.0", false, 0},
                 {"1e3", false, 0},
                 {"42abc", false, 0},
                 {"", false, 0},
                 {"+", false, 0},
                 {"+-5", false, 0}};
    for (const auto& t : texts) {
        if (t.converts) {
            tovi::driver::read_into(text(t.text), out);
            EXPECT_EQ(out, t.value) << t.text;
        } else {
            EXPECT_THROW(tovi::driver::read_into(text(t.text), out), tovi::bad_value_conversion)
                << t.text;
        }
    }
    tovi::driver::read_into(real(123457.0), out);
    EXPECT_EQ(out, 123457);
}

// Guards: a double that loses digits when printed into text and read back.
TEST(ValueRules, RealsPrintShortestAndReadBackExactly) {
    EXPECT_EQ(tovi::driver::real_text(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(tovi::driver::real_text(2.5), "2.5");
    EXPECT_EQ(tovi::driver::real_text(1e300), "1e+300");
    double back = 0;
    tovi::driver::read_into(text(tovi::driver::real_text(0.1 + 0.2)), back);
    EXPECT_EQ(back, 0.1 + 0.2);
    EXPECT_THROW(tovi::driver::read_into(text("2,5"), back), tovi::bad_value_conversion);
    std::string out;
    cell flag;
    flag.kind = value_kind::boolean;
    flag.integer = 1;
    tovi::driver::read_into(flag, out);
    EXPECT_EQ(out, "TRUE");
}

// Guards: dates outside 100-9999 silently shifted, and dates read as numbers on one
// road and text on another.
TEST(ValueRules, DatesTravelForYears100To9999) {
    tm t{};
    t.tm_year = 100 - 1900;
    t.tm_mday = 1;
    EXPECT_NO_THROW(tovi::driver::check_date(t));
    EXPECT_EQ(tovi::driver::date_text(t), "0100-01-01 00:00:00");
    t.tm_year -= 1;
    EXPECT_THROW(tovi::driver::check_date(t), tovi::bad_value_conversion);
    t.tm_year = 10000 - 1900;
    EXPECT_THROW(tovi::driver::check_date(t), tovi::bad_value_conversion);
}

// Guards: engine-specific texts of reals, dates and booleans reaching the application,
// or text altered.
// Text a driver read in its engine's words, in the words of every road; what does
// not parse stays whole.
TEST(ValueRules, EngineTextIsNormalisedNeverLost) {
    const struct {
        value_kind kind;
        const char* in;
        const char* out;
    } cases[] = {{value_kind::real, "2.500000000000000", "2.5"},
                 {value_kind::real, "abc", "abc"},
                 {value_kind::date_time, "2024-02-29 12:00:00.000", "2024-02-29 12:00:00"},
                 {value_kind::date_time, "2024-02-29 12:00:00.1230", "2024-02-29 12:00:00.123"},
                 {value_kind::date_time, "not a date", "not a date"},
                 {value_kind::boolean, "1", "TRUE"},
                 {value_kind::boolean, "maybe", "maybe"}};
    for (const auto& c : cases) {
        std::string text = c.in;
        tovi::driver::normalise_text(c.kind, text);
        EXPECT_EQ(text, c.out) << c.in;
    }
    cell when;
    when.kind = value_kind::date_time;
    when.date.tm_year = 124;
    when.date.tm_mon = 1;
    when.date.tm_mday = 29;
    when.nanoseconds = 500000000;
    std::string out;
    tovi::driver::read_into(when, out);
    EXPECT_EQ(out, "2024-02-29 00:00:00.5");
}

// Guards: a variant holding a double refused by some drivers and bound by others.
TEST(ValueRules, VariantsBindAsWhatTheyHold) {
    tovi::driver::scalar s;
    _variant_t big;
    big.vt = VT_UI4;
    big.ulVal = 4000000000U;
    tovi::driver::from_variant(big, s);
    EXPECT_EQ(s.kind, value_kind::integer);
    EXPECT_EQ(s.integer, 4000000000L);
    _variant_t flag(true);
    tovi::driver::from_variant(flag, s);
    EXPECT_EQ(s.kind, value_kind::boolean);
    EXPECT_EQ(s.integer, 1);
    tovi::driver::from_variant(_variant_t(2.5), s);
    EXPECT_EQ(s.kind, value_kind::real);
    tovi::driver::from_variant(_variant_t(36952.5, VT_DATE), s);  // 2001-03-02 12:00
    EXPECT_EQ(s.kind, value_kind::date_time);
    EXPECT_EQ(tovi::driver::date_text(s.date), "2001-03-02 12:00:00");
    _variant_t error;
    error.vt = VT_ERROR;
    EXPECT_THROW(tovi::driver::from_variant(error, s), tovi::bad_value_conversion);
}

// Guards: bound values printed into error contexts differently, or not at all, per
// driver.
TEST(ValueRules, BoundValuesPrintAlike) {
    EXPECT_EQ(tovi::driver::printable(7L), "7");
    EXPECT_EQ(tovi::driver::printable(true), "TRUE");
    EXPECT_EQ(tovi::driver::printable(std::string("it's")), "'it's'");
    EXPECT_EQ(tovi::driver::printable(std::string(100, 'x')), "'" + std::string(64, 'x') + "...'");
    EXPECT_EQ(tovi::driver::printable(_variant_t()), "NULL");
    EXPECT_EQ(tovi::driver::printable(_variant_t(2.5)), "2.5");
}

}  // namespace
