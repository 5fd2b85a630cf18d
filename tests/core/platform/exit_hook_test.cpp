// The exit registry and the import patcher, in this process and in child
// processes that leave in every way the registry covers.
#include <tovi/tovi.hpp>
#include <tovi/win_hook.hpp>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace {

std::string read(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the child program in `mode`; its exit code, and what its functions wrote.
std::pair<int, std::string> run_child(const std::string& mode) {
    tovi_test::temp_dir dir;
    const std::string out = dir.file("ran.txt");
    const std::string command = std::string("'") + TOVI_TEST_EXIT_CHILD + "' '" + out + "' " +
                                mode + " '" + TOVI_TEST_EXIT_MODULE + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(out)};
}

TEST(ExitHook, RegisteredFunctionsRunOnceInOrderHoweverTheProcessExits) {
    // An intercepted exit runs f and g before libc's exit handlers ("z" is the
    // program's own); returning from main reaches them through the registry's
    // handler, after the program's.
    const struct {
        const char* mode;
        int code;
        const char* written;
    } ways[] = {
        {"return", 0, "z\nf\ng\n"},        // main returns: libc's exit, through no GOT
        {"exit", 3, "f\ng\nz\n"},          // exit() from the main program
        {"module", 5, "f\ng\nz\n"},        // from a module loaded after the hook was installed
        {"thread", 4, "f\ng\nz\n"},        // from a second thread
        {"unload", 6, "f\ng\nz\n"},        // after a module was unloaded again
        {"dlsym", 7, "f\ng\nz\n"},         // through a dlsym lookup of "exit"
        {"pointer", 9, "f\ng\nz\n"},       // through a function pointer to exit
        {"early_atexit", 0, "f\ng\nz\n"},  // main returns; its handler came first
        // A registered function that exits: the rest still run, once, and the
        // process ends with the status it gave; one that throws: the rest run.
        {"nested", 8, "f\ng\nz\n"},
        {"throws", 3, "f\ng\nz\n"},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.mode);
        const auto result = run_child(way.mode);
        EXPECT_EQ(result.first, way.code);
        EXPECT_EQ(result.second, way.written);
    }
}

int calls = 0;
std::string order;
void first() {
    ++calls;
    order += "1";
}
void second() {
    order += "2";
}
void never() {
    order += "x";
}

TEST(ExitHook, RegistryKeepsOrderAndNoDuplicates) {
    tovi::api::init();
    auto& registry = tovi::win_hook::on_ExitProcess_t::get_instance();
    registry.clear_all();  // nothing registered: nothing runs
    registry.add(first);
    registry.add(first);
    registry.add(second);
    registry.remove(never);  // not registered: nothing changes
    registry.add(never);
    registry.remove(never);
    registry.clear_all();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(order, "12");
    registry.clear_all();  // emptied: nothing runs again
    EXPECT_EQ(order, "12");
    tovi::api::fini();
}

// Copies raw module memory: the redzones the address sanitizer puts between a
// module's globals are part of it.
__attribute__((no_sanitize("address"))) void copy_raw(const char* from, std::size_t n,
                                                      std::vector<char>& to) {
    to.reserve(to.size() + n);
    for (std::size_t i = 0; i < n; ++i) {
        const char byte = from[i];  // read here, outside the instrumented container
        to.push_back(byte);
    }
}

// The RELRO bytes (and unless `relro_only` the writable ones) of the module loaded
// at `base`: its GOT among them.
std::vector<char> data_of(ElfW(Addr) base, bool relro_only = false) {
    struct query {
        ElfW(Addr) base;
        bool relro_only;
        std::vector<char> bytes;
    } q{base, relro_only, {}};
    dl_iterate_phdr(
        [](dl_phdr_info* m, std::size_t, void* data) {
            auto* q = static_cast<query*>(data);
            if (m->dlpi_addr != q->base) return 0;
            for (ElfW(Half) i = 0; i < m->dlpi_phnum; ++i) {
                const ElfW(Phdr)& p = m->dlpi_phdr[i];
                if (p.p_type == PT_GNU_RELRO ||
                    (!q->relro_only && p.p_type == PT_LOAD && (p.p_flags & PF_W))) {
                    const char* from = reinterpret_cast<const char*>(m->dlpi_addr + p.p_vaddr);
                    copy_raw(from, p.p_filesz, q->bytes);
                }
            }
            return 1;
        },
        &q);
    return q.bytes;
}

ElfW(Addr) base_of(void* address) {
    Dl_info info{};
    dladdr(address, &info);
    return reinterpret_cast<ElfW(Addr)>(info.dli_fbase);
}

[[noreturn]] void replacement(int) {
    std::abort();
}

TEST(ExitHook, HookOnceUnhookRestoresTheGotAndLibtoviIsNeverPatched) {
    tovi::api::init();
    void* module = dlopen(TOVI_TEST_EXIT_MODULE, RTLD_NOW);
    ASSERT_NE(module, nullptr) << dlerror();
    const ElfW(Addr) module_base = base_of(dlsym(module, "tovi_test_call_exit"));
    const ElfW(Addr) core_base = base_of(reinterpret_cast<void*>(&tovi::api::init));
    const std::vector<char> module_before = data_of(module_base);
    // libtovi.so's RELRO holds its GOT entries of dlopen and dlsym (it takes their
    // addresses): the patcher's own redirections of them must leave it alone.
    const std::vector<char> core_before = data_of(core_base, true);

    auto& patcher = tovi::win_hook::import_patcher::get_instance();
    EXPECT_TRUE(patcher.hook("libc.so.6", "exit", reinterpret_cast<void*>(&replacement)));
    EXPECT_FALSE(patcher.hook("LIBC.so.6", "EXIT", reinterpret_cast<void*>(&replacement)));
    EXPECT_NE(data_of(module_base), module_before);  // the module's slot now points at us
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "exit"), reinterpret_cast<void*>(&replacement));
    EXPECT_TRUE(patcher.unhook("libc.so.6", "exit"));
    EXPECT_FALSE(patcher.unhook("libc.so.6", "exit"));
    EXPECT_EQ(data_of(module_base), module_before);  // byte for byte
    EXPECT_FALSE(
        patcher.hook("libc.so.6", "no_such_function", reinterpret_cast<void*>(&replacement)));
    EXPECT_TRUE(patcher.self_hooked());
    EXPECT_EQ(data_of(core_base, true), core_before);
    tovi::api::fini();  // the patcher goes, its redirections with it
    dlclose(module);
}

}  // namespace
