// The OLE Automation stand-in: pinned platform values, VariantChangeType on its
// boundaries, variant and array lifetime, BSTR and text round trips.
#include <tovi/oleauto.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

// Converts `v` to `vt`; returns the HRESULT and leaves the result in `out`.
HRESULT convert(const _variant_t& v, VARTYPE vt, _variant_t& out) {
    return VariantChangeType(&out, &v, 0, vt);
}

long long as_i8(const _variant_t& v) {
    _variant_t out;
    EXPECT_EQ(convert(v, VT_I8, out), S_OK);
    return out.llVal;
}

std::string as_text(const _variant_t& v) {
    _variant_t out;
    EXPECT_EQ(convert(v, VT_BSTR, out), S_OK);
    return _bstr_t(out.bstrVal, true).str();
}

HRESULT result_of(const _variant_t& v, VARTYPE vt) {
    _variant_t out;
    return convert(v, vt, out);
}

}  // namespace

TEST(VariantChangeType, RoundsHalfToEven) {
    for (auto [in, expected] : {std::pair{2.5, 2LL},
                                {3.5, 4LL},
                                {-2.5, -2LL},
                                {-3.5, -4LL},
                                {2.4999, 2LL},
                                {0.5, 0LL},
                                {1.5, 2LL}}) {
        EXPECT_EQ(as_i8(_variant_t(in)), expected) << in;
        _variant_t i4;
        ASSERT_EQ(convert(_variant_t(in), VT_I4, i4), S_OK);
        EXPECT_EQ(i4.lVal, expected);
    }
    EXPECT_EQ(as_i8(_variant_t("2.5")), 2);
    EXPECT_EQ(as_i8(_variant_t("3.5")), 4);
    EXPECT_EQ(as_i8(_variant_t(" -2.5 ")), -2);
    EXPECT_EQ(as_i8(_variant_t("2.50000000000000000001")), 3);
    EXPECT_EQ(as_i8(_variant_t("1e3")), 1000);
    EXPECT_EQ(as_i8(_variant_t("0.0000001")), 0);
}

TEST(VariantChangeType, OverflowOfEveryIntegerWidth) {
    struct Case {
        VARTYPE vt;
        long long low, high;
    };
    const Case cases[] = {{VT_I1, -128, 127},
                          {VT_UI1, 0, 255},
                          {VT_I2, -32768, 32767},
                          {VT_UI2, 0, 65535},
                          {VT_I4, -2147483648LL, 2147483647LL},
                          {VT_UI4, 0, 4294967295LL}};
    for (const Case& c : cases) {
        EXPECT_EQ(result_of(_variant_t(c.low), c.vt), S_OK) << c.vt;
        EXPECT_EQ(result_of(_variant_t(c.high), c.vt), S_OK) << c.vt;
        EXPECT_EQ(result_of(_variant_t(c.low - 1), c.vt), DISP_E_OVERFLOW) << c.vt;
        EXPECT_EQ(result_of(_variant_t(c.high + 1), c.vt), DISP_E_OVERFLOW) << c.vt;
        EXPECT_EQ(result_of(_variant_t(static_cast<double>(c.high) + 0.6), c.vt), DISP_E_OVERFLOW);
    }
    EXPECT_EQ(result_of(_variant_t(1e19), VT_I8), DISP_E_OVERFLOW);
    EXPECT_EQ(result_of(_variant_t("9223372036854775808"), VT_I8), DISP_E_OVERFLOW);
    EXPECT_EQ(as_i8(_variant_t("-9223372036854775808")), INT64_MIN);
    EXPECT_EQ(result_of(_variant_t(NAN), VT_I4), DISP_E_OVERFLOW);
    EXPECT_EQ(result_of(_variant_t(1e300), VT_R4), DISP_E_OVERFLOW);
    EXPECT_EQ(result_of(_variant_t("1e999"), VT_R8), DISP_E_OVERFLOW);
}

TEST(VariantChangeType, TextThatIsNotANumber) {
    for (const char* text : {"", " ", "abc", "1x", "--1", "1e", ".", "inf", "nan", "0x10"}) {
        EXPECT_EQ(result_of(_variant_t(text), VT_I4), DISP_E_TYPEMISMATCH) << text;
        EXPECT_EQ(result_of(_variant_t(text), VT_R8), DISP_E_TYPEMISMATCH) << text;
    }
    _variant_t r8;
    ASSERT_EQ(convert(_variant_t("  -12.75e1 "), VT_R8, r8), S_OK);
    EXPECT_EQ(r8.dblVal, -127.5);
    ASSERT_EQ(convert(_variant_t(".5"), VT_R8, r8), S_OK);
    EXPECT_EQ(r8.dblVal, 0.5);
}

