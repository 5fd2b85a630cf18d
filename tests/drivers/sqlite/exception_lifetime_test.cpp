// An exception thrown by a module's code and caught after tovi::api has ended
// (and so after the module was unloaded) must still be a whole object: its
// type information and virtual table live in libtovi.so. Each case runs in a
// child process, so a crash fails the case instead of the runner.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <typeinfo>

#include "support/temp_dir.hpp"

namespace {

// Runs `body` in a child; true when it exited 0.
bool in_child(const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        int rc = 99;
        try {
            rc = body();
        } catch (...) {
            rc = 98;
        }
        _exit(rc);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct failing_sql {
    const char* name;
    const char* sql;
};

// Throws the classified exception of `sql`, caught only after the library ended.
template <class Expected>
int classified_after_shutdown(const std::string& file, const char* sql) {
    try {
        tovi::api library;
        tovi::uurl_t url("/SQLITE", "", "", file);
        tovi::udata_source ds(url);
        tovi::statement st(ds, 1);
        st.execute("CREATE TABLE IF NOT EXISTS p(id INTEGER PRIMARY KEY)");
        st.execute("CREATE TABLE IF NOT EXISTS c(id INTEGER)");
        st.execute(
            "CREATE TRIGGER IF NOT EXISTS c_ins BEFORE INSERT ON c BEGIN "
            "SELECT RAISE(ABORT, 'id violates foreign key fk: p(id)'); END");
        st.execute("INSERT OR IGNORE INTO p VALUES(1)");
        st.execute(sql);
    } catch (const Expected& e) {
        // The module is gone by now; the object must still work.
        const std::string text = e.get_error_text();
        const tovi::exception& base = e;
        return text.empty() || typeid(base) != typeid(Expected) ? 2 : 0;
    }
    return 1;
}

// Guards: a caught exception whose code lives in an unloaded module (a crash after
// fini).
TEST(ExceptionLifetime, ClassifiedErrorsOutliveTheirModule) {
    tovi_test::temp_dir dir;
    const std::string file = dir.file("x.db");
    EXPECT_TRUE(in_child([&] {
        return classified_after_shutdown<tovi::dup_value_on_index>(file, "INSERT INTO p VALUES(1)");
    }));
    EXPECT_TRUE(in_child([&] {
        return classified_after_shutdown<tovi::no_schema_obj_found>(file, "SELECT * FROM nowhere");
    }));
    EXPECT_TRUE(in_child([&] {
        return classified_after_shutdown<tovi::schema_obj_already_exists>(
            file, "CREATE TABLE p(a INTEGER)");
    }));
    EXPECT_TRUE(in_child([&] {
        return classified_after_shutdown<tovi::integrity_violation>(file,
                                                                    "INSERT INTO c VALUES(42)");
    }));
    EXPECT_TRUE(in_child(
        [&] { return classified_after_shutdown<tovi::exception>(file, "NOT SQL AT ALL"); }));
}

}  // namespace
