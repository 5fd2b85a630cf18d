// What only the embedded Firebird driver has, on the real engine: retaining
// commits, data definition restarting the transaction, blobs by segments,
// booleans as "Yes"/"No" text, CREATE DATABASE on a handle of its own, bounded
// parameter buffers, files that cannot be opened, and two threads at once.
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>
#include <ibase.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>

#include "support/file_permissions.hpp"
#include "support/temp_dir.hpp"

namespace {

// The engine's lock files go to a directory of this process, set before it starts.
const tovi_test::temp_dir& lock_dir() {
    static tovi_test::temp_dir locks;
    setenv("FIREBIRD_LOCK", locks.path().c_str(), 1);
    return locks;
}
const bool locks_set = (lock_dir(), true);

// How the engine stored the blob of `column` in the one row of `table`: read
// through the client library itself, beside tovi's attachment.
struct stored_blob {
    ISC_INT64 segments = 0, largest = 0, total = 0;
};
stored_blob blob_as_stored(const std::string& file, const std::string& sql) {
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    isc_stmt_handle s = 0;
    isc_blob_handle h = 0;
    const std::string dpb = std::string{isc_dpb_version1, isc_dpb_user_name, 6} + "SYSDBA";
    stored_blob result;
    if (isc_attach_database(st, 0, file.c_str(), &db, static_cast<short>(dpb.size()), dpb.data()) !=
            0 ||
        isc_start_transaction(st, &tr, 1, &db, 0, nullptr) != 0 ||
        isc_dsql_allocate_statement(st, &db, &s) != 0) {
        ADD_FAILURE() << "the client library could not open " << file;
        return result;
    }
    XSQLDA out{};
    out.version = SQLDA_VERSION1;
    out.sqln = 1;
    ISC_QUAD id{};
    short null = 0;
    EXPECT_EQ(isc_dsql_prepare(st, &tr, &s, 0, sql.c_str(), 3, &out), 0);
    out.sqlvar[0].sqldata = reinterpret_cast<char*>(&id);
    out.sqlvar[0].sqlind = &null;
    EXPECT_EQ(isc_dsql_execute(st, &tr, &s, 3, nullptr), 0);
    EXPECT_EQ(isc_dsql_fetch(st, &s, 3, &out), 0);
    EXPECT_EQ(isc_open_blob2(st, &db, &tr, &h, &id, 0, nullptr), 0);
    const char items[] = {isc_info_blob_num_segments, isc_info_blob_max_segment,
                          isc_info_blob_total_length};
    char info[64];
    EXPECT_EQ(isc_blob_info(st, &h, sizeof items, items, sizeof info, info), 0);
    for (const char* p = info; *p != isc_info_end && p < info + sizeof info;) {
        const char item = *p++;
        const short length =
            static_cast<short>(isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(p), 2));
        p += 2;
        const ISC_INT64 value = isc_portable_integer(reinterpret_cast<const ISC_UCHAR*>(p), length);
        p += length;
        if (item == isc_info_blob_num_segments) result.segments = value;
        if (item == isc_info_blob_max_segment) result.largest = value;
        if (item == isc_info_blob_total_length) result.total = value;
    }
    isc_close_blob(st, &h);
    isc_dsql_free_statement(st, &s, DSQL_drop);
    isc_commit_transaction(st, &tr);
    isc_detach_database(st, &db);
    return result;
}

class IbembDriver : public ::testing::Test {
protected:
    void SetUp() override {
        tovi::api::init();
        ds_ = open(dir_.file("main.fdb"));
    }
    void TearDown() override {
        ds_.reset();
        urls_.clear();
        tovi::api::fini();
    }
    std::unique_ptr<tovi::udata_source> open(const std::string& file,
                                             const std::string& user = "SYSDBA") {
        urls_.push_back(std::make_unique<tovi::uurl_t>("/InterBase_EMB", user, "", file));
        return std::make_unique<tovi::udata_source>(*urls_.back());
    }
    void exec(const std::string& sql) {
        tovi::statement st(*ds_, 1);
        st.execute(sql);
        st.trans->commit();
    }
    long transaction_number() {
        tovi::statement st(*ds_, 1);
        long n = 0;
        st.parse("SELECT CURRENT_TRANSACTION FROM RDB$DATABASE");
        st >> n;
        st.execute();
        EXPECT_TRUE(st.next());
        return n;
    }

