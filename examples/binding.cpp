// Binding: plain variables, typed values that carry NULL, variants, large objects
// and dates, in and out.
//
//   binding FILE
#include <tovi/tovi.hpp>

#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    tovi::api library;
    tovi::uurl_t url("/SQLITE", "", "", argv[1]);
    tovi::udata_source db(url);
    tovi::statement st(db, 1);
    st.execute("CREATE TABLE item(id INTEGER, name TEXT, price REAL, added TEXT, photo BLOB)");

    // In: each value bound once, by reference; set it, then execute.
    long id = 0;              // a plain variable: never NULL
    _variant_t name;          // a variant: VT_EMPTY goes out as NULL
    tovi::double_t price;     // a typed value: NULL while is_null is set
    tovi::date_time_t added;  // a date and time
    tovi::blob_t photo;       // a large object, given whole or in pieces
    st.parse("INSERT INTO item VALUES(:id, :name, :price, :added, :photo)");
    st << id << name << price << added << photo;
    for (tovi::auto_trans t(*st.trans); t.pending; t.pending = false) {
        id = 1;
        name = "lamp";
        price = 19.5;  // clears is_null
        tm when{};
        when.tm_year = 124, when.tm_mon = 1, when.tm_mday = 29, when.tm_hour = 9,
        when.tm_isdst = -1;
        added = tovi::date_time_t(when);
        photo.set_entire(std::string("\x89PNG", 4));
        st.execute();

        id = 2;
        name.Clear();          // no name
        price.is_null = true;  // no price
        photo.set_entire("");
        st.execute();
    }

    // Out: columns bound the same way; each next() fills them.
    tovi::statement q(db, 1);
    q.parse("SELECT id, name, price, photo FROM item ORDER BY id");
    long out_id = 0;
    _variant_t out_name;
    tovi::double_t out_price;
    tovi::blob_t out_photo;
    q >> out_id >> out_name >> out_price >> out_photo;
    q.execute();
    while (q.next()) {
        std::cout << out_id << ": "
                  << (out_name.vt == VT_EMPTY ? "(no name)" : tovi::variant2string(out_name))
                  << ", "
                  << (out_price.is_null ? std::string("(no price)")
                                        : std::to_string(out_price.value))
                  << ", photo of " << (out_photo.is_null ? 0 : out_photo.get_entire().size())
                  << " bytes\n";
    }
}
