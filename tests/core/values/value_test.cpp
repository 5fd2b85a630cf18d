// Value semantics: NULL state, exact-type readers, copies and assignment,
// date_time_t streams, and the text/byte helpers around variants.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

#include "support/test_driver.hpp"

TEST(Values, NewValuesAreNullAndExactReadersSayNull) {
    const tovi::long_t l;
    const tovi::double_t d;
    const tovi::string_t s(10);
    EXPECT_TRUE(l.is_null);
    EXPECT_THROW(static_cast<void>(static_cast<long>(l)), tovi::value_is_null);
    EXPECT_THROW(static_cast<void>(static_cast<double>(d)), tovi::value_is_null);
    EXPECT_THROW(static_cast<void>(static_cast<std::string>(s)), tovi::value_is_null);
    EXPECT_THROW(static_cast<void>(static_cast<_bstr_t>(s)), tovi::value_is_null);

    tovi::long_t five;
    five.set_value(5L);
    EXPECT_FALSE(five.is_null);
    EXPECT_EQ(static_cast<long>(static_cast<const tovi::long_t&>(five)), 5);

    const tovi::date_time_t epoch;
    EXPECT_TRUE(epoch.is_null);
    EXPECT_EQ(epoch.value.tm_year, 70);
    EXPECT_EQ(epoch.value.tm_mon, 0);
    EXPECT_EQ(epoch.value.tm_mday, 1);
    EXPECT_EQ(epoch.value.tm_hour, 0);
    EXPECT_EQ(epoch.value.tm_wday, 4);
}

TEST(Values, SettersAndAssignmentClearNull) {
    tovi::bool_t b;
    b = std::string("maybe");  // unrecognised text: the value stays, not NULL
    EXPECT_FALSE(b.is_null);
    EXPECT_FALSE(b.value);
    tovi::string_t s(10);
    s = 5000000000L;
    EXPECT_EQ(s.value, "5000000000");
    tovi::string_t long_text(10);
    long_text.set_value(std::string(20, 'x'));  // max_length limits nothing here
    EXPECT_EQ(long_text.value.size(), 20u);
    tovi::double_t d;
    d = 0.1 + 0.2;
    EXPECT_EQ(d.value, 0.1 + 0.2);  // its own setter stores exactly
    EXPECT_DOUBLE_EQ(static_cast<double>(static_cast<tovi::value_t&>(d)), 0.3);
    tovi::long_t from_variant;
    from_variant.set_value(_variant_t("12"));
    EXPECT_EQ(from_variant.value, 12);
    from_variant.set_value(_variant_t());
    EXPECT_TRUE(from_variant.is_null);
}

TEST(Values, AssignmentThroughTheBaseCopiesOnlyNullState) {
    tovi::string_t source("abc", 10);
    tovi::string_t target(5);
    static_cast<tovi::value_t&>(target) = static_cast<tovi::value_t&>(source);
    EXPECT_FALSE(target.is_null);
    EXPECT_EQ(target.value, "");
    target = source;
    EXPECT_EQ(target.value, "abc");
    EXPECT_EQ(target.max_length, 10);

    tovi::long_t self(3);
    self = self;
    EXPECT_EQ(self.value, 3);
}

TEST(Values, LargeObjectsReadWhole) {
    tovi_test::test_record r;
    tovi::clob_t text;
    r << text;
    EXPECT_THROW(text.get_length(), tovi::value_is_null);
    text.set_entire("x");
    EXPECT_FALSE(text.is_null);
    EXPECT_EQ(std::string(text), "x");  // a large object's text is its content
    text = std::string("replaced");
    EXPECT_EQ(text.get_entire(), "replaced");
}

