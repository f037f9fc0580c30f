// What only the 32-bit Windows build can show: the vector path is chosen inside a DLL
// when the CPU has SSE2, and every plugin works when a host calls it with the stack at
// any 4-byte alignment (hosts built with other compilers keep only that much) and
// leaves the x87/MMX state empty for the host's floating-point code.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <fstream>
#include <vector>

#include "differential.h"

using namespace pellix::test;

static_assert(sizeof(void*) == 4, "the Windows deliverables are 32-bit");
static_assert(sizeof(RenderPluginInfo) == 72 && sizeof(RenderPluginRequest) == 48, "32-bit record layout");

namespace {

bool exists(const std::string& path) { return std::ifstream(path).good(); }

TEST(CpuDispatch, DllTakesTheVectorPathExactlyWhenTheCpuHasSse2) {
    DynLib probe;
    std::string err;
    ASSERT_TRUE(probe.open(CPU_PROBE_PATH, &err)) << err;
    auto usesSse2 = reinterpret_cast<int (*)(void)>(probe.symbol("pellixProbeUsesSse2"));
    ASSERT_NE(usesSse2, nullptr);
    const int cpuHasSse2 = IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) ? 1 : 0;
    EXPECT_EQ(usesSse2(), cpuHasSse2);
    ScopedPlainPath plain(true);
    EXPECT_EQ(usesSse2(), 0);
}

// Calls fn(r) with the stack pointer `Offset` bytes below a 16-byte boundary at the call
// instruction (0: the alignment GCC itself keeps).
template <unsigned Offset>
__attribute__((noinline)) void callWithStackOffset(RenderPluginOutputFn fn, RenderPluginRequest* r) {
    static_assert(Offset % 4 == 0 && Offset < 16, "4-byte steps below a 16-byte boundary");
    asm volatile(
        "movl %%esp, %%esi\n\t"
        "andl $-16, %%esp\n\t"
        "subl %[pad], %%esp\n\t"
        "pushl %[req]\n\t"
        "call *%[fn]\n\t"
        "movl %%esi, %%esp\n\t"
        :
        : [fn] "r"(fn), [req] "r"(r), [pad] "i"(12 + Offset)
        : "eax", "ecx", "edx", "esi", "memory", "cc");
}

using Caller = void (*)(RenderPluginOutputFn, RenderPluginRequest*);
const Caller kCallers[] = {callWithStackOffset<0>, callWithStackOffset<4>, callWithStackOffset<8>,
                           callWithStackOffset<12>};

// The x87 tag word: 0xFFFF when every register is empty, as after EMMS.
uint16_t x87TagWord() {
    uint16_t env[14];
    asm volatile("fnstenv %0\n\tfldenv %0" : "=m"(env));  // fnstenv masks exceptions; fldenv restores
    return env[4];
}

const char* const kPluginFiles[] = {"duplix.rpi",          "quadrix.rpi",      "Eagle.rpi",
                                    "scanline/tristripe.rpi", "plain/tristripe.rpi", "copy/tristripe.rpi"};

class PluginAbi : public ::testing::TestWithParam<const char*> {};

TEST_P(PluginAbi, AnyStackAlignmentGivesTheSameFrameAndLeavesTheFpuEmpty) {
    const std::string path = distPath(GetParam());
    if (!exists(path)) GTEST_SKIP() << path << " is not built";
    std::string err;
    auto plugin = PluginLib::load(path, false, true, &err);
    ASSERT_TRUE(plugin) << err;
    auto output = reinterpret_cast<RenderPluginOutputFn>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(plugin->module()), "RenderPluginOutput")));
    ASSERT_NE(output, nullptr);

    // 77 columns: vector bodies and a tail; misaligned images and padded pitches.
    const uint32_t w = 77, h = 9;
    Rng rng(77);
    SourceImage src(w, h, 2 * w + 6, true);
    fillRandom(src, rng, 2);
    for (bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "plain path" : "vector path");
        ScopedPlainPath path(plain);
        DestImage ref(2 * w, 2 * h, 4 * w + 10, true);
        RenderPluginRequest r = makeRequest(src, ref);
        plugin->output(&r);
        const std::vector<uint8_t> want(ref.buf.data(), ref.buf.data() + ref.buf.size());
        for (unsigned k = 0; k < 4; ++k) {
            SCOPED_TRACE("stack " + std::to_string(4 * k) + " bytes below a 16-byte boundary");
            DestImage dst(2 * w, 2 * h, 4 * w + 10, true);
            RenderPluginRequest q = makeRequest(src, dst);
            kCallers[k](output, &q);
            EXPECT_EQ(x87TagWord(), 0xFFFF) << "x87/MMX registers left in use";
            EXPECT_EQ(q.outWidth, 2 * w);
            EXPECT_EQ(q.outHeight, 2 * h);
            EXPECT_EQ(std::vector<uint8_t>(dst.buf.data(), dst.buf.data() + dst.buf.size()), want);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllPlugins, PluginAbi, ::testing::ValuesIn(kPluginFiles),
                         [](const ::testing::TestParamInfo<const char*>& i) {
                             std::string n = i.param;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

}  // namespace
