// The test program of the exit hook: registers two functions that append "f" and
// "g" to a file (in some modes a third between them that exits or throws), and an
// atexit handler that appends "z", then leaves the process as its mode says.
//
//   exit_hook_child FILE (return|exit|module|thread|unload|dlsym|nested|throws|pointer|
//                         early_atexit) [MODULE]
#include <tovi/tovi.hpp>
#include <tovi/win_hook.hpp>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

const char* file = nullptr;

void append(const char* text) {
    if (FILE* f = std::fopen(file, "a")) {
        std::fputs(text, f);
        std::fclose(f);
    }
}
void f() {
    append("f\n");
}
void g() {
    append("g\n");
}
void exits() {
    std::exit(8);
}
void throws() {
    throw std::runtime_error("a registered function failed");
}
void z() {
    append("z\n");
}

void* load(const char* module) {
    void* handle = dlopen(module, RTLD_NOW);
    if (handle == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        std::_Exit(90);
    }
    return handle;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    file = argv[1];
    const std::string mode = argv[2];
    // Registered before the registry exists, its handler runs after the registry's.
    if (mode == "early_atexit") std::atexit(z);
    tovi::win_hook::on_ExitProcess_t& registry = tovi::win_hook::on_ExitProcess_t::get_instance();
    registry.add(f);
    if (mode == "nested") registry.add(exits);
    if (mode == "throws") registry.add(throws);
    registry.add(g);
    registry.add(f);  // registered once only
    // Runs before the registry's own handler: an intercepted exit runs f and g
    // before it, an exit that only the handler catches after it.
    if (mode != "early_atexit") std::atexit(z);
    if (mode == "early_atexit") return 0;
    if (mode == "return") return 0;
    if (mode == "exit" || mode == "nested" || mode == "throws") std::exit(3);
    if (mode == "pointer") {
        void (*volatile leave)(int) = &std::exit;
        leave(9);
    }
    if (mode == "module" && argc > 3) {
        auto call = reinterpret_cast<void (*)(int)>(dlsym(load(argv[3]), "tovi_test_call_exit"));
        call(5);
    }
    if (mode == "thread") {
        std::thread([] { std::exit(4); }).join();
    }
    if (mode == "unload" && argc > 3) {
        dlclose(load(argv[3]));
        std::exit(6);
    }
    if (mode == "dlsym") {
        auto looked_up = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "exit"));
        looked_up(7);
    }
    return 99;
}
