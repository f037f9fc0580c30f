// Windows side of the adapter: DllMain as attach/detach, GetModuleFileNameA for the two
// paths, GetPrivateProfileStringA for the INI value, LoadLibraryA/GetProcAddress/
// FreeLibrary for the plugin.
#include <windows.h>

#include "platform.h"
#include "platform_win32.h"

namespace velmora {
namespace platform {
namespace {

// The adapter's own module, as the attach notification passed it.
HMODULE selfModule = nullptr;

// GetModuleFileNameA cuts a path that does not fit and then returns the buffer size
// (leaving it unterminated on older systems): only a shorter result is a whole path.
bool modulePath(HMODULE module, char* out, size_t room) {
    if (room == 0 || room > MAXDWORD) return false;
    const DWORD n = GetModuleFileNameA(module, out, static_cast<DWORD>(room));
    return n > 0 && n < room;
}

}  // namespace

bool ownLibraryPath(char* out, size_t room) { return selfModule != nullptr && modulePath(selfModule, out, room); }

bool executablePath(char* out, size_t room) { return modulePath(nullptr, out, room); }

const char* lastBackslash(const char* path, unsigned codePage) {
    const char* last = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(*p))) {
            if (p[1] == '\0') break;  // a lead byte without its trail ends the text
            ++p;
        } else if (*p == '\\') {
            last = p;
        }
    }
    return last;
}

const char* lastSeparator(const char* path) { return lastBackslash(path, CP_ACP); }

// The profile call cannot tell a value that exactly fills the buffer from a cut one, so
// both count as cut; neither could be joined to a directory within the same room anyway.
bool readIniString(const char* iniPath, const char* section, const char* key, const char* def, char* out,
                   size_t room) {
    if (room == 0 || room > MAXDWORD) return false;
    out[0] = '\0';
    const DWORD n = GetPrivateProfileStringA(section, key, def, out, static_cast<DWORD>(room), iniPath);
    return n + 1 < room;
}

// No "insert a disk" box for a plugin path on an empty drive: the adapter shows nothing.
Library loadLibrary(const char* path) {
    const UINT previous = SetErrorMode(0);
    SetErrorMode(previous | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryA(path);
    SetErrorMode(previous);
    return reinterpret_cast<Library>(module);
}

Entry findEntry(Library library, const char* name) {
    return reinterpret_cast<Entry>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(Library library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace platform
}  // namespace velmora

// Process attach and detach run the adapter's attach and detach steps; thread attach and
// detach do nothing. Attach reports success whatever became of the plugin.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            velmora::platform::selfModule = instance;
            velmora::attachAdapter();
            break;
        case DLL_PROCESS_DETACH:
            velmora::detachAdapter();
            velmora::platform::selfModule = nullptr;
            break;
        default:
            break;
    }
    return TRUE;
}
