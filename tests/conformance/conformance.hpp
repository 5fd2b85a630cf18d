// The one test suite every driver runs: a case names a driver by its URL and
// says what it can do; differences are capabilities, skipped with a reason.
#ifndef TOVI_TESTS_CONFORMANCE_CONFORMANCE_HPP
#define TOVI_TESTS_CONFORMANCE_CONFORMANCE_HPP

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace tovi_conformance {

struct driver_case {
    std::string name;
    std::string url;
    // The database name for a fresh database in `dir` (a file there, or a DSN).
    std::function<std::string(const std::string& dir)> database;
    std::string user;
    std::string password;
    // SQL types for the round-trip table.
    std::string integer_type = "INTEGER";
    std::string real_type = "REAL";
    std::string text_type = "TEXT";
    std::string blob_type = "BLOB";
    std::string date_type = "INTEGER";
    bool variant_doubles = false;  // binds a double held in a variant
};

inline std::ostream& operator<<(std::ostream& os, const driver_case& c) { return os << c.name; }

// Every driver case this build runs.
std::vector<driver_case> all_cases();

}  // namespace tovi_conformance

#endif
