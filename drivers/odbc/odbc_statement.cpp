// Prepared ODBC statements.
#include "odbc_statement.hpp"

#include <tovi/driver/watchdog.hpp>
#include "odbc_bindings.hpp"

namespace tovi::odbc {

statement::statement(const data_aware_command* command_, unsigned int options_, transaction& owner_)
    : statement_base(command_, options_, owner_),
      eager_prepare_(owner_.get_owner().get_database().get_repository().get_provider().vendor !=
                     svc_provider_t::vendor_freetds),
      limited_(owner_.get_owner().statement_limit().count() != 0),
      stmt_(SQL_HANDLE_STMT, owner_.get_owner().dbc.get()),
      bind_(in, this),
      define_(out, this) {}

SQLRETURN statement::check_rest(SQLRETURN rc) {
    connection& c = owner->get_owner();
    if (rc == SQL_ERROR) c.check_alive();
    try {
        return stmt_.check_done(rc);
    } catch (const exception& e) {
        // One error that says what happened, whatever the driver's words for it.
        if (rc == SQL_ERROR && c.lost()) raise(exception(e, c.lost_text(), 0));
        fail(e);
    }
}

void statement::abandon() {
    stmt_.free();
    abandoned_ = true;
    prepared_ = false;
    cursor_state_ = 0;
    at_end = true;
}

void statement::was_abandoned() const {
    raise(exception("The statement's connection to " + owner->get_owner().where() +
                        " was lost and has connected again: the statement does not run on "
                        "the new session. Prepare it again.",
                    0));
}

SQLRETURN statement::check_within_limit(const std::function<SQLRETURN()>& call) {
    connection& c = owner->get_owner();
    const std::chrono::milliseconds limit = c.statement_limit();
    const SQLHSTMT h = stmt();
    // Past the limit the server is asked to cancel; a server that does not even
    // answer that gets its connection cut.
    tovi::driver::watchdog::guard g(limit, [h, &c](int stage) {
        if (stage == 0)
            SQLCancel(h);
        else
            c.cut();
    });
    const SQLRETURN rc = call();
    if (!g.expired()) return check(rc);
    c.set_lost();  // a cancelled or cut session is not used again
    const timed_out reason(
        "The statement ran past its time limit of " +
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) +
            " s on " + c.where() +
            " (statement_timeout): it was cancelled, and the connection is not used again.",
        0);
    try {
        check(rc);
    } catch (const exception& e) {
        raise(timed_out(e, reason.get_entry(0).message, 0));
    }
    raise(reason);  // it completed as the cancel came: the session is still not trusted
}

void statement::prepare(const std::string& sql) {
    statement_base::prepare(sql);
    // What a rollback of an unended transaction must undo: anything but a query,
    // and queries that change data on their way (RETURNING).
    changes_data_ =
        kind != stmt_select || utils::make_upper(sql).find("RETURNING") != std::string::npos;
    if (eager_prepare_) native_prepare();
}

void statement::native_prepare() {
    check(SQLPrepare(stmt(), reinterpret_cast<SQLCHAR*>(const_cast<char*>(native_sql.c_str())),
                     static_cast<SQLINTEGER>(native_sql.size())));
    prepared_ = true;
    cursor_state_ = 1;
    // A driver that cannot count its markers leaves the count to the engine.
    SQLSMALLINT markers = 0;
    markers_ = SQL_SUCCEEDED(SQLNumParams(stmt(), &markers)) ? markers : -1;
    parameters_changed();
}

SQLRETURN statement::send_data(SQLRETURN rc) {
    // Each data-at-execution parameter asks for its bytes in turn; its token is
    // its binding.
    while (rc == SQL_NEED_DATA) {
        SQLPOINTER token = nullptr;
        rc = check(SQLParamData(stmt(), &token));
        if (rc == SQL_NEED_DATA)
            static_cast<lob_binding*>(static_cast<impl::lob_t*>(token))->put_data();
    }
    return rc;
}

void statement::reset_parameters() {
    SQLFreeStmt(stmt(), SQL_RESET_PARAMS);
    ++generation_;
    params_reset_ = false;
}

std::string statement::error_context() const {
    std::string text;
    if (bind_.size() != 0) text += "[Input data: " + bind_.as_string() + "]";
    if (define_.size() != 0) text += "[Output data: " + define_.as_string() + "]";
    return text + plain_context();
}

void statement::fail(const exception& e) const {
    translate(owner->get_owner(), e, error_context());
}

void statement::close_cursor() {
    if (cursor_state_ != 2) return;
    SQLFreeStmt(stmt(), SQL_UNBIND);
    SQLCloseCursor(stmt());
    cursor_state_ = 1;
}

void statement::execute() {
    if (abandoned_) was_abandoned();
    at_end = false;
    cursor_closed = false;
    if (is_ddl(kind)) {
        at_end = true;  // no rows: the commits below close no cursor of its own
        // The pending work is committed first, as data definition does on Oracle
        // and MySQL; rolling it back discarded work the application commits later.
        owner->commit();
        if (!prepared_) native_prepare();
        send_data(bounded([this] { return SQLExecute(stmt()); }));
        owner->commit();
        at_end = true;
        return;
    }
    columns_bound_ = true;
    close_cursor();
    if (changes_data_) owner->changed();
    const SQLRETURN rc = send_data(bounded([this] { return SQLExecute(stmt()); }));
    if (rc == SQL_NO_DATA || kind != stmt_select) {
        // Anything but a query: nothing to fetch, and no cursor to keep open. An
        // INSERT, UPDATE or DELETE opens none (a RETURNING one is a query); other
        // statements (procedure calls) may leave a result set behind.
        if (kind != stmt_select && kind != stmt_insert && kind != stmt_update &&
            kind != stmt_delete)
            SQLFreeStmt(stmt(), SQL_CLOSE);
        cursor_state_ = 1;
        at_end = true;
    } else {
        cursor_state_ = 2;
    }
}

bool statement::typeless() const {
    return owner->get_owner().typeless();
}

bool statement::next() {
    if (abandoned_) was_abandoned();
    if (no_more_rows() || kind != stmt_select) return false;
    if (columns_bound_ || define_.changed()) {
        // Bound afresh: a column binding may have gone or moved.
        SQLFreeStmt(stmt(), SQL_UNBIND);
        SQLSMALLINT columns = 0;
        if (define_.size() != 0 && SQL_SUCCEEDED(SQLNumResultCols(stmt(), &columns)))
            check_column_count(static_cast<std::size_t>(columns));
        define_.call_setup();
        define_.clear_changed();
        columns_bound_ = false;
    }
    const SQLRETURN rc = bounded([this] { return SQLFetch(stmt()); });
    if (rc == SQL_NO_DATA) {
        at_end = true;
        return false;
    }
    return true;
}

void statement::reset() {
    if (abandoned_) return;  // nothing native left
    // Nothing to cancel on a lost connection (and a reset must not fail there:
    // it runs when the statement is handed back).
    if (!owner->get_owner().lost()) check(SQLCancel(stmt()));
    // ODBC 3.5's SQLCancel leaves an idle cursor open: close it too.
    SQLFreeStmt(stmt(), SQL_CLOSE);
    prepared_ = false;
    cursor_state_ = 0;
    at_end = true;
    columns_bound_ = true;
}

}  // namespace tovi::odbc
