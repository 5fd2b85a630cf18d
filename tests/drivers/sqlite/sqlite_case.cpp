// The SQLite driver in the conformance suite.
#include "conformance.hpp"

TOVI_CONFORMANCE_CASE(sqlite) {
    tovi_conformance::driver_case c;
    c.name = "sqlite";
    c.url = "/SQLITE";
    c.database = [](const std::string& dir) { return dir + "/conformance.db"; };
    c.lacks("typed_dates",
            "SQLite has no date type: a date is kept as seconds since the epoch in an integer "
            "column and reads as that number");
    return c;
}