TEST(VariantChangeType, BooleansBothWays) {
    EXPECT_EQ(as_i8(_variant_t(true)), -1);
    EXPECT_EQ(as_i8(_variant_t(false)), 0);
    EXPECT_EQ(as_text(_variant_t(true)), "True");
    EXPECT_EQ(as_text(_variant_t(false)), "False");
    auto as_bool = [](const _variant_t& v) {
        _variant_t out;
        EXPECT_EQ(convert(v, VT_BOOL, out), S_OK);
        return out.boolVal;
    };
    EXPECT_EQ(as_bool(_variant_t(5L)), VARIANT_TRUE);
    EXPECT_EQ(as_bool(_variant_t(0.0)), VARIANT_FALSE);
    EXPECT_EQ(as_bool(_variant_t("TRUE")), VARIANT_TRUE);
    EXPECT_EQ(as_bool(_variant_t(" false")), VARIANT_FALSE);
    EXPECT_EQ(as_bool(_variant_t("-3")), VARIANT_TRUE);
    EXPECT_EQ(as_bool(_variant_t("0.0")), VARIANT_FALSE);
    EXPECT_EQ(result_of(_variant_t("yes"), VT_BOOL), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, DatesBothWays) {
    SYSTEMTIME st{2004, 2, 0, 29, 13, 5, 0, 0};
    double when = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(&st, &when));
    _variant_t date(when, VT_DATE);
    EXPECT_EQ(as_text(date), "2004-02-29 13:05:00");
    EXPECT_EQ(as_text(_variant_t(std::floor(when), VT_DATE)), "2004-02-29");
    EXPECT_EQ(as_text(_variant_t(0.75, VT_DATE)), "18:00:00");

    for (const char* text : {"2004-02-29 13:05:00", "2004/02/29 13:05", "2004-Feb-29 13:05:00",
                             "2/29/2004 1:05:00 PM", "2004-02-29T13:05:00.250"}) {
        _variant_t out;
        ASSERT_EQ(convert(_variant_t(text), VT_DATE, out), S_OK) << text;
        EXPECT_EQ(out.vt, VT_DATE);
        EXPECT_DOUBLE_EQ(out.date, when) << text;
    }
    _variant_t time_only;
    ASSERT_EQ(convert(_variant_t("06:00"), VT_DATE, time_only), S_OK);
    EXPECT_EQ(time_only.date, 0.25);
    for (const char* bad :
         {"", "2004-02-30", "2004-13-01", "13:61", "yesterday", "2004-02-29 x", "99-01-01"})
        EXPECT_EQ(result_of(_variant_t(bad), VT_DATE), DISP_E_TYPEMISMATCH) << bad;

    EXPECT_EQ(result_of(_variant_t(3e6), VT_DATE), DISP_E_OVERFLOW);
    _variant_t from_number;
    ASSERT_EQ(convert(_variant_t(2L), VT_DATE, from_number), S_OK);
    EXPECT_EQ(from_number.date, 2.0);
    EXPECT_EQ(as_i8(_variant_t(2.5, VT_DATE)), 2);
}

TEST(VariantChangeType, Decimals) {
    _variant_t dec;
    ASSERT_EQ(convert(_variant_t("-123.4500"), VT_DECIMAL, dec), S_OK);
    EXPECT_EQ(dec.vt, VT_DECIMAL);
    EXPECT_EQ(dec.decVal.sign, DECIMAL_NEG);
    EXPECT_EQ(as_text(dec), "-123.45");
    EXPECT_EQ(double(dec), -123.45);
    EXPECT_EQ(as_i8(dec), -123);
    ASSERT_EQ(convert(_variant_t("2.5"), VT_DECIMAL, dec), S_OK);
    EXPECT_EQ(as_i8(dec), 2);
    ASSERT_EQ(convert(_variant_t("79228162514264337593543950335"), VT_DECIMAL, dec), S_OK);
    EXPECT_EQ(as_text(dec), "79228162514264337593543950335");  // the largest
    EXPECT_EQ(result_of(_variant_t("79228162514264337593543950336"), VT_DECIMAL), DISP_E_OVERFLOW);
    ASSERT_EQ(convert(_variant_t(0.1), VT_DECIMAL, dec), S_OK);
    EXPECT_EQ(as_text(dec), "0.1");  // fifteen digits of the double
    ASSERT_EQ(convert(_variant_t(9007199254740993LL), VT_DECIMAL, dec), S_OK);
    EXPECT_EQ(as_text(dec), "9007199254740993");
    ASSERT_EQ(convert(_variant_t("0.00000000000000000000000000001"), VT_DECIMAL, dec), S_OK);
    EXPECT_EQ(as_text(dec), "0");  // below the smallest step: rounds to zero
}

