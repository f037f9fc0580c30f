// A render plugin loaded the way a host loads one: dlopen, both exports looked up by
// name, RenderPluginGetInfo called, the library handle written into `module`.
#ifndef PELLIX_HOST_PLUGIN_H
#define PELLIX_HOST_PLUGIN_H

#include <cstdint>
#include <memory>
#include <string>

#include "render_plugin.h"

namespace pellix {
namespace host {

class Plugin {
public:
    // Throws Failure with a message saying why `path` is not a usable plugin file.
    static std::unique_ptr<Plugin> load(const std::string& path);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    const std::string& path() const { return path_; }
    // The display name, read from the record up to its terminator or its 60th byte.
    const std::string& name() const { return name_; }
    uint32_t flags() const { return info_->flags; }
    RenderPluginInfo* info() const { return info_; }
    void output(RenderPluginRequest* r) const { output_(r); }

private:
    Plugin() = default;
    std::string path_;
    std::string name_;
    void* handle_ = nullptr;
    RenderPluginOutputFn output_ = nullptr;
    RenderPluginInfo* info_ = nullptr;
};

// Where a PLUGIN argument points: the path as given when it exists, else the same
// relative path beside the pellix executable. Throws Failure when neither exists.
std::string resolvePluginPath(const std::string& arg);

// Output factor of a flag word's scale field: 2, 3, 4 or 0 (any other value counts as 2).
int scaleFactor(uint32_t flags);
// "RENDER_SCALE_2X | RENDER_FLAG_RGB565 | ..." for the bits of a flag word.
std::string flagNames(uint32_t flags);
// Empty when pellix can drive a plugin with these flags, else why not.
std::string unusableReason(uint32_t flags);

}  // namespace host
}  // namespace pellix

#endif
