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
/// make a new bulk object. A statement given to a bulk object is bound through
/// it only. The vectors are the application's: bulk reads the
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
class value_factory_acceptor;

/// Binary data of one row, bound and fetched as a blob by tovi::bulk.
using bytes = std::vector<unsigned char>;

namespace impl {

/// The element kinds of bulk vectors: long, double, std::string, tm, and
/// tovi::bytes (binary data, bound as a blob).
enum class bulk_kind : unsigned char { integer, real, text, date_time, bytes };

/// One of the application's vectors bound for bulk work, as a driver sees it.
/// A driver with a native path reads or appends the elements itself: `data`
/// is a std::vector<T> when `nullable` is false, else a
/// std::vector<std::optional<T>>, T by `kind`. Every vector is also bound to
/// the statement through one typed value (value()), so that a driver can do any
/// element the driver's own bindings way: load() then the binding's get_value(),
/// or the binding's set_value() then store().
class TOVI_API bulk_vector {
public:
    /// A vector of `kind_` elements (std::optional ones when `nullable_`) at `data_`.
    bulk_vector(bulk_kind kind_, bool nullable_, void* data_)
        : kind(kind_), nullable(nullable_), data(data_) {}
    virtual ~bulk_vector();
    /// The number of elements.
    virtual std::size_t size() const = 0;
    /// Element `row` into the bound value (a parameter).
    virtual void load(std::size_t row) = 0;
    /// The bound value onto the end of the vector (a fetched column).
    virtual void store() = 0;
    /// Empties the vector.
    virtual void clear() = 0;
    /// The typed value bound to the statement for this vector.
    virtual value_factory_acceptor& value() = 0;
    /// Raises tovi::value_is_null for a NULL fetched into a vector of plain
    /// elements.
    [[noreturn]] static void null_in_plain_vector();

    const bulk_kind kind;  ///< the element's type
    const bool nullable;   ///< std::optional elements
    void* const data;      ///< the application's vector
};

/// The second interface of a driver statement that runs bulk work itself
/// (found with dynamic_cast; its type information lives in libtovi.so). Every
/// vector given is bound to the statement in order (see bulk_vector), nothing
/// else is.
class TOVI_API bulk_statement {
public:
    virtual ~bulk_statement();
    /// Runs the statement once for each of `rows` rows (rows > 0) of the
    /// `count` parameter vectors `in`, in order. `row` follows the rows as they
    /// run: after a failure it names the failing row (the rows before it are
    /// in the transaction), or equals `rows` when the driver cannot tell the
    /// row and its error says so.
    virtual void execute_bulk(bulk_vector* const* in, std::size_t count, std::size_t rows,
                              std::size_t& row) = 0;
    /// Appends up to `n` rows of the executed query to the `count` column
    /// vectors `out`; the number of rows appended (0 at the end).
    virtual std::size_t fetch_bulk(bulk_vector* const* out, std::size_t count, std::size_t n) = 0;
    /// Said before the execution of a query whose rows fetch_bulk() reads: a
    /// driver may then stream the rows in as they are fetched rather than hold
    /// the whole result from the execution on. The default does nothing.
    virtual void rows_fetched_in_bulk() {}
};

}  // namespace impl

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
    bulk& operator<<(std::vector<bytes>& v);
    bulk& operator<<(std::vector<std::optional<bytes>>& v);
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
    bulk& operator>>(std::vector<bytes>& v);
    bulk& operator>>(std::vector<std::optional<bytes>>& v);
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

private:
    bulk& in(std::unique_ptr<impl::bulk_vector> v);
    bulk& out(std::unique_ptr<impl::bulk_vector> v);

    statement& statement_;
    std::vector<std::unique_ptr<impl::bulk_vector>> in_;
    std::vector<std::unique_ptr<impl::bulk_vector>> out_;
};

}  // namespace tovi

#endif
