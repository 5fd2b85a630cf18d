// Errors: one exception tree; the dialect turns each engine's failure into the
// same class on every engine, and get_error_text() tells the whole story.
//
//   errors FILE
#include <tovi/tovi.hpp>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    tovi::api library;
    tovi::uurl_t url("/SQLITE", "", "", argv[1]);
    tovi::udata_source db(url);
    tovi::statement st(db, 1);
    st.execute("CREATE TABLE person(id INTEGER PRIMARY KEY, name TEXT)");
    st.execute("INSERT INTO person VALUES(1, 'Ada')");
    st.trans->commit();

    try {
        st.execute("INSERT INTO person VALUES(1, 'Grace')");
    } catch (const tovi::dup_value_on_index& e) {
        std::cout << "duplicate key:\n" << e.get_error_text();
    }
    try {
        st.execute("SELECT * FROM nobody");
    } catch (const tovi::no_schema_obj_found&) {
        std::cout << "missing table: no_schema_obj_found\n";
    }
    try {
        st.execute("CREATE TABLE person(id INTEGER)");
    } catch (const tovi::schema_obj_already_exists&) {
        std::cout << "existing table: schema_obj_already_exists\n";
    }
    try {
        tovi::statement q(db, 1);
        long id = 0;
        q.parse("SELECT NULL");
        q >> id;  // a plain variable cannot hold NULL
        q.execute();
        q.next();
    } catch (const tovi::value_is_null&) {
        std::cout << "NULL into a plain variable: value_is_null\n";
    }
    try {
        st.execute("INSERT INTO person VALUES(1, 'Grace')");
    } catch (const tovi::exception& e) {  // the root of the tree catches them all
        std::cout << "caught as tovi::exception, first message: " << e.what() << "\n";
    }
}
