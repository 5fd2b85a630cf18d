// Dynamic SQL statements.
#include "ib_statement.hpp"

#include <algorithm>
#include <cstdlib>

#include "ib_bindings.hpp"

namespace tovi::ib {

namespace {

const unsigned short sql_dialect = 3;

// An area for `n` variables, kept when it already has that many.
void size_area(XSQLDA*& area, short n) {
    if (area != nullptr && area->sqln == n) return;
    std::free(area);
    area = static_cast<XSQLDA*>(std::calloc(1, XSQLDA_LENGTH(n > 0 ? n : 1)));
    if (area == nullptr) throw std::bad_alloc();
    area->version = SQLDA_VERSION1;
    area->sqln = area->sqld = n;
}

std::vector<described> descriptions(const XSQLDA* area) {
    std::vector<described> all;
    for (short i = 0; i < area->sqld && i < area->sqln; ++i) {
        const XSQLVAR& v = area->sqlvar[i];
        all.push_back({static_cast<short>(v.sqltype & ~1), v.sqllen, v.sqlsubtype, v.sqlscale});
    }
    return all;
}

}  // namespace

statement::statement(const data_aware_command* command_, unsigned int options_, transaction& owner_)
    : statement_base(command_, options_, owner_), bind_(in_out, this), define_(out, this) {
    isc_dsql_allocate_statement(status(), db(), &stmt_);
    check();
}

statement::~statement() {
    ISC_STATUS_ARRAY ignored;
    if (stmt_ != 0)
        quietly("Freeing a statement",
                [&] { isc_dsql_free_statement(ignored, &stmt_, DSQL_drop); });
    std::free(in_);
    std::free(out_);
}

void statement::prepare(const std::string& sql) {
    statement_base::prepare(sql);
    // Trigger and procedure bodies use ":name" for their own variables.
    if (kind == stmt_create) native_sql = sql;
    context += " ";
    prepared_ = false;
    executed_ = false;
}

void statement::close_cursor() {
    if (!executed_ || kind != stmt_select || closed_by_transaction_) return;
    isc_dsql_free_statement(status(), &stmt_, DSQL_close);
    executed_ = false;
    check();
}

void statement::native_prepare() {
    close_cursor();
    size_area(out_, 1);
    isc_dsql_prepare(status(), tr(), &stmt_, 0, native_sql.c_str(), sql_dialect, out_);
    check();
    prepared_ = true;
    // Every parameter is described, bound or not: an unbound one is sent as NULL.
    size_area(in_, static_cast<short>(std::max<std::size_t>(bind_.size(), 1)));
    isc_dsql_describe_bind(status(), &stmt_, sql_dialect, in_);
    check();
    if (in_->sqld > in_->sqln) {
        size_area(in_, in_->sqld);
        isc_dsql_describe_bind(status(), &stmt_, sql_dialect, in_);
        check();
    }
    in_types_ = descriptions(in_);
    in_spare_.assign(in_types_.size(), {});
    for (std::size_t i = 0; i < in_types_.size(); ++i)
        in_spare_[i].resize(static_cast<std::size_t>(in_types_[i].length) + 2);
    describe_outputs();
}

void statement::park_variables() {
    // The variables of the engine's areas point into bindings, or into the
    // application's strings; those of an earlier use may be gone. Each points at
    // a buffer of the statement's own until a binding of this use claims it.
    auto park = [](XSQLVAR& v, const described& d, std::vector<char>& data, short* null) {
        v.sqltype = static_cast<short>(d.type | 1);
        v.sqllen = d.length;
        v.sqlsubtype = d.subtype;
        v.sqldata = data.data();
        v.sqlind = null;
    };
    for (std::size_t i = 0; i < in_types_.size(); ++i)
        park(in_->sqlvar[i], in_types_[i], in_spare_[i], &parked_null_);
    for (std::size_t i = 0; i < out_types_.size(); ++i)
        park(out_->sqlvar[i], out_types_[i], spare_[i], &spare_null_[i]);
}

void statement::describe_outputs() {
    const short columns = out_->sqld;
    check_column_count(static_cast<std::size_t>(columns));
    size_area(out_, columns);
    if (columns != 0) {
        isc_dsql_describe(status(), &stmt_, sql_dialect, out_);
        check();
    }
    out_types_ = descriptions(out_);
    // Columns without a binding are fetched into spare buffers.
    spare_.assign(static_cast<std::size_t>(columns), {});
    spare_null_.assign(static_cast<std::size_t>(columns), 0);
    for (short i = 0; i < columns; ++i) {
        XSQLVAR& v = out_->sqlvar[i];
        spare_[i].resize(static_cast<std::size_t>(v.sqllen) + 2);
        if (i < static_cast<short>(define_.size())) continue;
        v.sqldata = spare_[i].data();
        v.sqlind = &spare_null_[i];
        if ((v.sqltype & 1) == 0) v.sqltype = static_cast<short>(v.sqltype | 1);
    }
    define_.clear_changed();
    columns_gone_ = false;
}

void statement::ready_for_binding() {
    // These run as immediate statements; the engine cannot prepare them.
    if (kind == stmt_create_database || kind == stmt_set_transaction) return;
    if (!prepared_) native_prepare();
    const bool columns_added = define_.changed() || columns_gone_;
    if (columns_added) describe_outputs();
    if (bindings_ready_ && columns_added) define_.call_setup();  // the described area is new
    // Every parameter is bound, or the execution is refused: a parameter left out
    // is a mistake the engine would report as "Data type unknown", or run as NULL.
    check_parameter_count(bind_.size(), in_types_.size());
    if (!bindings_ready_) {
        park_variables();
        define_.call_setup();
        bind_.call_setup();
        bindings_ready_ = true;
    }
}

XSQLVAR& statement::variable(bool input, unsigned short position) {
    return (input ? in_ : out_)->sqlvar[position];
}

const described& statement::description(bool input, unsigned short position) const {
    static const described none;
    const std::vector<described>& all = input ? in_types_ : out_types_;
    return position < all.size() ? all[position] : none;
}

void statement::execute_immediate() {
    if (kind == stmt_create_database) {
        // On handles of its own: the connection stays attached to its database.
        isc_db_handle other = 0;
        isc_tr_handle none = 0;
        isc_dsql_execute_immediate(status(), &other, &none, 0, native_sql.c_str(), sql_dialect,
                                   nullptr);
        check();
        ISC_STATUS_ARRAY ignored;
        isc_detach_database(ignored, &other);
        return;
    }
    try {
        owner->restart_as(native_sql);
    } catch (const exception& e) {
        fail(e);
    }
}

void statement::execute() {
    at_end = true;
    if (kind == stmt_create_database || kind == stmt_set_transaction) {
        execute_immediate();
        return;
    }
    XSQLDA* inputs = in_ != nullptr && in_->sqld != 0 ? in_ : nullptr;
    if (is_ddl(kind)) {
        // Prepared statements keep their tables in use: the free ones of every
        // transaction of the connection go first.
        owner->get_owner().for_each_transaction([&](transaction& t) {
            t.get_cache().purge();
            if (&t != owner) t.let_go_of_tables();
        });
        // The pending work is committed first, as data definition does on Oracle
        // and MySQL; rolling it back discarded work the application commits later.
        owner->full_commit();
        isc_dsql_execute(status(), tr(), &stmt_, sql_dialect, inputs);
        check();
        owner->full_commit();
        return;
    }
    if (kind != stmt_select) owner->changed();
    if (inputs != nullptr && kind != stmt_select) {
        isc_dsql_execute2(status(), tr(), &stmt_, sql_dialect, inputs,
                          define_.size() != 0 ? out_ : nullptr);
        check();
        return;
    }
    close_cursor();
    isc_dsql_execute(status(), tr(), &stmt_, sql_dialect, inputs);
    check();
    if (kind == stmt_select) {
        executed_ = true;
        closed_by_transaction_ = false;
        at_end = false;
    }
}

bool statement::next() {
    if (at_end) return false;
    if (define_.changed() || columns_gone_) {
        // Columns bound (or gone) after execution: the open cursor fetches into
        // the bindings there are now.
        describe_outputs();
        define_.call_setup();
    }
    const ISC_STATUS rc = isc_dsql_fetch(status(), &stmt_, sql_dialect, out_);
    if (rc == 100) {
        at_end = true;
        return false;
    }
    if (rc != 0) check();
    closed_by_transaction_ = false;
    return true;
}

}  // namespace tovi::ib
