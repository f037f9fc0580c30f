#include "plugin_lib.h"

namespace pellix {
namespace test {

std::unique_ptr<PluginLib> PluginLib::load(const std::string& path, bool freshCopy, bool describe,
                                           std::string* error) {
    std::unique_ptr<PluginLib> p(new PluginLib());
    p->path_ = path;
    std::string loadPath = path;
    if (freshCopy) {
        p->tempCopy_ = copyToTemp(path);
        if (p->tempCopy_.empty()) {
            if (error) *error = "cannot copy " + path;
            return nullptr;
        }
        loadPath = p->tempCopy_;
    }
    std::string err;
    if (!p->lib_.open(loadPath, &err)) {
        if (error) *error = err;
        return nullptr;
    }
    p->getInfo_ = reinterpret_cast<RenderPluginGetInfoFn>(p->lib_.symbol("RenderPluginGetInfo"));
    p->output_ = reinterpret_cast<RenderPluginOutputFn>(p->lib_.symbol("RenderPluginOutput"));
    if (!p->getInfo_ || !p->output_) {
        if (error) *error = path + " lacks an export";
        return nullptr;
    }
    if (describe) {
        p->info_ = p->getInfo_();
        if (p->info_) p->info_->module = p->lib_.handle();
    }
    return p;
}

PluginLib::~PluginLib() {
    lib_.close();
    if (!tempCopy_.empty()) removeFile(tempCopy_);
}

}  // namespace test
}  // namespace pellix
