// Runs a fuzz target's entry point once over every file of the given corpus folders (or
// files), without libFuzzer: the seed corpora and any reproducer kept in them become a
// regular test of the normal build. Exits non-zero if a folder is missing or empty; a
// failed check inside the target aborts, as under the fuzzer.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

std::vector<std::string> inputsOf(const std::string& path) {
    struct stat st;
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
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<std::string> files = inputsOf(argv[i]);
        if (files.empty()) {
            std::fprintf(stderr, "replay: no input in %s\n", argv[i]);
            return 1;
        }
        for (const std::string& f : files) {
            std::ifstream in(f, std::ios::binary);
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++count;
        }
    }
    std::printf("replay: %zu input(s) ran\n", count);
    return 0;
}
