// tovi::statement and the driver statement bases.
#include <tovi/data_source.hpp>
#include <tovi/exception.hpp>
#include <tovi/statement.hpp>

#include "../base/lifetimes.hpp"

namespace tovi {

namespace impl {
executable::~executable() = default;
std::string executable::get_key() const {
    return std::string();
}
statement::~statement() = default;

string_stmt::string_stmt(const data_aware_command* command_, unsigned int options_)
    : command(command_), reserved(0), options(options_) {}
string_stmt::~string_stmt() = default;
}  // namespace impl

statement::statement(data_source& source, unsigned int options_)
    : options(options_), trans(nullptr), impl(nullptr), owns_trans(true) {
    connection& c = source.get_connection();
    if (impl::transaction* shared = c.get_default_transaction()) {
        trans = new transaction(source, *shared);
    } else {
        impl::transaction* own = c.acquire_transaction_impl(impl::txn_statement);
        try {
            trans = new transaction(source, *own);
        } catch (...) {
            c.release_transaction_impl(own);
            throw;
        }
    }
    try {
        detail::lifetimes::add(trans, {this, &end_with_transaction});
    } catch (...) {
        delete trans;
        throw;
    }
}

statement::statement(transaction& t, unsigned int options_)
    : options(options_), trans(&t), impl(nullptr), owns_trans(false) {
    detail::lifetimes::add(trans, {this, &end_with_transaction});
}

statement::~statement() {
    detail::reporting_failure([this] { cancel(); });
    if (trans != nullptr) detail::lifetimes::remove(trans, this);
    // Only a transaction object this statement made itself is its to free.
    if (owns_trans) delete trans;
}

void statement::end_with_transaction(void* self) {
    auto& s = *static_cast<statement*>(self);
    detail::reporting_failure([&s] { s.cancel(); });
    // A transaction of its own stays (inert) until the statement goes.
    if (!s.owns_trans) s.trans = nullptr;
}

impl::statement& statement::parsed() const {
    if (impl == nullptr) {
        if (trans == nullptr || trans->get_impl() == nullptr)
            throw bad_operation("The statement works in no transaction.", 0);
        throw bad_operation("The statement has not been parsed.", 0);
    }
    return *impl;
}

void statement::parse(const std::string& sql) {
    if (impl != nullptr) cancel();
    // Native APIs read the text up to its first NUL: the rest would be dropped
    // without a word ("... VALUES(1)\0; DROP TABLE t" runs only the INSERT).
    const std::size_t nul = sql.find('\0');
    if (nul != std::string::npos)
        throw bad_sql("The SQL text holds a NUL byte at position " + std::to_string(nul) +
                          " (counted from 0); nothing was run.",
                      0);
    if (trans == nullptr || trans->get_impl() == nullptr)
        throw bad_operation("The statement works in no transaction.", 0);
    impl = trans->get_impl()->acquire_statement(sql, this);
}

void statement::execute() {
    if (impl == nullptr) parsed();  // throws: not parsed
    impl::statement& s = *impl;
    impl::value_factory& bind = s.get_bind();
    bind.get_value();
    s.execute();
    // Only in/out parameters flow back; an input factory has nothing to walk.
    if (bind.get_direction() != in) bind.set_value();
}

void statement::execute(const std::string& sql) {
    parse(sql);
    execute();
}

bool statement::next() {
    if (impl == nullptr) parsed();  // throws: not parsed
    impl::statement& s = *impl;
    if (!s.next()) return false;
    s.get_define().set_value();
    return true;
}

void statement::flush() {
    parsed().flush();
}

impl::value_factory& statement::get_bind() {
    return parsed().get_bind();
}
impl::value_factory& statement::get_define() {
    return parsed().get_define();
}

void statement::cancel() {
    if (impl == nullptr) return;
    impl::statement* s = impl;
    impl = nullptr;
    // Every binding goes, and the driver statement is handed back, even if a
    // step fails; the first failure is then rethrown.
    std::exception_ptr first_failure;
    try {
        s->get_bind().destroy_all_bindings();
    } catch (...) {
        first_failure = std::current_exception();
    }
    try {
        s->get_define().destroy_all_bindings();
    } catch (...) {
        if (!first_failure) first_failure = std::current_exception();
    }
    try {
        trans->get_impl()->release_statement(s);
    } catch (...) {
        if (!first_failure) first_failure = std::current_exception();
    }
    if (first_failure) std::rethrow_exception(first_failure);
}

}  // namespace tovi
