// POSIX side of the adapter: ELF constructor/destructor as attach/detach, dladdr and
// /proc/self/exe for the two paths, the INI file read through the shared reader, dlopen.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "ini_reader.h"
#include "platform.h"

namespace velmora {
namespace platform {
namespace {

// An INI file bigger than this is treated as unreadable (the default is used).
constexpr off_t kIniSizeLimit = off_t{64} << 20;

bool copyIfFits(char* out, size_t room, const char* s, size_t n) {
    if (n >= room) return false;
    std::memcpy(out, s, n);
    out[n] = '\0';
    return true;
}

// The whole content of a regular file; null when missing, not a regular file (a FIFO
// must not block attach), too big or unreadable.
std::unique_ptr<char[]> readRegularFile(const char* path, size_t* size) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return nullptr;
    std::unique_ptr<char[]> data;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kIniSizeLimit) {
        const size_t expected = static_cast<size_t>(st.st_size);
        data.reset(new (std::nothrow) char[expected + 1]);
        size_t got = 0;
        while (data && got < expected) {
            const ssize_t r = read(fd, data.get() + got, expected - got);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) break;  // shrank while reading: parse what is there
            got += static_cast<size_t>(r);
        }
        *size = got;
    }
    close(fd);
    return data;
}

}  // namespace

bool ownLibraryPath(char* out, size_t room) {
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&ownLibraryPath), &info) || !info.dli_fname || !info.dli_fname[0])
        return false;
    const char* name = info.dli_fname;
    const size_t nameLength = std::strlen(name);
    if (name[0] == '/') return copyIfFits(out, room, name, nameLength);

    // Loaded by a relative path: make it absolute against the working directory,
    // dropping the "./" steps the loader keeps.
    if (!getcwd(out, room)) return false;
    size_t n = std::strlen(out);
    while (name[0] == '.' && name[1] == '/') {
        name += 2;
        while (name[0] == '/') ++name;
    }
    if (n > 0 && out[n - 1] != '/') {
        if (n + 1 >= room) return false;
        out[n++] = '/';
    }
    return copyIfFits(out + n, room - n, name, std::strlen(name));
}

bool executablePath(char* out, size_t room) {
    if (room < 2) return false;
    const ssize_t n = readlink("/proc/self/exe", out, room);
    // readlink does not terminate, and fills the whole buffer when the path is longer.
    if (n <= 0 || static_cast<size_t>(n) >= room) return false;
    out[n] = '\0';
    return true;
}

const char* lastSeparator(const char* path) { return std::strrchr(path, '/'); }

bool readIniString(const char* iniPath, const char* section, const char* key, const char* def, char* out,
                   size_t room) {
    size_t size = 0;
    const std::unique_ptr<char[]> text = readRegularFile(iniPath, &size);
    IniValue v;
    try {
        v = text ? readIniValue(text.get(), size, section, key, def, out, room)
                 : readIniValue("", 0, section, key, def, out, room);
    } catch (...) {  // out of memory decoding a UTF-16 file: as if it were missing
        v = readIniValue("", 0, section, key, def, out, room);
    }
    return !v.truncated;
}

Library loadLibrary(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL); }

Entry findEntry(Library library, const char* name) { return reinterpret_cast<Entry>(dlsym(library, name)); }

void unloadLibrary(Library library) { dlclose(library); }

}  // namespace platform

namespace {

__attribute__((constructor)) void onLibraryLoad() { attachAdapter(); }
__attribute__((destructor)) void onLibraryUnload() { detachAdapter(); }

}  // namespace
}  // namespace velmora
