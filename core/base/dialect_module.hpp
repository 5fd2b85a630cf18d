// The server descriptor uurl_t::make_server() returns: it loads the dialect
// module, keeps the module's own descriptor and forwards to it, and destroys that
// descriptor before unloading the module.
#ifndef TOVI_CORE_BASE_DIALECT_MODULE_HPP
#define TOVI_CORE_BASE_DIALECT_MODULE_HPP

#include <tovi/server.hpp>

#include "../platform/dynlib.hpp"

namespace tovi::detail {

class dialect_module : public server_t {
public:
    // Loads the dialect module file `file_name` into `library`: by bare name
    // (libtovi.so's run path), else by path beside the core. False when neither loads.
    static bool load(shared_library& library, const std::string& file_name);

    // Loads the dialect module for `source` (the plain C string "Error" when it
    // cannot be loaded) and asks it for its descriptor.
    explicit dialect_module(int source);
    ~dialect_module() override;

    [[noreturn]] void translate_error(const exception& e, const std::string& context) override;
    sql_support* get_sql_support() override;

private:
    shared_library library_;
    server_t* descriptor_;
};

}  // namespace tovi::detail

#endif
