// schema_script: declares a schema with the SQL builder (two tables, an index
// and a foreign key with ON DELETE CASCADE) and creates it with a script on
// "/SQLITE": the dialect prints the DDL and the script runs it in dependency
// order. Then it shows the foreign key at work.
//
//   schema_script FILE
#include <tovi/tovi.hpp>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: schema_script DATABASE_FILE\n";
        return 2;
    }
    tovi::api library;
    try {
        sql::Database db("library");
        sql::table_t books = db.SCHEMA("main").TABLE("BOOKS");  // declared first, created second
        books.FIELD("ID").TYPE("INTEGER").NOT_NULL(true);
        books.FIELD("AUTHOR_ID").TYPE("INTEGER");
        books.FIELD("TITLE").TYPE("VARCHAR").SIZE(200);
        books.PRIMARY_KEY(books.INDEX("PK_BOOKS").FIELD(books.FIELD("ID")));
        sql::table_t authors = db.SCHEMA("main").TABLE("AUTHORS");
        authors.FIELD("ID").TYPE("INTEGER").NOT_NULL(true);
        authors.FIELD("NAME").TYPE("VARCHAR").SIZE(100);
        authors.PRIMARY_KEY(authors.INDEX("PK_AUTHORS").FIELD(authors.FIELD("ID")));
        authors.INDEX("IX_AUTHOR_NAME").FIELD(authors.FIELD("NAME"));
        db += sql::Relationship("FK_BOOK_AUTHOR", db)
                  .FOREIGN_KEY(books.FIELD("AUTHOR_ID"))
                  .REFERENCES(authors.FIELD("ID"))
                  .ON_DELETE(sql::impl::constraint_t::cascade);

        tovi::uurl_t url("/SQLITE", "", "", argv[1]);
        tovi::udata_source source(url);
        tovi::transaction tx(source);
        sql::script create(tx);
        create.parse(sql::Create(db));
        create.execute();
        tx.commit();
        std::cout << "schema created\n";

        {
            tovi::statement st(source, 1);
            st.execute("INSERT INTO AUTHORS VALUES(1, 'Ursula K. Le Guin')");
            st.execute("INSERT INTO BOOKS VALUES(1, 1, 'A Wizard of Earthsea')");
            try {
                st.execute("INSERT INTO BOOKS VALUES(2, 42, 'Nobody wrote this')");
            } catch (const tovi::integrity_violation&) {
                std::cout << "a book without an author is refused, as expected\n";
            }
            st.execute("DELETE FROM AUTHORS WHERE ID = 1");
            long left = -1;
            st.parse("SELECT COUNT(*) FROM BOOKS");
            st >> left;
            st.execute();
            while (st.next())
                std::cout << "books left after deleting their author: " << left << "\n";
        }  // the statement goes: no open query keeps SQLite from dropping the tables

        sql::script drop(tx);
        drop.parse(sql::Drop(db));
        drop.execute();
        tx.commit();
        std::cout << "schema dropped\n";
    } catch (const tovi::exception& e) {
        std::cerr << e.get_error_text();
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
