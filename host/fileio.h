// Files, standard streams and the executable's own directory.
#ifndef PELLIX_HOST_FILEIO_H
#define PELLIX_HOST_FILEIO_H

#include <cstdint>
#include <string>
#include <vector>

namespace pellix {
namespace host {

// Whole file, or standard input for "-". Throws Failure naming the file.
std::vector<uint8_t> readAll(const std::string& path);
// Writes the whole file (created or truncated), or standard output for "-". On failure
// a partly written file is removed, and Failure is thrown.
void writeAll(const std::string& path, const std::vector<uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text);

// Directory holding the running executable, without trailing slash.
std::string exeDir();
std::string joinPath(const std::string& dir, const std::string& name);
std::string baseName(const std::string& path);
bool isRegularFile(const std::string& path);
bool isDirectory(const std::string& path);
// mkdir -p; throws Failure.
void makeDirs(const std::string& path);

// Plugin files (*.rpi) directly in `dir` and one folder below it, as paths relative to
// `dir`, sorted.
std::vector<std::string> findPlugins(const std::string& dir);

bool stderrIsTerminal();
bool stdoutIsTerminal();

}  // namespace host
}  // namespace pellix

#endif
