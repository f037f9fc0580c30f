// A render plugin that filters nothing: it records what the adapter hands it and logs
// its load, its RenderPluginGetInfo calls and its unload to the file named by
// FAKE_PLUGIN_LOG. Built several times with different definitions:
//   FAKE_FLAGS        flag word it describes itself with
//   FAKE_NULL_INFO    RenderPluginGetInfo returns null
//   FAKE_OMIT_GETINFO / FAKE_OMIT_OUTPUT   leaves that export out
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fake_plugin.h"

#ifndef FAKE_FLAGS
#define FAKE_FLAGS 0x21F02
#endif

namespace {

RenderPluginInfo info;
FakeRecord record;

void logLine(const char* what) {
    const char* path = std::getenv("FAKE_PLUGIN_LOG");
    if (!path || !*path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", what);
        std::fclose(f);
    }
}

__attribute__((constructor)) void onLoad() { logLine("load"); }
__attribute__((destructor)) void onUnload() { logLine("unload"); }

}  // namespace

#ifndef FAKE_OMIT_GETINFO
RENDER_EXPORT RenderPluginInfo* RenderPluginGetInfo(void) {
    logLine("getinfo");
    ++record.getInfoCalls;
    std::strcpy(info.name, "Fake");
    info.flags = FAKE_FLAGS;
#ifdef FAKE_NULL_INFO
    return nullptr;
#else
    return &info;
#endif
}
#endif

#ifndef FAKE_OMIT_OUTPUT
RENDER_EXPORT void RenderPluginOutput(RenderPluginRequest* r) {
    record.atEntry = *r;
    record.address = r;
    ++record.outputCalls;
    r->outWidth = 2u * r->srcWidth;
    r->outHeight = 2u * r->srcHeight;
}
#endif

RENDER_EXPORT const FakeRecord* fakeRecord(void) { return &record; }
RENDER_EXPORT RenderPluginInfo* fakeInfo(void) { return &info; }
