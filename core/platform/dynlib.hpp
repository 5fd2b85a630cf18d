// The platform's dynamic loader, behind a small interface: the one place of the
// core (besides the exit hook) that includes <dlfcn.h>.
#ifndef TOVI_CORE_PLATFORM_DYNLIB_HPP
#define TOVI_CORE_PLATFORM_DYNLIB_HPP

#include <string>

#include <tovi/config.hpp>

namespace tovi::platform {

// The directory of the file that holds libtovi.so, ending in "/"; the empty
// string when the loader cannot tell or the file name exceeds 1024 characters.
TOVI_API std::string core_directory();

}  // namespace tovi::platform

namespace tovi {

// One loaded module. Loading a name it already holds does nothing; loading
// another unloads the first. Unloaded at destruction unless kept loaded.
class TOVI_API shared_library {
public:
    explicit shared_library(int flags = 0);
    ~shared_library();
    shared_library(const shared_library&) = delete;
    shared_library& operator=(const shared_library&) = delete;

    // Throws the plain C string "Invalid DLL name" for a null or empty name.
    // A name with a "/" is a path; a bare name is searched the loader's way
    // (from libtovi.so: its run path). Returns false when loading failed; the
    // loader's reason is then in last_error().
    bool load(const char* name);
    void unload() noexcept;
    // Null when nothing is loaded or the symbol is absent.
    void* symbol(const char* name) const;

    bool is_loaded() const { return handle_ != nullptr; }
    const std::string& file_name() const { return file_; }
    const std::string& last_error() const { return error_; }
    void keep_loaded(bool keep) { keep_loaded_ = keep; }

private:
    [[maybe_unused]] int flags_;  // the platform loader's flags; dlopen's are fixed
    std::string file_;
    bool keep_loaded_;
    void* handle_;
    std::string error_;
};

}  // namespace tovi

#endif
