// A test on a fresh database of the test run's PostgreSQL server, one data source
// open on it; a derived fixture names the road (the URL of the server).
#ifndef TOVI_TESTS_SUPPORT_PG_FIXTURE_HPP
#define TOVI_TESTS_SUPPORT_PG_FIXTURE_HPP

#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/pg_server.hpp"
#include "support/temp_dir.hpp"

namespace tovi_test {

class pg_database_test : public ::testing::Test {
protected:
    // The URL of the server on the road under test.
    virtual std::string url() const = 0;

    void SetUp() override {
        database_ = server_.create(dir_.path());
        tovi::api::init();
        ds_ = source();
    }
    void TearDown() override {
        ds_.reset();
        urls_.clear();
        tovi::api::fini();
        server_.drop(database_);
    }
    // A data source on the test's database, with database options appended.
    std::unique_ptr<tovi::udata_source> source(const std::string& options = std::string()) {
        urls_.push_back(std::make_unique<tovi::uurl_t>(url(), server_.user, server_.password,
                                                       database_ + options));
        return std::make_unique<tovi::udata_source>(*urls_.back());
    }
    // Runs `sql` and commits it.
    void exec(const std::string& sql, tovi::data_source* on = nullptr) {
        tovi::statement st(on != nullptr ? *on : *ds_, 1);
        st.execute(sql);
        st.trans->commit();
    }

    pg_server server_{TOVI_TEST_PG_SERVER_ENV, TOVI_TEST_PG_SERVER_SCRIPT};
    temp_dir dir_;
    std::string database_;
    std::vector<std::unique_ptr<tovi::uurl_t>> urls_;
    std::unique_ptr<tovi::udata_source> ds_;
};

}  // namespace tovi_test

#endif
