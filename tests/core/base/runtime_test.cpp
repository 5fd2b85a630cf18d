// The core runtime against real modules loaded through the real loader: module
// selection and loading, the connection pool, transactions and statements.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "base/singleton.hpp"
#include "platform/dynlib.hpp"
#include "support/modules/test_log.hpp"

using tovi_test::count;

namespace {

std::string ds_error(const std::string& url, const std::string& database = "") {
    try {
        tovi::uurl_t u(url, "", "", database);
        tovi::udata_source ds(u);
    } catch (const tovi::ds_exception& e) {
        return e.what();
    }
    return "(no error)";
}

class Runtime : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        tovi_test::reset_log();
    }
    void TearDown() override { tovi::api::fini(); }

    static tovi::uurl_t url(const std::string& database, const std::string& user = "scott",
                            const std::string& password = "tiger") {
        return tovi::uurl_t("/ORACLE", user, password, database);
    }
};

struct Marker {
    ~Marker() { tovi_test::record("marker destroyed"); }
};

}  // namespace

TEST_F(Runtime, DriverModuleLoadsOnceForTwoDataSources) {
    {
        tovi::uurl_t u1 = url("db1"), u2 = url("db2");
        tovi::udata_source a(u1), b(u2);
        EXPECT_NE(&a.get_driver_source(), &b.get_driver_source());
        EXPECT_EQ(count("module loaded"), 1);
        EXPECT_EQ(count("createDataSource"), 2);
        EXPECT_EQ(count("make_server"), 2);  // one dialect descriptor per data source
        // One repository for the module; two databases in it.
        EXPECT_NE(&a.get_connection().get_database(), &b.get_connection().get_database());
        EXPECT_EQ(&a.get_connection().get_database().get_repository(),
                  &b.get_connection().get_database().get_repository());
    }
    // The module's repository keeps the first data source's descriptor.
    EXPECT_EQ(count("delete server"), 1);
    tovi::api::fini();
    EXPECT_EQ(count("before_module_unload"), 1);
    EXPECT_EQ(count("delete server"), 2);
}

TEST_F(Runtime, MissingModuleSaysWhereAndWhyAndIsTriedAgain) {
    const std::string path = tovi::platform::core_directory() + "tovi_MySQL41.so";
    const std::string first = ds_error("/MySQL/h");
    EXPECT_EQ(first.rfind("Cannot load a shared library '" + path + "': ", 0), 0u) << first;
    EXPECT_NE(first.find("tovi_MySQL41.so"), first.rfind("'"));  // the loader's reason follows

    // Put a module there: the next attempt loads it (and then finds no dialect).
    ASSERT_EQ(symlink((tovi::platform::core_directory() + "tovi_ORACLE8.so").c_str(), path.c_str()),
              0);
    const std::string second = ds_error("/MySQL/h");
    unlink(path.c_str());
    EXPECT_EQ(second.rfind("Unable to create an instance of the Data Source object. The dialect "
                           "module 'dialect_mysql.so' cannot be loaded: ",
                           0),
              0u)
        << second;
    EXPECT_EQ(count("createDataSource"), 1);
}

TEST_F(Runtime, SelectionAndFactoryErrors) {
    EXPECT_EQ(ds_error("/CTLIB/SYBASE/h"),
              "Cannot find the 'createDataSource' symbol in the shared library");
    EXPECT_EQ(ds_error("/DBLIB/XYZ/h"), "No API vendor is specified.");
    EXPECT_EQ(ds_error("/CTLIB/MICROSOFT/h"),
              "There is no implementation of ctlib from Microsoft.");
    EXPECT_EQ(ds_error("/OLEDB/sqloledb/h"), "Current DB API type is not supported.");
    // A factory that fails: the fixed text, then why, then which module.
    tovi_test::control().factory_returns_null = true;
    EXPECT_EQ(ds_error("/ORACLE", "db"),
              "Unable to create an instance of the Data Source object. The driver module made "
              "none. [Driver: tovi_ORACLE8]");
    tovi_test::control() = tovi_test::driver_control();
    tovi_test::control().factory_throws = true;
    EXPECT_EQ(ds_error("/ORACLE", "db"),
              "Unable to create an instance of the Data Source object. factory failed [Driver: "
              "tovi_ORACLE8]");
    EXPECT_EQ(count("createDataSource"), 2);
}

