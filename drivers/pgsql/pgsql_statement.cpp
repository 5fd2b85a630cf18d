// Statements: named prepared statements, executed in one round trip each.
#include "pgsql_statement.hpp"

#include <cctype>

#include "pgsql_bindings.hpp"
#include "pgsql_errors.hpp"
#include "pgsql_markers.hpp"

namespace tovi::pgsql {

using tovi::driver::native_exception;
using tovi::driver::value_kind;

namespace {

value_kind kind_of(Oid type) {
    switch (type) {
        case 16:  // bool
            return value_kind::boolean;
        case 20:  // int8
        case 21:  // int2
        case 23:  // int4
        case 26:  // oid
            return value_kind::integer;
        case 700:  // float4
        case 701:  // float8
            return value_kind::real;
        case 17:  // bytea
            return value_kind::bytes;
        case 1082:  // date
        case 1114:  // timestamp
        case 1184:  // timestamptz
            return value_kind::date_time;
        default:  // text, varchar, numeric (exact digits as text), anything else
            return value_kind::text;
    }
}

}  // namespace

statement::statement(const data_aware_command* command_, unsigned int options_, transaction& owner_)
    : statement_base(command_, options_, owner_),
      session_(owner_.get_owner()),
      bind_(in, this),
      define_(out, this) {}

statement::~statement() {
    clear_rows();
    if (!name_.empty()) session_.keep_prepared(key_, name_);
}

void statement::prepare(const std::string& sql) {
    statement_base::prepare(sql);
    const connection& c = session_;
    context = "[Statement: '" + tovi::driver::sql_for_context(sql) +
              "'][Driver: tovi_PGSQL; Database: '" + c.database_name() + "'; Server: '" +
              c.where() + "']";
    ddl_ = is_ddl(kind);
    // An application's transaction begins at its first statement; the
    // connection's and a statement's own at their first change (reads and data
    // definition alone run by themselves, as on the other roads). Data
    // definition joins a transaction that is open.
    begins_ = owner->type == impl::txn_explicit || (kind != stmt_select && !ddl_);
    pg_sql_ = numbered_markers(native_sql, markers_);
    const auto n = static_cast<std::size_t>(markers_);
    values_.assign(n, nullptr);
    lengths_.assign(n, 0);
    formats_.assign(n, 0);
    types_.assign(n, 0);
    parameters_changed();
}

void statement::clear_rows() noexcept {
    PQclear(result_);
    result_ = nullptr;
    row_ = -1;
    rows_ = 0;
    if (streaming_) {  // the rest of the rows, read and dropped: the session is free again
        streaming_ = false;
        session_.stream_ended(this);
        while (PGresult* r = PQgetResult(session_.native())) PQclear(r);
    }
    for (PGresult* r : read_ahead_) PQclear(r);
    read_ahead_.clear();
}

void statement::abandon() noexcept {
    clear_rows();
    name_.clear();
    at_end = true;
}

void statement::reset() {
    clear_rows();
    at_end = true;
}

void statement::failed(const PGresult* r) {
    connection& c = session_;
    if (PQresultStatus(r) == PGRES_EMPTY_QUERY)
        raise(bad_sql("The SQL text holds no SQL statement, only blanks or comments.", 0));
    if (c.lost()) {
        c.mark_lost();
        owner->ended();
        fail(native_exception(c.lost_text(), 0, "08006"));
    }
    fail(result_error(r, c.native()));
}

void statement::prepare_native() {
    connection& c = session_;
    std::string key = pg_sql_;
    key.append(reinterpret_cast<const char*>(types_.data()), types_.size() * sizeof(Oid));
    std::string name = c.take_prepared(key);
    if (name.empty()) {
        name = c.next_statement_name();
        const result r(
            PQprepare(c.native(), name.c_str(), pg_sql_.c_str(), markers_, types_.data()));
        if (r.get() == nullptr || r.status() != PGRES_COMMAND_OK) failed(r.get());
    }
    if (!name_.empty()) c.keep_prepared(key_, name_);  // for its own types' next use
    name_ = std::move(name);
    key_ = std::move(key);
    retyped_ = false;
}

void statement::execute() {
    at_end = true;
    cursor_closed = false;
    // The usual run: prepared, counted, nothing left of the last one, the
    // session sound. Everything else is out of line.
    if (result_ != nullptr || !parameters_counted() || !prepared() || session_.marked_lost() ||
        session_.busy() || stream_next_)
        return execute_unusual();
    if (begins_) owner->activate();
    // libpq's asynchronous calls: PQexecPrepared would first look for results
    // of an earlier command, which this session never leaves behind.
    PGconn* c = session_.native();
    if (PQsendQueryPrepared(c, name_.c_str(), markers_, values_.data(), lengths_.data(),
                            formats_.data(), 0) == 0)
        return executed(nullptr, nullptr);
    PGresult* r = PQgetResult(c);
    PGresult* more = PQgetResult(c);  // null: the command is over
    if (more == nullptr && PQresultStatus(r) == PGRES_COMMAND_OK) {
        PQclear(r);
        return;
    }
    executed(r, more);
}

void statement::execute_unusual() {
    const bool stream = stream_next_;
    stream_next_ = false;
    clear_rows();
    if (!parameters_counted()) count_parameters();
    owner->ensure_session();
    session_.settle();
    if (begins_) owner->activate();
    PGconn* c = session_.native();
    PGresult* r;
    if (ddl_) {
        try {
            owner->get_cache().purge();
        } catch (const exception& e) {
            fail(e);
        }
        session_.forget_kept();
        // Run once, unnamed: a schema change is prepared afresh every time.
        r = PQexecParams(c, pg_sql_.c_str(), markers_, types_.data(), values_.data(),
                         lengths_.data(), formats_.data(), 0);
    } else {
        if (retyped_ || name_.empty()) prepare_native();
        if (stream) return start_stream();
        r = PQexecPrepared(c, name_.c_str(), markers_, values_.data(), lengths_.data(),
                           formats_.data(), 0);
    }
    executed(r, nullptr);
}

namespace {
bool copying(const PGresult* r) {
    const ExecStatusType s = PQresultStatus(r);
    return s == PGRES_COPY_IN || s == PGRES_COPY_OUT || s == PGRES_COPY_BOTH;
}
}  // namespace

void statement::executed(PGresult* r, PGresult* more) {
    PGconn* c = session_.native();
    // COPY with the client's data: not a statement tovi runs. The server is
    // told so, its data drained, and the statement fails.
    if (copying(r) || copying(more)) {
        PQclear(more);
        PQclear(r);
        PQputCopyEnd(c, "tovi runs no COPY with the client's data");
        for (char* row = nullptr; PQgetCopyData(c, &row, 0) > 0; row = nullptr) PQfreemem(row);
        while (PGresult* rest = PQgetResult(c)) PQclear(rest);
        raise(bad_sql("COPY FROM STDIN and COPY TO STDOUT are not run through a statement.", 0));
    }
    // The rest of the command's results: the session is idle again before
    // anything else runs, and the last result speaks for the command.
    while (more != nullptr) {
        PQclear(r);
        r = more;
        more = PQgetResult(c);
    }
    if (PQresultStatus(r) == PGRES_COMMAND_OK) {
        PQclear(r);
        return;
    }
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        const result owned(r);
        failed(r);
    }
    take_rows(r);
}

