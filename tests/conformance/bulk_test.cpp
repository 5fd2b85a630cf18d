// Bulk work on every driver: vectors in, vectors out, NULLs anywhere, a failing
// row named, vectors of different lengths refused before anything runs.
#include <optional>
#include <string>
#include <vector>

#include "conformance_fixture.hpp"

namespace tovi_conformance {

namespace {

tm day(int n) {
    tm t{};
    t.tm_year = 2000 - 1900;
    t.tm_mon = 0;
    t.tm_mday = 1 + n % 28;
    t.tm_hour = n % 24;
    t.tm_isdst = -1;
    return t;
}

}  // namespace

// Guards: a row lost, doubled or shifted; a NULL read as a value or the other way
// round; a fetch that does not empty its vectors or reads past its count.
TEST_P(Conformance, BulkRowsRoundTripWithNullsInEveryPosition) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE b(id " + c.integer_type + ", t " + c.text_type + ", r " + c.real_type +
         ", d " + c.date_type + ")");
    tovi::transaction tx(*ds);
    tovi::statement ins(tx, 1);
    ins.parse("INSERT INTO b VALUES(:id, :t, :r, :d)");
    std::vector<long> ids;
    std::vector<std::optional<std::string>> texts;
    std::vector<std::optional<double>> reals;
    std::vector<std::optional<tm>> dates;
    tovi::bulk in(ins);
    in << ids << texts << reals << dates;
    in.execute();  // no rows: nothing runs
    const long n = 10000;
    for (long i = 0; i < n; ++i) {
        ids.push_back(i);
        texts.push_back(i % 3 == 0 ? std::nullopt
                                   : std::optional<std::string>("t" + std::to_string(i)));
        reals.push_back(i % 3 == 1 ? std::nullopt : std::optional<double>(i + 0.5));
        dates.push_back(i % 3 == 2 ? std::nullopt : std::optional<tm>(day(static_cast<int>(i))));
    }
    // The second half without dates: a driver may bind plain columns its own
    // way and dates through its bindings.
    const auto half = static_cast<std::ptrdiff_t>(n / 2);
    std::vector<long> later_ids(ids.begin() + half, ids.end());
    std::vector<std::optional<std::string>> later_texts(texts.begin() + half, texts.end());
    std::vector<std::optional<double>> later_reals(reals.begin() + half, reals.end());
    ids.resize(n / 2);
    texts.resize(n / 2);
    reals.resize(n / 2);
    dates.resize(n / 2);
    EXPECT_EQ(in.rows(), static_cast<std::size_t>(n / 2));
    in.execute();
    tovi::statement later(tx, 1);
    later.parse("INSERT INTO b(id, t, r) VALUES(:id, :t, :r)");
    tovi::bulk second(later);
    second << later_ids << later_texts << later_reals;
    second.execute();
    tx.commit();
    EXPECT_EQ(count("b"), n);
    texts.insert(texts.end(), later_texts.begin(), later_texts.end());
    reals.insert(reals.end(), later_reals.begin(), later_reals.end());

    tovi::statement sel(*ds, 1);
    sel.parse("SELECT id, t, r, d FROM b ORDER BY id");
    std::vector<long> got_ids;
    std::vector<std::optional<std::string>> got_texts;
    std::vector<std::optional<double>> got_reals;
    std::vector<std::optional<tm>> got_dates;
    tovi::bulk out(sel);
    out >> got_ids >> got_texts >> got_reals >> got_dates;
    out.execute();
    long seen = 0;
    for (std::size_t got; (got = out.fetch(4096)) != 0;) {
        ASSERT_EQ(got, std::min<std::size_t>(4096, static_cast<std::size_t>(n - seen)));
        ASSERT_EQ(got_ids.size(), got);
        ASSERT_EQ(got_dates.size(), got);
        for (std::size_t k = 0; k < got; ++k, ++seen) {
            ASSERT_EQ(got_ids[k], seen);
            EXPECT_EQ(got_texts[k], texts[static_cast<std::size_t>(seen)]) << seen;
            EXPECT_EQ(got_reals[k], reals[static_cast<std::size_t>(seen)]) << seen;
            ASSERT_EQ(got_dates[k].has_value(), seen < n / 2 && seen % 3 != 2) << seen;
            if (got_dates[k]) {
                EXPECT_EQ(got_dates[k]->tm_mday, day(static_cast<int>(seen)).tm_mday);
            }
        }
    }
    EXPECT_EQ(seen, n);
    EXPECT_TRUE(got_ids.empty());  // the last call read nothing and emptied them
}