TEST_F(Runtime, DialectLoading) {
    try {
        delete tovi::uurl_t("/ODBC/NoSuchDriver", "", "", "").make_server();
        FAIL();
    } catch (const tovi::ds_exception& e) {
        EXPECT_STREQ(e.what(), "Unknow data source type.");
    }
    try {
        delete tovi::uurl_t("/MySQL", "", "", "").make_server();  // no dialect_mysql.so
        FAIL();
    } catch (const char* text) {
        EXPECT_STREQ(text, "Error");
    }
    tovi::shared_library lib;
    try {
        lib.load("");
        FAIL();
    } catch (const char* text) {
        EXPECT_STREQ(text, "Invalid DLL name");
    }
    EXPECT_EQ(lib.symbol("anything"), nullptr);

    std::unique_ptr<tovi::server_t> server(tovi::uurl_t("/ORACLE", "", "", "x").make_server());
    EXPECT_EQ(server->name, "dialect_oracle.so");
    tovi::sql_support* support = server->get_sql_support();
    EXPECT_EQ(support->get_statement_type(" \n\tselect 1"), tovi::stmt_select);
    EXPECT_EQ(support->get_statement_type("create database x"), tovi::stmt_create_database);
    EXPECT_EQ(support->get_statement_type("CREATE TABLE t(a)"), tovi::stmt_create);
    EXPECT_EQ(support->get_statement_type("selection"), tovi::stmt_other);
    try {
        support->get_statement_type(" \t\n");
        FAIL();
    } catch (const tovi::bad_operation& e) {
        EXPECT_EQ(e.get_error_text(), "Attempt to parse an empty string\n");
    }
    tovi::exception native("no such table: t", 1);
    EXPECT_THROW(server->translate_error(native, "ctx"), tovi::no_schema_obj_found);
    tovi::exception other("strange", 5);
    try {
        server->translate_error(other, "ctx");
    } catch (const tovi::exception& e) {
        EXPECT_EQ(typeid(e), typeid(tovi::exception));
        EXPECT_EQ(e.get_error_text(), "strange\nctx [Driver: test]\n");
        EXPECT_EQ(e.get_entry(1).code, 5);
    }
    server.reset();
    EXPECT_EQ(count("delete server"), 1);
}

TEST_F(Runtime, PoolReusesLastReleasedAcrossLetterCase) {
    tovi::uurl_t u1 = url("pool"), u2 = url("pool", "SCOTT", "tiger"), u3 = url("pool");
    tovi::udata_source first(u1), second(u2), third(u3);
    tovi::connection* c1 = &first.get_connection();
    EXPECT_EQ(&first.get_connection(), c1);  // held: the same one again
    EXPECT_EQ(c1->get_use_count(), 1);
    first.release_connection();
    first.release_connection();               // nothing held: nothing happens
    EXPECT_EQ(&second.get_connection(), c1);  // user names differ only in case
    EXPECT_NE(&third.get_connection(), c1);   // two held at once: two connections
    tovi::connection* c3 = &third.get_connection();
    third.release_connection();
    second.release_connection();
    EXPECT_EQ(c1->get_database().idle_count("scott", "tiger"), 2u);
    EXPECT_EQ(&first.get_connection(), c1);  // last released first
    EXPECT_EQ(&third.get_connection(), c3);
    EXPECT_EQ(count("open"), 2);
}

