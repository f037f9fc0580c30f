// The adapter's INI reader and path arithmetic on fuzzed text.
//
// Input: byte 0 gives the room for the value (1..255, or 260, the adapter's, for 0), byte 1
// picks the section/key looked up (the adapter's own pair, or names taken from the
// input so that odd names are matched too), the rest is the INI text. The text and the
// value buffer are exact-size heap blocks, so AddressSanitizer sees any access past
// either. Checked: the value is NUL-terminated within the room, has the reported
// length and no NUL before it, the default comes back (cut) when the key is missing,
// and the path helpers stay inside their 260-byte buffers.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "adapter_paths.h"
#include "ini_reader.h"

namespace {

constexpr char kDefault[] = "lumacast.rpi";
constexpr size_t kRoom = 260;  // the adapter's path and value buffers

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "ini_fuzzer: %s\n", what);
    std::abort();
}

// A NUL-terminated name cut from the input: up to 12 bytes, stopping at '\0'.
std::string takeName(const uint8_t*& p, const uint8_t* end) {
    std::string s;
    const size_t n = p < end ? *p++ % 13 : 0;
    for (size_t i = 0; i < n && p < end; ++i, ++p)
        if (*p) s.push_back(static_cast<char>(*p));
    return s;
}

void checkPaths(const uint8_t* data, size_t size) {
    // Own path -> INI path, in a 260-byte buffer like the adapter's (zero-filled first).
    std::unique_ptr<char[]> path(new char[kRoom]);
    std::memset(path.get(), 0, kRoom);
    const size_t n = size < kRoom - 1 ? size : kRoom - 1;
    for (size_t i = 0; i < n; ++i) path[i] = data[i] ? static_cast<char>(data[i]) : 'x';
    const std::string before(path.get());
    if (velmora::deriveIniPath(path.get(), kRoom)) {
        const size_t dot = before.rfind('.');
        const std::string want = dot == std::string::npos ? "ini" : before.substr(0, dot + 1) + "ini";
        if (want != path.get()) fail("deriveIniPath gave a different path");
    }
    if (std::memchr(path.get(), '\0', kRoom) == nullptr) fail("deriveIniPath left no terminator");

    // Directory + name join: the directory is the first half of the input, the name the rest.
    std::unique_ptr<char[]> buf(new char[kRoom]);
    std::memset(buf.get(), 0, kRoom);
    const size_t dirLen = std::min(n / 2, kRoom - 1);
    for (size_t i = 0; i < dirLen; ++i) buf[i] = path[i] ? path[i] : '/';
    const std::string name(before.substr(std::min(dirLen, before.size())));
    const std::string dir(buf.get(), dirLen);
    if (velmora::joinPluginPath(buf.get(), kRoom, dirLen, name.c_str())) {
        if (dir + name != buf.get()) fail("joinPluginPath gave a different path");
    } else if (dir.size() + name.size() + 1 <= kRoom) {
        fail("joinPluginPath refused a path that fits");
    }
    if (std::memchr(buf.get(), '\0', kRoom) == nullptr) fail("joinPluginPath left no terminator");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const size_t room = data[0] == 0 ? kRoom : data[0];
    const uint8_t* p = data + 2;
    const uint8_t* end = data + size;
    std::string section = "Velmora", key = "filter";
    if (data[1] & 1) section = takeName(p, end);
    if (data[1] & 2) key = takeName(p, end);

    const size_t textSize = static_cast<size_t>(end - p);
    std::unique_ptr<char[]> text(new char[textSize ? textSize : 1]);
    if (textSize) std::memcpy(text.get(), p, textSize);
    std::unique_ptr<char[]> out(new char[room]);
    std::memset(out.get(), '#', room);

    const velmora::IniValue v =
        velmora::readIniValue(textSize ? text.get() : nullptr, textSize, section.c_str(), key.c_str(), kDefault,
                              out.get(), room);
    if (v.length >= room) fail("value longer than the room");
    if (out[v.length] != '\0') fail("value not terminated at its length");
    if (std::strlen(out.get()) != v.length) fail("NUL inside the value");
    if (!v.found) {
        const size_t want = std::min(std::strlen(kDefault), room - 1);
        if (v.length != want || std::memcmp(out.get(), kDefault, want) != 0) fail("missing key did not give the default");
        if (v.truncated != (want < std::strlen(kDefault))) fail("truncated flag wrong for the default");
    }
    checkPaths(p, textSize);
    return 0;
}
