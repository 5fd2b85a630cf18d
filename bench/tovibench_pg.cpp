// tovibench_pg: tovibench's nineteen workloads straight through libpq, written
// as one would by hand: each statement prepared once on the server (a named
// prepared statement), integers sent in binary, text as text, one
// PQexecPrepared per execution, columns read from the rows' text. BEGIN goes
// before the first change and COMMIT at the same points as tovi's native driver
// sends them; data definition runs inside an open transaction, or alone.
// Compare the two with bench/compare.sh --pgsql.
//
//   tovibench_pg CONNINFO     (libpq's "host=... port=... dbname=..." or a URI;
//                              unset parts from PGHOST, PGPORT, PGUSER, ...)
#include <endian.h>
#include <libpq-fe.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "twin_suite.hpp"

namespace {

PGconn* conn = nullptr;
bool in_transaction = false;
int statements = 0;

void check(PGresult* r) {
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
        const std::string message = PQresultErrorMessage(r);
        PQclear(r);
        throw std::runtime_error(message);
    }
}

void run(const char* sql) {
    PGresult* r = PQexec(conn, sql);
    check(r);
    PQclear(r);
}

void commit() {
    if (!in_transaction) return;
    run("COMMIT");
    in_transaction = false;
}

// A named prepared statement with "?" markers numbered as "$n".
class stmt {
public:
    explicit stmt(const std::string& sql) : name_("s" + std::to_string(++statements)) {
        std::string text;
        int n = 0;
        for (char c : sql) {
            if (c == '?')
                text += "$" + std::to_string(++n);
            else
                text += c;
        }
        query_ = sql.compare(0, 6, "SELECT") == 0;
        values_.assign(static_cast<std::size_t>(n), nullptr);
        lengths_.assign(static_cast<std::size_t>(n), 0);
        formats_.assign(static_cast<std::size_t>(n), 0);
        types_.assign(static_cast<std::size_t>(n), 0);
        longs_.assign(static_cast<std::size_t>(n), nullptr);
        binary_.assign(static_cast<std::size_t>(n), 0);
        text_ = text;
    }
    ~stmt() {
        close();
        if (prepared_) PQclear(PQexec(conn, ("DEALLOCATE " + name_).c_str()));
    }
    stmt(const stmt&) = delete;
    stmt& operator=(const stmt&) = delete;

    void bind(int n, long& v) {
        const auto i = static_cast<std::size_t>(n - 1);
        longs_[i] = &v;
        values_[i] = reinterpret_cast<const char*>(&binary_[i]);
        lengths_[i] = 8;
        formats_[i] = 1;
        types_[i] = 20;  // int8
    }
    void bind(int n, const std::string& text) {
        const auto i = static_cast<std::size_t>(n - 1);
        values_[i] = text.c_str();
        lengths_[i] = static_cast<int>(text.size());
    }
    void column(int n, long& v) { longs_out_.push_back({n - 1, &v}); }
    void column(int n, double& v) { doubles_out_.push_back({n - 1, &v}); }

    void execute() {
        if (!query_ && !in_transaction) {
            run("BEGIN");
            in_transaction = true;
        }
        if (!prepared_) {
            PGresult* r = PQprepare(conn, name_.c_str(), text_.c_str(),
                                    static_cast<int>(types_.size()), types_.data());
            check(r);
            PQclear(r);
            prepared_ = true;
        }
        for (std::size_t i = 0; i < longs_.size(); ++i)
            if (longs_[i] != nullptr) binary_[i] = htobe64(static_cast<std::uint64_t>(*longs_[i]));
        PQclear(result_);
        result_ = PQexecPrepared(conn, name_.c_str(), static_cast<int>(values_.size()),
                                 values_.data(), lengths_.data(), formats_.data(), 0);
        const ExecStatusType s = PQresultStatus(result_);
        if (s != PGRES_COMMAND_OK && s != PGRES_TUPLES_OK) {
            PGresult* r = result_;
            result_ = nullptr;
            check(r);
        }
        row_ = -1;
        rows_ = PQntuples(result_);
    }
    bool fetch() {
        if (++row_ >= rows_) return false;
        for (const auto& c : longs_out_)
            *c.second = std::strtol(PQgetvalue(result_, row_, c.first), nullptr, 10);
        for (const auto& c : doubles_out_)
            *c.second = std::strtod(PQgetvalue(result_, row_, c.first), nullptr);
        return true;
    }
    void close() {
        PQclear(result_);
        result_ = nullptr;
    }

private:
    std::string name_;
    std::string text_;
    bool query_ = false;
    bool prepared_ = false;
    std::vector<const char*> values_;
    std::vector<int> lengths_, formats_;
    std::vector<Oid> types_;
    std::vector<long*> longs_;
    std::vector<std::uint64_t> binary_;
    std::vector<std::pair<int, long*>> longs_out_;
    std::vector<std::pair<int, double*>> doubles_out_;
    PGresult* result_ = nullptr;
    int row_ = -1, rows_ = 0;
};

// Data definition: inside an open transaction, or alone.
void ddl_exec(const std::string& sql, bool may_fail) {
    PGresult* r = PQexec(conn, sql.c_str());
    try {
        check(r);
        PQclear(r);
    } catch (const std::runtime_error&) {
        if (!may_fail) throw;
    }
}

struct pg_api {
    using stmt = ::stmt;
    static void commit() { ::commit(); }
    static void ddl_exec(const std::string& sql, bool may_fail) { ::ddl_exec(sql, may_fail); }
};

}  // namespace

int main(int argc, char** argv) {
    std::cout << std::endl << "Native libpq performance tests ..." << std::endl << std::endl;
    if (argc != 2) {
        std::cerr << "usage: tovibench_pg CONNINFO\n";
        return 2;
    }
    conn = PQconnectdb(argv[1]);
    if (PQstatus(conn) != CONNECTION_OK) {
        std::cerr << PQerrorMessage(conn);
        PQfinish(conn);
        return 1;
    }
    try {
        twin::suite<pg_api>::run();
        if (in_transaction) run("ROLLBACK");
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        PQfinish(conn);
        return 1;
    }
    PQfinish(conn);
    twin::report_peak_memory();
    return 0;
}
