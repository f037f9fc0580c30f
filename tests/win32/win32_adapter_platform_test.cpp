// The Win32 platform layer of the adapter on its own: the separator search that must
// not split double-byte characters, the profile-string read and the module path.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "platform.h"
#include "platform_win32.h"

namespace platform = velmora::platform;

namespace {

struct SeparatorCase {
    const char* what;
    unsigned codePage;
    const char* path;
    int expected;  // index of the separator found; -1: none
};

// 0x95 0x5C is one Shift-JIS character, 0x81 0x5C one GBK character, 0xA5 0x5C one Big5
// character: their trail byte is the backslash's code.
const SeparatorCase kSeparatorCases[] = {
    {"Shift-JIS character ending in 0x5C in the file name", 932, "C:\\dir\\\x95\x5C.exe", 6},
    {"Shift-JIS character ending in 0x5C in a directory", 932, "C:\\\x95\x5C\\x.exe", 5},
    {"GBK character ending in 0x5C", 936, "C:\\d\\\x81\x5C.exe", 4},
    {"Big5 character ending in 0x5C", 950, "C:\\d\\\xA5\x5C.exe", 4},
    {"single-byte katakana is no lead byte", 932, "C:\\\xB1\\x.exe", 4},
    {"in a single-byte code page 0x5C is a backslash", 1252, "C:\\dir\\\x95\x5C.exe", 8},
    {"a lead byte without its trail byte ends the text", 932, "C:\\a\\\x95", 4},
    {"no separator", 932, "velmora.dll", -1},
    {"empty path", 932, "", -1},
};

TEST(Win32Platform, LastBackslashNeverSplitsADoubleByteCharacter) {
    for (const SeparatorCase& c : kSeparatorCases) {
        SCOPED_TRACE(c.what);
        const char* found = platform::lastBackslash(c.path, c.codePage);
        EXPECT_EQ(found ? static_cast<int>(found - c.path) : -1, c.expected);
    }
}

TEST(Win32Platform, LastSeparatorUsesTheAnsiCodePage) {
    const char path[] = "Z:\\a\\b\\x.exe";
    EXPECT_EQ(platform::lastSeparator(path), path + 6);
    EXPECT_EQ(platform::lastSeparator("x.exe"), nullptr);
}

TEST(Win32Platform, ExecutablePathIsWholeOrRefused) {
    char path[platform::kPathRoom];
    ASSERT_TRUE(platform::executablePath(path, sizeof path));
    const std::string p = path;
    const std::string tail = "\\win32_adapter_platform_test.exe";
    ASSERT_GE(p.size(), tail.size());
    EXPECT_EQ(p.substr(p.size() - tail.size()), tail);
    EXPECT_EQ(platform::lastSeparator(path), path + p.size() - tail.size());
    // One byte short of room for the terminator: a cut path is no path.
    char small[platform::kPathRoom];
    EXPECT_FALSE(platform::executablePath(small, p.size()));
    EXPECT_TRUE(platform::executablePath(small, p.size() + 1));
    EXPECT_STREQ(small, path);
}

class IniFile : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[MAX_PATH];
        ASSERT_GT(GetTempPathA(MAX_PATH, dir), 0u);
        path_ = std::string(dir) + "velmora_platform_" + std::to_string(GetCurrentProcessId()) + ".ini";
    }
    void TearDown() override { DeleteFileA(path_.c_str()); }
    void write(const std::string& text) {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << text;
        ASSERT_TRUE(out.good());
    }
    // The value read into a 260-byte buffer, and whether it came back whole.
    std::pair<std::string, bool> read() {
        char out[260];
        std::memset(out, 'Z', sizeof out);
        const bool whole = platform::readIniString(path_.c_str(), "Velmora", "filter", "lumacast.rpi", out, sizeof out);
        EXPECT_NE(std::memchr(out, '\0', sizeof out), nullptr) << "not terminated";
        return {std::string(out, strnlen(out, sizeof out)), whole};
    }
    std::string path_;
};

TEST_F(IniFile, ValueDefaultEmptyAndTooLong) {
    using R = std::pair<std::string, bool>;
    EXPECT_EQ(read(), R("lumacast.rpi", true)) << "no file";
    write("[Velmora]\r\nfilter=duplix.rpi\r\n");
    EXPECT_EQ(read(), R("duplix.rpi", true));
    write("[Other]\r\nfilter=duplix.rpi\r\n");
    EXPECT_EQ(read(), R("lumacast.rpi", true)) << "no section";
    write("[Velmora]\r\nfilters=duplix.rpi\r\n");
    EXPECT_EQ(read(), R("lumacast.rpi", true)) << "no key";
    write("[Velmora]\r\nfilter=\r\n");
    EXPECT_EQ(read(), R("", true)) << "empty value";
    const std::string v258(258, 'v');
    write("[Velmora]\r\nfilter=" + v258 + "\r\n");
    EXPECT_EQ(read(), R(v258, true));
    // 259 characters fill the buffer exactly, which the profile call reports just as it
    // reports a cut value: both count as cut (neither fits beside a directory anyway).
    write("[Velmora]\r\nfilter=" + std::string(259, 'v') + "\r\n");
    EXPECT_FALSE(read().second);
    write("[Velmora]\r\nfilter=" + std::string(300, 'v') + "\r\n");
    const R cut = read();
    EXPECT_FALSE(cut.second);
    EXPECT_EQ(cut.first, std::string(259, 'v'));
}

}  // namespace
