// The skeleton driver in the conformance suite, with what it does not do.
#include "conformance.hpp"

TOVI_CONFORMANCE_CASE(skeleton) {
    tovi_conformance::driver_case c;
    c.name = "skeleton";
    c.url = "/SQLITE_EMB";
    c.database = [](const std::string& dir) { return dir + "/conformance.db"; };
    c.lacks("typed_dates",
            "SQLite has no date type: a date is kept as seconds since the epoch in an integer "
            "column and reads as that number");
    return c;
}