void statement::take_rows(PGresult* r) {
    result_ = r;
    rows_ = PQntuples(r);
    const int columns = PQnfields(r);
    kinds_.resize(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) kinds_[static_cast<std::size_t>(i)] = kind_of(PQftype(r, i));
    at_end = false;
    define_.clear_changed();
    check_column_count(static_cast<std::size_t>(columns));
}

// --- bulk work

namespace {

// Rows sent before their results are read: their replies (some 30 bytes each)
// stay well within the socket's buffers, so the server never waits on the client
// while the client is still sending.
constexpr std::size_t pipeline_chunk = 1000;

}  // namespace

void statement::execute_bulk(impl::bulk_vector* const* in, std::size_t count, std::size_t rows,
                             std::size_t& row) {
    // The first row as any: it prepares, begins the transaction and shows
    // whether the statement returns rows.
    row = 0;
    bind_row(in, count, 0);
    statement::execute();
    const bool command = kind == stmt_insert || kind == stmt_update || kind == stmt_delete;
    for (row = 1; row < rows;) {
        if (command && !ddl_ && result_ == nullptr &&
            pipeline(in, count, row, std::min(rows, row + pipeline_chunk)))
            continue;
        // Row by row: not a plain command, or this row's types need a new
        // preparation (bound already by pipeline()).
        if (!command || ddl_ || result_ != nullptr) bind_row(in, count, row);
        statement::execute();
        ++row;
    }
}

