// Windows-only helpers of the adapter's platform layer, visible to its tests.
#ifndef VELMORA_PLATFORM_WIN32_H
#define VELMORA_PLATFORM_WIN32_H

namespace velmora {
namespace platform {

// The last backslash of `path` for text in the given ANSI code page: a walk from the
// start that steps over both bytes of every double-byte character, so a trail byte of
// 0x5C (as in Shift-JIS "\x95\x5C") is never taken for a separator. Null if none.
const char* lastBackslash(const char* path, unsigned codePage);

}  // namespace platform
}  // namespace velmora

#endif
