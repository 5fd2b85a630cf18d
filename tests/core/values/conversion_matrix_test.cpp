// The conversion rules as a table: getters by value class, setters by value class,
// variant_set by variant type and value class. Each row checks the result (or the
// exact exception class) and the NULL flag afterwards.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <boost/lexical_cast.hpp>
#include <charconv>
#include <cstdlib>
#include <functional>
#include <memory>
#include <typeinfo>

#include "support/test_driver.hpp"

namespace {

// A value of a class, NULL or holding a sample; large objects come bound.
struct sample {
    std::unique_ptr<tovi_test::test_record> record = std::make_unique<tovi_test::test_record>();
    std::unique_ptr<tovi::value_t> value;
};

sample make(const std::string& spec) {
    const std::string kind = spec.substr(0, spec.find(':'));
    const bool null = spec.find(':') == std::string::npos;
    const std::string data = null ? "" : spec.substr(spec.find(':') + 1);
    sample s;
    if (kind == "bool") {
        s.value = null ? std::make_unique<tovi::bool_t>()
                       : std::make_unique<tovi::bool_t>(data == "true");
    } else if (kind == "long") {
        s.value = null ? std::make_unique<tovi::long_t>()
                       : std::make_unique<tovi::long_t>(std::stol(data));
    } else if (kind == "genlong") {
        s.value = null ? std::make_unique<tovi::gen::long_t>()
                       : std::make_unique<tovi::gen::long_t>(std::stol(data));
    } else if (kind == "double") {
        const double d = null ? 0.0 : data == "sum" ? 0.1 + 0.2 : std::stod(data);
        s.value = null ? std::make_unique<tovi::double_t>() : std::make_unique<tovi::double_t>(d);
    } else if (kind == "string") {
        s.value = null ? std::make_unique<tovi::string_t>(10)
                       : std::make_unique<tovi::string_t>(data, 10);
    } else if (kind == "date") {
        tm t{};
        if (!null) tovi::string2tm(data, t);
        s.value =
            null ? std::make_unique<tovi::date_time_t>() : std::make_unique<tovi::date_time_t>(t);
    } else if (kind == "clob" || kind == "blob") {
        if (kind == "clob")
            s.value = std::make_unique<tovi::clob_t>();
        else
            s.value = std::make_unique<tovi::blob_t>();
        auto& lob = dynamic_cast<tovi::lob_t&>(*s.value);
        *s.record << lob;
        if (!null) lob.set_entire(data);
    }
    // The record must outlive the value's binding: the value goes first.
    return s;
}

std::string number_text(double d) {
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, d);
    return std::string(buffer, r.ptr);
}

std::string variant_text(const _variant_t& v) {
    std::string text = "VT" + std::to_string(v.vt);
    if (v.vt == VT_BSTR) return text + ":" + tovi::variant2string(v);
    if (v.vt == VT_BOOL) return text + ":" + std::to_string(v.boolVal);
    if (v.vt == VT_I4) return text + ":" + std::to_string(v.lVal);
    if (v.vt == VT_I8) return text + ":" + std::to_string(v.llVal);
    if (v.vt == VT_R8) return text + ":" + number_text(v.dblVal);
    if (v.vt == (VT_ARRAY | VT_UI1)) return text + ":" + tovi::safearray_to_raw(v.parray);
    return text;
}

// The outcome of a call: "=" and the result, or "!" and the exception's class.
std::string outcome(const std::function<std::string()>& call) {
    try {
        return "=" + call();
    } catch (const boost::bad_lexical_cast&) {
        return "!bad_lexical_cast";
    } catch (const _com_error& e) {
        return "!com_error";
    } catch (const std::exception& e) {
        if (typeid(e) == typeid(tovi::value_is_null)) return "!value_is_null";
        if (typeid(e) == typeid(tovi::bad_value_conversion)) return "!bad_value_conversion";
        if (typeid(e) == typeid(tovi::not_implemented)) return "!not_implemented";
        return std::string("!") + typeid(e).name();
    }
}

// Text of what a value holds, read without conversions.
std::string held(tovi::value_t& v) {
    if (auto* b = dynamic_cast<tovi::bool_t*>(&v)) return b->value ? "true" : "false";
    if (auto* l = dynamic_cast<tovi::long_t*>(&v)) return std::to_string(l->value);
    if (auto* d = dynamic_cast<tovi::double_t*>(&v)) return number_text(d->value);
    if (auto* s = dynamic_cast<tovi::string_t*>(&v)) return s->value;
    if (auto* t = dynamic_cast<tovi::date_time_t*>(&v)) return tovi::tm2string(t->value);
    if (auto* lob = dynamic_cast<tovi::lob_t*>(&v)) return lob->is_null ? "" : lob->get_entire();
    return "?";
}

