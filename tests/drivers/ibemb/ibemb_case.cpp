// Embedded Firebird in the conformance suite: each check's database file in its
// own directory, created by the driver on first connection.
#include <cstdlib>

#include "conformance.hpp"
#include "support/temp_dir.hpp"

TOVI_CONFORMANCE_CASE(ibemb) {
    // The engine's lock files go to a directory of this process (read once, at
    // the engine's start).
    static tovi_test::temp_dir locks;
    setenv("FIREBIRD_LOCK", locks.path().c_str(), 1);
    tovi_conformance::driver_case c;
    c.name = "ibemb";
    c.url = "/InterBase_EMB";
    c.user = "SYSDBA";
    c.database = [](const std::string& dir) { return dir + "/conformance.fdb"; };
    c.integer_type = "BIGINT";
    c.real_type = "DOUBLE PRECISION";
    c.text_type = "VARCHAR(8000)";
    c.clob_type = "BLOB SUB_TYPE 1";
    c.blob_type = "BLOB";
    c.boolean_type = "BOOLEAN";
    c.date_type = "TIMESTAMP";
    c.commit_after_ddl = true;
    c.before_statistics = " ";
    c.lacks("commit_purges_cache",
            "commits retaining: the native transaction and its prepared statements stay");
    c.lacks("read_only_file_reads",
            "the engine attaches a read-write database read-write only: a read-only file is "
            "refused at connection");
    return c;
}
