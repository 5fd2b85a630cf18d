// The Firebird C API road of tovibench_probe (embedded engine): INSERT 02 with
// its parameters bound once, INNER JOIN 02 with its column bound, in one native
// transaction; and the tables both roads start from.
#include <ibase.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

ISC_STATUS_ARRAY status;
const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version};

void check() {
    if (status[0] == 1 && status[1] != 0) {
        char message[512];
        const ISC_STATUS* cursor = status;
        fb_interpret(message, sizeof message, &cursor);
        throw std::runtime_error(message);
    }
}

// An attachment to `file` (created, dialect 3, when missing) with a transaction.
struct fb_road {
    explicit fb_road(const char* file) {
        std::string dpb = std::string(1, isc_dpb_version1) + std::string(1, isc_dpb_user_name) +
                          std::string(1, 6) + "SYSDBA";
        const short length = static_cast<short>(std::string(file).size());
        isc_attach_database(status, length, file, &db, static_cast<short>(dpb.size()), dpb.data());
        if (status[0] == 1 && status[1] != 0) {
            dpb += std::string(1, isc_dpb_sql_dialect) + std::string(1, 4) +
                   std::string("\3\0\0\0", 4);
            isc_create_database(status, length, file, &db, static_cast<short>(dpb.size()),
                                dpb.data(), 0);
        }
        check();
        begin();
    }
    ~fb_road() {
        isc_commit_transaction(status, &tr);
        isc_detach_database(status, &db);
    }
    void begin() {
        isc_start_transaction(status, &tr, 1, &db, sizeof tpb, tpb);
        check();
    }
    void run(const char* sql) {
        isc_dsql_execute_immediate(status, &db, &tr, 0, sql, 3, nullptr);
        check();
    }
    void commit() {  // fully: data definition is seen by later statements
        isc_commit_transaction(status, &tr);
        check();
        begin();
    }
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
};

// A prepared statement with `in` parameters and `out` columns.
struct prepared {
    prepared(fb_road& road, const char* sql, short in, short out) {
        isc_dsql_allocate_statement(status, &road.db, &h);
        check();
        in_area = area(in);
        out_area = area(out);
        isc_dsql_prepare(status, &road.tr, &h, 0, sql, 3, out_area);
        check();
        isc_dsql_describe_bind(status, &h, 3, in_area);
        check();
    }
    ~prepared() {
        isc_dsql_free_statement(status, &h, DSQL_drop);
        std::free(in_area);
        std::free(out_area);
    }
    static XSQLDA* area(short n) {
        auto* a = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n > 0 ? n : 1)));
        a->version = SQLDA_VERSION1;
        a->sqln = a->sqld = n;
        return a;
    }
    static void set(XSQLVAR& v, short type, short length, void* data, short* null = nullptr) {
        v.sqltype = type;
        v.sqllen = length;
        v.sqlscale = 0;
        v.sqldata = static_cast<char*>(data);
        v.sqlind = null;
    }
    isc_stmt_handle h = 0;
    XSQLDA* in_area;
    XSQLDA* out_area;
};

__attribute__((noinline)) void fb_insert_iteration(fb_road& road, prepared& s, long& a, long& b,
                                                   long i) {
    a = b = i;
    isc_dsql_execute(status, &road.tr, &s.h, 3, s.in_area);
}

__attribute__((noinline)) bool fb_join_iteration(prepared& s, const long& a, long& sum) {
    if (isc_dsql_fetch(status, &s.h, 3, s.out_area) != 0) return false;
    sum += a;
    return true;
}

}  // namespace

void fb_prepare_tables(const char* file, long rows) {
    fb_road road(file);
    road.run("CREATE TABLE t1(a INTEGER, b INTEGER, c VARCHAR(100))");
    road.run("CREATE TABLE t2(a INTEGER, b INTEGER, c VARCHAR(100))");
    road.commit();
    {
        prepared ins(road, "INSERT INTO t1 VALUES(?, ?, 'x')", 2, 0);
        long a = 0, b = 0;
        prepared::set(ins.in_area->sqlvar[0], SQL_INT64, 8, &a);
        prepared::set(ins.in_area->sqlvar[1], SQL_INT64, 8, &b);
        for (long i = 0; i < rows; ++i) {
            a = b = i;
            isc_dsql_execute(status, &road.tr, &ins.h, 3, ins.in_area);
            check();
        }
    }
    road.run("INSERT INTO t2 SELECT * FROM t1");
    road.commit();
    road.run("CREATE INDEX i2b ON t2(b)");
    road.commit();
}

long fb_insert(const char* file, long n) {
    fb_prepare_tables(file, 0);
    fb_road road(file);
    prepared s(road, "INSERT INTO t2 VALUES(?, ?, ?)", 3, 0);
    long a = 0, b = 0;
    const std::string c = "oops oops oops";
    prepared::set(s.in_area->sqlvar[0], SQL_INT64, 8, &a);
    prepared::set(s.in_area->sqlvar[1], SQL_INT64, 8, &b);
    prepared::set(s.in_area->sqlvar[2], SQL_TEXT, static_cast<short>(c.size()),
                  const_cast<char*>(c.data()));
    for (long i = 0; i < n; ++i) fb_insert_iteration(road, s, a, b, i);
    return n;
}

long fb_join(const char* file, long n) {
    fb_prepare_tables(file, n);
    fb_road road(file);
    prepared s(road, "SELECT t1.a FROM t1 INNER JOIN t2 ON t1.b = t2.b", 0, 1);
    long a = 0, sum = 0;
    short null = 0;
    prepared::set(s.out_area->sqlvar[0], SQL_INT64 | 1, 8, &a, &null);
    isc_dsql_execute(status, &road.tr, &s.h, 3, nullptr);
    check();
    while (fb_join_iteration(s, a, sum)) {
    }
    return sum;
}