class ConversionMatrix : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

}  // namespace

TEST_F(ConversionMatrix, Getters) {
    struct Row {
        const char* value;
        const char* getter;
        const char* expected;
    };
    const Row rows[] = {
        // long_get
        {"bool", "long", "!bad_value_conversion"},
        {"bool:true", "long", "=1"},
        {"long", "long", "!bad_value_conversion"},
        {"long:-42", "long", "=-42"},
        {"genlong:5000000000", "long", "=5000000000"},
        {"double:2", "long", "=2"},
        {"double:2.5", "long", "!bad_value_conversion"},
        {"double:1e15", "long", "=1000000000000000"},
        {"double", "long", "!bad_value_conversion"},
        {"string:17", "long", "=17"},
        {"string:abc", "long", "!bad_value_conversion"},
        {"string", "long", "!bad_value_conversion"},
        {"date:1970-01-02 00:00:00", "long", "=86400"},
        {"date", "long", "!bad_value_conversion"},
        {"clob:17", "long", "=17"},
        {"clob", "long", "!bad_value_conversion"},
        {"blob:x", "long", "!bad_value_conversion"},
        // double_get
        {"bool:false", "double", "=0"},
        {"bool", "double", "!bad_value_conversion"},
        {"long:-42", "double", "=-42"},
        {"double:sum", "double", "=0.3"},  // through 16-digit text
        {"string:2.5", "double", "=2.5"},
        {"string:x", "double", "!bad_value_conversion"},
        {"date:1900-01-01 12:00:00", "double", "=2.5"},
        {"date", "double", "!value_is_null"},  // the one getter rule without a handler
        {"clob:2.5", "double", "=2.5"},
        {"blob", "double", "!bad_value_conversion"},
        // string_get
        {"bool", "string", "=NULL"},
        {"bool:true", "string", "=TRUE"},
        {"bool:false", "string", "=FALSE"},
        {"long:-42", "string", "=-42"},
        {"long", "string", "=NULL"},
        {"double:0.1", "string", "=0.1"},
        {"double:sum", "string", "=0.3"},
        {"double", "string", "=NULL"},
        {"string:abc", "string", "=abc"},
        {"string", "string", "=NULL"},
        {"date:2004-02-29 13:05:00", "string", "=2004-Feb-29 13:05:00"},
        {"date", "string", "=NULL"},
        {"clob:content", "string", "=<clob_t>"},
        {"clob", "string", "=NULL"},
        {"blob:content", "string", "=<blob_t>"},
        {"blob", "string", "=NULL"},
        // variant_get
        {"bool", "variant", "=VT0"},
        {"bool:true", "variant", "=VT11:-1"},
        {"long:-42", "variant", "=VT3:-42"},
        {"genlong:5000000000", "variant", "=VT20:5000000000"},
        {"long", "variant", "=VT0"},
        {"double:2.5", "variant", "=VT5:2.5"},
        {"string:abc", "variant", "=VT8:abc"},
        {"string", "variant", "=VT0"},
        {"date:1900-01-01 12:00:00", "variant", "=VT5:2.5"},
        {"date", "variant", "=VT0"},
        {"clob:text", "variant", "=VT8:text"},
        {"blob:bytes", "variant", "=VT8209:bytes"},
        {"blob", "variant", "=VT0"},
    };
    for (const Row& row : rows) {
        sample s = make(row.value);
        tovi::value_t& v = *s.value;
        const bool was_null = v.is_null;
        const std::string getter = row.getter;
        const std::string got = outcome([&]() -> std::string {
            if (getter == "long") return std::to_string(long(v));
            if (getter == "double") return number_text(double(v));
            if (getter == "string") {  // the visitor: a large object's own operator reads it all
                tovi::string_get visitor;
                v.accept(visitor);
                return visitor.result;
            }
            return variant_text(_variant_t(v));
        });
        EXPECT_EQ(got, row.expected) << row.value << " via " << row.getter;
        EXPECT_EQ(v.is_null, was_null) << row.value << ": a getter changes no NULL flag";
        s.value.reset();
    }
}

TEST_F(ConversionMatrix, GetterFailureOfANullValueKeepsItsEntry) {
    tovi::long_t null_value;
    try {
        static_cast<void>(long(static_cast<tovi::value_t&>(null_value)));
        FAIL();
    } catch (const tovi::bad_value_conversion& e) {
        EXPECT_EQ(e.get_error_text(), "Value is NULL.\nValue cannot be converted.\n");
    }
    tovi::string_t text("abc", 3);
    try {
        static_cast<void>(long(static_cast<tovi::value_t&>(text)));
        FAIL();
    } catch (const tovi::bad_value_conversion& e) {
        EXPECT_EQ(e.get_error_text(), "Value cannot be converted.\n");  // a fresh one
    }
}

