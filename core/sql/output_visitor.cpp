// output_visitor_t: one DML statement or expression as SQL text.
#include <tovi/date_conv.hpp>
#include <tovi/sql.hpp>

#include "body_cast.hpp"
#include "sql_text.hpp"

namespace sql {

output_visitor_t::output_visitor_t() : state_(new State()), text_(&state_->text) {}

output_visitor_t::output_visitor_t(const output_callback& callback)
    : default_visitor_t(callback), state_(new State()), text_(&state_->text) {}

result_t output_visitor_t::evaluateSQL(const boost::shared_ptr<State>&, operator_t,
                                       const result_t&) {
    return result_t();
}

result_t output_visitor_t::evaluateSQL(const boost::shared_ptr<State>&) {
    return result_t();
}

boost::shared_ptr<output_visitor_t::State> output_visitor_t::print_apart(const expr_t& e) {
    boost::shared_ptr<State> saved = state_;
    boost::shared_ptr<State> fresh(new State());
    state_ = fresh;
    text_ = &fresh->text;
    try {
        print(e);
    } catch (...) {
        state_ = saved;
        text_ = &saved->text;
        throw;
    }
    state_ = saved;
    text_ = &saved->text;
    return fresh;
}

void output_visitor_t::visit_string_t(impl::string_t& n) {
    *text_ += n.value;
}
void output_visitor_t::visit_string_val_t(impl::string_val_t& n) {
    *text_ += quoted_literal(n.value);
}
void output_visitor_t::visit_long_t(impl::long_t& n) {
    *text_ += std::to_string(n.value);
}
void output_visitor_t::visit_date_t(impl::date_t& n) {
    *text_ += date_literal(n.value);
}
void output_visitor_t::visit_bool_t(impl::bool_t& n) {
    *text_ += n.value ? "TRUE" : "FALSE";
}
void output_visitor_t::visit_tovi_value_t(impl::tovi_value_t&) {}
void output_visitor_t::visit_cond_join_t(impl::cond_join_t&) {}
void output_visitor_t::visit_result_t(impl::result_t&) {}

void output_visitor_t::visit_function_t(impl::function_t& n) {
    print(n.name);
    if (!n.qualifier.get_value().empty()) *text_ += "@" + n.qualifier.get_value();
    if (!n.arguments.empty()) {
        *text_ += "(";
        print(n.arguments);
        *text_ += ")";
    }
}

void output_visitor_t::visit_from_query_t(impl::from_query_t& n) {
    *text_ += "(";
    print(n.query);
    *text_ += ")";
}

void output_visitor_t::visit_field_t(impl::field_t& n) {
    if (n.table != nullptr && !n.table->alias.get_value().empty())
        *text_ += n.table->alias.get_value() + ".";
    *text_ += n.name.get_value();
}

void output_visitor_t::visit_table_t(impl::table_t& n) {
    *text_ += n.name.get_value();
    if (!n.link.get_value().empty()) *text_ += "@" + n.link.get_value();
    if (!n.alias.get_value().empty()) *text_ += " " + n.alias.get_value();
}

void output_visitor_t::visit_expr_list_t(impl::expr_list_t& n) {
    for (std::size_t i = 0; i < n.list.size(); ++i) {
        if (i != 0) *text_ += list_separator;
        print(n.list[i]);
    }
}

void output_visitor_t::visit_operation_t(impl::operation_t& n) {
    if (const char* t = operator_text(n.op)) *text_ += t;
}

void output_visitor_t::visit_select_t(impl::select_t& n) {
    *text_ += "SELECT ";
    print(n.fields);
    *text_ += "\nFROM ";
    print(n.from);
    if (!n.where.empty()) {
        *text_ += "\nWHERE ";
        print(n.where);
    }
}

void output_visitor_t::visit_insert_t(impl::insert_t& n) {
    *text_ += "INSERT INTO ";
    print(n.table);
    if (!n.fields.empty()) {
        *text_ += "(";
        print(n.fields);
        *text_ += ")";
    }
    *text_ += " VALUES(";
    print(n.values);
    *text_ += ")";
}

void output_visitor_t::visit_update_t(impl::update_t& n) {
    *text_ += "UPDATE ";
    print(n.table);
    *text_ += "\nSET (";
    print(n.fields);
    *text_ += ") = (";
    print(n.values);
    *text_ += ")";
    if (!n.where.empty()) {
        *text_ += "\nWHERE ";
        print(n.where);
    }
}

void output_visitor_t::visit_delete_t(impl::delete_t& n) {
    *text_ += "DELETE FROM ";
    print(n.table);
    if (!n.where.empty()) {
        *text_ += "\nWHERE ";
        print(n.where);
    }
}

namespace {
int strength(operator_t op) {
    const int index = static_cast<int>(op);
    return index >= 0 && index <= 40 ? op_precedence[index] : op_precedence[0];
}
}  // namespace

void output_visitor_t::visit_node_single_t(impl::node_single_t& n) {
    const operator_t op = n.get_operator();
    if (op != op_not) {
        print(n.operation);
        print(n.operand);
        state_->top = op;
        return;
    }
    boost::shared_ptr<State> operand = print_apart(n.operand);
    if (operand->truth == 1) {
        state_->truth = 2;
    } else if (operand->truth == 2) {
        state_->truth = 1;
    } else {
        // NOT binds weaker than a comparison but tighter than AND and OR: an AND
        // or OR under it needs its parentheses, or the statement means otherwise.
        print(n.operation);
        if (strength(operand->top) <= op_precedence[op_and])
            *text_ += "(" + operand->text + ")";
        else
            *text_ += operand->text;
        state_->top = op;
    }
}

void output_visitor_t::visit_node_dual_t(impl::node_dual_t& n) {
    const operator_t op = n.get_operator();
    boost::shared_ptr<State> left = print_apart(n.left);
    boost::shared_ptr<State> right = print_apart(n.right);
    State& out = *state_;

    if (op == op_in) {
        *text_ += left->text + operator_text(op_in) + "(" + right->text + ")";
        out.top = op;
        return;
    }

    enum { plain = 0, is_false = 1, is_true = 2, values = 3 };
    const int l = left->truth, r = right->truth;
    if (op == op_and && !(l == plain && r == plain)) {
        if (l == is_false || r == is_false) {
            out.truth = is_false;
        } else if (l == is_true && r == is_true) {
            out.truth = is_true;
        } else if (l == is_true && r == values) {
            out.truth = values, out.value = right->value;
        } else if (l == values && r == is_true) {
            out.truth = values, out.value = left->value;
        } else if (l == is_true && r == plain) {
            *text_ += right->text;
            out.top = right->top;
        } else if (l == plain && r == is_true) {
            *text_ += left->text;
            out.top = left->top;
        } else if (l == values && r == values) {
            out.truth = values, out.value = left->value && right->value;
        } else if (l == values && r == plain) {
            out.truth = values, out.value = evaluateSQL(right, op_and, left->value);
        } else {  // plain and values
            out.truth = values, out.value = evaluateSQL(left, op_and, right->value);
        }
        return;
    }
    if (op == op_or && !(l == plain && r == plain)) {
        if (l == is_true || r == is_true) {
            out.truth = is_true;
        } else if (l == is_false && r == is_false) {
            out.truth = is_false;
        } else if (l == is_false && r == values) {
            out.truth = values, out.value = right->value;
        } else if (l == values && r == is_false) {
            out.truth = values, out.value = left->value;
        } else if (l == is_false && r == plain) {
            *text_ += right->text;
            out.top = right->top;
        } else if (l == plain && r == is_false) {
            *text_ += left->text;
            out.top = left->top;
        } else if (l == values && r == values) {
            out.truth = values, out.value = right->value || left->value;
        } else if (l == values && r == plain) {
            out.truth = values, out.value = evaluateSQL(right, op_or, left->value);
        } else {  // plain and values
            out.truth = values, out.value = evaluateSQL(left, op_or, right->value);
        }
        return;
    }

    // Parentheses follow the operators as printed, not the tree's: a folded
    // subtree stands where its parent was.
    const int mine = strength(op);
    if (strength(left->top) < mine)
        *text_ += "(" + left->text + ")";
    else
        *text_ += left->text;
    print(n.operation);
    if (strength(right->top) < mine)
        *text_ += "(" + right->text + ")";
    else
        *text_ += right->text;
    out.top = op;
}

}  // namespace sql
