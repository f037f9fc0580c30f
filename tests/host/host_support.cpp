#include "host_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "dynlib.h"

namespace pellix {
namespace test {

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "pellix_host_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string pellixExe() { return distPath("pellix"); }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

bool fileExists(const std::string& path) { return fs::exists(path); }

RunResult runPellix(const std::vector<std::string>& args, const RunOptions& opt) {
    TempDir io;
    const std::string outPath = io / "stdout", errPath = io / "stderr";
    const std::string exe = opt.exe.empty() ? pellixExe() : opt.exe;
    std::vector<std::string> argvStore{exe};
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string in = opt.stdinFile.empty() ? "/dev/null" : opt.stdinFile;

    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int fi = open(in.c_str(), O_RDONLY);
        const int fo = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int fe = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fi < 0 || fo < 0 || fe < 0) _exit(125);
        dup2(fi, 0);
        dup2(fo, 1);
        dup2(fe, 2);
        if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0) _exit(126);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    RunResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
    r.out = readFile(outPath);
    r.err = readFile(errPath);
    return r;
}

std::string makeDist(const fs::path& dir, const std::vector<std::string>& files) {
    fs::create_directories(dir);
    const fs::path exe = dir / "pellix";
    fs::copy_file(pellixExe(), exe, fs::copy_options::overwrite_existing);
    for (const std::string& f : files) {
        const fs::path to = dir / f;
        fs::create_directories(to.parent_path());
        fs::copy_file(distPath(f), to, fs::copy_options::overwrite_existing);
    }
    return exe.string();
}

std::vector<std::string> builtPlugins() {
    std::vector<std::string> out;
    for (const char* f : {"duplix.rpi", "quadrix.rpi", "Eagle.rpi", "scanline/tristripe.rpi", "plain/tristripe.rpi",
                          "copy/tristripe.rpi"}) {
        if (fileExists(distPath(f))) out.push_back(f);
    }
    return out;
}

std::string rawBytes(const std::vector<uint16_t>& px) {
    std::string s;
    for (uint16_t p : px) {
        s.push_back(static_cast<char>(p & 0xFF));
        s.push_back(static_cast<char>(p >> 8));
    }
    return s;
}

std::vector<uint16_t> fromRawBytes(const std::string& bytes) {
    std::vector<uint16_t> px(bytes.size() / 2);
    for (size_t i = 0; i < px.size(); ++i) {
        px[i] = static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * i]) | static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    }
    return px;
}

}  // namespace test
}  // namespace pellix
