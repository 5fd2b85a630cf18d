// The fixture of the conformance suite: a fresh database of the case's driver
// per check, a data source on it, and helpers every check file shares.
#ifndef TOVI_TESTS_CONFORMANCE_CONFORMANCE_FIXTURE_HPP
#define TOVI_TESTS_CONFORMANCE_CONFORMANCE_FIXTURE_HPP

#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "conformance.hpp"
#include "support/temp_dir.hpp"

// Skips the rest of a check when the driver lacks `capability`, with its reason.
#define TOVI_REQUIRE(capability)                                         \
    if (!GetParam().has(capability))                                     \
    GTEST_SKIP() << GetParam().name << " lacks " << (capability) << ": " \
                 << GetParam().missing.at(capability)

namespace tovi_conformance {

class Conformance : public ::testing::TestWithParam<driver_case> {
protected:
    void SetUp() override {
        const driver_case& c = GetParam();
        if (c.set_up) c.set_up();
        tovi::api::init();
        database = c.database(dir.path());
        url = std::make_unique<tovi::uurl_t>(c.url, c.user, c.password, database);
        ds = std::make_unique<tovi::udata_source>(*url);
    }
    void TearDown() override {
        ds.reset();
        url.reset();
        tovi::api::fini();
        if (GetParam().tear_down) GetParam().tear_down();
    }
    void exec(const std::string& sql) {
        tovi::statement st(*ds, 1);
        st.execute(sql);
        if (GetParam().commit_after_ddl && is_ddl_text(sql)) st.trans->commit();
    }
    // Commits the data source's pending work (before checks whose failures
    // would take it along where a failed statement aborts its transaction).
    void commit_pending() {
        tovi::statement st(*ds, 1);
        st.trans->commit();
    }
    // After an expected failure: where the engine aborts the transaction at a
    // failed statement, the data source's transaction starts afresh.
    void after_failure() {
        if (GetParam().has("statements_fail_alone")) return;
        tovi::statement st(*ds, 1);
        st.trans->rollback();
    }
    // An ORDER BY key that puts NULLs first on every database (PostgreSQL sorts
    // them last).
    static std::string nulls_first(const std::string& column) {
        return "CASE WHEN " + column + " IS NULL THEN 0 ELSE 1 END, " + column;
    }
    // What error contexts name as the database.
    std::string context_database() const {
        return GetParam().context_database.empty() ? database : GetParam().context_database;
    }
    // The start of a statement's context, and what precedes the statistics.
    std::string context_start(const std::string& sql) const {
        if (GetParam().statement_context) return GetParam().statement_context(sql);
        return "[Statement: '" + sql + "'][Driver: ";
    }
    std::string context_end(const std::string& sql) const {
        if (GetParam().statement_context) return GetParam().statement_context(sql);
        const std::string& server = GetParam().context_server;
        return "; Database: '" + context_database() + "'" +
               (server.empty() ? std::string() : "; Server: '" + server + "'") + "]" +
               GetParam().before_statistics;
    }
    static bool is_ddl_text(const std::string& sql) {
        for (const char* word : {"CREATE", "DROP", "ALTER"})
            if (sql.rfind(word, 0) == 0) return true;
        return false;
    }
    // Runs the statements of a schema tree (sql::Create, sql::Drop) in a
    // transaction of their own, committed.
    void run_script(const sql::expr_t& tree) {
        tovi::transaction tx(*ds);
        sql::script sc(tx);
        sc.parse(tree);
        sc.execute();
        tx.commit();
    }
    long count(const std::string& table) {
        tovi::statement st(*ds, 1);
        long n = -1;
        st.parse("SELECT COUNT(*) FROM " + table);
        st >> n;
        st.execute();
        EXPECT_TRUE(st.next());
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
    // A second data source on the same database, with its own connection.
    std::unique_ptr<tovi::udata_source> second_source(const std::string& user,
                                                      const std::string& password) {
        second_url = std::make_unique<tovi::uurl_t>(GetParam().url, user, password, database);
        return std::make_unique<tovi::udata_source>(*second_url);
    }

    tovi_test::temp_dir dir;
    std::string database;
    std::unique_ptr<tovi::uurl_t> second_url;
    std::unique_ptr<tovi::uurl_t> url;
    std::unique_ptr<tovi::udata_source> ds;
};

}  // namespace tovi_conformance

#endif
