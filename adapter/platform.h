// What the adapter needs from the operating system, and nothing more. The adapter logic
// (filter_adapter.cpp) sees only this interface; each platform file implements it and
// calls attachAdapter()/detachAdapter() at the library's load and unload moments
// (an ELF constructor/destructor on POSIX, DllMain on Windows).
#ifndef VELMORA_PLATFORM_H
#define VELMORA_PLATFORM_H

#include <cstddef>

namespace velmora {
namespace platform {

// Room for every path buffer: the executable's path, the adapter's own path and the joined
// plugin path. A path that does not fit is a clean failure, never a truncated path.
#if defined(_WIN32)
constexpr size_t kPathRoom = 260;
#else
constexpr size_t kPathRoom = 4096;
#endif

using Library = void*;          // loaded library handle; null for none
using Entry = void (*)();       // exported function, cast to its real type by the caller

// Absolute path of the adapter library itself, NUL-terminated. False (buffer untouched
// beyond what was written) when it cannot be found or does not fit in `room` bytes.
bool ownLibraryPath(char* out, size_t room);

// Absolute path of the host executable, NUL-terminated; false when unknown or too long.
bool executablePath(char* out, size_t room);

// The last directory separator of `path`, or null. On Windows this is a backslash found
// by a search that never takes the trail byte of a double-byte character for one.
const char* lastSeparator(const char* path);

// One string from an INI file, as the Windows profile call gives it: the value of `key`
// in `section`, or `def` when the file, the section or the key is missing. Always
// NUL-terminates `out` (room > 0). Returns false when the value was longer than
// room - 1 characters and therefore cut.
bool readIniString(const char* iniPath, const char* section, const char* key, const char* def, char* out,
                   size_t room);

Library loadLibrary(const char* path);
Entry findEntry(Library library, const char* name);
void unloadLibrary(Library library);

}  // namespace platform

// Called by the platform layer: once when the library is loaded into the process, once
// when it is unloaded (process exit included).
void attachAdapter();
void detachAdapter();

}  // namespace velmora

#endif
