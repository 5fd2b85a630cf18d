// The process that the crash test kills: commits numbered batches of rows through
// tovi, forever, and prints each batch's number once its commit has returned.
// With "check" it prints instead, per batch found, its number and row count.
//
//   crash_child write|check URL USER DATABASE
#include <tovi/tovi.hpp>

#include <cstdio>
#include <cstring>
#include <string>

#include <unistd.h>

namespace {

void create_table(tovi::data_source& ds) {
    tovi::statement ddl(ds, 1);
    try {
        ddl.execute("CREATE TABLE b(batch INTEGER, i INTEGER, pad VARCHAR(200))");
    } catch (const tovi::schema_obj_already_exists&) {
    }
    ddl.trans->commit();
}

int check(tovi::data_source& ds) {
    tovi::statement st(ds, 1);
    long batch = 0, rows = 0;
    st.parse("SELECT batch, COUNT(*) FROM b GROUP BY batch");
    st >> batch >> rows;
    st.execute();
    while (st.next()) std::printf("%ld %ld\n", batch, rows);
    std::fflush(stdout);
    return 0;
}

int write(tovi::data_source& ds) {
    const long rows_per_batch = 20;
    long batch = 0;
    {
        tovi::statement last(ds, 1);
        tovi::long_t top;
        last.parse("SELECT MAX(batch) FROM b");
        last >> top;
        last.execute();
        if (last.next() && !top.is_null) batch = top.value;
        last.trans->commit();
    }
    tovi::transaction tx(ds);
    tovi::statement ins(tx, 1);
    ins.parse("INSERT INTO b VALUES(:batch, :i, :pad)");
    long i = 0;
    std::string pad(200, 'x');
    ins << batch << i << pad;
    for (;;) {
        ++batch;
        for (i = 0; i < rows_per_batch; ++i) ins.execute();
        tx.commit();
        std::printf("%ld\n", batch);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    int rc = 1;
    try {
        tovi::api::init();
        tovi::uurl_t url(argv[2], argv[3], "", argv[4]);
        tovi::udata_source ds(url);
        create_table(ds);
        rc = std::strcmp(argv[1], "check") == 0 ? check(ds) : write(ds);
    } catch (const tovi::exception& e) {
        std::fprintf(stderr, "%s\n", e.get_error_text().c_str());
        std::fflush(stderr);
    }
    // Without the exit handlers: an embedded engine's client library keeps threads
    // and process-lifetime memory past main, which is not this test's subject.
    _exit(rc);
}
