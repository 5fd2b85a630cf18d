// The ADO stand-in as the library it is: objects by ProgID, the Jet provider's
// files, Jet DDL on SQLite (COUNTER, foreign keys added by ALTER TABLE), values
// as VARIANTs both ways, transactions, and failures with Jet's numbers in the
// Errors collection.
#include <adodb.hpp>
#include <jet_provider.hpp>

#include <gtest/gtest.h>

#include <boost/filesystem.hpp>

#include <fstream>
#include <functional>
#include <string>

namespace {

namespace fs = boost::filesystem;
using adodb::ptr;

class AdoStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / fs::unique_path("adodb-%%%%-%%%%");
        fs::create_directories(dir);
        file = (dir / "jet.mdb").string();
        connection_string = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file;
    }
    void TearDown() override { fs::remove_all(dir); }

    ptr<adodb::Connection> open() {
        if (!fs::exists(file)) {
            ptr<adox::Catalog> catalog;
            EXPECT_EQ(catalog.CreateInstance("ADOX.Catalog"), S_OK);
            catalog->Create(connection_string.c_str());
        }
        ptr<adodb::Connection> c;
        EXPECT_EQ(c.CreateInstance("ADODB.Connection"), S_OK);
        c->PutMode(0);
        c->Open(connection_string.c_str(), "", "", adodb::adConnectUnspecified);
        return c;
    }
    static long run(adodb::Connection* c, const std::string& text) {
        _variant_t affected;
        c->Execute(text.c_str(), &affected, adodb::adCmdText | adodb::adExecuteNoRecords);
        return affected.lVal;
    }
    // The native number and description a failing call leaves in Errors.
    static std::pair<long, std::string> failure(adodb::Connection* c,
                                                const std::function<void()>& call) {
        try {
            call();
        } catch (const adodb::com_error& e) {
            ptr<adodb::Errors> errors = c->GetErrors();
            if (errors->GetCount() == 0) return {0, e.Description().str()};
            ptr<adodb::Error> first = errors->GetItem(_variant_t(0));
            EXPECT_EQ(first->GetDescription().str(), e.Description().str());
            return {first->GetNativeError(), first->GetDescription().str()};
        }
        return {1, "no failure"};
    }
    static ptr<adodb::Command> command(adodb::Connection* c, const std::string& text) {
        ptr<adodb::Command> cmd;
        EXPECT_EQ(cmd.CreateInstance("ADODB.Command"), S_OK);
        cmd->PutRefActiveConnection(c);
        cmd->PutCommandType(adodb::adCmdText);
        cmd->PutCommandText(text.c_str());
        return cmd;
    }
    static long count(adodb::Connection* c, const std::string& table) {
        ptr<adodb::Recordset> rows =
            c->Execute(("SELECT count(*) FROM " + table).c_str(), nullptr, 1);
        return static_cast<long>(rows->GetFields()->GetItem(_variant_t(0))->GetValue());
    }

    fs::path dir;
    std::string file, connection_string;
};

// Guards: a missing or foreign file opened as an empty database, or created twice over
// existing data.
TEST_F(AdoStandIn, DatabaseFilesAreCreatedOnceAndOpenedOnlyWhenTheyAreDatabases) {
    ptr<adodb::Connection> c;
    ASSERT_EQ(c.CreateInstance("ADODB.Connection"), S_OK);
    // A missing file, another provider, another kind of file: each fails clearly.
    auto missing = failure(c.get(), [&] { c->Open(connection_string.c_str(), "", "", -1); });
    EXPECT_EQ(missing.first, adodb::jet::file_not_found);
    EXPECT_EQ(missing.second, "Could not find file '" + file + "'.");
    auto other = failure(
        c.get(), [&] { c->Open(("Provider=SQLOLEDB;Data Source=" + file).c_str(), "", "", -1); });
    EXPECT_EQ(other.second, "Provider cannot be found. It may not be properly installed.");
    std::ofstream(file + ".txt")
        << "not a database, just text that is long enough to have a header......";
    auto text = failure(c.get(), [&] {
        c->Open(("Provider=Microsoft.Jet.OLEDB.4.0; data source = " + file + ".txt").c_str(), "",
                "", -1);
    });
    EXPECT_EQ(text.first, adodb::jet::unrecognized_format);
    EXPECT_EQ(c->GetState(), adodb::adStateClosed);

    ptr<adox::Catalog> catalog;
    ASSERT_EQ(catalog.CreateInstance("ADOX.Catalog"), S_OK);
    catalog->Create(connection_string.c_str());
    EXPECT_TRUE(fs::exists(file));
    try {
        catalog->Create(connection_string.c_str());
        ADD_FAILURE() << "created twice";
    } catch (const adodb::com_error& e) {
        EXPECT_EQ(e.Description().str(), "Database already exists.");
    }
    c->Open(connection_string.c_str(), "Admin", "", -1);
    EXPECT_EQ(c->GetState(), adodb::adStateOpen);
    EXPECT_EQ(c->GetVersion().str(), "2.8");
    // The Jet properties by name (any case); an unknown one is not there.
    ptr<adodb::Properties> properties = c->GetProperties();
    for (const char* name : {"Jet OLEDB:User Commit Sync", "Jet OLEDB:Implicit Commit Sync",
                             "jet oledb:page timeout", "Jet OLEDB:Max Locks Per File"}) {
        ptr<adodb::Property> p = properties->GetItem(name);
        p->PutValue(_variant_t(short(-1)));
        EXPECT_EQ(static_cast<long>(p->GetValue()), -1);
    }
    EXPECT_THROW(properties->GetItem("Jet OLEDB:No Such Thing"), adodb::com_error);
    EXPECT_THROW(c->PutMode(0), adodb::com_error);  // not while open
}

