// The ADO driver in the conformance suite: the Jet provider of tovi's ADO
// stand-in, a database file per check (created by the driver when missing).
#include "conformance.hpp"

TOVI_CONFORMANCE_CASE(ado_jet) {
    tovi_conformance::driver_case c;
    c.name = "ado_jet";
    c.url = "/ADO/Microsoft.Jet.OLEDB.4.0";
    c.database = [](const std::string& dir) { return dir + "/conformance.mdb"; };
    c.integer_type = "LONG";
    c.real_type = "DOUBLE";
    c.text_type = "LONGTEXT";
    c.clob_type = "LONGTEXT";
    c.blob_type = "LONGBINARY";
    c.boolean_type = "BIT";
    c.date_type = "DATETIME";
    // An INSERT of values names the text it was given and the SELECT its row
    // goes through; every context names the provider.
    c.statement_context = [](const std::string& sql) {
        std::string context;
        if (sql.rfind("INSERT INTO ", 0) == 0) {
            const std::string table = sql.substr(12, sql.find(' ', 12) - 12);
            context =
                "[Original statement: '" + sql + "'; Current statement: 'SELECT * FROM " + table;
        } else {
            context = "[statement: '" + sql;
        }
        return context + "'] [Driver: tovi_ado; Provider: Microsoft.Jet.OLEDB.4.0]";
    };
    c.lacks("with_queries", "Jet SQL has no WITH");
    c.lacks("commit_purges_cache", "an ADO recordset outlives commits: the cached statements stay");
    c.lacks("wide_portable_long", "Jet's widest integer type, LONG, holds 32 bits");
    c.lacks("true_reads_as_one",
            "values convert through OLE Automation, where true is VARIANT_TRUE, -1");
    c.lacks("exact_whole_numbers",
            "a field reads into a long through OLE Automation (VariantChangeType), which rounds "
            "half to even");
    return c;
}
