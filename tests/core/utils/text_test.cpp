// Small text helpers: escaping, upper-casing, replacement, slash-separated paths.
#include <tovi/exception.hpp>
#include <tovi/text.hpp>

#include <gtest/gtest.h>

#include <string>

TEST(EscapeStr, DoublesApostrophesAndTerminates) {
    char dest[32];
    EXPECT_EQ(utils::escape_str(dest, "it's", 4), 5u);
    EXPECT_STREQ(dest, "it''s");
    EXPECT_EQ(utils::escape_str(dest, "''x", 2), 4u);  // only the first len bytes
    EXPECT_STREQ(dest, "''''");
    EXPECT_EQ(utils::escape_str(dest, "", 0), 0u);
    EXPECT_STREQ(dest, "");
}

TEST(UpperCase, AsciiOnly) {
    const std::string mixed = "select \xE4\xF6 from T1_x";
    EXPECT_EQ(utils::make_upper(mixed), "SELECT \xE4\xF6 FROM T1_X");
    std::string in_place = "abc{}`z";
    EXPECT_EQ(utils::makeUpper(in_place), "ABC{}`Z");
    EXPECT_EQ(in_place, "ABC{}`Z");
}

TEST(Replace, AllThreeForms) {
    EXPECT_EQ(utils::replace("a.b.c", '.', "::"), "a::b::c");
    EXPECT_EQ(utils::replace("a.b.c", '.', ""), "abc");
    EXPECT_EQ(utils::replace("", '.', "x"), "");
    std::string s = "x.y.z";
    EXPECT_EQ(utils::replace(s.begin() + 1, s.end(), '.', "-"), "-y-z");
    const std::string& cs = s;
    EXPECT_EQ(utils::replace(cs.begin(), cs.begin() + 3, '.', "/"), "x/y");
}

TEST(GetNextParam, ReadsElementsInOrder) {
    std::string s = "/a/b/c";
    EXPECT_EQ(utils::getNextParam(s), "a");
    EXPECT_EQ(s, "/b/c");
    EXPECT_EQ(utils::getNextParam(s), "b");
    EXPECT_EQ(utils::getNextParam(s), "c");
    EXPECT_EQ(s, "");
    EXPECT_EQ(utils::getNextParam(s), "");

    std::string empties = "//x";
    EXPECT_EQ(utils::getNextParam(empties), "");
    EXPECT_EQ(empties, "/x");

    std::string no_slash = "abc";
    EXPECT_EQ(utils::getNextParam(no_slash), "");
    EXPECT_EQ(no_slash, "abc");
}

TEST(Descriptors, SplitAtTheInnerSlash) {
    EXPECT_EQ(utils::getObjectDescriptor("/t/f"), "/t");
    EXPECT_EQ(utils::getFieldDescriptor("/t/f"), "/f");
    EXPECT_EQ(utils::getFieldDescriptor("/t/f/g"), "/f/g");
    EXPECT_EQ(utils::getObjectDescriptor("t/f"), "t");
    for (const char* bad : {"", "/", "/t", "table"}) {
        try {
            utils::getObjectDescriptor(bad);
            ADD_FAILURE() << bad;
        } catch (const tovi::exception& e) {
            EXPECT_EQ(e.get_error_text(), "Invalid descriptor structure.\n");
            EXPECT_EQ(e.get_entry(0).code, 0);
        }
        EXPECT_THROW(utils::getFieldDescriptor(bad), tovi::exception);
    }
}
