// The one test suite every driver runs. A driver joins it from its own test
// folder with a case file: the case names the driver by its URL, says how to
// make a fresh database, and lists what it cannot do as capabilities with
// reasons (each skipped check says why). See docs/writing-a-driver.md.
//
//   // tests/drivers/<x>/<x>_case.cpp
//   #include "conformance.hpp"
//   TOVI_CONFORMANCE_CASE(x) {
//       tovi_conformance::driver_case c;
//       c.name = "x";
//       c.url = "/X";
//       c.database = [](const std::string& dir) { return dir + "/conformance.db"; };
//       c.lacks("typed_dates", "the engine has no date type");
//       return c;
//   }
#ifndef TOVI_TESTS_CONFORMANCE_CONFORMANCE_HPP
#define TOVI_TESTS_CONFORMANCE_CONFORMANCE_HPP

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace tovi::impl {
class transaction;
}

namespace tovi_conformance {

struct driver_case {
    std::string name;
    std::string url;
    // The database name for a fresh database in `dir` (a file there, or a DSN).
    std::function<std::string(const std::string& dir)> database;
    std::string user;
    std::string password;
    // What error contexts name as the database, when not the database name (a
    // server's host, say).
    std::string context_database;
    // The server a statement's context names after the database, if any:
    // "...; Database: '<db>'; Server: '<server>']".
    std::string context_server;
    // What stands between a statement's context and the cache statistics.
    std::string before_statistics;
    // The context a driver of its own format writes for a statement of `sql`, up
    // to the statistics; empty: "[Statement: '<sql>'][Driver: <tag>; Database:
    // '<database>']" and before_statistics, as the framework writes it.
    std::function<std::string(const std::string& sql)> statement_context;
    // SQL types for the round-trip tables.
    std::string integer_type = "INTEGER";
    std::string real_type = "REAL";
    std::string text_type = "TEXT";
    std::string blob_type = "BLOB";
    std::string clob_type;  // large text; empty: text_type
    std::string date_type = "INTEGER";
    std::string boolean_type = "INTEGER";
    // Run before and after each check (a server to start, files to remove).
    std::function<void()> set_up;
    std::function<void()> tear_down;
    // Quirks: commit after DDL before the next statement uses the new object.
    bool commit_after_ddl = false;

    // Capabilities the driver lacks, each with its reason.
    std::map<std::string, std::string> missing;
    void lacks(const std::string& capability, const std::string& reason) {
        missing[capability] = reason;
    }
    bool has(const std::string& capability) const { return missing.count(capability) == 0; }
};

inline std::ostream& operator<<(std::ostream& os, const driver_case& c) {
    return os << c.name;
}

// Every registered case, in the order of their names.
std::vector<driver_case> all_cases();

// What TOVI_CONFORMANCE_CASE expands to: a registration at start-up.
struct case_registration {
    explicit case_registration(driver_case (*make)());
};

}  // namespace tovi_conformance

// Defines and registers a driver's case: the body returns the driver_case.
#define TOVI_CONFORMANCE_CASE(id)                                                          \
    static ::tovi_conformance::driver_case tovi_conformance_case_##id();                   \
    static const ::tovi_conformance::case_registration tovi_conformance_registration_##id( \
        &tovi_conformance_case_##id);                                                      \
    static ::tovi_conformance::driver_case tovi_conformance_case_##id()

#endif