// Guards: a Jet type stored as another (SQLite underneath is typeless) and COUNTER keys
// not numbered.
TEST_F(AdoStandIn, JetTypesHoldTheirValuesAndCountersNumberRows) {
    ptr<adodb::Connection> c = open();
    run(c.get(),
        "CREATE TABLE t (id COUNTER, name Text(50), n LONG, pic LONGBINARY, body LONGTEXT, x "
        "DOUBLE, flag BIT, "
        "at DATETIME, PRIMARY KEY (id))");
    ptr<adodb::Command> all = command(c.get(), "SELECT * FROM t");
    ptr<adodb::Recordset> adder;
    ASSERT_EQ(adder.CreateInstance("ADODB.Recordset"), S_OK);
    adder->Open(all.get(), _variant_t(), adodb::adOpenForwardOnly, adodb::adLockOptimistic,
                adodb::adCmdText);
    ptr<adodb::Fields> fields = adder->GetFields();
    ASSERT_EQ(fields->GetCount(), 8);
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 3);
    BYTE* data = nullptr;
    SafeArrayAccessData(bytes, reinterpret_cast<void**>(&data));
    data[0] = 0, data[1] = 0xff, data[2] = 7;
    SafeArrayUnaccessData(bytes);
    _variant_t blob;
    blob.vt = VT_ARRAY | VT_UI1;
    blob.parray = bytes;
    for (int row = 0; row < 2; ++row) {
        adder->AddNew();
        EXPECT_EQ(adder->GetEditMode(), adodb::adEditAdd);
        fields->GetItem("NAME")->PutValue(L"K\u00f6ln");
        fields->GetItem("n")->PutValue(_variant_t(5000000000L));  // beyond 32 bits
        fields->GetItem("pic")->PutValue(blob);
        fields->GetItem("body")->PutValue(std::string(5000, 'b').c_str());
        fields->GetItem("x")->PutValue(0.1);
        fields->GetItem("flag")->PutValue(true);
        fields->GetItem("at")->PutValue(_variant_t(36526.5, VT_DATE));
        adder->Update();
    }
    adder->Close();
    ptr<adodb::Recordset> rows;
    ASSERT_EQ(rows.CreateInstance("ADODB.Recordset"), S_OK);
    rows->PutCacheSize(1000);
    rows->Open(all.get(), _variant_t(), adodb::adOpenForwardOnly, adodb::adLockReadOnly,
               adodb::adCmdText);
    EXPECT_EQ(rows->GetRecordCount(), -1);
    for (long id = 1; id <= 2; ++id) {
        ASSERT_FALSE(rows->GetadoEOF());
        ptr<adodb::Fields> f = rows->GetFields();
        _variant_t v = f->GetItem(_variant_t(0))->GetValue();
        EXPECT_EQ(v.vt, VT_I4);
        EXPECT_EQ(v.lVal, id);  // numbered by the counter
        EXPECT_EQ(_bstr_t(f->GetItem("name")->GetValue()), _bstr_t(L"K\u00f6ln"));
        v = f->GetItem("n")->GetValue();
        EXPECT_EQ(v.vt, VT_I8);
        EXPECT_EQ(v.llVal, 5000000000LL);
        v = f->GetItem("pic")->GetValue();
        ASSERT_EQ(v.vt, VT_ARRAY | VT_UI1);
        LONG high = 0;
        SafeArrayGetUBound(v.parray, 1, &high);
        EXPECT_EQ(high, 2);
        EXPECT_EQ(_bstr_t(f->GetItem("body")->GetValue()).length(), 5000u);
        EXPECT_EQ(f->GetItem("x")->GetValue().vt, VT_R8);
        v = f->GetItem("flag")->GetValue();
        EXPECT_EQ(v.vt, VT_BOOL);
        EXPECT_EQ(v.boolVal, VARIANT_TRUE);
        v = f->GetItem("at")->GetValue();
        EXPECT_EQ(v.vt, VT_DATE);
        EXPECT_EQ(v.date, 36526.5);
        EXPECT_EQ(f->GetItem("name")->GetType(), adodb::adVarWChar);
        EXPECT_EQ(f->GetItem("pic")->GetType(), adodb::adLongVarBinary);
        EXPECT_THROW(f->GetItem("x")->PutValue(1.0), adodb::com_error);  // read only
        rows->MoveNext();
    }
    EXPECT_TRUE(rows->GetadoEOF());
    EXPECT_THROW(rows->MoveNext(), adodb::com_error);
    EXPECT_THROW(rows->GetFields()->GetItem(_variant_t(1))->GetValue(), adodb::com_error);
    rows->Close();
    EXPECT_EQ(rows->GetState(), adodb::adStateClosed);
    // A value left unset is NULL, a counter still numbers the row.
    run(c.get(), "INSERT INTO t (name) VALUES ('third')");
    ptr<adodb::Recordset> third =
        c->Execute("SELECT id, n FROM t WHERE name = 'third'", nullptr, 1);
    EXPECT_EQ(third->GetFields()->GetItem(_variant_t(0))->GetValue().lVal, 3);
    EXPECT_EQ(third->GetFields()->GetItem(_variant_t(1))->GetValue().vt, VT_NULL);
}

