// sqlite_example: opens "/SQLITE" on a database file, creates a table, inserts
// rows with bound parameters inside a transaction block, reads them back, and
// shows a classified error.
//
//   sqlite_example FILE
#include <tovi/tovi.hpp>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: sqlite_example DATABASE_FILE\n";
        return 2;
    }
    tovi::api library;  // keep the library started for the whole run
    try {
        tovi::uurl_t url("/SQLITE", "", "", argv[1]);
        tovi::udata_source db(url);

        tovi::statement st(db, 1);
        st.execute(
            "CREATE TABLE IF NOT EXISTS person(id INTEGER PRIMARY KEY, name TEXT, born TEXT)");

        long id = 0;
        std::string name;
        tovi::date_time_t born;
        st.parse("INSERT INTO person(id, name, born) VALUES(:id, :name, :born)");
        st << id << name << born;
        for (tovi::auto_trans work(*st.trans); work.pending; work.pending = false) {
            const char* names[] = {"Ada", "Brian", "Grace"};
            for (long i = 0; i < 3; ++i) {
                id = i + 1;
                name = names[i];
                tm when{};
                tovi::string2tm("19" + std::to_string(15 + 20 * i) + "-12-10 00:00:00", when);
                born = tovi::date_time_t(when);
                st.execute();
            }
        }

        tovi::long_t row_id;
        tovi::string_t row_name(64);
        tovi::date_time_t row_born;
        st.parse("SELECT id, name, born FROM person ORDER BY id");
        st >> row_id >> row_name >> row_born;
        st.execute();
        while (st.next())
            std::cout << static_cast<long>(static_cast<const tovi::long_t&>(row_id)) << "  "
                      << row_name.value << "  " << row_born << "\n";

        try {
            st.parse("INSERT INTO person(id, name) VALUES(1, 'again')");
            st.execute();
        } catch (const tovi::dup_value_on_index& e) {
            std::cout << "duplicate key, as expected:\n" << e.get_error_text();
        }
        st.trans->rollback();
    } catch (const tovi::exception& e) {
        std::cerr << "sqlite_example: " << e.get_error_text();
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "sqlite_example: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