TEST_F(Runtime, OpenAndCloseFailures) {
    tovi::uurl_t u = url("failing");
    tovi::udata_source ds(u);
    tovi_test::control().open_fails = true;
    try {
        ds.get_connection();
        FAIL();
    } catch (const tovi::exception& e) {
        ASSERT_EQ(e.get_count(), 2);
        EXPECT_EQ(e.get_entry(0).message, "driver cannot open");
        EXPECT_EQ(e.get_entry(0).code, 42);
        EXPECT_EQ(e.get_entry(1).message, "Unable to open a database connection.");
        EXPECT_EQ(e.get_entry(1).code, 0);
    }
    EXPECT_EQ(count("destroy_connection"), 1);

    tovi_test::control().open_fails = false;
    tovi::DataBase& db = ds.get_connection().get_database();
    ds.release_connection();
    tovi_test::control().close_fails = true;
    try {
        db.done();
        FAIL();
    } catch (const tovi::exception& e) {
        EXPECT_EQ(e.get_error_text(),
                  "driver cannot close\nUnable to close a database connection.\n");
    }
    EXPECT_EQ(count("destroy_connection"), 2);  // destroyed all the same
    EXPECT_EQ(db.idle_count("scott", "tiger"), 0u);
}

TEST_F(Runtime, ConnectionWideTransactionAndReleaseErrors) {
    tovi::uurl_t u = url("auto");
    tovi::udata_source ds(u);
    tovi::connection& c = ds.get_connection();
    ASSERT_EQ(c.get_transactions().size(), 1u);
    ASSERT_NE(c.get_default_transaction(), nullptr);
    EXPECT_EQ(c.get_default_transaction()->type, tovi::impl::txn_connection);
    EXPECT_EQ(count("create_transaction 2"), 1);

    tovi::impl::transaction* stranger = reinterpret_cast<tovi::impl::transaction*>(&c);
    try {
        c.release_transaction_impl(stranger);
        FAIL();
    } catch (const tovi::exception& e) {
        EXPECT_EQ(e.get_error_text(), "Wrong transaction handler. Unable to release it.\n");
    }
    EXPECT_EQ(c.get_transactions().size(), 1u);
}

TEST_F(Runtime, TransactionKindsAndOwnership) {
    tovi::uurl_t u = url("txn");
    tovi::udata_source ds(u);
    {
        tovi::transaction explicit_one(ds);  // connects first
        tovi::connection& c = ds.get_connection();
        EXPECT_EQ(c.get_transactions().back(), explicit_one.get_impl());
        EXPECT_FALSE(explicit_one.is_auto_commit());
        {
            tovi::transaction adopted(ds, *c.get_default_transaction());
            adopted.commit();
        }
        EXPECT_EQ(c.get_transactions().size(), 2u);  // the connection's own stays
        tovi::statement st(explicit_one, 1);
        tovi::transaction own(st);
        EXPECT_TRUE(own.is_auto_commit());
        own.set_auto_commit(false);
        EXPECT_FALSE(own.is_auto_commit());
    }
    // Released without commit or rollback: the driver's finish decides.
    EXPECT_EQ(count("finish 0"), 1);
    EXPECT_EQ(count("finish 1"), 1);
    EXPECT_EQ(count("commit 0"), 0);
    EXPECT_EQ(count("rollback 0"), 0);
    EXPECT_EQ(count("commit 2"), 1);
    EXPECT_EQ(ds.get_connection().get_transactions().size(), 1u);
}