    tovi_test::temp_dir dir_;
    std::vector<std::unique_ptr<tovi::uurl_t>> urls_;
    std::unique_ptr<tovi::udata_source> ds_;
};

// Guards: prepared statements lost at each commit (a commit retains the context), and
// DDL running inside the open transaction.
TEST_F(IbembDriver, CommitRetainsDataDefinitionRestarts) {
    tovi::statement st(*ds_, 1);
    st.parse("SELECT 1 FROM RDB$DATABASE");
    const tovi::impl::statement* prepared = st.get_impl();
    st.parse("SELECT 2 FROM RDB$DATABASE");  // the first goes back to the cache
    st.trans->commit();
    st.parse("SELECT 1 FROM RDB$DATABASE");
    EXPECT_EQ(st.get_impl(), prepared);  // still prepared after the commit

    const long before = transaction_number();
    exec("CREATE TABLE t(a INTEGER)");
    EXPECT_NE(transaction_number(), before);  // ended and started again
}

// Guards: blobs cut at a segment's size, and a boolean variant bound into a text column
// as something other than its text.
TEST_F(IbembDriver, LargeBlobsAndBooleanText) {
    exec("CREATE TABLE b(n INTEGER, data BLOB, note VARCHAR(10))");
    std::string bytes(200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO b VALUES(1, :data, :note)");
    tovi::blob_t blob;
    _variant_t yes(true);
    ins << blob << yes;
    blob.set_entire(bytes);
    ins.execute();
    ins.trans->commit();

    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT data, note FROM b");
    tovi::blob_t got;
    std::string note;
    sel >> got >> note;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(got.get_entire(), bytes);
    EXPECT_EQ(note, "Yes");
    // Written in segments of 65535 bytes, the last one shorter.
    const stored_blob stored = blob_as_stored(dir_.file("main.fdb"), "SELECT data FROM b");
    EXPECT_EQ(stored.total, 200000);
    EXPECT_EQ(stored.segments, 4);
    EXPECT_EQ(stored.largest, 65535);

    // Text keeps its blanks and its length, empty text stays empty, not NULL.
    tovi::statement texts(*ds_, 1);
    texts.parse("INSERT INTO b(n, note) VALUES(:n, :note)");
    long n = 2;
    std::string text = "ab  ";
    texts << n << text;
    texts.execute();
    n = 3;
    text.clear();
    texts.execute();
    tovi::statement read(*ds_, 1);
    read.parse("SELECT note || '|' FROM b WHERE n >= 2 ORDER BY n");
    read >> note;
    read.execute();
    ASSERT_TRUE(read.next());
    EXPECT_EQ(note, "ab  |");
    ASSERT_TRUE(read.next());
    EXPECT_EQ(note, "|");
}

// Guards: values in scaled NUMERIC columns off by their scale, and cursors lost at a
// commit.
// Whole numbers and doubles into a scaled column keep their value (the scale is
// the column's, not the 64-bit buffer's); a retaining commit keeps the cursor, so
// reading goes on after it.
TEST_F(IbembDriver, ScaledNumbersAndCursorsAcrossCommits) {
    exec("CREATE TABLE money(n INTEGER, amount NUMERIC(10,2))");
    tovi::statement ins(*ds_, 1);
    ins.parse("INSERT INTO money VALUES(:n, :amount)");
    long n = 1, whole = 3;
    ins << n << whole;
    ins.execute();
    tovi::statement real(*ds_, 1);
    real.parse("INSERT INTO money VALUES(:n, :amount)");
    double half = 1.5;
    n = 2;
    real << n << half;
    real.execute();
    exec("INSERT INTO money VALUES(3, 7)");

    tovi::statement sel(*ds_, 1);
    sel.parse("SELECT n, CAST(amount AS VARCHAR(20)) FROM money ORDER BY n");
    long on = 0;
    std::string text;
    sel >> on >> text;
    sel.execute();
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(text, "3.00");
    sel.trans->commit();  // retaining: the cursor stays open
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(on, 2);
    EXPECT_EQ(text, "1.50");
    ASSERT_TRUE(sel.next());
    EXPECT_EQ(on, 3);
    EXPECT_FALSE(sel.next());

    // A parameter left unbound is a clear binding error, before anything runs.
    tovi::statement few(*ds_, 1);
    few.parse("INSERT INTO money VALUES(:n, :amount)");
    few << n;
    try {
        few.execute();
        ADD_FAILURE() << "executed with a parameter unbound";
    } catch (const tovi::bad_operation& e) {
        EXPECT_NE(e.get_error_text().find("Too few input bindings: 1 for 2 parameters."),
                  std::string::npos)
            << e.get_error_text();
    }
}

// Guards: a procedure's ":name" variables rewritten as parameter markers.
// A CREATE text keeps its ":name" markers (a procedure's own variables); other
// texts have theirs turned into parameters.
TEST_F(IbembDriver, CreateTextsKeepTheirMarkers) {
    exec("CREATE PROCEDURE twice(a INTEGER) RETURNS (b INTEGER) AS BEGIN b = :a * 2; SUSPEND; END");
    tovi::statement st(*ds_, 1);
    st.parse("SELECT b FROM twice(:a)");
    long a = 21, b = 0;
    st << a;
    st >> b;
    st.execute();
    ASSERT_TRUE(st.next());
    EXPECT_EQ(b, 42);
}

// Guards: SET TRANSACTION options ignored.
// SET TRANSACTION replaces the native transaction with one of its options.
TEST_F(IbembDriver, SetTransactionStartsTheNextTransaction) {
    exec("CREATE TABLE ro(a INTEGER)");
    tovi::transaction tx(*ds_);
    tovi::statement st(tx, 1);
    st.execute("INSERT INTO ro VALUES(1)");
    st.execute("SET TRANSACTION READ ONLY");  // the insert is committed first
    EXPECT_THROW(st.execute("INSERT INTO ro VALUES(2)"), tovi::exception);
    tovi::statement count(tx, 1);
    long n = 0;
    count.parse("SELECT COUNT(*) FROM ro");
    count >> n;
    count.execute();
    ASSERT_TRUE(count.next());
    EXPECT_EQ(n, 1);
}

// Guards: CREATE DATABASE attaching the connection to the new file behind the
// application's back.
TEST_F(IbembDriver, CreateDatabaseLeavesTheConnectionOnItsOwn) {
    exec("CREATE TABLE mine(a INTEGER)");
    const std::string other = dir_.file("other.fdb");
    tovi::statement st(*ds_, 1);
    st.execute("CREATE DATABASE '" + other + "' USER 'SYSDBA' PAGE_SIZE 8192");
    EXPECT_TRUE(std::ifstream(other).good());
    EXPECT_NO_THROW(exec("INSERT INTO mine VALUES(1)"));  // still attached to main.fdb
}

// Guards: an overlong parameter-buffer item overflowing its length byte, and bad files
// crashing instead of failing.
TEST_F(IbembDriver, BadInputAndUnopenableFilesAreErrors) {
    try {
        auto ds = open(dir_.file("long.fdb"), std::string(300, 'u'));
        tovi::statement st(*ds, 1);
        st.execute("SELECT 1 FROM RDB$DATABASE");
        FAIL() << "a 300-byte user name was accepted";
    } catch (const tovi::exception& e) {
        EXPECT_NE(e.get_error_text().find("Parameter buffer item is too long."), std::string::npos)
            << e.get_error_text();
    }
    std::ofstream(dir_.file("not.fdb")) << "this is not a Firebird database";
    for (const std::string& file : {dir_.file("not.fdb"), dir_.file("no/such/dir/x.fdb")}) {
        SCOPED_TRACE(file);
        try {
            auto ds = open(file);
            tovi::statement st(*ds, 1);
            st.execute("SELECT 1 FROM RDB$DATABASE");
            FAIL() << "opened " << file;
        } catch (const tovi::exception& e) {
            EXPECT_NE(e.get_error_text().find("[Driver: tovi_ib; Database: '" + file + "']"),
                      std::string::npos)
                << e.get_error_text();
        }
    }
}

// Guards: errors or results of one thread's database showing in another's.
// Each thread with its own data source on its own file: errors and results stay
// each thread's own.
TEST_F(IbembDriver, TwoThreadsOnTwoDatabases) {
    auto work = [this](const std::string& file, long base, long& sum, std::string& failure) {
        try {
            tovi::uurl_t url("/InterBase_EMB", "SYSDBA", "", file);
            tovi::udata_source ds(url);
            tovi::statement ddl(ds, 1);
            ddl.execute("CREATE TABLE w(a INTEGER)");
            tovi::statement ins(ds, 1);
            ins.parse("INSERT INTO w VALUES(:a)");
            long a = 0;
            ins << a;
            for (a = base; a < base + 200; ++a) ins.execute();
            ins.trans->commit();
            tovi::statement bad(ds, 1);
            EXPECT_THROW(bad.execute("SELECT * FROM missing_" + std::to_string(base)),
                         tovi::no_schema_obj_found);
            tovi::statement sel(ds, 1);
            sel.parse("SELECT SUM(a) FROM w");
            sel >> sum;
            sel.execute();
            EXPECT_TRUE(sel.next());
        } catch (const tovi::exception& e) {
            failure = e.get_error_text();
        }
    };
    long sum1 = 0, sum2 = 0;
    std::string failure1, failure2;
    std::thread one(work, dir_.file("one.fdb"), 0, std::ref(sum1), std::ref(failure1));
    std::thread two(work, dir_.file("two.fdb"), 1000, std::ref(sum2), std::ref(failure2));
    one.join();
    two.join();
    EXPECT_EQ(failure1, "");
    EXPECT_EQ(failure2, "");
    EXPECT_EQ(sum1, 199 * 200 / 2);
    EXPECT_EQ(sum2, 1000 * 200 + 199 * 200 / 2);
}

// Guards: a database created twice by racing threads, or made where it cannot be
// reached.
// Two threads find the same database missing at once: both end up on the one
// file, which is all the folder holds afterwards. A URL whose host cannot be
// reached makes no file at all.
TEST_F(IbembDriver, MissingDatabasesAreMadeOnceAndOnlyWhenReachable) {
    const std::string folder = dir_.file("made");
    boost::filesystem::create_directory(folder);
    const std::string file = folder + "/one.fdb";
    auto open_and_read = [&file](std::string& failure) {
        try {
            tovi::uurl_t url("/InterBase_EMB", "SYSDBA", "", file);
            tovi::udata_source ds(url);
            tovi::statement st(ds, 1);
            long one = 0;
            st.parse("SELECT 1 FROM RDB$DATABASE");
            st >> one;
            st.execute();
            if (!st.next() || one != 1) failure = "no row";
        } catch (const tovi::exception& e) {
            failure = e.get_error_text();
        }
    };
    std::string failure1, failure2;
    std::thread one(open_and_read, std::ref(failure1));
    std::thread two(open_and_read, std::ref(failure2));
    one.join();
    two.join();
    EXPECT_EQ(failure1, "");
    EXPECT_EQ(failure2, "");
    std::vector<std::string> names;
    for (const auto& entry : boost::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"one.fdb"});

    const std::string unreachable = folder + "/remote.fdb";
    tovi::uurl_t url("/InterBase_EMB/127.0.0.1/1", "SYSDBA", "", unreachable);  // nothing listens
    EXPECT_THROW(
        {
            tovi::udata_source ds(url);
            tovi::statement st(ds, 1);
            st.execute("SELECT 1 FROM RDB$DATABASE");
        },
        tovi::exception);
    EXPECT_FALSE(boost::filesystem::exists(unreachable));
}

