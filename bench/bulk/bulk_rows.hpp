// The rows every road of bulk_bench inserts and reads back, and what the
// native twins share with the tovi roads.
#ifndef TOVI_BENCH_BULK_ROWS_HPP
#define TOVI_BENCH_BULK_ROWS_HPP

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bulk_bench {

// id BIGINT, name text, amount real (NULL in every tenth row).
struct rows {
    std::vector<long> ids;
    std::vector<std::string> names;
    std::vector<std::optional<double>> amounts;

    void clear() {
        ids.clear();
        names.clear();
        amounts.clear();
    }
    // What the fetch phase adds up: equal on every road that read the same rows.
    long checksum() const {
        long sum = 0;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            sum += ids[i] + static_cast<long>(names[i].size());
            if (amounts[i]) sum += static_cast<long>(*amounts[i]);
        }
        return sum;
    }
};

inline rows make_rows(long n) {
    rows r;
    for (long i = 0; i < n; ++i) {
        r.ids.push_back(i);
        r.names.push_back("name " + std::to_string(i % 1000));
        r.amounts.push_back(i % 10 == 0 ? std::nullopt : std::optional<double>(i * 0.5));
    }
    return r;
}

// Rows a fetch call reads, on every road.
constexpr long chunk = 1000;

constexpr const char* create_sql =
    "CREATE TABLE bulk_rows(id BIGINT, name VARCHAR(40), amount DOUBLE PRECISION)";
constexpr const char* insert_sql = "INSERT INTO bulk_rows VALUES(?, ?, ?)";
constexpr const char* select_sql = "SELECT id, name, amount FROM bulk_rows";

// A native twin, connected and with an empty table (neither timed): insert()
// stores every row in one transaction; fetch() reads every row back `chunk` at
// a time, returning the sum of the chunks' checksums.
class native_road {
public:
    virtual ~native_road() = default;
    virtual long insert(const rows& r) = 0;
    virtual long fetch() = 0;
};

std::unique_ptr<native_road> sqlite_native(const std::string& file);
std::unique_ptr<native_road> odbc_native(const std::string& connection);
std::unique_ptr<native_road> pg_native(const std::string& database);

}  // namespace bulk_bench

#endif
