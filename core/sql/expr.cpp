// Expression handles, leaves, operations, lists and conditions.
#include <tovi/exception.hpp>
#include <tovi/sql.hpp>

#include <stdexcept>

#include "body_cast.hpp"

namespace sql {

const int op_precedence[41] = {11, 6,  10, 6,  10, 7,  7,  7,  4,  4,  5,  5,  5,  5,
                               3,  2,  10, 12, 8,  8,  8,  8,  1,  12, 12, 12, 12, 12,
                               12, 12, 12, 11, 11, 11, 11, 12, 12, 12, 12, 0,  12};

const char* operator_text(operator_t op) {
    switch (op) {
        case op_eq:
            return " = ";
        case op_ne:
            return " != ";
        case op_lt:
            return " < ";
        case op_gt:
            return " > ";
        case op_le:
            return " <= ";
        case op_ge:
            return " >= ";
        case op_and:
            return " AND ";
        case op_or:
            return " OR ";
        case op_not:
            return " NOT ";
        case op_in:
            return " IN ";
        case op_like:
            return " LIKE ";
        case op_not_like:
            return " NOT LIKE ";
        default:
            return nullptr;
    }
}

expr_t::impl_t::~impl_t() = default;
operator_t expr_t::impl_t::get_operator() const {
    return op_none;
}

void expr_t::accept(visitor_t& v) const {
    if (p_) p_->accept(v);
}

long_t::long_t(long v) : value_t(new impl::long_t(v)) {}
long long_t::get_value() const {
    return body_as<impl::long_t>("an integer").value;
}

namespace {
const std::string no_text;
}

string_t::string_t(const std::string& s) : value_t(new impl::string_t(s)) {}
string_t::string_t(const char* s) : value_t(new impl::string_t(s != nullptr ? s : "")) {}
const std::string& string_t::get_value() const {
    return empty() ? no_text : body_as<impl::string_t>("an identifier").value;
}

string_value_t::string_value_t(const std::string& s) : value_t(new impl::string_val_t(s)) {}
const std::string& string_value_t::get_value() const {
    return empty() ? no_text : body_as<impl::string_val_t>("a string literal").value;
}

bool_t::bool_t(bool v) : value_t(new impl::bool_t(v)) {}
bool_t::operator bool() const {
    return !empty() && body_as<impl::bool_t>("a boolean").value != 0;
}

namespace {
tm epoch() {
    tm t{};
    t.tm_year = 70;
    t.tm_mday = 1;
    t.tm_wday = 4;
    return t;
}
}  // namespace

date_t::date_t() : value_t(new impl::date_t(epoch())) {}
date_t::date_t(const tm& t) : value_t(new impl::date_t(t)) {}
const tm& date_t::get_value() const {
    return body_as<impl::date_t>("a date").value;
}

tovi_value_t::tovi_value_t(tovi::value_t& v) : value_t(new impl::tovi_value_t(v)) {}
tovi::value_t* tovi_value_t::get_value() const {
    return empty() ? nullptr : body_as<impl::tovi_value_t>("an application value").value;
}

operation_t::operation_t(operator_t op) {
    // An operator without a text would print as garbage: refuse it here.
    if (operator_text(op) == nullptr)
        throw tovi::bad_operation("Operator " + std::to_string(static_cast<int>(op)) +
                                      " cannot be used in an SQL expression.",
                                  0);
    p_.reset(new impl::operation_t(op));
}

operation_t::operator operator_t() const {
    return empty() ? op_none : body_as<impl::operation_t>("an operation").op;
}

expr_list_t::expr_list_t() : expr_t(new impl::expr_list_t()) {}
expr_list_t::~expr_list_t() = default;

namespace {
impl::expr_list_t& list_body(boost::shared_ptr<expr_t::impl_t>& p) {
    if (!p) p.reset(new impl::expr_list_t());  // an empty handle grows a list
    auto* body = dynamic_cast<impl::expr_list_t*>(p.get());
    if (body == nullptr)
        throw tovi::bad_operation("The SQL builder handle is not an expression list.", 0);
    return *body;
}
const std::vector<expr_t> no_elements;
}  // namespace

void expr_list_t::push_back(const expr_t& e) {
    list_body(p_).list.push_back(e);
}

void expr_list_t::push_back(const expr_list_t& other) {
    // Copy first: `other` may share this very body.
    // NOLINTNEXTLINE(performance-unnecessary-copy-initialization)
    const std::vector<expr_t> items = other.elements();
    auto& list = list_body(p_).list;
    list.insert(list.end(), items.begin(), items.end());
}

expr_list_t& expr_list_t::operator+(const expr_t& e) {
    push_back(e);
    return *this;
}

std::size_t expr_list_t::size() const {
    return elements().size();
}

expr_t expr_list_t::operator[](unsigned i) const {
    const std::vector<expr_t>& list = elements();
    if (i >= list.size()) throw std::out_of_range("invalid vector<T> subscript");
    return list[i];
}

expr_t expr_list_t::pop_back() {
    auto& list = list_body(p_).list;
    if (list.empty()) throw std::out_of_range("pop_back on an empty expression list");
    expr_t last = list.back();
    list.pop_back();
    return last;
}

const std::vector<expr_t>& expr_list_t::elements() const {
    if (empty()) return no_elements;
    return body_as<impl::expr_list_t>("an expression list").list;
}

bool_expr_t::bool_expr_t(const expr_t& left, const operation_t& op, const expr_t& right)
    : expr_t(new impl::node_dual_t(left, right, op)) {
    if (op.empty()) throw tovi::bad_operation("An SQL condition needs an operator.", 0);
}

bool_expr_t::bool_expr_t(const operation_t& op, const expr_t& operand)
    : expr_t(new impl::node_single_t(operand, op)) {
    if (op.empty()) throw tovi::bad_operation("An SQL condition needs an operator.", 0);
}

bool_expr_t::~bool_expr_t() = default;

namespace {
bool_expr_t compare(const expr_t& a, operator_t op, const expr_t& b) {
    return bool_expr_t(a, operation_t(op), b);
}
}  // namespace

bool_expr_t operator==(const field_t& a, const field_t& b) {
    return compare(a, op_eq, b);
}
bool_expr_t operator==(const field_t& a, const value_t& b) {
    return compare(a, op_eq, b);
}
bool_expr_t operator<(const field_t& a, const field_t& b) {
    return compare(a, op_lt, b);
}
bool_expr_t operator<(const field_t& a, const value_t& b) {
    return compare(a, op_lt, b);
}
bool_expr_t operator<=(const field_t& a, const field_t& b) {
    return compare(a, op_le, b);
}
bool_expr_t operator<=(const field_t& a, const value_t& b) {
    return compare(a, op_le, b);
}
bool_expr_t operator>(const field_t& a, const field_t& b) {
    return compare(a, op_gt, b);
}
bool_expr_t operator>(const field_t& a, const value_t& b) {
    return compare(a, op_gt, b);
}
bool_expr_t operator>=(const field_t& a, const field_t& b) {
    return compare(a, op_ge, b);
}
bool_expr_t operator>=(const field_t& a, const value_t& b) {
    return compare(a, op_ge, b);
}
bool_expr_t in(const field_t& f, const select_t& query) {
    return compare(f, op_in, query);
}

namespace {
bool_expr_t combine(const bool_expr_t& a, operator_t op, const bool_expr_t& b) {
    if (!a.empty() && !b.empty()) return bool_expr_t(a, operation_t(op), b);
    if (!a.empty()) return a;
    if (!b.empty()) return b;
    return bool_expr_t();
}
}  // namespace

bool_expr_t operator&&(const bool_expr_t& a, const bool_expr_t& b) {
    return combine(a, op_and, b);
}
bool_expr_t operator||(const bool_expr_t& a, const bool_expr_t& b) {
    return combine(a, op_or, b);
}

bool_expr_t operator!(const bool_expr_t& a) {
    if (a.empty()) return bool_expr_t();
    return bool_expr_t(operation_t(op_not), a);
}

// --- bodies: each calls exactly one visit slot

namespace impl {
void long_t::accept(visitor_t& v) {
    v.visit_long_t(*this);
}
void string_t::accept(visitor_t& v) {
    v.visit_string_t(*this);
}
void string_val_t::accept(visitor_t& v) {
    v.visit_string_val_t(*this);
}
void bool_t::accept(visitor_t& v) {
    v.visit_bool_t(*this);
}
void date_t::accept(visitor_t& v) {
    v.visit_date_t(*this);
}
void tovi_value_t::accept(visitor_t& v) {
    v.visit_tovi_value_t(*this);
}
void operation_t::accept(visitor_t& v) {
    v.visit_operation_t(*this);
}
void expr_list_t::accept(visitor_t& v) {
    v.visit_expr_list_t(*this);
}
void node_dual_t::accept(visitor_t& v) {
    v.visit_node_dual_t(*this);
}
void node_single_t::accept(visitor_t& v) {
    v.visit_node_single_t(*this);
}
void function_t::accept(visitor_t& v) {
    v.visit_function_t(*this);
}
void from_query_t::accept(visitor_t& v) {
    v.visit_from_query_t(*this);
}
void cond_join_t::accept(visitor_t& v) {
    v.visit_cond_join_t(*this);
}

operator_t node_dual_t::get_operator() const {
    return operation.empty() ? op_none : operation.get()->get_operator();
}
operator_t node_single_t::get_operator() const {
    return operation.empty() ? op_none : operation.get()->get_operator();
}
}  // namespace impl

}  // namespace sql
