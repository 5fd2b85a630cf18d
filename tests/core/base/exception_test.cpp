// The exception tree: the transfer of stacks, the eleven-entry cap.
#include <tovi/exception.hpp>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::pair<int, std::string>> reported;
void record(int code, const char* text) {
    reported.emplace_back(code, text);
}

// Routes utils::reportError into `reported` for the test's duration.
struct ReportCapture {
    ReportCapture() {
        reported.clear();
        previous = utils::set_error_report_handler(&record);
    }
    ~ReportCapture() { utils::set_error_report_handler(previous); }
    utils::error_report_handler previous;
};

tovi::exception two_entries() {
    tovi::exception e("driver said no", 17);
    e.set_data("context", 0);
    return e;
}

template <class Expected, class Thrown>
bool caught_as(Thrown thrown) {
    try {
        throw thrown;
    } catch (const Expected&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

TEST(ExceptionTree, HandlersCatchTheirSubclasses) {
    EXPECT_TRUE(caught_as<tovi::no_data_found>(tovi::no_schema_obj_found(5)));
    EXPECT_TRUE(caught_as<tovi::bad_set_of_values>(tovi::no_schema_obj_found(5)));
    EXPECT_TRUE(caught_as<tovi::bad_data>(tovi::no_schema_obj_found(5)));
    EXPECT_TRUE(caught_as<tovi::exception>(tovi::no_schema_obj_found(5)));
    EXPECT_TRUE(caught_as<std::exception>(tovi::no_schema_obj_found(5)));
    EXPECT_TRUE(caught_as<tovi::data_already_exist>(tovi::dup_value_on_index()));
    EXPECT_TRUE(caught_as<tovi::no_data_found>(tovi::integrity_violation()));
    EXPECT_TRUE(caught_as<tovi::bad_value>(tovi::bad_value_conversion()));
    EXPECT_TRUE(caught_as<tovi::bad_operation>(tovi::permission_denied()));
    EXPECT_TRUE(caught_as<tovi::exception>(tovi::win_hook::exception("hook", 0)));
    EXPECT_FALSE(caught_as<tovi::bad_data>(tovi::bad_sql("x", 1)));
    EXPECT_FALSE(caught_as<tovi::exception>(tovi::ds_exception("url")));
    EXPECT_TRUE(caught_as<std::exception>(tovi::ds_exception("url")));
    EXPECT_STREQ(tovi::ds_exception("bad url").what(), "bad url");
}

TEST(ExceptionTree, CaughtExceptionKeepsTheWholeStack) {
    try {
        try {
            throw tovi::exception("native failure", 19);
        } catch (const tovi::exception& e) {
            throw tovi::dup_value_on_index(e, 19);
        }
    } catch (tovi::data_already_exist& caught) {
        tovi::data_already_exist e(caught);  // the copy takes the stack
        EXPECT_EQ(caught.get_error_text(), "");
        EXPECT_EQ(e.get_error_text(), "native failure\nDuplicate value on index.\n");
        EXPECT_EQ(e.get_entry(1).code, 19);
        EXPECT_STREQ(e.what(), "native failure");
    }
}

TEST(ExceptionStack, CopyAndAssignmentTransfer) {
    tovi::exception source = two_entries();
    tovi::exception copy(source);
    EXPECT_EQ(copy.get_count(), 2);
    EXPECT_EQ(source.get_count(), 0);
    EXPECT_EQ(source.get_error_text(), "");

    tovi::exception target("old", 1);
    target = copy;
    EXPECT_EQ(target.get_error_text(), "driver said no\ncontext\n");
    EXPECT_EQ(copy.get_error_text(), "");

    target = target;  // self-assignment changes nothing
    EXPECT_EQ(target.get_error_text(), "driver said no\ncontext\n");
}

TEST(ExceptionStack, WrappingForms) {
    tovi::exception e = two_entries();
    tovi::schema_obj_already_exists wrapped(e);
    ASSERT_EQ(wrapped.get_count(), 3);
    EXPECT_EQ(wrapped.get_entry(2).message, "Data already exist.");
    EXPECT_EQ(wrapped.get_entry(2).code, 0);
    EXPECT_EQ(e.get_error_text(), "");

    tovi::exception f = two_entries();
    tovi::no_schema_obj_found not_found(f);
    EXPECT_EQ(not_found.get_entry(2).message, "No data found.");

    tovi::exception g = two_entries();
    tovi::bad_sql sql(g, 7);
    ASSERT_EQ(sql.get_count(), 3);
    EXPECT_EQ(sql.get_entry(2).message, "Bad SQL.");
    EXPECT_EQ(sql.get_entry(2).code, 7);

    // Family A and the plain family-B forms only transfer.
    tovi::exception h = two_entries();
    tovi::value_is_null null_value(h);
    EXPECT_EQ(null_value.get_count(), 2);
    tovi::bad_data data(null_value);
    EXPECT_EQ(data.get_count(), 2);
    tovi::bad_operation op(data, "wrapped", 9);
    EXPECT_EQ(op.get_error_text(), "driver said no\ncontext\nwrapped\n");

    tovi::exception i = two_entries();
    tovi::no_data_found custom(i, 4, "nothing there");
    EXPECT_EQ(custom.get_entry(2).message, "nothing there");
    EXPECT_EQ(custom.get_entry(2).code, 4);
}

TEST(ExceptionStack, ElevenVisibleEntriesAndEveryMessageReported) {
    ReportCapture capture;
    tovi::exception e("m0", 0);
    for (int i = 1; i < 14; ++i) e.set_data("m" + std::to_string(i), i);
    EXPECT_EQ(e.get_count(), 11);
    std::string expected;
    for (int i = 0; i < 11; ++i) expected += "m" + std::to_string(i) + "\n";
    EXPECT_EQ(e.get_error_text(), expected);
    ASSERT_EQ(reported.size(), 14u);
    EXPECT_EQ(reported[13], std::make_pair(13, std::string("m13")));
}

TEST(ExceptionStack, AddingToATransferredObjectIsSafe) {
    tovi::exception e = two_entries();
    tovi::exception keeper(e);
    e.set_data("late", 1);
    EXPECT_EQ(e.get_error_text(), "late\n");
    EXPECT_EQ(keeper.get_count(), 2);
    EXPECT_STREQ(tovi::exception(keeper).what(), "driver said no");
    EXPECT_STREQ(keeper.what(), "tovi::exception");
}
