// The process that the crash test kills: commits numbered batches of rows into a
// SQLite database through tovi, forever, and prints each batch's number once its
// commit has returned.
//
//   crash_child DATABASE_FILE
#include <tovi/tovi.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const long rows_per_batch = 20;
    try {
        tovi::api::init();
        tovi::uurl_t url("/SQLITE", "", "", argv[1]);
        tovi::udata_source ds(url);
        {
            tovi::statement ddl(ds, 1);
            ddl.execute("CREATE TABLE IF NOT EXISTS b(batch INTEGER, i INTEGER, pad TEXT)");
            ddl.trans->commit();
        }
        long batch = 0;
        {
            tovi::statement last(ds, 1);
            last.parse("SELECT COALESCE(MAX(batch), 0) FROM b");
            last >> batch;
            last.execute();
            last.next();
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
    } catch (const tovi::exception& e) {
        std::fprintf(stderr, "%s\n", e.get_error_text().c_str());
        return 1;
    }
}
