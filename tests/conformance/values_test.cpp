// What a value means, the same on every road: how a column of one kind reads
// into a variable of another, what variants bind, how many values a statement
// takes, and how bound values show in errors.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "conformance_fixture.hpp"

using tovi_conformance::Conformance;

namespace {

class Values : public Conformance {
protected:
    // The value the one-row, one-column `select` returns, read into a T.
    template <class T>
    T read(const std::string& select, T out = T()) {
        tovi::statement st(*ds, 1);
        st.parse(select);
        st >> out;
        st.execute();
        EXPECT_TRUE(st.next()) << select;
        return out;
    }
    // Runs `insert` once with `values` bound in order.
    template <class... V>
    void insert(const std::string& sql, V... values) {
        tovi::statement st(*ds, 1);
        st.parse(sql);
        (st << ... << values);
        st.execute();
    }
    // "YYYY-MM-DD HH:MM:SS" as a tm, and back (any year: the date library's
    // text form stops at 1400).
    static tm at(const char* text) {
        tm t{};
        std::sscanf(text, "%d-%d-%d %d:%d:%d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec);
        t.tm_year -= 1900;
        t.tm_mon -= 1;
        t.tm_isdst = -1;
        return t;
    }
    static std::string text_of(const tm& t) {
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.tm_year + 1900,
                      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
        return text;
    }
};

TEST_P(Values, BooleansReadAsOneAndZero) {
    exec("CREATE TABLE flags(n " + GetParam().integer_type + ", f " + GetParam().boolean_type +
         ")");
    insert("INSERT INTO flags VALUES(:n, :f)", 1L, tovi::bool_t(true));
    insert("INSERT INTO flags VALUES(:n, :f)", 2L, tovi::bool_t(false));
    const long one = GetParam().has("true_reads_as_one") ? 1 : -1;
    EXPECT_EQ(read<long>("SELECT f FROM flags WHERE n = 1"), one);
    EXPECT_EQ(read<long>("SELECT f FROM flags WHERE n = 2"), 0);
    EXPECT_TRUE(read<tovi::bool_t>("SELECT f FROM flags WHERE n = 1").value);
    EXPECT_FALSE(read<tovi::bool_t>("SELECT f FROM flags WHERE n = 2", tovi::bool_t(true)).value);
}

// A number reads into another kind when nothing is lost; otherwise the read is
// bad_value_conversion, never a rounded, cut or zero value.
TEST_P(Values, ColumnsConvertOnlyWhenNothingIsLost) {
    const tovi_conformance::driver_case& c = GetParam();
    exec("CREATE TABLE nums(n " + c.integer_type + ", r " + c.real_type + ", t " + c.text_type +
         ")");
    const std::string o_brien = "O'Brien";
    insert("INSERT INTO nums VALUES(:n, :r, :t)", 1L, 123456.789, o_brien);
    insert("INSERT INTO nums VALUES(:n, :r, :t)", 2L, 123457.0, std::string("42"));
    insert("INSERT INTO nums VALUES(:n, :r, :t)", 3L, 2.5, std::string("2.5"));
    insert("INSERT INTO nums VALUES(:n, :r, :t)", 4L, -0.5, std::string());

    if (c.has("exact_whole_numbers"))
        EXPECT_THROW(read<long>("SELECT r FROM nums WHERE n = 1"), tovi::bad_value_conversion);
    else
        EXPECT_EQ(read<long>("SELECT r FROM nums WHERE n = 1"), 123457);
    EXPECT_EQ(read<long>("SELECT r FROM nums WHERE n = 2"), 123457);
    EXPECT_THROW(read<long>("SELECT t FROM nums WHERE n = 1"), tovi::bad_value_conversion);
    EXPECT_EQ(read<long>("SELECT t FROM nums WHERE n = 2"), 42);
    EXPECT_THROW(read<double>("SELECT t FROM nums WHERE n = 1"), tovi::bad_value_conversion);
    EXPECT_EQ(read<double>("SELECT t FROM nums WHERE n = 3"), 2.5);
    EXPECT_EQ(read<double>("SELECT n FROM nums WHERE n = 3"), 3.0);
    EXPECT_EQ(read<std::string>("SELECT n FROM nums WHERE n = 3"), "3");
    EXPECT_EQ(read<std::string>("SELECT r FROM nums WHERE n = 3"), "2.5");
    EXPECT_EQ(read<std::string>("SELECT r FROM nums WHERE n = 4"), "-0.5");
    // Empty text is a value, not NULL.
    tovi::string_t empty(10);
    empty = std::string("x");
    empty = read<tovi::string_t>("SELECT t FROM nums WHERE n = 4", empty);
    EXPECT_FALSE(empty.is_null);
    EXPECT_EQ(empty.value, "");
}

TEST_P(Values, DatesReadAsIsoTextAndVariantDates) {
    TOVI_REQUIRE("typed_dates");
    exec("CREATE TABLE days(d " + GetParam().date_type + ")");
    const tm when = at("2024-02-29 12:00:00");
    insert("INSERT INTO days VALUES(:d)", when);
    EXPECT_EQ(read<std::string>("SELECT d FROM days"), "2024-02-29 12:00:00");
    const _variant_t v = read<_variant_t>("SELECT d FROM days");
    EXPECT_EQ(v.vt, VT_DATE);
    EXPECT_EQ(v.date, tovi::tm2double_time(when));
}

// Dates from year 100 to 9999 (what every engine and OLE Automation hold) come
// back as they went; a year outside is refused before anything is sent.
TEST_P(Values, DatesOfYears100To9999RoundTripAndOthersAreRefused) {
    exec("CREATE TABLE days(n " + GetParam().integer_type + ", d " + GetParam().date_type + ")");
    const char* texts[] = {"0100-01-01 00:00:00", "1899-12-30 00:00:00", "1969-12-31 23:59:59",
                           "1970-01-01 00:00:00", "2038-01-19 03:14:08", "9999-12-31 23:59:59"};
    long n = 0;
    for (const char* text : texts) insert("INSERT INTO days VALUES(:n, :d)", n++, at(text));
    n = 0;
    for (const char* text : texts) {
        const tm back = read<tm>("SELECT d FROM days WHERE n = " + std::to_string(n++));
        EXPECT_EQ(text_of(back), text);
    }
    tm too_late = at("9999-12-31 23:59:59");
    too_late.tm_year += 1;
    EXPECT_THROW(insert("INSERT INTO days VALUES(:n, :d)", 99L, too_late),
                 tovi::bad_value_conversion);
    tm too_early = at("0100-01-01 00:00:00");
    too_early.tm_year -= 1;
    EXPECT_THROW(insert("INSERT INTO days VALUES(:n, :d)", 98L, too_early),
                 tovi::bad_value_conversion);
    EXPECT_EQ(count("days"), 6);
}

// Every number a variant holds binds as that number.
TEST_P(Values, VariantsBindEveryKindOfNumber) {
    const tovi_conformance::driver_case& c = GetParam();
    exec("CREATE TABLE vars(n " + c.integer_type + ", i " + c.integer_type + ", r " + c.real_type +
         ", t " + c.text_type + ")");
    _variant_t small;
    small.vt = VT_I2;
    small.iVal = -7;
    _variant_t flag;
    flag.vt = VT_BOOL;
    flag.boolVal = VARIANT_TRUE;
    _variant_t single;
    single.vt = VT_R4;
    single.fltVal = 1.5F;
    insert("INSERT INTO vars VALUES(:n, :i, :r, :t)", 1L, small, _variant_t(2.5),
           _variant_t("two and a half"));
    insert("INSERT INTO vars VALUES(:n, :i, :r, :t)", 2L, flag, single, _variant_t(3L));
    EXPECT_EQ(read<long>("SELECT i FROM vars WHERE n = 1"), -7);
    EXPECT_EQ(read<double>("SELECT r FROM vars WHERE n = 1"), 2.5);
    EXPECT_EQ(read<std::string>("SELECT t FROM vars WHERE n = 1"), "two and a half");
    EXPECT_EQ(read<long>("SELECT i FROM vars WHERE n = 2"),
              GetParam().has("true_reads_as_one") ? 1 : -1);
    EXPECT_EQ(read<double>("SELECT r FROM vars WHERE n = 2"), 1.5);
    EXPECT_EQ(read<std::string>("SELECT t FROM vars WHERE n = 2"), "3");
}

TEST_P(Values, EveryMarkerTakesExactlyOneValue) {
    exec("CREATE TABLE pairs(a " + GetParam().integer_type + ", b " + GetParam().integer_type +
         ")");
    const std::string one = "INSERT INTO pairs(a) VALUES(:a)";
    const std::string two = "INSERT INTO pairs VALUES(:a, :b)";
    const std::string too_many = error_of([&] { insert(one, 1L, 2L); });
    EXPECT_NE(too_many.find("Too many input bindings: 2 for 1 parameters."), std::string::npos)
        << too_many;
    const std::string too_few = error_of([&] { insert(two, 1L); });
    EXPECT_NE(too_few.find("Too few input bindings: 1 for 2 parameters."), std::string::npos)
        << too_few;
    EXPECT_THROW(insert(one, 1L, 2L), tovi::bad_operation);
    EXPECT_THROW(insert(two, 1L), tovi::bad_operation);
    EXPECT_EQ(count("pairs"), 0);
    // Counted again when a value goes: a run after it is one value short.
    tovi::statement st(*ds, 1);
    st.parse(two);
    tovi::long_t a(1);
    st << a;
    {
        tovi::long_t b(2);
        st << b;
        st.execute();
    }
    EXPECT_THROW(st.execute(), tovi::bad_operation);
    EXPECT_EQ(count("pairs"), 1);
}

TEST_P(Values, DefinesBeyondTheColumnsAreRefused) {
    exec("CREATE TABLE single(a " + GetParam().integer_type + ")");
    insert("INSERT INTO single VALUES(:a)", 1L);
    tovi::statement st(*ds, 1);
    st.parse("SELECT a FROM single");
    long a = 0, b = 0;
    st >> a >> b;
    try {
        st.execute();
        st.next();
        ADD_FAILURE() << "a define beyond the columns was taken";
    } catch (const tovi::bad_operation& e) {
        EXPECT_NE(e.get_error_text().find("Result column 2 is bound, but the query returns 1 "
                                          "columns."),
                  std::string::npos)
            << e.get_error_text();
    }
}

// A failing statement's error shows the values it was given, printed alike on
// every road.
TEST_P(Values, BoundValuesShowInTheErrorContext) {
    exec("CREATE TABLE uniq(a " + GetParam().integer_type + " PRIMARY KEY, t " +
         GetParam().text_type + ", r " + GetParam().real_type + ", b " + GetParam().boolean_type +
         ")");
    insert("INSERT INTO uniq VALUES(:a, :t, :r, :b)", 7L, std::string("it's"), 2.5,
           tovi::bool_t(true));
    const std::string text = error_of([&] {
        insert("INSERT INTO uniq VALUES(:a, :t, :r, :b)", 7L, std::string("it's"), 2.5,
               tovi::bool_t(true));
    });
    EXPECT_NE(text.find("7, 'it's', 2.5, TRUE"), std::string::npos) << text;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(Drivers, Values, ::testing::ValuesIn(tovi_conformance::all_cases()),
                         [](const ::testing::TestParamInfo<tovi_conformance::driver_case>& info) {
                             return info.param.name;
                         });