// Guards: a failing row not named, the rows before a value that cannot be sent
// lost, the batch's earlier rows kept after a
// rollback (or a whole batch committed behind the application's back), vectors of different lengths
// running part of a batch, a NULL fetched into a plain value read as 0.
TEST_P(Conformance, BulkFailuresNameTheRowAndKeepNothingAfterRollback) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE k(id " + c.integer_type + " PRIMARY KEY, t " + c.text_type + ")");
    commit_pending();
    {
        tovi::transaction tx(*ds);
        tovi::statement ins(tx, 1);
        ins.parse("INSERT INTO k VALUES(:id, :t)");
        std::vector<long> ids = {1, 2, 3, 2, 5};
        std::vector<std::string> texts = {"a", "b", "c", "d"};
        tovi::bulk in(ins);
        in << ids << texts;
        EXPECT_THROW(in.execute(), tovi::bad_operation);  // 5 ids, 4 texts
        texts.push_back("e");
        try {
            in.execute();
            ADD_FAILURE() << "a duplicate key was stored";
        } catch (const tovi::dup_value_on_index& e) {
            // A driver that cannot tell the row names the rows run together.
            const std::string named = c.has("bulk_names_failing_row")
                                          ? "Row 3 of 5 failed"
                                          : "One of rows 0 to 4 of 5 failed";
            EXPECT_NE(e.get_error_text().find(named), std::string::npos) << e.get_error_text();
        }
        tx.rollback();
    }
    EXPECT_EQ(count("k"), 0);
    {
        // A batch that ran whole is the transaction's too (a driver's
        // savepoint around it must not commit it).
        tovi::transaction tx(*ds);
        tovi::statement ins(tx, 1);
        ins.parse("INSERT INTO k VALUES(:id, :t)");
        std::vector<long> ids = {1, 2};
        std::vector<std::string> texts = {"a", "b"};
        tovi::bulk in(ins);
        in << ids << texts;
        in.execute();
        tx.rollback();
    }
    EXPECT_EQ(count("k"), 0);

    {
        // A value no road sends (a date before the year 100) in the middle of
        // a batch: that row fails as it would alone, the rows before it stand.
        exec("CREATE TABLE kd(id " + c.integer_type + ", d " + c.date_type + ")");
        commit_pending();
        tovi::transaction tx(*ds);
        tovi::statement ins(tx, 1);
        ins.parse("INSERT INTO kd VALUES(:id, :d)");
        std::vector<long> ids = {1, 2, 3, 4};
        std::vector<tm> dates = {day(1), day(2), day(3), day(4)};
        dates[2].tm_year = 50 - 1900;
        tovi::bulk in(ins);
        in << ids << dates;
        try {
            in.execute();
            ADD_FAILURE() << "a date before the year 100 was sent";
        } catch (const tovi::bad_value& e) {
            EXPECT_NE(e.get_error_text().find("Row 2 of 4 failed"), std::string::npos)
                << e.get_error_text();
        }
        tovi::statement n(tx, 1);
        long rows = -1;
        n.parse("SELECT COUNT(*) FROM kd");
        n >> rows;
        n.execute();
        ASSERT_TRUE(n.next());
        EXPECT_EQ(rows, 2);
        tx.rollback();
    }

    tovi::statement ins(*ds, 1);
    ins.parse("INSERT INTO k VALUES(:id, :t)");
    std::vector<long> id = {7};
    std::vector<std::optional<std::string>> null_text = {std::nullopt};
    tovi::bulk in(ins);
    in << id << null_text;
    in.execute();
    tovi::statement sel(*ds, 1);
    sel.parse("SELECT t FROM k");
    std::vector<std::string> plain;
    tovi::bulk out(sel);
    out >> plain;
    out.execute();
    EXPECT_THROW(out.fetch(10), tovi::value_is_null);
}

