// The same few lines on any engine: the URL chooses the driver. Creates a table
// (if needed), adds a row, counts the rows.
//
//   connections URL USER DATABASE
//   connections /SQLITE "" people.db
//   connections /SQLITE "" :memory:
//   connections /ODBC/SQLite3 "" people.db
//   connections /PostgreSQL/127.0.0.1/5432 me people   (password in TOVI_PASSWORD)
//   connections "/ODBC/PostgreSQL Unicode/127.0.0.1/5432" me people
//   connections /InterBase_EMB SYSDBA people.fdb
//   connections /ADO/Microsoft.Jet.OLEDB.4.0 "" people.mdb
#include <tovi/tovi.hpp>

#include <cstdlib>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: connections URL USER DATABASE\n";
        return 2;
    }
    const char* password = std::getenv("TOVI_PASSWORD");
    tovi::api library;
    try {
        tovi::uurl_t url(argv[1], argv[2], password != nullptr ? password : "", argv[3]);
        tovi::udata_source db(url);
        tovi::statement st(db, 1);
        try {
            st.execute("CREATE TABLE person(id INTEGER, name VARCHAR(40))");
        } catch (const tovi::schema_obj_already_exists&) {
            // made by an earlier run
        }
        st.trans->commit();  // some engines want their tables committed before use
        st.execute("INSERT INTO person VALUES(1, 'Ada')");
        st.trans->commit();
        long rows = 0;
        st.parse("SELECT COUNT(*) FROM person");
        st >> rows;
        st.execute();
        st.next();
        std::cout << argv[1] << ": " << rows << " row(s)\n";
    } catch (const tovi::exception& e) {
        std::cerr << e.get_error_text();
        return 1;
    } catch (const std::exception& e) {  // a malformed URL, a module that is not there
        std::cerr << e.what() << "\n";
        return 1;
    }
}
