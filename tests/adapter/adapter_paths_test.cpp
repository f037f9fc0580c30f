#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "adapter_paths.h"

using velmora::deriveIniPath;
using velmora::joinPluginPath;

namespace {

struct IniPathCase {
    const char* libraryPath;
    const char* iniPath;
};

TEST(AdapterPaths, IniPathReplacesEverythingAfterTheLastDot) {
    const IniPathCase cases[] = {
        {"/x/velmora.so", "/x/velmora.ini"},
        {"C:\\dir\\velmora.dll", "C:\\dir\\velmora.ini"},
        {"/x/velmora.so.1", "/x/velmora.so.ini"},
        {"/a.b/velmora", "/a.ini"},    // the only '.' is in a directory: cut there
        {"/x/velmora", "ini"},         // no '.' at all: the bare name
        {"", "ini"},
        {"/x/velmora.", "/x/velmora.ini"},
        {".", ".ini"},
    };
    for (const IniPathCase& c : cases) {
        char buf[64] = {};
        std::strcpy(buf, c.libraryPath);
        EXPECT_TRUE(deriveIniPath(buf, sizeof buf)) << c.libraryPath;
        EXPECT_STREQ(buf, c.iniPath) << c.libraryPath;
    }
}

TEST(AdapterPaths, IniPathNeverWritesPastItsRoom) {
    // "/v.s" -> "/v.ini" needs 7 bytes with the terminator.
    char buf[16];
    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, "/v.s");
    EXPECT_TRUE(deriveIniPath(buf, 7));
    EXPECT_STREQ(buf, "/v.ini");

    std::memset(buf, '#', sizeof buf);
    std::strcpy(buf, "/v.s");
    EXPECT_FALSE(deriveIniPath(buf, 6));
    EXPECT_EQ(buf[6], '#');
}

TEST(AdapterPaths, JoinKeepsTheDirectoryAndAppendsTheName) {
    char buf[64] = "/opt/host/bin/host";
    ASSERT_TRUE(joinPluginPath(buf, sizeof buf, 14, "sub/duplix.rpi"));
    EXPECT_STREQ(buf, "/opt/host/bin/sub/duplix.rpi");
}

TEST(AdapterPaths, JoinFailsCleanlyInsteadOfCuttingTheName) {
    // Directory "/d/" (3) + "ab.rpi" (6) + NUL = 10 bytes.
    for (size_t room : {10u, 9u, 4u, 3u, 2u}) {
        char buf[32];
        std::memset(buf, '#', sizeof buf);
        std::strcpy(buf, "/d/exe");
        const bool ok = joinPluginPath(buf, room, 3, "ab.rpi");
        EXPECT_EQ(ok, room >= 10) << room;
        if (ok) {
            EXPECT_STREQ(buf, "/d/ab.rpi");
        } else if (room > 3) {
            EXPECT_STREQ(buf, "/d/") << "a refused join leaves only the directory";
        }
        for (size_t i = room < 7 ? 7 : room; i < sizeof buf; ++i) {
            EXPECT_EQ(buf[i], '#') << "byte " << i << " with room " << room;
        }
    }
}

}  // namespace
