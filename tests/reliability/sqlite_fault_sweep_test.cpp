// Faults as SQLite tests itself: SQLite's allocator fails its N-th allocation, or
// a file-system shim (the default VFS of this process) fails its N-th read,
// write, sync or lock, for N = 1, 2, ... until a whole scenario runs through. For
// every N the scenario ends in success or a tovi::exception (never a crash, a
// hang or a sanitizer report), the next use of the data source works, no
// committed row is lost, and (after I/O faults) the database checks "ok".
#include <tovi/tovi.hpp>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>
#include <string>

#include "support/temp_dir.hpp"

namespace {

// SQLite's default allocator, wrapped: when armed, the allocation numbered
// `fail_at` (counted from the arming) returns null.
sqlite3_mem_methods original{};
bool armed = false;
long count = 0, fail_at = 0;

bool fail_now() {
    return armed && ++count == fail_at;
}
void* failing_malloc(int n) {
    return fail_now() ? nullptr : original.xMalloc(n);
}
void* failing_realloc(void* p, int n) {
    return fail_now() ? nullptr : original.xRealloc(p, n);
}

// --- the file-system shim over the default VFS
bool io_armed = false;
long io_count = 0, io_fail_at = 0;
bool io_fail_now() {
    return io_armed && ++io_count == io_fail_at;
}

struct shim_file {
    sqlite3_file base;
    sqlite3_file* real;  // the default VFS's file, just after this one
};
sqlite3_file* real_of(sqlite3_file* f) {
    return reinterpret_cast<shim_file*>(f)->real;
}
int shim_close(sqlite3_file* f) {
    return real_of(f)->pMethods->xClose(real_of(f));
}
int shim_read(sqlite3_file* f, void* buffer, int n, sqlite3_int64 offset) {
    if (io_fail_now()) return SQLITE_IOERR_READ;
    return real_of(f)->pMethods->xRead(real_of(f), buffer, n, offset);
}
int shim_write(sqlite3_file* f, const void* buffer, int n, sqlite3_int64 offset) {
    if (io_fail_now()) return SQLITE_IOERR_WRITE;
    return real_of(f)->pMethods->xWrite(real_of(f), buffer, n, offset);
}
int shim_truncate(sqlite3_file* f, sqlite3_int64 size) {
    return real_of(f)->pMethods->xTruncate(real_of(f), size);
}
int shim_sync(sqlite3_file* f, int flags) {
    if (io_fail_now()) return SQLITE_IOERR_FSYNC;
    return real_of(f)->pMethods->xSync(real_of(f), flags);
}
int shim_file_size(sqlite3_file* f, sqlite3_int64* size) {
    return real_of(f)->pMethods->xFileSize(real_of(f), size);
}
int shim_lock(sqlite3_file* f, int level) {
    if (io_fail_now()) return SQLITE_IOERR_LOCK;
    return real_of(f)->pMethods->xLock(real_of(f), level);
}
int shim_unlock(sqlite3_file* f, int level) {
    return real_of(f)->pMethods->xUnlock(real_of(f), level);
}
int shim_reserved(sqlite3_file* f, int* out) {
    return real_of(f)->pMethods->xCheckReservedLock(real_of(f), out);
}
int shim_control(sqlite3_file* f, int op, void* arg) {
    return real_of(f)->pMethods->xFileControl(real_of(f), op, arg);
}
int shim_sector(sqlite3_file* f) {
    return real_of(f)->pMethods->xSectorSize(real_of(f));
}
int shim_characteristics(sqlite3_file* f) {
    return real_of(f)->pMethods->xDeviceCharacteristics(real_of(f));
}
// Version 1: no shared memory, so no WAL: the rollback journal is what is tested.
const sqlite3_io_methods shim_methods = {1,
                                         shim_close,
                                         shim_read,
                                         shim_write,
                                         shim_truncate,
                                         shim_sync,
                                         shim_file_size,
                                         shim_lock,
                                         shim_unlock,
                                         shim_reserved,
                                         shim_control,
                                         shim_sector,
                                         shim_characteristics,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr,
                                         nullptr};

sqlite3_vfs shim_vfs{};
int shim_open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* out) {
    auto* real_vfs = static_cast<sqlite3_vfs*>(vfs->pAppData);
    auto* f = reinterpret_cast<shim_file*>(file);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    const int rc = real_vfs->xOpen(real_vfs, name, f->real, flags, out);
    f->base.pMethods = f->real->pMethods != nullptr ? &shim_methods : nullptr;
    return rc;
}

// Installed before SQLite initializes (the driver module shares this process's
// SQLite library).
const bool installed = [] {
    sqlite3_config(SQLITE_CONFIG_GETMALLOC, &original);
    sqlite3_mem_methods wrapped = original;
    wrapped.xMalloc = failing_malloc;
    wrapped.xRealloc = failing_realloc;
    if (sqlite3_config(SQLITE_CONFIG_MALLOC, &wrapped) != SQLITE_OK) return false;
    sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
    shim_vfs = *real;
    shim_vfs.zName = "tovi-test-faults";
    shim_vfs.szOsFile = static_cast<int>(sizeof(shim_file)) + real->szOsFile;
    shim_vfs.pAppData = real;
    shim_vfs.xOpen = shim_open;
    return sqlite3_vfs_register(&shim_vfs, 1) == SQLITE_OK;  // the default from now on
}();

