// The SQLite driver in the conformance suite.
#include "conformance.hpp"

TOVI_CONFORMANCE_CASE(sqlite) {
    tovi_conformance::driver_case c;
    c.name = "sqlite";
    c.url = "/SQLITE";
    c.database = [](const std::string& dir) { return dir + "/conformance.db"; };
    c.lacks("variant_doubles", "binds whole numbers, text and NULL from variants only");
    return c;
}
