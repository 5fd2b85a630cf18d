// Bulk work: 10 000 rows written by one call, read back 1 000 at a time.
//
//   bulk URL USER DATABASE        (the password, if any, in TOVI_PASSWORD)
//   bulk /SQLITE "" readings.db
//   bulk /PostgreSQL/127.0.0.1/5432 me readings
#include <tovi/tovi.hpp>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: bulk URL USER DATABASE\n";
        return 2;
    }
    const char* password = std::getenv("TOVI_PASSWORD");
    tovi::api library;
    try {
        tovi::uurl_t url(argv[1], argv[2], password != nullptr ? password : "", argv[3]);
        tovi::udata_source db(url);
        {
            tovi::statement st(db, 1);
            try {
                st.execute("CREATE TABLE reading(id INTEGER, value REAL, note VARCHAR(40))");
            } catch (const tovi::schema_obj_already_exists&) {
                // made by an earlier run
            }
            st.trans->commit();
            st.execute("DELETE FROM reading");
            st.trans->commit();
        }

        std::vector<long> ids;
        std::vector<double> values;
        std::vector<std::optional<std::string>> notes;  // NULL where there is none
        for (long i = 0; i < 10000; ++i) {
            ids.push_back(i);
            values.push_back(i * 0.5);
            notes.push_back(i % 100 == 0 ? std::optional<std::string>("checked") : std::nullopt);
        }
        tovi::transaction tx(db);
        tovi::statement insert(tx, 1);
        insert.parse("INSERT INTO reading VALUES(:id, :value, :note)");
        tovi::bulk in(insert);
        in << ids << values << notes;
        in.execute();  // every row; a failure names its row
        tx.commit();

        tovi::statement select(db, 1);
        select.parse("SELECT id, note FROM reading ORDER BY id");
        std::vector<long> read_ids;
        std::vector<std::optional<std::string>> read_notes;
        tovi::bulk out(select);
        out >> read_ids >> read_notes;
        out.execute();
        long rows = 0, fetches = 0, checked = 0;
        while (const std::size_t n = out.fetch(1000)) {
            ++fetches;
            rows += static_cast<long>(n);
            for (const auto& note : read_notes) checked += note.has_value();
        }
        std::cout << rows << " rows in " << fetches << " fetches, " << checked << " checked\n";
    } catch (const tovi::exception& e) {
        std::cerr << e.get_error_text();
        return 1;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