TEST(VariantChangeType, UnsupportedPairsAndNullFailCleanly) {
    _variant_t cy;
    cy.vt = VT_CY;
    cy.cyVal.int64 = 10000;
    EXPECT_EQ(result_of(cy, VT_I4), DISP_E_TYPEMISMATCH);
    _variant_t null;
    null.vt = VT_NULL;
    EXPECT_EQ(result_of(null, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(result_of(null, VT_NULL), S_OK);
    EXPECT_EQ(result_of(_variant_t(1L), VT_NULL), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(result_of(_variant_t(1L), VT_CY), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(result_of(_variant_t(1L), VT_UI8), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(as_i8(_variant_t()), 0);
    EXPECT_EQ(as_text(_variant_t()), "");

    _variant_t target("keep me");  // a failed conversion leaves the target alone
    EXPECT_EQ(convert(_variant_t("x"), VT_I4, target), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(target.vt, VT_BSTR);
    EXPECT_EQ(_bstr_t(target.bstrVal, true).str(), "keep me");
    EXPECT_EQ(VariantChangeType(&target, &target, 1, VT_I4), E_INVALIDARG);

    _variant_t in_place("42");
    in_place.ChangeType(VT_I4);
    EXPECT_EQ(in_place.vt, VT_I4);
    EXPECT_EQ(in_place.lVal, 42);
    try {
        const _variant_t too_big(300L);
        in_place.ChangeType(VT_UI1, &too_big);
        FAIL();
    } catch (const _com_error& e) {
        EXPECT_EQ(e.Error(), DISP_E_OVERFLOW);
        EXPECT_EQ(in_place.lVal, 42);
    }
}

TEST(VariantChangeType, NumbersToText) {
    EXPECT_EQ(as_text(_variant_t(-42L)), "-42");
    EXPECT_EQ(as_text(_variant_t(0.1)), "0.1");
    EXPECT_EQ(as_text(_variant_t(0.1 + 0.2)), "0.3");
    EXPECT_EQ(as_text(_variant_t(1e20)), "1E+20");
    EXPECT_EQ(as_text(_variant_t(2.5f)), "2.5");
    EXPECT_EQ(as_text(_variant_t(5000000000L)), "5000000000");
    EXPECT_EQ(as_text(_variant_t(static_cast<unsigned char>(200))), "200");
    EXPECT_EQ(as_text(_variant_t('\xF0')), "-16");
}

TEST(Variant, WideLongsAndLifetime) {
    _variant_t small(5L), big(5000000000L), negative(-5000000000L);
    EXPECT_EQ(small.vt, VT_I4);
    EXPECT_EQ(big.vt, VT_I8);
    EXPECT_EQ(long(big), 5000000000L);
    EXPECT_EQ(long(negative), -5000000000L);
    EXPECT_EQ(long(_variant_t("5000000000")), 5000000000L);
    EXPECT_THROW(_variant_t(1L, VT_BSTR), _com_error);

    _variant_t text("abc");
    _variant_t copy(text);
    EXPECT_NE(copy.bstrVal, text.bstrVal);  // deep
    text.Clear();
    EXPECT_EQ(_bstr_t(copy), _bstr_t("abc"));
    _variant_t moved(std::move(copy));
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(moved.vt, VT_BSTR);
    VARIANT raw = moved.Detach();
    EXPECT_EQ(moved.vt, VT_EMPTY);
    _variant_t back(raw, false);
    EXPECT_EQ(raw.vt, VT_EMPTY);
    EXPECT_EQ(_bstr_t(back).str(), "abc");

    VARIANT garbage;
    VariantInit(&garbage);
    garbage.vt = 999;
    EXPECT_EQ(VariantClear(&garbage), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantCopy(&back, &garbage), DISP_E_BADVARTYPE);
}

TEST(SafeArray, BoundsLocksAndCopies) {
    SAFEARRAY* a = SafeArrayCreateVector(VT_UI1, 3, 4);
    ASSERT_NE(a, nullptr);
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(a, 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(a, 1, &upper), S_OK);
    EXPECT_EQ(lower, 3);
    EXPECT_EQ(upper, 6);
    EXPECT_EQ(SafeArrayGetUBound(a, 2, &upper), DISP_E_BADINDEX);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(a, &data), S_OK);
    std::memcpy(data, "wxyz", 4);
    EXPECT_EQ(SafeArrayDestroy(a), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(a), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(a), E_UNEXPECTED);

    _variant_t holder;
    holder.vt = VT_ARRAY | VT_UI1;
    holder.parray = a;
    _variant_t copy(holder);
    ASSERT_NE(copy.parray, a);
    void* copied = nullptr;
    ASSERT_EQ(SafeArrayAccessData(copy.parray, &copied), S_OK);
    EXPECT_EQ(std::string(static_cast<char*>(copied), 4), "wxyz");
    SafeArrayUnaccessData(copy.parray);

    EXPECT_EQ(SafeArrayCreateVector(VT_BSTR, 0, 1), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_VARIANT, 0, 1), nullptr);
    SAFEARRAYBOUND two[2] = {{1, 0}, {1, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, two), nullptr);
    SAFEARRAY* empty = SafeArrayCreateVector(VT_I4, 0, 0);
    ASSERT_EQ(SafeArrayGetUBound(empty, 1, &upper), S_OK);
    EXPECT_EQ(upper, -1);
    EXPECT_EQ(SafeArrayDestroy(empty), S_OK);
}

TEST(Bstr, LengthsAndEmbeddedNuls) {
    BSTR b = SysAllocStringLen(L"a\0b", 3);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(SysStringByteLen(b), 3 * sizeof(wchar_t));
    EXPECT_EQ(b[3], L'\0');
    SysFreeString(b);
    BSTR bytes = SysAllocStringByteLen("xyz", 3);
    EXPECT_EQ(SysStringByteLen(bytes), 3u);
    SysFreeString(bytes);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
    BSTR zeros = SysAllocStringLen(nullptr, 2);
    EXPECT_EQ(zeros[0], L'\0');
    SysFreeString(zeros);
}

TEST(TextCodec, Utf8RoundTripsLosslessly) {
    const std::string samples[] = {"plain", "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80",
                                   std::string("nul\0inside", 10),
                                   "\xFF\xFE broken \xC3 \xE2\x82 \xED\xA0\x80 \xC0\xAF"};
    for (const std::string& s : samples) {
        EXPECT_EQ(tovi::wide_to_mb(tovi::mb_to_wide(s)), s);
        const std::u16string u = tovi::mb_to_utf16(s.data(), s.size());
        EXPECT_LE(u.size(), s.size());
        EXPECT_EQ(tovi::utf16_to_mb(u.data(), u.size()), s);
        EXPECT_EQ(_bstr_t(s).str(), s);
    }
    EXPECT_EQ(tovi::mb_to_wide("\xE2\x82\xAC"), std::wstring(L"\u20AC"));
    EXPECT_EQ(tovi::mb_to_utf16("\xF0\x9F\x98\x80", 4).size(), 2u);  // a surrogate pair
}

// Boundaries a one-off slip would move unseen.
TEST(VariantChangeType, EdgesOfDatesTimesAndSinglePrecision) {
    // 12 AM is midnight and 12 PM noon.
    const double day = 36526.0;  // 2000-01-01
    const struct {
        const char* text;
        double expected;
    } clock[] = {{"2000-01-01 12:30 AM", day + 0.5 / 24},
                 {"2000-01-01 12:30 PM", day + 12.5 / 24},
                 {"2000-01-01 12:00 AM", day},
                 {"2000-01-01 1:00 PM", day + 13.0 / 24}};
    for (const auto& c : clock) {
        _variant_t out;
        ASSERT_EQ(convert(_variant_t(c.text), VT_DATE, out), S_OK) << c.text;
        EXPECT_NEAR(out.date, c.expected, 1e-9) << c.text;
    }
    // Year 100 to year 9999, exactly.
    _variant_t out;
    EXPECT_EQ(convert(_variant_t(-657434.0), VT_DATE, out), S_OK);
    EXPECT_EQ(as_text(out), "0100-01-01");
    EXPECT_EQ(result_of(_variant_t(-657435.0), VT_DATE), DISP_E_OVERFLOW);
    EXPECT_EQ(convert(_variant_t(2958465.0), VT_DATE, out), S_OK);
    EXPECT_EQ(as_text(out), "9999-12-31");
    EXPECT_EQ(result_of(_variant_t(2958466.0), VT_DATE), DISP_E_OVERFLOW);
    // 2^63 does not fit in 64 bits: no wrap to the most negative number.
    EXPECT_EQ(result_of(_variant_t(9223372036854775808.0), VT_I8), DISP_E_OVERFLOW);
    EXPECT_EQ(result_of(_variant_t(-9223372036854775808.0), VT_I8), S_OK);
    // A single-precision number prints with its own 7 significant digits.
    EXPECT_EQ(as_text(_variant_t(0.1f)), "0.1");
    EXPECT_EQ(as_text(_variant_t(1.0f / 3.0f)), "0.3333333");
}
