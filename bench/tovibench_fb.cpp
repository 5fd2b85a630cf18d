// tovibench_fb: tovibench's nineteen workloads straight through the Firebird C
// API with the embedded engine, written as one would by hand: each statement
// prepared once, its parameters bound once to the loop's variables (text
// without a copy), columns bound to variables, one native transaction committed
// retaining at the same points as tovi's Firebird driver commits, and data
// definition between a full rollback and a full commit, as that driver runs it.
// Compare the two with bench/compare.sh --firebird.
//
//   tovibench_fb DATABASE_FILE      (created when missing; FIREBIRD_LOCK as for tovi)
#include <ibase.h>

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "twin_suite.hpp"

namespace {

ISC_STATUS_ARRAY status;
isc_db_handle db = 0;
isc_tr_handle tr = 0;
const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version};
const unsigned short dialect = 3;

void check() {
    if (status[0] != 1 || status[1] == 0) return;
    std::string text;
    char message[1024];
    const ISC_STATUS* cursor = status;
    while (fb_interpret(message, sizeof message, &cursor) > 0) text += std::string(message) + "; ";
    throw std::runtime_error(text);
}

void start() {
    isc_start_transaction(status, &tr, 1, &db, sizeof tpb, tpb);
    check();
}

XSQLDA* area(short n) {
    const short size = n > 0 ? n : static_cast<short>(1);
    auto* a = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(size)));
    if (a == nullptr) throw std::bad_alloc();
    a->version = SQLDA_VERSION1;
    a->sqln = size;
    return a;
}

class stmt {
public:
    explicit stmt(const std::string& sql) {
        isc_dsql_allocate_statement(status, &db, &h_);
        check();
        out_ = area(1);
        isc_dsql_prepare(status, &tr, &h_, 0, sql.c_str(), dialect, out_);
        check();
        if (out_->sqld > out_->sqln) {
            const short n = out_->sqld;
            std::free(out_);
            out_ = area(n);
            isc_dsql_describe(status, &h_, dialect, out_);
            check();
        }
        nulls_.assign(static_cast<std::size_t>(out_->sqld), 0);
        in_ = area(1);
        isc_dsql_describe_bind(status, &h_, dialect, in_);
        check();
        if (in_->sqld > in_->sqln) {
            const short n = in_->sqld;
            std::free(in_);
            in_ = area(n);
            isc_dsql_describe_bind(status, &h_, dialect, in_);
            check();
        }
    }
    ~stmt() {
        isc_dsql_free_statement(status, &h_, DSQL_drop);
        std::free(in_);
        std::free(out_);
    }
    stmt(const stmt&) = delete;
    stmt& operator=(const stmt&) = delete;

    void bind(unsigned short n, long& v) { set(in_->sqlvar[n - 1], SQL_INT64, 8, &v, nullptr); }
    void bind(unsigned short n, const std::string& text) {
        set(in_->sqlvar[n - 1], SQL_TEXT, static_cast<short>(text.size()),
            const_cast<char*>(text.data()), nullptr);
    }
    void column(unsigned short n, long& v) {
        set(out_->sqlvar[n - 1], SQL_INT64 | 1, 8, &v, &nulls_[n - 1]);
    }
    void column(unsigned short n, double& v) {
        set(out_->sqlvar[n - 1], SQL_DOUBLE | 1, 8, &v, &nulls_[n - 1]);
    }
    void execute() {
        isc_dsql_execute(status, &tr, &h_, dialect, in_->sqld != 0 ? in_ : nullptr);
        check();
    }
    bool fetch() {
        const ISC_STATUS rc = isc_dsql_fetch(status, &h_, dialect, out_);
        if (rc == 100) return false;
        check();
        return true;
    }
    void close() {
        isc_dsql_free_statement(status, &h_, DSQL_close);
        check();
    }

private:
    static void set(XSQLVAR& v, short type, short length, void* data, short* null) {
        v.sqltype = type;
        v.sqllen = length;
        v.sqlscale = 0;
        v.sqldata = static_cast<char*>(data);
        v.sqlind = null;
    }

    isc_stmt_handle h_ = 0;
    XSQLDA* in_ = nullptr;
    XSQLDA* out_ = nullptr;
    std::vector<short> nulls_;
};

struct firebird_api {
    using stmt = ::stmt;
    static void commit() {
        isc_commit_retaining(status, &tr);
        check();
    }
    static void ddl_exec(const std::string& sql, bool may_fail) {
        isc_rollback_transaction(status, &tr);
        check();
        start();
        isc_dsql_execute_immediate(status, &db, &tr, 0, sql.c_str(), dialect, nullptr);
        if (may_fail && status[0] == 1 && status[1] != 0) return;
        check();
        isc_commit_transaction(status, &tr);
        check();
        start();
    }
};

void connect(const std::string& file) {
    std::string dpb;
    dpb += static_cast<char>(isc_dpb_version1);
    dpb += static_cast<char>(isc_dpb_user_name);
    dpb += static_cast<char>(6);
    dpb += "SYSDBA";
    isc_attach_database(status, static_cast<short>(file.size()), file.c_str(), &db,
                        static_cast<short>(dpb.size()), dpb.data());
    if (status[0] == 1 && status[1] != 0) {  // missing: made, in dialect 3, as tovi does
        dpb += static_cast<char>(isc_dpb_sql_dialect);
        dpb += static_cast<char>(4);
        dpb += std::string("\3\0\0\0", 4);
        isc_create_database(status, static_cast<short>(file.size()), file.c_str(), &db,
                            static_cast<short>(dpb.size()), dpb.data(), 0);
    }
    check();
    start();
}

}  // namespace

int main(int argc, char** argv) {
    std::cout << std::endl << "Native Firebird performance tests ..." << std::endl << std::endl;
    if (argc != 2) {
        std::cerr << "usage: tovibench_fb DATABASE_FILE\n";
        return 2;
    }
    try {
        connect(argv[1]);
        twin::suite<firebird_api>::run();
        isc_rollback_transaction(status, &tr);
        isc_detach_database(status, &db);
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
    twin::report_peak_memory();
    return 0;
}
