// Scripts: the application's handle and the driver-side base.
#include <tovi/data_source.hpp>
#include <tovi/exception.hpp>
#include <tovi/sql/printers.hpp>
#include <tovi/sql/script.hpp>
#include <tovi/transaction.hpp>

#include "../base/lifetimes.hpp"
#include "../base/module_registry.hpp"

namespace sql {

namespace impl {

script::script(tovi::data_aware_command* c) : command(c) {}
script::~script() = default;

void script::parse(const expr_t& e) {
    tree = e;
}

std::string script::get_key() const {
    return "NONE";
}

void script::execute() {
    value_visitor_t* visitor = get_visitor();
    tree.accept(*visitor);
    visitor->execute();
}

script_factory::~script_factory() = default;

}  // namespace impl

namespace {
// The driver's module name, for the message when it runs no scripts.
std::string driver_name(tovi::transaction& t) {
    try {
        const tovi::connection& c = t.get_data_source().get_connection();
        return tovi::detail::driver_module_name(c.get_database().get_repository().get_provider());
    } catch (...) {
        return "unknown";
    }
}

impl::script_factory* factory_of(tovi::transaction& t) {
    return dynamic_cast<impl::script_factory*>(t.get_impl());
}
}  // namespace

script::script(tovi::transaction& t) : trans(&t), impl(nullptr) {
    tovi::detail::lifetimes::add(trans, {this, &end_with_transaction});
}

script::~script() {
    tovi::detail::reporting_failure([this] { cancel(); });
    if (trans != nullptr) tovi::detail::lifetimes::remove(trans, this);
}

void script::end_with_transaction(void* self) {
    auto& s = *static_cast<script*>(self);
    tovi::detail::reporting_failure([&s] { s.cancel(); });
    s.trans = nullptr;
}

void script::parse(const expr_t& e) {
    cancel();
    if (trans == nullptr || trans->get_impl() == nullptr)
        throw tovi::bad_operation("The script works in no transaction.", 0);
    impl::script_factory* factory = factory_of(*trans);
    if (factory == nullptr)
        throw tovi::not_implemented(tovi::exception(
            "Scripts are not supported by the '" + driver_name(*trans) + "' driver.", 0));
    impl::script* made = factory->create_script(this);
    try {
        made->parse(e);
    } catch (...) {
        factory->release_script(made);
        throw;
    }
    impl = made;
}

impl::script& script::parsed() const {
    if (impl == nullptr) throw tovi::bad_operation("The script has not been parsed.", 0);
    return static_cast<impl::script&>(*impl);  // parse() keeps only driver scripts
}

void script::execute() {
    parsed().execute();
}
bool script::next() {
    return parsed().next();
}
tovi::impl::value_factory& script::get_bind() {
    return parsed().get_bind();
}
tovi::impl::value_factory& script::get_define() {
    return parsed().get_define();
}

void script::cancel() {
    if (impl == nullptr) return;
    auto* s = static_cast<impl::script*>(impl);
    impl = nullptr;
    if (impl::script_factory* factory = factory_of(*trans)) factory->release_script(s);
}

}  // namespace sql