// Guards: command parameters bound to the wrong marker, and a requery showing stale
// rows.
TEST_F(AdoStandIn, CommandsTakeParametersAndRecordsetsRequery) {
    ptr<adodb::Connection> c = open();
    run(c.get(), "CREATE TABLE t (a LONG, b Text(20))");
    ptr<adodb::Command> insert = command(c.get(), "INSERT INTO t VALUES (?, ?)");
    ptr<adodb::Parameters> params = insert->GetParameters();
    ASSERT_EQ(params->GetCount(), 2);
    for (long i = 0; i < 10; ++i) {
        params->GetItem(_variant_t(0))->PutValue(_variant_t(i));
        params->GetItem(_variant_t(1))->PutValue(i % 2 ? "odd" : "even");
        _variant_t affected;
        insert->Execute(&affected, nullptr, adodb::adCmdText | adodb::adExecuteNoRecords);
        EXPECT_EQ(affected.lVal, 1);
    }
    EXPECT_EQ(run(c.get(), "UPDATE t SET b = 'x' WHERE a >= 5"), 5);
    EXPECT_EQ(run(c.get(), "CREATE INDEX ia ON t (a)"), 0);  // DDL changes no rows
    ptr<adodb::Command> select = command(c.get(), "SELECT a FROM t WHERE a >= ? ORDER BY a");
    select->GetParameters()->GetItem(_variant_t(0))->PutValue(_variant_t(8));
    ptr<adodb::Recordset> rows;
    ASSERT_EQ(rows.CreateInstance("ADODB.Recordset"), S_OK);
    rows->Open(select.get(), _variant_t(), adodb::adOpenForwardOnly, adodb::adLockReadOnly, 1);
    EXPECT_FALSE(rows->GetBOF());
    long seen = 0;
    for (; !rows->GetadoEOF(); rows->MoveNext())
        seen += rows->GetFields()->GetItem(_variant_t(0))->GetValue().lVal;
    EXPECT_EQ(seen, 8 + 9);
    EXPECT_THROW(
        rows->Open(select.get(), _variant_t(), adodb::adOpenForwardOnly, adodb::adLockReadOnly, 1),
        adodb::com_error);  // already open
    select->GetParameters()->GetItem(_variant_t(0))->PutValue(_variant_t(100));
    rows->Requery(1);
    EXPECT_TRUE(rows->GetadoEOF());
    EXPECT_TRUE(rows->GetBOF());
    // A reopened connection prepares the command again.
    rows->Close();
    c->Close();
    EXPECT_THROW(select->Execute(nullptr, nullptr, 0x81), adodb::com_error);
    c->Open(connection_string.c_str(), "", "", -1);
    select->GetParameters()->GetItem(_variant_t(0))->PutValue(_variant_t(0));
    rows->Open(select.get(), _variant_t(), adodb::adOpenForwardOnly, adodb::adLockReadOnly, 1);
    EXPECT_EQ(rows->GetFields()->GetItem(_variant_t(0))->GetValue().lVal, 0);
}

