// SELECT, INSERT, UPDATE, DELETE and result_t.
#include <tovi/sql.hpp>

#include "body_cast.hpp"

namespace sql {

namespace impl {
void select_t::accept(visitor_t& v) {
    v.visit_select_t(*this);
}
void insert_t::accept(visitor_t& v) {
    v.visit_insert_t(*this);
}
void update_t::accept(visitor_t& v) {
    v.visit_update_t(*this);
}
void delete_t::accept(visitor_t& v) {
    v.visit_delete_t(*this);
}
void result_t::accept(visitor_t& v) {
    v.visit_result_t(*this);
}
}  // namespace impl

recordset_t::recordset_t() : expr_t(new impl::select_t()) {}

select_t::select_t(const expr_list_t& fields, const expr_list_t& from, const bool_expr_t& where) {
    impl::select_t& b = body();
    b.fields = fields;
    b.from = from;
    b.where = where;
}

impl::select_t& select_t::body() const {
    return body_as<impl::select_t>("a query");
}

const select_t& select_t::DISTINCT(bool flag) const {
    body().distinct = flag;
    return *this;
}

const select_t& select_t::FIELDS(const expr_list_t& fields) const {
    body().fields = fields;
    return *this;
}

const select_t& select_t::FIELD(const field_t& field) const {
    expr_list_t only;
    only.push_back(field);
    body().fields = only;
    return *this;
}

const select_t& select_t::INTO(const expr_list_t& targets) const {
    body().into = targets;
    return *this;
}

const select_t& select_t::INTO(const tovi_value_t& target) const {
    expr_list_t only;
    only.push_back(target);
    body().into = only;
    return *this;
}

const select_t& select_t::FROM(const table_t& table) const {
    body().from.push_back(table);
    return *this;
}

const select_t& select_t::FROM(const expr_list_t& tables) const {
    body().from.push_back(tables);
    return *this;
}

const select_t& select_t::FROM(const select_t& query, const string_t& alias) const {
    body().from.push_back(expr_t(new impl::from_query_t(query, alias)));
    return *this;
}

const select_t& select_t::WHERE(const bool_expr_t& condition) const {
    body().where = condition;
    return *this;
}

const select_t& select_t::HAVING(const bool_expr_t& condition) const {
    body().having = condition;
    return *this;
}

const select_t& select_t::GROUP_BY(const expr_list_t& list) const {
    body().group_by = list;
    return *this;
}

const select_t& select_t::GROUP_BY(const field_t& field) const {
    expr_list_t only;
    only.push_back(field);
    body().group_by = only;
    return *this;
}

const select_t& select_t::GROUP_BY(int position) const {
    expr_list_t only;
    only.push_back(long_t(position));
    body().group_by = only;
    return *this;
}

const select_t& select_t::noGROUP() const {
    body().group_by = expr_list_t();
    return *this;
}

const select_t& select_t::ON(const bool_expr_t&) const {
    return *this;
}
const select_t& select_t::ON(const field_t&) const {
    return *this;
}

select_t SELECT(const expr_list_t& fields) {
    select_t s;
    s.FIELDS(fields);
    return s;
}

select_t SELECT(const field_t& field) {
    select_t s;
    s.FIELD(field);
    return s;
}

insert_t::insert_t(const table_t& table, const expr_list_t& values, const expr_list_t& fields)
    : expr_t(new impl::insert_t()) {
    auto& b = body_as<impl::insert_t>("an insert");
    b.table = table;
    b.fields = fields;
    b.values = values;
}

insert_t::insert_t(const table_t& table, const recordset_t& query, const expr_list_t& fields)
    : expr_t(new impl::insert_t()) {
    auto& b = body_as<impl::insert_t>("an insert");
    b.table = table;
    b.fields = fields;
    b.values = query;
}

update_t::update_t(const table_t& table, const expr_list_t& fields, const expr_list_t& values,
                   const bool_expr_t& where)
    : expr_t(new impl::update_t()) {
    auto& b = body_as<impl::update_t>("an update");
    b.table = table;
    b.fields = fields;
    b.values = values;
    b.where = where;
}

delete_t::delete_t(const table_t& table, const bool_expr_t& where) : expr_t(new impl::delete_t()) {
    auto& b = body_as<impl::delete_t>("a delete");
    b.table = table;
    b.where = where;
}

// --- result_t: each object has its own factories; copies share only the body.

result_t::result_t() : bind_(tovi::in), define_(tovi::out) {}
result_t::result_t(const result_t& other)
    : tovi::recordset_t(), expr_t(other), bind_(tovi::in), define_(tovi::out) {}
result_t::result_t(const expr_t& e) : expr_t(e), bind_(tovi::in), define_(tovi::out) {}
result_t::result_t(impl_t* body) : expr_t(body), bind_(tovi::in), define_(tovi::out) {}

result_t& result_t::operator=(const result_t& other) {
    expr_t::operator=(other);
    return *this;
}

result_t::~result_t() {
    try {
        bind_.destroy_all_bindings();
        define_.destroy_all_bindings();
    } catch (...) {
    }
}

result_t result_t::operator&&(const result_t& other) const {
    if (!empty() && !other.empty()) return result_t(new impl::result_t());
    return result_t();
}

result_t result_t::operator||(const result_t& other) const {
    if (!empty() && !other.empty()) return result_t(new impl::result_t());
    if (!empty()) return *this;
    if (!other.empty()) return other;
    return result_t();
}

result_t& result_t::operator&=(const result_t&) {
    return *this;
}

result_t& result_t::operator|=(const result_t& other) {
    if (!other.empty() && empty()) p_.reset(new impl::result_t());
    return *this;
}

}  // namespace sql