// Guards: a database locked by another process crashing or hanging the program.
// A database held by another process: a tovi::exception with the engine's
// message, never a crash or a hang.
TEST(IbembProcesses, ADatabaseInUseElsewhereIsAnError) {
    tovi_test::temp_dir dir;
    const std::string file = dir.file("shared.fdb");
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // holds the database open until told to stop
        int code = 1;
        try {
            tovi::api::init();
            tovi::uurl_t url("/InterBase_EMB", "SYSDBA", "", file);
            tovi::udata_source ds(url);
            tovi::statement st(ds, 1);
            st.execute("CREATE TABLE held(a INTEGER)");
            code = 0;
        } catch (...) {
        }
        char byte = static_cast<char>(code);
        (void)!write(ready[1], &byte, 1);
        (void)!read(done[0], &byte, 1);
        _exit(code);
    }
    char byte = 1;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 0) << "the other process could not make its database";
    tovi::api::init();
    try {
        tovi::uurl_t url("/InterBase_EMB", "SYSDBA", "", file);
        tovi::udata_source ds(url);
        tovi::statement st(ds, 1);
        st.execute("SELECT COUNT(*) FROM held");
        ADD_FAILURE() << "opened a database another process holds";
    } catch (const tovi::exception& e) {
        EXPECT_NE(e.get_error_text().find(file), std::string::npos) << e.get_error_text();
    }
    tovi::api::fini();
    (void)!write(done[1], &byte, 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Guards: a lock folder of another user failing without saying how to fix it.
// A lock folder this user may not use (another user's, made by the engine's
// first user): the engine's bare "Permission denied" comes with what to do.
TEST(IbembProcesses, ALockFolderOfAnotherUserSaysToSetFirebirdLock) {
    tovi_test::temp_dir dir;
    const std::string locks = dir.file("locks");
    ASSERT_EQ(mkdir(locks.c_str(), 0500), 0);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // a process of its own: the engine reads FIREBIRD_LOCK once
        std::string text = "no error";
        {
            tovi_test::file_permissions_hold hold;  // the engine's threads inherit it
            setenv("FIREBIRD_LOCK", locks.c_str(), 1);
            try {
                tovi::api::init();
                tovi::uurl_t url("/InterBase_EMB", "SYSDBA", "", dir.file("locked.fdb"));
                tovi::udata_source ds(url);
                tovi::statement st(ds, 1);
            } catch (const tovi::exception& e) {
                text = e.get_error_text();
            }
        }
        (void)!write(out[1], text.data(), text.size());
        _exit(0);
    }
    close(out[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(out[0]);
    waitpid(child, nullptr, 0);
    EXPECT_NE(text.find("Permission denied"), std::string::npos) << text;
    EXPECT_NE(text.find("The embedded engine cannot use its lock folder (" + locks +
                        ", made by the engine's first user): set FIREBIRD_LOCK to a folder of "
                        "this user's"),
              std::string::npos)
        << text;
}

// Guards: a crash at exit when the database's folder was removed after fini.
// A program that ends the library, then removes its database's folder and
// exits: nothing is left to detach at exit (the engine threw from a detach
// during the driver's exit-time clean-up, and the process aborted).
TEST(IbembProcesses, AProgramThatRemovesItsDatabaseAfterFiniExitsCleanly) {
    tovi_test::temp_dir dir;
    const std::string folder = dir.file("data");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int code = 1;
        try {
            // The program holds the driver module itself, so it stays mapped after
            // the library ends (as other libraries' references keep it).
            if (dlopen(TOVI_TEST_MODULE_DIR "/tovi_ibemb.so", RTLD_NOW) == nullptr) std::exit(2);
            boost::filesystem::create_directories(folder + "/locks");
            setenv("FIREBIRD_LOCK", (folder + "/locks").c_str(), 1);  // goes with the folder
            tovi::api::init();
            {
                tovi::uurl_t url("/InterBase_EMB", "SYSDBA", "", folder + "/gone.fdb");
                tovi::udata_source ds(url);
                tovi::statement st(ds, 1);
                st.execute("CREATE TABLE t(a INTEGER)");
            }
            tovi::api::fini();
            boost::filesystem::remove_all(folder);
            code = 0;
        } catch (...) {
        }
        std::exit(code);  // a normal exit: every exit-time clean-up runs
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

}  // namespace