// Guards: an inner rollback undoing the outer level's work, and work of a closed
// connection surviving.
TEST_F(AdoStandIn, TransactionsNestAndEndWithCommitOrRollback) {
    ptr<adodb::Connection> c = open();
    ptr<adodb::Connection> other = open();
    run(c.get(), "CREATE TABLE t (a LONG)");
    EXPECT_EQ(c->BeginTrans(), 1);
    run(c.get(), "INSERT INTO t VALUES (1)");
    EXPECT_EQ(c->BeginTrans(), 2);
    run(c.get(), "INSERT INTO t VALUES (2)");
    c->RollbackTrans();  // the inner level only
    c->CommitTrans();
    EXPECT_EQ(count(other.get(), "t"), 1);
    c->BeginTrans();
    run(c.get(), "INSERT INTO t VALUES (3)");
    c->RollbackTrans();
    EXPECT_EQ(count(other.get(), "t"), 1);
    auto none = failure(c.get(), [&] { c->CommitTrans(); });
    EXPECT_EQ(none.second, "No transaction is active.");
    // A connection closed inside a transaction keeps nothing of it.
    c->BeginTrans();
    run(c.get(), "INSERT INTO t VALUES (4)");
    c->Close();
    EXPECT_EQ(count(other.get(), "t"), 1);
}

// Guards: a native failure reaching the dialect without Jet's number, a second
// statement in one text run, values stored that Jet refuses.
TEST_F(AdoStandIn, FailuresCarryJetNumbers) {
    ptr<adodb::Connection> c = open();
    adodb::Connection* k = c.get();
    run(k, "CREATE TABLE t (a LONG PRIMARY KEY, b Text(10))");
    run(k, "CREATE INDEX ib ON t (b)");
    run(k, "INSERT INTO t VALUES (1, 'x')");
    // (Duplicates, missing and existing tables: the conformance suite on Jet.)
    EXPECT_EQ(failure(k, [&] { run(k, "CREATE INDEX ib ON t (a)"); }).first,
              adodb::jet::index_exists);
    EXPECT_EQ(failure(k, [&] { run(k, "DROP INDEX nothing ON t"); }).first,
              adodb::jet::index_not_found);
    EXPECT_EQ(failure(k, [&] { run(k, "SELEC * FROM t"); }).first, adodb::jet::syntax);
    const auto two = failure(k, [&] { run(k, "DELETE FROM t; DROP TABLE t"); });
    EXPECT_EQ(two.first, adodb::jet::syntax);
    EXPECT_EQ(two.second, "Characters found after end of SQL statement.");
    EXPECT_EQ(count(k, "t"), 1);  // nothing of it ran
    ptr<adodb::Error> e = k->GetErrors()->GetItem(_variant_t(0));
    EXPECT_EQ(e->GetSQLState().str(), "42000");
    run(k, "DROP INDEX ib ON t");  // Jet's form works

    // What Jet refuses at write time is refused then, never stored to fail when read.
    run(k, "CREATE TABLE kinds (n LONG, s Text(10), d DATETIME, x DOUBLE, m LONGTEXT)");
    for (const char* bad :
         {"INSERT INTO kinds (n) VALUES ('abc')", "INSERT INTO kinds (n) VALUES (8.5)",
          "INSERT INTO kinds (d) VALUES ('not a date')",
          "INSERT INTO kinds (x) VALUES ('1.5 metres')"}) {
        SCOPED_TRACE(bad);
        const auto refused = failure(k, [&] { run(k, bad); });
        EXPECT_EQ(refused.first, adodb::jet::type_mismatch);
        EXPECT_EQ(refused.second, "Data type mismatch in criteria expression.");
    }
    EXPECT_EQ(
        failure(k, [&] { run(k, "INSERT INTO kinds (s) VALUES ('twenty characters..')"); }).first,
        adodb::jet::field_too_small);
    run(k, "INSERT INTO kinds (n, s, d, x, m) VALUES ('12', 'ten chars.', 36526.5, 2, 'any')");
    EXPECT_EQ(failure(k, [&] { run(k, "UPDATE kinds SET n = 'x'"); }).first,
              adodb::jet::type_mismatch);
    EXPECT_EQ(count(k, "kinds"), 1);
}