class SqliteFaultSweep : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(installed) << "SQLite was initialized before the test could wrap its allocator";
        tovi::api::init();
        url_ = std::make_unique<tovi::uurl_t>("/SQLITE", "", "", dir_.file("sweep.db"));
        tovi::udata_source ds(*url_);
        tovi::statement ddl(ds, 1);
        ddl.execute("CREATE TABLE t(id INTEGER PRIMARY KEY, name TEXT, data BLOB)");
        ddl.trans->commit();
    }
    void TearDown() override {
        armed = false;
        io_armed = false;
        url_.reset();
        tovi::api::fini();
    }

    // Opens, creates, inserts rows with text and a blob in a transaction and
    // commits, reads them back, rolls back a second insert. Ids that a returned
    // commit covered go into `committed_`.
    void scenario(long base) {
        tovi::udata_source ds(*url_);
        tovi::statement ddl(ds, 1);
        ddl.execute("CREATE TABLE IF NOT EXISTS t(id INTEGER PRIMARY KEY, name TEXT, data BLOB)");
        tovi::transaction tx(ds);
        tovi::statement ins(tx, 1);
        ins.parse("INSERT INTO t VALUES(:id, :name, :data)");
        long id = 0;
        std::string name;
        tovi::blob_t data;
        ins << id << name << data;
        for (long i = 0; i < 3; ++i) {
            id = base + i;
            name = "row " + std::to_string(id);
            data.set_entire(std::string(300, static_cast<char>('a' + i)));
            ins.execute();
        }
        tx.commit();
        for (long i = 0; i < 3; ++i) committed_.insert(base + i);
        tovi::statement sel(ds, 1);
        sel.parse("SELECT id, name FROM t WHERE id >= :low ORDER BY id");
        long low = base, got = 0;
        std::string got_name;
        sel << low;
        sel >> got >> got_name;
        sel.execute();
        while (sel.next()) {
        }
        id = base + 10;
        ins.execute();
        tx.rollback();
    }
    // Both checks after a fault, with nothing failing: a new pool opens the file
    // (rolling back a hot journal) and the database checks "ok".
    std::string integrity() {
        url_.reset();
        tovi::api::fini();
        tovi::api::init();
        url_ = std::make_unique<tovi::uurl_t>("/SQLITE", "", "", dir_.file("sweep.db"));
        tovi::udata_source ds(*url_);
        tovi::statement st(ds, 1);
        std::string result;
        st.parse("PRAGMA integrity_check");
        st >> result;
        st.execute();
        EXPECT_TRUE(st.next());
        return result;
    }
    // The rows of the database, read with nothing failing.
    std::set<long> stored() {
        tovi::udata_source ds(*url_);
        tovi::statement sel(ds, 1);
        sel.parse("SELECT id FROM t ORDER BY id");
        long id = 0;
        sel >> id;
        sel.execute();
        std::set<long> ids;
        while (sel.next()) ids.insert(id);
        return ids;
    }

    tovi_test::temp_dir dir_;
    std::unique_ptr<tovi::uurl_t> url_;
    std::set<long> committed_;
};

TEST_F(SqliteFaultSweep, EveryFailedAllocationIsAnErrorAndLosesNothing) {
    long n = 1;
    for (; n < 20000; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n));
        // A fresh pool: opening the connection is part of the scenario.
        url_.reset();
        tovi::api::fini();
        tovi::api::init();
        url_ = std::make_unique<tovi::uurl_t>("/SQLITE", "", "", dir_.file("sweep.db"));
        count = 0;
        fail_at = n;
        armed = true;
        bool failed = false;
        try {
            scenario(n * 100);
        } catch (const tovi::exception&) {
            failed = true;
        }
        armed = false;
        const bool reached = count >= n;
        // The next use (the same pool) works, and what was committed is there.
        std::set<long> ids;
        ASSERT_NO_THROW(ids = stored());
        for (long id : committed_) ASSERT_TRUE(ids.count(id)) << "committed row " << id << " lost";
        if (!reached) {
            EXPECT_FALSE(failed) << "an error without a failed allocation";
            break;  // the scenario ran through without reaching allocation n
        }
    }
    EXPECT_LT(n, 20000) << "the scenario never ran through";
    std::cout << "allocation faults swept: " << n - 1 << "\n";
}

TEST_F(SqliteFaultSweep, EveryFailedFileOperationIsAnErrorAndLosesNothing) {
    long n = 1;
    for (; n < 20000; ++n) {
        SCOPED_TRACE("file operation " + std::to_string(n));
        url_.reset();
        tovi::api::fini();
        tovi::api::init();
        url_ = std::make_unique<tovi::uurl_t>("/SQLITE", "", "", dir_.file("sweep.db"));
        io_count = 0;
        io_fail_at = n;
        io_armed = true;
        bool failed = false;
        try {
            scenario(n * 100);
        } catch (const tovi::exception&) {
            failed = true;
        }
        io_armed = false;
        const bool reached = io_count >= n;
        std::set<long> ids;
        ASSERT_NO_THROW(ids = stored());
        for (long id : committed_) ASSERT_TRUE(ids.count(id)) << "committed row " << id << " lost";
        ASSERT_EQ(integrity(), "ok");
        if (!reached) {
            EXPECT_FALSE(failed) << "an error without a failed file operation";
            break;
        }
    }
    EXPECT_LT(n, 20000) << "the scenario never ran through";
    std::cout << "file operation faults swept: " << n - 1 << "\n";
}

}  // namespace