TEST_F(ConversionMatrix, Setters) {
    struct Row {
        const char* value;
        const char* setter;  // long:N, double:N, string:S
        const char* expected;
        bool null_after;
    };
    const Row rows[] = {
        {"bool", "long:0", "=false", false},
        {"bool", "long:-3", "=true", false},
        {"long", "long:5000000000", "=5000000000", false},
        {"double", "long:7", "=7", false},
        {"string", "long:-7", "=-7", false},
        {"date", "long:86400", "=1970-Jan-02 00:00:00", false},
        {"clob:x", "long:7", "=7", false},
        {"blob", "long:8", "=8", false},
        {"bool", "double:0", "=false", false},
        {"bool", "double:0.1", "=true", false},
        {"long", "double:2", "=2", false},
        {"long:9", "double:1.5", "!bad_lexical_cast", false},
        {"double", "double:1.5", "=1.5", false},
        {"string", "double:0.1", "=0.1", false},
        {"date", "double:25569.5", "=1970-Jan-01 12:00:00", false},
        {"clob", "double:2.25", "=2.25", false},
        {"bool", "string:TRUE", "=true", false},
        {"bool:true", "string:FALSE", "=false", false},
        {"bool:true", "string:true", "=true", true},  // not exactly TRUE/FALSE: NULL
        {"long", "string:12", "=12", false},
        {"long:9", "string:1.5", "!bad_lexical_cast", false},
        {"double", "string:2.5", "=2.5", false},
        {"double:1", "string:x", "!bad_lexical_cast", false},
        {"string", "string:abc", "=abc", false},
        {"date", "string:2004-02-29 00:00:00", "!not_implemented", true},
        {"clob", "string:x", "!bad_value_conversion", true},
        {"blob:y", "string:x", "!bad_value_conversion", false},
    };
    for (const Row& row : rows) {
        sample s = make(row.value);
        tovi::value_t& v = *s.value;
        const std::string setter = row.setter;
        const std::string arg = setter.substr(setter.find(':') + 1);
        const std::string got = outcome([&]() -> std::string {
            if (setter.rfind("long:", 0) == 0) {
                tovi::long_set visitor(std::stol(arg));
                v.accept(visitor);
            } else if (setter.rfind("double:", 0) == 0) {
                tovi::double_set visitor(std::stod(arg));
                v.accept(visitor);
            } else {
                tovi::string_set visitor(arg);
                v.accept(visitor);
            }
            return held(v);
        });
        EXPECT_EQ(got, row.expected) << row.value << " <- " << row.setter;
        EXPECT_EQ(v.is_null, row.null_after) << row.value << " <- " << row.setter;
        if (got[0] == '!' && std::string(row.value).find(':') != std::string::npos) {
            EXPECT_NE(held(v), "") << "a failed setter keeps the old value";
        }
        s.value.reset();
    }
}