// Guards: a driver's own bulk path reading a column of another type than the
// vector's otherwise than a single row would (every road's conversion rules
// hold), plain vectors losing data, a bulk object mixing with earlier bindings.
TEST_P(Conformance, BulkFollowsTheConversionRulesOfSingleRows) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE m(n " + c.integer_type + ", t " + c.text_type + ", r " + c.real_type + ")");
    tovi::statement ins(*ds, 1);
    ins.parse("INSERT INTO m VALUES(:n, :t, :r)");
    std::vector<std::optional<long>> ns = {-123456, 42};
    std::vector<std::string> ts = {"-5", "17"};
    std::vector<double> rs = {-2.0, 3.0};
    {
        tovi::bulk in(ins);
        in << ns << ts << rs;
        in.execute();
    }
    ins.parse("INSERT INTO m VALUES(:n, :t, :r)");
    long single = 1;
    ins << single;
    EXPECT_THROW(tovi::bulk{ins}, tovi::bad_operation);  // bound already
    commit_pending();

    tovi::statement sel(*ds, 1);
    sel.parse("SELECT n, t, r, t, n, r FROM m ORDER BY 1");
    std::vector<long> n;
    std::vector<std::string> t;
    std::vector<double> r;
    std::vector<std::optional<long>> t_as_long;
    std::vector<std::string> n_as_text;
    std::vector<long> r_as_long;
    tovi::bulk out(sel);
    out >> n >> t >> r >> t_as_long >> n_as_text >> r_as_long;
    out.execute();
    ASSERT_EQ(out.fetch(1), 1u);  // one row, then the rest
    EXPECT_EQ(n, std::vector<long>{-123456});
    EXPECT_EQ(t, std::vector<std::string>{"-5"});
    EXPECT_EQ(r, std::vector<double>{-2.0});
    EXPECT_EQ(t_as_long, std::vector<std::optional<long>>{-5});
    EXPECT_EQ(n_as_text, std::vector<std::string>{"-123456"});
    EXPECT_EQ(r_as_long, std::vector<long>{-2});
    ASSERT_EQ(out.fetch(10), 1u);
    EXPECT_EQ(t_as_long, std::vector<std::optional<long>>{17});
    EXPECT_EQ(n_as_text, std::vector<std::string>{"42"});
    EXPECT_EQ(r_as_long, std::vector<long>{3});
    EXPECT_EQ(out.fetch(10), 0u);
}

// Guards: binary data cut at a NUL byte or read as text, an empty value read as
// NULL or the other way round, in either direction of bulk work.
TEST_P(Conformance, BulkBlobsKeepEveryByte) {
    const driver_case& c = GetParam();
    exec("CREATE TABLE bb(id " + c.integer_type + ", b " + c.blob_type + ")");
    tovi::bytes every(256);
    for (std::size_t i = 0; i < every.size(); ++i) every[i] = static_cast<unsigned char>(i);
    // Small values in one batch, a wide one in another: a driver may send
    // them differently (ODBC: arrays, or data at execution row by row).
    std::vector<long> ids = {0, 1, 2, 3};
    std::vector<std::optional<tovi::bytes>> blobs = {every, std::nullopt, tovi::bytes{0, 0, 7},
                                                     tovi::bytes()};
    std::vector<long> wide_id = {4};
    std::vector<tovi::bytes> wide = {tovi::bytes(70000, 0xAB)};
    {
        tovi::transaction tx(*ds);
        tovi::statement ins(tx, 1);
        ins.parse("INSERT INTO bb VALUES(:id, :b)");
        tovi::bulk in(ins);
        in << ids << blobs;
        in.execute();
        tovi::statement ins_wide(tx, 1);
        ins_wide.parse("INSERT INTO bb VALUES(:id, :b)");
        tovi::bulk in_wide(ins_wide);
        in_wide << wide_id << wide;
        in_wide.execute();
        tx.commit();
    }
    blobs.emplace_back(wide.front());
    tovi::statement sel(*ds, 1);
    sel.parse("SELECT b FROM bb ORDER BY id");
    std::vector<std::optional<tovi::bytes>> got;
    tovi::bulk out(sel);
    out >> got;
    out.execute();
    ASSERT_EQ(out.fetch(10), 5u);
    EXPECT_EQ(got, blobs);
}

}  // namespace tovi_conformance
