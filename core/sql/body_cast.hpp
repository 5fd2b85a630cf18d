// Checked access from a handle to its body.
#ifndef TOVI_CORE_SQL_BODY_CAST_HPP
#define TOVI_CORE_SQL_BODY_CAST_HPP

#include <tovi/exception.hpp>
#include <tovi/sql/expr.hpp>

namespace sql {

template <class B>
B& expr_t::body_as(const char* what) const {
    B* body = dynamic_cast<B*>(p_.get());
    if (body == nullptr)
        throw tovi::bad_operation(
            std::string("The SQL builder handle is ") + (p_ ? "not " : "an empty ") + what + ".",
            0);
    return *body;
}

// The body of `e` as B, or null.
template <class B>
B* body_of(const expr_t& e) {
    return dynamic_cast<B*>(e.get());
}

}  // namespace sql

#endif
