// Failures every driver classifies alike, whatever its engine's words for them.
#include <sys/stat.h>

#include <tovi/tovi.hpp>

#include <gtest/gtest.h>

#include "conformance_fixture.hpp"
#include "support/file_permissions.hpp"

using tovi_conformance::Conformance;

// A database file the process may only read: its rows read as ever, and a write
// is refused as permission_denied, on every road to the file (an engine that
// attaches read-write only refuses the connection so).
TEST_P(Conformance, AReadOnlyDatabaseFileReadsAndRefusesWritesAsPermissionDenied) {
    TOVI_REQUIRE("database_file");
    exec("CREATE TABLE kept(id " + GetParam().integer_type + ")");
    {
        tovi::transaction tx(*ds);
        tovi::statement(tx, 1).execute("INSERT INTO kept VALUES(1)");
        tx.commit();
    }
    // The pooled connection opened the file writable: the next one must not.
    ds.reset();
    tovi::api::fini();
    tovi::api::init();
    ASSERT_EQ(chmod(database.c_str(), 0444), 0);
    {
        tovi_test::file_permissions_hold hold;
        ds = std::make_unique<tovi::udata_source>(*url);
        if (!GetParam().has("read_only_file_reads")) {
            EXPECT_THROW(count("kept"), tovi::permission_denied);
        } else {
            EXPECT_EQ(count("kept"), 1);
            const std::string insert = "INSERT INTO kept VALUES(2)";
            try {
                exec(insert);
                ADD_FAILURE() << "a write to a read-only file succeeded";
            } catch (const tovi::permission_denied& e) {
                EXPECT_NE(e.get_error_text().find(context_start(insert)), std::string::npos)
                    << e.get_error_text();
            } catch (const tovi::exception& e) {
                ADD_FAILURE() << "not permission_denied: " << e.get_error_text();
            }
        }
        ds.reset();
        tovi::api::fini();
    }
    chmod(database.c_str(), 0644);
    tovi::api::init();
    ds = std::make_unique<tovi::udata_source>(*url);
    EXPECT_EQ(count("kept"), 1);
}
