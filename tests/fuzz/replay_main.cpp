// fuzz_replay TARGET FILE_OR_FOLDER...: runs one fuzz target's checks on each
// input of its committed corpus, in a normal build (any compiler, the build's own
// sanitizers), so the tests replay every input that once found a fault.
// A failed check aborts: the file named last on standard error is the input.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#define TOVI_FUZZ_TARGET(name) \
    extern "C" int fuzz_##name(const std::uint8_t* data, std::size_t size);
TOVI_FUZZ_TARGETS
#undef TOVI_FUZZ_TARGET

namespace {

using target_fn = int (*)(const std::uint8_t*, std::size_t);

struct target {
    const char* name;
    target_fn run;
};

#define TOVI_FUZZ_TARGET(name) {#name, fuzz_##name},
const target targets[] = {TOVI_FUZZ_TARGETS};
#undef TOVI_FUZZ_TARGET

// The files to replay: a file itself, a folder's files in name order.
std::vector<std::string> inputs(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    if (!S_ISDIR(st.st_mode)) return {path};
    std::vector<std::string> files;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') files.push_back(path + "/" + e->d_name);
        closedir(d);
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: fuzz_replay TARGET FILE_OR_FOLDER...\n");
        return 2;
    }
    const target* chosen = nullptr;
    for (const target& t : targets)
        if (std::strcmp(t.name, argv[1]) == 0) chosen = &t;
    if (chosen == nullptr) {
        std::fprintf(stderr, "fuzz_replay: no target '%s'\n", argv[1]);
        return 2;
    }
    std::size_t replayed = 0;
    for (int i = 2; i < argc; ++i) {
        const std::vector<std::string> files = inputs(argv[i]);
        if (files.empty()) {
            std::fprintf(stderr, "fuzz_replay: no input in '%s'\n", argv[i]);
            return 2;
        }
        for (const std::string& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::string data{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
            std::fprintf(stderr, "%s\n", file.c_str());
            chosen->run(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
            ++replayed;
        }
    }
    std::printf("%s: %zu inputs replayed, every check held\n", chosen->name, replayed);
    return 0;
}