// Guards: constraints added by ALTER TABLE not holding (SQLite cannot add them
// natively), or their cascade and set-null rules.
TEST_F(AdoStandIn, ForeignKeysAddedByAlterTableAreEnforced) {
    ptr<adodb::Connection> c = open();
    adodb::Connection* k = c.get();
    run(k, "CREATE TABLE p (id LONG PRIMARY KEY)");
    run(k, "CREATE TABLE c (id LONG, pid LONG)");
    run(k, "CREATE TABLE n (id LONG, pid LONG)");
    run(k, "CREATE TABLE r (id LONG, pid LONG)");
    run(k, "INSERT INTO p VALUES (1)");
    run(k, "INSERT INTO p VALUES (2)");
    run(k, "INSERT INTO r VALUES (1, 3)");  // an orphan: the constraint cannot be added
    EXPECT_EQ(
        failure(
            k,
            [&] { run(k, "ALTER TABLE r ADD CONSTRAINT fr FOREIGN KEY (pid) REFERENCES p (id)"); })
            .first,
        adodb::jet::integrity);
    run(k, "DELETE FROM r");
    run(k,
        "ALTER TABLE c\nADD CONSTRAINT \"fc\"\nFOREIGN KEY (pid)\nREFERENCES p(id)\nON DELETE "
        "CASCADE");
    run(k,
        "ALTER TABLE n ADD CONSTRAINT fn FOREIGN KEY (pid) REFERENCES p (id) ON DELETE SET NULL");
    run(k, "ALTER TABLE r ADD CONSTRAINT fr FOREIGN KEY (pid) REFERENCES p (id)");
    const auto orphan = failure(k, [&] { run(k, "INSERT INTO c VALUES (1, 9)"); });
    EXPECT_EQ(orphan.first, adodb::jet::integrity);
    EXPECT_EQ(
        orphan.second,
        "You cannot add or change a record because a related record is required in table 'p'.");
    EXPECT_EQ(
        failure(
            k,
            [&] { run(k, "ALTER TABLE c ADD CONSTRAINT fc FOREIGN KEY (pid) REFERENCES p (id)"); })
            .first,
        adodb::jet::table_exists);             // the name is taken
    run(k, "INSERT INTO c VALUES (1, NULL)");  // no key, nothing to check
    run(k, "INSERT INTO c VALUES (2, 1)");
    run(k, "INSERT INTO n VALUES (1, 1)");
    run(k, "INSERT INTO r VALUES (1, 2)");
    EXPECT_EQ(failure(k, [&] { run(k, "DELETE FROM p WHERE id = 2"); }).first,
              adodb::jet::integrity);
    EXPECT_EQ(failure(k, [&] { run(k, "UPDATE p SET id = 5 WHERE id = 2"); }).first,
              adodb::jet::integrity);
    EXPECT_EQ(failure(k, [&] { run(k, "DROP TABLE p"); }).first, adodb::jet::in_relationship);
    run(k, "DELETE FROM p WHERE id = 1");  // cascades to c, sets n's key to NULL
    EXPECT_EQ(count(k, "c WHERE pid = 1"), 0);
    EXPECT_EQ(count(k, "n WHERE pid IS NULL"), 1);
    // Dropped relationships stop holding; a child table's drop takes its own.
    run(k, "ALTER TABLE r DROP CONSTRAINT \"fr\"");
    run(k, "INSERT INTO r VALUES (2, 42)");
    run(k, "DROP TABLE c");
    run(k, "DROP TABLE n");
    run(k, "DELETE FROM p");
    run(k, "DROP TABLE p");
    EXPECT_EQ(failure(k, [&] { run(k, "ALTER TABLE r DROP CONSTRAINT fr"); }).first,
              adodb::jet::index_not_found);
}

