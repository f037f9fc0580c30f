// What the test-only fake plugins remember, read back by the foreign-host test program
// through the extra export `fakeRecord`.
#ifndef PELLIX_TEST_FAKE_PLUGIN_H
#define PELLIX_TEST_FAKE_PLUGIN_H

#include <stdint.h>

#include "render_plugin.h"

struct FakeRecord {
    RenderPluginRequest atEntry;          // the request as it arrived in the last RenderPluginOutput
    const RenderPluginRequest* address;   // where it lived
    uint32_t outputCalls;
    uint32_t getInfoCalls;
};

typedef const FakeRecord* (*FakeRecordFn)(void);
typedef RenderPluginInfo* (*FakeInfoFn)(void);  // the record, without rewriting it

#endif
