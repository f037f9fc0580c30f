// A render plugin loaded as a host loads it: both exports looked up, RenderPluginGetInfo
// called, the module handle written into the record.
#ifndef PELLIX_TEST_PLUGIN_LIB_H
#define PELLIX_TEST_PLUGIN_LIB_H

#include <memory>
#include <string>

#include "dynlib.h"
#include "render_plugin.h"

namespace pellix {
namespace test {

class PluginLib {
public:
    // Loads `path` (or, with freshCopy, a private copy of it, so its static state starts
    // at zero). With describe, calls RenderPluginGetInfo and writes `module` as a host does.
    static std::unique_ptr<PluginLib> load(const std::string& path, bool freshCopy = false,
                                           bool describe = true, std::string* error = nullptr);
    ~PluginLib();

    RenderPluginInfo* getInfo() const { return getInfo_(); }
    void output(RenderPluginRequest* r) const { output_(r); }
    RenderPluginInfo* info() const { return info_; }
    void* module() const { return lib_.handle(); }
    const std::string& path() const { return path_; }

private:
    PluginLib() = default;
    DynLib lib_;
    std::string path_;
    std::string tempCopy_;
    RenderPluginGetInfoFn getInfo_ = nullptr;
    RenderPluginOutputFn output_ = nullptr;
    RenderPluginInfo* info_ = nullptr;
};

}  // namespace test
}  // namespace pellix

#endif