// Guards: a stack overflow on long DDL texts (found: std::regex recursion).
// Texts of any length fail cleanly: the provider's DDL forms were matched by
// std::regex, whose recursion as deep as the text overflowed the stack at about
// 100 000 characters.
TEST_F(AdoStandIn, HugeDdlTextsFailCleanly) {
    ptr<adodb::Connection> c = open();
    adodb::Connection* k = c.get();
    run(k, "CREATE TABLE p (id LONG PRIMARY KEY)");
    const std::string columns(200000, 'a');
    EXPECT_EQ(failure(k,
                      [&] {
                          run(k, "ALTER TABLE p ADD CONSTRAINT n FOREIGN KEY (" + columns +
                                     ") REFERENCES p (id)");
                      })
                  .first,
              adodb::jet::syntax);
    EXPECT_NE(failure(k, [&] { run(k, "DROP TABLE " + columns); }).first, 1);
    // A wide table still gets its COUNTER, however long its text.
    std::string wide = "CREATE TABLE" + std::string(100000, ' ') + "w (id COUNTER";
    for (int i = 0; i < 500; ++i) wide += ", c" + std::to_string(i) + " LONG";
    run(k, wide + ")");
    run(k, "INSERT INTO w (c0) VALUES (7)");
    run(k, "INSERT INTO w (c0) VALUES (8)");
    EXPECT_EQ(count(k, "w WHERE id = 2 AND c0 = 8"), 1);
}

// Guards: a failed Update() dropping the new row silently, or leaving it to be
// written with the next row (as ADO keeps it pending until CancelUpdate).
TEST_F(AdoStandIn, AFailedUpdateKeepsTheRowPendingUntilCancelled) {
    ptr<adodb::Connection> c = open();
    run(c.get(), "CREATE TABLE t (a LONG PRIMARY KEY, b Text(10))");
    run(c.get(), "INSERT INTO t VALUES (1, 'x')");
    ptr<adodb::Command> all = command(c.get(), "SELECT a, b FROM t");
    ptr<adodb::Recordset> rows;
    ASSERT_EQ(rows.CreateInstance("ADODB.Recordset"), S_OK);
    rows->Open(all.get(), _variant_t(), adodb::adOpenForwardOnly, adodb::adLockOptimistic, 1);
    rows->AddNew();
    rows->GetFields()->GetItem("a")->PutValue(_variant_t(1));
    EXPECT_EQ(failure(c.get(), [&] { rows->Update(); }).first, adodb::jet::duplicate_key);
    EXPECT_EQ(rows->GetEditMode(), adodb::adEditAdd);
    EXPECT_EQ(rows->GetFields()->GetItem("a")->GetValue().lVal, 1);
    rows->CancelUpdate();
    EXPECT_EQ(rows->GetEditMode(), adodb::adEditNone);
    // Two rows added through one recordset, each with other fields set: every value
    // lands in its own column, nothing of the first row in the second.
    rows->AddNew();
    rows->GetFields()->GetItem("a")->PutValue(_variant_t(2));
    rows->Update();
    rows->AddNew();
    rows->GetFields()->GetItem("b")->PutValue(L"y");
    rows->GetFields()->GetItem("a")->PutValue(_variant_t(3));
    rows->Update();
    ptr<adodb::Recordset> added =
        c->Execute("SELECT a, b FROM t WHERE a >= 2 ORDER BY a", nullptr, 1);
    EXPECT_EQ(added->GetFields()->GetItem("a")->GetValue().lVal, 2);
    EXPECT_EQ(added->GetFields()->GetItem("b")->GetValue().vt, VT_NULL);
    added->MoveNext();
    EXPECT_EQ(added->GetFields()->GetItem("a")->GetValue().lVal, 3);
    EXPECT_EQ(_bstr_t(added->GetFields()->GetItem("b")->GetValue()), _bstr_t(L"y"));
    // Read-only recordsets and those with a computed column add nothing.
    ptr<adodb::Recordset> read_only;
    ASSERT_EQ(read_only.CreateInstance("ADODB.Recordset"), S_OK);
    read_only->Open(all.get(), _variant_t(), adodb::adOpenForwardOnly, adodb::adLockReadOnly, 1);
    EXPECT_THROW(read_only->AddNew(), adodb::com_error);
    ptr<adodb::Command> join = command(c.get(), "SELECT a, a + 1 FROM t");
    ptr<adodb::Recordset> joined;
    ASSERT_EQ(joined.CreateInstance("ADODB.Recordset"), S_OK);
    joined->Open(join.get(), _variant_t(), adodb::adOpenForwardOnly, adodb::adLockOptimistic, 1);
    EXPECT_THROW(joined->AddNew(), adodb::com_error);
    EXPECT_EQ(count(c.get(), "t"), 3);
}

}  // namespace
