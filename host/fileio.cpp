#include "fileio.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace pellix {
namespace host {

namespace {

std::string errnoText() { return std::strerror(errno); }

std::vector<std::string> listDir(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::vector<uint8_t> readAll(const std::string& path) {
    const bool useStdin = path == "-";
    FILE* f = useStdin ? stdin : std::fopen(path.c_str(), "rb");
    const std::string label = useStdin ? "standard input" : path;
    if (!f) throw Failure("cannot open " + label + ": " + errnoText());
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    const bool failed = std::ferror(f) != 0;
    const int err = errno;
    if (!useStdin) std::fclose(f);
    if (failed) throw Failure("cannot read " + label + ": " + std::strerror(err));
    return bytes;
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (path == "-") {
        if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
            throw Failure("cannot write standard output: " + errnoText());
        }
        return;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw Failure("cannot write " + path + ": " + errnoText());
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        std::remove(path.c_str());
        throw Failure("cannot write " + path + ": " + std::strerror(err));
    }
}

void writeText(const std::string& path, const std::string& text) {
    writeAll(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string exeDir() {
    std::vector<char> buf(4096);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) throw Failure("cannot find the pellix executable: " + errnoText());
    const std::string path(buf.data(), static_cast<size_t>(n));
    const size_t slash = path.find_last_of('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (!name.empty() && name[0] == '/') return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void makeDirs(const std::string& path) {
    if (path.empty() || isDirectory(path)) return;
    const size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
    if (slash != std::string::npos && slash > 0) makeDirs(path.substr(0, slash));
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        throw Failure("cannot create directory " + path + ": " + errnoText());
    }
    if (!isDirectory(path)) throw Failure("cannot create directory " + path + ": a file of that name exists");
}

std::vector<std::string> findPlugins(const std::string& dir) {
    std::vector<std::string> found;
    for (const std::string& name : listDir(dir)) {
        const std::string full = joinPath(dir, name);
        if (isDirectory(full)) {
            for (const std::string& inner : listDir(full)) {
                if (endsWith(inner, ".rpi") && isRegularFile(joinPath(full, inner))) found.push_back(name + "/" + inner);
            }
        } else if (endsWith(name, ".rpi") && isRegularFile(full)) {
            found.push_back(name);
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool stderrIsTerminal() { return isatty(2) == 1; }
bool stdoutIsTerminal() { return isatty(1) == 1; }

}  // namespace host
}  // namespace pellix
