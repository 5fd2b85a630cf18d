/// @file
/// Bulk work: vectors bound to a statement, one call for all their rows.
///
/// @code
/// tovi::statement st(tx, 1);
/// st.parse("INSERT INTO person VALUES(:id, :name)");
/// std::vector<long> ids = {1, 2, 3};
/// std::vector<std::optional<std::string>> names = {"Ada", std::nullopt, "Grace"};
/// tovi::bulk in(st);
/// in << ids << names;
/// in.execute();  // three rows; a failure names its row
///
/// st.parse("SELECT id, name FROM person ORDER BY id");
/// std::vector<long> got_ids;
/// std::vector<std::optional<std::string>> got_names;
/// tovi::bulk out(st);
/// out >> got_ids >> got_names;
/// out.execute();
/// while (out.fetch(1000) != 0) use(got_ids, got_names);  // up to 1000 rows a call
/// @endcode
///
/// A bulk object binds to the statement as it is parsed now and lives no
/// longer than the statement; parse the statement again for another text and
/// make a new bulk object. The vectors are the application's: bulk reads the
/// parameters' vectors when it executes and fills the columns' vectors when it
/// fetches. `std::optional` elements carry NULL; a NULL fetched into a plain
/// element is tovi::value_is_null. Not thread-safe.
#ifndef TOVI_BULK_HPP
#define TOVI_BULK_HPP

#include <cstddef>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <tovi/config.hpp>

namespace tovi {

class statement;

/// Vectors bound to one parsed statement: parameters run row by row in one
/// execute(), result columns filled by fetch() (see the file's example).
class TOVI_API bulk {
public:
    /// Bulk work on `st`, which must be parsed (else tovi::bad_operation).
    explicit bulk(statement& st);
    /// Releases the bindings it made on the statement.
    ~bulk();
    bulk(const bulk&) = delete;
    bulk& operator=(const bulk&) = delete;

    /// Parameters, in position order: one element per row.
    ///@{
    bulk& operator<<(std::vector<long>& v);
    bulk& operator<<(std::vector<double>& v);
    bulk& operator<<(std::vector<std::string>& v);
    bulk& operator<<(std::vector<tm>& v);
    bulk& operator<<(std::vector<std::optional<long>>& v);
    bulk& operator<<(std::vector<std::optional<double>>& v);
    bulk& operator<<(std::vector<std::optional<std::string>>& v);
    bulk& operator<<(std::vector<std::optional<tm>>& v);
    ///@}
    /// Result columns, in position order: fetch() fills them.
    ///@{
    bulk& operator>>(std::vector<long>& v);
    bulk& operator>>(std::vector<double>& v);
    bulk& operator>>(std::vector<std::string>& v);
    bulk& operator>>(std::vector<tm>& v);
    bulk& operator>>(std::vector<std::optional<long>>& v);
    bulk& operator>>(std::vector<std::optional<double>>& v);
    bulk& operator>>(std::vector<std::optional<std::string>>& v);
    bulk& operator>>(std::vector<std::optional<tm>>& v);
    ///@}

    /// With parameters bound: runs the statement once per row, in order; no
    /// rows, no run. Vectors of different lengths are tovi::bad_operation before
    /// anything runs. A failing row raises the driver's classified error with
    /// "Row <i> of <n> failed." added (counted from 0); the rows before it are
    /// in the transaction, for the application to commit or roll back. Without
    /// parameters: runs the statement once (a query's rows then come by fetch()).
    void execute();
    /// Fetches up to `n` rows into the column vectors, which first become empty;
    /// the number of rows read (0 at the end).
    std::size_t fetch(std::size_t n);
    /// The number of rows the parameters' vectors hold (all the same length).
    std::size_t rows() const;

    /// A bound vector (implementation).
    struct column;

private:
    bulk& in(std::unique_ptr<column> c);
    bulk& out(std::unique_ptr<column> c);

    statement& statement_;
    std::vector<std::unique_ptr<column>> in_;
    std::vector<std::unique_ptr<column>> out_;
};

}  // namespace tovi

#endif
