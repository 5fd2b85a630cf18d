// The exit registry and the ELF import patcher: GOT slots of `exit` (and of
// dlopen, dlmopen and dlsym, so that later modules are patched too) rewritten in
// every loaded module but libtovi.so itself.
#include <tovi/win_hook.hpp>

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <strings.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "../base/cleanup_list.hpp"

namespace tovi::win_hook {

// Module images are addressed as loaded base + offset: integers become pointers
// throughout.
// NOLINTBEGIN(performance-no-int-to-ptr)

namespace {

const char* const libc_name = "libc.so.6";

// One written GOT slot and what it held before.
struct slot {
    void** where;
    void* original;
};

struct api_hook {
    std::string module_name;
    std::string function_name;
    void* module;
    void* real_address;
    void* replacement;
    std::vector<slot> slots;
};

// The patcher's state (one per process), under its mutex.
struct patcher_state {
    std::recursive_mutex mutex;
    std::vector<api_hook> hooks;
};
patcher_state& state() {
    static patcher_state* s = new patcher_state();  // outlives every exit path
    return *s;
}

// The real loader and lookup: libtovi.so's own GOT is never patched.
using dlopen_fn = void* (*)(const char*, int);
using dlmopen_fn = void* (*)(Lmid_t, const char*, int);
using dlsym_fn = void* (*)(void*, const char*);
const dlopen_fn real_dlopen = &::dlopen;
const dlmopen_fn real_dlmopen = &::dlmopen;
const dlsym_fn real_dlsym = &::dlsym;

bool same(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Where this library is loaded: its GOT stays as it is.
ElfW(Addr) own_base() {
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&own_base), &info);
    return reinterpret_cast<ElfW(Addr)>(info.dli_fbase);
}

// Modules never patched: this library, the dynamic linker, libc (which defines
// what is hooked), the kernel's vDSO and the sanitizer runtimes.
bool left_alone(const dl_phdr_info& m) {
    if (m.dlpi_addr == own_base()) return true;
    const char* name = m.dlpi_name != nullptr ? m.dlpi_name : "";
    for (const char* part :
         {"ld-linux", "linux-vdso", "libc.so", "libasan", "libubsan", "libtsan", "liblsan"})
        if (std::strstr(name, part) != nullptr) return true;
    return false;
}

// Writes `value` into `where`, making a write-protected (RELRO) page writable for
// the write only. False when the protection cannot be changed.
bool write_slot(void** where, void* value, bool protected_page) {
    if (!protected_page) {
        *where = value;
        return true;
    }
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(where) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(where + 1) + page - 1) & ~(page - 1);
    if (mprotect(reinterpret_cast<void*>(start), end - start, PROT_READ | PROT_WRITE) != 0)
        return false;
    *where = value;
    mprotect(reinterpret_cast<void*>(start), end - start, PROT_READ);
    return true;
}

// Whether `where` lies in a loaded module's RELRO segment (0: not in any module).
int relro_of(void** where) {
    struct query {
        std::uintptr_t address;
        int result;
    } q{reinterpret_cast<std::uintptr_t>(where), 0};
    dl_iterate_phdr(
        [](dl_phdr_info* m, std::size_t, void* data) {
            auto* q = static_cast<query*>(data);
            for (ElfW(Half) i = 0; i < m->dlpi_phnum; ++i) {
                const ElfW(Phdr)& p = m->dlpi_phdr[i];
                const std::uintptr_t from = m->dlpi_addr + p.p_vaddr;
                if (q->address < from || q->address >= from + p.p_memsz) continue;
                if (p.p_type == PT_GNU_RELRO) q->result = 2;
                if (p.p_type == PT_LOAD && q->result == 0) q->result = 1;
            }
            return 0;
        },
        &q);
    return q.result;
}

