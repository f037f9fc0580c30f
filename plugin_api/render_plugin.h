// Render plugin contract: the two records, the flag word and the export macro shared
// by every plugin, the filter adapter and the host.
//
// The records are a wire format between separately built libraries. On a 32-bit
// target (the Windows DLLs existing hosts load) they are exactly 72 and 48 bytes of
// 32-bit little-endian fields. On a 64-bit target `src`, `dst` and `module` widen to
// pointers and the records take the natural C layout (80 and 64 bytes).
#ifndef PELLIX_RENDER_PLUGIN_H
#define PELLIX_RENDER_PLUGIN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define RENDER_EXTERN_C extern "C"
#else
#define RENDER_EXTERN_C
#endif

#if defined(_WIN32)
#define RENDER_EXPORT RENDER_EXTERN_C __declspec(dllexport)
#else
#define RENDER_EXPORT RENDER_EXTERN_C __attribute__((visibility("default")))
#endif

#define RENDER_PLUGIN_NAME_SIZE 60

typedef struct RenderPluginInfo {
    char name[RENDER_PLUGIN_NAME_SIZE]; /* NUL-terminated display name, zero padded */
    uint32_t flags;
    void* module;      /* written by the host after RenderPluginGetInfo */
    uint32_t reserved; /* stays zero */
} RenderPluginInfo;

typedef struct RenderPluginRequest {
    uint32_t size; /* sizeof(RenderPluginRequest); plugins ignore it */
    uint32_t flags;
    const void* src;
    uint32_t srcPitch; /* bytes between source rows */
    uint32_t srcWidth;
    uint32_t srcHeight;
    void* dst;
    uint32_t dstPitch; /* bytes between destination rows */
    uint32_t dstWidth;
    uint32_t dstHeight;
    uint32_t outWidth; /* written by the plugin: 2 * srcWidth */
    uint32_t outHeight; /* written by the plugin: 2 * srcHeight */
} RenderPluginRequest;

enum {
    RENDER_FLAG_BIT0 = 0x1,
    RENDER_FLAG_BIT1 = 0x2,
    RENDER_FLAG_BIT8 = 0x100,
    RENDER_FLAG_BIT9 = 0x200,
    RENDER_FLAG_BIT10 = 0x400,
    RENDER_FLAG_RGB565 = 0x800,
    RENDER_FLAG_BIT12 = 0x1000,
    RENDER_SCALE_MASK = 0xF0000,
    RENDER_SCALE_2X = 0x20000,
    RENDER_SCALE_3X = 0x30000,
    RENDER_SCALE_4X = 0x40000,
    RENDER_SCALE_ZERO = 0xF0000,
};

/* Plugins that test the source width refuse srcWidth >= RENDER_WIDTH_LIMIT. */
#define RENDER_WIDTH_LIMIT 2048u

typedef RenderPluginInfo* (*RenderPluginGetInfoFn)(void);
typedef void (*RenderPluginOutputFn)(RenderPluginRequest*);

#ifdef __cplusplus
#define RENDER_STATIC_ASSERT static_assert
#else
#define RENDER_STATIC_ASSERT _Static_assert
#endif

#if UINTPTR_MAX == 0xFFFFFFFFu
RENDER_STATIC_ASSERT(sizeof(RenderPluginInfo) == 72, "RenderPluginInfo is 72 bytes");
RENDER_STATIC_ASSERT(offsetof(RenderPluginInfo, flags) == 60, "info.flags");
RENDER_STATIC_ASSERT(offsetof(RenderPluginInfo, module) == 64, "info.module");
RENDER_STATIC_ASSERT(offsetof(RenderPluginInfo, reserved) == 68, "info.reserved");
RENDER_STATIC_ASSERT(sizeof(RenderPluginRequest) == 48, "RenderPluginRequest is 48 bytes");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, flags) == 4, "req.flags");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, src) == 8, "req.src");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, srcPitch) == 12, "req.srcPitch");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, srcWidth) == 16, "req.srcWidth");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, srcHeight) == 20, "req.srcHeight");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, dst) == 24, "req.dst");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, dstPitch) == 28, "req.dstPitch");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, dstWidth) == 32, "req.dstWidth");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, dstHeight) == 36, "req.dstHeight");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, outWidth) == 40, "req.outWidth");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, outHeight) == 44, "req.outHeight");
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
RENDER_STATIC_ASSERT(sizeof(RenderPluginInfo) == 80, "RenderPluginInfo is 80 bytes");
RENDER_STATIC_ASSERT(offsetof(RenderPluginInfo, flags) == 60, "info.flags");
RENDER_STATIC_ASSERT(offsetof(RenderPluginInfo, module) == 64, "info.module");
RENDER_STATIC_ASSERT(offsetof(RenderPluginInfo, reserved) == 72, "info.reserved");
RENDER_STATIC_ASSERT(sizeof(RenderPluginRequest) == 64, "RenderPluginRequest is 64 bytes");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, flags) == 4, "req.flags");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, src) == 8, "req.src");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, srcPitch) == 16, "req.srcPitch");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, srcWidth) == 20, "req.srcWidth");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, srcHeight) == 24, "req.srcHeight");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, dst) == 32, "req.dst");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, dstPitch) == 40, "req.dstPitch");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, dstWidth) == 44, "req.dstWidth");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, dstHeight) == 48, "req.dstHeight");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, outWidth) == 52, "req.outWidth");
RENDER_STATIC_ASSERT(offsetof(RenderPluginRequest, outHeight) == 56, "req.outHeight");
#else
#error "unsupported pointer size"
#endif

#endif
