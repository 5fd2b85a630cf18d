// The guide's first program: a database file, a table, two rows in a
// transaction, read back.
//
//   first_program FILE
#include <tovi/tovi.hpp>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    tovi::api library;                             // started for the whole program
    tovi::uurl_t url("/SQLITE", "", "", argv[1]);  // URL, user, password, database
    tovi::udata_source db(url);                    // loads the driver and the dialect
    tovi::statement st(db, 1);
    st.execute("DROP TABLE IF EXISTS person");  // a fresh start on every run
    st.execute("CREATE TABLE person(id INTEGER, name TEXT)");

    long id = 0;
    std::string name;
    st.parse("INSERT INTO person VALUES(:id, :name)");
    st << id << name;  // bound by reference
    for (tovi::auto_trans t(*st.trans); t.pending; t.pending = false) {
        id = 1, name = "Ada", st.execute();
        id = 2, name = "Grace", st.execute();
    }  // committed here

    tovi::statement q(db, 1);
    q.parse("SELECT id, name FROM person ORDER BY id");
    q >> id >> name;
    q.execute();
    while (q.next()) std::cout << id << " " << name << "\n";
}
