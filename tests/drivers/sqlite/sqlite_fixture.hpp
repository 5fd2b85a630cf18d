// A fresh SQLite database file per test, opened through the real tovi_sqlite
// module, with small helpers the SQLite driver tests share.
#ifndef TOVI_TESTS_DRIVERS_SQLITE_SQLITE_FIXTURE_HPP
#define TOVI_TESTS_DRIVERS_SQLITE_SQLITE_FIXTURE_HPP

#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "support/sqlite_spy.hpp"
#include "support/temp_dir.hpp"

namespace tovi_test {

class sqlite_fixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (watch_sqlite) sqlite_spy::instance();  // installed before any connection opens
        tovi::api::init();
        open("main.db");
    }
    void TearDown() override {
        ds.reset();
        url.reset();
        tovi::api::fini();
    }
    void open(const std::string& file) {
        ds.reset();
        url = std::make_unique<tovi::uurl_t>("/SQLITE", "", "", dir.file(file));
        ds = std::make_unique<tovi::udata_source>(*url);
    }
    void exec(const std::string& sql) {
        tovi::statement st(*ds, 1);
        st.execute(sql);
    }
    // The first column of the first row of `sql`, as a number.
    long scalar(const std::string& sql) {
        tovi::statement st(*ds, 1);
        long n = -1;
        st.parse(sql);
        st >> n;
        st.execute();
        if (!st.next()) ADD_FAILURE() << "no row from " << sql;
        return n;
    }
    static std::string error_of(const std::function<void()>& f) {
        try {
            f();
        } catch (const tovi::exception& e) {
            return e.get_error_text();
        }
        return "(no error)";
    }

    // The spy records from every connection without a lock: tests that use
    // threads go without it.
    bool watch_sqlite = true;
    temp_dir dir;
    std::unique_ptr<tovi::uurl_t> url;
    std::unique_ptr<tovi::udata_source> ds;
};

}  // namespace tovi_test

#endif
