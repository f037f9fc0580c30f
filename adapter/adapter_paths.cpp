#include "adapter_paths.h"

#include <cstring>

namespace velmora {

bool deriveIniPath(char* path, size_t room) {
    size_t n = std::strlen(path);
    while (n > 0 && path[n - 1] != '.') path[--n] = '\0';
    static const char kExtension[] = "ini";
    if (n + sizeof kExtension > room) return false;
    std::memcpy(path + n, kExtension, sizeof kExtension);
    return true;
}

bool joinPluginPath(char* buffer, size_t room, size_t dirLength, const char* name) {
    if (dirLength >= room) return false;
    buffer[dirLength] = '\0';
    const size_t nameLength = std::strlen(name);
    if (nameLength >= room - dirLength) return false;
    std::memcpy(buffer + dirLength, name, nameLength + 1);
    return true;
}

}  // namespace velmora
