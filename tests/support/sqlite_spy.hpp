// Watches SQLite from inside the test process (the driver module uses the same
// SQLite library): every connection opened, every SQL text run, and how often a
// prepared statement object ran, so tests can tell a reused statement from a
// prepared-again one.
#ifndef TOVI_TESTS_SUPPORT_SQLITE_SPY_HPP
#define TOVI_TESTS_SUPPORT_SQLITE_SPY_HPP

#include <sqlite3.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tovi_test {

class sqlite_spy {
public:
    static sqlite_spy& instance() {
        static sqlite_spy spy;
        return spy;
    }

    void clear() { statements.clear(); }
    int count(const std::string& sql) const {
        return static_cast<int>(std::count(statements.begin(), statements.end(), sql));
    }
    sqlite3* newest() const { return connections.empty() ? nullptr : connections.back(); }

    // The prepared statement objects of `sql` on the newest connection.
    std::vector<sqlite3_stmt*> prepared(const std::string& sql) const {
        std::vector<sqlite3_stmt*> found;
        sqlite3* db = newest();
        for (sqlite3_stmt* s = db ? sqlite3_next_stmt(db, nullptr) : nullptr; s != nullptr;
             s = sqlite3_next_stmt(db, s))
            if (sqlite3_sql(s) != nullptr && sql == sqlite3_sql(s)) found.push_back(s);
        return found;
    }
    // How often the one prepared statement of `sql` ran (-1 when there is not one).
    int runs(const std::string& sql) const {
        const auto found = prepared(sql);
        return found.size() == 1 ? sqlite3_stmt_status(found[0], SQLITE_STMTSTATUS_RUN, 0) : -1;
    }

    std::vector<sqlite3*> connections;
    std::vector<std::string> statements;

private:
    sqlite_spy() { sqlite3_auto_extension(reinterpret_cast<void (*)()>(&on_open)); }

    static int on_open(sqlite3* db, char**, const void*) {
        instance().connections.push_back(db);
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT | SQLITE_TRACE_CLOSE, &on_trace, nullptr);
        return SQLITE_OK;
    }
    static int on_trace(unsigned type, void*, void* p, void* x) {
        sqlite_spy& spy = instance();
        if (type == SQLITE_TRACE_STMT) {
            const char* text = static_cast<const char*>(x);
            spy.statements.emplace_back(text != nullptr ? text : "");
        } else if (type == SQLITE_TRACE_CLOSE) {
            auto& c = spy.connections;
            c.erase(std::remove(c.begin(), c.end(), static_cast<sqlite3*>(p)), c.end());
        }
        return 0;
    }
};

}  // namespace tovi_test

#endif
