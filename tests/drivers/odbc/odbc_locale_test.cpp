// The ODBC driver sets the process's C locale to the user's (setlocale(LC_ALL,
// "")). With a locale whose decimal separator is a comma, tovi's own number and
// date texts and the values through ODBC must stay what they are in "C".
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <memory>

#include "support/odbc_registry.hpp"
#include "support/temp_dir.hpp"

namespace {

tovi_test::odbc_registry registry(TOVI_TEST_SQLITE_ODBC_DRIVER);  // before any ODBC call

std::string as_text(const _variant_t& v) {
    _variant_t out;
    EXPECT_EQ(VariantChangeType(&out, &v, 0, VT_BSTR), S_OK);
    return _bstr_t(out.bstrVal, true).str();
}

// Guards: a decimal-comma locale changing numbers or texts on their way (printf and
// strtod read the locale).
TEST(OdbcLocale, CommaLocaleChangesNoTextOrNumber) {
    setenv("LC_ALL", "de_DE.UTF-8", 1);  // what setlocale(LC_ALL, "") will pick
    tovi_test::temp_dir dir;
    tovi::api::init();
    {
        tovi::uurl_t url("/ODBC/SQLite3 ODBC Driver", "", "", dir.file("locale.db"));
        tovi::udata_source ds(url);
        tovi::statement st(ds, 1);
        st.execute("CREATE TABLE t(r REAL, s TEXT)");  // the driver's environment: setlocale ran
        ASSERT_NE(std::string(std::setlocale(LC_NUMERIC, nullptr)).find("de_DE"), std::string::npos)
            << "the locale under test is not in effect";

        // tovi's own conversions.
        tovi::double_t d(2.5);
        EXPECT_EQ(static_cast<std::string>(static_cast<tovi::value_t&>(d)), "2.5");
        tovi::string_t s("0.125", 10);
        EXPECT_EQ(static_cast<double>(static_cast<tovi::value_t&>(s)), 0.125);
        EXPECT_EQ(as_text(_variant_t(1234.5)), "1234.5");
        _variant_t parsed;
        const _variant_t source("3.75");
        ASSERT_EQ(VariantChangeType(&parsed, &source, 0, VT_R8), S_OK);
        EXPECT_EQ(parsed.dblVal, 3.75);

        // Through ODBC.
        double r = 0.25;
        std::string text = "2.5";
        st.parse("INSERT INTO t VALUES(:r, :s)");
        st << r << text;
        st.execute();
        tovi::statement q(ds, 1);
        double back = 0;
        std::string back_text;
        q.parse("SELECT r, s FROM t");
        q >> back >> back_text;
        q.execute();
        ASSERT_TRUE(q.next());
        EXPECT_EQ(back, 0.25);
        EXPECT_EQ(back_text, "2.5");
    }
    tovi::api::fini();
    std::setlocale(LC_ALL, "C");
    unsetenv("LC_ALL");
}

}  // namespace