// Rewrites the GOT slots of `h`'s function in one module; true when any was.
bool patch_module(const dl_phdr_info& m, api_hook& h) {
    const ElfW(Dyn)* dynamic = nullptr;
    std::uintptr_t relro_from = 0, relro_to = 0;
    for (ElfW(Half) i = 0; i < m.dlpi_phnum; ++i) {
        const ElfW(Phdr)& p = m.dlpi_phdr[i];
        if (p.p_type == PT_DYNAMIC)
            dynamic = reinterpret_cast<const ElfW(Dyn)*>(m.dlpi_addr + p.p_vaddr);
        if (p.p_type == PT_GNU_RELRO) {
            relro_from = m.dlpi_addr + p.p_vaddr;
            relro_to = relro_from + p.p_memsz;
        }
    }
    if (dynamic == nullptr) return false;
    // The loader stores the dynamic section's addresses relocated; a few
    // modules (the vDSO) keep them relative.
    auto at = [&](ElfW(Addr) value) { return value < m.dlpi_addr ? value + m.dlpi_addr : value; };
    const ElfW(Sym)* symbols = nullptr;
    const char* names = nullptr;
    const ElfW(Rela) * tables[2] = {nullptr, nullptr};
    std::size_t sizes[2] = {0, 0};
    for (const ElfW(Dyn)* d = dynamic; d->d_tag != DT_NULL; ++d) {
        switch (d->d_tag) {
            case DT_SYMTAB:
                symbols = reinterpret_cast<const ElfW(Sym)*>(at(d->d_un.d_ptr));
                break;
            case DT_STRTAB:
                names = reinterpret_cast<const char*>(at(d->d_un.d_ptr));
                break;
            case DT_JMPREL:
                tables[0] = reinterpret_cast<const ElfW(Rela)*>(at(d->d_un.d_ptr));
                break;
            case DT_PLTRELSZ:
                sizes[0] = d->d_un.d_val;
                break;
            case DT_RELA:
                tables[1] = reinterpret_cast<const ElfW(Rela)*>(at(d->d_un.d_ptr));
                break;
            case DT_RELASZ:
                sizes[1] = d->d_un.d_val;
                break;
            default:
                break;
        }
    }
    if (symbols == nullptr || names == nullptr) return false;
    bool patched = false;
    for (int t = 0; t < 2; ++t) {
        if (tables[t] == nullptr) continue;
        for (std::size_t i = 0; i < sizes[t] / sizeof(ElfW(Rela)); ++i) {
            const ElfW(Rela)& r = tables[t][i];
            const auto type = ELF64_R_TYPE(r.r_info);
            if (type != R_X86_64_JUMP_SLOT && type != R_X86_64_GLOB_DAT) continue;
            const ElfW(Sym)& s = symbols[ELF64_R_SYM(r.r_info)];
            if (s.st_shndx != SHN_UNDEF) continue;  // the module's own function
            if (strcasecmp(names + s.st_name, h.function_name.c_str()) != 0) continue;
            auto** where = reinterpret_cast<void**>(m.dlpi_addr + r.r_offset);
            if (*where == h.replacement) continue;
            const auto address = reinterpret_cast<std::uintptr_t>(where);
            const void* original = *where;
            if (!write_slot(where, h.replacement, address >= relro_from && address < relro_to))
                continue;
            h.slots.push_back({where, const_cast<void*>(original)});
            patched = true;
        }
    }
    return patched;
}

// Every loaded module but those left alone, the main program last.
std::vector<dl_phdr_info> modules() {
    std::vector<dl_phdr_info> all;
    dl_iterate_phdr(
        [](dl_phdr_info* m, std::size_t, void* data) {
            static_cast<std::vector<dl_phdr_info>*>(data)->push_back(*m);
            return 0;
        },
        &all);
    std::vector<dl_phdr_info> chosen;
    const dl_phdr_info* main_program = nullptr;
    for (const dl_phdr_info& m : all) {
        if (left_alone(m)) continue;
        if (m.dlpi_name == nullptr || m.dlpi_name[0] == '\0') {
            if (main_program == nullptr) main_program = &m;
            continue;
        }
        chosen.push_back(m);
    }
    if (main_program != nullptr) chosen.push_back(*main_program);
    return chosen;
}