TEST_F(Runtime, AutoTransCommitsOrRollsBackOnce) {
    tovi::uurl_t u = url("blocks");
    tovi::udata_source ds(u);
    tovi::transaction t(ds);
    for (tovi::auto_trans at(t); at.pending; at.pending = false) {
        tovi_test::record("work");
    }
    EXPECT_EQ(count("commit 0"), 1);
    EXPECT_EQ(count("rollback 0"), 0);
    try {
        for (tovi::auto_trans at(t); at.pending; at.pending = false) throw std::runtime_error("x");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(count("commit 0"), 1);
    EXPECT_EQ(count("rollback 0"), 1);
}

TEST_F(Runtime, StatementTransactions) {
    {
        tovi::uurl_t u = url("shared");
        tovi::udata_source ds(u);
        tovi::statement st(ds, 1);
        EXPECT_EQ(st.trans->get_impl(), ds.get_connection().get_default_transaction());
    }
    EXPECT_EQ(count("destroy_transaction 2"), 0);  // the connection's own stays open
    {
        tovi::uurl_t u = url("manual");  // a database without connection-wide transactions
        tovi::udata_source ds(u);
        {
            tovi::statement st(ds, 1);
            EXPECT_EQ(st.trans->get_impl()->type, tovi::impl::txn_statement);
            EXPECT_TRUE(st.trans->is_auto_commit());
            EXPECT_EQ(ds.get_connection().get_transactions().size(), 1u);
        }
        EXPECT_EQ(count("destroy_transaction 1"), 1);
        EXPECT_TRUE(ds.get_connection().get_transactions().empty());
    }
}

TEST_F(Runtime, StatementsBindExecuteFetchAndReparse) {
    tovi::uurl_t u = url("statements");
    tovi::udata_source ds(u);
    tovi::statement st(ds, 1);
    long plain = 0;
    EXPECT_THROW(st.execute(), tovi::bad_operation);
    EXPECT_THROW(st << plain, tovi::bad_operation);
    EXPECT_THROW(st.next(), tovi::bad_operation);

    tovi::long_t a(1);
    tovi::string_t b("x", 5);
    st.parse("INSERT INTO t VALUES(:a, :b, :c)");
    st << a << b << plain;
    st.execute();
    st.execute();  // again, without binding again
    EXPECT_EQ(count("execute INSERT INTO t VALUES(:a, :b, :c)"), 2);

    st.parse("SELECT a FROM t");  // every binding of the first text goes, once
    EXPECT_EQ(count("free long"), 2);
    EXPECT_EQ(count("free string"), 1);
    EXPECT_EQ(a.binding_count(), 0u);
    EXPECT_EQ(b.binding_count(), 0u);
    EXPECT_EQ(count("release_statement"), 1);

    tovi::long_t x;
    st >> x;
    st.execute();
    std::vector<long> seen;
    while (st.next()) seen.push_back(x.value);
    EXPECT_EQ(seen, (std::vector<long>{1, 2}));
    EXPECT_FALSE(st.next());
    EXPECT_EQ(x.value, 2);  // untouched by the fetch that found nothing

    tovi_test::control().execute_fails = true;
    EXPECT_THROW(st.execute(), tovi::exception);
    EXPECT_TRUE(st.is_parsed());  // the statement keeps its state

    tovi::describe d(st);  // a statement cannot be described
    EXPECT_FALSE(d.is_described());
    EXPECT_THROW(d.next(), tovi::not_implemented);
}

TEST_F(Runtime, FiniDestroysSingletonsLastCreatedFirst) {
    {
        tovi::uurl_t u = url("fini");
        tovi::udata_source ds(u);  // creates the module registry
        ds.get_connection();
    }
    tovi::detail::process_singleton<Marker>::instance();  // created after the registry
    tovi::api::fini();
    const auto& log = tovi_test::events();
    auto marker = std::find(log.begin(), log.end(), "marker destroyed");
    auto unload = std::find(log.begin(), log.end(), "before_module_unload");
    ASSERT_NE(marker, log.end());
    ASSERT_NE(unload, log.end());
    EXPECT_LT(marker, unload);
    EXPECT_EQ(count("before_module_unload"), 1);
    EXPECT_EQ(count("delete connection"), 1);  // the pooled connection closed with its module
}

TEST_F(Runtime, ScriptOnADriverWithoutScriptsIsNotImplemented) {
    tovi::uurl_t u = url("scripts");
    tovi::udata_source ds(u);
    tovi::transaction tx(ds);
    sql::script sc(tx);
    try {
        sc.parse(sql::Create(sql::Database("d")));
        FAIL() << "parse succeeded on a driver without scripts";
    } catch (const tovi::not_implemented& e) {
        EXPECT_STREQ(e.what(), "Scripts are not supported by the 'tovi_ORACLE8' driver.");
    }
    EXPECT_THROW(sc.execute(), tovi::bad_operation);  // nothing was parsed
}
