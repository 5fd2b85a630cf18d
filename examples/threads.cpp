// Threads: one data source per thread. Four threads, each with its own data
// source on the same database file, insert rows at the same time; the pool
// behind the URL is shared, the data sources are not.
//
//   threads FILE
#include <tovi/tovi.hpp>

#include <iostream>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    tovi::api library;
    tovi::uurl_t url("/SQLITE", "", "", argv[1]);
    {
        tovi::udata_source db(url);
        tovi::statement st(db, 1);
        st.execute("CREATE TABLE event(thread INTEGER, n INTEGER)");
        st.trans->commit();
    }
    std::vector<std::thread> workers;
    for (long t = 0; t < 4; ++t) {
        workers.emplace_back([&url, t] {
            tovi::udata_source db(url);  // this thread's own
            tovi::statement st(db, 1);
            long thread = t, n = 0;
            st.parse("INSERT INTO event VALUES(:thread, :n)");
            st << thread << n;
            for (tovi::auto_trans tx(*st.trans); tx.pending; tx.pending = false)
                for (n = 0; n < 250; ++n) st.execute();
        });
    }
    for (std::thread& w : workers) w.join();

    tovi::udata_source db(url);
    tovi::statement q(db, 1);
    long rows = 0;
    q.parse("SELECT COUNT(*) FROM event");
    q >> rows;
    q.execute();
    q.next();
    std::cout << rows << " rows from 4 threads\n";
}