bool statement::pipeline(impl::bulk_vector* const* in, std::size_t count, std::size_t& row,
                         std::size_t end) {
    session_.settle();
    PGconn* c = session_.native();
    if (session_.marked_lost() || PQenterPipelineMode(c) == 0) {
        bind_row(in, count, row);
        return false;
    }
    const std::size_t first = row;
    bool retyped = false;
    // Reads the results of rows [first, row): the first failure's row and result.
    auto read_results = [&]() -> std::pair<std::size_t, PGresult*> {
        std::pair<std::size_t, PGresult*> failure{row, nullptr};
        PQpipelineSync(c);
        for (std::size_t i = first; i < row; ++i) {
            PGresult* r = PQgetResult(c);
            if (r == nullptr) {  // the session ended: nothing more comes
                if (failure.second == nullptr) failure = {i, nullptr};
                return failure;
            }
            const ExecStatusType status = PQresultStatus(r);
            if (status != PGRES_COMMAND_OK && status != PGRES_PIPELINE_ABORTED &&
                failure.second == nullptr)
                failure = {i, r};
            else
                PQclear(r);
            PQclear(PQgetResult(c));  // null: the end of that row's results
        }
        PQclear(PQgetResult(c));  // the sync's
        return failure;
    };
    try {
        for (; row < end; ++row) {
            bind_row(in, count, row);
            if (retyped_) {
                retyped = true;
                break;
            }
            if (PQsendQueryPrepared(c, name_.c_str(), markers_, values_.data(), lengths_.data(),
                                    formats_.data(), 0) == 0)
                break;  // the failure is read with the results
        }
    } catch (...) {
        // A row that could not be bound: the rows sent before it stand.
        const std::pair<std::size_t, PGresult*> failure = read_results();
        PQexitPipelineMode(c);
        if (failure.second != nullptr || failure.first < row) {
            const result owned(failure.second);
            row = failure.first;
            failed(failure.second);
        }
        throw;
    }
    const bool sent_all = row == end || retyped;
    const std::pair<std::size_t, PGresult*> failure = read_results();
    PQexitPipelineMode(c);
    if (failure.second != nullptr || !sent_all || failure.first < row) {
        const result owned(failure.second);
        row = failure.first;
        failed(failure.second);
    }
    return !retyped;
}

bool statement::next_unusual() {
    if (no_more_rows()) return false;
    if (define_.changed()) {  // result columns bound since the execution
        check_column_count(kinds_.size());
        define_.clear_changed();
    }
    if (++row_ < rows_) return true;
    return past_end();
}

bool statement::past_end() {
    if (streaming_ || !read_ahead_.empty()) return next_streamed();
    at_end = true;
    clear_rows();
    return false;
}

// --- streamed rows

void statement::start_stream() {
    PGconn* c = session_.native();
    if (PQsendQueryPrepared(c, name_.c_str(), markers_, values_.data(), lengths_.data(),
                            formats_.data(), 0) == 0)
        return executed(nullptr, nullptr);
    PQsetSingleRowMode(c);  // if refused, the whole result comes as usual
    PGresult* r = PQgetResult(c);
    if (PQresultStatus(r) != PGRES_SINGLE_TUPLE) return executed(r, PQgetResult(c));
    streaming_ = true;
    session_.streaming(this);
    take_rows(r);
}

bool statement::next_streamed() {
    PQclear(result_);
    result_ = nullptr;
    PGresult* r;
    if (!read_ahead_.empty()) {
        r = read_ahead_.front();
        read_ahead_.pop_front();
    } else {
        r = PQgetResult(session_.native());
    }
    if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
        result_ = r;
        row_ = 0;
        rows_ = 1;
        return true;
    }
    // The end of the rows (a result with none), or the query's failure: the
    // session's last results read, it is free again.
    const result last(r);
    at_end = true;
    clear_rows();
    if (PQresultStatus(r) != PGRES_TUPLES_OK) failed(r);
    return false;
}

void statement::read_rest() {
    streaming_ = false;
    PGconn* c = session_.native();
    while (PGresult* r = PQgetResult(c)) read_ahead_.push_back(r);
}

}  // namespace tovi::pgsql