TEST(DateTimeStreams, WriteAndRead) {
    std::ostringstream out;
    tovi::date_time_t null_date;
    out << null_date;
    EXPECT_EQ(out.str(), "NULL");

    tm t{};
    tovi::string2tm("2004-02-29 13:05:00", t);
    out.str("");
    out << tovi::date_time_t(t);
    EXPECT_EQ(out.str(), "2004-Feb-29 13:05:00");

    std::istringstream in("2004-Feb-29 13:05:00");
    tovi::date_time_t read;
    in >> read;
    EXPECT_FALSE(read.is_null);
    EXPECT_EQ(read.value.tm_mday, 29);
    EXPECT_EQ(read.value.tm_hour, 13);

    std::istringstream bad("not a date");
    tovi::date_time_t untouched(t);
    try {
        bad >> untouched;
        FAIL();
    } catch (const std::out_of_range& e) {
        // The date library's own text (Boost 1.74: "tm unable to handle not-a-date-time value").
        EXPECT_EQ(std::string(e.what()).rfind("tm unable to handle", 0), 0u);
    }
    EXPECT_EQ(untouched.value.tm_mday, 29);
}

TEST(DateTime, FromTimeT) {
    setenv("TZ", "UTC", 1);
    tzset();
    tovi::date_time_t d(86400L * 366);
    EXPECT_FALSE(d.is_null);
    EXPECT_EQ(d.value.tm_year, 71);
    EXPECT_EQ(d.value.tm_yday, 1);
}

TEST(VariantHelpers, TextThresholdAt512000Bytes) {
    _variant_t v;
    const std::string below(511999, 'a');
    EXPECT_EQ(tovi::set_variant_from_str(v, below), 511999u);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(tovi::variant2string(v), below);

    std::string at(512000, 'b');
    at.replace(0, 4, "\xC3\xA4\xE2\x82");  // multibyte text, one sequence cut short
    EXPECT_EQ(tovi::set_variant_from_str(v, at), 1024000u);
    EXPECT_EQ(v.vt, VT_ARRAY | VT_UI1);
    LONG upper = 0;
    SafeArrayGetUBound(v.parray, 1, &upper);
    EXPECT_EQ(upper + 1, 1024002);
    EXPECT_EQ(tovi::safearray_to_str(v.parray), at);
}

TEST(VariantHelpers, BytesAndTruncation) {
    _variant_t v;
    const std::string bytes("\0\x01\xFFz", 4);
    EXPECT_EQ(tovi::set_variant_from_raw(v, bytes), 4u);
    EXPECT_EQ(tovi::safearray_to_raw(v.parray), bytes);
    char buffer[4] = {'.', '.', '.', '.'};
    EXPECT_THROW(tovi::safearray_to_raw(v.parray, 3, buffer), tovi::value_is_truncated);
    EXPECT_EQ(buffer[0], '.');  // nothing copied
    EXPECT_EQ(tovi::safearray_to_raw(v.parray, 4, buffer), 4u);
    EXPECT_EQ(std::string(buffer, 4), bytes);
    EXPECT_EQ(tovi::set_variant_from_raw(v, std::string()), 0u);
    EXPECT_EQ(tovi::safearray_to_raw(v.parray), "");

    SAFEARRAY* wide = SafeArrayCreateVector(VT_I4, 0, 2);  // bytes, not elements
    EXPECT_EQ(tovi::safearray_to_raw(wide).size(), 8u);
    SafeArrayDestroy(wide);

    EXPECT_THROW(tovi::variant2string(_variant_t(1L)), tovi::bad_value_conversion);
    EXPECT_EQ(tovi::variant2string(_variant_t(static_cast<const wchar_t*>(nullptr))), "");
    try {
        tovi::safearray_to_raw(nullptr);
        FAIL();
    } catch (const tovi::exception& e) {
        EXPECT_EQ(e.get_error_text(), "Operation on SafeArray has failed.\n");
    }
}

TEST(Values, DoubleBeyondLongIsNoLong) {
    tovi::double_t big(9223372036854775808.0);  // 2^63
    tovi::value_t& v = big;
    EXPECT_THROW(static_cast<void>(static_cast<long>(v)), tovi::bad_value_conversion);
    tovi::double_t edge(-9223372036854775808.0);
    tovi::value_t& e = edge;
    EXPECT_EQ(static_cast<long>(e), LONG_MIN);
}