TEST_F(ConversionMatrix, VariantSet) {
    auto with_type = [](VARTYPE vt) {
        _variant_t v;
        v.vt = vt;
        return v;
    };
    auto decimal = [] {
        _variant_t d;
        d.ChangeType(VT_DECIMAL, &static_cast<const _variant_t&>(_variant_t("2.5")));
        return d;
    };
    _variant_t bytes;
    tovi::set_variant_from_raw(bytes, std::string("\x01\x02", 2));
    _variant_t cy;
    cy.vt = VT_CY;
    cy.cyVal.int64 = 1;

    struct Row {
        const char* value;
        _variant_t source;
        std::string expected;
        bool null_after;
    };
    const Row rows[] = {
        // empty, null and unknown variants make every class NULL
        {"bool:true", _variant_t(), "=true", true},
        {"long:1", with_type(VT_NULL), "=1", true},
        {"double:1", with_type(VT_UNKNOWN), "=1", true},
        {"string:x", with_type(VT_NULL), "=x", true},
        {"clob:x", with_type(VT_NULL), "=", true},
        {"blob:x", _variant_t(), "=", true},
        {"date:2004-02-29 00:00:00", with_type(VT_NULL), "=2004-Feb-29 00:00:00", true},
        // integers
        {"bool", _variant_t(static_cast<short>(2)), "=true", false},
        {"bool", _variant_t(0L), "=false", false},
        {"long", _variant_t(static_cast<unsigned int>(4000000000u)), "=4000000000", false},
        {"long", _variant_t(5000000000L), "=5000000000", false},
        {"double", _variant_t('\x05'), "=5", false},
        {"string", _variant_t(static_cast<unsigned char>(200)), "=200", false},
        {"clob", _variant_t(-7L), "=-7", false},
        {"blob", _variant_t(static_cast<unsigned short>(9)), "=9", false},
        {"date", _variant_t(86400L), "=1970-Jan-02 00:00:00", false},
        // reals and dates
        {"bool", _variant_t(0.25), "=true", false},
        {"long", _variant_t(2.5), "=2", false},
        {"long", _variant_t(3.5f), "=4", false},
        {"long", _variant_t(1e30), "!com_error", true},
        {"double", _variant_t(2.5, VT_DATE), "=2.5", false},
        {"string", _variant_t(0.5), "=0.5", false},
        {"string", _variant_t(2.5, VT_DATE), "=1900-01-01 12:00:00", false},
        {"date", _variant_t(2.5, VT_DATE), "=1900-Jan-01 12:00:00", false},
        {"date", _variant_t(2.5), "=1900-Jan-01 12:00:00", false},
        // decimals
        {"bool", decimal(), "!bad_value_conversion", true},
        {"long", decimal(), "=2", false},
        {"double", decimal(), "=2.5", false},
        {"string", decimal(), "=2.5", false},
        {"blob", decimal(), "=2.5", false},
        {"date", decimal(), "=1900-Jan-01 12:00:00", false},
        // text
        {"bool", _variant_t("True"), "=true", false},
        {"bool", _variant_t("0"), "=false", false},
        {"bool", _variant_t("maybe"), "!com_error", true},
        {"long", _variant_t("2.5"), "=2", false},
        {"long", _variant_t("x"), "!com_error", true},
        {"double", _variant_t("2.5"), "=2.5", false},
        {"string", _variant_t("text"), "=text", false},
        {"clob", _variant_t("text"), "=text", false},
        {"date", _variant_t("2004-02-29 13:05:00"), "=2004-Feb-29 13:05:00", false},
        {"date", _variant_t("soon"), "!com_error", true},
        // booleans
        {"bool", _variant_t(true), "=true", false},
        {"long", _variant_t(true), "=1", false},
        {"double", _variant_t(false), "=0", false},
        {"string", _variant_t(true), "=Yes", false},
        {"clob", _variant_t(false), "=No", false},
        {"blob", _variant_t(true), "=Yes", false},
        {"date", _variant_t(true), "!bad_value_conversion", true},
        // arrays: only a blob takes them
        {"blob", bytes, std::string("=\x01\x02", 3), false},
        {"bool", bytes, "!bad_value_conversion", true},
        {"long", bytes, "!bad_value_conversion", true},
        {"double", bytes, "!bad_value_conversion", true},
        {"string", bytes, "!bad_value_conversion", true},
        {"clob", bytes, "!bad_value_conversion", true},
        {"date", bytes, "!bad_value_conversion", true},
        // other types
        {"long", cy, "!bad_value_conversion", true},
        {"blob", cy, "!bad_value_conversion", true},
        {"string", with_type(VT_ERROR), "!bad_value_conversion", true},
    };
    for (const Row& row : rows) {
        sample s = make(row.value);
        tovi::value_t& v = *s.value;
        const std::string got = outcome([&]() -> std::string {
            v.set_value(row.source);
            return held(v);
        });
        EXPECT_EQ(got, row.expected) << row.value << " <- VT" << row.source.vt;
        EXPECT_EQ(v.is_null, row.null_after) << row.value << " <- VT" << row.source.vt;
        s.value.reset();
    }
}

TEST_F(ConversionMatrix, CursorsAreNotVariants) {
    struct rows : tovi::cursor_t {
        tovi::impl::value_factory& get_bind() override { return f; }
        tovi::impl::value_factory& get_define() override { return f; }
        tovi::impl::value_factory f{tovi::out};
    } cursor;
    tovi::variant_get get;
    EXPECT_THROW(get.visit_cursor_t(cursor), tovi::bad_value_conversion);
    tovi::variant_set set(_variant_t(1L));
    EXPECT_THROW(set.visit_cursor_t(cursor), tovi::bad_value_conversion);
    // accept() visits nothing: the getters return their defined initial results.
    tovi::value_t& as_value = cursor;
    EXPECT_EQ(long(as_value), 0);
    EXPECT_EQ(double(as_value), 0.0);
    EXPECT_EQ(std::string(as_value), "");
    EXPECT_EQ(_variant_t(as_value).vt, VT_EMPTY);
}
