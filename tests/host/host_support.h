// Runs the built pellix executable as a child process in a scratch directory.
#ifndef PELLIX_TEST_HOST_SUPPORT_H
#define PELLIX_TEST_HOST_SUPPORT_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace pellix {
namespace test {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;  // standard output, bytes
    std::string err;  // standard error
};

struct RunOptions {
    std::string exe;        // default: the pellix beside the plugins
    std::string cwd;        // default: the current directory
    std::string stdinFile;  // default: /dev/null
};

RunResult runPellix(const std::vector<std::string>& args, const RunOptions& opt = {});

// The built pellix (build/dist/pellix).
std::string pellixExe();

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// A private copy of build/dist in `dir`: pellix plus the listed files (paths relative to
// build/dist, e.g. "scanline/tristripe.rpi"). Returns the copied executable's path.
std::string makeDist(const fs::path& dir, const std::vector<std::string>& files);

// The plugins of the family that are built, relative to build/dist.
std::vector<std::string> builtPlugins();

// RGB565 pixels as raw little-endian bytes, and back.
std::string rawBytes(const std::vector<uint16_t>& px);
std::vector<uint16_t> fromRawBytes(const std::string& bytes);

}  // namespace test
}  // namespace pellix

#endif
