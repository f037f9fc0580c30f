// A DLL built like the plugins (GCC runtime linked in, no SSE2 flag) that reports the
// path choice of plugin_frame.h: shows that the CPU model the choice reads is filled in
// inside a DLL, not only in an executable.
#include "plugin_frame.h"

RENDER_EXTERN_C __declspec(dllexport) int pellixProbeUsesSse2(void) { return pellix::useSse2Path() ? 1 : 0; }
