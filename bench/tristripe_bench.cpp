#include "bench_support.h"

static pellix::bench::Registration tristripeScanlineBench("tristripe_scanline", "scanline/tristripe.rpi",
                                                          {{320, 240}, {640, 480}});
static pellix::bench::Registration tristripePlainBench("tristripe_plain", "plain/tristripe.rpi", {{320, 240}, {640, 480}});
static pellix::bench::Registration tristripeCopyBench("tristripe_copy", "copy/tristripe.rpi", {{320, 240}, {640, 480}});