bool patch_all(api_hook& h) {
    bool any = false;
    for (const dl_phdr_info& m : modules()) any = patch_module(m, h) || any;
    return any;
}

// A module just loaded: every redirection applies to it too.
void patch_loaded(void* handle) {
    link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return;
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    for (const dl_phdr_info& m : modules())
        if (m.dlpi_addr == map->l_addr)
            for (api_hook& h : state().hooks) patch_module(m, h);
}

void* hooked_dlopen(const char* file, int flags) {
    void* handle = real_dlopen(file, flags);
    try {
        // RTLD_NOLOAD only looks a module up: nothing new to patch.
        if (handle != nullptr && (flags & RTLD_NOLOAD) == 0) patch_loaded(handle);
    } catch (...) {
    }
    return handle;
}

void* hooked_dlmopen(Lmid_t namespace_id, const char* file, int flags) {
    void* handle = real_dlmopen(namespace_id, file, flags);
    try {
        if (handle != nullptr && (flags & RTLD_NOLOAD) == 0) patch_loaded(handle);
    } catch (...) {
    }
    return handle;
}

// A lookup of a redirected function answers its replacement. (Lookups with
// RTLD_NEXT are answered as from libtovi.so.)
void* hooked_dlsym(void* handle, const char* name) {
    void* found = real_dlsym(handle, name);
    try {
        std::lock_guard<std::recursive_mutex> lock(state().mutex);
        for (const api_hook& h : state().hooks)
            if (found != nullptr && found == h.real_address) return h.replacement;
    } catch (...) {
        return nullptr;
    }
    return found;
}

bool hook_locked(const std::string& module_name, const std::string& function_name,
                 void* replacement) {
    patcher_state& s = state();
    for (const api_hook& h : s.hooks)
        if (same(h.module_name, module_name) && same(h.function_name, function_name)) return false;
    void* module = real_dlopen(module_name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (module == nullptr) module = real_dlopen(module_name.c_str(), RTLD_LAZY);
    if (module == nullptr) return false;
    void* real = real_dlsym(module, function_name.c_str());
    if (real == nullptr) {
        dlclose(module);
        return false;
    }
    s.hooks.push_back({module_name, function_name, module, real, replacement, {}});
    return patch_all(s.hooks.back());
}

bool unhook_locked(const std::string& module_name, const std::string& function_name) {
    patcher_state& s = state();
    auto it = std::find_if(s.hooks.begin(), s.hooks.end(), [&](const api_hook& h) {
        return same(h.module_name, module_name) && same(h.function_name, function_name);
    });
    if (it == s.hooks.end()) return false;
    // Only slots of modules still loaded, and still holding the replacement.
    for (const slot& w : it->slots) {
        const int kind = relro_of(w.where);
        if (kind == 0 || *w.where != it->replacement) continue;
        write_slot(w.where, w.original, kind == 2);
    }
    if (it->module != nullptr) dlclose(it->module);
    s.hooks.erase(it);
    return true;
}

std::atomic<import_patcher*> the_patcher{nullptr};
std::atomic<on_ExitProcess_t*> the_registry{nullptr};

// After `main` returns libc's exit runs without any GOT: the registry still runs.
void at_exit() {
    if (on_ExitProcess_t* r = the_registry.load()) r->clear_all();
}

}  // namespace

// NOLINTEND(performance-no-int-to-ptr)

// --- import_patcher

import_patcher& import_patcher::get_instance() {
    import_patcher* p = the_patcher.load();
    if (p != nullptr) return *p;
    p = new import_patcher();
    the_patcher = p;
    detail::push_cleanup(&import_patcher::destroy);
    return *p;
}

