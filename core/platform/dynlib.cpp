// Where the core library lives, asked of the dynamic loader.
#include "dynlib.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace tovi::platform {

namespace {
constexpr std::size_t max_module_file_name = 1024;
}

std::string core_directory() {
    Dl_info info{};
    // Any function of the core will do: dladdr names the file that holds it.
    if (dladdr(reinterpret_cast<void*>(&core_directory), &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    std::string file = info.dli_fname;
    if (!file.empty() && file[0] != '/') {
        // Loaded through a relative path: the loader's name is relative to the
        // working directory at load time, which is the best we have.
        char cwd[PATH_MAX];
        if (getcwd(cwd, sizeof cwd) == nullptr) return std::string();
        file = std::string(cwd) + "/" + file;
    }
    if (file.size() > max_module_file_name) return std::string();
    std::string::size_type slash = file.rfind('/');
    if (slash == std::string::npos) return std::string();
    return file.substr(0, slash + 1);
}

}  // namespace tovi::platform

namespace tovi {

shared_library::shared_library(int flags) : flags_(flags), keep_loaded_(false), handle_(nullptr) {}

shared_library::~shared_library() {
    if (!keep_loaded_) unload();
}

bool shared_library::load(const char* name) {
    if (name == nullptr || *name == '\0') throw "Invalid DLL name";
    if (handle_ != nullptr && file_ == name) return true;
    unload();
    error_.clear();
    // Modules see only the symbols they link against: RTLD_LOCAL.
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error_ = reason != nullptr ? reason : "unknown loader error";
        return false;
    }
    handle_ = handle;
    file_ = name;
    return true;
}

void shared_library::unload() noexcept {
    if (handle_ == nullptr) return;
    dlclose(handle_);  // a failure to unload is of no use to anyone: ignored
    handle_ = nullptr;
    file_.clear();
}

void* shared_library::symbol(const char* name) const {
    if (handle_ == nullptr || name == nullptr) return nullptr;
    return dlsym(handle_, name);
}

}  // namespace tovi
