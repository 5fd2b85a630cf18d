// Transactions: the statement's own, an explicit one, an auto_trans block, and
// what a transaction destroyed without commit or rollback keeps (on SQLite: its
// work, which the driver ends; end transactions yourself).
//
//   transactions FILE
#include <tovi/tovi.hpp>

#include <iostream>
#include <stdexcept>

namespace {

long count(tovi::data_source& db) {
    tovi::statement st(db, 1);
    long n = 0;
    st.parse("SELECT COUNT(*) FROM account");
    st >> n;
    st.execute();
    st.next();
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    tovi::api library;
    tovi::uurl_t url("/SQLITE", "", "", argv[1]);
    tovi::udata_source db(url);
    {
        tovi::statement st(db, 1);
        st.execute("CREATE TABLE account(id INTEGER, balance INTEGER)");
        st.trans->commit();  // a statement's own transaction: commit it yourself
    }

    // An explicit transaction: its statements commit or roll back together.
    {
        tovi::transaction tx(db);
        tovi::statement st(tx, 1);
        st.execute("INSERT INTO account VALUES(1, 100)");
        st.execute("INSERT INTO account VALUES(2, 50)");
        tx.commit();
    }
    std::cout << "after commit: " << count(db) << " accounts\n";

    // auto_trans: committed when the block ends, rolled back when an exception leaves it.
    try {
        tovi::statement st(db, 1);
        for (tovi::auto_trans t(*st.trans); t.pending; t.pending = false) {
            st.execute("INSERT INTO account VALUES(3, 10)");
            throw std::runtime_error("the transfer failed half-way");
        }
    } catch (const std::runtime_error& e) {
        std::cout << e.what() << ": " << count(db) << " accounts\n";
    }

    // A transaction destroyed without commit or rollback is rolled back.
    {
        tovi::transaction tx(db);
        tovi::statement st(tx, 1);
        st.execute("DELETE FROM account");
    }
    std::cout << "after a transaction destroyed unended: " << count(db) << " accounts\n";
}