import_patcher::import_patcher() {
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    bool any = false;
    any = hook_locked(libc_name, "dlopen", reinterpret_cast<void*>(&hooked_dlopen)) || any;
    any = hook_locked(libc_name, "dlmopen", reinterpret_cast<void*>(&hooked_dlmopen)) || any;
    any = hook_locked(libc_name, "dlsym", reinterpret_cast<void*>(&hooked_dlsym)) || any;
    self_hooked_ = any;
}

import_patcher::~import_patcher() {
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    while (!state().hooks.empty()) {
        const api_hook& h = state().hooks.back();
        unhook_locked(std::string(h.module_name), std::string(h.function_name));
    }
    self_hooked_ = false;
}

void import_patcher::destroy() {
    import_patcher* p = the_patcher.exchange(nullptr);
    delete p;
}

bool import_patcher::hook(const std::string& module_name, const std::string& function_name,
                          void* replacement) {
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    return hook_locked(module_name, function_name, replacement);
}

bool import_patcher::unhook(const std::string& module_name, const std::string& function_name) {
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    try {
        return unhook_locked(module_name, function_name);
    } catch (...) {
        return true;
    }
}

void* import_patcher::real_address(const std::string& module_name,
                                   const std::string& function_name) {
    std::lock_guard<std::recursive_mutex> lock(state().mutex);
    for (const api_hook& h : state().hooks)
        if (same(h.module_name, module_name) && same(h.function_name, function_name))
            return h.real_address;
    return nullptr;
}

// --- on_ExitProcess_t

on_ExitProcess_t& on_ExitProcess_t::get_instance() {
    on_ExitProcess_t* r = the_registry.load();
    if (r != nullptr) return *r;
    r = new on_ExitProcess_t();
    the_registry = r;
    detail::push_cleanup(&on_ExitProcess_t::destroy);
    return *r;
}

on_ExitProcess_t::on_ExitProcess_t() {
    static std::once_flag at_exit_registered;
    std::call_once(at_exit_registered, [] { std::atexit(&at_exit); });
    import_patcher::get_instance().hook(libc_name, "exit",
                                        reinterpret_cast<void*>(&on_ExitProcess_t::ExitProcess));
}

on_ExitProcess_t::~on_ExitProcess_t() {
    clear_all();
    if (import_patcher* p = the_patcher.load()) p->unhook(libc_name, "exit");
}

void on_ExitProcess_t::destroy() {
    on_ExitProcess_t* r = the_registry.exchange(nullptr);
    delete r;
}

void on_ExitProcess_t::add(void (*fn)()) {
    std::lock_guard<std::mutex> lock(lock_);
    if (std::find(functions_.begin(), functions_.end(), fn) == functions_.end())
        functions_.push_back(fn);
}

void on_ExitProcess_t::remove(void (*fn)()) {
    std::lock_guard<std::mutex> lock(lock_);
    auto it = std::find(functions_.begin(), functions_.end(), fn);
    if (it != functions_.end()) functions_.erase(it);
}

void on_ExitProcess_t::clear_all() {
    if (functions_.empty()) return;  // nothing to run: no lock taken
    // Each function is taken off the list before it runs, and runs without the
    // lock: one that calls exit() reaches this again, which runs the rest (once,
    // in order) before the process ends with its status; one that throws is
    // reported, and the rest still run.
    for (;;) {
        void (*fn)() = nullptr;
        {
            std::lock_guard<std::mutex> lock(lock_);
            if (functions_.empty()) break;
            fn = functions_.front();
            functions_.erase(functions_.begin());
        }
        try {
            fn();
        } catch (const std::exception& e) {
            ::utils::reportError(
                0,
                (std::string("A function registered to run at exit failed: ") + e.what()).c_str());
        } catch (...) {
            ::utils::reportError(0, "A function registered to run at exit failed.");
        }
    }
}

void on_ExitProcess_t::ExitProcess(int code) {
    get_instance().clear_all();
    std::exit(code);  // libc's: this library's own GOT is never patched
}

}  // namespace tovi::win_hook
