// The SQLite twin of bulk_bench: one prepared INSERT stepped per row inside a
// transaction; the SELECT stepped into vectors a chunk at a time.
#include <sqlite3.h>

#include <stdexcept>

#include "bulk_rows.hpp"

namespace bulk_bench {

namespace {

sqlite3* open_database(const char* file) {
    sqlite3* db = nullptr;
    if (sqlite3_open(file, &db) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
    return db;
}

void run(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
}

class sqlite_road final : public native_road {
public:
    explicit sqlite_road(const std::string& file) : db(open_database(file.c_str())) {
        run(db, "PRAGMA synchronous = OFF");  // as tovi's SQLite connections run
        run(db, "DROP TABLE IF EXISTS bulk_rows");
        run(db, create_sql);
    }
    ~sqlite_road() override { sqlite3_close(db); }
    long insert(const rows& r) override;
    long fetch() override;

private:
    sqlite3* db;
};

long sqlite_road::insert(const rows& r) {
    run(db, "BEGIN");
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, insert_sql, -1, &s, nullptr);
    for (std::size_t i = 0; i < r.ids.size(); ++i) {
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, r.ids[i]);
        sqlite3_bind_text64(s, 2, r.names[i].data(), r.names[i].size(), SQLITE_STATIC, SQLITE_UTF8);
        if (r.amounts[i])
            sqlite3_bind_double(s, 3, *r.amounts[i]);
        else
            sqlite3_bind_null(s, 3);
        if (sqlite3_step(s) != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
    }
    sqlite3_finalize(s);
    run(db, "COMMIT");
    return static_cast<long>(r.ids.size());
}

long sqlite_road::fetch() {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, select_sql, -1, &s, nullptr);
    rows got;
    long sum = 0;
    int rc;
    // sqlite3_column_value and the value's readers: one call under the
    // connection's lock per column instead of two or three.
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        got.ids.push_back(static_cast<long>(sqlite3_value_int64(sqlite3_column_value(s, 0))));
        sqlite3_value* name = sqlite3_column_value(s, 1);
        got.names.emplace_back(reinterpret_cast<const char*>(sqlite3_value_text(name)),
                               static_cast<std::size_t>(sqlite3_value_bytes(name)));
        sqlite3_value* amount = sqlite3_column_value(s, 2);
        if (sqlite3_value_type(amount) == SQLITE_NULL)
            got.amounts.emplace_back();
        else
            got.amounts.emplace_back(sqlite3_value_double(amount));
        if (got.ids.size() == chunk) {
            sum += got.checksum();
            got.clear();
        }
    }
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db));
    sqlite3_finalize(s);
    return sum + got.checksum();
}

}  // namespace

std::unique_ptr<native_road> sqlite_native(const std::string& file) {
    return std::make_unique<sqlite_road>(file);
}

}  // namespace bulk_bench
