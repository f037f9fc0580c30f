// One frame through a filter: a plugin driven directly, or velmora.so driven as its
// foreign host drives it. Tells a refused frame from a filtered one.
#ifndef PELLIX_HOST_FRAME_FILTER_H
#define PELLIX_HOST_FRAME_FILTER_H

#include <cstdint>
#include <memory>
#include <string>

#include "image.h"
#include "plugin.h"

namespace pellix {
namespace host {

class FrameFilter {
public:
    virtual ~FrameFilter() = default;
    // Names the filter in messages: the plugin's display name, or "velmora.so".
    virtual std::string label() const = 0;
    // Flags the filter puts into its requests (for naming the reason of a refusal).
    virtual uint32_t requestFlags() const = 0;
    // One raw call: the filter's output for a source of w x h pixels into a destination
    // of dstW x dstH pixels.
    virtual void call(const uint16_t* src, uint32_t srcPitch, uint32_t w, uint32_t h, uint16_t* dst,
                      uint32_t dstPitch, uint32_t dstW, uint32_t dstH) = 0;

    // Filters `src` into `dst` (resized to 2W x 2H). False when the filter refused the
    // frame; `dst` then holds nothing useful.
    bool run(const Image565& src, Image565& dst);
    // Why a frame of w x h pixels is refused, by the contract's acceptance tests.
    std::string refusalReason(uint32_t w, uint32_t h) const;
};

class PluginFilter : public FrameFilter {
public:
    // Throws Failure when the plugin cannot drive RGB565 frames at 2x.
    explicit PluginFilter(std::unique_ptr<Plugin> plugin);
    std::string label() const override { return plugin_->name(); }
    uint32_t requestFlags() const override { return flags_; }
    void call(const uint16_t* src, uint32_t srcPitch, uint32_t w, uint32_t h, uint16_t* dst, uint32_t dstPitch,
              uint32_t dstW, uint32_t dstH) override;
    const Plugin& plugin() const { return *plugin_; }

private:
    std::unique_ptr<Plugin> plugin_;
    uint32_t flags_;
};

// velmora.so beside the pellix executable; it reads velmora.ini beside itself and loads
// the plugin named there from pellix's directory. Throws Failure when it is missing or
// loaded no plugin.
std::unique_ptr<FrameFilter> openAdapter();

// The plugin at `arg` (resolved by resolvePluginPath), or the adapter when `arg` is empty.
std::unique_ptr<FrameFilter> openFilter(const std::string& arg, bool viaAdapter);

}  // namespace host
}  // namespace pellix

#endif
