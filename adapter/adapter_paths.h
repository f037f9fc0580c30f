// Path arithmetic of the adapter, free of any platform call so it can be tested alone.
#ifndef VELMORA_ADAPTER_PATHS_H
#define VELMORA_ADAPTER_PATHS_H

#include <cstddef>

namespace velmora {

// Turns the adapter's own path into its INI path in place: walking back from the end,
// every character up to the last '.' becomes NUL, the '.' stays and "ini" is appended.
//   /x/velmora.so -> /x/velmora.ini     /a.b/velmora -> /a.ini     /x/velmora -> ini
// False (path left cleared up to the '.') when "ini" does not fit in `room` bytes.
bool deriveIniPath(char* path, size_t room);

// `buffer` holds the executable's path; keeps its first `dirLength` characters (the
// directory with its trailing separator) and appends `name`. False, with the buffer
// holding only the directory, when the joined path needs more than `room` bytes: a
// name is never cut into a different path.
bool joinPluginPath(char* buffer, size_t room, size_t dirLength, const char* name);

}  // namespace velmora

#endif
