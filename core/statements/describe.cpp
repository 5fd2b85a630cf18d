// describe: the application's view of a recordset's description.
#include <tovi/describe.hpp>
#include <tovi/exception.hpp>

namespace tovi {

impl::describe::~describe() = default;

describe::describe(recordset_t& source_) : source(&source_), impl(source_.make_describe()) {}

describe::~describe() {
    // The bindings go before their factories do: an owned value would otherwise
    // end its binding later through a freed factory, and a plain variable's
    // binding would never be freed.
    if (impl != nullptr) {
        for (impl::value_factory* f : {&impl->get_bind(), &impl->get_define()}) {
            try {
                f->destroy_all_bindings();
            } catch (...) {
            }
        }
    }
    try {
        source->destroy_describe(impl);
    } catch (...) {
    }
}

impl::describe& describe::described() const {
    if (impl == nullptr) throw not_implemented(0);  // the source cannot be described
    return *impl;
}

impl::value_factory& describe::get_bind() {
    return described().get_bind();
}
impl::value_factory& describe::get_define() {
    return described().get_define();
}
bool describe::next() {
    return described().next();
}

}  // namespace tovi
