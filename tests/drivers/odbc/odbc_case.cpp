// The ODBC driver in the conformance suite, through unixODBC and Debian's SQLite
// ODBC driver registered in a private odbcinst.ini.
#include "conformance.hpp"
#include "support/odbc_registry.hpp"

TOVI_CONFORMANCE_CASE(odbc) {
    // unixODBC reads its registry once per process: cases register at start-up.
    tovi_test::process_registry().add("SQLite3 ODBC Driver", TOVI_TEST_SQLITE_ODBC_DRIVER);
    tovi_conformance::driver_case c;
    c.name = "odbc";
    c.url = "/ODBC/SQLite3 ODBC Driver";
    c.database = [](const std::string& dir) { return dir + "/conformance.db"; };
    c.date_type = "TIMESTAMP";
    c.lacks("exact_doubles", "Debian's SQLite ODBC driver reads a REAL through its 15-digit text");
    c.lacks("lazy_prepare",
            "prepares at parse (SQLPrepare), so a text that fails there never enters the cache");
    c.lacks(
        "concurrent_readers",
        "in manual-commit mode a reading SQLite connection keeps its shared lock until it commits, "
        "so the writer's COMMIT waits for it");
    return c;
}
