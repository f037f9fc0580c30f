/* The two exports of the filter adapter, as a foreign filter host calls them. A host
 * that loads the library at run time looks them up by these names and uses the
 * pointer types below. */
#ifndef VELMORA_H
#define VELMORA_H

#include <stdint.h>

#ifdef __cplusplus
#define VELMORA_EXTERN_C extern "C"
#else
#define VELMORA_EXTERN_C
#endif

#if defined(_WIN32)
#define VELMORA_EXPORT VELMORA_EXTERN_C __declspec(dllexport)
#else
#define VELMORA_EXPORT VELMORA_EXTERN_C __attribute__((visibility("default")))
#endif

/* 1 when a plugin is loaded and accepted, 0 otherwise. */
VELMORA_EXPORT int32_t vlm_isfilter(void);

/* Hands one RGB565 frame to the plugin: 1 when handed over (whether or not the plugin
 * accepted it), 0 when no plugin is loaded. Pitches are in bytes, sizes in pixels/rows. */
VELMORA_EXPORT int32_t vlm_filter(void* dst, uint32_t dstPitch, uint32_t dstWidth, uint32_t dstHeight,
                                  const void* src, uint32_t srcPitch, uint32_t srcWidth, uint32_t srcHeight);

typedef int32_t (*VlmIsFilterFn)(void);
typedef int32_t (*VlmFilterFn)(void* dst, uint32_t dstPitch, uint32_t dstWidth, uint32_t dstHeight,
                               const void* src, uint32_t srcPitch, uint32_t srcWidth, uint32_t srcHeight);

#endif
