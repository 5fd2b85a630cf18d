// Loading a dialect module and forwarding to its descriptor.
#include "dialect_module.hpp"

#include <tovi/module.hpp>

#include "module_registry.hpp"

namespace tovi::detail {

dialect_module::dialect_module(int source) : descriptor_(nullptr) {
    name = utils::make_dll_name(dialect_module_name(source).c_str());
    if (!load(library_, name)) throw "Error";
    auto make = reinterpret_cast<tovi_make_server_fn>(library_.symbol("make_server"));
    if (make == nullptr)
        throw ds_exception("Cannot find the 'make_server' symbol in the shared library '" + name +
                           "'");
    descriptor_ = make();
    if (descriptor_ == nullptr)
        throw ds_exception("The dialect module '" + name + "' made no server descriptor.");
}

bool dialect_module::load(shared_library& library, const std::string& file_name) {
    // A bare name: found through libtovi.so's run path, beside the core. Where a
    // dlopen interceptor (AddressSanitizer's) hides the core as the caller, the
    // run path is not searched: look beside the core by path then.
    return library.load(file_name.c_str()) ||
           library.load((platform::core_directory() + file_name).c_str());
}

dialect_module::~dialect_module() {
    // The module's own code deletes its descriptor, before the module goes.
    delete descriptor_;
    descriptor_ = nullptr;
}

void dialect_module::translate_error(const exception& e, const std::string& context) {
    descriptor_->translate_error(e, context);
    // A translator must throw; one that returned still leaves the error standing.
    throw exception(e, context, 0);
}

sql_support* dialect_module::get_sql_support() {
    return descriptor_->get_sql_support();
}

}  // namespace tovi::detail
