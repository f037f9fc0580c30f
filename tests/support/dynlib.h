// Loads a shared library the way a host does: by path, with symbols looked up by name.
#ifndef PELLIX_TEST_DYNLIB_H
#define PELLIX_TEST_DYNLIB_H

#include <string>

namespace pellix {
namespace test {

class DynLib {
public:
    DynLib() = default;
    ~DynLib() { close(); }
    DynLib(const DynLib&) = delete;
    DynLib& operator=(const DynLib&) = delete;

    // False with a message in *error when the file cannot be loaded.
    bool open(const std::string& path, std::string* error);
    void* symbol(const char* name) const;
    void* handle() const { return handle_; }
    void close();

private:
    void* handle_ = nullptr;
};

// Copies a file next to a fresh temporary name (the same suffix) and returns the copy's
// path: loading the copy gives a library with fresh static state. Empty on failure.
std::string copyToTemp(const std::string& path);
bool removeFile(const std::string& path);

// Sets or clears an environment variable of this process.
void setEnv(const char* name, const char* value);

// The folder holding the built deliverables (build/dist), overridable by PELLIX_DIST_DIR.
std::string distDir();
std::string distPath(const std::string& relative);

}  // namespace test
}  // namespace pellix

#endif
